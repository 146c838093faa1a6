// Insert text at a position counted from the start or the end.
import { cpLength, cpSlice } from '../text.js';
import { clamp, int, quote, where } from './shared.js';

export default {
  type: 'insert',
  label: 'Insert text',
  defaults: { text: '', position: 0, from: 'start' },
  fields: [['text', 'Text', 'text'], ['position', 'After', 'number'], ['from', 'Counted from', 'select', [['start', 'start'], ['end', 'end']]]],
  summary: (r) => `Insert ${quote(r.text)} at ${int(r.position)} from ${r.from}${where(r)}`,
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
