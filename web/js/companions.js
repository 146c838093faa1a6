// Companion files: a photo or video and the files that belong to it (its raw
// file, a JPEG/HEIC twin, sidecars such as "IMG_1.xmp" or "IMG_1.CR2.xmp"),
// found by their shared base name in one folder. With "Rename companions
// together" the rules run on each group's main item and the others follow
// it. Pure: no DOM.

import { splitPlace } from './folders.js';

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
  const ext = item.ext.toLowerCase();
  if (ext === 'xmp') {
    const inner = item.basename.lastIndexOf('.');
    if (inner > 0 && rankOf(item.basename.slice(inner + 1).toLowerCase()) >= 0) return { stem: item.basename.slice(0, inner), tail: item.name.slice(inner) };
  }
  return { stem: item.basename, tail: item.ext ? `.${item.ext}` : '' };
}

// per listing, which is never changed in place: every preview asks
const groupsOf = new WeakMap();

/** How many items follow another as its companion. */
export function companionCount(groups) {
  let n = 0;
  for (let i = 0; i < groups.length; i++) if (groups[i] !== i) n++;
  return n;
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
  main = Int32Array.from(items, (_, i) => i);
  groupsOf.set(items, main);
  const byStem = new Map();
  for (let i = 0; i < items.length; i++) {
    const it = items[i];
    if (it.isDir || !it.ext) continue;
    const ext = it.ext.toLowerCase();
    if (rankOf(ext) < 0 && !SIDECARS.has(ext)) continue;
    const key = `${it.dir}\0${stemOf(it).stem}`;
    const list = byStem.get(key);
    if (list) list.push(i); else byStem.set(key, [i]);
  }
  for (const list of byStem.values()) {
    if (list.length < 2) continue;
    let best = -1;
    for (const i of list) {
      const r = rankOf(items[i].ext.toLowerCase());
      if (r >= 0 && (best < 0 || r < rankOf(items[best].ext.toLowerCase()))) best = i;
    }
    if (best >= 0) for (const i of list) main[i] = best;
  }
  return main;
}

/** The new name of companion `item` when its group's main item gets `mainNewName` (a "/" may lead it into folders). */
export function companionName(item, mainNewName) {
  return splitPlace(mainNewName).base + stemOf(item).tail;
}
