// Replace text: a literal, in any case or exactly, every, the first or the last time.
import { escapeRegExp } from '../text.js';
import { OCCURRENCES, matchPicker, quote, replacePicked, where } from './shared.js';
import { t } from '../i18n/index.js';

function exact(find, repl, occurrence) {
  if (occurrence === 'first') return (s) => { const i = s.indexOf(find); return i < 0 ? s : s.slice(0, i) + repl + s.slice(i + find.length); };
  if (occurrence === 'last') return (s) => { const i = s.lastIndexOf(find); return i < 0 ? s : s.slice(0, i) + repl + s.slice(i + find.length); };
  return (s) => (s.includes(find) ? s.split(find).join(repl) : s);
}

function anyCase(find, repl, occurrence) {
  const literal = repl.replace(/\$/g, '$$$$'); // "$" in the text is meant literally
  if (occurrence === 'first') {
    const one = new RegExp(escapeRegExp(find), 'iu');
    return (s) => s.replace(one, literal);
  }
  const re = new RegExp(escapeRegExp(find), 'giu');
  if (occurrence === 'last') {
    return (s) => {
      let last = null;
      re.lastIndex = 0;
      for (let m = re.exec(s); m; m = re.exec(s)) last = m;
      return last ? s.slice(0, last.index) + repl + s.slice(last.index + last[0].length) : s;
    };
  }
  return (s) => s.replace(re, literal);
}

export default {
  type: 'replace',
  label: t('replace.label'),
  defaults: { find: '', with: '', caseSensitive: false, occurrence: 'all' },
  fields: [
    ['find', t('replace.find'), 'text'],
    ['with', t('rule.replaceWith'), 'text'],
    ['occurrence', t('replace.which'), 'choice', OCCURRENCES],
    ['caseSensitive', t('rule.matchCase'), 'check'],
  ],
  summary: (r) => (r.find === '' ? t('replace.nothing') : t('replace.summary', { find: quote(r.find), with: quote(r.with), where: where(r) })),
  compile(r) {
    const find = String(r.find);
    if (find === '') return null;
    if (OCCURRENCES.some(([v]) => v === r.occurrence)) return (r.caseSensitive ? exact : anyCase)(find, String(r.with), r.occurrence);
    const picks = matchPicker(r.occurrence);
    if (!picks) return { error: t('rule.badOccurrence') };
    const re = new RegExp(escapeRegExp(find), r.caseSensitive ? 'gu' : 'giu');
    const repl = String(r.with);
    return (s) => replacePicked(s, re, picks, () => repl);
  },
};
