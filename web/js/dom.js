// Tiny DOM helpers. Text goes in as text nodes only: names are data, never markup.

import { t } from './i18n/index.js';

/** Creates an element: h('button', {class: 'btn', text: 'Go', attrs: {title: 't'}, on: {click}}, ...children). */
export function h(tag, props = {}, ...children) {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (v === undefined || v === null || v === false) continue;
    if (k === 'class') el.className = v;
    else if (k === 'text') el.textContent = v;
    else if (k === 'attrs') for (const [a, av] of Object.entries(v)) { if (av !== undefined && av !== null && av !== false) el.setAttribute(a, av === true ? '' : String(av)); }
    else if (k === 'on') for (const [ev, fn] of Object.entries(v)) el.addEventListener(ev, fn);
    else if (k === 'dataset') Object.assign(el.dataset, v);
    else el[k] = v;
  }
  for (const c of children.flat()) {
    if (c === null || c === undefined || c === false) continue;
    el.append(typeof c === 'string' ? document.createTextNode(c) : c);
  }
  return el;
}

export const $ = (id) => document.getElementById(id);

// Views draw on every change of the state they show, most of it the same as
// before; WebKit styles an element again for each write, even of the value it
// has, which at every key of a rule held the page for many milliseconds.
/** Sets a property (hidden, disabled, checked) when it differs. */
export function setProp(el, name, value) {
  if (el[name] !== value) el[name] = value;
}
/** Sets an attribute when it differs. */
export function setAttr(el, name, value) {
  if (el.getAttribute(name) !== value) el.setAttribute(name, value);
}

/** Replaces the children of `el`. */
export function fill(el, ...children) {
  el.replaceChildren(...children.flat().filter((c) => c !== null && c !== undefined && c !== false));
}

/** A count in the page's language. */
export const fmtInt = t.number;

// sizes with the decimal mark of the page's language ("1,5 MB" in German)
const oneDecimal = new Intl.NumberFormat(t.lang, { minimumFractionDigits: 1, maximumFractionDigits: 1, useGrouping: false });
const whole = new Intl.NumberFormat(t.lang, { maximumFractionDigits: 0, useGrouping: false });
export function fmtSize(n) {
  if (!n) return n === 0 ? '0 B' : '';
  const u = ['B', 'KB', 'MB', 'GB', 'TB'];
  let i = 0;
  let v = n;
  while (v >= 1000 && i < u.length - 1) { v /= 1000; i++; }
  return `${i === 0 ? v : (v < 10 ? oneDecimal : whole).format(v)} ${u[i]}`;
}

const p2 = (n) => String(n).padStart(2, '0');
export function fmtDate(ms) {
  if (!ms) return '';
  const d = new Date(ms);
  return `${d.getFullYear()}-${p2(d.getMonth() + 1)}-${p2(d.getDate())} ${p2(d.getHours())}:${p2(d.getMinutes())}`;
}

/** True when keyboard input goes to a text control (where Ctrl+Z edits text). */
export function inTextField(el) {
  if (!el) return false;
  if (el.tagName === 'TEXTAREA') return true;
  if (el.tagName === 'INPUT') return !['checkbox', 'radio', 'button', 'submit'].includes(el.type);
  return el.isContentEditable;
}

/**
 * Escape closes the dialog from any control in it: a search field would
 * otherwise take the key to clear itself and leave the dialog open.
 */
export function closeOnEscape(dialog, close) {
  dialog.addEventListener('keydown', (e) => {
    if (e.key !== 'Escape') return;
    e.preventDefault();
    e.stopPropagation();
    close();
  }, true);
}
