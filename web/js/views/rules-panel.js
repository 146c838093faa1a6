// The rules panel: the chain of cards, the menu that adds a rule, the switch
// between renaming all shown items or the selection, and clearing the chain.

import { $, h, setAttr, setProp } from '../dom.js';
import { RULES } from '../rules/index.js';
import { ruleCard, refreshCard, visibleFields } from './rule-card.js';
import { ruleExample, EXAMPLE_ROWS } from '../media.js';
import { foundLine } from '../rules/repair.js';

/** What decides the cards' shape: drawn again only when it changes, so typing keeps its focus. */
const shapeOf = (rules, expanded) => rules.map((r) => `${r.id}:${r.type}:${expanded.has(r.id) ? visibleFields(r).map(([k]) => k).join(',') : '-'}`).join('|');

export function createRulesPanel({ store, intents }) {
  const list = $('rule-list');
  const menu = $('add-rule-menu');
  const addButton = $('add-rule');
  let shape = null;
  let menuShown = false;
  let dragId = null;

  menu.replaceChildren(...RULES.map((def) => h('button', { text: def.label, attrs: { type: 'button', role: 'menuitem' }, on: { click: () => intents.addRule(def.type) } })));
  addButton.addEventListener('click', () => intents.toggleAddMenu());
  menu.addEventListener('keydown', (e) => {
    const buttons = [...menu.querySelectorAll('button')];
    const i = buttons.indexOf(document.activeElement);
    if (e.key === 'ArrowDown') { e.preventDefault(); buttons[(i + 1) % buttons.length].focus(); }
    else if (e.key === 'ArrowUp') { e.preventDefault(); buttons[(i - 1 + buttons.length) % buttons.length].focus(); }
    else if (e.key === 'Escape') { e.preventDefault(); intents.toggleAddMenu(false); addButton.focus(); }
  });
  $('clear-rules').addEventListener('click', intents.clearRules);
  for (const b of document.querySelectorAll('[data-scope]')) b.addEventListener('click', () => intents.setScope(b.dataset.scope));
  const foldersCheck = $('folders-check');
  foldersCheck.addEventListener('change', () => intents.setFolders(foldersCheck.checked));
  // the destination: chosen, typed (an absolute path, taken on Enter or when left) or cleared
  const dest = $('dest-input');
  const takeDest = () => {
    const text = dest.value.trim();
    setAttr(dest, 'aria-invalid', String(text !== '' && !text.startsWith('/')));
    if (text === '' || text.startsWith('/')) intents.setDestination(text || null);
  };
  $('dest-btn').addEventListener('click', intents.chooseDestination);
  $('emptied-check').addEventListener('change', (e) => intents.setRemoveEmptied(e.target.checked));
  $('copy-check').addEventListener('change', (e) => intents.setCopy(e.target.checked));
  $('dest-clear').addEventListener('click', () => intents.setDestination(null));
  const uniqueInput = $('unique-input');
  $('unique-check').addEventListener('change', (e) => intents.setUnique(e.target.checked));
  $('companions-check').addEventListener('change', (e) => intents.setCompanions(e.target.checked));
  $('dup-check').addEventListener('change', (e) => intents.setTagDuplicates(e.target.checked));
  $('portable-check').addEventListener('change', (e) => intents.setPortable(e.target.checked));
  uniqueInput.addEventListener('input', () => intents.setUniquePattern(uniqueInput.value));
  dest.addEventListener('change', takeDest);
  dest.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); takeDest(); } });

  function dragAndDrop(li, rule, index) {
    li.querySelector('.rule-grip').addEventListener('pointerdown', () => { li.draggable = true; });
    li.addEventListener('dragstart', (e) => {
      dragId = rule.id;
      li.classList.add('dragging');
      e.dataTransfer.effectAllowed = 'move';
      e.dataTransfer.setData('text/plain', rule.id);
    });
    li.addEventListener('dragend', () => {
      li.draggable = false;
      dragId = null;
      li.classList.remove('dragging');
      for (const c of list.children) c.classList.remove('drop-before', 'drop-after');
    });
    li.addEventListener('dragover', (e) => {
      if (!dragId || dragId === rule.id) return;
      e.preventDefault();
      const after = e.offsetY > li.offsetHeight / 2;
      li.classList.toggle('drop-after', after);
      li.classList.toggle('drop-before', !after);
    });
    li.addEventListener('dragleave', () => li.classList.remove('drop-before', 'drop-after'));
    li.addEventListener('drop', (e) => {
      if (!dragId) return;
      e.preventDefault();
      const from = store.state.config.rules.findIndex((r) => r.id === dragId);
      let to = index + (li.classList.contains('drop-after') ? 1 : 0);
      if (from < to) to -= 1;
      intents.moveRule(dragId, to);
    });
  }

  function draw(rules, expanded, errors, examples) {
    // the focused field is found again in the new cards
    const active = document.activeElement;
    const card = active && list.contains(active) ? active.closest('.rule')?.dataset.id : null;
    const field = active?.dataset?.field || (active?.classList.contains('rule-summary') ? '$summary' : null);
    list.replaceChildren(...rules.map((rule, index) => {
      const li = ruleCard(rule, { index, count: rules.length, open: expanded.has(rule.id), error: errors[rule.id], example: examples.get(rule.id) }, {
        update: (patch) => intents.updateRule(rule.id, patch),
        toggle: () => intents.toggleExpanded(rule.id),
        move: (to) => intents.moveRule(rule.id, to),
        remove: () => intents.removeRule(rule.id),
      });
      dragAndDrop(li, rule, index);
      return li;
    }));
    if (card) focusRule(card, field, typeof active.selectionStart === 'number' ? [active.selectionStart, active.selectionEnd] : null);
  }

  /**
   * Puts the focus in a card: on `field`, or its first text field (a key
   * typed into a new Template card is the pattern's, not the token menu's),
   * else its first field, or its summary.
   */
  function focusRule(id, field = null, caret = null) {
    if (id === null) { addButton.focus(); return; }
    const li = list.querySelector(`[data-id="${CSS.escape(id)}"]`);
    if (!li) return;
    const first = () => li.querySelector('.rule-body input[type=text], .rule-body textarea') || li.querySelector('.rule-body input, .rule-body select');
    const target = field === '$summary' ? null : field ? li.querySelector(`[data-field="${field}"]`) : first();
    (target || li.querySelector('.rule-summary')).focus();
    if (target && caret) target.setSelectionRange(...caret);
  }

  // the open template cards show what they do to the first item they change;
  // made again only when what they depend on changes, not twice per key (before
  // and after its preview)
  let examples = new Map();
  let examplesOf = [];
  function examplesFor(state) {
    // an example reads the first 200 rows in order: a preview leaves them as they were unless it sorts by the new name
    const inputs = [state.config.rules, state.ui.expanded, state.listing.items, state.view.slice(0, EXAMPLE_ROWS).join(), state.media.version];
    if (inputs.every((x, i) => x === examplesOf[i])) return examples;
    examplesOf = inputs;
    examples = new Map();
    const { rules } = state.config;
    for (const r of rules) {
      if (r.type === 'template' && state.ui.expanded.has(r.id)) examples.set(r.id, ruleExample(rules, r.id, state.listing.items, state.view, state.media.map));
      if (r.type === 'repair' && state.ui.expanded.has(r.id)) examples.set(r.id, foundLine(state.listing.items));
    }
    return examples;
  }

  function render(state) {
    const { rules, scope } = state.config;
    const errors = state.preview.chainErrors;
    const examples = examplesFor(state);
    const next = shapeOf(rules, state.ui.expanded);
    if (next !== shape) {
      shape = next;
      draw(rules, state.ui.expanded, errors, examples);
    } else {
      for (const rule of rules) {
        const li = list.querySelector(`[data-id="${CSS.escape(rule.id)}"]`);
        if (li) refreshCard(li, rule, errors[rule.id], examples.get(rule.id));
      }
    }
    setProp($('rules-empty'), 'hidden', rules.length > 0);
    setProp($('clear-rules'), 'disabled', !rules.length);
    for (const b of document.querySelectorAll('[data-scope]')) setAttr(b, 'aria-checked', String(b.dataset.scope === scope));
    foldersCheck.checked = state.config.folders;
    if (document.activeElement !== dest) {
      dest.value = state.config.destination || '';
      dest.removeAttribute('aria-invalid');
    }
    setProp($('dest-clear'), 'hidden', !state.config.destination);
    $('emptied-check').checked = state.config.removeEmptied;
    $('copy-check').checked = state.config.copy;
    $('unique-check').checked = state.config.unique;
    $('companions-check').checked = state.config.companions;
    $('portable-check').checked = state.config.portable;
    // with the folder options: files bound elsewhere (folders on FAT drives are checked anyway)
    setProp($('portable-row'), 'hidden', !(state.config.portable || state.config.folders || state.config.destination));
    setProp($('companions-hint'), 'hidden', !state.config.companions);
    // offered where they help: a listing with companions, rows that collide
    const found = state.preview.found ?? {};
    setProp($('companions-row'), 'hidden', !(state.config.companions || found.companions));
    setProp($('unique-row'), 'hidden', !(state.config.unique || found.collide));
    if (document.activeElement !== uniqueInput) uniqueInput.value = state.config.uniquePattern;
    setProp(uniqueInput, 'disabled', !state.config.unique);
    $('dup-check').checked = state.config.tagDuplicates;
    setProp($('dup-row'), 'hidden', !state.config.unique);
    // a copy leaves nothing empty; neither matters while items stay in their folders
    setProp($('emptied-check'), 'disabled', state.config.copy);
    setProp($('copy-row'), 'hidden', !(state.config.folders || state.config.destination));
    setProp($('emptied-row'), 'hidden', !(state.config.folders || state.config.destination));
    setProp(menu, 'hidden', !state.ui.addMenuOpen);
    setAttr(addButton, 'aria-expanded', String(state.ui.addMenuOpen));
    if (state.ui.addMenuOpen && !menuShown) menu.querySelector('button').focus();
    menuShown = state.ui.addMenuOpen;
  }

  store.subscribe(['config', 'preview', 'ui'], render);
  render(store.state);
  return { focusRule };
}
