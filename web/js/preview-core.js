// One preview: which items are shown and in what order, their new names, and
// every problem of the batch they would make. The same function runs in the
// preview worker (large listings) and on the main thread (small ones); the
// result crosses between them packed (one string for all names, the problem
// rows only), which costs a fraction of cloning 100,000 strings and a sparse
// array. Pure: no DOM.

import { compileChain, evaluateAll } from './rules.js';
import { checkConflicts, skipErrorRows, invalidNames, severityOf } from './conflicts.js';
import { filterItems, sortIndexes, textMatcher } from './filter.js';
import { joinPath } from './text.js';
import { NO_TAGS, baseOf, oddBasename, oddPath } from './protocol.js';

/** What the status strip counts; `sent` is how many changes an apply sends. */
function countRows(items, check, leftOut, edited) {
  let renames = 0, meta = 0, errors = 0, warnings = 0, skipped = 0, changed = 0, sent = 0;
  const invalid = invalidNames(items);
  for (let i = 0; i < items.length; i++) {
    const hasMeta = edited.has(i);
    const touched = check.renamed[i] === 1 || hasMeta;
    if (touched) changed++;
    if (touched && !(leftOut && leftOut[i]) && !invalid[i]) sent++;
    const sev = severityOf(check.problems[i]);
    if (sev === 'skip') { skipped++; continue; }
    if (check.renamed[i]) renames++;
    if (hasMeta) meta++;
    if (sev === 'error') errors++;
    else if (sev === 'warning') warnings++;
  }
  return { renames, meta, errors, warnings, skipped, unchanged: items.length - changed - skipped, sent };
}

/**
 * `edits`: Map item index -> {tags?, label?} of pending metadata, `edited`:
 * the indexes with any pending edit; `selection`: the selected indexes when
 * only they are renamed; `taken`: paths held by items that are not listed;
 * `previousNames(i)`: the last new name of item i, which a sort by new name
 * follows; `dateTaken`: each item's date taken in milliseconds (0 where the
 * file has none), when a rule or the sort uses it; `media`: what `readMedia`
 * answered for each item, when a rule uses it; `names` (a NameList), the
 * items' names where they are held as one text.
 */
export function computePreview({ items, names = null, rules, scope = 'all', selection = null, filter, sort, edits = new Map(), edited = null, taken = null, previousNames = null, dateTaken = null, media = null }) {
  const tagsOf = (i) => edits.get(i)?.tags ?? items[i].tags;
  const labelOf = (i) => edits.get(i)?.label ?? items[i].label;
  const filterError = textMatcher(filter.text || '', filter.mode || 'text').error;
  const base = filterItems(items, filter, tagsOf, labelOf);
  sortIndexes(base, items, sort.key, sort.dir, previousNames, dateTaken);
  const chosen = scope === 'selection' && selection ? new Set(selection) : null;
  const order = chosen ? base.filter((i) => chosen.has(i)) : base;

  const chain = compileChain(rules);
  // only the new names are made: an unchanged one is read where it is
  const newNames = new Array(items.length);
  const missing = [];
  evaluateAll(chain, items, order, newNames, { taken: dateTaken, media, missing });
  // a name that cannot be sent back exactly is never renamed
  const invalid = invalidNames(items);
  for (let i = 0; i < items.length; i++) if (newNames[i] === undefined || invalid[i]) newNames[i] = items[i].name;

  const tags = new Array(items.length);
  for (const [i, e] of edits) if (e.tags) tags[i] = e.tags;
  const isTaken = taken && taken.size ? (dir, name) => taken.has(joinPath(dir, name)) : null;
  const check = checkConflicts(items, newNames, { tags, taken: isTaken, missing, names });
  // apply can only go ahead with these rows skipped, so the counts shown leave them out too
  const leftOut = check.errors ? skipErrorRows(items, newNames, { tags, taken: isTaken, missing, names, check }).skip : null;
  const counts = countRows(items, check, leftOut, edited || new Set(edits.keys()));
  return { base: Int32Array.from(base), newNames, check, leftOut, chainErrors: chain.errors, filterError, counts };
}

/**
 * `n` strings as their UTF-16 code units in one buffer, and where each ends
 * (read back with CodeList): the buffer crosses to the page without a copy,
 * where one text would be copied out, across and in again on every key.
 */
function codeUnits(n, at) {
  const ends = new Uint32Array(n);
  let length = 0;
  for (let i = 0; i < n; i++) { length += at(i).length; ends[i] = length; }
  const codes = new Uint16Array(length);
  let k = 0;
  for (let i = 0; i < n; i++) {
    const s = at(i);
    for (let j = 0; j < s.length; j++) codes[k++] = s.charCodeAt(j);
  }
  return { codes, ends };
}

