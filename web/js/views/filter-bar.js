// The filter bar: text (plain, glob or regex), extension, tag, label and
// problem filters, and the count of what is shown.

import { $, h, fill, fmtInt, setProp } from '../dom.js';
import { facetsOf } from '../filter.js';
import { COLOR_LABELS } from '../protocol.js';
import { t } from '../i18n/index.js';

const LARGE = 20000;

export function createFilterBar({ store, intents }) {
  const input = $('filter-input');
  const exclude = $('filter-exclude');
  let timer = 0;
  let optionsFor = null; // the items the choices were made from

  // the text to show and the text to leave out: typed the same way
  for (const [field, key] of [[input, 'text'], [exclude, 'exclude']]) {
    field.addEventListener('input', () => {
      clearTimeout(timer);
      // large listings wait for a pause in the typing
      const text = field.value;
      timer = setTimeout(() => intents.setFilter({ [key]: text }), store.state.listing.items.length > LARGE ? 120 : 0);
    });
    field.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && field.value) { e.stopPropagation(); field.value = ''; intents.setFilter({ [key]: '' }); }
      if (e.key === 'ArrowDown' || e.key === 'Enter') { e.preventDefault(); intents.focusList(); }
    });
  }
  $('filter-mode').addEventListener('change', () => intents.setFilterMode($('filter-mode').value));
  $('filter-ext').addEventListener('change', () => { const v = $('filter-ext').value; intents.setFilter({ ext: v === '*' ? null : v }); });
  $('filter-tag').addEventListener('change', () => intents.setFilter({ tag: $('filter-tag').value }));
  $('filter-label').addEventListener('change', () => intents.setFilter({ label: Number($('filter-label').value) }));
  $('filter-problem').addEventListener('change', () => intents.setFilter({ problem: $('filter-problem').value }));

  // the choices come from the listing: built again only when it changes
  function options(items) {
    const facets = facetsOf(items);
    fill($('filter-ext'), h('option', { value: '*', text: t('filter.anyExt') }), facets.extensionCounts().slice(0, 200).map(([e, n]) => h('option', { value: e, text: `${e === '' ? t('filter.noExt') : '.' + e} · ${fmtInt(n)}` })));
    const sorted = facets.tagCounts();
    fill($('filter-tag'), h('option', { value: '', text: t('filter.anyTag') }), sorted.slice(0, 300).map(([tag, n]) => h('option', { value: tag, text: `${tag} · ${fmtInt(n)}` })));
    fill($('tag-suggestions'), sorted.slice(0, 500).map(([tag]) => h('option', { value: tag })));
    fill($('filter-label'), h('option', { value: '-1', text: t('filter.anyLabel') }), COLOR_LABELS.map((n, i) => h('option', { value: String(i), text: i ? t(`colour.${i}`) : t('filter.noLabel') })));
  }

  function render(state) {
    const { listing, filter, preview, view } = state;
    if (optionsFor !== listing.items) {
      options(listing.items);
      optionsFor = listing.items;
    }
    $('filter-mode').value = filter.mode;
    $('filter-ext').value = filter.ext === null ? '*' : filter.ext;
    $('filter-tag').value = filter.tag;
    $('filter-label').value = String(filter.label);
    $('filter-problem').value = filter.problem;
    if (document.activeElement !== input && input.value !== filter.text) input.value = filter.text;
    if (document.activeElement !== exclude && exclude.value !== filter.exclude) exclude.value = filter.exclude;
    setProp($('filter-error'), 'textContent', preview.filterError ? t('filter.error', { reason: preview.filterError }) : '');
    const n = listing.items.length, v = view.length;
    // the selection is counted where it is edited, in the metadata panel
    const count = state.arriving ? t('filter.arriving', { count: state.arriving })
      : !n ? '' : v === n ? t('filter.items', { count: n }) : t('filter.itemsOf', { shown: v, count: n });
    setProp($('count'), 'textContent', count);
    setProp($('count'), 'title', count);
  }

  store.subscribe(['listing', 'arriving', 'filter', 'preview', 'view'], render);
  render(store.state);
  return { focus() { input.focus(); input.select(); } };
}
