// Regular expression: a pattern and a replacement with $1, $<name> and $&.
import { cpSlice } from '../text.js';
import { OCCURRENCES, matchPicker, quote, replacePicked, where } from './shared.js';
import { t } from '../i18n/index.js';

export default {
  type: 'regex',
  label: t('regex.label'),
  // `global` false (rules saved before `occurrence`) is the first match only
  defaults: { pattern: '', with: '', caseSensitive: true, global: true, occurrence: 'all' },
  fields: [
    ['pattern', t('rule.pattern'), 'text'],
    ['with', t('rule.replaceWith'), 'text'],
    ['caseSensitive', t('rule.matchCase'), 'check'],
    ['occurrence', t('replace.which'), 'choice', OCCURRENCES],
    ['$note', t('regex.note')],
  ],
  summary: (r) => (r.pattern === '' ? t('regex.noPattern') : t('regex.summary', { pattern: cpSlice(r.pattern, 0, 20), with: quote(r.with), where: where(r) })),
  compile(r) {
    if (r.pattern === '') return null;
    const occurrence = r.global === false && r.occurrence === 'all' ? 'first' : r.occurrence;
    const picks = matchPicker(occurrence);
    if (!picks) return { error: t('rule.badOccurrence') };
    let re;
    try {
      re = new RegExp(r.pattern, 'u' + (occurrence === 'first' ? '' : 'g') + (r.caseSensitive ? '' : 'i'));
    } catch (e) {
      return { error: t('rule.badRegex', { reason: e.message.replace(/^Invalid regular expression: /, '') }) };
    }
    const repl = String(r.with);
    if (occurrence !== 'all' && occurrence !== 'first') {
      const expand = caseReplacer(repl);
      return (s) => replacePicked(s, re, picks, expand);
    }
    if (!CASE_ESCAPE.test(repl)) return (s) => s.replace(re, repl);
    const expand = caseReplacer(repl);
    return (s) => s.replace(re, expand);
  },
};

const CASE_ESCAPE = /\\[ULEul]/;
const PIECES = /\\([ULEul])|\$(\$|&|`|'|\d{1,2}|<[^>]*>)/g;

/**
 * A replacement function for a replacement with sed's and Perl's case escapes:
 * \U and \L change the case of what follows up to \E, \u and \l of the next
 * character; $1, $<name>, $&, $` and $' are expanded as String.replace does.
 */
function caseReplacer(repl) {
  const pieces = []; // strings, ['case', letter] or ['ref', text]
  let last = 0;
  for (const m of repl.matchAll(PIECES)) {
    if (m.index > last) pieces.push(repl.slice(last, m.index));
    pieces.push(m[1] ? ['case', m[1]] : ['ref', m[2]]);
    last = m.index + m[0].length;
  }
  if (last < repl.length) pieces.push(repl.slice(last));
  return (...args) => {
    const named = typeof args.at(-1) === 'object' ? args.pop() : undefined;
    const whole = args.pop();
    const at = args.pop();
    const [match, ...groups] = args;
    const ref = (t) => {
      if (t === '$') return '$';
      if (t === '&') return match;
      if (t === '`') return whole.slice(0, at);
      if (t === "'") return whole.slice(at + match.length);
      if (t[0] === '<') return named ? named[t.slice(1, -1)] ?? '' : `$${t}`;
      // two digits when that group exists, else one digit and a literal digit
      if (t.length === 2 && Number(t) >= 1 && Number(t) <= groups.length) return groups[Number(t) - 1] ?? '';
      const n = Number(t[0]);
      return n >= 1 && n <= groups.length ? (groups[n - 1] ?? '') + t.slice(1) : `$${t}`;
    };
    let out = '';
    let mode = '';
    let next = '';
    for (const p of pieces) {
      if (p[0] === 'case') {
        if (p[1] === 'u' || p[1] === 'l') next = p[1];
        else mode = p[1] === 'E' ? '' : p[1];
        continue;
      }
      let t = typeof p === 'string' ? p : ref(p[1]);
      if (mode) t = mode === 'U' ? t.toUpperCase() : t.toLowerCase();
      if (next && t) {
        const first = String.fromCodePoint(t.codePointAt(0));
        t = (next === 'u' ? first.toUpperCase() : first.toLowerCase()) + t.slice(first.length);
        next = '';
      }
      out += t;
    }
    return out;
  };
}
