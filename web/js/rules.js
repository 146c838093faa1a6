// The rename engine: a chain of rules turns each name into its new name, each
// rule working on the base name, the extension or the whole name. The rule
// types themselves live in rules/. Pure: no DOM.

import { joinName, splitName } from './text.js';
import { splitPlace } from './folders.js';
import { RULES, RULE_BY_TYPE } from './rules/index.js';
import { t } from './i18n/index.js';

export { formatDate, formatNumber } from './formats.js';

/** Rule types in menu order: label, defaults and a fixed target where it has one. */
export const RULE_TYPES = Object.fromEntries(RULES.map((r) => [r.type, { label: r.label, defaults: r.defaults, fixedTarget: r.fixedTarget }]));

export const TARGETS = ['name', 'ext', 'both'];

let idCounter = 0;
/** A fresh rule of `type` with its defaults; `id` is unique within the session. */
export function newRule(type, overrides = {}) {
  const def = RULE_BY_TYPE[type];
  if (!def) throw new Error(`unknown rule type: ${type}`);
  idCounter += 1;
  return {
    id: `r${Date.now().toString(36)}${idCounter}`,
    type,
    enabled: true,
    target: def.fixedTarget || 'name',
    ...structuredClone(def.defaults),
    ...overrides,
  };
}

/** Brings a rule read from saved settings back to a well-formed rule (unknown types are dropped). */
export function sanitizeRule(raw) {
  if (!raw || typeof raw !== 'object' || !RULE_BY_TYPE[raw.type]) return null;
  const base = newRule(raw.type);
  const out = { ...base };
  for (const key of Object.keys(base)) {
    if (key === 'id') continue;
    if (raw[key] !== undefined && typeof raw[key] === typeof base[key]) out[key] = raw[key];
  }
  if (!TARGETS.includes(out.target)) out.target = base.target;
  if (RULE_BY_TYPE[raw.type].fixedTarget) out.target = RULE_BY_TYPE[raw.type].fixedTarget;
  return out;
}

/** One-line description of a rule for its card. */
export function summarize(rule) {
  const def = RULE_BY_TYPE[rule.type];
  return def ? def.summary(rule) : rule.type;
}

/**
 * Compiles one rule to {fn, target} where fn is (text, ctx) -> text, or
 * ({base, ext}, ctx) -> {base, ext} for the target "parts"; fn is null for a
 * rule that changes nothing, and `error` says why a rule cannot run.
 * ctx carries `index` (position among the items being renamed), `folderIndex`
 * (position within the item's folder) and `item` (its file record).
 */
export function compileRule(rule) {
  const def = RULE_BY_TYPE[rule.type];
  if (!def) return { fn: null, target: rule.target, error: t('rule.unknownType', { type: rule.type }) };
  const target = def.fixedTarget || rule.target;
  const c = def.compile({ ...rule, target });
  if (c === null || c === undefined) return { fn: null, target };
  if (typeof c === 'function') return { fn: c, target };
  return { fn: c.fn || null, target: c.target || target, error: c.error, totals: Boolean(c.totals), ordered: Boolean(c.ordered) };
}

/**
 * Compiles the enabled rules of a chain. `run(item, ctx)` gives the item's new
 * name (a ctx without `scratch` counts by position alone, see `positional`);
 * `errors` maps rule ids to the reason a rule is skipped. No rule ever
 * throws out of here: a rule that cannot run is its own error. With
 * `folders`, a name may hold "/" (folders relative to the item's, see
 * placeOf): the extension is that of its last part.
 */
export function compileChain(rules, { folders = false } = {}) {
  const split = folders ? splitPlace : splitName;
  const steps = [];
  const errors = {};
  let perFolder = false;
  let passes = 1;
  for (const rule of rules) {
    if (!rule.enabled) continue;
    let c;
    try {
      c = compileRule(rule);
      perFolder ||= Boolean(RULE_BY_TYPE[rule.type]?.perFolder?.(rule));
    } catch (e) {
      c = { fn: null, error: t('rule.cannotRun', { reason: e.message }) };
    }
    if (c.error) errors[rule.id] = c.error;
    if (c.fn) steps.push({ ...c, id: rule.id });
    if (c.fn && c.totals) passes++;
  }
  const n = steps.length;
  // A rule that throws on one name is reported and skipped for that name; the
  // rest of the chain and the other names go on.
  const failed = (step, e) => {
    if (!errors[step.id]) errors[step.id] = t('rule.cannotRun', { reason: e.message });
  };
  function run(item, ctx) {
    if (n === 0) return item.name;
    let base, ext;
    if (item.isDir) { base = item.name; ext = ''; } else { base = item.basename; ext = item.ext; }
    for (let i = 0; i < n; i++) {
      const { fn, target } = steps[i];
      try {
        if (target === 'name') base = fn(base, ctx);
        else if (target === 'ext') ext = fn(ext, ctx);
        else if (target === 'parts') ({ base, ext } = fn({ base, ext }, ctx));
        else ({ base, ext } = split(fn(joinName(base, ext), ctx)));
      } catch (e) {
        failed(steps[i], e);
      }
    }
    return joinName(base, ext);
  }
  // a positional chain names an item from the item and its place in the list
  // alone, not from the items before it: any few rows can be named at once
  const positional = !perFolder && passes === 1 && !steps.some((s) => s.ordered);
  return { steps, errors, run, empty: n === 0, perFolder, passes, positional };
}

/**
 * Evaluates the chain for the items listed in `scope` (indexes into `items`, in
 * numbering order), writing new names into `out`. `columns` (optional) holds,
 * by item index, `taken` (the date taken in ms, 0 where unknown) and `media`
 * (what `readMedia` answered; else `item.media` is read), and receives in
 * `missing` the values each item lacks (["artist", …]) and in `meta` the
 * metadata rules made for it ({tags, label, comment}). A rule that needs
 * the sizes of its counters' groups gets one more pass first. A generator: it
 * yields after every `slice` items so that a caller can spread the work over
 * frames.
 */
export function* evaluate(chain, items, scope, out, slice = 4096, columns = null) {
  const { taken = null, media = null, missing = null, meta = null } = columns || {};
  let at = 0;
  const note = (what) => {
    const list = missing[at] || (missing[at] = []);
    if (!list.includes(what)) list.push(what);
  };
  const ctx = { index: 0, folderIndex: 0, item: null, taken: 0, media: undefined, scratch: new Map(), pass: 0, missing: null, meta: null };
  let done = 0;
  for (let pass = 0; pass < chain.passes; pass++) {
    ctx.pass = pass;
    ctx.missing = missing && pass === chain.passes - 1 ? note : null;
    const counters = chain.perFolder ? new Map() : null;
    for (let k = 0; k < scope.length; k++) {
      const i = scope[k];
      const item = items[i];
      if (counters) {
        const fi = counters.get(item.dir) || 0;
        counters.set(item.dir, fi + 1);
        ctx.folderIndex = fi;
      }
      ctx.index = k;
      ctx.item = item;
      ctx.taken = taken ? taken[i] : 0;
      ctx.media = media ? media[i] : item.media;
      at = i;
      ctx.meta = null;
      out[i] = chain.run(item, ctx);
      if (meta && ctx.meta) meta[i] = ctx.meta;
      if (++done % slice === 0) yield done;
    }
  }
}

/** Runs `evaluate` to the end at once. */
export function evaluateAll(chain, items, scope, out, columns = null) {
  for (const _ of evaluate(chain, items, scope, out, Infinity, columns)); // eslint-disable-line no-unused-vars
  return out;
}
