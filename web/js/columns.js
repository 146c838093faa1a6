// A listing in one format from the native reply to the preview worker:
// columns, normalised once as they arrive. Listed items are views on them
// (a place, every field read from the columns), and a listing that is still
// the parts it came in crosses to the worker by joining those columns, not
// by reading each item's fields. Records that come as objects (a drop, a
// batch's fresh records) become columns of their own. Pure: no DOM.

import { dirOf, joinPath, relativeFolder } from './text.js';
import { NameList } from './names.js';
import { textOfBase64 } from './bytes.js';

/** Shared by every record without tags; never changed (tags are replaced, not edited). */
export const NO_TAGS = Object.freeze([]);

/** `name` without "." and `ext`, as a record splits it. */
export const baseOf = (name, ext) => (ext === '' ? name : name.slice(0, name.length - ext.length - 1));

const isLabel = (v) => Number.isInteger(v) && v >= 0 && v <= 7;
const strings = (v) => (!Array.isArray(v) ? [] : v.every((s) => typeof s === 'string') ? v : v.filter((s) => typeof s === 'string'));
const text = (v) => (typeof v === 'string' ? v : '');
/** The fields kept only for the records that have them (see Columns). */
export const SPARSE = ['tags', 'comment', 'path', 'basename'];
/** The fields kept as typed arrays, one number per record. */
export const NUMBERS = ['size', 'created', 'modified', 'accessed', 'label', 'isDir'];

/**
 * `n` records as columns. `names.at(i)` is a name (an array as it came, or a
 * NameList once joined); `folder[i]` is a row of `dirs` and of `rels` (its
 * place below the listed folder), `ext[i]` a row of `exts`. Tags, comments,
 * and the rare path or base name that is not the usual one, are
 * `sparse[key] = [rows, values]`. A folder that is a record's own path's
 * folder is in the table too, so a folder is always a column.
 */
export class Columns {
  constructor(n, names, root) {
    this.n = n;
    this.names = names;
    this.root = root;
    this.dirs = [];
    this.rels = [];
    this.folder = new Uint32Array(n);
    this.exts = [];
    this.ext = new Uint32Array(n);
    this.size = new Float64Array(n);
    this.created = new Float64Array(n);
    this.modified = new Float64Array(n);
    this.accessed = new Float64Array(n);
    this.label = new Uint8Array(n);
    this.isDir = new Uint8Array(n);
    this.sparse = Object.fromEntries(SPARSE.map((k) => [k, [[], []]]));
    this.rows = new Map(); // folder or extension -> its row, while the columns are made
  }

  /** The row of folder `dir` (its place below the root worked out once). */
  folderRow(dir) {
    const key = `d${dir}`;
    let row = this.rows.get(key);
    if (row === undefined) {
      this.rows.set(key, (row = this.dirs.length));
      this.dirs.push(dir);
      this.rels.push(this.root ? relativeFolder(this.root, dir) : '');
    }
    return row;
  }

  extRow(ext) {
    const key = `e${ext}`;
    let row = this.rows.get(key);
    if (row === undefined) this.rows.set(key, (row = this.exts.push(ext) - 1));
    return row;
  }

  note(key, row, value) { this.sparse[key][0].push(row); this.sparse[key][1].push(value); }

  /** The items `from` on: views, with the sparse values as their own. */
  items(from) {
    this.rows = null;
    const items = new Array(this.n);
    for (let i = 0; i < this.n; i++) items[i] = new Item(this, i, from + i);
    for (const key of SPARSE) {
      const [rows, values] = this.sparse[key];
      rows.forEach((row, k) => Object.defineProperty(items[row], key, { value: values[k], enumerable: true, writable: true }));
    }
    return items;
  }
}

/** A listed item: its place in `c` and in the listing (`idx`); its fields are read from the columns. */
export class Item {
  constructor(c, row, idx) {
    this.c = c;
    this.row = row;
    this.idx = idx;
  }
  get name() { return this.c.names.at(this.row); }
  get ext() { return this.c.exts[this.c.ext[this.row]]; }
  get basename() {
    const { names } = this.c;
    const ext = this.ext;
    // joined names are cut from their text: one string made, not two
    if (names instanceof NameList) return names.text.slice(names.start(this.row), names.ends[this.row] - (ext === '' ? 0 : ext.length + 1));
    return baseOf(this.name, ext);
  }
  get dir() { return this.c.dirs[this.c.folder[this.row]]; }
  get rel() { return this.c.rels[this.c.folder[this.row]]; }
  get path() { return joinPath(this.dir, this.name); }
  get isDir() { return this.c.isDir[this.row] === 1; }
  get label() { return this.c.label[this.row]; }
  get size() { return this.c.size[this.row]; }
  get created() { return this.c.created[this.row]; }
  get modified() { return this.c.modified[this.row]; }
  get accessed() { return this.c.accessed[this.row]; }
  get tags() { return NO_TAGS; }
  get comment() { return ''; }
}

