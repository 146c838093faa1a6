// Diacritics removed (letters written in ASCII where they can be) and Unicode
// normalised to NFC.
import { toAscii } from '../ascii.js';

export default {
  type: 'unicode',
  label: 'Diacritics and Unicode',
  defaults: { diacritics: true, nfc: true },
  fields: [['diacritics', 'Remove diacritics (é → e, ł → l, æ → ae)', 'check'], ['nfc', 'Normalise to NFC (composed characters)', 'check']],
  summary: (r) => [r.diacritics && 'Remove diacritics', r.nfc && 'NFC'].filter(Boolean).join(' + ') || 'Unicode: nothing chosen',
  compile(r) {
    if (!r.diacritics && !r.nfc) return null;
    return (s) => {
      if (r.diacritics) s = toAscii(s);
      if (r.nfc) s = s.normalize('NFC');
      return s;
    };
  },
};
