// The journal of batches, as the page uses it: what the start-up repair did,
// the trim to the kept bounds, what Undo and Redo offer, and the History sheet
// (its list, the rows of a batch, undo).

import { batchCounts, finishChanges, recordFromJournal } from '../batch.js';
import { t } from '../i18n/index.js';

const SHOWN = 200;

export function createJournal({ store, bridge, toast, runner }) {
  const st = () => store.state;

  async function start() {
    try {
      const status = await bridge.journalStatus();
      if (status.setAside) toast(status.setAside, 'warning', 15000);
      if (!status.available) toast(t('toast.noJournal', { reason: status.problem }), 'error', 15000);
      const moved = status.repairs.filter((r) => r.moved).length;
      const left = status.repairs.filter((r) => !r.moved);
      if (moved) toast(t('toast.repaired', { count: moved }), 'warning', 15000);
      if (left.length) toast(t('toast.notRepaired', { count: left.length, names: left.slice(0, 3).map((r) => r.found).join(', ') }), 'error', 20000);
      // a batch the last session never finished: what became of its items, and a way to it
      for (const b of status.interrupted ?? []) {
        toast(t('history.cutShort', { title: b.title || t('history.batch'), counts: batchCounts(b) }), 'warning', 60000, null, { label: t('history.showBatch'), run: () => show(b.id) });
      }
      bridge.pruneJournal(st().config.journalBatches, st().config.journalDays).catch(() => {});
      await runner.refreshUndo();
    } catch (e) {
      toast(t('toast.noHistory', { reason: e.message }), 'error');
    }
  }

  async function open() {
    try {
      store.dispatch('historyOpened', (await bridge.listBatches(SHOWN)).batches);
    } catch (e) {
      toast(t('toast.noHistory', { reason: e.message }), 'error');
    }
  }

  /** Opens the History with the batch `id` open. */
  async function show(id) {
    await open();
    if (st().journal.open) await expand(id);
  }

  async function expand(id) {
    if (st().journal.expanded === id) return store.dispatch('historyExpanded', { id: null });
    store.dispatch('historyExpanded', { id, entries: null });
    try {
      const { entries } = await bridge.readBatch(id);
      if (st().journal.expanded === id) store.dispatch('historyExpanded', { id, entries });
    } catch (e) {
      toast(e.message, 'error');
    }
  }

  /** Undoes a batch, or finishes one a crash cut short, from where its items are now. */
  async function act(id, finish) {
    const batch = st().journal.batches.find((b) => b.id === id);
    if (!batch) return;
    let entries;
    try {
      entries = (await bridge.readBatch(id)).entries;
    } catch (e) {
      toast(e.message, 'error');
      return;
    }
    store.dispatch('historyClosed');
    if (finish) await runner.finishRecorded(batch, finishChanges(entries));
    else await runner.undoRecorded(recordFromJournal(batch, entries));
  }

  /** Saves a batch as CSV ("csv") or as a shell script that reverses it ("sh"), where the user says. */
  async function exportBatch(id, format) {
    try {
      const saved = await bridge.exportBatch(id, format);
      if (saved) toast(t('toast.saved', { path: saved.path }));
    } catch (e) {
      toast(e.message, 'error', 10000);
    }
  }

  return { start, open, expand, exportBatch, undo: (id) => act(id, false), finish: (id) => act(id, true), close: () => store.dispatch('historyClosed'), search: (text) => store.dispatch('historySearched', text) };
}
