// Names that make folders: with the chain's "Names may make folders", a "/"
// that a rule writes separates folders, and each new name is a place relative
// to the item's folder (or to a destination). Pure: no DOM.

import { splitName } from './text.js';

/** Splits at the last dot of the last part only: a dot in a folder ("v1.2/") is no extension. */
export function splitPlace(text) {
  const slash = text.lastIndexOf('/');
  if (slash < 0) return splitName(text);
  const { base, ext } = splitName(text.slice(slash + 1));
  return { base: text.slice(0, slash + 1) + base, ext };
}

/**
 * Where an item of folder `dir` goes under the new name `text` when names
 * make folders (`folders`) or the batch has a `destination`: placeOf's
 * answer, or null when it stays in its own folder under that name (a "/"
 * without `folders` stays in the name, an invalid one).
 */
export function placeFor(dir, text, { folders = false, destination = null, root = null } = {}) {
  if (text.includes('/') ? !folders : !destination) return null;
  return placeOf(dir, text, { destination, root: destination ?? root ?? dir });
}

const inside = (dir, root) => dir === root || dir.startsWith(root === '/' ? '/' : `${root}/`);

/**
 * Where the new name `text` puts an item of folder `dir`: {path, dir, name,
 * outside}. The parts before the last are folders below `destination` (when
 * there is one) or `dir`; "" and "." are dropped, ".." goes up a level (never
 * above "/"). `outside`: the new folder is not below `root` (the destination,
 * else the listed folder), which the row warns of.
 */
export function placeOf(dir, text, { destination = null, root = dir } = {}) {
  const parts = text.split('/');
  const name = parts.pop();
  const at = (destination ?? dir).split('/').filter(Boolean);
  for (const part of parts) {
    if (part === '' || part === '.') continue;
    if (part === '..') at.pop();
    else at.push(part);
  }
  const newDir = `/${at.join('/')}`;
  return { path: newDir === '/' ? `/${name}` : `${newDir}/${name}`, dir: newDir, name, outside: !inside(newDir, destination ?? root) };
}
