// The modified, created or taken date, before, after or instead of the name.
import { dateFormatter, place, PLACES } from './shared.js';

export default {
  type: 'date',
  label: 'Date',
  defaults: { source: 'modified', pattern: 'YYYY-MM-DD', position: 'prefix', sep: ' ' },
  fields: [
    ['source', 'Date', 'select', [['modified', 'modified'], ['created', 'created'], ['taken', 'taken (photos, videos)']]],
    ['pattern', 'Pattern', 'text'],
    ['position', 'Place', 'select', PLACES],
    ['sep', 'Separator', 'text'],
    ['$note', 'YYYY YY MM M MMM MMMM DD D ddd dddd hh mm ss SSS, in local time; [text] as it is. Items without that date keep their name; without a date taken, the modified date is used.'],
  ],
  summary: (r) => `Date ${r.pattern} (${r.source}) as ${r.position}`,
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
