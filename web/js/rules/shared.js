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

/** The choices of which matches a rule replaces; any other value is a list of them (see matchPicker). */
export const OCCURRENCES = ['all', 'first', 'last'].map((v) => [v, t(`replace.${v}`)]);

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

const RANGE = /^(-?[1-9]\d{0,5})(?:\.\.(-?[1-9]\d{0,5}))?$/;

/**
 * Which matches a rule replaces: `all`, `first`, `last`, or numbers and
 * ranges ("1,3", "2..4", "-1" the last, "-3..-1" the last three). Returns
 * `picks(k, total)` (k counted from 1), or null when the text names none.
 */
export function matchPicker(occurrence) {
  if (occurrence === 'all' || occurrence === undefined) return () => true;
  if (occurrence === 'first') return (k) => k === 1;
  if (occurrence === 'last') return (k, total) => k === total;
  const ranges = [];
  for (const part of String(occurrence).split(',')) {
    const m = RANGE.exec(part.trim());
    if (!m) return null;
    ranges.push([Number(m[1]), Number(m[2] ?? m[1])]);
  }
  // a number below 0 counts from the last match
  const at = (n, total) => (n < 0 ? total + n + 1 : n);
  return (k, total) => ranges.some(([a, b]) => {
    const [lo, hi] = [at(a, total), at(b, total)].sort((x, y) => x - y);
    return k >= lo && k <= hi;
  });
}

/**
 * `re` (global) replaced in `s` where `picks` says, each match by
 * `replace(...the arguments String.replace gives)`.
 */
export function replacePicked(s, re, picks, replace) {
  let total = 0;
  for (const _ of s.matchAll(re)) total++; // eslint-disable-line no-unused-vars
  if (!total) return s;
  let k = 0;
  return s.replace(re, (...args) => (picks(++k, total) ? replace(...args) : args[0]));
}

const SKIPPED = /^(\d{1,9})(?:-(\d{1,9}))?$/;

/**
 * The numbers a counter gives, from `start` by `step`, never one that `skip`
 * names ("1-5,10-20,13": numbers and ranges): `at(k)` is the k-th (from 0).
 * Null when `skip` names no numbers that way. Counted once, in order: a
 * preview numbers 100,000 items.
 */
export function counterOf(start, step, skip = '') {
  const ranges = [];
  for (const part of String(skip).split(',')) {
    if (!part.trim()) continue;
    const m = SKIPPED.exec(part.trim());
    if (!m || Number(m[2] ?? m[1]) < Number(m[1])) return null;
    ranges.push([Number(m[1]), Number(m[2] ?? m[1])]);
  }
  // a counter that stands still cannot go past a number it may not give
  if (!ranges.length || step === 0) return { at: (k) => start + step * k };
  const given = [];
  // the next number from n on that no range holds, on the counter's steps
  const past = (n) => {
    for (let moved = true; moved;) {
      moved = false;
      for (const [a, b] of ranges) {
        if (n < a || n > b) continue;
        n += step * Math.ceil((step > 0 ? b + 1 - n : n - (a - 1)) / Math.abs(step));
        moved = true;
      }
    }
    return n;
  };
  return {
    at(k) {
      while (given.length <= k) given.push(past(given.length ? given.at(-1) + step : start));
      return given[k];
    },
  };
}

/** The groups a match expression has, by number and by name. */
export function groupsOf(source) {
  const empty = new RegExp(`(?:${source})|`, 'u').exec('');
  return { count: empty.length - 1, names: new Set(Object.keys(empty.groups || {})) };
}
