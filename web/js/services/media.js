// What is inside the listed files, read only when something needs it: the
// whole listing when a rule or the order uses the date taken, the focused
// file for the metadata panel. One request at a time, in chunks, so that
// listings, batches and the preview never wait behind it.

import { needsTaken } from '../media.js';

const CHUNK = 250;

export function createMedia({ store, bridge }) {
  const st = () => store.state;
  let items = null; // the listing the queue belongs to
  let asked = new Set();
  let queue = [];
  let allAsked = false;
  let running = false;

  function ask(paths, first = false) {
    const fresh = paths.filter((p) => !asked.has(p));
    for (const p of fresh) asked.add(p);
    queue = first ? [...fresh, ...queue] : [...queue, ...fresh];
    pump();
  }

  async function pump() {
    if (running || !queue.length) return;
    running = true;
    const forItems = items;
    const chunk = queue.splice(0, CHUNK);
    let read;
    try {
      read = (await bridge.readMedia(chunk)).items;
    } catch (e) {
      read = chunk.map((path) => ({ path, kind: 'other', error: e.message }));
    }
    running = false;
    if (forItems === items) store.dispatch('mediaRead', read);
    pump();
  }

  function update(state) {
    if (state.listing.items !== items) {
      items = state.listing.items;
      asked = new Set();
      queue = [];
      allAsked = false;
    }
    const focused = state.view[state.selection.focus];
    const item = focused === undefined ? null : items[focused];
    if (item && !item.isDir && !state.media.map.has(item.path)) ask([item.path], true);
    if (!allAsked && needsTaken(state.config)) {
      allAsked = true;
      ask(items.filter((it) => !it.isDir).map((it) => it.path));
    }
  }

  store.subscribe(['listing', 'config', 'selection', 'view'], update);
  return { update: () => update(st()) };
}
