// The pattern field of a template card: the text, a menu that inserts a token
// at the cursor, what the rule makes of the first item it changes, and a
// short reference of the tokens and modifiers.

import { h } from '../dom.js';

const MENU = [
  ['Name', ['{name}', '{ext}', '{full}', '{parent}', '{parent:2}']],
  ['Counter', ['{n}', '{n:3}', '{n:auto}', '{n:roman}', '{n:alpha}', '{n:hex}']],
  ['Dates', ['{taken:YYYY-MM-DD}', '{taken:YYYY-MM-DD hh.mm.ss}', '{modified:YYYY-MM-DD}', '{created:YYYY-MM-DD}', '{now:YYYY-MM-DD}', '{modified:D MMMM YYYY}']],
  ['Photo and video', ['{make}', '{model}', '{lens}', '{iso}', '{fNumber}', '{exposure}', '{focalLength}', '{width}', '{height}', '{duration}']],
  ['Music', ['{artist}', '{albumArtist}', '{album}', '{title}', '{track:2}', '{trackTotal}', '{disc}', '{year}', '{genre}']],
  ['Document', ['{title}', '{author}', '{pages}']],
  ['Item', ['{tags}', '{label}', '{comment}', '{hash:sha256:8}', '{hash:md5}']],
  ['Match groups', ['{1}', '{2}', '{<name>}']],
];
const MODIFIERS = ['|upper', '|lower', '|title', '|sentence', '|trim', '|ascii', '|slug', '|first:3', '|last:3', '|default:unknown'];

const REFERENCE = [
  'Tokens in braces are filled in for each item; {{ and }} are braces.',
  'Dates take a format: YYYY YY MM M MMM MMMM DD D ddd dddd hh mm ss SSS, [text] as it is; YYYY-MM-DD when none is given.',
  'Numbers take a width: {track:2} gives 07. {n} counts from the rule’s start by its step, in list order: {n:3}, {n:auto}, {n:roman}, {n:ROMAN}, {n:alpha}, {n:ALPHA}, {n:hex}.',
  'Modifiers apply left to right: |upper |lower |title |sentence |trim |ascii |slug |first:N |last:N |default:text. Write \\| and \\} inside a format or argument.',
  'A value an item lacks is left empty and its row warns, unless |default: gives one.',
];

// The pattern field a token from elsewhere (the metadata panel) goes into:
// the one last used, else the first on the page.
const inserters = new WeakMap();
let lastUsed = null;

/** Inserts `token` into a template card's pattern; false when no template card is open. */
export function insertIntoTemplate(token) {
  const field = lastUsed?.isConnected ? lastUsed : document.querySelector('.rule input.pattern');
  if (!field) return false;
  inserters.get(field)(token);
  return true;
}

/** Text of the example line under the pattern. */
export const exampleText = (example) => (example ? `${example.from} → ${example.to}` : 'No listed item is changed by this rule yet.');

/** [label, field, example, reference] of the pattern of `rule`; `update(patch)` reports each edit. */
export function templateField(rule, key, label, id, example, update) {
  // where the cursor was last: a token goes there, or at the end of a field not yet edited
  let caret = null;
  const keep = () => { caret = [input.selectionStart, input.selectionEnd]; };
  const input = h('input', {
    type: 'text', id, class: 'pattern wide', value: String(rule[key]), spellcheck: false, autocomplete: 'off', dataset: { field: key },
    on: { input: (e) => { keep(); update({ [key]: e.target.value }); }, keyup: keep, mouseup: keep, focus: () => { lastUsed = input; } },
  });
  const insert = (text) => {
    const [from, to] = caret || [input.value.length, input.value.length];
    // a modifier goes inside the token the cursor is at the end of
    const at = text.startsWith('|') && input.value[to - 1] === '}' && from === to ? to - 1 : from;
    input.value = input.value.slice(0, at) + text + input.value.slice(at === from ? to : at);
    input.focus();
    const end = at + text.length + (at === from ? 0 : 1); // after the token's "}" again
    input.setSelectionRange(end, end);
    keep();
    update({ [key]: input.value });
  };
  inserters.set(input, (text) => insert(text));
  const menu = h('select', {
    class: 'token-menu', attrs: { 'aria-label': 'Insert a token', title: 'Insert a token at the cursor' },
    on: { change: (e) => { if (e.target.value) insert(e.target.value); e.target.value = ''; } },
  },
  h('option', { value: '', text: 'Insert…' }),
  [...MENU, ['Modifiers', MODIFIERS]].map(([group, tokens]) => h('optgroup', { label: group }, tokens.map((t) => h('option', { value: t, text: t })))));
  return [
    h('div', { class: 'template-head wide' }, h('label', { text: label, attrs: { for: id } }), menu),
    input,
    h('p', { class: 'example', text: exampleText(example), attrs: { 'aria-live': 'polite' } }),
    h('details', { class: 'reference' }, h('summary', { text: 'Tokens and modifiers' }), REFERENCE.map((t) => h('p', { text: t }))),
  ];
}
