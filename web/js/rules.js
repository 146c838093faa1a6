// The rename rules: each rule turns one string into another, applied in chain
// order to the base name, the extension or the whole name. Pure: no DOM.

import { cpLength, cpSlice, hasAstral, joinName, splitName, escapeRegExp } from './text.js';

/** Rule types in the order the "add rule" menu offers them. */
export const RULE_TYPES = {
  replace: { label: 'Replace text', defaults: { find: '', with: '', caseSensitive: false, occurrence: 'all' } },
  regex: { label: 'Regular expression', defaults: { pattern: '', with: '', caseSensitive: true, global: true } },
  insert: { label: 'Insert text', defaults: { text: '', position: 0, from: 'start' } },
  remove: { label: 'Remove characters', defaults: { mode: 'count', count: 1, position: 0, from: 'start', start: 1, end: 1 } },
  strip: { label: 'Remove digits / symbols / brackets', defaults: { digits: false, symbols: false, brackets: true } },
  case: { label: 'Change case', defaults: { mode: 'title' } },
  number: { label: 'Numbering', defaults: { start: 1, step: 1, pad: 3, position: 'prefix', sep: ' ', restart: false } },
  date: { label: 'Date', defaults: { source: 'modified', pattern: 'YYYY-MM-DD', position: 'prefix', sep: ' ' } },
  ext: { label: 'Extension', defaults: { mode: 'lower', value: '' }, fixedTarget: 'ext' },
  spaces: { label: 'Spaces and trimming', defaults: { trim: true, collapse: true, replace: false, with: '_' } },
  unicode: { label: 'Diacritics and Unicode', defaults: { diacritics: true, nfc: true } },
  list: { label: 'List of new names', defaults: { text: '' } },
};

export const TARGETS = ['name', 'ext', 'both'];

let idCounter = 0;
/** A fresh rule of `type` with its defaults; `id` is unique within the session. */
export function newRule(type, overrides = {}) {
  const def = RULE_TYPES[type];
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
  if (!raw || typeof raw !== 'object' || !RULE_TYPES[raw.type]) return null;
  const base = newRule(raw.type);
  const out = { ...base };
  for (const key of Object.keys(base)) {
    if (key === 'id') continue;
    if (raw[key] !== undefined && typeof raw[key] === typeof base[key]) out[key] = raw[key];
  }
  if (!TARGETS.includes(out.target)) out.target = base.target;
  if (RULE_TYPES[raw.type].fixedTarget) out.target = RULE_TYPES[raw.type].fixedTarget;
  return out;
}

const int = (v, d = 0) => (Number.isFinite(Number(v)) ? Math.trunc(Number(v)) : d);
const clamp = (v, lo, hi) => Math.max(lo, Math.min(hi, v));

function quote(s, max = 18) {
  const t = cpLength(s) > max ? cpSlice(s, 0, max - 1) + '…' : s;
  return `"${t}"`;
}

/** One-line description of a rule for its card. */
export function summarize(rule) {
  const where = rule.target === 'ext' ? ' (ext)' : rule.target === 'both' ? ' (whole name)' : '';
  switch (rule.type) {
    case 'replace':
      return rule.find === '' ? 'Replace: nothing to find' : `Replace ${quote(rule.find)} → ${quote(rule.with)}${where}`;
    case 'regex':
      return rule.pattern === '' ? 'Regex: no pattern' : `Regex /${cpSlice(rule.pattern, 0, 20)}/ → ${quote(rule.with)}${where}`;
    case 'insert':
      return `Insert ${quote(rule.text)} at ${int(rule.position)} from ${rule.from}${where}`;
    case 'remove':
      return rule.mode === 'range'
        ? `Remove characters ${int(rule.start)}–${int(rule.end)}${where}`
        : `Remove ${int(rule.count)} after ${int(rule.position)} from ${rule.from}${where}`;
    case 'strip': {
      const what = [rule.digits && 'digits', rule.symbols && 'symbols', rule.brackets && '(brackets)'].filter(Boolean);
      return what.length ? `Remove ${what.join(', ')}${where}` : 'Remove: nothing chosen';
    }
    case 'case':
      return `Case: ${{ lower: 'lower', upper: 'UPPER', title: 'Title', sentence: 'Sentence' }[rule.mode] || rule.mode}${where}`;
    case 'number':
      return `Numbering ${formatNumber(int(rule.start, 1), int(rule.pad))}, +${int(rule.step, 1)} as ${rule.position}${rule.restart ? ', per folder' : ''}`;
    case 'date':
      return `Date ${rule.pattern} (${rule.source}) as ${rule.position}`;
    case 'ext':
      return rule.mode === 'set' ? `Extension → ${quote(rule.value)}` : `Extension: ${rule.mode}`;
    case 'spaces': {
      const what = [rule.trim && 'trim', rule.collapse && 'collapse', rule.replace && `spaces → ${quote(rule.with)}`].filter(Boolean);
      return what.length ? `Spaces: ${what.join(', ')}${where}` : 'Spaces: nothing chosen';
    }
    case 'unicode':
      return [rule.diacritics && 'Remove diacritics', rule.nfc && 'NFC'].filter(Boolean).join(' + ') || 'Unicode: nothing chosen';
    case 'list': {
      const n = listLines(rule.text).length;
      return `List of ${n} name${n === 1 ? '' : 's'}${where}`;
    }
    default:
      return rule.type;
  }
}

