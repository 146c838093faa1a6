// Formats the rules and the template share: numbers, counters, dates, and
// title and sentence case. Pure: no DOM.

const clamp = (v, lo, hi) => Math.max(lo, Math.min(hi, v));

export function formatNumber(n, pad) {
  const digits = String(Math.abs(n)).padStart(clamp(pad, 0, 32), '0');
  return n < 0 ? '-' + digits : digits;
}

const pad2 = (n) => String(n).padStart(2, '0');
const TIME_OF_DAY = new Set(['hh', 'mm', 'ss', 'SSS', 'X', 'x']);
const DATE_TOKENS = /\[([^\]]*)\]|YYYY|YY|MMMM|MMM|MM|M|DD|D|dddd|ddd|hh|mm|ss|SSS|X|x/g;
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
  X: (d) => String(Math.floor(d.getTime() / 1000)),
  x: (d) => String(d.getTime()),
};

/**
 * A formatter of times (ms since 1970, local time) for `pattern`: YYYY YY MM M
 * MMM MMMM DD D ddd dddd hh (0–23) mm ss SSS, X (seconds since 1970) and x
 * (milliseconds); text in [brackets] is taken as it is. The pattern is read
 * once: a preview formats 100,000 dates.
 */
export function dateFormatter(pattern, locale = undefined) {
  const pieces = [];
  let last = 0;
  let dayOnly = true;
  for (const m of pattern.matchAll(DATE_TOKENS)) {
    if (m.index > last) pieces.push(pattern.slice(last, m.index));
    const t = m[0];
    if (m[1] !== undefined) pieces.push(m[1]);
    else if (FIELDS[t]) pieces.push(FIELDS[t]);
    else if (t[0] === 'M') pieces.push((d) => namesIn(locale)[t][d.getMonth()]);
    else pieces.push((d) => namesIn(locale)[t][d.getDay()]);
    if (TIME_OF_DAY.has(t)) dayOnly = false;
    last = m.index + t.length;
  }
  if (last < pattern.length) pieces.push(pattern.slice(last));
  // A pattern of the day alone writes one text for a whole local day, which
  // most of a folder's files share: the last day's text is kept with the
  // day's bounds (a day may have 23 or 25 hours).
  let from = 0, to = 0, kept = '';
  return (ms) => {
    if (ms >= from && ms < to) return kept;
    const d = new Date(ms);
    let out = '';
    for (const p of pieces) out += typeof p === 'string' ? p : p(d);
    if (dayOnly) {
      from = new Date(ms).setHours(0, 0, 0, 0);
      to = new Date(ms).setHours(24, 0, 0, 0);
      kept = out;
    }
    return out;
  };
}

// What each field reads when a date is read back from text: a pattern and
// where its value goes.
const READ = {
  YYYY: ['\\d{4}', 'year'], YY: ['\\d{2}', 'yy'], MM: ['\\d{2}', 'month'], M: ['\\d{1,2}', 'month'],
  DD: ['\\d{2}', 'day'], D: ['\\d{1,2}', 'day'], hh: ['\\d{2}', 'hour'], mm: ['\\d{2}', 'minute'],
  ss: ['\\d{2}', 'second'], SSS: ['\\d{3}', 'ms'], X: ['\\d{1,12}', 'seconds'], x: ['\\d{1,15}', 'epoch'],
};
const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');

/**
 * A reader of dates written in `pattern` (the tokens of `dateFormatter`, all
 * the text): `read(text)` gives the time (ms since 1970, local time), or
 * undefined when the text does not fit or names no real day.
 */
