// The named actions of the store: each takes the state and its payload and
// returns the top-level keys it replaces. Pure: no DOM, no bridge.

import { newRule } from './rules.js';
import { addRecent } from './config.js';
import { normaliseInto } from './columns.js';
import * as sel from './selection.js';
import { editItems } from './edits.js';
import { computeView, emptyPreview } from './state.js';
import { emptySelection } from './selection.js';
import { mergeMedia } from './media.js';
import { uniquePattern } from './unique.js';

const withConfig = (state, patch) => ({ config: { ...state.config, ...patch } });
const withUi = (state, patch) => ({ ui: { ...state.ui, ...patch } });
const withView = (state, patch) => {
  const next = { ...state, ...patch };
  return { ...patch, view: computeView(next) };
};
const sameRules = (a, b) => JSON.stringify(a.map(({ id, ...r }) => r)) === JSON.stringify(b.map(({ id, ...r }) => r)); // eslint-disable-line no-unused-vars

let toastId = 0;

/** 0, 1, … n-1. */
function upTo(n) {
  const a = new Int32Array(n);
  for (let i = 0; i < n; i++) a[i] = i;
  return a;
}

export const actions = {
  // ---- settings
  configLoaded: (state, { config }) => ({ config, loading: false, filter: { ...state.filter, mode: config.filterMode } }),
  setMode: (state, mode) => withConfig(state, { mode }),
  setScope: (state, scope) => withConfig(state, { scope }),
  setFolders: (state, folders) => withConfig(state, { folders: Boolean(folders) }),
  setRemoveEmptied: (state, on) => withConfig(state, { removeEmptied: Boolean(on) }),
  setUnique: (state, on) => withConfig(state, { unique: Boolean(on) }),
  setCompanions: (state, on) => withConfig(state, { companions: Boolean(on) }),
  setPortable: (state, on) => withConfig(state, { portable: Boolean(on) }),
  volumesRead: (state, volumes) => ({ volumes }),
  /** A camera's clock offset in minutes; 0 or null forgets it. */
  setClock: (state, { camera, minutes }) => {
    const clocks = { ...state.config.clocks };
    if (minutes) clocks[camera] = minutes; else delete clocks[camera];
    return withConfig(state, { clocks });
  },
  setUniquePattern: (state, text) => withConfig(state, { uniquePattern: uniquePattern(text) }),
  setTagDuplicates: (state, on) => withConfig(state, { tagDuplicates: Boolean(on) }),
  setCopy: (state, on) => withConfig(state, { copy: Boolean(on) }),
  // an absolute folder, without a trailing "/"; anything else clears it
  setDestination: (state, path) => withConfig(state, { destination: typeof path === 'string' && path.startsWith('/') ? path.replace(/(.)\/+$/, '$1') : null }),
  toggleHidden: (state) => withConfig(state, { showHidden: !state.config.showHidden }),
  setColumns: (state, columns) => withConfig(state, { columns }),
  setFilterMode: (state, mode) => ({ ...withConfig(state, { filterMode: mode }), filter: { ...state.filter, mode } }),
  /** Sorting by the same key again reverses; a third time returns to the folder's order. */
  sortBy: (state, key) => {
    const s = state.config.sort;
    const sort = s.key !== key ? { key, dir: 1 } : s.dir === 1 ? { key, dir: -1 } : { key: 'native', dir: 1 };
    return withConfig(state, { sort });
  },

  // ---- listing
  /**
   * `partial`: the first part of a listing whose rest is still arriving.
   * `ready`: how many of `files` are normalised for this listing already, as
   * their parts came. Records are normalised in place: a million of them are
   * not copied.
   */
  listed: (state, { folder, files, dropped = null, partial = false, ready = 0 }) => {
    const items = files || [];
    normaliseInto(items, folder, 0, ready);
    const config = folder
      ? { ...state.config, recent: addRecent(state.config.recent, folder), lastFolder: dropped ? state.config.lastFolder : folder }
      : state.config;
    return {
      config,
      listing: { folder, dropped, items, serial: state.listing.serial + 1 },
      arriving: partial ? items.length : 0,
      selection: emptySelection(),
      edits: new Map(),
      results: new Map(),
      taken: new Set(),
      media: { map: new Map(), version: 0 },
      lastResult: null,
      filter: { ...state.filter, ext: null, tag: '', label: -1 },
      // the stamp only grows: a confirmation open across listings must notice
      preview: { ...emptyPreview(), base: upTo(items.length), stamp: state.preview.stamp },
      view: upTo(items.length),
      // what was said about the listing before does not hold for this one
      toasts: state.toasts.some((x) => x.about === 'listing') ? state.toasts.filter((x) => x.about !== 'listing') : state.toasts,
    };
  },
  /**
   * More of a listing has arrived (`count` records so far); its rows come
   * with the whole. Only the views that show the count redraw for a part.
   */
  listingArrived: (state, count) => ({ arriving: count }),
  /** After a batch: rows brought up to date, results marked, failed rows selected. */
  rowsRefreshed: (state, { items, results, failed, edits }) => withView(state, {
    listing: { ...state.listing, items },
    results,
    edits,
    selection: { set: failed, anchor: -1, focus: -1 },
  }),
  namesTaken: (state, paths) => ({ taken: new Set([...state.taken, ...paths]) }),
  /** Media fields read for some items (`items` as readMedia answers them). */
  mediaRead: (state, { items, hash = '' }) => {
    const { map } = state.media;
    for (const f of items) map.set(f.path, mergeMedia(map.get(f.path), f, hash));
    return { media: { map, version: state.media.version + 1 } };
  },

  // ---- preview
  previewStarted: (state) => ({ preview: { ...state.preview, pending: true } }),
  /** New names for the rows on screen ahead of the whole preview (Map item index -> name), which is on its way and replaces them. */
  previewEarly: (state, early) => ({ preview: { ...state.preview, early, pending: true } }),
  /** How many companions the listing has, counted after its first preview (whose count was null). */
  companionsCounted: (state, count) => ({ preview: { ...state.preview, found: { ...state.preview.found, companions: count } } }),
  previewComputed: (state, result) => withView(state, { preview: { ...result, stamp: state.preview.stamp + 1, pending: false } }),
  setFilter: (state, patch) => withView(state, { filter: { ...state.filter, ...patch } }),
  /** Done marks go once the user moves on; failures stay until the next apply or listing. */
  forgetDone: (state) => {
    if (![...state.results.values()].some((r) => r.ok)) return null;
    return { results: new Map([...state.results].filter(([, r]) => !r.ok)) };
  },

  // ---- rules and presets
  addRule: (state, type) => {
    const rule = newRule(type);
    return { ...withConfig(state, { rules: [...state.config.rules, rule] }), ...withUi(state, { expanded: new Set([...state.ui.expanded, rule.id]), focusRule: rule.id, addMenuOpen: false }) };
  },
  updateRule: (state, { id, patch }) => withConfig(state, { rules: state.config.rules.map((r) => (r.id === id ? { ...r, ...patch } : r)) }),
  moveRule: (state, { id, to }) => {
    const rules = [...state.config.rules];
    const from = rules.findIndex((r) => r.id === id);
    if (from < 0 || to < 0 || to >= rules.length) return null;
    rules.splice(to, 0, ...rules.splice(from, 1));
    return { ...withConfig(state, { rules }), ...withUi(state, { focusRule: id }) };
  },
  removeRule: (state, id) => {
    const i = state.config.rules.findIndex((r) => r.id === id);
    if (i < 0) return null;
    const rules = state.config.rules.filter((r) => r.id !== id);
    const next = rules[Math.min(i, rules.length - 1)];
    return { ...withConfig(state, { rules }), ...withUi(state, { focusRule: next ? next.id : '+' }) };
  },
  clearRules: (state) => ({ ...withConfig(state, { rules: [] }), ...withUi(state, { expanded: new Set(), focusRule: '+' }) }),
  allFieldsShown: (state, shown) => withUi(state, { allFields: shown }),
  toggleExpanded: (state, id) => {
    const expanded = new Set(state.ui.expanded);
    if (expanded.has(id)) expanded.delete(id); else expanded.add(id);
    return withUi(state, { expanded, focusRule: id });
  },
  loadPreset: (state, name) => {
    const p = state.config.presets.find((q) => q.name === name);
    if (!p) return null;
    const rules = structuredClone(p.rules).map((r) => newRule(r.type, { ...r, id: undefined }));
    for (const r of rules) if (!r.id) r.id = newRule(r.type).id;
    const unique = p.unique === true ? { unique: true, uniquePattern: p.uniquePattern, tagDuplicates: p.tagDuplicates === true } : { unique: false };
    return { ...withConfig(state, { rules, folders: p.folders === true, companions: p.companions === true, clocks: { ...p.clocks }, ...unique }), ...withUi(state, { expanded: new Set() }) };
  },
  savePreset: (state, name) => {
    const rules = structuredClone(state.config.rules);
    const c = state.config;
    const preset = { name, rules, ...(c.folders ? { folders: true } : {}), ...(c.companions ? { companions: true } : {}), ...(Object.keys(c.clocks).length ? { clocks: { ...c.clocks } } : {}), ...(c.unique ? { unique: true, uniquePattern: c.uniquePattern, ...(c.tagDuplicates ? { tagDuplicates: true } : {}) } : {}) };
    const has = state.config.presets.some((p) => p.name === name);
    const presets = has ? state.config.presets.map((p) => (p.name === name ? preset : p)) : [...state.config.presets, preset];
    return withConfig(state, { presets });
  },
  renamePreset: (state, { from, to }) => withConfig(state, { presets: state.config.presets.map((p) => (p.name === from ? { ...p, name: to } : p)) }),
  deletePreset: (state, name) => withConfig(state, { presets: state.config.presets.filter((p) => p.name !== name) }),

  // ---- selection and metadata
  clickRow: (state, how) => ({ selection: sel.clickRow(state.selection, state.view, how.v, how) }),
  moveFocus: (state, { to, extend }) => ({ selection: sel.moveFocus(state.selection, state.view, to, extend) }),
  toggleFocused: (state) => ({ selection: sel.toggleFocused(state.selection, state.view) }),
  selectAll: (state) => ({ selection: sel.selectAll(state.selection, state.view) }),
  selectNone: () => ({ selection: emptySelection() }),
  /** `change(current, item)` gives the fields to set on each of the items `indexes`. */
  editMeta: (state, { indexes, change }) => withView(state, { edits: editItems(state.edits, indexes.map((i) => state.listing.items[i]), change) }),
  revertEdits: (state, indexes) => {
    const edits = new Map(state.edits);
    for (const i of indexes) edits.delete(state.listing.items[i].path);
    return withView(state, { edits });
  },

  // ---- batches and history
  batchStarted: (state, { title, total, bytesTotal = 0 }) => ({ batch: { busy: true, cancelling: false, title, done: 0, total, bytes: 0, bytesTotal } }),
  batchProgress: (state, { done, bytes = 0 }) => ({ batch: { ...state.batch, done, bytes } }),
  batchCancel: (state) => (state.batch.busy ? { batch: { ...state.batch, cancelling: true } } : null),
  batchFinished: (state, lastResult) => ({ batch: { ...state.batch, busy: false, cancelling: false }, lastResult }),
  undoableRead: (state, undoable) => ({ undoable }),
  historyOpened: (state, batches) => ({ journal: { ...state.journal, open: true, batches, expanded: null, entries: null } }),
  historyClosed: (state) => ({ journal: { ...state.journal, open: false } }),
  historySearched: (state, query) => ({ journal: { ...state.journal, query } }),
  historyExpanded: (state, { id, entries = null }) => ({ journal: { ...state.journal, expanded: id, entries } }),

  // ---- the page's chrome
  showPathInput: (state, on) => withUi(state, { pathInput: on }),
  // nothing changes when the menu already is as asked: a press anywhere closes menus
  toggleRecent: (state, on = !state.ui.recentOpen) => (on === state.ui.recentOpen ? null : withUi(state, { recentOpen: on })),
  toggleAddMenu: (state, on = !state.ui.addMenuOpen) => (on === state.ui.addMenuOpen ? null : withUi(state, { addMenuOpen: on })),
  sheetOpened: (state, sheet) => ({ sheet }),
  sheetClosed: () => ({ sheet: null }),
  toast: (state, { text, kind = 'info', about = null, action = null }) => ({ toasts: [...state.toasts, { id: ++toastId, text, kind, about, action }] }),
  dismissToast: (state, id) => ({ toasts: state.toasts.filter((t) => t.id !== id) }),
};

export { sameRules };
