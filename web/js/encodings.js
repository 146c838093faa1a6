// Names written in a legacy encoding, decoded: bytes that are not UTF-8 read
// as one of the encodings old systems wrote (or the one that gives the most
// plausible text), and UTF-8 that was decoded as windows-1252 or another
// single-byte encoding and encoded again ("CafÃ©") undone. Pure: no DOM.

import { bytesOfText, hasRawBytes, utf8OrNull } from './bytes.js';

/** The encodings offered, in the order "auto" prefers them when they tie. */
export const ENCODINGS = ['windows-1252', 'iso-8859-1', 'iso-8859-2', 'iso-8859-15', 'ibm437', 'ibm866', 'windows-1251', 'koi8-r', 'shift_jis', 'euc-jp', 'gbk', 'big5', 'euc-kr'];
/** How each is named where it is shown. */
export const ENCODING_NAMES = {
  'windows-1252': 'Windows-1252', 'iso-8859-1': 'ISO-8859-1', 'iso-8859-2': 'ISO-8859-2', 'iso-8859-15': 'ISO-8859-15', ibm437: 'IBM437',
  ibm866: 'IBM866', 'windows-1251': 'Windows-1251', 'koi8-r': 'KOI8-R', shift_jis: 'Shift_JIS', 'euc-jp': 'EUC-JP', gbk: 'GBK', big5: 'Big5', 'euc-kr': 'EUC-KR',
};
const SINGLE_BYTE = ENCODINGS.slice(0, 8);

// The DOS code page of the first PCs, which the web's decoders do not know,
// and windows-1252's bytes 80..9F, which some engines' decoders read as
// ISO-8859-1's control characters: the characters of those bytes.
const IBM437_HIGH = 'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';
const WINDOWS_1252_80 = '€\x81‚ƒ„…†‡ˆ‰Š‹Œ\x8dŽ\x8f\x90‘’“”•–—˜™š›œ\x9džŸ';
const byTable = (bytes, high) => Array.from(bytes, (b) => (b < 0x80 ? String.fromCharCode(b) : high(b))).join('');

// control characters are no text a name was meant to hold
const CONTROL = /[\x00-\x1f\x7f-\x9f]/;
/** `bytes` read as `encoding`; null where they are not text in it. */
export function decodeAs(bytes, encoding) {
  const text = decoded(bytes, encoding);
  return text === null || CONTROL.test(text) ? null : text;
}

function decoded(bytes, encoding) {
  // the web's "iso-8859-1" is windows-1252; the real one maps each byte to its code point
  if (encoding === 'iso-8859-1') return String.fromCharCode(...bytes);
  if (encoding === 'ibm437') return byTable(bytes, (b) => IBM437_HIGH[b - 0x80]);
  if (encoding === 'windows-1252') return byTable(bytes, (b) => (b < 0xa0 ? WINDOWS_1252_80[b - 0x80] : String.fromCharCode(b)));
  // a decoder of its own each time: WebKit's keeps the bytes after an error
  // and puts them in front of the next text it decodes
  try {
    return new TextDecoder(encoding, { fatal: true }).decode(bytes);
  } catch (_) {
    return null;
  }
}

const reverse = new Map();
/** Character -> byte of a single-byte encoding (its upper half). */
function reverseOf(encoding) {
  let table = reverse.get(encoding);
  if (!table) {
    table = new Map();
    for (let b = 0x80; b < 0x100; b++) {
      const c = decoded(Uint8Array.of(b), encoding) ?? '';
      if (c.length === 1 && c !== '\uFFFD' && !table.has(c)) table.set(c, b);
    }
    reverse.set(encoding, table);
  }
  return table;
}

/** UTF-8 read back from text that a single-byte `encoding` made of it; null when it was not that. */
function undoubleAs(text, encoding) {
  const table = reverseOf(encoding);
  const bytes = new Uint8Array(text.length);
  let wide = false;
  for (let k = 0; k < text.length; k++) {
    const c = text.charCodeAt(k);
    const b = c < 0x80 ? c : table.get(text[k]);
    if (b === undefined) return null;
    wide ||= b >= 0x80;
    bytes[k] = b;
  }
  return wide ? utf8OrNull(bytes) : null;
}

const LETTER = /\p{L}/u;
const ASCII_LETTER = /[A-Za-z]/;
/** What one character adds to the plausibility of a single-byte reading; `latinWord`: its word has ASCII letters. */
function charScore(c, latinWord) {
  const u = c.codePointAt(0);
  if (u < 0x80) return 0;
  if (u < 0xa0) return -10;
  if (!LETTER.test(c)) return -2;
  // accented letters stand among plain ones in Western names, not alone
  if (u <= 0x24f) return u >= 0xc0 && u !== 0xd7 && u !== 0xf7 && u < 0x180 ? (latinWord ? 2 : -1) : 0;
  return (u >= 0x370 && u <= 0x3ff) || (u >= 0x400 && u <= 0x4ff) ? 2 : 0;
}

