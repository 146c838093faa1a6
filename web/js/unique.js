// Duplicate names made unique: rows whose new names collide, with each other
// or with an item that keeps its name, get a number ("Photo (2).jpg") in the
// order the rules number them. The first keeps its name; a row without a
// collision never changes; nothing is ever removed. Pure: no DOM.

import { checkConflicts } from './conflicts.js';
import { placeFor } from './folders.js';
import { companionName } from './companions.js';
import { splitName } from './text.js';

export const DEFAULT_UNIQUE = ' ({k})';
/** The tag an item gets instead of a number when its content is that of the item holding its name. */
export const DUPLICATE_TAG = 'duplicate';
/** The problems a number after the name ends. */
export const COLLISIONS = new Set(['dup', 'exists', 'case', 'unlisted']);
// a number is the answer long before this; past it the row keeps its collision
const MOST = 100000;

/** The pattern as the rule uses it: one "{k}" at least, never a "/". */
export function uniquePattern(pattern) {
  const p = String(pattern ?? DEFAULT_UNIQUE).replaceAll('/', '');
  return p.includes('{k}') ? p : `${p}{k}`;
}

/**
 * New names with collisions numbered apart. `newNames[i]` is item i's name as
 * the rules made it (a "/" makes folders when `options.folders`); `pattern`
 * holds "{k}", which goes before the extension; `order` lists the rows in
 * numbering order (as listed when absent); the other options are
 * checkConflicts' (taken, folders, root, destination, moving, copy, groups;
 * `check`, its answer for these names, when the caller has it). A
 * numbered name that collides again takes the next number. With `same(i, j)`
 * (whether items i and j hold the same bytes), a row whose name is held by
 * an item with its content keeps its old name instead, and goes into
 * `duplicates`. Returns a new array, or `newNames` itself when nothing collides.
 */
export function makeUnique(items, newNames, { pattern = DEFAULT_UNIQUE, order = null, check = null, same = null, duplicates = null, ...options } = {}) {
  order ??= Array.from(items, (_, i) => i);
  check ??= checkConflicts(items, newNames, options);
  const colliding = (i) => check.renamed[i] === 1 && check.problems[i]?.some(([c]) => COLLISIONS.has(c));
  // companions are numbered with their main item, as one
  const { folders = false, destination = null, moving = null, root = null, taken = null, groups = null } = options;
  const others = new Map(); // main item -> its companions
  if (groups) for (let j = 0; j < items.length; j++) if (groups[j] !== j) (others.get(groups[j]) ?? others.set(groups[j], []).get(groups[j])).push(j);
  const mains = groups ? order.filter((i) => groups[i] === i) : order;
  const collides = (i) => colliding(i) || Boolean(others.get(i)?.some(colliding));
  const numbered = mains.filter(collides);
  if (!numbered.length) return newNames;
  // row j under the new name `name`, as a key of its folder and last name
  const placed = folders || destination;
  const key = (dir, name) => `${dir}\0${name.toLowerCase()}`;
  const keyOf = (j, name) => {
    const p = placed && placeFor(items[j].dir, name, { folders, destination: destination && moving?.[j] ? destination : null, root });
    return p ? key(p.dir, p.name) : key(items[j].dir, name);
  };
  // the names that stay where they are, and those of renamed rows without a
  // collision: each with the row that holds it
  const used = new Map();
  const inUnit = new Uint8Array(items.length);
  for (const i of numbered) { inUnit[i] = 1; for (const j of others.get(i) ?? []) inUnit[j] = 1; }
  for (let j = 0; j < items.length; j++) {
    if (check.renamed[j] !== 1 || options.copy) used.set(key(items[j].dir, items[j].name), j);
    else if (!inUnit[j]) used.set(keyOf(j, newNames[j]), j);
  }
  const free = (j, name) => {
    if (used.has(keyOf(j, name))) return false;
    if (!taken) return true;
    const p = placed ? placeFor(items[j].dir, name, { folders, destination: destination && moving?.[j] ? destination : null, root }) : null;
    return !taken(p ? p.dir : items[j].dir, p ? p.name : name);
  };
  const out = Array.from(newNames);
  const form = uniquePattern(pattern);
  const tried = new Map();
  for (const i of numbered) {
    // the main item's name numbered k (1: as it is), the others following it
    const last = newNames[i].slice(newNames[i].lastIndexOf('/') + 1);
    const { base, ext } = items[i].isDir ? { base: last, ext: '' } : splitName(last);
    const folder = newNames[i].slice(0, newNames[i].length - last.length);
    const named = (k) => (k === 1 ? newNames[i] : `${folder}${base}${form.replaceAll('{k}', k)}${ext ? `.${ext}` : ''}`);
    const along = others.get(i) ?? [];
    const fits = (name) => free(i, name) && along.every((j) => free(j, companionName(items[j], name)));
    const holder = same ? used.get(keyOf(i, newNames[i])) : undefined;
    if (holder !== undefined && same(i, holder)) {
      // the same file again: it stays as it is, with its companions
      for (const j of [i, ...along]) { out[j] = items[j].name; used.set(key(items[j].dir, items[j].name), j); }
      duplicates?.add(i);
      continue;
    }
    // numbers already given to this name are not tried again: 100,000 rows
    // onto one name would try each number before them
    const from = keyOf(i, newNames[i]);
    let k = tried.get(from) ?? 1;
    while (k < MOST && !fits(named(k))) k++;
    tried.set(from, k + 1);
    const name = named(k);
    out[i] = name;
    used.set(keyOf(i, name), i);
    for (const j of along) {
      out[j] = companionName(items[j], name);
      used.set(keyOf(j, out[j]), j);
    }
  }
  return out;
}
