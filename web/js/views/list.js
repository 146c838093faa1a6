// The list of items: the virtual grid drawn from the state, the selection by
// pointer and keyboard, and the empty state until a folder is open.

import { $, setAttr } from '../dom.js';
import { ListView } from './list-view.js';
import { severityOf } from '../conflicts.js';
import { ROW_HEIGHT } from '../protocol.js';
import { coverage } from '../selection.js';
import { takenMs } from '../media.js';
import { placeFor } from '../folders.js';
import { withRuleMeta } from '../edits.js';
import { relativeFolder } from '../text.js';

/**
 * What one row shows: the item, its new name, its problems or result, and its
 * metadata with pending edits; `stamp` keys all of it but the selection, so a
 * row is drawn again only when that changes (not on every key of a rule).
 */
export function rowModel(state, v, stamp) {
  const i = state.view[v];
  const it = state.listing.items[i];
  const edit = withRuleMeta(it, state.preview.ruleMeta?.get(i), state.edits.get(it.path));
  // an early name is not checked yet: its row shows no problems until the whole preview is in
  const early = state.preview.early?.get(i);
  const problems = state.preview.check && early === undefined ? state.preview.check.problems.get(i) : undefined;
  const result = state.results.get(it.path) || null;
  let newName = early ?? state.preview.newNames.at(i) ?? it.name;
  // a row that moves shows its new folder first, from the destination (or
  // the listed folder), and then its new name
  const { folders, destination } = state.config;
  const renamed = early !== undefined ? early !== it.name : state.preview.check?.renamed[i] === 1;
  const place = (folders || destination) && renamed && placeFor(it.dir, newName, { folders, destination });
  const moved = Boolean(place) && place.dir !== it.dir;
  let folder = '';
  if (moved) {
    const rel = relativeFolder(destination || state.listing.folder || '/', place.dir);
    folder = rel ? `${rel}/` : '';
    newName = place.name;
  }
  const m = {
    item: it,
    newName,
    folder,
    changed: moved || newName !== it.name,
    selected: state.selection.set.has(i),
    focused: v === state.selection.focus,
    problems,
    severity: result ? '' : severityOf(problems),
    result,
    tags: edit?.tags ?? it.tags,
    tagsPending: edit?.tags !== undefined,
    label: edit?.label ?? it.label,
    labelPending: edit?.label !== undefined,
    comment: edit?.comment ?? it.comment,
    commentPending: edit?.comment !== undefined,
    taken: takenMs(state.media.map.get(it.path), state.config.clocks),
  };
  const shown = [folder, newName, m.changed, m.severity, problems ? JSON.stringify(problems) : '', result ? `${result.ok}${result.text}` : '', m.tags.join('\u0001'), m.tagsPending, m.label, m.labelPending, m.comment, m.commentPending, m.taken];
  m.stamp = `${it.path}\0${stamp}\0${shown.join('\0')}`;
  return m;
}

export function createList({ store, intents, thumbnails }) {
  let stamp = 0; // changes with the listing: its items are new even where their paths are not
  let focus = -1;
  const list = new ListView({
    grid: $('grid'), head: $('grid-head'), body: $('grid-body'), spacer: $('grid-spacer'),
    model: (v) => rowModel(store.state, v, stamp),
    onRowPointer: (v, e, part) => intents.clickRow({ v, shift: e.shiftKey, ctrl: e.ctrlKey || e.metaKey, part }),
    onSort: intents.sortBy,
    onResize: intents.setColumns,
    onSelectAll: (on) => (on ? intents.selectAll() : intents.selectNone()),
    thumbFor: (item) => thumbnails().of(item.path),
  });

  list.grid.addEventListener('keydown', (e) => {
    if (e.target !== list.grid) return;
    const page = Math.max(1, Math.floor(list.body.clientHeight / ROW_HEIGHT) - 1);
    const f = store.state.selection.focus;
    const last = store.state.view.length - 1;
    const moves = { ArrowDown: f + 1, ArrowUp: f < 0 ? 0 : f - 1, PageDown: f + page, PageUp: f - page, Home: 0, End: last };
    if (e.key in moves) { e.preventDefault(); intents.moveFocus({ to: moves[e.key], extend: e.shiftKey }); }
    else if (e.key === ' ') { e.preventDefault(); intents.toggleFocused(); }
  });

  let serial = -1;
  let columns = null;
  let arrivingIn = null; // the folder whose listing is still arriving
  let drawnFrom = []; // the settings the rows were drawn with
  function render(state, keys) {
    const { listing, config, selection, view } = state;
    // a key typed into a rule changes only the rules: the rows wait for the preview
    const settings = [config.mode, config.sort, config.columns, config.folders, config.destination, config.clocks];
    const sameSettings = settings.every((x, k) => x === drawnFrom[k]);
    drawnFrom = settings;
    if (keys && sameSettings && keys.every((k) => k === 'config')) return;
    if (listing.serial !== serial) {
      // another folder: from its top left; the whole of one that was arriving keeps the place
      if (arrivingIn === null || arrivingIn !== listing.folder) list.scrollHome();
      serial = listing.serial;
    }
    arrivingIn = state.arriving ? listing.folder : null;
    // busy while the listing comes in, and while rows named early wait for the whole preview's check
    setAttr(list.grid, 'aria-busy', String(state.arriving > 0 || state.preview.pending === true));
    if (!keys || keys.includes('listing')) stamp++;
    if (!keys || keys.includes('listing') || keys.includes('preview')) list.namesChanged();
    list.setTree(config.mode === 'tree' && !listing.dropped);
    list.setSort(config.sort);
    if (config.columns !== columns) list.setWidths((columns = config.columns));
    list.setCount(view.length);
    if (selection.focus !== focus && selection.focus >= 0) list.scrollToIndex(selection.focus);
    focus = selection.focus;
    setAttr(list.grid, 'aria-activedescendant', focus >= 0 ? `row-${focus}` : '');
    const { all, some } = coverage(selection, view);
    list.setAllState(all, some);
    list.render();
  }

  store.subscribe(['listing', 'config', 'preview', 'view', 'selection', 'edits', 'results', 'media'], render);
  render(store.state, null);
  return {
    focus() {
      list.grid.focus();
      if (store.state.selection.focus < 0) intents.moveFocus({ to: 0, extend: false });
    },
    /** Whether a row of `path` is on screen now. */
    isShown(path) {
      const { listing, view } = store.state;
      return list.rows.some((r) => listing.items[view[r.v]]?.path === path);
    },
    redraw: () => list.schedule(),
    /** The items of the rows drawn now. */
    shownItems() {
      const [first, last] = list.shownRows();
      return store.state.view.slice(first, last);
    },
  };
}
