// Numbering in list order, or per folder.
import { clamp, counterOf, int, place, placeWord, PLACES } from './shared.js';
import { formatCounter } from '../formats.js';
import { t } from '../i18n/index.js';

const STYLES = [['decimal', '1, 2, 3'], ['roman', 'i, ii, iii'], ['ROMAN', 'I, II, III'], ['alpha', 'a, b, c'], ['ALPHA', 'A, B, C'], ['hex', 'hex 9, a, b'], ['HEX', 'HEX 9, A, B']];
const style = (r) => (r.format === 'decimal' ? '' : r.format);

export default {
  type: 'number',
  label: t('number.label'),
  defaults: { start: 1, step: 1, pad: 3, format: 'decimal', position: 'prefix', sep: ' ', restart: false, skip: '' },
  perFolder: (r) => r.restart === true,
  fields: [
    ['start', t('number.start'), 'number'], ['step', t('rule.step'), 'number'], ['pad', t('number.pad'), 'number'],
    ['format', t('number.style'), 'select', STYLES],
    ['position', t('rule.place'), 'select', PLACES],
    ['sep', t('rule.separator'), 'text'], ['skip', t('rule.skip'), 'text'], ['restart', t('number.restart'), 'check'],
    ['$note', t('number.note')],
  ],
  summary: (r) => t('number.summary', { first: formatCounter(int(r.start, 1), style(r), int(r.pad)), step: String(int(r.step, 1)), position: placeWord(r.position), perFolder: r.restart ? t('number.perFolder') : '' }),
  compile(r) {
    const counter = counterOf(int(r.start, 1), int(r.step, 1), r.skip);
    if (!counter) return { error: t('rule.badSkip') };
    const pad = clamp(int(r.pad), 0, 32);
    const sep = String(r.sep);
    const fmt = style(r);
    return (s, ctx) => place(s, formatCounter(counter.at(r.restart ? ctx.folderIndex : ctx.index), fmt, pad), r.position, sep);
  },
};
