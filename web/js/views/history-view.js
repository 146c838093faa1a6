// The History sheet: batches newest first, filtered as the user types; a
// batch opens to its rows and can be undone from there.

import { $, h, fill, fmtDate, fmtInt } from '../dom.js';
import { visibleName } from '../text.js';
import { lineList } from './line-list.js';

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
const STATES = { failed: 'failed', notRun: 'not run (interrupted)', left: 'left under a temporary name (interrupted)', planned: 'not run' };

/** One line of a batch's rows: old → new, the metadata set, and what became of it. */
export function entryLine(e) {
  const to = e.newName !== undefined && e.newName !== baseName(e.path) ? `  →  ${e.newName}` : '';
  const meta = [e.tags && `tags ${e.tags.join(', ') || '(none)'}`, e.label !== undefined && `label ${e.label}`, e.comment !== undefined && 'comment'].filter(Boolean);
  const state = STATES[e.state] ? `  [${STATES[e.state]}${e.error ? `: ${e.error}` : ''}]` : '';
  return `${visibleName(baseName(e.path))}${to}${meta.length ? `  (${meta.join('; ')})` : ''}${state}`;
}

export function createHistoryView({ store, intents }) {
  const dlg = $('history');
  const search = $('history-search');
  const list = $('history-list');
  $('history-close').addEventListener('click', intents.closeHistory);
  dlg.addEventListener('close', () => { if (store.state.journal.open) intents.closeHistory(); });
  search.addEventListener('input', () => intents.searchHistory(search.value));

  function render(state) {
    const j = state.journal;
    if (!j.open) { if (dlg.open) dlg.close(); return; }
    const q = j.query.trim().toLowerCase();
    const shown = q ? j.batches.filter((b) => `${b.title} ${b.folder}`.toLowerCase().includes(q)) : j.batches;
    fill(list, shown.length ? shown.map((b) => {
      const open = j.expanded === b.id;
      const counts = [`${fmtInt(b.done)} done`, b.failed && `${fmtInt(b.failed)} failed`, b.notRun && `${fmtInt(b.notRun)} not run`].filter(Boolean).join(' · ');
      const li = h('li', { class: 'batch' + (open ? ' open' : '') },
        h('button', {
          class: 'batch-head', attrs: { type: 'button', 'aria-expanded': String(open) }, on: { click: () => intents.expandBatch(b.id) },
        }, h('span', { class: 'when', text: fmtDate(b.started) }), h('span', { class: 'title', text: b.title || 'Batch' }),
        h('span', { class: 'folder', text: b.folder, attrs: { title: b.folder } }), h('span', { class: 'counts', text: counts }),
        b.interrupted ? h('span', { class: 'status warning', text: 'interrupted' }) : null));
      if (open) {
        li.append(j.entries ? lineList(j.entries.length, (i) => entryLine(j.entries[i]), { className: 'samples' }) : h('p', { text: 'Reading…' }),
          h('div', { class: 'sheet-actions' },
            h('button', { class: 'btn', text: 'Export CSV…', attrs: { type: 'button', title: 'Old and new paths and the metadata, for a spreadsheet' }, on: { click: () => intents.exportBatch(b.id, 'csv') } }),
            h('button', { class: 'btn', text: 'Export undo script…', attrs: { type: 'button', title: 'A shell script that reverses this batch' }, on: { click: () => intents.exportBatch(b.id, 'sh') } }),
            h('span', { class: 'spacer' }),
            b.interrupted ? h('button', { class: 'btn', text: 'Finish this batch', attrs: { type: 'button', title: 'Give the items the batch did not reach the names it meant' }, on: { click: () => intents.finishBatch(b.id) } }) : null,
            h('button', { class: 'btn', text: b.interrupted ? 'Roll back this batch' : 'Undo this batch', attrs: { type: 'button' }, on: { click: () => intents.undoBatch(b.id) } })));
      }
      return li;
    }) : h('li', { class: 'empty', text: j.batches.length ? 'No batch matches.' : 'No batch has been applied yet.' }));
    if (!dlg.open) { search.value = j.query; dlg.showModal(); search.focus(); }
  }

  store.subscribe(['journal'], render);
}