export function formatNumber(n, pad) {
  const digits = String(Math.abs(n)).padStart(clamp(pad, 0, 32), '0');
  return n < 0 ? '-' + digits : digits;
}

function listLines(text) {
  const lines = text.split(/\r\n|\r|\n/);
  if (lines.length && lines[lines.length - 1] === '') lines.pop();
  return lines;
}

function place(s, piece, position, sep) {
  if (position === 'replace') return piece;
  if (position === 'suffix') return s === '' ? piece : s + sep + piece;
  return s === '' ? piece : piece + sep + s;
}

const pad2 = (n) => String(n).padStart(2, '0');
/** Formats a time (ms since 1970, local time) with the tokens YYYY YY MM DD hh mm ss. */
export function formatDate(ms, pattern) {
  const d = new Date(ms);
  return pattern.replace(/YYYY|YY|MM|DD|hh|mm|ss/g, (t) => {
    switch (t) {
      case 'YYYY': return String(d.getFullYear()).padStart(4, '0');
      case 'YY': return pad2(d.getFullYear() % 100);
      case 'MM': return pad2(d.getMonth() + 1);
      case 'DD': return pad2(d.getDate());
      case 'hh': return pad2(d.getHours());
      case 'mm': return pad2(d.getMinutes());
      default: return pad2(d.getSeconds());
    }
  });
}

