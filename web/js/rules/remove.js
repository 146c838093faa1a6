// Remove characters: a count after a position, or a range.
import { cpLength } from '../text.js';
import { int, removeRange, where } from './shared.js';
import { t, word } from '../i18n/index.js';

const counting = (r) => r.mode === 'count';
const ranging = (r) => r.mode === 'range';
const FROM = [['start', t('rule.from.start')], ['end', t('rule.from.end')]];

export default {
  type: 'remove',
  label: t('remove.label'),
  defaults: { mode: 'count', count: 1, position: 0, from: 'start', start: 1, end: 1 },
  fields: [
    ['mode', t('remove.mode'), 'select', [['count', t('remove.byCount')], ['range', t('remove.byRange')]]],
    ['count', t('remove.count'), 'number', null, counting],
    ['position', t('rule.after'), 'number', null, counting],
    ['from', t('rule.countedFrom'), 'select', FROM, counting],
    ['start', t('remove.start'), 'number', null, ranging],
    ['end', t('remove.end'), 'number', null, ranging],
  ],
  summary: (r) => (r.mode === 'range'
    ? t('remove.rangeSummary', { start: String(int(r.start)), end: String(int(r.end)), where: where(r) })
    : t('remove.countSummary', { count: String(int(r.count)), position: String(int(r.position)), from: word('rule.from', r.from), where: where(r) })),
  compile(r) {
    if (r.mode === 'range') {
      const a = Math.max(1, int(r.start, 1));
      const b = int(r.end, a);
      return b < a ? null : (s) => removeRange(s, a - 1, b - a + 1);
    }
    const count = Math.max(0, int(r.count));
    const pos = Math.max(0, int(r.position));
    if (count === 0) return null;
    return (s) => {
      if (r.from !== 'end') return removeRange(s, pos, count);
      const end = Math.max(0, cpLength(s) - pos);
      const start = Math.max(0, end - count);
      return removeRange(s, start, end - start);
    };
  },
};
