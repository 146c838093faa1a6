// The confirmation sheet and the toasts, drawn from the state.

import { $, h, fill, closeOnEscape } from '../dom.js';
import { visibleName } from '../text.js';
import { lineList } from './line-list.js';

export function createSheet({ store, intents }) {
  const dlg = $('sheet');
  const ok = $('sheet-ok');
  const skip = $('sheet-skip');
  let shown = null;

  $('sheet-cancel').addEventListener('click', () => intents.answerSheet(false));
  $('sheet-form').addEventListener('submit', (e) => { e.preventDefault(); intents.answerSheet(true); });
  dlg.addEventListener('close', () => { if (store.state.sheet) intents.answerSheet(false); });
  closeOnEscape(dlg, () => intents.answerSheet(false));
  skip.addEventListener('change', () => { ok.disabled = !skip.checked; });

  function render(state) {
    const sheet = state.sheet;
    if (sheet === shown) return;
    shown = sheet;
    if (!sheet) {
      // emptied first: closing with the list of a 100,000-item batch inside
      // held the page for 400 ms
      fill($('sheet-content'));
      if (dlg.open) dlg.close();
      return;
    }
    $('sheet-title').textContent = sheet.title;
    fill($('sheet-content'),
      (sheet.paragraphs || []).map((p) => h('p', { class: p.cls || null }, p.text, p.action && h('button', {
        class: 'btn small', text: p.action.label, attrs: { type: 'button' },
        on: { click: () => { intents.answerSheet(false); p.action.run(); } },
      }))),
      sheet.lines?.length ? lineList(sheet.lines.length, (i) => visibleName(sheet.lines[i]), { className: 'samples' }) : null);
    ok.textContent = sheet.okText;
    $('sheet-cancel').hidden = Boolean(sheet.single); // a sheet that only tells
    $('sheet-skip-row').hidden = !sheet.skipText;
    $('sheet-skip-text').textContent = sheet.skipText || '';
    skip.checked = false;
    ok.disabled = Boolean(sheet.skipText);
    if (!dlg.open) dlg.showModal();
    (sheet.skipText ? skip : ok).focus();
  }

  store.subscribe(['sheet'], render);
}

export function createToasts({ store }) {
  const box = $('toasts');
  store.subscribe(['toasts'], (state) => {
    fill(box, state.toasts.map((t) => h('div', { class: `toast ${t.kind}`, attrs: { role: t.kind === 'error' ? 'alert' : 'status' } }, t.text,
      t.action && h('button', { class: 'btn', text: t.action.label, attrs: { type: 'button' }, on: { click: () => { store.dispatch('dismissToast', t.id); t.action.run(); } } }))));
  });
}
