// Helpers the rule types share: numbers from fields, placing a piece beside
// the name, dates, counters. Pure: no DOM.

import { cpLength, cpSlice, hasAstral } from '../text.js';
import { t, word } from '../i18n/index.js';

export const int = (v, d = 0) => (Number.isFinite(Number(v)) ? Math.trunc(Number(v)) : d);
export const clamp = (v, lo, hi) => Math.max(lo, Math.min(hi, v));

/** A short quoted form of user text for a card's summary line. */
export function quote(s, max = 18) {
  const cut = cpLength(s) > max ? cpSlice(s, 0, max - 1) + '…' : s;
  return t('rule.quote', { text: cut });
}

/** What a summary says about the rule's target, when it is not the base name. */
export const where = (rule) => (rule.target === 'ext' || rule.target === 'both' ? t(`rule.where.${rule.target}`) : '');

/** `piece` before, after or instead of `s`, joined by `sep`. */
export function place(s, piece, position, sep) {
  if (position === 'replace') return piece;
  if (position === 'suffix') return s === '' ? piece : s + sep + piece;
  return s === '' ? piece : piece + sep + s;
}

export const PLACES = ['prefix', 'suffix', 'replace'].map((v) => [v, t(`rule.place.${v}`)]);

/** A rule's position as its summary says it ("prefix"). */
export const placeWord = (position) => word('rule.as', position);

export function formatNumber(n, pad) {
  const digits = String(Math.abs(n)).padStart(clamp(pad, 0, 32), '0');
  return n < 0 ? '-' + digits : digits;
}

const pad2 = (n) => String(n).padStart(2, '0');
const DATE_TOKENS = /\[([^\]]*)\]|YYYY|YY|MMMM|MMM|MM|M|DD|D|dddd|ddd|hh|mm|ss|SSS/g;
const names = new Map(); // locale -> month and weekday names

/** Month and weekday names, long and short, in `locale` (the system's language when undefined). */
function namesIn(locale) {
  let n = names.get(locale);
  if (!n) {
    const as = (options, dates) => dates.map((d) => new Intl.DateTimeFormat(locale, options).format(d));
    const months = Array.from({ length: 12 }, (_, m) => new Date(2001, m, 1));
    const days = Array.from({ length: 7 }, (_, d) => new Date(2001, 0, 7 + d)); // 7 January 2001 was a Sunday
    n = { MMMM: as({ month: 'long' }, months), MMM: as({ month: 'short' }, months), dddd: as({ weekday: 'long' }, days), ddd: as({ weekday: 'short' }, days) };
    names.set(locale, n);
  }
  return n;
}

const FIELDS = {
  YYYY: (d) => String(d.getFullYear()).padStart(4, '0'),
  YY: (d) => pad2(d.getFullYear() % 100),
  MM: (d) => pad2(d.getMonth() + 1),
  M: (d) => String(d.getMonth() + 1),
  DD: (d) => pad2(d.getDate()),
  D: (d) => String(d.getDate()),
  hh: (d) => pad2(d.getHours()),
  mm: (d) => pad2(d.getMinutes()),
  ss: (d) => pad2(d.getSeconds()),
  SSS: (d) => String(d.getMilliseconds()).padStart(3, '0'),
};

/**
 * A formatter of times (ms since 1970, local time) for `pattern`: YYYY YY MM M
 * MMM MMMM DD D ddd dddd hh (0–23) mm ss SSS; text in [brackets] is taken as
 * it is. The pattern is read once: a preview formats 100,000 dates.
 */
export function dateFormatter(pattern, locale = undefined) {
  const pieces = [];
  let last = 0;
  for (const m of pattern.matchAll(DATE_TOKENS)) {
    if (m.index > last) pieces.push(pattern.slice(last, m.index));
    const t = m[0];
    if (m[1] !== undefined) pieces.push(m[1]);
    else if (FIELDS[t]) pieces.push(FIELDS[t]);
    else if (t[0] === 'M') pieces.push((d) => namesIn(locale)[t][d.getMonth()]);
    else pieces.push((d) => namesIn(locale)[t][d.getDay()]);
    last = m.index + t.length;
  }
  if (last < pattern.length) pieces.push(pattern.slice(last));
  return (ms) => {
    const d = new Date(ms);
    let out = '';
    for (const p of pieces) out += typeof p === 'string' ? p : p(d);
    return out;
  };
}

/** Formats one time; see `dateFormatter`. */
export const formatDate = (ms, pattern, locale = undefined) => dateFormatter(pattern, locale)(ms);

const ROMAN = [[1000, 'M'], [900, 'CM'], [500, 'D'], [400, 'CD'], [100, 'C'], [90, 'XC'], [50, 'L'], [40, 'XL'], [10, 'X'], [9, 'IX'], [5, 'V'], [4, 'IV'], [1, 'I']];
function roman(n) {
  let out = '';
  for (const [v, s] of ROMAN) for (; n >= v; n -= v) out += s;
  return out;
}
/** 1 = a, 26 = z, 27 = aa: letters as a spreadsheet names its columns. */
function alpha(n) {
  let out = '';
  for (; n > 0; n = Math.floor((n - 1) / 26)) out = String.fromCharCode(97 + ((n - 1) % 26)) + out;
  return out;
}

/** Counter styles beside plain decimal; roman numbers exist for 1–3999 and letters from 1, else decimal. */
export const COUNTER_FORMATS = ['roman', 'ROMAN', 'alpha', 'ALPHA', 'hex', 'HEX'];

/** `n` in a counter style (decimal when `style` is empty or unknown), zero-padded to `pad` digits where it is a number. */
export function formatCounter(n, style = '', pad = 0) {
  const lower = style.toLowerCase();
  if (lower === 'roman' && n >= 1 && n <= 3999) return style === 'ROMAN' ? roman(n) : roman(n).toLowerCase();
  if (lower === 'alpha' && n >= 1) return style === 'ALPHA' ? alpha(n).toUpperCase() : alpha(n);
  if (lower === 'hex') {
    const digits = Math.abs(n).toString(16).padStart(clamp(pad, 0, 32), '0');
    return (n < 0 ? '-' : '') + (style === 'HEX' ? digits.toUpperCase() : digits);
  }
  return formatNumber(n, pad);
}

/** `count` code points of `s` from `from` removed. */
export function removeRange(s, from, count) {
  if (count <= 0) return s;
  if (!hasAstral(s)) return s.slice(0, from) + s.slice(from + count);
  const cps = Array.from(s);
  cps.splice(from, count);
  return cps.join('');
}

/** The lines of pasted text; a last empty line (a final newline) is not a line. */
export function listLines(text) {
  const lines = text.split(/\r\n|\r|\n/);
  if (lines.length && lines[lines.length - 1] === '') lines.pop();
  return lines;
}
