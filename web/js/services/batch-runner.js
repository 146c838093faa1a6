// Applying batches: the confirmation, the native engine's run with progress
// and cancel, the results in the rows, and undo and redo of the batches applied.

import { batchChanges, changeRecord as outgoing, changesFolder, moves, recordFromJournal, undoStacks } from '../batch.js';
import { explainError } from '../protocol.js';
import { normaliseInto, pathIndexOf } from '../columns.js';
import { warningCounts } from '../conflicts.js';
import { hasRawBytes } from '../bytes.js';
import { dirOf, joinPath, relativeFolder } from '../text.js';
import { outgoingChanges, pendingCounts, targetIndexes } from '../state.js';
import { t } from '../i18n/index.js';

// How many of the journal's newest batches Undo and Redo look back over.
const UNDO_DEPTH = 100;
const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
// a new folder is shown from the listed folder: "2024/07/a.jpg"
const shownName = (c, root) => (changesFolder(c) ? joinPath(relativeFolder(root, c.newDir) || '.', c.newName) : c.newName);
const lineIn = (root) => (c) => (moves(c) ? t('batch.line', { name: c.name, newName: shownName(c, root) }) : t('batch.metaLine', { name: c.name }));
// The title of the batch an undo record undid ("Undo of X" gives X), in the
// page's language or in English (records kept from before).
const [undoBefore, undoAfter] = t('batch.undoOf', { title: '\0' }).split('\0');
function undoneTitle(title) {
  for (const [a, b] of [[undoBefore, undoAfter], ['Undo of ', '']]) {
    if (title.startsWith(a) && title.endsWith(b) && title.length >= a.length + b.length) return title.slice(a.length, title.length - b.length);
  }
  return title;
}

