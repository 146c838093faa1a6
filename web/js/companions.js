// Companion files: a photo or video and the files that belong to it (its raw
// file, a JPEG/HEIC twin, sidecars such as "IMG_1.xmp" or "IMG_1.CR2.xmp"),
// found by their shared base name in one folder. With "Rename companions
// together" the rules run on each group's main item and the others follow
// it. Pure: no DOM.

import { splitPlace } from './folders.js';
import { hashInFolder } from './text.js';

const PICTURES = new Set(['jpg', 'jpeg', 'heic', 'heif', 'hif']);
const VIDEOS = new Set(['mov', 'mp4', 'm4v', 'avi', 'mts', 'm2ts', '3gp']);
const RAWS = new Set(['dng', 'cr2', 'cr3', 'nef', 'arw', 'orf', 'rw2', 'raf', 'pef']);
const SIDECARS = new Set(['xmp', 'aae', 'thm']);

// How first an item is to be its group's main item; -1: it never is.
function rankOf(ext) {
  if (PICTURES.has(ext)) return 0;
  if (VIDEOS.has(ext)) return 1;
  if (RAWS.has(ext)) return 2;
  return -1;
}

/** What part of a name its group shares, and how the rest is kept: "IMG_1.CR2.xmp" shares "IMG_1". */
function stemOf(item) {
  const stem = stemText(item);
  return { stem, tail: stem !== item.basename ? item.name.slice(stem.length) : item.ext ? `.${item.ext}` : '' };
}

function stemText(item) {
  if (item.ext.toLowerCase() === 'xmp') {
    const inner = item.basename.lastIndexOf('.');
    if (inner > 0 && rankOf(item.basename.slice(inner + 1).toLowerCase()) >= 0) return item.basename.slice(0, inner);
  }
  return item.basename;
}

// per listing, which is never changed in place: every preview asks
const groupsOf = new WeakMap();

/** How many items follow another as its companion. */
export function companionCount(groups) {
  let n = 0;
  for (let i = 0; i < groups.length; i++) if (groups[i] !== i) n++;
  return n;
}

/** The listing's groups when companionGroups has found them already, else null. */
export function knownCompanionGroups(items) {
  return groupsOf.get(items) ?? null;
}

/**
 * For each item the index of its group's main item (itself when it has no
 * companion): within one folder, the items of one base name form a group
 * when one of them is a photo, video or raw file and each other is one too or
 * a sidecar. The main item is the first JPEG/HEIC, else video, else raw file.
 */
export function companionGroups(items) {
  let main = groupsOf.get(items);
  if (main) return main;
  const n = items.length;
  main = Int32Array.from(items, (_, i) => i);
  groupsOf.set(items, main);
  // Each item's first of its folder and stem, found through a table of
  // hashes over typed arrays: a Map of a million "folder, stem" strings took
  // most of a second of the first preview.
  let size = 16;
  while (size < n * 2) size *= 2;
  const slots = new Int32Array(size).fill(-1);
  const next = new Int32Array(n); // the next item in the same slot
  const hashes = new Int32Array(n);
  const folderOf = new Int32Array(n);
  const firstOf = new Int32Array(n).fill(-1); // -1: not a candidate
  const folders = new Map();
  let grouped = false;
  for (let i = 0; i < n; i++) {
    const it = items[i];
    if (it.isDir || !it.ext) continue;
    const ext = it.ext.toLowerCase();
    if (rankOf(ext) < 0 && !SIDECARS.has(ext)) continue;
    let folder = folders.get(it.dir);
    if (folder === undefined) folders.set(it.dir, (folder = folders.size));
    const stem = stemText(it);
    const h = hashInFolder(folder, stem);
    const slot = h & (size - 1);
    let j = slots[slot];
    while (j >= 0 && !(hashes[j] === h && folderOf[j] === folder && stemText(items[j]) === stem)) j = next[j];
    firstOf[i] = j >= 0 ? j : i;
    if (j >= 0) { grouped = true; continue; }
    hashes[i] = h;
    folderOf[i] = folder;
    next[i] = slots[slot];
    slots[slot] = i;
  }
  if (!grouped) return main;
  // the best-ranked item of each group, the first of them on a tie
  const best = new Int32Array(n).fill(-1);
  for (let i = 0; i < n; i++) {
    if (firstOf[i] < 0) continue;
    const g = firstOf[i];
    const r = rankOf(items[i].ext.toLowerCase());
    if (r >= 0 && (best[g] < 0 || r < rankOf(items[best[g]].ext.toLowerCase()))) best[g] = i;
  }
  for (let i = 0; i < n; i++) if (firstOf[i] >= 0 && best[firstOf[i]] >= 0) main[i] = best[firstOf[i]];
  return main;
}

/** The new name of companion `item` when its group's main item gets `mainNewName` (a "/" may lead it into folders). */
export function companionName(item, mainNewName) {
  return splitPlace(mainNewName).base + stemOf(item).tail;
}
