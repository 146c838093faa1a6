// Duplicate names made unique: rows whose new names collide, with each other
// or with an item that keeps its name, get a number ("Photo (2).jpg") in the
// order the rules number them. The first keeps its name; a row without a
// collision never changes; nothing is ever removed. Pure: no DOM.

import { checkConflicts } from './conflicts.js';
import { placeFor } from './folders.js';
import { splitName } from './text.js';

export const DEFAULT_UNIQUE = ' ({k})';
const COLLISIONS = new Set(['dup', 'exists', 'case', 'unlisted']);
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
 * checkConflicts' (taken, folders, root, destination, moving, copy). A
 * numbered name that collides again takes the next number. Returns a new
 * array, or `newNames` itself when nothing collides.
 */
export function makeUnique(items, newNames, { pattern = DEFAULT_UNIQUE, order = null, ...options } = {}) {
  order ??= Array.from(items, (_, i) => i);
  const check = checkConflicts(items, newNames, options);
  const colliding = (i) => check.renamed[i] === 1 && check.problems[i]?.some(([c]) => COLLISIONS.has(c));
  if (!order.some(colliding)) return newNames;
  const { folders = false, destination = null, moving = null, root = null, taken = null } = options;
  // where each renamed row goes: its folder and last name
  const placeOfRow = (i) => placeFor(items[i].dir, newNames[i], { folders, destination: destination && moving?.[i] ? destination : null, root })
    ?? { dir: items[i].dir, name: newNames[i] };
  const key = (dir, name) => `${dir}\0${name.toLowerCase()}`;
  // the names that stay where they are, and those of renamed rows without a collision
  const used = new Set();
  for (let i = 0; i < items.length; i++) {
    if (check.renamed[i] !== 1 || options.copy) used.add(key(items[i].dir, items[i].name));
    else if (!colliding(i)) { const p = placeOfRow(i); used.add(key(p.dir, p.name)); }
  }
  const free = (dir, name) => !used.has(key(dir, name)) && !(taken && taken(dir, name));
  const out = Array.from(newNames);
  const form = uniquePattern(pattern);
  for (const i of order) {
    if (!colliding(i)) continue;
    const p = placeOfRow(i);
    let name = p.name;
    if (!free(p.dir, name)) {
      const { base, ext } = items[i].isDir ? { base: name, ext: '' } : splitName(name);
      for (let k = 2; k < MOST && !free(p.dir, name); k++) name = `${base}${form.replaceAll('{k}', k)}${ext ? `.${ext}` : ''}`;
      out[i] = newNames[i].slice(0, newNames[i].length - p.name.length) + name;
    }
    used.add(key(p.dir, name));
  }
  return out;
}
