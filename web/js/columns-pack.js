// A listing's columns as one message for the preview worker, and its items
// back in the worker. The names go as one text, the rest as typed arrays in
// the transfer list: structured cloning 100,000 records one object at a
// time held the page's thread for about a second, and a million items'
// full texts were hundreds of megabytes, held three times over.
// Pure: no DOM.

import { Columns, Item, NUMBERS, SPARSE, baseOf } from './columns.js';
import { joinPath } from './text.js';
import { NameList, joinRange } from './names.js';


/** Folders (a path and its place below the root) and extensions as rows, without a string made per item. */
class Rows {
  constructor() { this.values = []; this.second = []; this.rows = new Map(); }
  row(a, b = '') {
    let byB = this.rows.get(a);
    if (!byB) this.rows.set(a, (byB = new Map()));
    let row = byB.get(b);
    if (row === undefined) { byB.set(b, (row = this.values.length)); this.values.push(a); this.second.push(b); }
    return row;
  }
}

/** The parts `items` are, when they are every part's items in order and untouched; else null. */
function partsOf(items) {
  const parts = [];
  for (let i = 0; i < items.length;) {
    const c = items[i] instanceof Item && items[i].row === 0 ? items[i].c : null;
    if (!c || i + c.n > items.length) return null;
    for (let r = 1; r < c.n; r++) if (items[i + r].c !== c || items[i + r].row !== r) return null;
    parts.push(c);
    i += c.n;
  }
  return parts;
}

/**
 * The listing `items` as one message, a slice of `slice` items at a time: it
 * yields after each, so that a caller can let keys and the screen in between
 * (a million items take a few hundred milliseconds), and returns
 * `{message, transfer}`. A listing that is still its parts joins their
 * columns; any other reads each item.
 */
export function* packingColumns(items, slice = Infinity) {
  const n = items.length;
  const m = new Columns(n, null, '');
  const ends = new Uint32Array(n), texts = [];
  const folders = new Rows(), exts = new Rows();
  const parts = partsOf(items);
  let done = 0;
  const sliced = function* (from, to, each) {
    for (let i = from; i < to;) {
      const end = Math.min(to, i + slice - (done % slice));
      each(i, end);
      done += end - i;
      i = end;
      if (done < n && done % slice === 0) yield;
    }
  };
  if (parts) {
    let off = 0;
    for (const c of parts) {
      const folderRows = c.dirs.map((d, k) => folders.row(d, c.rels[k]));
      const extRows = c.exts.map((e) => exts.row(e));
      for (const f of NUMBERS) m[f].set(c[f], off);
      for (const key of SPARSE) c.sparse[key][0].forEach((row, k) => m.note(key, off + row, c.sparse[key][1][k]));
      yield* sliced(off, off + c.n, (from, to) => {
        texts.push(joinRange(ends, from, to, (i) => c.names.at(i - off), from ? ends[from - 1] : 0));
        for (let i = from; i < to; i++) { m.folder[i] = folderRows[c.folder[i - off]]; m.ext[i] = extRows[c.ext[i - off]]; }
      });
      off += c.n;
    }
  } else {
    yield* sliced(0, n, (from, to) => {
      texts.push(joinRange(ends, from, to, (i) => items[i].name, from ? ends[from - 1] : 0));
      for (let i = from; i < to; i++) {
        const it = items[i];
        m.folder[i] = folders.row(it.dir, it.rel);
        m.ext[i] = exts.row(it.ext);
        m.size[i] = it.size; m.created[i] = it.created; m.modified[i] = it.modified; m.accessed[i] = it.accessed || 0;
        m.label[i] = it.label; m.isDir[i] = it.isDir ? 1 : 0;
        if (it.tags.length) m.note('tags', i, it.tags);
        if (it.comment) m.note('comment', i, it.comment);
        // an item's own path or base name is never the usual one (the columns keep only those)
        const view = it instanceof Item;
        if (view ? Object.hasOwn(it, 'path') : it.path !== joinPath(it.dir, it.name)) m.note('path', i, it.path);
        if (view ? Object.hasOwn(it, 'basename') : it.basename !== baseOf(it.name, it.ext)) m.note('basename', i, it.basename);
      }
    });
  }
  const message = { n, names: { text: texts.join(''), ends }, dirs: folders.values, rels: folders.second, folder: m.folder, exts: exts.values, ext: m.ext, sparse: m.sparse };
  for (const f of NUMBERS) message[f] = m[f];
  const transfer = [ends.buffer, m.folder.buffer, m.ext.buffer, ...NUMBERS.map((f) => m[f].buffer)];
  return { message, transfer };
}

/** `packingColumns` in one go. */
export function packColumns(items) {
  const packing = packingColumns(items);
  for (;;) {
    const step = packing.next();
    if (step.done) return step.value;
  }
}

/** The items of a packed listing, as the worker reads them. */
export function itemsOf(message) {
  const c = Object.assign(new Columns(0, null, ''), message, { names: new NameList(message.names.text, message.names.ends) });
  return c.items(0);
}
