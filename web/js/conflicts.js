// Finds every problem of a planned batch before anything touches the disk:
// names the native rename refuses or that collide, and names that work but
// surprise. Pure: no DOM.

import { hashEnd, hashInFolder, hashSeed, hashStep, joinPath, utf8Length } from './text.js';
import { hasRawBytes } from './bytes.js';
import { placeFor } from './folders.js';
import { MAX_UNITS, STRICT_TYPES, portableProblem } from './portable.js';
import { t, word } from './i18n/index.js';

export const MAX_NAME_BYTES = 255;

/** Problem kinds: severity, the short word shown on the row, and the sentence for the tooltip. */
export const ISSUES = {
  empty: { severity: 'error', word: t('issue.invalid'), text: () => t('issue.empty') },
  slash: { severity: 'error', word: t('issue.invalid'), text: () => t('issue.slash') },
  dot: { severity: 'error', word: t('issue.invalid'), text: () => t('issue.dot') },
  nul: { severity: 'error', word: t('issue.invalid'), text: () => t('issue.nul') },
  tooLong: { severity: 'error', word: t('issue.tooLongWord'), text: (d) => t('issue.tooLong', { bytes: String(d), limit: String(MAX_NAME_BYTES) }) },
  dup: { severity: 'error', word: t('issue.dupWord'), text: (d) => (d ? t('issue.dupOf', { count: d }) : t('issue.dup')) },
  exists: { severity: 'error', word: t('issue.existsWord'), text: (d) => t('issue.exists', { name: d }) },
  unlisted: { severity: 'error', word: t('issue.existsWord'), text: (d) => t('issue.unlisted', { name: d }) },
  tagComma: { severity: 'error', word: t('issue.tagCommaWord'), text: (d) => t('issue.tagComma', { tag: d }) },
  case: { severity: 'warning', word: t('issue.caseWord'), text: (d) => t('issue.case', { name: d }) },
  spaces: { severity: 'warning', word: t('issue.spacesWord'), text: () => t('issue.spaces') },
  hidden: { severity: 'warning', word: t('issue.hiddenWord'), text: () => t('issue.hidden') },
  outside: { severity: 'warning', word: t('issue.outsideWord'), text: () => t('issue.outside') },
  notAFolder: { severity: 'error', word: t('issue.notAFolderWord'), text: (d) => t('issue.notAFolder', { name: d }) },
  portable: { severity: 'error', word: t('issue.portableWord'), text: (d) => t(`issue.portable.${d.split(':')[0]}`, { what: d.slice(d.indexOf(':') + 1) }) },
  companion: { severity: 'error', word: t('issue.companionWord'), text: (d) => t('issue.companion', { name: d }) },
  noTaken: { severity: 'warning', word: t('issue.noTakenWord'), text: () => t('issue.noTaken') },
  missing: { severity: 'warning', word: (d) => t('issue.missingWord', { what: fieldName(d) }), text: (d) => t('issue.missing', { what: fieldName(d) }) },
  utf8: { severity: 'warning', word: t('issue.utf8Word'), text: () => t('issue.utf8') },
};

/** What an item lacks ("artist", "sha256 digest"), in the page's language. */
function fieldName(what) {
  const digest = /^(\w+) digest$/.exec(what);
  return digest ? t('field.digest', { alg: digest[1] }) : word('field', what);
}

/** The short word a row shows for a problem. */
export const issueWord = (code, detail) => (typeof ISSUES[code].word === 'function' ? ISSUES[code].word(detail) : ISSUES[code].word);

const lacks = (code) => code === 'missing' || code === 'noTaken';
/**
 * The word a row shows for its problems: the first of its worst severity, or
 * every value it lacks at once ("no track, title").
 */
export function rowWord(problems) {
  const sev = severityOf(problems);
  const [code, detail] = problems.find(([c]) => ISSUES[c].severity === sev);
  if (!lacks(code)) return issueWord(code, detail);
  const what = problems.filter(([c]) => lacks(c)).map(([c, d]) => fieldName(c === 'noTaken' ? 'date taken' : d));
  return t('issue.missingWord', { what: what.join(', ') });
}

