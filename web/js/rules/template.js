// A pattern with tokens instead of the name, the extension or the whole name:
// "{taken:YYYY-MM-DD} {model} {n:3}". The language itself is in template.js.
import { joinName, splitName } from '../text.js';
import { compileToken, parsePattern } from '../template.js';
import { counterOf, groupsOf, int, quote, where } from './shared.js';
import { t } from '../i18n/index.js';

const RESTARTS = [['never', t('template.never')], ['folder', t('template.inFolder')], ['group', t('template.inGroup')]];

/** `text` with each match of `re` (global) replaced by `fill(match)`. */
function replaceEach(text, re, fill) {
  let out = '';
  let last = 0;
  for (const found of text.matchAll(re)) {
    out += text.slice(last, found.index) + fill(found);
    last = found.index + found[0].length;
  }
  return out + text.slice(last);
}

/**
 * The filled parts as one name. An empty value leaves no trace of its own:
 * a space it would double, or leave at the start or the end (before the
 * extension), goes; spaces the pattern holds side by side stay.
 */
function joinFilled(parts, out) {
  let s = '';
  let gap = false; // an empty value since the last text
  for (let i = 0; i < out.length; i++) {
    let piece = out[i];
    if (piece === '') { gap ||= typeof parts[i] !== 'string'; continue; }
    if (gap) {
      if (piece[0] === ' ' && (s === '' || s.endsWith(' '))) piece = piece.slice(1);
      else if (piece[0] === '.' && s.endsWith(' ')) s = s.slice(0, -1);
      if (!piece) continue;
      gap = false;
    }
    s += piece;
  }
  return gap && s.endsWith(' ') ? s.slice(0, -1) : s;
}

/** Digits of the largest number `counter` gives to `count` items. */
const digitsFor = (counter, count) => Math.max(String(Math.abs(counter.at(0))).length, String(Math.abs(counter.at(Math.max(0, count - 1)))).length);

export default {
  type: 'template',
  label: t('template.label'),
  defaults: { pattern: '{name}', match: '', every: false, start: 1, step: 1, restart: 'never', skip: '' },
  fields: [
    ['pattern', t('rule.pattern'), 'template'],
    ['match', t('template.match'), 'text'],
    ['every', t('template.every'), 'check'],
    ['start', t('template.start'), 'number'], ['step', t('rule.step'), 'number'],
    ['restart', t('template.restart'), 'select', RESTARTS],
    ['skip', t('rule.skip'), 'text'],
  ],
  summary: (r) => t(r.match ? 'template.summaryMatch' : 'template.summary', { pattern: quote(r.pattern, 24), where: where(r) }),
  compile(r) {
    if (r.pattern === '') return null;
    let match = null;
    let groups = { count: 0, names: new Set() };
    if (r.match) {
      try {
        match = new RegExp(r.match, 'u');
        groups = groupsOf(r.match);
      } catch (e) {
        return { error: t('rule.badRegex', { reason: e.message.replace(/^Invalid regular expression: /, '') }) };
      }
    }
    let parts;
    try {
      parts = parsePattern(String(r.pattern)).map((p) => (typeof p === 'string' ? p : compileToken(p, groups)));
    } catch (e) {
      return { error: e.message };
    }
    const every = match && r.every === true ? new RegExp(r.match, 'gu') : null;
    const counter = counterOf(int(r.start, 1), int(r.step, 1), r.skip);
    if (!counter) return { error: t('rule.badSkip') };
    const counters = parts.filter((p) => p.counter);
    const auto = counters.some((c) => c.auto);
    const me = Symbol('template');
    const now = Date.now();
    const noWarn = () => {};
    const noItem = {};
    // Filling in is never re-entered, so one set of these serves every item:
    // a preview fills in 100,000 patterns, and the garbage is what costs.
    const out = new Array(parts.length);
    const env = { parts: null, match: null, item: noItem, media: undefined, taken: 0, now };
    let size = 0; // of the last number's group

    // Position among the items this rule numbers, counted per list, folder or
    // group. With {n:auto} the sizes of the last pass give the padding.
    function number(ctx, key) {
      const st = ctx?.scratch;
      if (!st) { size = 0; return (r.restart === 'folder' ? ctx?.folderIndex : ctx?.index) ?? 0; }
      let s = st.get(me);
      if (!s || s.pass !== ctx.pass) st.set(me, (s = { pass: ctx.pass, seen: new Map(), sizes: s ? s.seen : null }));
      const k = s.seen.get(key) || 0;
      s.seen.set(key, k + 1);
      size = s.sizes?.get(key) ?? k + 1;
      return k;
    }

    // the item's number, counted once however many matches it has
    let numbered = false, n = 0, pad = 0;
    function fill(found, ctx, warn) {
      env.match = found;
      for (let i = 0; i < parts.length; i++) {
        const p = parts[i];
        out[i] = typeof p === 'string' ? p : p.counter ? '' : p.fill(env, warn);
      }
      if (counters.length) {
        if (!numbered) {
          const k = number(ctx, r.restart === 'group' ? out.join('') : r.restart === 'folder' ? env.item.dir : '');
          numbered = true;
          n = counter.at(k);
          pad = auto ? digitsFor(counter, size) : 0;
        }
        for (let i = 0; i < parts.length; i++) if (parts[i].counter) out[i] = parts[i].number(n, pad);
      }
      return joinFilled(parts, out);
    }

    return {
      target: 'parts',
      totals: auto,
      // counting only the items that match, or per folder or group, depends on the items before
      ordered: counters.length > 0 && (match !== null || r.restart !== 'never'),
      fn(partsIn, ctx) {
        const current = r.target === 'ext' ? partsIn.ext : r.target === 'both' ? joinName(partsIn.base, partsIn.ext) : partsIn.base;
        const m = match ? match.exec(current) : null;
        if (match && !m) return partsIn;
        env.parts = partsIn;
        env.item = ctx?.item || noItem;
        env.media = ctx?.media;
        env.taken = ctx?.taken || 0;
        const warn = ctx?.missing || noWarn;
        numbered = false;
        // with `every`, each match gives way to the pattern filled in with its groups
        const filled = every ? replaceEach(current, every, (found) => fill(found, ctx, warn)) : fill(m, ctx, warn);
        if (r.target === 'ext') return { base: partsIn.base, ext: filled };
        if (r.target === 'both') return splitName(filled);
        return { base: filled, ext: partsIn.ext };
      },
    };
  },
};
