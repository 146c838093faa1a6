// Numbering in list order, or per folder.
import { clamp, formatNumber, int, place, PLACES } from './shared.js';

export default {
  type: 'number',
  label: 'Numbering',
  defaults: { start: 1, step: 1, pad: 3, position: 'prefix', sep: ' ', restart: false },
  perFolder: (r) => r.restart === true,
  fields: [
    ['start', 'Start', 'number'], ['step', 'Step', 'number'], ['pad', 'Digits', 'number'],
    ['position', 'Place', 'select', PLACES],
    ['sep', 'Separator', 'text'], ['restart', 'Restart in every folder', 'check'],
    ['$note', 'Numbers follow the order of the list: sort it first.'],
  ],
  summary: (r) => `Numbering ${formatNumber(int(r.start, 1), int(r.pad))}, +${int(r.step, 1)} as ${r.position}${r.restart ? ', per folder' : ''}`,
  compile(r) {
    const start = int(r.start, 1);
    const step = int(r.step, 1);
    const pad = clamp(int(r.pad), 0, 32);
    const sep = String(r.sep);
    return (s, ctx) => place(s, formatNumber(start + step * (r.restart ? ctx.folderIndex : ctx.index), pad), r.position, sep);
  },
};
