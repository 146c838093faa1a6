// A pasted list of new names, one per item in list order.
import { splitName } from '../text.js';
import { listLines, where } from './shared.js';
import { t } from '../i18n/index.js';

export default {
  type: 'list',
  label: t('names.label'),
  defaults: { text: '' },
  fields: [['text', t('names.text'), 'textarea'], ['$note', t('names.note')]],
  summary: (r) => t('names.summary', { count: listLines(r.text).length, where: where(r) }),
  compile(r) {
    const lines = listLines(String(r.text));
    if (!lines.length) return null;
    const lineAt = (ctx) => {
      const line = lines[ctx.index];
      return line === undefined || line === '' ? null : line;
    };
    if (r.target !== 'name') return (s, ctx) => lineAt(ctx) ?? s;
    // A pasted whole name ("b.txt" for "a.txt") ends in the item's own
    // extension: it replaces the whole name, not only the base.
    return {
      target: 'parts',
      fn: (parts, ctx) => {
        const line = lineAt(ctx);
        if (line === null) return parts;
        const own = parts.ext && line.length > parts.ext.length + 1 && line.slice(-parts.ext.length - 1).toLowerCase() === `.${parts.ext.toLowerCase()}`;
        return own ? splitName(line) : { base: line, ext: parts.ext };
      },
    };
  },
};