/** `at(from)` to `at(to - 1)` as one text; where each ends, counted on from `before`, goes into `ends`. */
function joinRange(ends, from, to, at, before = 0) {
  // joined once, not grown a piece at a time: a million appended pieces held
  // hundreds of megabytes of partial strings until the end
  const pieces = new Array(to - from);
  let length = before;
  for (let i = from; i < to; i++) { pieces[i - from] = at(i); length += pieces[i - from].length; ends[i] = length; }
  return pieces.join('');
}

/** A preview as one message: its buffers go across without a copy (the transfer list). */
export function pack(p) {
  const { codes, ends } = codeUnits(p.newNames.length, (i) => p.newNames[i]);
  const rows = [];
  const lists = [];
  p.check.problems.forEach((list, i) => { rows.push(i); lists.push(list); });
  const { problems, renamed, ...counts } = p.check; // eslint-disable-line no-unused-vars
  const message = {
    base: p.base, codes, ends, rows: Int32Array.from(rows), lists, renamed, checkCounts: counts,
    leftOut: p.leftOut, chainErrors: p.chainErrors, filterError: p.filterError, rowCounts: p.counts,
  };
  const transfer = [message.base.buffer, codes.buffer, ends.buffer, message.rows.buffer, renamed.buffer];
  if (p.leftOut) transfer.push(p.leftOut.buffer);
  return { message, transfer };
}

// What the preview reads of a listed item, sent to the worker as columns:
// structured cloning 100,000 records one object at a time held the page's
// thread for about a second before the first rows showed. Folders and
// extensions go as tables of their distinct values with an index per item,
// a path as its folder and name, a base name as its name less the extension
// (each sent only where it is not): for a million items the full texts
// were hundreds of megabytes, held three times over while they crossed.
const NUMBER_FIELDS = ['size', 'created', 'modified'];

/** Distinct values (pairs of them) as a table, and which row each item has. */
class Table {
  constructor(n) {
    this.index = new Uint32Array(n);
    this.values = [];
    this.rows = new Map(); // first -> second -> row: no string made per item
  }
  set(i, a, b = '') {
    let byB = this.rows.get(a);
    if (!byB) this.rows.set(a, (byB = new Map()));
    let row = byB.get(b);
    if (row === undefined) { row = this.values.length; byB.set(b, row); this.values.push([a, b]); }
    this.index[i] = row;
  }
  get message() { return { values: this.values, index: this.index }; }
}

/**
 * `packItems` a slice of `slice` items at a time: it yields after each one,
 * so that a caller can let keys and the screen in between (a million items
 * take about 300 ms), and returns what packItems does.
 */
export function* packingItems(items, slice = Infinity) {
  const n = items.length;
  const ends = new Uint32Array(n), texts = [];
  const folders = new Table(n), exts = new Table(n);
  const numbers = Object.fromEntries(NUMBER_FIELDS.map((f) => [f, new Float64Array(n)]));
  const { size, created, modified } = numbers;
  const label = new Uint8Array(n), isDir = new Uint8Array(n);
  const sparse = { tags: [[], []], comment: [[], []], path: [[], []], basename: [[], []] };
  const add = ([rows, values], i, v) => { rows.push(i); values.push(v); };
  for (let from = 0; from < n; from += slice) {
    const to = Math.min(n, from + slice);
    texts.push(joinRange(ends, from, to, (i) => items[i].name, from ? ends[from - 1] : 0));
    for (let i = from; i < to; i++) {
      const it = items[i];
      // a folder is its path and its place below the listed folder
      folders.set(i, it.dir, it.rel);
      exts.set(i, it.ext);
      size[i] = it.size;
      created[i] = it.created;
      modified[i] = it.modified;
      label[i] = it.label;
      isDir[i] = it.isDir ? 1 : 0;
      if (it.tags.length) add(sparse.tags, i, it.tags);
      if (it.comment) add(sparse.comment, i, it.comment);
      // the rare path or base name that is not the usual one goes as it is
      const path = oddPath(it), basename = oddBasename(it);
      if (path !== null) add(sparse.path, i, path);
      if (basename !== null) add(sparse.basename, i, basename);
    }
    if (to < n) yield;
  }
  const message = { n, names: { text: texts.join(''), ends }, folders: folders.message, exts: exts.message, numbers, label, isDir, sparse };
  const transfer = [label.buffer, isDir.buffer, ends.buffer, folders.index.buffer, exts.index.buffer, size.buffer, created.buffer, modified.buffer];
  return { message, transfer };
}

/** A listing as one message of columns; the buffers go in the transfer list. */
export function packItems(items) {
  const packing = packingItems(items);
  for (;;) {
    const step = packing.next();
    if (step.done) return step.value;
  }
}

