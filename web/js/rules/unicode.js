// Diacritics removed and Unicode normalised to NFC.

// Combining marks of the Latin, Greek and Cyrillic diacritics blocks only: marks
// of other scripts (Indic vowel signs, for instance) are letters' parts, not accents.
const DIACRITICS = /[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]/g;
const STROKED = { Ø: 'O', ø: 'o', Ł: 'L', ł: 'l', Đ: 'D', đ: 'd', Ħ: 'H', ħ: 'h' };
const STROKED_RE = /[ØøŁłĐđĦħ]/g;

export default {
  type: 'unicode',
  label: 'Diacritics and Unicode',
  defaults: { diacritics: true, nfc: true },
  fields: [['diacritics', 'Remove diacritics (é → e, ł → l)', 'check'], ['nfc', 'Normalise to NFC (composed characters)', 'check']],
  summary: (r) => [r.diacritics && 'Remove diacritics', r.nfc && 'NFC'].filter(Boolean).join(' + ') || 'Unicode: nothing chosen',
  compile(r) {
    if (!r.diacritics && !r.nfc) return null;
    return (s) => {
      if (r.diacritics) s = s.normalize('NFD').replace(DIACRITICS, '').replace(STROKED_RE, (c) => STROKED[c]).normalize('NFC');
      if (r.nfc) s = s.normalize('NFC');
      return s;
    };
  },
};
