// The History sheet: batches newest first, filtered as the user types; a
// batch opens to its rows and can be undone from there.

import { $, h, fill, fmtDate, closeOnEscape } from '../dom.js';
import { visibleName } from '../text.js';
import { batchCounts } from '../batch.js';
import { lineList } from './line-list.js';
import { t } from '../i18n/index.js';

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
const STATES = { failed: t('history.failed'), notRun: t('history.notRun'), left: t('history.left'), planned: t('history.planned') };

/** One line of a batch's rows: old → new, the metadata set, and what became of it. */
export function entryLine(e) {
  const to = e.newName !== undefined && e.newName !== baseName(e.path) ? `  →  ${e.newName}` : '';
  const meta = [e.tags && t('history.tags', { tags: e.tags.join(', ') || t('history.noTags') }), e.label !== undefined && t('history.label', { label: String(e.label) }), e.comment !== undefined && t('history.comment')].filter(Boolean);
  const state = STATES[e.state] ? `  [${STATES[e.state]}${e.error ? `: ${e.error}` : ''}]` : '';
  return `${visibleName(baseName(e.path))}${to}${meta.length ? `  (${meta.join('; ')})` : ''}${state}`;
}

export function createHistoryView({ store, intents }) {
  const dlg = $('history');
  const search = $('history-search');
  const list = $('history-list');
  $('history-close').addEventListener('click', intents.closeHistory);
  dlg.addEventListener('close', () => { if (store.state.journal.open) intents.closeHistory(); });
  closeOnEscape(dlg, intents.closeHistory);
  search.addEventListener('input', () => intents.searchHistory(search.value));

  function render(state) {
    const j = state.journal;
    if (!j.open) { if (dlg.open) dlg.close(); return; }
    const q = j.query.trim().toLowerCase();
    const shown = q ? j.batches.filter((b) => `${b.title} ${b.folder}`.toLowerCase().includes(q)) : j.batches;
    fill(list, shown.length ? shown.map((b) => {
      const open = j.expanded === b.id;
      const counts = batchCounts(b);
      const li = h('li', { class: 'batch' + (open ? ' open' : '') },
        h('button', {
          class: 'batch-head', attrs: { type: 'button', 'aria-expanded': String(open) }, on: { click: () => intents.expandBatch(b.id) },
        }, h('span', { class: 'when', text: fmtDate(b.started) }), h('span', { class: 'title', text: b.title || t('history.batch') }),
        h('span', { class: 'folder', text: b.folder, attrs: { title: b.folder } }), h('span', { class: 'counts', text: counts }),
        b.interrupted ? h('span', { class: 'status warning', text: t('history.interrupted') }) : null));
      if (open) {
        li.append(j.entries ? lineList(j.entries.length, (i) => entryLine(j.entries[i]), { className: 'samples' }) : h('p', { text: t('history.reading') }),
          h('div', { class: 'sheet-actions' },
            h('button', { class: 'btn', text: t('history.csv'), attrs: { type: 'button', title: t('history.csvTip') }, on: { click: () => intents.exportBatch(b.id, 'csv') } }),
            h('button', { class: 'btn', text: t('history.script'), attrs: { type: 'button', title: t('history.scriptTip') }, on: { click: () => intents.exportBatch(b.id, 'sh') } }),
            h('span', { class: 'spacer' }),
            b.interrupted ? h('button', { class: 'btn', text: t('history.finish'), attrs: { type: 'button', title: t('history.finishTip') }, on: { click: () => intents.finishBatch(b.id) } }) : null,
            h('button', { class: 'btn', text: t(b.interrupted ? 'history.rollBack' : 'history.undo'), attrs: { type: 'button' }, on: { click: () => intents.undoBatch(b.id) } })));
      }
      return li;
    }) : h('li', { class: 'empty', text: t(j.batches.length ? 'history.noMatch' : 'history.none') }));
    if (!dlg.open) { search.value = j.query; dlg.showModal(); search.focus(); }
  }

  store.subscribe(['journal'], render);
}
