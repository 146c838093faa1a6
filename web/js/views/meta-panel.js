// The metadata panel: the tags, label and comment of the selection, and the
// edits the user makes to them (pending until applied).

import { $, h, fill, setAttr, setProp } from '../dom.js';
import { COLOR_LABELS } from '../protocol.js';
import { effective, parseTags } from '../edits.js';
import { editingTemplate, focusedItem } from '../state.js';
import { mediaLines, tokenOf } from '../media.js';
import { t } from '../i18n/index.js';

const CHIPS = 40;

export function createMetaPanel({ store, intents }) {
  const tagInput = $('tag-input');
  const comment = $('comment-input');

  function addTags(replace) {
    const tags = parseTags(tagInput.value);
    if (!tags.length && !replace) return;
    if (intents.setTags(tags, replace)) tagInput.value = '';
  }

  fill($('meta-label'), COLOR_LABELS.map((_, i) => h('button', {
    class: `swatch ${i ? `lc-${i}` : 'none'}`,
    text: i ? '' : '∅',
    dataset: { label: String(i) },
    attrs: { type: 'button', role: 'radio', 'aria-checked': 'false', 'aria-label': i ? t('meta.labelName', { name: t(`colour.${i}`) }) : t('meta.noLabel'), title: i ? t('meta.labelTip', { name: t(`colour.${i}`) }) : t('meta.noLabel') },
    on: { click: () => intents.editMeta(() => ({ label: i })) },
  })));
  $('tag-add-btn').addEventListener('click', () => addTags(false));
  $('tag-replace-btn').addEventListener('click', () => addTags(true));
  tagInput.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); addTags(e.shiftKey); } });
  $('comment-set').addEventListener('click', () => intents.editMeta(() => ({ comment: comment.value })));
  $('comment-clear').addEventListener('click', () => { comment.value = ''; intents.editMeta(() => ({ comment: '' })); });
  comment.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' && e.ctrlKey) { e.preventDefault(); e.stopPropagation(); intents.editMeta(() => ({ comment: comment.value })); }
  });
  $('meta-revert').addEventListener('click', intents.revertEdits);

  function render(state) {
    const { items } = state.listing;
    const sel = [...state.selection.set];
    const n = sel.length;
    setProp($('meta-count'), 'textContent', n ? t('meta.selected', { count: n }) : t('meta.selectItems'));
    // with nothing selected the controls are off, and say so to assistive technology
    $('meta-panel').classList.toggle('dim', n === 0);
    for (const control of $('meta-panel').querySelectorAll('.tag-add > *, #meta-label button, textarea, .row-actions button')) control.disabled = n === 0;
    const now = sel.map((i) => effective(state.edits, items[i]));
    const counts = new Map();
    for (const e of now) for (const tag of e.tags) counts.set(tag, (counts.get(tag) || 0) + 1);
    fill($('meta-tags'), [...counts].sort((a, b) => b[1] - a[1]).slice(0, CHIPS).map(([tag, c]) => {
      const pending = sel.some((i, k) => now[k].tags.includes(tag) && !items[i].tags.includes(tag));
      return h('span', { class: 'chip' + (pending ? ' pending' : ''), attrs: { role: 'listitem' } },
        h('span', { class: 'chip-text', text: tag }),
        c < n ? h('span', { class: 'chip-count', text: `${c}/${n}` }) : null,
        h('button', { text: '×', attrs: { type: 'button', 'aria-label': t('meta.removeTag', { tag }), title: t('meta.removeTagTip') }, on: { click: () => intents.editMeta((cur) => ({ tags: cur.tags.filter((x) => x !== tag) })) } }));
    }));
    const labels = new Set(now.map((e) => e.label));
    const current = labels.size === 1 ? [...labels][0] : -1;
    for (const b of $('meta-label').children) setAttr(b, 'aria-checked', String(Number(b.dataset.label) === current));
    const comments = new Set(now.map((e) => e.comment));
    if (document.activeElement !== comment) {
      comment.value = comments.size === 1 ? [...comments][0] : '';
      comment.placeholder = comments.size > 1 ? t('meta.severalComments') : t('page.commentPlaceholder');
    }
  }

  /** A value, with "+" to put `token` into the open template when there is one. */
  const valueWith = (text, token) => h('dd', { attrs: { title: text } }, h('span', { text }),
    token ? h('button', { class: 'icon-btn token', text: '+', attrs: { type: 'button', 'aria-label': t('meta.insert', { token }), title: t('meta.insertTip', { token }) }, on: { click: () => intents.insertToken(token) } }) : null);

  // Every field of the focused file, by its key, found by a search of keys
  // and values: each gives its {meta:…} token to the open template.
  const MOST = 300;
  const search = $('all-fields-search');
  $('all-fields').addEventListener('toggle', () => intents.showAllFields($('all-fields').open));
  search.addEventListener('input', () => renderAll(store.state, true));
  let shownAll = null;
  function renderAll(state, force = false) {
    const item = focusedItem(state);
    const tags = state.ui.allFields && item ? state.media.map.get(item.path)?.tags : undefined;
    const template = editingTemplate(state);
    if (!force && shownAll && shownAll[0] === tags && shownAll[1] === template) return;
    shownAll = [tags, template];
    const q = search.value.trim().toLowerCase();
    const found = Object.entries(tags || {}).filter(([k, v]) => !q || k.toLowerCase().includes(q) || v.toLowerCase().includes(q));
    fill($('all-fields-list'), found.slice(0, MOST).flatMap(([key, text]) => [
      h('dt', { text: key, attrs: { title: key } }), valueWith(text, template && `{meta:${key}}`)]));
  }

  // What is inside the focused file: its date taken, camera, song or pages.
  let shownMedia = null;
  function renderMedia(state) {
    const item = focusedItem(state);
    const fields = item ? state.media.map.get(item.path) : undefined;
    // with a template card open, each value's token can go into its pattern
    const template = editingTemplate(state);
    // drawn again only when what it shows changes: a button must outlive the click on it
    if (shownMedia && shownMedia[0] === fields && shownMedia[1] === template) return;
    shownMedia = [fields, template];
    const lines = mediaLines(fields);
    setProp($('media-field'), 'hidden', lines.length === 0);
    fill($('meta-media'), lines.flatMap(([label, text]) => [h('dt', { text: label }), valueWith(text, template && tokenOf(label))]));
  }

  store.subscribe(['selection', 'edits', 'listing'], render);
  store.subscribe(['selection', 'view', 'listing', 'media', 'config', 'ui'], renderMedia);
  store.subscribe(['selection', 'view', 'listing', 'media', 'config', 'ui'], renderAll);
  render(store.state);
}
