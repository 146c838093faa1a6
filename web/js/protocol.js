// What the page takes from the native side, in one place: how a file record
// is read, the colour-label table, the list's row height, and what the
// native side's error codes mean.
// Pure: no DOM.

import { dirOf, interned, joinPath, relativeDir, relativeFolder } from './text.js';
import { t } from './i18n/index.js';

/** Colour labels by index; 0 is none. A template's {label} writes these into names; the page shows them translated. */
export const COLOR_LABELS = ['None', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];

/** Height of one row of the list, in CSS pixels. */
export const ROW_HEIGHT = 28;

/**
 * What to show for a native failure ({code, error, stage}), in the page's
 * language: `text` says what the code means (and which step failed), `raw`
 * is the native text as it came, for the tooltip. Messages are never matched.
 */
export function explainError({ code = '', error = '', stage = '' } = {}) {
  const reason = code && t.has(`code.${code}`) ? t(`code.${code}`) : error;
  const text = stage === 'tags' || stage === 'comment' ? t(`stage.${stage}`, { reason }) : reason;
  return { text, raw: error };
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
  if (rec instanceof Item) {
    rec.idx = idx;
    return rec;
  }
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

/**
 * A record that came in columns: the same fields, but its path and base name
 * are made when asked for unless they are not the usual join (then they are
 * its own). A million records as parsed objects, each with three strings,
 * held hundreds of megabytes more.
 */
export class Item {
  constructor(idx, name, ext, dir, rel, isDir, size, created, modified, label) {
    this.idx = idx;
    this.name = name;
    this.ext = ext;
    this.dir = dir;
    this.rel = rel;
    this.isDir = isDir;
    this.size = size;
    this.created = created;
    this.modified = modified;
    this.tags = NO_TAGS;
    this.label = label;
    this.comment = '';
  }
  get path() { return joinPath(this.dir, this.name); }
  get basename() { return baseOf(this.name, this.ext); }
}

/** `name` without "." and `ext`, as a record splits it. */
export const baseOf = (name, ext) => (ext === '' ? name : name.slice(0, name.length - ext.length - 1));

/** Whether `basename` is `name` without "." and `ext`, without making that string. */
const isBaseOf = (basename, name, ext) => (ext === '' ? basename === name
  : basename.length === name.length - ext.length - 1 && name.startsWith(basename) && name.endsWith(ext) && name[basename.length] === '.');

/** Whether `path` is joinPath(dir, name), without making the joined string. */
const isJoined = (path, dir, name) => {
  const slash = dir === '' || dir.endsWith('/') ? 0 : 1;
  return path.length === dir.length + slash + name.length && path.startsWith(dir) && path.endsWith(name)
    && (!slash || path[dir.length] === '/');
};

/** The path of `it` when it is not its folder joined to its name, else null; never makes a string. */
export function oddPath(it) {
  if (it instanceof Item) return Object.hasOwn(it, 'path') ? it.path : null;
  return isJoined(it.path, it.dir, it.name) ? null : it.path;
}

/** The base name of `it` when it is not its name without "." and extension, else null. */
export function oddBasename(it) {
  if (it instanceof Item) return Object.hasOwn(it, 'basename') ? it.basename : null;
  return isBaseOf(it.basename, it.name, it.ext) ? null : it.basename;
}

const own = (item, key, value) => Object.defineProperty(item, key, { value, enumerable: true, writable: true, configurable: true });
const NONE = Object.freeze([]);
const column = (v, n) => (Array.isArray(v) && v.length === n ? v : NONE);
const sparse = (s) => (s && Array.isArray(s.rows) && Array.isArray(s.values) ? s : { rows: [], values: [] });
const table = (names, index, n) => {
  const values = Array.isArray(names) ? names.map((v) => (typeof v === 'string' ? v : '')) : [];
  const rows = column(index, n);
  return (i) => values[rows[i]] ?? '';
};

/**
 * The items of a listing part sent as columns (the part's `columns`), as
 * listing items `from` on below `root`. Anything of the wrong type takes the
 * value a record would (as `normalise` does).
 */
export function itemsFromColumns(c, root, from) {
  // as many as there are names: a count the columns do not hold makes nothing up
  const n = Array.isArray(c.name) ? c.name.length : 0;
  const name = column(c.name, n), isDir = column(c.isDir, n), label = column(c.label, n);
  const [size, created, modified] = ['size', 'created', 'modified'].map((f) => column(c[f], n));
  const dirOfRow = table(c.dirs, c.dir, n), extOfRow = table(c.exts, c.ext, n);
  const rels = new Map(); // folder -> its place below root, worked out once per folder
  const items = new Array(n);
  for (let i = 0; i < n; i++) {
    const dir = dirOfRow(i);
    let rel = rels.get(dir);
    if (rel === undefined) rels.set(dir, (rel = root ? relativeFolder(root, dir) : ''));
    items[i] = new Item(from + i, typeof name[i] === 'string' ? name[i] : '', extOfRow(i), dir, rel, isDir[i] === 1,
      Number(size[i]) || 0, Number(created[i]) || 0, Number(modified[i]) || 0, isLabel(label[i]) ? label[i] : 0);
  }
  const each = (s, fn) => sparse(s).rows.forEach((row, k) => { if (Number.isInteger(row) && row >= 0 && row < n) fn(items[row], s.values[k]); });
  each(c.tags, (it, v) => { const tags = strings(v); if (tags.length) it.tags = tags; });
  each(c.comment, (it, v) => { if (typeof v === 'string') it.comment = v; });
  each(c.path, (it, v) => {
    const path = own(it, 'path', String(v ?? '')).path;
    it.dir = dirOf(path);
    it.rel = root ? relativeDir(root, path) : '';
  });
  each(c.basename, (it, v) => own(it, 'basename', String(v ?? '')));
  return items;
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