/** The warnings of rows whose worst problem is a warning: [[word, rows]], most rows first. */
export function warningCounts(problemLists) {
  const counts = new Map();
  for (const list of problemLists) {
    if (severityOf(list) !== 'warning') continue;
    const words = new Set(list.filter(([c]) => ISSUES[c].severity === 'warning').map(([c, d]) => issueWord(c, d)));
    for (const w of words) counts.set(w, (counts.get(w) || 0) + 1);
  }
  return [...counts].sort((a, b) => b[1] - a[1]);
}

const filesCache = new WeakMap();
/** The paths of a listing's files, kept per listing (listings are never changed in place): every key checks again. */
function filePaths(items, nameOf) {
  let files = filesCache.get(items);
  if (!files) {
    files = new Set();
    for (let k = 0; k < items.length; k++) if (!items[k].isDir) files.add(joinPath(items[k].dir, nameOf(k)));
    filesCache.set(items, files);
  }
  return files;
}

const SPACE = /\s/;
/** Whether the character at `k` is white space; the common ASCII ones without a regular expression. */
function spaceAt(s, k) {
  const c = s.charCodeAt(k);
  if (c < 128) return c === 32 || (c >= 9 && c <= 13);
  return SPACE.test(s[k]);
}

// What one pass over a name finds (see `scan`).
const SLASH = 1, NUL = 2, WIDE = 4, UNPORTABLE = 8;
// ASCII that FAT, exFAT, NTFS and SMB refuse in a name: controls and <>:"\|?*
const REFUSED = Uint8Array.from({ length: 128 }, (_, c) => Number(c < 32 || '<>:"\\|?*'.includes(String.fromCharCode(c))));
let scanned = 0;
let spareBuckets = null;

/**
 * Hash of the lower-cased name in folder `dir`, found in one pass with no new
 * string for ASCII names; leaves SLASH, NUL and WIDE (not ASCII) in `scanned`.
 */
function scan(dir, s) {
  let h = hashSeed(dir);
  let flags = 0;
  for (let k = 0; k < s.length; k++) {
    let c = s.charCodeAt(k);
    if (c >= 65 && c <= 90) c += 32;
    else if (c === 47) flags |= SLASH;
    else if (c === 0) flags |= NUL;
    else if (c > 127) flags |= WIDE;
    else if (REFUSED[c]) flags |= UNPORTABLE;
    h = hashStep(h, c);
  }
  scanned = flags;
  // lower-casing beyond ASCII may change the length ("İ"): hash what it gives
  return flags & WIDE ? hashInFolder(dir, s.toLowerCase()) : hashEnd(h);
}

/**
 * Whether portableProblem may find something in `s` (scanned to `flags`): a
 * refused character, a trailing dot or space, a length past the limit, or the
 * short base a reserved name has. Most names are none of these and are not
 * looked at again.
 */
function mayNotPort(s, flags) {
  const n = s.length;
  return Boolean(flags & (UNPORTABLE | NUL)) || n > MAX_UNITS || n <= 4 || s[3] === '.' || s[4] === '.' || s[n - 1] === '.' || s[n - 1] === ' ';
}

/** Whether two names are equal once lower-cased. */
function sameLower(a, b, bothAscii) {
  if (a === b) return true;
  if (!bothAscii) return a.toLowerCase() === b.toLowerCase();
  if (a.length !== b.length) return false;
  for (let k = 0; k < a.length; k++) {
    let x = a.charCodeAt(k), y = b.charCodeAt(k);
    if (x >= 65 && x <= 90) x += 32;
    if (y >= 65 && y <= 90) y += 32;
    if (x !== y) return false;
  }
  return true;
}

/** Reports the problems of one new name taken alone as add(i, code, detail); `flags` from `scan`, `oldFirst` the old name's first UTF-16 unit. */
function checkName(i, oldFirst, newName, add, flags) {
  if (newName === '') add(i, 'empty');
  else if (newName === '.' || newName === '..') add(i, 'dot');
  if (flags & SLASH) add(i, 'slash');
  if (flags & NUL) add(i, 'nul');
  // fewer than 86 UTF-16 units cannot make more than 255 bytes
  if (newName.length > MAX_NAME_BYTES / 3) {
    const bytes = utf8Length(newName);
    if (bytes > MAX_NAME_BYTES) add(i, 'tooLong', bytes);
  }
  if (newName !== '' && (spaceAt(newName, 0) || spaceAt(newName, newName.length - 1))) add(i, 'spaces');
  if (newName.charCodeAt(0) === 46 && oldFirst !== 46 && newName !== '.' && newName !== '..') add(i, 'hidden');
  if (flags & WIDE && hasRawBytes(newName)) add(i, 'utf8');
}