export function dateReader(pattern, locale = undefined) {
  const fields = [];
  let source = '';
  let last = 0;
  for (const m of pattern.matchAll(DATE_TOKENS)) {
    source += escape(pattern.slice(last, m.index));
    const t = m[0];
    if (m[1] !== undefined) source += escape(m[1]);
    else if (READ[t]) { source += `(${READ[t][0]})`; fields.push(READ[t][1]); }
    else {
      const list = namesIn(locale)[t];
      source += `(${list.map(escape).join('|')})`;
      fields.push(t[0] === 'M' ? (v) => ['month', list.findIndex((n) => n.toLowerCase() === v.toLowerCase()) + 1] : null);
    }
    last = m.index + t.length;
  }
  const re = new RegExp(`^${source}${escape(pattern.slice(last))}$`, 'iu');
  return (text) => {
    const m = re.exec(text);
    if (!m) return undefined;
    const v = { year: 1970, month: 1, day: 1, hour: 0, minute: 0, second: 0, ms: 0 };
    fields.forEach((f, k) => {
      if (typeof f === 'function') { const [key, n] = f(m[k + 1]); v[key] = n; } else if (f) v[f] = Number(m[k + 1]);
    });
    if (v.epoch !== undefined) return v.epoch;
    if (v.seconds !== undefined) return v.seconds * 1000;
    // two digits are 1969–2068, as strptime reads them
    if (v.yy !== undefined) v.year = v.yy < 69 ? 2000 + v.yy : 1900 + v.yy;
    const d = new Date(v.year, v.month - 1, v.day, v.hour, v.minute, v.second, v.ms);
    d.setFullYear(v.year); // years below 100 are not 19xx
    const real = d.getMonth() === v.month - 1 && d.getDate() === v.day && d.getHours() === v.hour && v.minute < 60 && v.second < 60;
    return real ? d.getTime() : undefined;
  };
}

/**
 * A recorded wall clock ("YYYY-MM-DDThh:mm:ss", ".sss" and a "Z" allowed) as
 * the local milliseconds of the same clock reading; 0 when it is none.
 */
export function wallClockMs(text) {
  const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(?:\.(\d{1,3}))?Z?$/.exec(text || '');
  if (!m) return 0;
  const [, y, mo, d, h, mi, s, frac = '0'] = m;
  return new Date(+y, +mo - 1, +d, +h, +mi, +s, +frac.padEnd(3, '0')).getTime();
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
  if (style === '') return formatNumber(n, pad);
  const lower = style.toLowerCase();
  if (lower === 'roman' && n >= 1 && n <= 3999) return style === 'ROMAN' ? roman(n) : roman(n).toLowerCase();
  if (lower === 'alpha' && n >= 1) return style === 'ALPHA' ? alpha(n).toUpperCase() : alpha(n);
  if (lower === 'hex') {
    const digits = Math.abs(n).toString(16).padStart(clamp(pad, 0, 32), '0');
    return (n < 0 ? '-' : '') + (style === 'HEX' ? digits.toUpperCase() : digits);
  }
  return formatNumber(n, pad);
}

// A combining mark belongs to the letter before it: it starts no word.
const WORD_START = /(^|[^\p{L}\p{M}\p{N}'’])(\p{L})/gu;
const FIRST_LETTER = /\p{L}/u;

/** Each word's first letter in capitals, the rest in small letters. */
export function titleCase(s) {
  const low = s.toLowerCase();
  // ASCII alone, as most names are, without the Unicode expression: the same words, found in one pass
  let out = '';
  let last = 0;
  let inWord = false;
  for (let k = 0; k < low.length; k++) {
    const c = low.charCodeAt(k);
    if (c > 127) return low.replace(WORD_START, (m, pre, first) => pre + first.toUpperCase());
    const letter = c >= 97 && c <= 122;
    if (letter && !inWord) {
      out += low.slice(last, k) + String.fromCharCode(c - 32);
      last = k + 1;
    }
    inWord = letter || (c >= 48 && c <= 57) || c === 39;
  }
  return last === 0 ? low : out + low.slice(last);
}
export const sentenceCase = (s) => s.toLowerCase().replace(FIRST_LETTER, (c) => c.toUpperCase());
