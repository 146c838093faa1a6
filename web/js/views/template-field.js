// The pattern field of a template card: the text, a menu that inserts a token
// at the cursor, what the rule makes of the first item it changes, and a
// short reference of the tokens and modifiers.

import { h } from '../dom.js';
import { t } from '../i18n/index.js';
import { visibleName } from '../text.js';

const MENU = [
  [t('tpl.group.name'), ['{name}', '{ext}', '{full}', '{parent}', '{parent:2}']],
  [t('tpl.group.counter'), ['{n}', '{n:3}', '{n:auto}', '{n:roman}', '{n:alpha}', '{n:hex}']],
  [t('tpl.group.dates'), ['{taken:YYYY-MM-DD}', '{taken:YYYY-MM-DD hh.mm.ss}', '{modified:YYYY-MM-DD}', '{created:YYYY-MM-DD}', '{now:YYYY-MM-DD}', '{modified:D MMMM YYYY}', '{modified:X}', '{gpsTime:YYYY-MM-DD hh.mm}']],
  [t('tpl.group.photo'), ['{make}', '{model}', '{lens}', '{iso}', '{fNumber}', '{exposure}', '{focalLength}', '{width}', '{height}', '{duration}', '{gpsLat:5}', '{gpsLon:5}', '{gpsLat:dms}', '{gpsAlt:0}', '{meta:LensSerialNumber}']],
  [t('tpl.group.music'), ['{artist}', '{albumArtist}', '{album}', '{title}', '{track:2}', '{trackTotal}', '{disc}', '{discTotal}', '{year}', '{genre}', '{composer}']],
  [t('tpl.group.document'), ['{title}', '{author}', '{pages}']],
  [t('tpl.group.item'), ['{tags}', '{label}', '{comment}', '{hash:sha256:8}', '{hash:md5}', '{hash:xxh64}']],
  [t('tpl.group.groups'), ['{1}', '{2}', '{<name>}']],
];
const MODIFIERS = ['|upper', '|lower', '|title', '|sentence', '|trim', '|ascii', '|slug', '|first:3', '|last:3', '|nfc', '|add:1', '|date:YYYY-MM-DD|fmt:YYYY', '|default:unknown'];

const REFERENCE = ['tpl.ref1', 'tpl.ref2', 'tpl.ref3', 'tpl.ref4', 'tpl.ref5'].map((key) => t(key));

// The fields of the file in focus, when they are read: the menu offers
// their {meta:…} tokens (see offerFieldsOf).
let focusedFields = () => [];
const FIELD_TOKENS = 60;

// Whether names may make folders: the menu then offers "/".
let foldersOn = () => false;

/** Where the menu finds the keys of the file in focus (`keys()`), and whether "/" makes a folder (`folders()`). */
export function offerFieldsOf(keys, folders = () => false) { focusedFields = keys; foldersOn = folders; }

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
export const exampleText = (example) => (typeof example === 'string' ? example : example ? `${visibleName(example.from)} → ${visibleName(example.to)}` : t('tpl.noExample'));

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
  const group = (label, tokens) => h('optgroup', { label }, tokens.map((tok) => h('option', { value: tok, text: tok })));
  let fileGroup = null;
  const slash = h('option', { value: '/', text: t('tpl.newFolder') });
  // the file's own fields, as they are when the menu opens
  const offerFile = () => {
    if (foldersOn()) menu.insertBefore(slash, menu.children[1] ?? null);
    else slash.remove();
    fileGroup?.remove();
    const keys = focusedFields().slice(0, FIELD_TOKENS);
    fileGroup = keys.length ? group(t('tpl.group.file'), keys.map((k) => `{meta:${k}}`)) : null;
    if (fileGroup) menu.append(fileGroup);
  };
  const menu = h('select', {
    class: 'token-menu', attrs: { 'aria-label': t('tpl.insert'), title: t('tpl.insertTip') },
    on: { change: (e) => { if (e.target.value) insert(e.target.value); e.target.value = ''; }, mousedown: offerFile, focus: offerFile },
  },
  h('option', { value: '', text: t('tpl.insertMenu') }),
  [...MENU, [t('tpl.group.modifiers'), MODIFIERS]].map(([label, tokens]) => group(label, tokens)));
  return [
    h('div', { class: 'template-head wide' }, h('label', { text: label, attrs: { for: id } }), menu),
    input,
    h('p', { class: 'example', text: exampleText(example), attrs: { 'aria-live': 'polite' } }),
    h('details', { class: 'reference' }, h('summary', { text: t('tpl.reference') }), REFERENCE.map((text) => h('p', { text }))),
  ];
}
