// One card of the rule chain: switch, summary, reorder and remove; opened, the
// fields its rule type declares. Every edit is reported, never written into
// the rule: the card is drawn again from the state.

import { h, setProp } from '../dom.js';
import { shownSpaces } from '../text.js';
import { summarize } from '../rules.js';
import { RULE_BY_TYPE } from '../rules/index.js';
import { exampleText, templateField } from './template-field.js';
import { t } from '../i18n/index.js';

const TARGETS = ['name', 'ext', 'both'].map((v) => [v, t(`card.target.${v}`)]);

/** The fields a rule's card shows now: [key, label, kind, options, showIf]. */
export function visibleFields(rule) {
  const def = RULE_BY_TYPE[rule.type];
  const fields = [...(def?.fields || [])];
  if (def && !def.fixedTarget) fields.push(['target', t('card.appliesTo'), 'select', TARGETS]);
  return fields.filter(([, , , , showIf]) => !showIf || showIf(rule));
}

function field(rule, [key, label, kind, options], update, example) {
  if (key === '$note') return [h('p', { class: 'note', text: label })];
  const id = `f-${rule.id}-${key}`;
  if (kind === 'template') return templateField(rule, key, label, id, example, update);
  if (kind === 'example') return [h('p', { class: 'example wide', text: exampleText(example), attrs: { 'aria-live': 'polite' } })];
  if (kind === 'check') {
    const box = h('input', { type: 'checkbox', id, checked: Boolean(rule[key]), dataset: { field: key }, on: { change: (e) => update({ [key]: e.target.checked }) } });
    return [h('label', { class: 'check', attrs: { for: id } }, box, label)];
  }
  if (kind === 'choice') return choiceField(rule, key, label, id, options, update);
  let input;
  let spaces = null;
  if (kind === 'select') {
    input = h('select', { id, dataset: { field: key }, on: { change: (e) => update({ [key]: e.target.value }) } },
      options.map(([v, t]) => h('option', { value: v, text: t, selected: rule[key] === v })));
  } else if (kind === 'textarea') {
    input = h('textarea', { id, class: 'wide', value: rule[key], spellcheck: false, dataset: { field: key }, on: { input: (e) => update({ [key]: e.target.value }) } });
  } else {
    const number = kind === 'number';
    // a separator of one space would look like an empty field
    if (!number) spaces = h('span', { class: 'spaces', text: shownSpaces(String(rule[key])), attrs: { 'aria-hidden': 'true', title: t('card.spaces') } });
    input = h('input', {
      type: number ? 'number' : 'text', id, value: String(rule[key]), spellcheck: false, autocomplete: 'off', dataset: { field: key },
      on: {
        input: (e) => {
          if (!number) { spaces.textContent = shownSpaces(e.target.value); return update({ [key]: e.target.value }); }
          const n = Number(e.target.value);
          if (e.target.value !== '' && Number.isFinite(n)) update({ [key]: Math.trunc(n) });
        },
      },
    });
  }
  if (spaces) input = h('span', { class: 'field-with-spaces' }, input, spaces);
  return [h('label', { text: label, class: kind === 'textarea' ? 'wide' : null, attrs: { for: id } }), input];
}

/** A choice of `options`, or else a value typed (shown when "these…" is chosen): which matches a rule replaces. */
function choiceField(rule, key, label, id, options, update) {
  const typed = !options.some(([v]) => v === rule[key]);
  const text = h('input', {
    type: 'text', value: typed ? String(rule[key]) : '', spellcheck: false, autocomplete: 'off', dataset: { field: `${key}-list` },
    attrs: { placeholder: t('card.theseExample'), 'aria-label': t('card.theseLabel') }, on: { input: (e) => update({ [key]: e.target.value }) },
  });
  setProp(text, 'hidden', !typed);
  const select = h('select', {
    id, dataset: { field: key },
    on: {
      change: (e) => {
        setProp(text, 'hidden', e.target.value !== '');
        if (!text.hidden) text.focus();
        update({ [key]: e.target.value || text.value || '1' });
      },
    },
  }, [...options, ['', t('card.these')]].map(([v, name]) => h('option', { value: v, text: name, selected: typed ? v === '' : rule[key] === v })));
  return [h('label', { text: label, attrs: { for: id } }), h('span', { class: 'choice' }, select, text)];
}