/** A packed listing (`packItems`) as its items read it in the worker. */
class ItemColumns {
  constructor({ names, folders, exts, numbers, label, isDir }) {
    this.names = new NameList(names.text, names.ends);
    this.folder = folders.index;
    this.dirs = folders.values.map(([dir]) => dir);
    this.rels = folders.values.map(([, rel]) => rel);
    this.ext = exts.index;
    this.exts = exts.values.map(([ext]) => ext);
    this.size = numbers.size;
    this.created = numbers.created;
    this.modified = numbers.modified;
    this.label = label;
    this.isDir = isDir;
  }
}

/**
 * A listed item in the worker: it holds only its place, each field is read
 * from the columns when asked for. The worker's heap grows in proportion to
 * what it keeps, and a million items with their fields and names held kept
 * twice as much as the columns alone.
 */
class PreviewItem {
  constructor(columns, idx) {
    this.c = columns;
    this.idx = idx;
  }
  get name() { return this.c.names.at(this.idx); }
  get ext() { return this.c.exts[this.c.ext[this.idx]]; }
  get basename() {
    const { names } = this.c, idx = this.idx;
    const ext = this.ext;
    // cut from the text, not from the name: one string made, not two
    return names.text.slice(names.start(idx), ext === '' ? names.ends[idx] : names.ends[idx] - ext.length - 1);
  }
  get dir() { return this.c.dirs[this.c.folder[this.idx]]; }
  get rel() { return this.c.rels[this.c.folder[this.idx]]; }
  get path() { return joinPath(this.dir, this.name); }
  get isDir() { return this.c.isDir[this.idx] === 1; }
  get label() { return this.c.label[this.idx]; }
  get size() { return this.c.size[this.idx]; }
  get created() { return this.c.created[this.idx]; }
  get modified() { return this.c.modified[this.idx]; }
  get tags() { return NO_TAGS; }
  get comment() { return ''; }
}

/** The items back from `packItems`, with the fields the preview reads. */
export function unpackItems(m) {
  const columns = new ItemColumns(m);
  const items = new Array(m.n);
  for (let i = 0; i < m.n; i++) items[i] = new PreviewItem(columns, i);
  // the few values that are not the usual ones are the item's own
  const own = ([rows, values], key) => rows.forEach((row, k) => { Object.defineProperty(items[row], key, { value: values[k], enumerable: true }); });
  own(m.sparse.tags, 'tags');
  own(m.sparse.comment, 'comment');
  own(m.sparse.basename, 'basename');
  own(m.sparse.path, 'path');
  return items;
}

/** Names kept end to end and where each ends: a name is made only when it is asked for. Each kind gives `at(i)` and `unit(k)`, the UTF-16 unit at k. */
class EndToEnd {
  constructor(ends) {
    this.ends = ends;
    this.length = ends.length;
  }
  /** Where name i starts. */
  start(i) { return i ? this.ends[i - 1] : 0; }
  /** The first UTF-16 unit of name i (NaN when it is empty), without making the name. */
  firstCode(i) {
    const start = this.start(i);
    return start < this.ends[i] ? this.unit(start) : NaN;
  }
}

/** Names read from one string. */
export class NameList extends EndToEnd {
  constructor(text, ends) {
    super(ends);
    this.text = text;
  }
  at(i) { return i < 0 || i >= this.length ? undefined : this.text.slice(this.start(i), this.ends[i]); }
  unit(k) { return this.text.charCodeAt(k); }
  /** Whether name i is `s`, without making the name. */
  is(i, s) {
    const start = this.start(i);
    return s.length === this.ends[i] - start && this.text.startsWith(s, start);
  }
}

/** Names read from their code units (see `codeUnits`). */
export class CodeList extends EndToEnd {
  constructor(codes, ends) {
    super(ends);
    this.codes = codes;
  }
  at(i) {
    if (i < 0 || i >= this.length) return undefined;
    const end = this.ends[i];
    let name = '';
    // a piece at a time: a call takes only so many arguments, and a rule may make a long name
    for (let k = this.start(i); k < end; k += 4096) name += String.fromCharCode.apply(null, this.codes.subarray(k, Math.min(end, k + 4096)));
    return name;
  }
  unit(k) { return this.codes[k]; }
}

/** The preview as the page keeps it: `newNames.at(i)`, `check.problems.get(i)`. */
export function unpack(m) {
  const problems = new Map();
  m.rows.forEach((row, k) => problems.set(row, m.lists[k]));
  return {
    base: m.base,
    newNames: new CodeList(m.codes, m.ends),
    check: { problems, renamed: m.renamed, ...m.checkCounts },
    leftOut: m.leftOut,
    chainErrors: m.chainErrors,
    filterError: m.filterError,
    counts: m.rowCounts,
  };
}
