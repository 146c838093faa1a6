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
