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

const SPACE = /\s/;
/** Whether the character at `k` is white space; the common ASCII ones without a regular expression. */
function spaceAt(s, k) {
  const c = s.charCodeAt(k);
  if (c < 128) return c === 32 || (c >= 9 && c <= 13);
  return SPACE.test(s[k]);
}

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
  if (newName !== '' && (spaceAt(newName, 0) || spaceAt(newName, newName.length - 1))) add(i, 'spaces');
  if (newName.charCodeAt(0) === 46 && oldName.charCodeAt(0) !== 46 && newName !== '.' && newName !== '..') add(i, 'hidden');
}

/** Problems of one new name taken alone, as [code, detail] pairs. */
export function nameProblems(oldName, newName) {
  const out = [];
  checkName(0, oldName, newName, (_, code, detail) => out.push(detail === undefined ? [code] : [code, detail]));
  return out;
}

/**
 * Items grouped by (folder, lower-cased name), in an open-addressing table
 * over typed arrays: a Map of 100,000 fresh name strings costs more than the
 * whole rest of the check. Each bucket lists its items in the order added.
 */
class NameBuckets {
  constructor(n) {
    let size = 16;
    while (size < n * 2) size *= 2;
    this.mask = size - 1;
    this.slotHead = new Int32Array(size).fill(-1);
    this.slotTail = new Int32Array(size);
    this.slotDir = new Int32Array(size);
    this.slotKey = new Array(size);
    this.next = new Int32Array(n).fill(-1);
    this.slotOf = new Int32Array(n);
    this.before = new Int32Array(n).fill(-1);
  }

  slot(dir, key, insert) {
    let h = (dir * 0x9e3779b1) | 0;
    for (let k = 0; k < key.length; k++) h = Math.imul(h ^ key.charCodeAt(k), 0x01000193);
    // a multiply carries only upwards: fold the high bits into the slot bits
    h = Math.imul(h ^ (h >>> 16), 0x85ebca6b);
    h ^= h >>> 13;
    for (let s = h & this.mask; ; s = (s + 1) & this.mask) {
      if (this.slotHead[s] < 0) return insert ? s : -1;
      if (this.slotDir[s] === dir && this.slotKey[s] === key) return s;
    }
  }

  /** Adds item `i`; returns the first item of its bucket when it was not empty, else -1. */
  add(dir, key, i) {
    const s = this.slot(dir, key, true);
    this.slotOf[i] = s;
    const head = this.slotHead[s];
    if (head < 0) {
      this.slotHead[s] = this.slotTail[s] = i;
      this.slotDir[s] = dir;
      this.slotKey[s] = key;
      return -1;
    }
    this.before[i] = this.slotTail[s];
    this.next[this.slotTail[s]] = i;
    this.slotTail[s] = i;
    return head;
  }

  /** The item added just before `i` into its bucket (-1 for the first). */
  prev(i) { return this.before[i]; }
  /** The first item of `i`'s bucket. */
  head(i) { return this.slotHead[this.slotOf[i]]; }
  /** The first item of the bucket of (dir, key), or -1. */
  find(dir, key) {
    const s = this.slot(dir, key, false);
    return s < 0 ? -1 : this.slotHead[s];
  }
}

/**
 * Checks a whole listing. `items[i]` has `dir` and `name`; `newNames[i]` is the
 * intended name (equal to `name` for items that stay); `skip[i]` (optional)
 * marks items left out of the batch, which keep their names; `tags[i]`
 * (optional) is the intended user-tag list of an item whose tags change;
 * `taken(dir, name)` (optional) tells whether an item that is not listed holds
 * that name. Returns per-item problem lists (undefined where none) and row counts.
 */
export function checkConflicts(items, newNames, { skip = null, tags = null, taken = null } = {}) {
  const n = items.length;
  const problems = new Array(n);
  const renamed = new Uint8Array(n);
  const stays = new Uint8Array(n);
  for (let i = 0; i < n; i++) if ((skip && skip[i]) || isInvalidUtf8(items[i].name)) stays[i] = 1;

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
  }

  if (anyRenamed) {
    // The renamed items by folder and lower-cased new name: exact duplicates
    // and case-only twins share a bucket, so one lookup answers both. Items
    // that stay are then looked up in it.
    const buckets = new NameBuckets(n);
    const shared = []; // renamed items whose bucket holds more than one
    let lastDir = null;
    let dirId = -1;
    const dirs = new Map();
    for (let i = 0; i < n; i++) {
      if (!renamed[i]) continue;
      const dir = items[i].dir;
      if (dir !== lastDir) {
        lastDir = dir;
        dirId = dirs.get(dir);
        if (dirId === undefined) dirs.set(dir, (dirId = dirs.size));
      }
      const fin = newNames[i];
      const first = buckets.add(dirId, fin.toLowerCase(), i);
      if (first >= 0) {
        if (first !== buckets.prev(i)) shared.push(i);
        else shared.push(first, i);
      }
      checkName(i, items[i].name, fin, add);
      if (taken && taken(dir, fin)) add(i, 'unlisted', fin);
    }
    lastDir = null;
    for (let i = 0; i < n; i++) {
      if (renamed[i]) continue;
      const item = items[i];
      if (item.dir !== lastDir) { lastDir = item.dir; dirId = dirs.get(lastDir); }
      if (dirId === undefined) continue;
      const name = item.name;
      for (let j = buckets.find(dirId, name.toLowerCase()); j >= 0; j = buckets.next[j]) add(j, newNames[j] === name ? 'exists' : 'case', name);
    }
    for (const i of shared) {
      const fin = newNames[i];
      let same = 0;
      let twin;
      for (let j = buckets.head(i); j >= 0; j = buckets.next[j]) {
        if (newNames[j] === fin) same++;
        else if (twin === undefined) twin = j;
      }
      const p = problems[i];
      if (same > 1 && !(p && p.some(([c]) => c === 'exists'))) add(i, 'dup', `${same} items`);
      if (twin !== undefined && !(p && p.some(([c]) => c === 'case'))) add(i, 'case', newNames[twin]);
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
 * the skip flags and the final check. `check`, when given, is the result of
 * `checkConflicts` with the same options, and saves the first pass.
 */
export function skipErrorRows(items, newNames, { skip = null, tags = null, taken = null, check = null } = {}) {
  const flags = skip ? Uint8Array.from(skip) : new Uint8Array(items.length);
  for (;;) {
    if (!check) check = checkConflicts(items, newNames, { skip: flags, tags, taken });
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