/** Problems of one new name taken alone, as [code, detail] pairs. */
export function nameProblems(oldName, newName) {
  const out = [];
  scan(0, newName);
  checkName(0, oldName.charCodeAt(0), newName, (_, code, detail) => out.push(detail === undefined ? [code] : [code, detail]), scanned);
  return out;
}

/**
 * Items grouped by (folder, lower-cased new name), in an open-addressing
 * table over typed arrays: a Map of 100,000 fresh lower-cased strings costs
 * more than the whole rest of the check. A slot is known by its folder, its
 * hash and the new name of its first item. Each bucket lists its items in
 * the order added.
 */
class NameBuckets {
  constructor(n) {
    let size = 16;
    while (size < n * 2) size *= 2;
    this.n = n;
    this.mask = size - 1;
    this.names = null;
    this.slotHead = new Int32Array(size);
    this.slotTail = new Int32Array(size);
    this.slotDir = new Int32Array(size);
    this.slotHash = new Int32Array(size);
    this.slotAscii = new Uint8Array(size);
    this.next = new Int32Array(n);
    this.slotOf = new Int32Array(n);
    this.before = new Int32Array(n);
  }

  /**
   * Empty tables for `n` items with new names `names`: the last check's
   * when they fit. Every key over a listing checks it again, and a million
   * items' tables are 50 MB the engine would otherwise hold until it collects.
   */
  static take(n, names) {
    const b = spareBuckets?.n === n ? spareBuckets : new NameBuckets(n);
    spareBuckets = null;
    b.names = names;
    b.slotHead.fill(-1);
    b.next.fill(-1);
    return b;
  }

  /** Gives the tables back for the next check; this is not used again. */
  release() {
    this.names = null;
    spareBuckets = this;
  }

  /** The slot of `name` (hash `h`, ASCII or not) in folder `dir`; a free one or -1 when absent. */
  slot(dir, h, name, ascii, insert) {
    for (let s = h & this.mask; ; s = (s + 1) & this.mask) {
      const head = this.slotHead[s];
      if (head < 0) return insert ? s : -1;
      if (this.slotHash[s] === h && this.slotDir[s] === dir && sameLower(this.names[head], name, ascii && this.slotAscii[s] === 1)) return s;
    }
  }

  /** Adds item `i` (its new name scanned to `h`); returns the first item of its bucket when it was not empty, else -1. */
  add(dir, h, ascii, i) {
    const s = this.slot(dir, h, this.names[i], ascii, true);
    this.slotOf[i] = s;
    const head = this.slotHead[s];
    if (head < 0) {
      this.slotHead[s] = this.slotTail[s] = i;
      this.slotDir[s] = dir;
      this.slotHash[s] = h;
      this.slotAscii[s] = ascii ? 1 : 0;
      return -1;
    }
    this.before[i] = this.slotTail[s];
    this.next[this.slotTail[s]] = i;
    this.slotTail[s] = i;
    return head;
  }

  /** The item added just before `i` into its bucket; asked only of an item that was not its bucket's first. */
  prev(i) { return this.before[i]; }
  /** The first item of `i`'s bucket. */
  head(i) { return this.slotHead[this.slotOf[i]]; }
  /** The first item of the bucket of `name` in folder `dir`, or -1. */
  find(dir, name) {
    const h = scan(dir, name);
    const s = this.slot(dir, h, name, !(scanned & WIDE), false);
    return s < 0 ? -1 : this.slotHead[s];
  }
}

