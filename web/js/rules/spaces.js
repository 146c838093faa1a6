// Spaces: trim the ends, collapse runs, replace spaces.
import { quote, where } from './shared.js';

export default {
  type: 'spaces',
  label: 'Spaces and trimming',
  defaults: { trim: true, collapse: true, replace: false, with: '_' },
  fields: [['trim', 'Trim at both ends', 'check'], ['collapse', 'Collapse runs of white space', 'check'], ['replace', 'Replace spaces', 'check'], ['with', 'with', 'text', null, (r) => r.replace]],
  summary(r) {
    const what = [r.trim && 'trim', r.collapse && 'collapse', r.replace && `spaces → ${quote(r.with)}`].filter(Boolean);
    return what.length ? `Spaces: ${what.join(', ')}${where(r)}` : 'Spaces: nothing chosen';
  },
  compile(r) {
    if (!r.trim && !r.collapse && !r.replace) return null;
    const repl = String(r.with);
    return (s) => {
      if (r.collapse) s = s.replace(/\s+/g, ' ');
      if (r.trim) s = s.trim();
      if (r.replace) s = s.replace(/ /g, repl);
      return s;
    };
  },
};