/**
 * The card of `rule` at `index` of `count`. `on` reports the user's intents:
 * update(patch), toggle(), move(to), remove(), drag handlers.
 */
export function ruleCard(rule, { index, count, open, error, example }, on) {
  const bodyId = `rule-body-${rule.id}`;
  const head = h('div', { class: 'rule-head' },
    h('span', { class: 'rule-grip', text: '⋮⋮', attrs: { 'aria-hidden': 'true', title: t('card.drag') } }),
    h('input', { type: 'checkbox', checked: rule.enabled, attrs: { 'aria-label': t('card.use', { n: index + 1 }), title: t('card.switch') }, on: { change: (e) => on.update({ enabled: e.target.checked }) } }),
    h('button', {
      class: 'rule-summary', text: summarize(rule),
      attrs: { type: 'button', 'aria-expanded': open ? 'true' : 'false', 'aria-controls': bodyId, title: t('card.edit') },
      on: { click: on.toggle },
    }),
    h('div', { class: 'rule-tools' },
      h('button', { class: 'icon-btn', text: '↑', disabled: index === 0, attrs: { type: 'button', 'aria-label': t('card.up'), title: t('card.upTip') }, on: { click: () => on.move(index - 1) } }),
      h('button', { class: 'icon-btn', text: '↓', disabled: index === count - 1, attrs: { type: 'button', 'aria-label': t('card.down'), title: t('card.downTip') }, on: { click: () => on.move(index + 1) } }),
      h('button', { class: 'icon-btn', text: '✕', attrs: { type: 'button', 'aria-label': t('card.remove'), title: t('card.removeTip') }, on: { click: on.remove } })));
  const li = h('li', {
    class: 'rule' + (rule.enabled ? '' : ' off') + (error ? ' has-error' : ''),
    dataset: { id: rule.id },
    attrs: { 'aria-label': t('card.rule', { n: index + 1, type: RULE_BY_TYPE[rule.type]?.label ?? rule.type }) },
  }, head);
  if (open) {
    li.append(h('div', { class: 'rule-body', id: bodyId },
      visibleFields(rule).flatMap((f) => field(rule, f, on.update, example)),
      h('p', { class: 'rule-error', text: error || '', hidden: !error, attrs: { role: 'alert' } })));
  }
  li.addEventListener('keydown', (e) => {
    if (e.target.closest('.rule-body') && e.target.matches('input[type=text], input[type=number], textarea, select')) return;
    if (e.key === 'Delete') { e.preventDefault(); on.remove(); }
    else if (e.altKey && e.key === 'ArrowUp' && index > 0) { e.preventDefault(); on.move(index - 1); }
    else if (e.altKey && e.key === 'ArrowDown' && index < count - 1) { e.preventDefault(); on.move(index + 1); }
  });
  return li;
}

/** Updates a drawn card to `rule` without touching its fields (which hold what the user typed). */
export function refreshCard(li, rule, error, example) {
  // text set again, even the same, is a new node: a click pressed on the old one is lost
  const summary = li.querySelector('.rule-summary');
  setProp(summary, 'textContent', summarize(rule));
  li.classList.toggle('has-error', Boolean(error));
  li.classList.toggle('off', !rule.enabled);
  const shown = li.querySelector('.example');
  if (shown) setProp(shown, 'textContent', exampleText(example));
  const note = li.querySelector('.rule-error');
  if (note) { setProp(note, 'textContent', error || ''); setProp(note, 'hidden', !error); }
}
