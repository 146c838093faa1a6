// Small string helpers shared by the pure modules. Positions are code points,
// lengths on disk are UTF-8 bytes; no DOM here.

import { shownBytes } from './bytes.js';

const encoder = new TextEncoder();
const NON_ASCII = /[^\x00-\x7f]/;
const SURROGATE = /[\uD800-\uDFFF]/;

// Hashes of names by folder (a number), for the tables over typed arrays
// that stand in for Maps of a million "folder, name" strings.
export const hashSeed = (folder) => Math.imul(folder + 1, 0x9e3779b1);
export const hashStep = (h, unit) => Math.imul(h ^ unit, 0x01000193);
/** The hash `h` built up by hashStep, finished: a multiply carries only upwards, so the high bits are folded down. */
export function hashEnd(h) {
  h = Math.imul(h ^ (h >>> 16), 0x85ebca6b);
  return h ^ (h >>> 13);
}
/** A hash of `s` in folder `folder`. */
export function hashInFolder(folder, s) {
  let h = hashSeed(folder);
  for (let k = 0; k < s.length; k++) h = hashStep(h, s.charCodeAt(k));
  return hashEnd(h);
}

/** Length of `s` in UTF-8 bytes, as the file system counts a name. */
export function utf8Length(s) {
  return NON_ASCII.test(s) ? encoder.encode(s).length : s.length;
}

/** True when `s` holds characters outside the BMP, so UTF-16 indexes are not code points. */
export function hasAstral(s) {
  return SURROGATE.test(s);
}

/** Code-point array of `s` (never splits a surrogate pair). */
export function codePoints(s) {
  return Array.from(s);
}

/** Number of code points in `s`. */
export function cpLength(s) {
  return hasAstral(s) ? Array.from(s).length : s.length;
}

/** Slice of `s` by code-point positions, with String.prototype.slice's rules for negatives. */
export function cpSlice(s, start, end) {
  if (!hasAstral(s)) return s.slice(start, end);
  return Array.from(s).slice(start, end).join('');
}

const CONTROL = /[\x00-\x1f\x7f]/;
const CONTROLS = /[\x00-\x1f\x7f]/g;
/**
 * `s` with control characters (a newline in a name, a tab) drawn as their
 * visible pictures (U+2400 block), so that a name stays on its one line, and
 * bytes that are not UTF-8 written as such ("\xE9").
 */
export function visibleName(s) {
  s = shownBytes(s);
  return CONTROL.test(s) ? s.replace(CONTROLS, (c) => String.fromCharCode(c === '\x7f' ? 0x2421 : 0x2400 + c.charCodeAt(0))) : s;
}

/**
 * The spaces `s` starts and ends with, drawn as "␣" around "…" for the text
 * between ("␣…", "␣…␣", "␣" for one space alone), where a text field would
 * show them as nothing; '' when it has none.
 */
export function shownSpaces(s) {
  const [, lead, middle, trail] = /^( *)(.*?)( *)$/s.exec(s);
  if (!lead && !trail) return '';
  return '\u2423'.repeat(lead.length) + (middle ? '…' : '') + '\u2423'.repeat(trail.length);
}

/** Joins base name and extension the way a file record splits them. */
export function joinName(base, ext) {
  return ext === '' ? base : base + '.' + ext;
}

/** Splits a full name at its last dot; a leading dot (hidden name) is not an extension. */
export function splitName(name) {
  const dot = name.lastIndexOf('.');
  if (dot <= 0 || dot === name.length - 1) return { base: name, ext: '' };
  return { base: name.slice(0, dot), ext: name.slice(dot + 1) };
}

/** Folder part of a path ("/a/b" -> "/a", "/a" -> "/"). */
export function dirOf(path) {
  const slash = path.lastIndexOf('/');
  if (slash < 0) return '';
  return slash === 0 ? '/' : path.slice(0, slash);
}

/** Joins a folder path and one name. */
export function joinPath(dir, name) {
  if (dir === '') return name;
  return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

/** Folder `dir` below `root`, without the leading slash; '' for root itself. */
export function relativeFolder(root, dir) {
  const r = root.endsWith('/') && root !== '/' ? root.slice(0, -1) : root;
  if (dir === r) return '';
  const prefix = r === '/' ? '/' : r + '/';
  return dir.startsWith(prefix) ? dir.slice(prefix.length) : dir;
}

/**
 * Escapes a literal for use inside a regular expression, outside a character
 * class. Only syntax characters get a backslash: with the "u" flag any other
 * escape ("\-", "\'") is a syntax error.
 */
export function escapeRegExp(s) {
  return s.replace(/[.*+?^${}()|[\]\\/]/g, '\\$&');
}
