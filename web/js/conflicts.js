// Finds every problem of a planned batch before anything touches the disk:
// names the native rename refuses or that collide, and names that work but
// surprise. Pure: no DOM.

import { utf8Length } from './text.js';

export const MAX_NAME_BYTES = 255;

/** Problem kinds: severity, the short word shown on the row, and the sentence for the tooltip. */
export const ISSUES = {
  empty: { severity: 'error', word: 'invalid', text: () => 'The new name is empty.' },
  slash: { severity: 'error', word: 'invalid', text: () => 'A name cannot contain "/".' },
  dot: { severity: 'error', word: 'invalid', text: () => '"." and ".." cannot be used as names.' },
  nul: { severity: 'error', word: 'invalid', text: () => 'A name cannot contain the NUL character.' },
  tooLong: { severity: 'error', word: 'too long', text: (d) => `The new name is ${d} bytes long in UTF-8; the limit is ${MAX_NAME_BYTES}.` },
  dup: { severity: 'error', word: 'dup', text: (d) => `Another item in this folder gets the same name${d ? ` (${d})` : ''}.` },
  exists: { severity: 'error', word: 'exists', text: (d) => `An item that keeps its name is already called "${d}".` },
  unlisted: { severity: 'error', word: 'exists', text: (d) => `An item the list does not show (a hidden item, or one this mode leaves out) is already called "${d}".` },
  tagComma: { severity: 'error', word: 'tag ","', text: (d) => `The tag "${d}" contains ",": tags are stored comma-separated, so it cannot be written.` },
  case: { severity: 'warning', word: 'case', text: (d) => `Differs from "${d}" only in letter case: on a case-insensitive drive (a USB stick, for instance) the two collide.` },
  spaces: { severity: 'warning', word: 'spaces', text: () => 'The new name starts or ends with white space.' },
  hidden: { severity: 'warning', word: 'hidden', text: () => 'The new name starts with "." so file managers will hide the item.' },
  utf8: { severity: 'skip', word: 'not UTF-8', text: () => 'name is not valid UTF-8: its path cannot be sent back exactly, so this item is left out.' },
};

/** True when a name arrived with undecodable bytes (shown as U+FFFD). */
export function isInvalidUtf8(name) {
  return name.includes('\uFFFD');
}

const EDGE_SPACE = /^\s|\s$/;

/** Reports the problems of one new name taken alone (no folder context) as add(i, code, detail). */
function checkName(i, oldName, newName, add) {
  if (newName === '') add(i, 'empty');
  else if (newName === '.' || newName === '..') add(i, 'dot');
  if (newName.includes('/')) add(i, 'slash');
  if (newName.includes('\0')) add(i, 'nul');
  // fewer than 86 UTF-16 units cannot make more than 255 bytes
  if (newName.length > MAX_NAME_BYTES / 3) {
    const bytes = utf8Length(newName);
    if (bytes > MAX_NAME_BYTES) add(i, 'tooLong', bytes);
  }
  if (EDGE_SPACE.test(newName)) add(i, 'spaces');
  if (newName.charCodeAt(0) === 46 && oldName.charCodeAt(0) !== 46 && newName !== '.' && newName !== '..') add(i, 'hidden');
}

/** Problems of one new name taken alone, as [code, detail] pairs. */
export function nameProblems(oldName, newName) {
  const out = [];
  checkName(0, oldName, newName, (_, code, detail) => out.push(detail === undefined ? [code] : [code, detail]));
  return out;
}

/**
 * Checks a whole listing. `items[i]` has `dir` and `name`; `newNames[i]` is the
 * intended name (equal to `name` for items that stay); `skip[i]` (optional)
 * marks items left out of the batch, which keep their names; `tags[i]`
 * (optional) is the intended user-tag list of an item whose tags change;
 * `taken(dir, name)` (optional) tells whether an item that is not listed holds
 * that name. Returns per-item problem lists (undefined where none) and row counts.
 */
export function checkConflicts(items, newNames, options = {}) {
  const steps = conflictSteps(items, newNames, options, Infinity);
  for (;;) {
    const r = steps.next();
    if (r.done) return r.value;
  }
}