/** Record i's numbers, label and kind. */
function setFields(c, i, size, created, modified, accessed, label, isDir) {
  c.size[i] = Number(size) || 0;
  c.created[i] = Number(created) || 0;
  c.modified[i] = Number(modified) || 0;
  c.accessed[i] = Number(accessed) || 0;
  c.label[i] = isLabel(label) ? label : 0;
  c.isDir[i] = isDir ? 1 : 0;
}

/**
 * The items of a listing part sent as columns (the part's `columns`, see
 * the protocol), listing places `from` on, below `root`. Anything of the
 * wrong type takes the value a record would.
 */
export function itemsFromColumns(p, root, from) {
  // as many as there are names: a count the columns do not hold makes nothing up
  const n = Array.isArray(p.name) ? p.name.length : 0;
  const full = (v) => (Array.isArray(v) && v.length === n ? v : []);
  const c = new Columns(n, full(p.name).every((s) => typeof s === 'string') ? p.name : Array.from(p.name ?? [], text), root);
  const table = (names, index, rowOf) => {
    const rows = (Array.isArray(names) ? names : []).map((v) => rowOf(text(v)));
    const at = full(index);
    return (i) => rows[at[i]] ?? rowOf('');
  };
  const folderOf = table(p.dirs, p.dir, (d) => c.folderRow(d));
  const extOf = table(p.exts, p.ext, (e) => c.extRow(e));
  const [size, created, modified, accessed, label, isDir] = NUMBERS.map((f) => full(p[f]));
  for (let i = 0; i < n; i++) {
    c.folder[i] = folderOf(i);
    c.ext[i] = extOf(i);
    setFields(c, i, size[i], created[i], modified[i], accessed[i], label[i], isDir[i] === 1);
  }
  const each = (key, fn) => {
    const s = p[key];
    if (!s || !Array.isArray(s.rows) || !Array.isArray(s.values)) return;
    s.rows.forEach((row, k) => { if (Number.isInteger(row) && row >= 0 && row < n) fn(row, s.values[k]); });
  };
  each('tags', (row, v) => { const tags = strings(v); if (tags.length) c.note('tags', row, tags); });
  each('comment', (row, v) => { if (typeof v === 'string' && v) c.note('comment', row, v); });
  each('path', (row, v) => {
    const path = String(v ?? '');
    c.note('path', row, path);
    c.folder[row] = c.folderRow(dirOf(path));
  });
  each('basename', (row, v) => c.note('basename', row, String(v ?? '')));
  // names that are not UTF-8 come as their bytes too: the text sent holds U+FFFD
  let names = null;
  each('rawName', (row, v) => {
    names ??= (c.names = c.names.slice());
    const ext = c.exts[c.ext[row]];
    names[row] = textOfBase64(v);
    if (ext !== '') c.ext[row] = c.extRow(extensionOf(names[row]));
  });
  each('rawPath', (row, v) => {
    const path = textOfBase64(v);
    c.note('path', row, path);
    c.folder[row] = c.folderRow(dirOf(path));
  });
  return c.items(from);
}

/** The extension of a name whose record has one: after its last ".". */
const extensionOf = (name) => name.slice(name.lastIndexOf('.') + 1);

/** Records sent as objects, as listing items `from` on below `root`; a field of the wrong type takes its empty value. */
export function itemsFromRecords(records, root, from) {
  const objects = records.map((r) => (r && typeof r === 'object' ? r : {}));
  const c = new Columns(records.length, objects.map((r) => (typeof r.rawName === 'string' ? textOfBase64(r.rawName) : text(r.name))), root);
  objects.forEach((r, i) => {
    const name = c.names[i];
    const path = typeof r.rawPath === 'string' ? textOfBase64(r.rawPath) : text(r.path);
    const raw = typeof r.rawName === 'string';
    const ext = raw && r.ext ? extensionOf(name) : text(r.ext);
    const basename = typeof r.basename === 'string' && !raw ? r.basename : baseOf(name, ext);
    c.folder[i] = c.folderRow(dirOf(path));
    c.ext[i] = c.extRow(ext);
    setFields(c, i, r.size, r.created, r.modified, r.accessed, r.label, r.isDir === true);
    const tags = strings(r.tags);
    if (tags.length) c.note('tags', i, tags);
    if (typeof r.comment === 'string' && r.comment) c.note('comment', i, r.comment);
    if (path !== joinPath(c.dirs[c.folder[i]], name)) c.note('path', i, path);
    if (basename !== baseOf(name, ext)) c.note('basename', i, basename);
  });
  return c.items(from);
}

/**
 * Makes `records[k]` the listing's item `from + k` for every k from `start`
 * on: an item already (a part's) keeps its columns and takes its place.
 */
export function normaliseInto(records, root, from, start = 0) {
  let k = start;
  while (k < records.length) {
    if (records[k] instanceof Item) { records[k].idx = from + k; k++; continue; }
    let end = k;
    while (end < records.length && !(records[end] instanceof Item)) end++;
    itemsFromRecords(records.slice(k, end), root, from + k).forEach((it, j) => { records[k + j] = it; });
    k = end;
  }
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
