// The rule chain editor: one card per rule with its switch, summary, editor,
// reorder and remove. Edits go to the controller through `onChange`; typing
// updates the card in place so the focus stays where it is.

import { h } from './dom.js';
import { RULE_TYPES, summarize } from './rules.js';
import { RULE_BY_TYPE } from './rules/index.js';

const TARGET_OPTIONS = [['name', 'name'], ['ext', 'extension'], ['both', 'whole name']];

export class RulesView {
  /** `controller` provides rules(), errors(), onChange(rule), move(id, toIndex), remove(id), toggle(id). */
  constructor({ list, empty, menu, addButton, controller }) {
    Object.assign(this, { list, empty, menu, addButton, controller });
    this.expanded = new Set();
    this.dragId = null;
    this.buildMenu();
  }

  buildMenu() {
    const items = Object.entries(RULE_TYPES).map(([type, def]) =>
      h('button', { text: def.label, attrs: { type: 'button', role: 'menuitem' }, on: { click: () => { this.closeMenu(); this.controller.add(type); } } }));
    this.menu.replaceChildren(...items);
    this.addButton.addEventListener('click', () => (this.menu.hidden ? this.openMenu() : this.closeMenu()));
    this.menu.addEventListener('keydown', (e) => {
      const buttons = [...this.menu.querySelectorAll('button')];
      const i = buttons.indexOf(document.activeElement);
      if (e.key === 'ArrowDown') { e.preventDefault(); buttons[(i + 1) % buttons.length].focus(); }
      else if (e.key === 'ArrowUp') { e.preventDefault(); buttons[(i - 1 + buttons.length) % buttons.length].focus(); }
      else if (e.key === 'Escape') { e.preventDefault(); this.closeMenu(); this.addButton.focus(); }
    });
  }

  openMenu() {
    this.menu.hidden = false;
    this.addButton.setAttribute('aria-expanded', 'true');
    this.menu.querySelector('button').focus();
  }

  closeMenu() {
    this.menu.hidden = true;
    this.addButton.setAttribute('aria-expanded', 'false');
  }

  /** Full redraw: after adding, removing, moving or loading rules. */
  render(focusId = null, focusField = null) {
    const rules = this.controller.rules();
    const errors = this.controller.errors();
    this.empty.hidden = rules.length > 0;
    this.list.replaceChildren(...rules.map((r, i) => this.card(r, i, rules.length, errors[r.id])));
    if (focusId) {
      const card = this.list.querySelector(`[data-id="${focusId}"]`);
      const target = focusField ? card?.querySelector(`[data-field="${focusField}"]`) : card?.querySelector('.rule-body input, .rule-body select, .rule-body textarea');
      (target || card?.querySelector('.rule-summary'))?.focus();
    }
  }

  /** Updates summaries and error notes in place (after typing). */
  refresh() {
    const errors = this.controller.errors();
    for (const rule of this.controller.rules()) {
      const card = this.list.querySelector(`[data-id="${rule.id}"]`);
      if (!card) continue;
      card.querySelector('.rule-summary').textContent = summarize(rule);
      card.classList.toggle('has-error', Boolean(errors[rule.id]));
      card.classList.toggle('off', !rule.enabled);
      const note = card.querySelector('.rule-error');
      if (note) { note.textContent = errors[rule.id] || ''; note.hidden = !errors[rule.id]; }
    }
  }

  card(rule, index, count, error) {
    const open = this.expanded.has(rule.id);
    const bodyId = `rule-body-${rule.id}`;
    const sw = h('input', { type: 'checkbox', checked: rule.enabled, attrs: { 'aria-label': `Use rule ${index + 1}`, title: 'Switch this rule on or off' } });
    sw.addEventListener('change', () => { rule.enabled = sw.checked; this.controller.onChange(rule); });
    const summary = h('button', {
      class: 'rule-summary',
      text: summarize(rule),
      attrs: { type: 'button', 'aria-expanded': open ? 'true' : 'false', 'aria-controls': bodyId, title: 'Edit this rule (Delete removes it)' },
      on: { click: () => { if (open) this.expanded.delete(rule.id); else this.expanded.add(rule.id); this.render(rule.id); } },
    });
    const tools = h('div', { class: 'rule-tools' },
      h('button', { class: 'icon-btn', text: '↑', disabled: index === 0, attrs: { type: 'button', 'aria-label': 'Move up', title: 'Move up (Alt+↑)' }, on: { click: () => this.controller.move(rule.id, index - 1) } }),
      h('button', { class: 'icon-btn', text: '↓', disabled: index === count - 1, attrs: { type: 'button', 'aria-label': 'Move down', title: 'Move down (Alt+↓)' }, on: { click: () => this.controller.move(rule.id, index + 1) } }),
      h('button', { class: 'icon-btn', text: '✕', attrs: { type: 'button', 'aria-label': 'Remove rule', title: 'Remove (Delete)' }, on: { click: () => this.controller.remove(rule.id) } }));
    const grip = h('span', { class: 'rule-grip', text: '⋮⋮', attrs: { 'aria-hidden': 'true', title: 'Drag to reorder' } });
    const li = h('li', {
      class: 'rule' + (rule.enabled ? '' : ' off') + (error ? ' has-error' : ''),
      dataset: { id: rule.id },
      attrs: { 'aria-label': `Rule ${index + 1}: ${RULE_TYPES[rule.type].label}` },
    }, h('div', { class: 'rule-head' }, grip, sw, summary, tools));
    if (open) li.append(this.body(rule, bodyId, error));
    this.dragAndDrop(li, grip, rule, index);
    li.addEventListener('keydown', (e) => {
      if (e.target.closest('.rule-body') && e.target.matches('input[type=text], input[type=number], textarea, select')) return;
      if (e.key === 'Delete') { e.preventDefault(); this.controller.remove(rule.id); }
      else if (e.altKey && e.key === 'ArrowUp' && index > 0) { e.preventDefault(); this.controller.move(rule.id, index - 1); }
      else if (e.altKey && e.key === 'ArrowDown' && index < count - 1) { e.preventDefault(); this.controller.move(rule.id, index + 1); }
    });
    return li;
  }

