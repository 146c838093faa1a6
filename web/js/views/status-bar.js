// The bottom strip: what Apply will do (each count filters the list when
// clicked), the progress of a batch with Cancel, and Reveal, Undo, Redo, Apply.

import { $, h, fill, fmtInt } from '../dom.js';
import { pendingCounts } from '../state.js';
import { batchChanges, batchFolder, countChanges } from '../batch.js';
import { top } from '../history.js';

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
const plural = (n, one) => `${fmtInt(n)} ${one}${n === 1 ? '' : 's'}`;

export function createStatusBar({ store, intents }) {
  $('apply-btn').addEventListener('click', intents.apply);
  $('undo-btn').addEventListener('click', intents.undo);
  $('history-btn').addEventListener('click', intents.openHistory);
  $('redo-btn').addEventListener('click', intents.redo);
  $('reveal-btn').addEventListener('click', intents.reveal);
  $('progress-cancel').addEventListener('click', intents.cancel);

  function summary(state, p) {
    const filter = state.filter.problem;
    const btn = (text, which, cls, title) => h('button', { class: (cls || '') + (filter === which ? ' active' : ''), text, attrs: { type: 'button', title, 'aria-pressed': String(filter === which) }, on: { click: () => intents.toggleProblemFilter(which) } });
    const sep = () => h('span', { class: 'sep', text: '·', attrs: { 'aria-hidden': 'true' } });
    const parts = [];
    const r = state.lastResult;
    if (r) {
      parts.push(h('span', { class: 'result-ok', text: `${r.title}: ${fmtInt(r.ok)} done` }));
      if (r.failed) parts.push(sep(), btn(`${fmtInt(r.failed)} failed`, 'failed', 'n-error', 'Show the items that failed'));
      if (r.unsent) parts.push(sep(), btn(`${fmtInt(r.unsent)} not applied`, 'failed', '', 'Show the items that were not sent (the batch was stopped)'));
      parts.push(h('span', { class: 'sep', text: '  |  ' }));
    }
    parts.push(btn(`${fmtInt(p.renames)} to rename`, 'changed', '', 'Show the items that change'));
    if (p.meta) parts.push(sep(), btn(`${fmtInt(p.meta)} metadata`, 'changed', '', 'Show the items that change'));
    parts.push(sep(), h('span', { text: `${fmtInt(Math.max(0, p.unchanged))} unchanged` }));
    parts.push(sep(), btn(plural(p.errors, 'error'), 'error', p.errors ? 'n-error' : '', 'Show the rows with errors'));
    parts.push(sep(), btn(plural(p.warnings, 'warning'), 'warning', p.warnings ? 'n-warning' : '', 'Show the rows with warnings'));
    if (p.skipped) parts.push(sep(), btn(`${fmtInt(p.skipped)} left out`, 'skip', '', 'Rows whose names are not valid UTF-8'));
    return parts;
  }

  function history(state) {
    const u = top(state.history, 'undo'), r = top(state.history, 'redo');
    const describe = (b) => { const c = countChanges(batchChanges(b)); return `${plural(c.renames, 'name')}${c.meta ? `, metadata of ${fmtInt(c.meta)}` : ''}`; };
    // each button names the folder its batch changed
    const label = (verb, b) => `${verb} ${fmtInt(b.changes.length)} in ${baseName(batchFolder(b))}`;
    const busy = state.batch.busy;
    const ub = $('undo-btn'), rb = $('redo-btn');
    ub.disabled = !u || busy;
    ub.title = u ? `Undo “${u.title}” in ${batchFolder(u)}: restores ${describe(u)} (Ctrl+Z)` : 'Nothing to undo (Ctrl+Z)';
    ub.textContent = u ? label('Undo', u) : 'Undo';
    rb.disabled = !r || busy;
    rb.title = r ? `Redo in ${batchFolder(r)}: changes ${describe(r)} again (Shift+Ctrl+Z)` : 'Nothing to redo (Shift+Ctrl+Z)';
    rb.textContent = r ? label('Redo', r) : 'Redo';
  }

  function render(state) {
    const { batch } = state;
    $('progress').hidden = !batch.busy;
    $('summary').hidden = batch.busy || !state.listing.folder;
    if (batch.busy) {
      const bar = $('progress-bar');
      bar.setAttribute('aria-valuemax', String(batch.total));
      bar.setAttribute('aria-valuenow', String(batch.done));
      $('progress-fill').style.width = `${batch.total ? (100 * batch.done) / batch.total : 100}%`;
      $('progress-text').textContent = `${batch.title}: ${fmtInt(batch.done)} of ${fmtInt(batch.total)} operations`;
    }
    const p = pendingCounts(state);
    const sent = p.sent;
    if (!batch.busy) fill($('summary'), summary(state, p));
    const apply = $('apply-btn');
    apply.disabled = p.renames + p.meta === 0 || batch.busy;
    // when every change has errors the button still opens the confirmation, which says why
    apply.textContent = sent ? `Apply ${fmtInt(sent)} ▸` : 'Apply';
    history(state);
    $('reveal-btn').disabled = state.selection.set.size === 0 && state.selection.focus < 0;
  }

  store.subscribe(['preview', 'edits', 'listing', 'filter', 'lastResult', 'batch', 'history', 'selection'], render);
  render(store.state);
}
