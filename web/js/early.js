// Early names: while the worker makes a large listing's whole preview, the
// rows on screen are named here at once, so that a key shows its names
// without waiting for 100,000 others and their check. Only where the rows on
// screen can be named alone: a change of the rules and nothing else, over
// a chain that names an item from the item and its place in the list, in an
// order that does not follow the new names. The whole preview replaces them,
// with its problems. Pure: no DOM.

import { compileChain } from './rules.js';

/** Whether a preview of `input` may be shown early: what else decides a name is known without the others. */
export function mayShowEarly(input) {
  return (input.scope !== 'selection' || !input.selection) && !input.companions && input.unique === null && input.sort.key !== 'newName';
}

/**
 * New names for the items shown in `rows` (indexes into `items`), by item
 * index, or null when the chain cannot name them alone. `base` is the order
 * the last preview numbered in: an item's place in the list is its place
 * there. `taken` (a column by item) and `media` (a Map by path) as the
 * preview reads them.
 */
export function earlyNames({ items, rules, folders = false, base, rows, taken = null, media = null }) {
  const chain = compileChain(rules, { folders });
  if (!chain.positional) return null;
  const place = placesIn(base, items.length);
  const names = new Map();
  const ctx = { index: 0, folderIndex: 0, item: null, taken: 0, media: undefined, scratch: null, pass: 0, missing: null, meta: null };
  for (const i of rows) {
    const k = place[i];
    if (k === undefined || k < 0) continue;
    const item = items[i];
    ctx.index = k;
    ctx.item = item;
    ctx.taken = taken ? taken[i] : 0;
    ctx.media = media ? media.get(item.path) : item.media;
    names.set(i, chain.run(item, ctx));
  }
  return names;
}

const places = new WeakMap();
/** Each item's place in `base` (-1 where it is not there), kept per order: every key asks again. */
function placesIn(base, n) {
  let place = places.get(base);
  if (!place) {
    place = new Int32Array(n).fill(-1);
    for (let k = 0; k < base.length; k++) place[base[k]] = k;
    places.set(base, place);
  }
  return place;
}
