// What the page makes of the fields `readMedia` answers: the date taken as a
// moment, which configurations need those fields, and the lines the metadata
// panel shows. Pure: no DOM.

import { patternNeeds } from './template.js';
import { compileChain, evaluateAll } from './rules.js';
import { wallClockMs } from './formats.js';
import { t } from './i18n/index.js';
import { cameraOf } from './clocks.js';

/**
 * The date taken ("YYYY-MM-DDThh:mm:ss[.sss]", a local wall clock) as local
 * milliseconds, moved by its camera's offset in `clocks` (minutes by camera);
 * 0 when absent.
 */
export function takenMs(fields, clocks = null) {
  const ms = /Z$/.test(fields?.dateTaken || '') ? 0 : wallClockMs(fields?.dateTaken);
  const offset = ms && clocks ? clocks[cameraOf(fields)] : 0;
  return offset ? ms + offset * 60000 : ms;
}

const needsOf = new WeakMap(); // rules array -> its needs; the store never changes a chain in place

/** What the enabled rules of a chain read from inside the files: {taken, media, hashes}. */
export function rulesNeed(rules) {
  let needs = needsOf.get(rules);
  if (needs) return needs;
  needs = { taken: false, media: false, all: false, hashes: [] };
  needsOf.set(rules, needs);
  for (const r of rules) {
    if (!r.enabled) continue;
    if (r.type === 'date' && r.source === 'taken') needs.taken = true;
    if (r.type !== 'template') continue;
    const t = patternNeeds(r.pattern);
    needs.taken ||= t.taken;
    needs.media ||= t.media;
    needs.all ||= t.all;
    for (const h of t.hashes) if (!needs.hashes.includes(h)) needs.hashes.push(h);
  }
  return needs;
}

/** Whether the chain or the order uses the date taken, so media must be read. */
export function needsTaken(config) {
  return config.sort.key === 'taken' || rulesNeed(config.rules).taken;
}

/** Whether the preview reads media fields or digests, item by item. */
export function needsFields(config) {
  const n = rulesNeed(config.rules);
  return n.media || n.hashes.length > 0 || (config.unique && config.tagDuplicates);
}

/** One file's fields after a reply: a digest is added to those already read, never replacing them. */
export function mergeMedia(before, read, hash) {
  if (!before && !hash) return read;
  const merged = { ...before, ...read };
  const digests = { ...before?.hash };
  if (hash && read.hash) digests[hash] = read.hash;
  if (Object.keys(digests).length) merged.hash = digests;
  else delete merged.hash;
  return merged;
}

/** Each listed item's date taken (0 where unknown), by index. */
export function takenColumn(items, media, clocks = null) {
  const out = new Float64Array(items.length);
  for (let i = 0; i < items.length; i++) out[i] = takenMs(media.get(items[i].path), clocks);
  return out;
}

// The token of a template that names each line of the panel, by the line's label.
const TOKENS = Object.fromEntries(Object.entries({
  taken: '{taken:YYYY-MM-DD}', camera: '{make} {model}', lens: '{lens}', size: '{width}x{height}', exposure: '{exposure}',
  artist: '{artist}', album: '{album}', title: '{title}', track: '{track:2}', length: '{duration}', author: '{author}', pages: '{pages}',
}).map(([key, token]) => [t(`media.${key}`), token]));
/** The template token for a panel line, or undefined. */
export const tokenOf = (label) => TOKENS[label];

const secondsText = (s) => `${Math.floor(s / 60)}:${String(Math.round(s % 60)).padStart(2, '0')}`;
const join = (...parts) => parts.filter((p) => p !== undefined && p !== '').join(' · ');

/** [label, text] lines describing one file's media fields for the metadata panel. */
export function mediaLines(f) {
  if (!f) return [];
  if (f.error) return [[t('media.contents'), f.error]];
  const lines = [];
  const add = (key, text) => { if (text) lines.push([t(`media.${key}`), String(text)]); };
  add('taken', f.dateTaken && `${f.dateTaken.replace('T', ' ')}${f.offset ? ` (${f.offset})` : ''}`);
  add('camera', join(f.make, f.model));
  add('lens', f.lens);
  add('size', f.width && `${f.width} × ${f.height}`);
  add('exposure', join(f.exposure && `${f.exposure} s`, f.fNumber && `f/${f.fNumber}`, f.iso && `ISO ${f.iso}`, f.focalLength && `${f.focalLength} mm`));
  add('artist', f.artist);
  add('album', join(f.album, f.year));
  add('title', f.title);
  add('track', f.track && (f.trackTotal ? t('media.trackOf', { track: String(f.track), total: String(f.trackTotal) }) : `${f.track}`));
  add('length', f.duration && secondsText(f.duration));
  add('codec', f.codec);
  add('author', f.author);
  add('pages', f.pages);
  return lines;
}

export const EXAMPLE_ROWS = 200;
/**
 * What one rule of the chain does to the first of `order`'s items (up to 200
 * looked at) that it changes: {from, to}, or null. The card of a template
 * shows it while the pattern is typed.
 */
export function ruleExample(rules, id, items, order, media) {
  const at = rules.findIndex((r) => r.id === id);
  if (at < 0) return null;
  const scope = Array.from(order.slice(0, EXAMPLE_ROWS));
  const taken = new Float64Array(items.length);
  const fields = [];
  for (const i of scope) { fields[i] = media.get(items[i].path); taken[i] = takenMs(fields[i]); }
  const columns = { taken, media: fields };
  const before = evaluateAll(compileChain(rules.slice(0, at)), items, scope, [], columns);
  const after = evaluateAll(compileChain(rules.slice(0, at + 1)), items, scope, [], columns);
  const i = scope.find((k) => before[k] !== after[k]);
  return i === undefined ? null : { from: before[i], to: after[i] };
}
