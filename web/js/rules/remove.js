// Remove characters: a count after a position, or a range.
import { cpLength } from '../text.js';
import { int, removeRange, where } from './shared.js';

const counting = (r) => r.mode === 'count';
const ranging = (r) => r.mode === 'range';
const FROM = [['start', 'start'], ['end', 'end']];

export default {
  type: 'remove',
  label: 'Remove characters',
  defaults: { mode: 'count', count: 1, position: 0, from: 'start', start: 1, end: 1 },
  fields: [
    ['mode', 'Remove', 'select', [['count', 'a count of characters'], ['range', 'a range']]],
    ['count', 'Count', 'number', null, counting],
    ['position', 'After', 'number', null, counting],
    ['from', 'Counted from', 'select', FROM, counting],
    ['start', 'From character', 'number', null, ranging],
    ['end', 'To character', 'number', null, ranging],
  ],
  summary: (r) => (r.mode === 'range'
    ? `Remove characters ${int(r.start)}–${int(r.end)}${where(r)}`
    : `Remove ${int(r.count)} after ${int(r.position)} from ${r.from}${where(r)}`),
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
