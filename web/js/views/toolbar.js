// The top strip: the folder as a breadcrumb (or the path field), reload, the
// listing mode, the hidden-items switch, recent folders and Open; and the
// empty state's drop target with the same recent folders.

import { $, h, fill, setAttr, setProp } from '../dom.js';
import { t } from '../i18n/index.js';

const SHOWN_PARTS = 5;

export function createToolbar({ store, intents }) {
  const pathInput = $('path-input');
  let editing = false;
  let recentShown = false;
  // what the breadcrumb and the recent lists were drawn from: a rule's key
  // changes the config, which must not build them again
  let crumbsOf = null;
  let recentOf = null;

  $('open-btn').addEventListener('click', intents.choose);
  $('empty-open').addEventListener('click', intents.choose);
  $('edit-path').addEventListener('click', () => intents.editPath(!store.state.ui.pathInput));
  $('reload-btn').addEventListener('click', intents.reload);
  $('hidden-btn').addEventListener('click', intents.toggleHidden);
  $('recent-btn').addEventListener('click', () => intents.toggleRecent());
  for (const b of $('mode-switch').children) b.addEventListener('click', () => intents.setMode(b.dataset.mode));
  $('path-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const p = pathInput.value.trim();
    intents.editPath(false);
    if (p) intents.open(p.length > 1 ? p.replace(/\/+$/, '') : p);
  });
  pathInput.addEventListener('keydown', (e) => {
    if (e.key === 'Escape') { e.stopPropagation(); intents.editPath(false); }
  });

  function crumbs(state) {
    const { folder, dropped, items } = state.listing;
    if (!folder) return [h('span', { class: 'none', text: t('toolbar.noFolder') })];
    const parts = folder.split('/').filter(Boolean);
    const nodes = [];
    if (parts.length > SHOWN_PARTS) nodes.push(h('span', { class: 'sep', text: '…/' }));
    let path = '';
    parts.forEach((p, k) => {
      path += '/' + p;
      if (k < parts.length - SHOWN_PARTS) return;
      const target = path;
      nodes.push(h('button', { text: p, attrs: { type: 'button', title: t('toolbar.openPath', { path: target }) }, on: { click: () => intents.open(target) } }));
      if (k < parts.length - 1) nodes.push(h('span', { class: 'sep', text: '/', attrs: { 'aria-hidden': 'true' } }));
    });
    if (dropped) nodes.push(h('span', { class: 'sep', text: t('toolbar.dropped', { count: items.length }) }));
    return nodes;
  }

  function recent(state) {
    const list = state.config.recent;
    if (list === recentOf) return;
    recentOf = list;
    const open = (p) => () => { intents.toggleRecent(false); intents.open(p); };
    fill($('recent-menu'), list.length
      ? list.map((p) => h('button', { text: p, attrs: { type: 'button', role: 'menuitem', title: p }, on: { click: open(p) } }))
      : h('div', { class: 'menu-note', text: t('toolbar.noRecent') }));
    fill($('empty-recent'), list.length ? [h('h3', { text: t('page.recentFolders') }), ...list.map((p) => h('button', { text: p, attrs: { type: 'button', title: t('toolbar.openPath', { path: p }) }, on: { click: () => intents.open(p) } }))] : []);
  }

  function render(state) {
    const { config, listing, ui } = state;
    for (const b of $('mode-switch').children) setAttr(b, 'aria-checked', String(b.dataset.mode === config.mode));
    setAttr($('hidden-btn'), 'aria-pressed', String(config.showHidden));
    const { folder, dropped, items } = listing;
    if (!crumbsOf || crumbsOf[0] !== folder || crumbsOf[1] !== dropped || crumbsOf[2] !== items.length) {
      crumbsOf = [folder, dropped, items.length];
      fill($('crumbs'), crumbs(state));
    }
    setProp($('path-form'), 'hidden', !ui.pathInput);
    setProp($('crumbs'), 'hidden', ui.pathInput);
    if (ui.pathInput && !editing) {
      pathInput.value = listing.folder || '';
      pathInput.focus();
      pathInput.select();
    }
    editing = ui.pathInput;
    setProp($('recent-menu'), 'hidden', !ui.recentOpen);
    setAttr($('recent-btn'), 'aria-expanded', String(ui.recentOpen));
    if (ui.recentOpen && !recentShown) $('recent-menu').querySelector('button')?.focus();
    recentShown = ui.recentOpen;
    recent(state);
    setProp($('empty'), 'hidden', Boolean(listing.folder));
    setProp($('grid'), 'hidden', !listing.folder);
  }

  store.subscribe(['config', 'listing', 'ui'], render);
  render(store.state);
}