const WORDS = /\p{L}+|[^\p{L}]+/gu;
const SCRIPT = (c) => (/\p{Script=Latin}/u.test(c) ? 'latin' : /\p{Script=Cyrillic}/u.test(c) ? 'cyrillic' : /\p{Script=Greek}/u.test(c) ? 'greek' : 'other');
/** How plausible a single-byte reading is: letters of one script per word, few symbols, words in one case. */
function textScore(text) {
  let score = 0;
  for (const [word] of text.matchAll(WORDS)) {
    const latinWord = ASCII_LETTER.test(word);
    const chars = Array.from(word);
    for (const c of chars) score += charScore(c, latinWord);
    if (!LETTER.test(chars[0])) continue;
    const scripts = new Set(chars.map(SCRIPT));
    scripts.delete('other');
    if (scripts.size > 1) score -= 5;
    // a capital after a small letter, inside a word, is seldom meant
    for (let k = 1; k < chars.length; k++) if (chars[k] !== chars[k].toLowerCase() && chars[k - 1] !== chars[k - 1].toUpperCase()) score -= 3;
    // a word of capitals beyond ASCII reads more often as pairs of bytes of CJK text
    if (!latinWord && chars.length > 1 && word === word.toUpperCase() && word !== word.toLowerCase()) score -= chars.length;
  }
  return score;
}

// The pairs of bytes that make the common characters of each two-byte
// encoding (kana and the first level of kanji, the first level of hanzi, the
// frequent Big5 characters, Hangul), which the other encodings read as rarer
// ones: [first byte from, to, second byte from, to, score].
const COMMON = {
  shift_jis: [[0x82, 0x83, 0x40, 0xfc, 5], [0x88, 0x98, 0x40, 0xfc, 5]],
  'euc-jp': [[0xa4, 0xa5, 0xa1, 0xfe, 5], [0xb0, 0xcf, 0xa1, 0xfe, 5]],
  gbk: [[0xb0, 0xd7, 0xa1, 0xfe, 5]],
  big5: [[0xa4, 0xc6, 0x40, 0xfe, 5]],
  'euc-kr': [[0xb0, 0xc8, 0xa1, 0xfe, 6]],
};
/** How plausible a reading of `bytes` as a two-byte encoding is: its common characters count. */
function pairScore(bytes, encoding) {
  let score = 0;
  for (let k = 0; k < bytes.length; k++) {
    const b = bytes[k];
    if (b < 0x80) continue;
    // Shift_JIS's single bytes are half-width kana
    if (encoding === 'shift_jis' && b >= 0xa1 && b <= 0xdf) continue;
    const next = bytes[++k];
    const range = COMMON[encoding].find(([a, z, lo, hi]) => b >= a && b <= z && next >= lo && next <= hi);
    score += range ? range[4] : 1;
  }
  return score;
}

/** How plausible `text`, read from `bytes` as `encoding`, is as a name. */
export function plausibility(bytes, text, encoding) {
  return COMMON[encoding] ? pairScore(bytes, encoding) : textScore(text);
}

/**
 * `name` repaired: its bytes that are not UTF-8 read as `encoding` ("auto":
 * the one that reads most plausibly), or text encoded twice decoded once
 * more. Returns {text, encoding}, or null when there is nothing to repair or
 * the bytes are not text in that encoding.
 */
export function repairName(name, encoding = 'auto') {
  if (hasRawBytes(name)) {
    const bytes = bytesOfText(name);
    if (encoding !== 'auto') {
      const text = decodeAs(bytes, encoding);
      return text === null ? null : { text, encoding };
    }
    let best = null;
    for (const e of ENCODINGS) {
      const text = decodeAs(bytes, e);
      if (text === null) continue;
      const score = plausibility(bytes, text, e);
      if (!best || score > best.score) best = { text, encoding: e, score };
    }
    return best && { text: best.text, encoding: best.encoding };
  }
  // only text beyond ASCII can have been encoded twice
  if (!/[^\x00-\x7f]/.test(name)) return null;
  const tries = encoding === 'auto' ? SINGLE_BYTE : SINGLE_BYTE.includes(encoding) ? [encoding] : [];
  for (const e of tries) {
    let text = undoubleAs(name, e);
    if (text === null) continue;
    // encoded three times: undone while it still reads as such
    for (let again = undoubleAs(text, e); again !== null; again = undoubleAs(text, e)) text = again;
    return { text, encoding: e };
  }
  return null;
}

/** The encodings "auto" finds in `names` with how many names each repairs, most first. */
export function encodingsFound(names) {
  const counts = new Map();
  for (const name of names) {
    const r = hasRawBytes(name) || /[^\x00-\x7f]/.test(name) ? repairName(name) : null;
    if (r) counts.set(r.encoding, (counts.get(r.encoding) || 0) + 1);
  }
  return [...counts].sort((a, b) => b[1] - a[1]);
}
