// Names a rename would take from items the list does not show: hidden items,
// and the folders (or files) that the listing mode leaves out. Such a rename
// fails on disk, so these targets are asked of the native side before apply.
// Pure: no DOM.

import { joinPath } from './text.js';
import { placeFor } from './folders.js';

/** The names of the listed items, per folder: Map dir -> Set of names. */
export function listedNames(items) {
  const out = new Map();
  for (const it of items) {
    let set = out.get(it.dir);
    if (!set) out.set(it.dir, (set = new Set()));
    set.add(it.name);
  }
  return out;
}

const usable = (name) => name !== '' && name !== '.' && name !== '..' && !name.includes('/') && !name.includes('\0');

/**
 * Paths of the new names (`newNames.at(i)` of items with `renamed[i]` set)
 * that no listed item holds and whose state `known` (Map path -> taken) does
 * not hold yet; each once, in list order. `onlyHidden` keeps the hidden names.
 * `listed`: listedNames of the items, or a function that makes it when
 * first needed (a million names in sets, most often for nothing). With
 * `folders` (placeFor's options), a name's "/" makes folders and the
 * destination takes every renamed item: its place is asked.
 */
export function targetsToProbe(items, newNames, renamed, listed, known, onlyHidden = false, folders = null) {
  const out = new Set();
  let map = typeof listed === 'function' ? null : listed;
  const names = () => (map ??= listed());
  const firstCode = (i) => (newNames.firstCode ? newNames.firstCode(i) : newNames.at(i).charCodeAt(0));
  for (let i = 0; i < items.length; i++) {
    if (!renamed[i] || (onlyHidden && firstCode(i) !== 46)) continue;
    let name = newNames.at(i);
    let dir = items[i].dir;
    const place = folders && placeFor(dir, name, folders);
    if (place) ({ name, dir } = place);
    if (!usable(name) || names().get(dir)?.has(name)) continue;
    const path = joinPath(dir, name);
    if (!known.has(path)) out.add(path);
  }
  return [...out];
}