export function createBatchRunner({ store, bridge, preview, notices, thumbnails }) {
  const st = () => store.state;
  // No batch starts while another runs, nor while a listing is still
  // arriving: its rest may hold the names a batch would collide with.
  const idle = () => !st().batch.busy && !st().arriving;
  const { toast, ask } = notices;

  let running = null; // the id of the batch that runs now, for cancelBatch

  // runBatch moves items into other folders only when asked to
  const intoFolders = (changes) => (changes.some(changesFolder) ? { folders: true } : {});
  // the folders an apply empties go when asked; an undo makes them again
  const emptied = (kind) => (kind === 'b' && st().config.removeEmptied && !st().config.copy ? { removeEmptied: true } : {});
  const copying = (kind) => kind === 'b' && st().config.copy;
  // what a copy writes: the listed sizes of the files it copies
  function bytesOf(changes) {
    const { items } = st().listing;
    const index = pathIndexOf(items);
    let sum = 0;
    for (const c of changes) {
      const row = index.get(c.key);
      if (moves(c) && row !== undefined && !items[row].isDir) sum += items[row].size || 0;
    }
    return sum;
  }

  /**
   * Runs changes as one batch of the native engine, with progress; returns
   * the outcomes (key -> {ok, code, error, stage, sent, item}: `item`
   * is the item's fresh record as a listing item), after bringing the rows
   * up to date from them.
   */
  async function run(changes, title, kind = 'b', folder = st().listing.folder || '', undoes = '') {
    const batch = `${kind}-${Date.now().toString(36)}-${Math.random().toString(36).slice(2, 8)}`;
    store.dispatch('batchStarted', { title, total: changes.length, bytesTotal: copying(kind) ? bytesOf(changes) : 0 });
    running = batch;
    let res = null;
    let failure = null;
    try {
      res = await bridge.runBatch(changes.map(outgoing), { batch, title, folder, ...(undoes ? { undoes } : {}), ...intoFolders(changes), ...emptied(kind), ...(copying(kind) ? { copy: true } : {}) }, (p) => store.dispatch('batchProgress', { done: p.done + p.failed, bytes: Number(p.bytes) || 0 }));
    } catch (e) {
      failure = e;
    }
    running = null;
    // the reply lists the failed changes and the rows without a record; the
    // records of the others came ahead of it, in order
    const failed = new Map((Array.isArray(res?.failed) ? res.failed : []).map((f) => [f.row, f]));
    const unrecorded = new Set(Array.isArray(res?.unrecorded) ? res.unrecorded : []);
    const fresh = Array.isArray(res?.files) ? res.files : [];
    normaliseInto(fresh, folder, 0);
    let made = 0;
    const outcomes = new Map();
    changes.forEach((c, k) => {
      const item = res && !unrecorded.has(k) ? fresh[made++] ?? null : null;
      const f = failed.get(k);
      const o = !res ? { ok: false, code: failure?.code || '', error: failure?.message || t('batch.noResult'), stage: '', item }
        : f ? { ok: false, code: f.code || '', error: String(f.error ?? ''), stage: f.stage || '', item }
          : { ok: true, code: '', error: '', stage: '', item };
      o.sent = Boolean(res) && !res.refused && o.code !== 'cancelled';
      outcomes.set(c.key, o);
    });
    if (failure) toast(t('batch.stopped', { reason: explainError({ code: failure.code, error: failure.message }).text }), 'error', 12000);
    if (res?.refused) toast(t('batch.refused'), 'error', 12000);
    if (res?.cancelled) toast(t('batch.cancelled'), 'warning');
    refreshRows(changes, outcomes, copying(kind));
    await refreshUndo();
    const ok = changes.filter((c) => outcomes.get(c.key).ok).length;
    const unsent = changes.filter((c) => !outcomes.get(c.key).sent).length;
    store.dispatch('batchFinished', { title, ok, failed: changes.length - ok - unsent, unsent });
    return outcomes;
  }

  /** Reads what Undo and Redo offer from the journal's newest batches. */
  async function refreshUndo() {
    try {
      store.dispatch('undoableRead', undoStacks((await bridge.listBatches(UNDO_DEPTH)).batches));
    } catch (_) { /* the buttons keep what they offered; the History says why it cannot read */ }
  }

  /** Brings the rows of a finished batch up to date from the records of its reply and marks their results. */
  function refreshRows(changes, outcomes, copied = false) {
    const { listing, config } = st();
    const items = listing.items.slice();
    const edits = new Map(st().edits);
    const results = new Map();
    const failed = new Set();
    // Look every row and edit up before changing any: in a swap, one item's new
    // path is another's old one.
    const index = pathIndexOf(listing.items);
    const rows = changes.map((c) => index.get(c.key));
    const kept = changes.map((c) => edits.get(c.key));
    for (const c of changes) edits.delete(c.key);
    // a picture kept for a path an item left belongs to it no more (swaps
    // move pictures); only the few kept are looked at, not every change
    thumbnails.forget((path) => outcomes.has(path));
    changes.forEach((c, k) => {
      const o = outcomes.get(c.key);
      const i = rows[k];
      const next = o.item;
      if (i === undefined) return; // the batch was for items that are not listed now
      const text = o.ok ? '' : explainError(o).text;
      if (next && !copied) { // a copy's row stays the original's
        next.idx = i;
        // a row follows its item into the folder a batch moved it to
        if (listing.dropped || config.mode === 'tree' || next.dir === items[i].dir || changesFolder(c)) items[i] = next;
      }
      const now = items[i];
      if (!o.ok && kept[k]) edits.set(now.path, kept[k]);
      results.set(now.path, { ok: o.ok, text: o.ok ? '' : `${text}${o.error && o.error !== text ? `\n(${o.error})` : ''}` });
      if (!o.ok) failed.add(i);
    });
    store.dispatch('rowsRefreshed', { items, results, failed, edits });
  }

  /** The items a batch moves into other folders, and those of its folders not there yet (asked of the native side). */
  async function intoFoldersOf(changes) {
    const root = st().listing.folder || '';
    const shownFrom = st().config.destination || root;
    const dirs = new Set();
    let moved = 0;
    for (const c of changes) {
      if (!changesFolder(c)) continue;
      moved++;
      for (let d = c.newDir; d && d !== '/' && d !== root && !dirs.has(d); d = dirOf(d)) dirs.add(d);
    }
    if (!moved) return null;
    let there = new Set();
    try {
      there = new Set((await bridge.statPaths([...dirs])).files.map((f) => f.path));
    } catch (_) { /* the folders are counted as new; the batch makes only those it needs */ }
    return { moved, made: [...dirs].filter((d) => !there.has(d)).sort().map((d) => relativeFolder(shownFrom, d) || d) };
  }

  async function apply() {
    if (!idle()) return;
    if (!(await preview.checked())) return;
    const p = pendingCounts(st());
    if (!p.renames && !p.meta) return;
    // Confirming needs the rows with errors skipped, so the batch confirmed is
    // the one without them, and exactly that one is sent.
    const stamp = st().preview.stamp;
    const { changes, renames, meta } = outgoingChanges(st());
    const into = await intoFoldersOf(changes);
    const FOLDERS_SHOWN = 8;
    const collide = st().preview.found?.collide ?? 0;
    const ok = await ask({
      title: t('batch.applyTitle'),
      paragraphs: [
        { cls: 'big', text: t('batch.applySummary', { renames: t('batch.renames', { count: renames }), meta: t('batch.metaChanges', { count: meta }) }) },
        st().config.destination && { text: t('batch.intoDestination', { folder: st().config.destination }) },
        into && { text: t('batch.intoFolders', { files: t(st().config.copy ? 'batch.copiesFiles' : 'batch.movesFiles', { count: into.moved }), folders: t('batch.newFolders', { count: into.made.length }) }) },
        into?.made.length && { text: t('batch.foldersMade', { list: `${into.made.slice(0, FOLDERS_SHOWN).join(', ')}${into.made.length > FOLDERS_SHOWN ? ', …' : ''}` }) },
        p.warnings && { text: t('batch.warnings', { count: p.warnings, which: warningCounts(st().preview.check.problems.values()).map(([w, n]) => `${w} (${n})`).join(', ') }) },
        p.errors && { cls: 'err', text: t('batch.errors', { count: p.errors }) },
        // rows that only collide can be numbered apart instead of left out
        collide && !st().config.unique && { text: t('batch.collide', { count: collide }), action: { label: t('sheet.numberApart'), run: () => store.dispatch('setUnique', true) } },
        p.skipped && { text: t('batch.skipped', { count: p.skipped }) },
      ].filter(Boolean),
      lines: changes.map(lineIn(st().config.destination || st().listing.folder || '')),
      okText: changes.length ? t('batch.applyN', { count: changes.length }) : t('page.apply'),
      skipText: p.errors ? t('batch.skipErrors', { count: p.errors }) : null,
    });
    if (!ok) return;
    if (st().preview.stamp !== stamp || st().preview.pending || !idle()) {
      toast(t('batch.changedMeanwhile'), 'warning');
      return;
    }
    if (!changes.length) { toast(t('batch.nothingLeft'), 'warning'); return; }
    const title = t(renames ? 'batch.rename' : 'batch.meta', { count: changes.length });
    await run(changes, title);
  }

  /**
   * Runs changes read back from the history (an undo, or the rest of an
   * interrupted batch) after a preview: what goes where, and what cannot
   * because its target name is taken now.
   */
  async function runRecorded(changes, { title, folder, missing = 0, kind, undoes = '' }) {
    if (!idle()) return;
    // kind "undo" or "finish" names the messages, and the batch in the journal
    const verb = kind === 'undo' ? 'Undo' : 'Finish';
    if (!changes.length) { toast(t(`batch.nothingTo${verb}`), 'warning'); return; }
    let go = changes;
    const blocked = [];
    try {
      // the engine's own check, asked again while it finds changes that
      // cannot go: one left out may keep a name another wanted freed
      for (let round = 0; round < 3; round++) {
        const { results = [], refused } = await bridge.runBatch(go.map(outgoing), { dryRun: true, ...intoFolders(go) });
        if (!refused) break;
        blocked.push(...go.filter((c, k) => results[k]?.ok !== true));
        go = go.filter((c, k) => results[k]?.ok === true);
      }
    } catch (e) {
      toast(t('batch.noCheck', { reason: e.message }), 'error');
      return;
    }
    const ok = await ask({
      title: t(`batch.${kind}Title`, { title }),
      paragraphs: [
        { cls: 'big', text: t('batch.itemsIn', { count: go.length, folder }) },
        blocked.length && { cls: 'err', text: t('batch.blocked', { count: blocked.length, names: `${blocked.slice(0, 3).map((c) => c.newName).join(', ')}${blocked.length > 3 ? ', …' : ''}` }) },
        missing && { text: t('batch.missing', { count: missing }) },
      ].filter(Boolean),
      lines: go.map(lineIn(folder)),
      okText: go.length ? t(`batch.${kind}N`, { count: go.length }) : t(`batch.${kind}`),
    });
    if (!ok || !go.length || !idle()) return;
    const name = t(`batch.${kind}Of`, { title });
    const outcomes = await run(go, name, kind, folder, undoes);
    const failed = go.length - go.filter((c) => outcomes.get(c.key).ok).length;
    if (failed) toast(t('batch.notChanged', { count: failed }), 'error', 10000);
  }

  /** Undoes the last batch (`which` "undo") or redoes the last undone one ("redo"). */
  async function undoRedo(which) {
    if (!idle()) return;
    const batch = st().undoable[which];
    if (!batch) return;
    const redo = which === 'redo';
    const where = batch.folder;
    const title = redo ? t('batch.redoOf', { title: undoneTitle(batch.title) }) : t('batch.undoOf', { title: batch.title });
    const shown = st().listing.folder;
    if (where !== shown) {
      // the list shows other items: say where the batch goes before it does
      const ok = await ask({
        title: t(redo ? 'batch.redoElsewhere' : 'batch.undoElsewhere'),
        paragraphs: [
          { cls: 'big', text: t('batch.changedIn', { title: batch.title, count: batch.done, folder: where }) },
          { text: shown ? t('batch.listShows', { folder: shown }) : t('batch.noFolderShown') },
        ],
        okText: t(redo ? 'batch.redoIn' : 'batch.undoIn', { folder: baseName(where) }),
      });
      if (!ok || !idle() || st().undoable[which] !== batch) return;
    }
    // where its items are now: the journal finds one that was moved since
    let record;
    try {
      record = recordFromJournal(batch, (await bridge.readBatch(batch.id)).entries);
    } catch (e) {
      toast(t('toast.noHistory', { reason: e.message }), 'error');
      return;
    }
    const changes = batchChanges(record);
    if (!changes.length) { toast(t(record.copies ? 'batch.copiesStay' : 'batch.nothingToUndo'), 'warning', ...(record.copies ? [12000] : [])); return; }
    const outcomes = await run(changes, title, which, where, batch.id);
    const failed = changes.length - changes.filter((c) => outcomes.get(c.key).ok).length;
    if (failed) toast(t('batch.notRestored', { count: failed }), 'error', 10000);
  }

  return {
    apply,
    undoRecorded: (record) => runRecorded(batchChanges(record), { ...record, kind: 'undo', undoes: record.id }),
    refreshUndo,
    finishRecorded: (batch, changes) => runRecorded(changes, { title: batch.title, folder: batch.folder, kind: 'finish' }),
    undo: () => undoRedo('undo'),
    redo: () => undoRedo('redo'),
    cancel: () => {
      store.dispatch('batchCancel');
      if (running) bridge.cancelBatch(running).catch(() => {});
    },
    async reveal() {
      const { listing } = st();
      const paths = targetIndexes(st()).map((i) => listing.items[i].path).filter((p) => !hasRawBytes(p)); // reveal names items by their text
      if (!paths.length) return;
      try { await bridge.reveal(paths.slice(0, 500)); } catch (e) { toast(e.message, 'error', 10000); }
    },
  };
}