/**
 * Checks a whole listing. `items[i]` has `dir` and `name`; `newNames[i]` is the
 * intended name (equal to `name` for items that stay); `skip[i]` (optional)
 * marks items left out of the batch, which keep their names; `tags[i]`
 * (optional) is the intended user-tag list of an item whose tags change;
 * `names` (optional, a NameList) holds the items' names;
 * `taken(dir, name)` (optional) tells whether an item that is not listed holds
 * that name; `missing[i]` (optional) lists the values a renamed item's new
 * name needed and it does not have ("date taken", "artist"). With `folders`,
 * a new name's "/" makes folders (placeFor, below `root`); with `destination`,
 * the items `moving[i]` (those the rules act on) go below that folder. Either
 * way a name is checked in the folder it goes to. With `copy`, every item
 * keeps its name, renamed or not. `groups[i]` (optional, companionGroups)
 * binds companions: an error of one blocks its whole group. With `portable`,
 * or in a folder whose volume (`volumes[dir].type`, folderVolumes) refuses
 * them, names FAT, exFAT, NTFS and SMB refuse are the error `portable`.
 * Returns per-item problem
 * lists (undefined where none) and row counts.
 */
export function checkConflicts(items, newNames, { skip = null, tags = null, taken = null, missing = null, names = null, folders = false, root = null, destination = null, moving = null, copy = false, groups = null, portable = false, volumes = null } = {}) {
  const n = items.length;
  // a listing's names as one text are read in place, not made one by one
  const nameOf = names ? (i) => names.at(i) : (i) => items[i].name;
  const isName = names ? (i, s) => names.is(i, s) : (i, s) => items[i].name === s;
  const firstOf = names ? (i) => names.firstCode(i) : (i) => items[i].name.charCodeAt(0);
  const problems = new Array(n);
  const renamed = new Uint8Array(n);
  const stays = skip || new Uint8Array(n);

  const add = (i, code, detail) => {
    (problems[i] || (problems[i] = [])).push(detail === undefined ? [code] : [code, detail]);
  };
  // folders where the names such file systems refuse are errors
  const strict = (dir) => portable || Boolean(volumes && STRICT_TYPES.has(volumeAt(volumes, dir)?.type));
  const caseTwin = (i, dir, name) => {
    add(i, 'case', name);
    if (strict(dir)) add(i, 'portable', `case:${name}`);
  };

  // where a name that makes folders, or an item bound for the destination, goes
  const placed = folders || destination ? new Map() : null;
  const place = (i) => {
    const into = destination && moving?.[i] ? destination : null;
    const p = placeFor(items[i].dir, newNames[i], { folders, destination: into, root });
    if (!p || p.path === joinPath(items[i].dir, nameOf(i))) return false;
    placed.set(i, p);
    return true;
  };
  let anyRenamed = false;
  for (let i = 0; i < n; i++) {
    if (stays[i]) continue;
    if (tags && tags[i]) for (const t of tags[i]) if (t.includes(',')) add(i, 'tagComma', t);
    const named = !isName(i, newNames[i]);
    if ((placed && (named || moving?.[i]) && place(i)) || named) { renamed[i] = 1; anyRenamed = true; }
  }

  if (anyRenamed) {
    // The renamed items by folder and lower-cased new name: exact duplicates
    // and case-only twins share a bucket, so one lookup answers both. Items
    // that stay are then looked up in it.
    // a placed name is checked by its last part, in its folder
    let finals = newNames;
    let dirOf = (i) => items[i].dir;
    if (placed?.size) {
      finals = Array.from(newNames, (name, i) => placed.get(i)?.name ?? name);
      dirOf = (i) => placed.get(i)?.dir ?? items[i].dir;
      // a listed file where a folder of the new place would be
      const files = filePaths(items, nameOf);
      for (const [i, p] of placed) {
        for (const part of newNames[i].split('/').slice(0, -1)) if (utf8Length(part) > MAX_NAME_BYTES) add(i, 'tooLong', utf8Length(part));
        if (p.outside) add(i, 'outside');
        for (let d = p.dir; d !== '/' && d !== ''; d = d.slice(0, d.lastIndexOf('/')) || '/') {
          if (files.has(d)) { add(i, 'notAFolder', d.slice(d.lastIndexOf('/') + 1)); break; }
        }
      }
    }
    const buckets = NameBuckets.take(n, finals);
    const shared = []; // renamed items whose bucket holds more than one
    let lastDir = null;
    let dirId = -1;
    const dirs = new Map();
    for (let i = 0; i < n; i++) {
      if (!renamed[i]) continue;
      const dir = dirOf(i);
      if (dir !== lastDir) {
        lastDir = dir;
        dirId = dirs.get(dir);
        if (dirId === undefined) dirs.set(dir, (dirId = dirs.size));
      }
      const fin = finals[i];
      const h = scan(dirId, fin);
      const flags = scanned;
      const first = buckets.add(dirId, h, !(flags & WIDE), i);
      if (first >= 0) {
        if (first !== buckets.prev(i)) shared.push(i);
        else shared.push(first, i);
      }
      checkName(i, firstOf(i), fin, add, flags);
      if (strict(dir) && mayNotPort(fin, flags)) { const why = portableProblem(fin); if (why) add(i, 'portable', why); }
      if (missing && missing[i]) for (const what of missing[i]) add(i, what === 'date taken' ? 'noTaken' : 'missing', what === 'date taken' ? undefined : what);
      if (taken && taken(dir, fin)) add(i, 'unlisted', fin);
    }
    lastDir = null;
    for (let i = 0; i < n; i++) {
      if (renamed[i] && !copy) continue;
      const item = items[i];
      if (item.dir !== lastDir) { lastDir = item.dir; dirId = dirs.get(lastDir); }
      if (dirId === undefined) continue;
      const name = nameOf(i);
      for (let j = buckets.find(dirId, name); j >= 0; j = buckets.next[j]) {
        if (finals[j] === name) add(j, 'exists', name); else caseTwin(j, lastDir, name);
      }
    }
    // each bucket counted once: 100,000 rows onto one name walked it per row
    const counted = new Map(); // first item -> {counts: name -> rows, names: its names in order}
    for (const i of shared) {
      const head = buckets.head(i);
      let b = counted.get(head);
      if (!b) {
        b = { counts: new Map(), names: [] };
        for (let j = head; j >= 0; j = buckets.next[j]) {
          const n = b.counts.get(finals[j]);
          if (n === undefined) b.names.push(finals[j]);
          b.counts.set(finals[j], (n || 0) + 1);
        }
        counted.set(head, b);
      }
      const fin = finals[i];
      const same = b.counts.get(fin);
      const twin = b.names.find((name) => name !== fin);
      const p = problems[i];
      if (same > 1 && !(p && p.some(([c]) => c === 'exists'))) add(i, 'dup', same);
      if (twin !== undefined && !(p && p.some(([c]) => c === 'case'))) caseTwin(i, dirOf(i), twin);
    }
    buckets.release();
  }

  if (groups) blockGroups(groups, renamed, problems, nameOf, add);

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

/** The volume of `dir`: its own, else that of the nearest folder above it that was asked about (a folder a batch makes). */
function volumeAt(volumes, dir) {
  for (let d = dir; d; d = d === '/' ? '' : d.slice(0, d.lastIndexOf('/')) || '/') if (volumes[d]) return volumes[d];
  return undefined;
}

/** Gives every renamed companion of a row with an error the error `companion`, naming that row. */
function blockGroups(groups, renamed, problems, nameOf, add) {
  const blocked = new Map(); // main item -> the first member with an error
  for (let i = 0; i < groups.length; i++) if (!blocked.has(groups[i]) && severityOf(problems[i]) === 'error') blocked.set(groups[i], i);
  if (!blocked.size) return;
  for (let j = 0; j < groups.length; j++) {
    const by = blocked.get(groups[j]);
    if (by !== undefined && by !== j && renamed[j] && severityOf(problems[j]) !== 'error') add(j, 'companion', nameOf(by));
  }
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
export function skipErrorRows(items, newNames, { skip = null, check = null, ...options } = {}) {
  const flags = skip ? Uint8Array.from(skip) : new Uint8Array(items.length);
  for (;;) {
    if (!check) check = checkConflicts(items, newNames, { ...options, skip: flags });
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

// numbering colliding names apart asks this check which rows collide
export { makeUnique } from './unique.js';