/** `checkConflicts` as a generator that yields every `slice` items; its return value is the result. */
export function* conflictSteps(items, newNames, { skip = null, tags = null, taken = null } = {}, slice = 8192) {
  const n = items.length;
  const problems = new Array(n);
  const renamed = new Uint8Array(n);
  const stays = new Uint8Array(n);
  for (let i = 0; i < n; i++) if ((skip && skip[i]) || isInvalidUtf8(items[i].name)) stays[i] = 1;
  let budget = slice;

  const add = (i, code, detail) => {
    (problems[i] || (problems[i] = [])).push(detail === undefined ? [code] : [code, detail]);
  };

  let anyRenamed = false;
  for (let i = 0; i < n; i++) {
    const item = items[i];
    if (stays[i]) {
      if (isInvalidUtf8(item.name)) add(i, 'utf8');
      continue;
    }
    if (tags && tags[i]) for (const t of tags[i]) if (t.includes(',')) add(i, 'tagComma', t);
    if (newNames[i] !== item.name) { renamed[i] = 1; anyRenamed = true; }
    if (--budget <= 0) { budget = slice; yield; }
  }

  if (anyRenamed) {
    // One map per folder from the lower-cased new name to the renamed item (or
    // items) getting it: exact duplicates and case-only twins share a bucket,
    // so one lookup answers both. Items that stay are then looked up in it.
    const groups = new Map();
    const groupOf = new Array(n);
    const shared = []; // renamed items whose bucket holds more than one
    let lastDir = null;
    let group = null;
    for (let i = 0; i < n; i++) {
      if (!renamed[i]) continue;
      const dir = items[i].dir;
      if (dir !== lastDir) {
        lastDir = dir;
        group = groups.get(dir);
        if (!group) groups.set(dir, (group = new Map()));
      }
      groupOf[i] = group;
      const fin = newNames[i];
      const low = fin.toLowerCase();
      const seen = group.get(low);
      if (seen === undefined) group.set(low, i);
      else if (typeof seen === 'number') { group.set(low, [seen, i]); shared.push(seen, i); }
      else { seen.push(i); shared.push(i); }
      checkName(i, items[i].name, fin, add);
      if (taken && taken(dir, fin)) add(i, 'unlisted', fin);
      if (--budget <= 0) { budget = slice; yield; }
    }
    lastDir = null;
    group = null;
    const each = (hit, fn) => { if (typeof hit === 'number') fn(hit); else if (hit) for (const j of hit) fn(j); };
    for (let i = 0; i < n; i++) {
      if (renamed[i]) continue;
      const item = items[i];
      if (item.dir !== lastDir) { lastDir = item.dir; group = groups.get(lastDir); }
      if (!group) continue;
      const name = item.name;
      each(group.get(name.toLowerCase()), (j) => add(j, newNames[j] === name ? 'exists' : 'case', name));
      if (--budget <= 0) { budget = slice; yield; }
    }
    for (const i of shared) {
      const fin = newNames[i];
      let same = 0;
      let twin;
      for (const j of groupOf[i].get(fin.toLowerCase())) {
        if (newNames[j] === fin) same++;
        else if (twin === undefined) twin = j;
      }
      const p = problems[i];
      if (same > 1 && !(p && p.some(([c]) => c === 'exists'))) add(i, 'dup', `${same} items`);
      if (twin !== undefined && !(p && p.some(([c]) => c === 'case'))) add(i, 'case', newNames[twin]);
      if (--budget <= 0) { budget = slice; yield; }
    }
  }

  let errors = 0, warnings = 0, skipped = 0;
  for (let i = 0; i < n; i++) {
    const p = problems[i];
    if (!p) continue;
    let e = false, w = false, s = false;
    for (const [code] of p) {
      const sev = ISSUES[code].severity;
      if (sev === 'error') e = true;
      else if (sev === 'warning') w = true;
      else s = true;
    }
    if (e) errors++;
    if (w) warnings++;
    if (s) skipped++;
  }
  return { problems, errors, warnings, skipped, renamed };
}

/** Worst severity of one row's problem list: 'error', 'warning', 'skip' or ''. */
export function severityOf(list) {
  if (!list) return '';
  let best = '';
  for (const [code] of list) {
    const sev = ISSUES[code].severity;
    if (sev === 'error') return 'error';
    if (sev === 'warning') best = 'warning';
    else if (sev === 'skip' && best === '') best = 'skip';
  }
  return best;
}

/**
 * Leaves out rows with errors until no error remains: a row left out keeps its
 * name, which can in turn block another row's rename, so this repeats. Returns
 * the skip flags and the final check.
 */
export function skipErrorRows(items, newNames, options = {}) {
  const steps = skipErrorSteps(items, newNames, options, Infinity);
  for (;;) {
    const r = steps.next();
    if (r.done) return r.value;
  }
}

/**
 * `skipErrorRows` as a generator that yields every `slice` items. `check`, when
 * given, is the result of `checkConflicts` with the same `skip` and `tags`,
 * and saves the first pass.
 */
export function* skipErrorSteps(items, newNames, { skip = null, tags = null, taken = null, check = null } = {}, slice = 8192) {
  const flags = skip ? Uint8Array.from(skip) : new Uint8Array(items.length);
  for (;;) {
    if (!check) check = yield* conflictSteps(items, newNames, { skip: flags, tags, taken }, slice);
    let changed = false;
    for (let i = 0; i < items.length; i++) {
      if (!flags[i] && severityOf(check.problems[i]) === 'error') {
        flags[i] = 1;
        changed = true;
      }
    }
    if (!changed) return { skip: flags, check };
    check = null;
  }
}
