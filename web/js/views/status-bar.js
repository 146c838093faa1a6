// The bottom strip: what Apply will do (each count filters the list when
// clicked), the progress of a batch with Cancel, and Reveal, Undo, Redo, Apply.

import { $, h, fill, fmtSize, setAttr, setProp } from '../dom.js';
import { pendingCounts } from '../state.js';
import { t } from '../i18n/index.js';

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;

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
      parts.push(h('span', { class: 'result-ok', text: t('status.result', { title: r.title, count: r.ok }) }));
      if (r.failed) parts.push(sep(), btn(t('status.failed', { count: r.failed }), 'failed', 'n-error', t('status.failedTip')));
      if (r.unsent) parts.push(sep(), btn(t('status.unsent', { count: r.unsent }), 'failed', '', t('status.unsentTip')));
      parts.push(h('span', { class: 'sep', text: '  |  ' }));
    }
    parts.push(btn(t('status.renames', { count: p.renames }), 'changed', '', t('status.changesTip')));
    if (p.meta) parts.push(sep(), btn(t('status.meta', { count: p.meta }), 'changed', '', t('status.changesTip')));
    parts.push(sep(), h('span', { text: t('status.unchanged', { count: Math.max(0, p.unchanged) }) }));
    parts.push(sep(), btn(t('status.errors', { count: p.errors }), 'error', p.errors ? 'n-error' : '', t('status.errorsTip')));
    parts.push(sep(), btn(t('status.warnings', { count: p.warnings }), 'warning', p.warnings ? 'n-warning' : '', t('status.warningsTip')));
    if (p.skipped) parts.push(sep(), btn(t('status.skipped', { count: p.skipped }), 'skip', '', t('status.skippedTip')));
    return parts;
  }

  function history(state) {
    const { undo: u, redo: r } = state.undoable;
    const describe = (b) => t('status.items', { count: b.done });
    // each button names the folder its batch changed
    const label = (key, b) => t(key, { count: b.done, folder: baseName(b.folder) });
    const busy = state.batch.busy || state.arriving > 0;
    const ub = $('undo-btn'), rb = $('redo-btn');
    setProp(ub, 'disabled', !u || busy);
    setProp(ub, 'title', u ? t('status.undoTip', { title: u.title, folder: u.folder, what: describe(u) }) : t('status.nothingToUndo'));
    setProp(ub, 'textContent', u ? label('status.undoLabel', u) : t('status.undo'));
    setProp(rb, 'disabled', !r || busy);
    setProp(rb, 'title', r ? t('status.redoTip', { folder: r.folder, what: describe(r) }) : t('status.nothingToRedo'));
    setProp(rb, 'textContent', r ? label('status.redoLabel', r) : t('status.redo'));
  }

  // The strip is drawn again after every key of a rule: only what changed is
  // written, so that the rest is neither laid out nor painted again.
  let summaryKey = null;

  function render(state) {
    const { batch } = state;
    setProp($('progress'), 'hidden', !batch.busy);
    setProp($('summary'), 'hidden', batch.busy || !state.listing.folder);
    if (batch.busy) {
      const bar = $('progress-bar');
      // copies go by their bytes: one large video is most of the time
      const [now, all] = batch.bytesTotal ? [Math.min(batch.bytes, batch.bytesTotal), batch.bytesTotal] : [batch.done, batch.total];
      setAttr(bar, 'aria-valuemax', String(all));
      setAttr(bar, 'aria-valuenow', String(now));
      $('progress-fill').style.width = `${all ? (100 * now) / all : 100}%`;
      const counts = { title: batch.title, done: batch.done, count: batch.total, size: fmtSize(batch.bytes), total: fmtSize(batch.bytesTotal) };
      $('progress-text').textContent = t(!batch.bytes ? 'status.progress' : batch.bytesTotal ? 'status.progressOfBytes' : 'status.progressBytes', counts);
    }
    const p = pendingCounts(state);
    const sent = p.sent;
    const r = state.lastResult;
    const key = [r?.title, r?.ok, r?.failed, r?.unsent, p.renames, p.meta, p.unchanged, p.errors, p.warnings, p.skipped, state.filter.problem].join('\0');
    if (!batch.busy && key !== summaryKey) fill($('summary'), summary(state, p));
    summaryKey = batch.busy ? null : key;
    const apply = $('apply-btn');
    setProp(apply, 'disabled', p.renames + p.meta === 0 || batch.busy || state.arriving > 0);
    // when every change has errors the button still opens the confirmation, which says why
    setProp(apply, 'textContent', sent ? t('status.applyN', { count: sent }) : t('page.apply'));
    history(state);
    setProp($('reveal-btn'), 'disabled', state.selection.set.size === 0 && state.selection.focus < 0);
  }

  // `arriving` starts and ends with a new listing, so 'listing' covers it
  store.subscribe(['preview', 'edits', 'listing', 'filter', 'lastResult', 'batch', 'undoable', 'selection'], render);
  render(store.state);
}