  body(rule, id, error) {
    const body = h('div', { class: 'rule-body', id });
    const fields = [...(RULE_BY_TYPE[rule.type]?.fields || [])];
    if (!RULE_TYPES[rule.type].fixedTarget) fields.push(['target', 'Applies to', 'select', TARGET_OPTIONS]);
    for (const [key, label, kind, options, showIf] of fields) {
      if (key === '$note') { body.append(h('p', { class: 'note', text: label })); continue; }
      if (showIf && !showIf(rule)) continue;
      const fid = `f-${rule.id}-${key}`;
      let input;
      if (kind === 'check') {
        input = h('input', { type: 'checkbox', id: fid, checked: Boolean(rule[key]), dataset: { field: key } });
        input.addEventListener('change', () => { rule[key] = input.checked; this.changed(rule, key, showIf || kind); });
        body.append(h('label', { class: 'check', attrs: { for: fid } }, input, label));
        continue;
      }
      if (kind === 'select') {
        input = h('select', { id: fid, dataset: { field: key } }, options.map(([v, t]) => h('option', { value: v, text: t, selected: rule[key] === v })));
        input.addEventListener('change', () => { rule[key] = input.value; this.changed(rule, key, 'structure'); });
      } else if (kind === 'textarea') {
        input = h('textarea', { id: fid, value: rule[key], spellcheck: false, dataset: { field: key } });
        input.addEventListener('input', () => { rule[key] = input.value; this.changed(rule, key); });
      } else {
        input = h('input', { type: kind === 'number' ? 'number' : 'text', id: fid, value: String(rule[key]), spellcheck: false, autocomplete: 'off', dataset: { field: key } });
        input.addEventListener('input', () => {
          if (kind === 'number') { const n = Number(input.value); if (input.value === '' || !Number.isFinite(n)) return; rule[key] = Math.trunc(n); }
          else rule[key] = input.value;
          this.changed(rule, key);
        });
      }
      const l = h('label', { text: label, attrs: { for: fid } });
      if (kind === 'textarea') { l.classList.add('wide'); input.classList.add('wide'); }
      body.append(l, input);
    }
    body.append(h('p', { class: 'rule-error', text: error || '', hidden: !error, attrs: { role: 'alert' } }));
    return body;
  }

  changed(rule, key, how) {
    this.controller.onChange(rule);
    // fields that show or hide others need the card redrawn
    if (how === 'structure' || typeof how === 'function' || key === 'replace') this.render(rule.id, key);
  }

  dragAndDrop(li, grip, rule, index) {
    grip.addEventListener('pointerdown', () => { li.draggable = true; });
    li.addEventListener('dragstart', (e) => {
      this.dragId = rule.id;
      li.classList.add('dragging');
      e.dataTransfer.effectAllowed = 'move';
      e.dataTransfer.setData('text/plain', rule.id);
    });
    li.addEventListener('dragend', () => {
      li.draggable = false;
      this.dragId = null;
      li.classList.remove('dragging');
      for (const c of this.list.children) c.classList.remove('drop-before', 'drop-after');
    });
    li.addEventListener('dragover', (e) => {
      if (!this.dragId || this.dragId === rule.id) return;
      e.preventDefault();
      const after = e.offsetY > li.offsetHeight / 2;
      li.classList.toggle('drop-after', after);
      li.classList.toggle('drop-before', !after);
    });
    li.addEventListener('dragleave', () => li.classList.remove('drop-before', 'drop-after'));
    li.addEventListener('drop', (e) => {
      if (!this.dragId) return;
      e.preventDefault();
      const rules = this.controller.rules();
      const from = rules.findIndex((r) => r.id === this.dragId);
      let to = index + (li.classList.contains('drop-after') ? 1 : 0);
      if (from < to) to -= 1;
      this.controller.move(this.dragId, to);
    });
  }
}
