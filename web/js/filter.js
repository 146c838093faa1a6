// Filtering and ordering of the listing. Pure: no DOM.

const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });

/** A glob ("*.jpg", "IMG_??.*", "[ab]*") as an anchored, case-insensitive regular expression. */
export function globToRegExp(glob) {
  let src = '';
  for (let i = 0; i < glob.length; i++) {
    const c = glob[i];
    if (c === '*') src += '.*';
    else if (c === '?') src += '.';
    else if (c === '[') {
      const end = glob.indexOf(']', i + 1);
      if (end < 0) { src += '\\['; continue; }
      let body = glob.slice(i + 1, end).replace(/\\/g, '\\\\');
      if (body.startsWith('!')) body = '^' + body.slice(1);
      src += '[' + body + ']';
      i = end;
    } else src += c.replace(/[.+^${}()|\\/]/g, '\\$&');
  }
  return new RegExp('^' + src + '$', 'iu');
}

/**
 * Builds the text test of the filter: `mode` is "text" (substring, any case),
 * "glob" or "regex". Returns {test, error}; an invalid pattern matches everything
 * and says why.
 */
export function textMatcher(query, mode) {
  if (query === '') return { test: null, error: '' };
  try {
    if (mode === 'regex') { const re = new RegExp(query, 'iu'); return { test: (s) => re.test(s), error: '' }; }
    if (mode === 'glob') { const re = globToRegExp(query); return { test: (s) => re.test(s), error: '' }; }
  } catch (e) {
    return { test: null, error: e.message };
  }
  const q = query.toLowerCase();
  return { test: (s) => s.toLowerCase().includes(q), error: '' };
}

/**
 * Indexes of `items` that pass the filter `f` ({text, exclude, mode, ext, tag,
 * label}: `exclude` leaves out the names it matches, as `text` would show
 * them); `tagsOf`/`labelOf` give effective metadata.
 */
export function filterItems(items, f, tagsOf, labelOf) {
  const { test } = textMatcher(f.text || '', f.mode || 'text');
  const { test: leftOut } = textMatcher(f.exclude || '', f.mode || 'text');
  const ext = f.ext === undefined || f.ext === null ? null : f.ext.toLowerCase();
  const out = [];
  for (let i = 0; i < items.length; i++) {
    const it = items[i];
    if (test && !test(it.name)) continue;
    if (leftOut && leftOut(it.name)) continue;
    if (ext !== null && ext !== '*' && it.ext.toLowerCase() !== ext) continue;
    if (f.tag && !tagsOf(i).includes(f.tag)) continue;
    if (f.label !== undefined && f.label >= 0 && labelOf(i) !== f.label) continue;
    out.push(i);
  }
  return out;
}

/**
 * Sorts index list `order` in place by `key` ("native", "name", "newName",
 * "size", "modified", "created", "folder"); `newNameOf(i)` gives the new names.
 */
export function sortIndexes(order, items, key, dir, newNameOf = null, dateTaken = null) {
  if (key === 'native') {
    order.sort((a, b) => (a - b) * dir);
    return order;
  }
  let cmp;
  // each name read once, not at each comparison: an item or a name list
  // may make the string each time it is asked
  let names = null;
  if (key === 'name' || key === 'newName' || key === 'folder') {
    const newName = key === 'newName' ? newNameOf : null;
    names = new Array(items.length);
    for (const i of order) names[i] = (newName ? newName(i) : null) ?? items[i].name;
  }
  if (key === 'name' || key === 'newName') cmp = (a, b) => collator.compare(names[a], names[b]);
  // items without a date taken go by their modified date, as the Date rule does
  else if (key === 'taken') cmp = (a, b) => ((dateTaken && dateTaken[a]) || items[a].modified) - ((dateTaken && dateTaken[b]) || items[b].modified);
  else if (key === 'folder') cmp = (a, b) => collator.compare(items[a].rel, items[b].rel) || collator.compare(names[a], names[b]);
  else cmp = (a, b) => (items[a][key] || 0) - (items[b][key] || 0);
  order.sort((a, b) => cmp(a, b) * dir || a - b);
  return order;
}

/**
 * How many items have each extension and each tag, counted a piece at a
 * time: a large listing's are counted as its parts come, so that the
 * filter's choices cost nothing when the whole is shown.
 */
export class Facets {
  constructor() {
    this.exts = new Map(); // as they are: a listing's few extensions are shared strings
    this.tags = new Map();
    this.counted = 0;
  }
  /** Counts `items` from `from` on; returns this. */
  add(items, from = 0) {
    const { exts, tags } = this;
    for (let i = from; i < items.length; i++) {
      const it = items[i];
      exts.set(it.ext, (exts.get(it.ext) || 0) + 1);
      if (it.tags.length) for (const tag of it.tags) tags.set(tag, (tags.get(tag) || 0) + 1);
    }
    this.counted += items.length - from;
    return this;
  }
  /** Extensions (lower case) with their counts, most frequent first. */
  extensionCounts() {
    const m = new Map();
    for (const [e, n] of this.exts) { const low = e.toLowerCase(); m.set(low, (m.get(low) || 0) + n); }
    return [...m].sort((a, b) => b[1] - a[1] || collator.compare(a[0], b[0]));
  }
  /** Tags with their counts, most frequent first. */
  tagCounts() {
    return [...this.tags].sort((a, b) => b[1] - a[1]);
  }
}

const facetsOfListing = new WeakMap(); // listings are never changed in place
/** The facets of `items`: those `seed` counted of its first items, the rest counted now. */
export function facetsOf(items, seed = null) {
  let f = facetsOfListing.get(items);
  if (!f) facetsOfListing.set(items, (f = seed ? seed.add(items, seed.counted) : new Facets().add(items)));
  return f;
}
