// The modified, created or taken date, before, after or instead of the name.
import { place, placeWord, PLACES } from './shared.js';
import { dateFormatter } from '../formats.js';
import { t, word } from '../i18n/index.js';

export default {
  type: 'date',
  label: t('date.label'),
  defaults: { source: 'modified', pattern: 'YYYY-MM-DD', position: 'prefix', sep: ' ' },
  fields: [
    ['source', t('date.source'), 'select', [['modified', t('date.source.modified')], ['created', t('date.source.created')], ['taken', t('date.takenOption')]]],
    ['pattern', t('rule.pattern'), 'text'],
    ['position', t('rule.place'), 'select', PLACES],
    ['sep', t('rule.separator'), 'text'],
    ['$note', t('date.note')],
  ],
  summary: (r) => t('date.summary', { pattern: r.pattern, source: word('date.source', r.source), position: placeWord(r.position) }),
  compile(r) {
    const key = r.source === 'created' ? 'created' : 'modified';
    const taken = r.source === 'taken';
    const sep = String(r.sep);
    const format = dateFormatter(String(r.pattern));
    return (s, ctx) => {
      if (taken && !ctx.taken && !ctx.item.isDir) ctx.missing?.('date taken');
      const ms = (taken && ctx.taken) || ctx.item[key];
      return ms ? place(s, format(ms), r.position, sep) : s;
    };
  },
};
