// The template's modifiers, after "|" in a token: each makes text of text,
// left to right; `default` is what an empty value becomes. Pure: no DOM.

import { cpSlice } from './text.js';
import { toAscii } from './ascii.js';
import { dateFormatter, dateReader, formatNumber, sentenceCase, titleCase } from './formats.js';
import { t } from './i18n/index.js';

const slug = (s) => toAscii(s).toLowerCase().replace(/[^a-z0-9]+/g, '-').replace(/^-+|-+$/g, '');
const count = (mod) => {
  if (!/^\d{1,4}$/.test(mod.arg ?? '')) throw new Error(t('tpl.needsCount', { mod: mod.name }));
  return Number(mod.arg);
};
const needsFormat = (mod) => {
  if (!mod.arg) throw new Error(t('tpl.needsFormat', { mod: mod.name }));
  return mod.arg;
};
const normal = (form) => () => (s) => s.normalize(form);
// A whole number, its sign and digits kept apart so that its width stays.
const WHOLE = /^(-?)(\d+)$/;
// Modifiers make text of text; `warn(what)` says what a value lacked.
const MODIFIERS = {
  upper: () => (s) => s.toUpperCase(),
  lower: () => (s) => s.toLowerCase(),
  title: () => titleCase,
  sentence: () => sentenceCase,
  trim: () => (s) => s.trim(),
  ascii: () => toAscii,
  slug: () => slug,
  first: (mod) => { const k = count(mod); return (s) => cpSlice(s, 0, k); },
  last: (mod) => { const k = count(mod); return (s) => (k === 0 ? '' : cpSlice(s, -k)); },
  nfc: normal('NFC'),
  nfd: normal('NFD'),
  nfkc: normal('NFKC'),
  nfkd: normal('NFKD'),
  add: (mod) => {
    if (!/^[+-]?\d{1,15}$/.test(mod.arg ?? '')) throw new Error(t('tpl.needsAmount', { mod: mod.name }));
    const by = Number(mod.arg);
    return (s, warn) => {
      const m = WHOLE.exec(s);
      if (!m) { if (s !== '') warn(`number in ${s}`); return s; }
      return formatNumber(Number(s) + by, m[2].length);
    };
  },
  // read as a date written in the format, then written as `fmt` says (the
  // next modifier) or as YYYY-MM-DD; text that does not fit becomes empty
  date: (mod, next) => {
    const read = dateReader(needsFormat(mod));
    const write = dateFormatter(next?.name === 'fmt' ? needsFormat(next) : 'YYYY-MM-DD');
    return (s, warn) => {
      const ms = read(s);
      if (ms === undefined) { if (s !== '') warn(`date in ${s}`); return ''; }
      return write(ms);
    };
  },
};
const WITH_ARGUMENT = new Set(['first', 'last', 'add', 'date']);

const quiet = () => {};

/** A value's modifiers as one function; `default` is kept apart, as it is what an absent value becomes. */
export function compileModifiers(tok) {
  const steps = tok.mods.map((mod, k) => {
    if (mod.name === 'default') return { fallback: mod.arg ?? '' };
    // |fmt is the second half of the |date before it
    if (mod.name === 'fmt') {
      if (tok.mods[k - 1]?.name !== 'date') throw new Error(t('tpl.fmtAfterDate', { token: tok.text }));
      return { fn: (s) => s };
    }
    const make = MODIFIERS[mod.name];
    if (!make) throw new Error(t('tpl.unknownModifier', { token: tok.text, mod: mod.name }));
    if (mod.arg !== null && !WITH_ARGUMENT.has(mod.name)) throw new Error(t('tpl.noArgument', { token: tok.text, mod: mod.name }));
    return { fn: make(mod, tok.mods[k + 1]) };
  });
  return {
    hasDefault: steps.some((s) => 'fallback' in s),
    // a preview applies them to 100,000 values, most often none at all
    apply(value, warn = quiet) {
      for (let k = 0; k < steps.length; k++) {
        const s = steps[k];
        value = s.fn ? s.fn(value, warn) : value === '' ? s.fallback : value;
      }
      return value;
    },
  };
}
