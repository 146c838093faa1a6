// Regular expression: a pattern and a replacement with $1, $<name> and $&.
import { cpSlice } from '../text.js';
import { quote, where } from './shared.js';

export default {
  type: 'regex',
  label: 'Regular expression',
  defaults: { pattern: '', with: '', caseSensitive: true, global: true },
  fields: [
    ['pattern', 'Pattern', 'text'],
    ['with', 'Replace with', 'text'],
    ['caseSensitive', 'Match case', 'check'],
    ['global', 'Every match (not only the first)', 'check'],
    ['$note', '$1, $2… insert capture groups, $<name> named ones, $& the whole match.'],
  ],
  summary: (r) => (r.pattern === '' ? 'Regex: no pattern' : `Regex /${cpSlice(r.pattern, 0, 20)}/ → ${quote(r.with)}${where(r)}`),
  compile(r) {
    if (r.pattern === '') return null;
    let re;
    try {
      re = new RegExp(r.pattern, 'u' + (r.global ? 'g' : '') + (r.caseSensitive ? '' : 'i'));
    } catch (e) {
      return { error: `invalid regular expression: ${e.message.replace(/^Invalid regular expression: /, '')}` };
    }
    const repl = String(r.with);
    return (s) => s.replace(re, repl);
  },
};
