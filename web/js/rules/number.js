// Numbering in list order, or per folder.
import { clamp, formatCounter, int, place, PLACES } from './shared.js';

const STYLES = [['decimal', '1, 2, 3'], ['roman', 'i, ii, iii'], ['ROMAN', 'I, II, III'], ['alpha', 'a, b, c'], ['ALPHA', 'A, B, C'], ['hex', 'hex 9, a, b'], ['HEX', 'HEX 9, A, B']];
const style = (r) => (r.format === 'decimal' ? '' : r.format);

export default {
  type: 'number',
  label: 'Numbering',
  defaults: { start: 1, step: 1, pad: 3, format: 'decimal', position: 'prefix', sep: ' ', restart: false },
  perFolder: (r) => r.restart === true,
  fields: [
    ['start', 'Start', 'number'], ['step', 'Step', 'number'], ['pad', 'Digits', 'number'],
    ['format', 'Style', 'select', STYLES],
    ['position', 'Place', 'select', PLACES],
    ['sep', 'Separator', 'text'], ['restart', 'Restart in every folder', 'check'],
    ['$note', 'Numbers follow the order of the list: sort it first.'],
  ],
  summary: (r) => `Numbering ${formatCounter(int(r.start, 1), style(r), int(r.pad))}, +${int(r.step, 1)} as ${r.position}${r.restart ? ', per folder' : ''}`,
  compile(r) {
    const start = int(r.start, 1);
    const step = int(r.step, 1);
    const pad = clamp(int(r.pad), 0, 32);
    const sep = String(r.sep);
    const fmt = style(r);
    return (s, ctx) => place(s, formatCounter(start + step * (r.restart ? ctx.folderIndex : ctx.index), fmt, pad), r.position, sep);
  },
};
