// What is inside the listed files, read only when something needs it: the
// whole listing when a rule or the order uses the date taken or a media field,
// each digest a rule names, the focused file for the metadata panel. One
// request at a time, in chunks, so that listings, batches and the preview
// never wait behind it.

import { needsTaken, needsFields, rulesNeed } from '../media.js';
import { editingTemplate, focusedItem } from '../state.js';
import { base64OfText, hasRawBytes, textOfBase64 } from '../bytes.js';

const CHUNK = 250;
// Asked like a digest: every tag with the fields (a `{meta:…}` token reads them).
const ALL = '+all';

export function createMedia({ store, bridge }) {
  const st = () => store.state;
  let items = null; // the listing the queue belongs to
  let asked = new Set(); // "digest\npath"; the digest is empty for plain fields
  let queue = []; // [path, digest]
  let whole = new Set(); // digests ('' for plain fields) asked for the whole listing
  let running = false;

  function ask(paths, hash = '', first = false) {
    const fresh = [];
    for (const p of paths) {
      const key = `${hash}\n${p}`;
      if (!asked.has(key)) { asked.add(key); fresh.push([p, hash]); }
    }
    queue = first ? [...fresh, ...queue] : [...queue, ...fresh];
    pump();
  }

  async function pump() {
    if (running || !queue.length) return;
    running = true;
    const forItems = items;
    const hash = queue[0][1];
    let end = 0;
    while (end < queue.length && end < CHUNK && queue[end][1] === hash) end++;
    const chunk = queue.splice(0, end).map(([p]) => p);
    // names that are not UTF-8 go as their bytes and come back by them
    const raw = chunk.filter(hasRawBytes);
    let read;
    try {
      read = (await bridge.readMedia(chunk.filter((p) => !hasRawBytes(p)), hash === ALL ? undefined : hash || undefined, hash === ALL, raw.map(base64OfText))).items;
      for (const f of read) if (typeof f.rawPath === 'string') f.path = textOfBase64(f.rawPath);
    } catch (e) {
      read = chunk.map((path) => ({ path, kind: 'other', error: e.message }));
    }
    running = false;
    if (forItems === items) store.dispatch('mediaRead', { items: read, hash: hash === ALL ? '' : hash });
    pump();
  }

  function update(state) {
    if (state.listing.items !== items) {
      items = state.listing.items;
      asked = new Set();
      queue = [];
      whole = new Set();
    }
    const item = focusedItem(state);
    // every tag of the file in focus, for the panel's "All fields" and the
    // token menu of a template being edited
    const every = state.ui.allFields || editingTemplate(state);
    if (item && !item.isDir && !state.media.map.has(item.path)) ask([item.path], every ? ALL : '', true);
    else if (item && !item.isDir && every && !state.media.map.get(item.path)?.tags) ask([item.path], ALL, true);
    // the files numbering apart would tag instead, once their digests say they are the same
    if (state.config.unique && state.config.tagDuplicates) ask((state.preview.found.twins ?? []).map((i) => items[i]?.path).filter(Boolean), 'sha256');
    const needs = rulesNeed(state.config.rules);
    const wanted = needs.hashes.filter((h) => !whole.has(h));
    // every tag brings the fields too: one reading of each file, not two
    const fields = needs.all ? ALL : '';
    if (!whole.has(fields) && (needsTaken(state.config) || needsFields(state.config))) wanted.unshift(fields);
    if (!wanted.length) return;
    const files = items.filter((it) => !it.isDir).map((it) => it.path);
    for (const hash of wanted) {
      whole.add(hash);
      ask(files, hash);
    }
  }

  store.subscribe(['listing', 'config', 'selection', 'view', 'ui', 'preview'], update);
  return { update: () => update(st()) };
}