// Combining marks of the Latin, Greek and Cyrillic diacritics blocks only: marks
// of other scripts (Indic vowel signs, for instance) are letters' parts, not accents.
const DIACRITICS = /[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]/g;
const STROKED = { Ø: 'O', ø: 'o', Ł: 'L', ł: 'l', Đ: 'D', đ: 'd', Ħ: 'H', ħ: 'h' };
const STROKED_RE = /[ØøŁłĐđĦħ]/g;
const BRACKETS = /\([^()]*\)|\[[^[\]]*\]|\{[^{}]*\}/g;
const SYMBOLS = /[^\P{P}\-_.]|\p{S}/gu;
const DIGITS = /\p{Nd}/gu;
// A combining mark belongs to the letter before it: it starts no word.
const WORD_START = /(^|[^\p{L}\p{M}\p{N}'’])(\p{L})/gu;
const FIRST_LETTER = /\p{L}/u;

function titleCase(s) {
  return s.toLowerCase().replace(WORD_START, (m, pre, c) => pre + c.toUpperCase());
}

function removeRange(s, from, count) {
  if (count <= 0) return s;
  if (!hasAstral(s)) return s.slice(0, from) + s.slice(from + count);
  const cps = Array.from(s);
  cps.splice(from, count);
  return cps.join('');
}

/**
 * Compiles one rule to a function (string, ctx) -> string, or reports why it cannot run.
 * ctx carries `index` (position among the items being renamed), `folderIndex`
 * (position within the item's folder) and `item` (its file record).
 */
export function compileRule(rule) {
  const target = RULE_TYPES[rule.type]?.fixedTarget || rule.target;
  const ok = (fn) => ({ fn, target });
  switch (rule.type) {
    case 'replace': {
      const find = String(rule.find);
      const repl = String(rule.with);
      if (find === '') return ok(null);
      if (rule.caseSensitive) {
        if (rule.occurrence === 'first') return ok((s) => { const i = s.indexOf(find); return i < 0 ? s : s.slice(0, i) + repl + s.slice(i + find.length); });
        if (rule.occurrence === 'last') return ok((s) => { const i = s.lastIndexOf(find); return i < 0 ? s : s.slice(0, i) + repl + s.slice(i + find.length); });
        return ok((s) => (s.includes(find) ? s.split(find).join(repl) : s));
      }
      const re = new RegExp(escapeRegExp(find), 'giu');
      const literal = repl.replace(/\$/g, '$$$$'); // "$" in the text is meant literally
      if (rule.occurrence === 'first') {
        const one = new RegExp(escapeRegExp(find), 'iu');
        return ok((s) => s.replace(one, literal));
      }
      if (rule.occurrence === 'last') {
        return ok((s) => {
          let last = null;
          re.lastIndex = 0;
          for (let m = re.exec(s); m; m = re.exec(s)) last = m;
          return last ? s.slice(0, last.index) + repl + s.slice(last.index + last[0].length) : s;
        });
      }
      return ok((s) => s.replace(re, literal));
    }
    case 'regex': {
      if (rule.pattern === '') return ok(null);
      let re;
      try {
        re = new RegExp(rule.pattern, 'u' + (rule.global ? 'g' : '') + (rule.caseSensitive ? '' : 'i'));
      } catch (e) {
        return { fn: null, target, error: `invalid regular expression: ${e.message.replace(/^Invalid regular expression: /, '')}` };
      }
      const repl = String(rule.with);
      return ok((s) => s.replace(re, repl));
    }
    case 'insert': {
      const text = String(rule.text);
      if (text === '') return ok(null);
      const pos = Math.max(0, int(rule.position));
      return ok((s) => {
        const len = cpLength(s);
        const at = rule.from === 'end' ? clamp(len - pos, 0, len) : clamp(pos, 0, len);
        return cpSlice(s, 0, at) + text + cpSlice(s, at);
      });
    }
    case 'remove': {
      if (rule.mode === 'range') {
        const a = Math.max(1, int(rule.start, 1));
        const b = int(rule.end, a);
        if (b < a) return ok(null);
        return ok((s) => removeRange(s, a - 1, b - a + 1));
      }
      const count = Math.max(0, int(rule.count));
      const pos = Math.max(0, int(rule.position));
      if (count === 0) return ok(null);
      return ok((s) => {
        const len = cpLength(s);
        if (rule.from === 'end') {
          const end = Math.max(0, len - pos);
          const start = Math.max(0, end - count);
          return removeRange(s, start, end - start);
        }
        return removeRange(s, pos, count);
      });
    }
    case 'strip': {
      if (!rule.digits && !rule.symbols && !rule.brackets) return ok(null);
      return ok((s) => {
        if (rule.brackets) {
          for (let prev = ''; prev !== s; ) { prev = s; s = s.replace(BRACKETS, ''); }
        }
        if (rule.digits) s = s.replace(DIGITS, '');
        if (rule.symbols) s = s.replace(SYMBOLS, '');
        return s;
      });
    }
    case 'case': {
      switch (rule.mode) {
        case 'lower': return ok((s) => s.toLowerCase());
        case 'upper': return ok((s) => s.toUpperCase());
        case 'sentence': return ok((s) => s.toLowerCase().replace(FIRST_LETTER, (c) => c.toUpperCase()));
        default: return ok(titleCase);
      }
    }
    case 'number': {
      const start = int(rule.start, 1);
      const step = int(rule.step, 1);
      const pad = clamp(int(rule.pad), 0, 32);
      const sep = String(rule.sep);
      const { restart, position } = rule;
      return ok((s, ctx) => place(s, formatNumber(start + step * (restart ? ctx.folderIndex : ctx.index), pad), position, sep));
    }
    case 'date': {
      const key = rule.source === 'created' ? 'created' : 'modified';
      const sep = String(rule.sep);
      return ok((s, ctx) => {
        const ms = ctx.item[key];
        if (!ms) return s;
        return place(s, formatDate(ms, rule.pattern), rule.position, sep);
      });
    }
    case 'ext': {
      switch (rule.mode) {
        case 'upper': return ok((s) => s.toUpperCase());
        case 'remove': return ok(() => '');
        case 'set': {
          const value = String(rule.value).replace(/^\.+/, '');
          return ok(() => value);
        }
        default: return ok((s) => s.toLowerCase());
      }
    }
    case 'spaces': {
      if (!rule.trim && !rule.collapse && !rule.replace) return ok(null);
      const repl = String(rule.with);
      return ok((s) => {
        if (rule.collapse) s = s.replace(/\s+/g, ' ');
        if (rule.trim) s = s.trim();
        if (rule.replace) s = s.replace(/ /g, repl);
        return s;
      });
    }
    case 'unicode': {
      if (!rule.diacritics && !rule.nfc) return ok(null);
      return ok((s) => {
        if (rule.diacritics) s = s.normalize('NFD').replace(DIACRITICS, '').replace(STROKED_RE, (c) => STROKED[c]).normalize('NFC');
        if (rule.nfc) s = s.normalize('NFC');
        return s;
      });
    }
    case 'list': {
      const lines = listLines(String(rule.text));
      if (!lines.length) return ok(null);
      const lineAt = (ctx) => {
        const line = lines[ctx.index];
        return line === undefined || line === '' ? null : line;
      };
      if (target !== 'name') return ok((s, ctx) => lineAt(ctx) ?? s);
      // A pasted whole name ("b.txt" for "a.txt") ends in the item's own
      // extension: it replaces the whole name, not only the base.
      return {
        target: 'parts',
        fn: (parts, ctx) => {
          const line = lineAt(ctx);
          if (line === null) return parts;
          const own = parts.ext && line.length > parts.ext.length + 1 && line.slice(-parts.ext.length - 1).toLowerCase() === `.${parts.ext.toLowerCase()}`;
          return own ? splitName(line) : { base: line, ext: parts.ext };
        },
      };
    }
    default:
      return { fn: null, target, error: `unknown rule type: ${rule.type}` };
  }
}

/**
 * Compiles the enabled rules of a chain. `run(item, ctx)` gives the item's new
 * name; `errors` maps rule ids to the reason a rule is skipped.
 */
export function compileChain(rules) {
  const steps = [];
  const errors = {};
  for (const rule of rules) {
    if (!rule.enabled) continue;
    let c;
    try {
      c = compileRule(rule);
    } catch (e) {
      c = { fn: null, error: `this rule cannot run: ${e.message}` };
    }
    if (c.error) errors[rule.id] = c.error;
    if (c.fn) steps.push({ ...c, id: rule.id });
  }
  const n = steps.length;
  // A rule that throws on one name is reported and skipped for that name; the
  // rest of the chain and the other names go on.
  const failed = (step, e) => {
    if (!errors[step.id]) errors[step.id] = `this rule cannot run: ${e.message}`;
  };
  const perFolder = rules.some((r) => r.enabled && r.type === 'number' && r.restart);
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
        else ({ base, ext } = splitName(fn(joinName(base, ext), ctx)));
      } catch (e) {
        failed(steps[i], e);
      }
    }
    return joinName(base, ext);
  }
  return { steps, errors, run, empty: n === 0, perFolder };
}

/**
 * Evaluates the chain for the items listed in `scope` (indexes into `items`, in
 * numbering order), writing new names into `out`. A generator: it yields after
 * every `slice` items so that a caller can spread the work over frames.
 */
export function* evaluate(chain, items, scope, out, slice = 4096) {
  const ctx = { index: 0, folderIndex: 0, item: null };
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
    out[i] = chain.run(item, ctx);
    if ((k + 1) % slice === 0) yield k + 1;
  }
}

/** Runs `evaluate` to the end at once. */
export function evaluateAll(chain, items, scope, out) {
  for (const _ of evaluate(chain, items, scope, out, Infinity)); // eslint-disable-line no-unused-vars
  return out;
}
