// The page's messages: one catalogue per language, the English one the source
// of keys. The language is the system's (navigator.language, which the web
// view takes from LANGUAGE/LANG), chosen once when the page loads; one not
// shipped falls back to English. Also loaded by the preview worker.

import en from './en.js';
import de from './de.js';

export const CATALOGUES = { en, de };
const PLACEHOLDER = /\{(\w+)\}/g;

/** The shipped language for a language tag ("de-AT" → "de"); English when none fits. */
export function pickLanguage(tag) {
  const base = String(tag || '').toLowerCase().split(/[-_.]/)[0];
  return Object.hasOwn(CATALOGUES, base) ? base : 'en';
}

/**
 * `t(key, params)` in `lang`: {name} placeholders are filled from params,
 * numbers formatted in that language; an entry {one, other, …} is chosen by
 * params.count. A key the language lacks falls back to English.
 */
export function translator(lang) {
  const cat = CATALOGUES[lang] || en;
  const plurals = new Intl.PluralRules(lang);
  const numbers = new Intl.NumberFormat(lang);
  const t = (key, params) => {
    let m = cat[key] ?? en[key];
    if (m === undefined) return key;
    if (typeof m !== 'string') m = m[plurals.select(params?.count ?? 0)] ?? m.other;
    if (!params) return m;
    return m.replace(PLACEHOLDER, (all, k) => {
      const v = params[k];
      return v === undefined ? all : typeof v === 'number' ? numbers.format(v) : v;
    });
  };
  t.lang = lang;
  t.has = (key) => key in cat || key in en;
  t.number = (n) => numbers.format(n);
  return t;
}

export const lang = pickLanguage(globalThis.navigator?.language);
export const t = translator(lang);

/** The translation of a word kept as a value (`prefix.value`), else the value itself. */
export const word = (prefix, value) => (t.has(`${prefix}.${value}`) ? t(`${prefix}.${value}`) : String(value));
