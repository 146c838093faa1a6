// Applying batches: the confirmation, the chunks with progress and cancel,
// the results in the rows, and undo and redo of the batches applied.

import { planBatch, chunkPlan, followResults, rescueOps } from '../planner.js';
import { undoRecord, batchChanges, batchFolder } from '../batch.js';
import { explainError, normalise, pathIndexOf } from '../protocol.js';
import { isInvalidUtf8, warningCounts } from '../conflicts.js';
import { top } from '../history.js';
import { listedNames } from '../probe.js';
import { joinPath } from '../text.js';
import { outgoingChanges, pendingCounts, targetIndexes } from '../state.js';
import { t } from '../i18n/index.js';

const CHUNK = 250;
const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
const line = (c) => (c.newName !== c.name ? t('batch.line', { name: c.name, newName: c.newName }) : t('batch.metaLine', { name: c.name }));
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

  /**
   * Runs changes in chunks with progress; returns the outcomes, after
   * refreshing the rows. Every chunk names the batch, so the journal keeps
   * them as one, and how many items it has, so that the journal knows one cut
   * short between two chunks.
   */
  async function run(changes, title, kind = 'b', folder = st().listing.folder || '') {
    const batch = { batch: `${kind}-${Date.now().toString(36)}-${Math.random().toString(36).slice(2, 8)}`, title, folder, total: changes.length };
    let names = null;
    const occupied = (dir) => (names ||= listedNames(st().listing.items)).get(dir) || null;
    const plan = planBatch(changes, { occupied });
    store.dispatch('batchStarted', { title, total: plan.ops.length });
    const results = [];
    let failure = '';
    for (const [a, b] of chunkPlan(plan, CHUNK)) {
      if (st().batch.cancelling) break;
      try {
        const res = await bridge.apply(plan.ops.slice(a, b), batch);
        const got = Array.isArray(res?.results) ? res.results : [];
        for (let k = 0; k < b - a; k++) results.push(got[k] || { ok: false, error: t('batch.noResult') });
      } catch (e) {
        failure = e.message;
        break;
      }
      store.dispatch('batchProgress', results.length);
    }
    const cancelled = st().batch.cancelling;
    const outcomes = followResults(plan, results, changes);
    const rescue = rescueOps(changes, outcomes);
    if (rescue.ops.length) {
      try {
        const res = await bridge.apply(rescue.ops, batch);
        res.results.forEach((r, k) => {
          const o = outcomes.get(rescue.keys[k]);
          if (r.ok) { o.path = r.newPath; o.stranded = false; o.error = t('batch.movedBack', { error: o.error }); }
        });
      } catch (_) { /* reported below as stranded */ }
    }
    // stopped before the end: the items never sent were not run, the batch was not cut short
    // (awaited, so that History opened next already reads the batch as ended)
    if (results.length < plan.ops.length) await bridge.apply([], { ...batch, end: true }).catch(() => {});
    for (const c of changes) {
      const o = outcomes.get(c.key);
      o.renamed = o.path !== joinPath(c.dir, c.name);
    }
    if (failure) toast(t('batch.stopped', { reason: failure }), 'error', 12000);
    if (cancelled) toast(t('batch.cancelled'), 'warning');
    await refreshRows(changes, outcomes);
    const ok = changes.filter((c) => outcomes.get(c.key).ok).length;
    const unsent = changes.filter((c) => !outcomes.get(c.key).sent).length;
    store.dispatch('batchFinished', { title, ok, failed: changes.length - ok - unsent, unsent });
    return outcomes;
  }

  /** Brings the rows of a finished batch up to date with statPaths and marks their results. */
  async function refreshRows(changes, outcomes) {
    const paths = changes.map((c) => outcomes.get(c.key).path);
    let fresh = [];
    try { fresh = (await bridge.statPaths(paths)).files; } catch (e) { toast(t('batch.noRefresh', { reason: e.message }), 'error'); }
    const byPath = new Map(fresh.map((f) => [f.path, f]));
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
    thumbnails.forget(changes.flatMap((c) => [c.key, outcomes.get(c.key).path])); // swaps move pictures
    changes.forEach((c, k) => {
      const o = outcomes.get(c.key);
      const i = rows[k];
      if (i === undefined) return; // the batch was for items that are not listed now
      let text = o.ok ? '' : explainError(o.error).text;
      if (o.stranded) text += t('batch.stranded', { name: baseName(o.path) });
      const rec = byPath.get(o.path);
      if (rec) {
        const next = normalise(rec, listing.folder, i);
        if (listing.dropped || config.mode === 'tree' || next.dir === items[i].dir) items[i] = next;
      }
      const now = items[i];
      if (!o.ok && kept[k]) edits.set(now.path, kept[k]);
      results.set(now.path, { ok: o.ok, text: o.ok ? '' : `${text}${o.error !== text ? `\n(${o.error})` : ''}` });
      if (!o.ok) failed.add(i);
    });
    store.dispatch('rowsRefreshed', { items, results, failed, edits });
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
    const ok = await ask({
      title: t('batch.applyTitle'),
      paragraphs: [
        { cls: 'big', text: t('batch.applySummary', { renames: t('batch.renames', { count: renames }), meta: t('batch.metaChanges', { count: meta }) }) },
        p.warnings && { text: t('batch.warnings', { count: p.warnings, which: warningCounts(st().preview.check.problems.values()).map(([w, n]) => `${w} (${n})`).join(', ') }) },
        p.errors && { cls: 'err', text: t('batch.errors', { count: p.errors }) },
        p.skipped && { text: t('batch.skipped', { count: p.skipped }) },
      ].filter(Boolean),
      lines: changes.map(line),
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
    const outcomes = await run(changes, title);
    const record = undoRecord(title, changes, outcomes, Date.now(), st().listing.folder);
    store.dispatch('historyApplied', record);
  }

  /**
   * Runs changes read back from the history (an undo, or the rest of an
   * interrupted batch) after a preview: what goes where, and what cannot
   * because its target name is taken now.
   */
  async function runRecorded(changes, { title, folder, missing = 0, kind }) {
    if (!idle()) return;
    // kind "undo" or "finish" names the messages, and the batch in the journal
    const verb = kind === 'undo' ? 'Undo' : 'Finish';
    if (!changes.length) { toast(t(`batch.nothingTo${verb}`), 'warning'); return; }
    let held;
    try {
      const sources = new Set(changes.map((c) => c.key));
      const found = (await bridge.statPaths(changes.map((c) => joinPath(c.dir, c.newName)))).files;
      held = new Set(found.map((f) => f.path).filter((p) => !sources.has(p)));
    } catch (e) {
      toast(t('batch.noCheck', { reason: e.message }), 'error');
      return;
    }
    const blocked = changes.filter((c) => held.has(joinPath(c.dir, c.newName)));
    const go = changes.filter((c) => !held.has(joinPath(c.dir, c.newName)));
    const ok = await ask({
      title: t(`batch.${kind}Title`, { title }),
      paragraphs: [
        { cls: 'big', text: t('batch.itemsIn', { count: go.length, folder }) },
        blocked.length && { cls: 'err', text: t('batch.blocked', { count: blocked.length, names: `${blocked.slice(0, 3).map((c) => c.newName).join(', ')}${blocked.length > 3 ? ', …' : ''}` }) },
        missing && { text: t('batch.missing', { count: missing }) },
      ].filter(Boolean),
      lines: go.map(line),
      okText: go.length ? t(`batch.${kind}N`, { count: go.length }) : t(`batch.${kind}`),
    });
    if (!ok || !go.length || !idle()) return;
    const name = t(`batch.${kind}Of`, { title });
    const outcomes = await run(go, name, kind, folder);
    store.dispatch('historyApplied', undoRecord(name, go, outcomes, Date.now(), folder));
    const failed = go.length - go.filter((c) => outcomes.get(c.key).ok).length;
    if (failed) toast(t('batch.notChanged', { count: failed }), 'error', 10000);
  }

  /** Undoes the last batch (`which` "undo") or redoes the last undone one ("redo"). */
  async function undoRedo(which) {
    if (!idle()) return;
    const batch = top(st().history, which);
    if (!batch) return;
    const redo = which === 'redo';
    const where = batchFolder(batch);
    const title = redo ? t('batch.redoOf', { title: undoneTitle(batch.title) }) : t('batch.undoOf', { title: batch.title });
    const shown = st().listing.folder;
    if (where !== shown) {
      // the list shows other items: say where the batch goes before it does
      const ok = await ask({
        title: t(redo ? 'batch.redoElsewhere' : 'batch.undoElsewhere'),
        paragraphs: [
          { cls: 'big', text: t('batch.changedIn', { title: batch.title, count: batch.changes.length, folder: where }) },
          { text: shown ? t('batch.listShows', { folder: shown }) : t('batch.noFolderShown') },
        ],
        okText: t(redo ? 'batch.redoIn' : 'batch.undoIn', { folder: baseName(where) }),
      });
      if (!ok || !idle() || top(st().history, which) !== batch) return;
    }
    const changes = batchChanges(batch);
    const outcomes = await run(changes, title, redo ? 'redo' : 'undo', where);
    store.dispatch('historyRan', { which, batch, record: undoRecord(title, changes, outcomes, Date.now(), where) });
    const failed = changes.length - changes.filter((c) => outcomes.get(c.key).ok).length;
    if (failed) toast(t('batch.notRestored', { count: failed }), 'error', 10000);
  }

  return {
    apply,
    undoRecorded: (record) => runRecorded(batchChanges(record), { ...record, kind: 'undo' }),
    finishRecorded: (batch, changes) => runRecorded(changes, { title: batch.title, folder: batch.folder, kind: 'finish' }),
    undo: () => undoRedo('undo'),
    redo: () => undoRedo('redo'),
    cancel: () => store.dispatch('batchCancel'),
    async reveal() {
      const { listing } = st();
      const paths = targetIndexes(st()).map((i) => listing.items[i].path).filter((p) => !isInvalidUtf8(p));
      if (!paths.length) return;
      try { await bridge.reveal(paths.slice(0, 500)); } catch (e) { toast(e.message, 'error', 10000); }
    },
  };
}
