// ASCII forms of letters for names that must travel: accents dropped, ligatures
// and special letters spelled out, compatibility forms (①, ﬁ) unfolded. A
// character with no ASCII form is kept as it is. Pure: no DOM.

// Combining marks of the Latin, Greek and Cyrillic diacritics blocks only: marks
// of other scripts (Indic vowel signs, for instance) are letters' parts, not accents.
export const DIACRITICS = /[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]/g;

// Letters that decomposition leaves alone (or, for Ŀ, unfolds into a middle dot).
const SPECIAL = {
  Æ: 'AE', æ: 'ae', Œ: 'OE', œ: 'oe', ß: 'ss', ẞ: 'SS', Ø: 'O', ø: 'o', Ł: 'L', ł: 'l', Đ: 'D', đ: 'd', Ħ: 'H', ħ: 'h',
  Ŧ: 'T', ŧ: 't', Ŀ: 'L', ŀ: 'l', ı: 'i', Þ: 'TH', þ: 'th', Ð: 'D', ð: 'd', Ŋ: 'N', ŋ: 'n', ĸ: 'k', ſ: 's',
};
const SPECIAL_RE = new RegExp(`[${Object.keys(SPECIAL).join('')}]`, 'g');
const ASCII = /^[\x00-\x7f]*$/;

/** `s` with every letter that has an ASCII form written in it. */
export function toAscii(s) {
  if (ASCII.test(s)) return s;
  return s.replace(SPECIAL_RE, (c) => SPECIAL[c]).normalize('NFKD').replace(DIACRITICS, '').normalize('NFC');
}
