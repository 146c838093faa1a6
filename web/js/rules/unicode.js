// Diacritics removed (letters written in ASCII where they can be) and Unicode
// normalised to NFC.
import { toAscii } from '../ascii.js';
import { t } from '../i18n/index.js';

export default {
  type: 'unicode',
  label: t('unicode.label'),
  defaults: { diacritics: true, nfc: true },
  fields: [['diacritics', t('unicode.diacritics'), 'check'], ['nfc', t('unicode.nfc'), 'check']],
  summary: (r) => [r.diacritics && t('unicode.word.diacritics'), r.nfc && 'NFC'].filter(Boolean).join(' + ') || t('unicode.nothing'),
  compile(r) {
    if (!r.diacritics && !r.nfc) return null;
    return (s) => {
      if (r.diacritics) s = toAscii(s);
      if (r.nfc) s = s.normalize('NFC');
      return s;
    };
  },
};
