// Insert text at a position counted from the start or the end.
import { cpLength, cpSlice } from '../text.js';
import { clamp, int, quote, where } from './shared.js';
import { t, word } from '../i18n/index.js';

export default {
  type: 'insert',
  label: t('insert.label'),
  defaults: { text: '', position: 0, from: 'start' },
  fields: [['text', t('insert.text'), 'text'], ['position', t('rule.after'), 'number'], ['from', t('rule.countedFrom'), 'select', [['start', t('rule.from.start')], ['end', t('rule.from.end')]]]],
  summary: (r) => t('insert.summary', { text: quote(r.text), position: String(int(r.position)), from: word('rule.from', r.from), where: where(r) }),
  compile(r) {
    const text = String(r.text);
    if (text === '') return null;
    const pos = Math.max(0, int(r.position));
    return (s) => {
      const len = cpLength(s);
      const at = r.from === 'end' ? clamp(len - pos, 0, len) : clamp(pos, 0, len);
      return cpSlice(s, 0, at) + text + cpSlice(s, at);
    };
  },
};
