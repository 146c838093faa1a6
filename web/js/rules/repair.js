// "Repair encoding": names in a legacy encoding decoded, and UTF-8 that was
// encoded twice undone. Its card says which encodings "auto" finds.
import { ENCODINGS, ENCODING_NAMES, encodingsFound, repairName } from '../encodings.js';
import { t } from '../i18n/index.js';

const CHOICES = [['auto', t('repair.auto')], ...ENCODINGS.map((e) => [e, ENCODING_NAMES[e]])];

// the names the card looks at: enough to say what a listing holds
const LOOKED_AT = 20000;

/** The card's line: the encodings "auto" finds in the names of `items`, with how many each repairs. */
export function foundLine(items) {
  const names = [];
  for (let i = 0; i < items.length && names.length < LOOKED_AT; i++) if (/[^\x00-\x7f]/.test(items[i].name)) names.push(items[i].name);
  const found = encodingsFound(names);
  return found.length ? t('repair.found', { list: found.map(([e, n]) => `${ENCODING_NAMES[e]} (${n})`).join(', ') }) : t('repair.foundNone');
}

export default {
  type: 'repair',
  label: t('repair.label'),
  fixedTarget: 'both',
  defaults: { encoding: 'auto' },
  fields: [['encoding', t('repair.encoding'), 'select', CHOICES], ['found', '', 'example']],
  summary: (r) => t('repair.summary', { encoding: r.encoding === 'auto' ? t('repair.auto') : ENCODING_NAMES[r.encoding] ?? r.encoding }),
  compile(r) {
    if (r.encoding !== 'auto' && !ENCODING_NAMES[r.encoding]) return { error: t('repair.unknown', { encoding: r.encoding }) };
    return (name) => repairName(name, r.encoding)?.text ?? name;
  },
};
