// The page's whole state, declared once with its initial shape, and what is
// derived from it. Pure: no DOM.

import { defaultConfig } from './config.js';
import { emptySelection } from './selection.js';
import { severityOf } from './conflicts.js';
import { countChanges } from './batch.js';
import { NameList } from './names.js';
import { placeFor } from './folders.js';
import { withRuleMeta } from './edits.js';

export function initialState() {
  return {
    config: defaultConfig(), // what is saved: rules, mode, presets, recent folders…
    loading: true, // until the saved settings are read
    listing: { folder: null, dropped: null, items: [], serial: 0 }, // serial: which listing
    arriving: 0, // records of the listing so far while the rest still comes; 0 once it is whole
    filter: { text: '', exclude: '', mode: 'text', ext: null, tag: '', label: -1, problem: '' },
    selection: emptySelection(),
    edits: new Map(), // path -> {tags?, label?, comment?} not yet applied
    taken: new Set(), // paths held by items the listing does not show
    // path -> readMedia fields; the map grows in place (a listing's worth of
    // copies per chunk would be quadratic) and `version` tells that it did
    media: { map: new Map(), version: 0 },
    preview: emptyPreview(),
    volumes: {}, // folder -> {type, ignoresCase}: the file systems of the listed folders
    view: new Int32Array(0), // the indexes shown, in order
    results: new Map(), // path -> {ok, text} of the last batch
    lastResult: null, // {title, ok, failed, unsent}
    undoable: { undo: null, redo: null }, // the journal's batches Undo and Redo offer
    journal: { open: false, batches: [], query: '', expanded: null, entries: null },
    batch: { busy: false, cancelling: false, title: '', done: 0, total: 0, bytes: 0, bytesTotal: 0 },
    ui: { pathInput: false, recentOpen: false, addMenuOpen: false, expanded: new Set(), focusRule: null, allFields: false },
    sheet: null, // {title, paragraphs: [{text, cls}], lines, okText, skipText}
    toasts: [], // {id, text, kind}
  };
}

export function emptyPreview() {
  return { newNames: new NameList('', new Uint32Array(0)), check: null, leftOut: null, base: new Int32Array(0), chainErrors: {}, filterError: '', counts: null, found: { companions: 0, collide: 0, twins: [] }, ruleMeta: new Map(), stamp: 0, pending: false };
}

/** The rows shown: the preview's order, narrowed by the problem filter. */
export function computeView(state) {
  const { preview, filter, listing, edits, results } = state;
  const p = filter.problem;
  const c = preview.check;
  if (!p || !c) return preview.base;
  const out = [];
  // a path is made only where edits or results may hold it
  const pathOf = (i) => listing.items[i].path;
  for (const i of preview.base) {
    const keep = p === 'changed' ? c.renamed[i] === 1 || (edits.size > 0 && edits.has(pathOf(i)))
      : p === 'failed' ? results.size > 0 && results.get(pathOf(i))?.ok === false
        : severityOf(c.problems.get(i)) === p;
    if (keep) out.push(i);
  }
  return Int32Array.from(out);
}

/** What the batch of the preview holds, by row: renames, metadata, errors, warnings, left out, unchanged; and how many changes apply sends. */
export function pendingCounts(state) {
  return state.preview.counts || { renames: 0, meta: 0, errors: 0, warnings: 0, skipped: 0, unchanged: state.listing.items.length, sent: 0 };
}

/**
 * The changes an apply sends for the preview on screen: rows left out for
 * errors are not among them. Each change: {key, dir, name, newName, meta,
 * before}, and `newDir` (its new folder) when its new name makes folders.
 */
export function outgoingChanges(state) {
  const { items } = state.listing;
  const { check, leftOut, newNames } = state.preview;
  const changes = [];
  if (!check) return { changes, renames: 0, meta: 0 };
  for (let i = 0; i < items.length; i++) {
    const it = items[i];
    if (leftOut && leftOut[i]) continue;
    const rename = check.renamed[i] === 1;
    const edit = withRuleMeta(it, state.preview.ruleMeta?.get(i), state.edits.get(it.path));
    if (!rename && !edit) continue;
    const before = {};
    if (edit) for (const k of Object.keys(edit)) before[k] = it[k];
    const change = { key: it.path, dir: it.dir, name: it.name, newName: rename ? newNames.at(i) : it.name, meta: edit ? { ...edit } : undefined, before };
    const place = rename && placeFor(it.dir, change.newName, { folders: state.config.folders, destination: state.config.destination });
    if (place) {
      change.newName = place.name;
      change.newDir = place.dir;
    }
    changes.push(change);
  }
  return { changes, ...countChanges(changes) };
}

/** The listed item of the focused row, or null. */
export function focusedItem(state) {
  const i = state.view[state.selection.focus];
  return i === undefined ? null : state.listing.items[i];
}

/** Whether a template card is open: a field's token can go into its pattern. */
export const editingTemplate = (state) => state.config.rules.some((r) => r.type === 'template' && state.ui.expanded.has(r.id));

/** The items the rules and the metadata edits act on: the selection, or the focused row. */
export function targetIndexes(state) {
  const { set, focus } = state.selection;
  return set.size ? [...set] : focus >= 0 && state.view[focus] !== undefined ? [state.view[focus]] : [];
}
