// Spaces: trim the ends, collapse runs, replace spaces.
import { quote, where } from './shared.js';
import { t } from '../i18n/index.js';

export default {
  type: 'spaces',
  label: t('spaces.label'),
  defaults: { trim: true, collapse: true, replace: false, with: '_' },
  fields: [['trim', t('spaces.trim'), 'check'], ['collapse', t('spaces.collapse'), 'check'], ['replace', t('spaces.replace'), 'check'], ['with', t('spaces.with'), 'text', null, (r) => r.replace]],
  summary(r) {
    const what = [r.trim && t('spaces.word.trim'), r.collapse && t('spaces.word.collapse'), r.replace && t('spaces.word.replace', { with: quote(r.with) })].filter(Boolean);
    return what.length ? t('spaces.summary', { what: what.join(', '), where: where(r) }) : t('spaces.nothing');
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
