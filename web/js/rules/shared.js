// Helpers the rule types share: numbers from fields, placing a piece beside
// the name, dates, counters. Pure: no DOM.

import { cpLength, cpSlice, hasAstral } from '../text.js';

export const int = (v, d = 0) => (Number.isFinite(Number(v)) ? Math.trunc(Number(v)) : d);
export const clamp = (v, lo, hi) => Math.max(lo, Math.min(hi, v));

/** A short quoted form of user text for a card's summary line. */
export function quote(s, max = 18) {
  const t = cpLength(s) > max ? cpSlice(s, 0, max - 1) + '…' : s;
  return `"${t}"`;
}

/** What a summary says about the rule's target, when it is not the base name. */
export const where = (rule) => (rule.target === 'ext' ? ' (ext)' : rule.target === 'both' ? ' (whole name)' : '');

/** `piece` before, after or instead of `s`, joined by `sep`. */
export function place(s, piece, position, sep) {
  if (position === 'replace') return piece;
  if (position === 'suffix') return s === '' ? piece : s + sep + piece;
  return s === '' ? piece : piece + sep + s;
}

export const PLACES = [['prefix', 'before the name'], ['suffix', 'after the name'], ['replace', 'instead of the name']];

export function formatNumber(n, pad) {
  const digits = String(Math.abs(n)).padStart(clamp(pad, 0, 32), '0');
  return n < 0 ? '-' + digits : digits;
}

const pad2 = (n) => String(n).padStart(2, '0');
/** Formats a time (ms since 1970, local time) with the tokens YYYY YY MM DD hh mm ss. */
export function formatDate(ms, pattern) {
  const d = new Date(ms);
  return pattern.replace(/YYYY|YY|MM|DD|hh|mm|ss/g, (t) => {
    switch (t) {
      case 'YYYY': return String(d.getFullYear()).padStart(4, '0');
      case 'YY': return pad2(d.getFullYear() % 100);
      case 'MM': return pad2(d.getMonth() + 1);
      case 'DD': return pad2(d.getDate());
      case 'hh': return pad2(d.getHours());
      case 'mm': return pad2(d.getMinutes());
      default: return pad2(d.getSeconds());
    }
  });
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
