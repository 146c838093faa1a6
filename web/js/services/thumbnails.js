// Thumbnails: asked for the rows on screen only, a few at a time, the
// newest first, and kept in a bounded cache by path.


const SIZE = 48;
const CACHE = 3000;
const PARALLEL = 4;

/** `isShown(path)` says whether a row of that path is on screen now; `redraw()` draws the rows again. */
export function createThumbnails({ bridge, isShown, redraw }) {
  const cache = new Map(); // path -> data URL, or '' when there is none
  const queued = new Set();
  const queue = [];
  let active = 0;

  function pump() {
    while (active < PARALLEL && queue.length) {
      const path = queue.pop();
      // rows scrolled away meanwhile are skipped; they queue again when shown
      if (!isShown(path)) { queued.delete(path); continue; }
      active++;
      bridge.thumbnail(path, SIZE).then((r) => {
        if (cache.size >= CACHE) cache.delete(cache.keys().next().value);
        cache.set(path, typeof r?.dataUrl === 'string' && r.dataUrl.startsWith('data:image/') ? r.dataUrl : '');
        redraw();
      }, () => cache.set(path, '')).finally(() => {
        active--;
        queued.delete(path);
        pump();
      });
    }
  }

  return {
    /** The picture of `path` ('' until it is known; asking starts the loading). */
    of(path) {
      const hit = cache.get(path);
      if (hit !== undefined) return hit;
      if (!queued.has(path)) {
        queued.add(path);
        queue.push(path);
        queueMicrotask(pump); // after the rows being drawn are on screen
      }
      return '';
    },
    /** Forgets the pictures of the paths `gone(path)` names: they may now belong to other items (renames, swaps). */
    forget(gone) {
      for (const p of [...cache.keys()]) if (gone(p)) cache.delete(p);
    },
  };
}
