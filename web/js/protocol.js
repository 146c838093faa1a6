// What the page takes from the native side, in one place: how a file record
// is read, the colour-label table, the list's row height, and the native
// messages the page recognises (fixed by the native side; matched only here).
// Pure: no DOM.

import { dirOf, interned, relativeDir } from './text.js';
import { t } from './i18n/index.js';

/** Colour labels by index; 0 is none. A template's {label} writes these into names; the page shows them translated. */
export const COLOR_LABELS = ['None', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];

/** Height of one row of the list, in CSS pixels. */
export const ROW_HEIGHT = 28;

/** The native message when the comment attribute could not be written. */
export const COMMENT_FAILED = 'Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 Automation).';
const TAGS_FAILED = 'tags: ';

/** True when a native result's error is a failed tag write (the rename before it went through). */
export const isTagFailure = (message) => message.startsWith(TAGS_FAILED);
/** True when a native result's error is a failed comment write. */
export const isCommentFailure = (message) => message === COMMENT_FAILED;

/** What to show for a native error message, in the page's language: `text` for the row, `raw` (as it came) for the tooltip. */
export function explainError(message) {
  if (isCommentFailure(message)) return { text: t('native.comment'), raw: message };
  if (isTagFailure(message)) return { text: t('native.tags', { reason: message.slice(TAGS_FAILED.length) }), raw: message };
  return { text: message, raw: message };
}

const strings = (v) => (!Array.isArray(v) ? [] : v.every((t) => typeof t === 'string') ? v : v.filter((t) => typeof t === 'string'));
const isLabel = (v) => Number.isInteger(v) && v >= 0 && v <= 7;
const wellFormed = (r) => typeof r.path === 'string' && typeof r.name === 'string' && typeof r.basename === 'string'
  && typeof r.ext === 'string' && typeof r.isDir === 'boolean' && Number.isFinite(r.size) && Number.isFinite(r.created)
  && Number.isFinite(r.modified) && Array.isArray(r.tags) && r.tags.every((t) => typeof t === 'string')
  && isLabel(r.label) && typeof r.comment === 'string';

/**
 * A file record as the page keeps it: every field of the expected type, plus
 * `idx` (its place in the listing), `dir` (its folder) and `rel` (its folder
 * below `root`, for the tree's folder column). A record that has every field
 * of its type (all that the native side sends) is completed in place: copying
 * 100,000 of them took longer than parsing them.
 */
export function normalise(rec, root, idx, folders = null) {
  const it = wellFormed(rec) ? rec : {
    path: String(rec.path ?? ''),
    name: String(rec.name ?? ''),
    basename: String(rec.basename ?? rec.name ?? ''),
    ext: String(rec.ext ?? ''),
    isDir: rec.isDir === true,
    size: Number(rec.size) || 0,
    created: Number(rec.created) || 0,
    modified: Number(rec.modified) || 0,
    tags: strings(rec.tags),
    label: isLabel(rec.label) ? rec.label : 0,
    comment: typeof rec.comment === 'string' ? rec.comment : '',
  };
  if (!it.tags.length) it.tags = NO_TAGS;
  it.idx = idx;
  it.dir = dirOf(it.path);
  it.rel = root ? relativeDir(root, it.path) : '';
  if (folders) {
    // one string per folder, not one per item: a million items sit in few folders
    it.dir = interned(folders, it.dir);
    it.rel = interned(folders, it.rel);
  }
  return it;
}

/** Shared by every record without tags; never changed (tags are replaced, not edited). */
export const NO_TAGS = Object.freeze([]);

/** Normalises `records[k]` in place as the listing's item `from + k`, for every k from `start` on. */
export function normaliseInto(records, root, from, start = 0) {
  const folders = new Map();
  for (let k = start; k < records.length; k++) records[k] = normalise(records[k], root, from + k, folders);
}

// Made when first asked, once per listing (listings are never changed in
// place): most listings never need it, and a million paths in a map cost
// a hundred megabytes while the listing arrived.
const pathIndexes = new WeakMap();
/** Map path -> index of the item in `items`. */
export function pathIndexOf(items) {
  let index = pathIndexes.get(items);
  if (!index) {
    index = new Map();
    for (let i = 0; i < items.length; i++) index.set(items[i].path, i);
    pathIndexes.set(items, index);
  }
  return index;
}
