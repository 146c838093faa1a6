// One preview: which items are shown and in what order, their new names, and
// every problem of the batch they would make. The same function runs in the
// preview worker (large listings) and on the main thread (small ones); the
// result crosses between them packed (one string for all names, the problem
// rows only), which costs a fraction of cloning 100,000 strings and a sparse
// array. Pure: no DOM.

import { compileChain, evaluateAll } from './rules.js';
import { checkConflicts, skipErrorRows, severityOf, makeUnique } from './conflicts.js';
import { COLLISIONS, DUPLICATE_TAG } from './unique.js';
import { withRuleMeta } from './edits.js';
import { filterItems, sortIndexes, textMatcher } from './filter.js';
import { joinPath } from './text.js';
import { placeFor } from './folders.js';
import { companionCount, companionGroups, companionName, knownCompanionGroups } from './companions.js';
import { CodeList, codeUnits } from './names.js';

/** What the status strip counts; `sent` is how many changes an apply sends. */
function countRows(items, check, leftOut, edited) {
  let renames = 0, meta = 0, errors = 0, warnings = 0, skipped = 0, changed = 0, sent = 0;
  for (let i = 0; i < items.length; i++) {
    const hasMeta = edited.has(i);
    const touched = check.renamed[i] === 1 || hasMeta;
    if (touched) changed++;
    if (touched && !(leftOut && leftOut[i])) sent++;
    const sev = severityOf(check.problems[i]);
    if (sev === 'skip') { skipped++; continue; }
    if (check.renamed[i]) renames++;
    if (hasMeta) meta++;
    if (sev === 'error') errors++;
    else if (sev === 'warning') warnings++;
  }
  return { renames, meta, errors, warnings, skipped, unchanged: items.length - changed - skipped, sent };
}

/**
 * `edits`: Map item index -> {tags?, label?} of pending metadata, `edited`:
 * the indexes with any pending edit; `selection`: the selected indexes when
 * only they are renamed; `taken`: paths held by items that are not listed;
 * `previousNames(i)`: the last new name of item i, which a sort by new name
 * follows; `dateTaken`: each item's date taken in milliseconds (0 where the
 * file has none), when a rule or the sort uses it; `media`: what `readMedia`
 * answered for each item, when a rule uses it; `names` (a NameList), the
 * items' names where they are held as one text; `folders`: names may make
 * folders below `root` (the listed folder); `destination`: the folder the
 * items the rules act on move into; `copy`: the originals stay; `unique`:
 * the pattern ("{k}") that numbers colliding names apart, null to leave them;
 * `tagDuplicates`: a row whose name is held by a file with its content
 * (equal size and `media[i].hash.sha256`) is tagged instead of numbered;
 * `companions`: companion files follow their group's main item; `portable`
 * and `volumes`: checkConflicts'. `companionsLater`: unless the option
 * needs them, a listing's companions not found yet are not looked for, and
 * `found.companions` is null (a million items take most of a second).
 */
export function computePreview({ items, names = null, rules, scope = 'all', selection = null, filter, sort, edits = new Map(), edited = null, taken = null, previousNames = null, dateTaken = null, media = null, folders = false, root = null, destination = null, copy = false, unique = null, tagDuplicates = false, companions = false, portable = false, volumes = null, companionsLater = false }) {
  const tagsOf = (i) => edits.get(i)?.tags ?? items[i].tags;
  const labelOf = (i) => edits.get(i)?.label ?? items[i].label;
  const filterError = textMatcher(filter.text || '', filter.mode || 'text').error || textMatcher(filter.exclude || '', filter.mode || 'text').error;
  const base = filterItems(items, filter, tagsOf, labelOf);
  // names that move items sort by their new place: the rows group by folder
  const previousPlaces = previousNames && (folders || destination)
    ? (i) => {
      const name = previousNames(i);
      return name == null ? name : placeFor(items[i].dir, name, { folders, destination })?.path ?? joinPath(items[i].dir, name);
    }
    : previousNames;
  sortIndexes(base, items, sort.key, sort.dir, previousPlaces, dateTaken);
  const chosen = scope === 'selection' && selection ? new Set(selection) : null;
  const order = chosen ? base.filter((i) => chosen.has(i)) : base;

  const chain = compileChain(rules, { folders });
  // only the new names are made: an unchanged one is read where it is
  let newNames = new Array(items.length);
  const missing = [];
  // with companions the rules run on each group's main item, once a group
  const allGroups = companions || !companionsLater ? companionGroups(items) : knownCompanionGroups(items);
  const groups = companions ? allGroups : null;
  const runOn = groups ? mainsOf(groups, order) : order;
  const ruleMeta = [];
  evaluateAll(chain, items, runOn, newNames, { taken: dateTaken, media, missing, meta: ruleMeta });
  for (let i = 0; i < items.length; i++) if (newNames[i] === undefined) newNames[i] = items[i].name;

  const tags = new Array(items.length);
  for (const [i, e] of edits) if (e.tags) tags[i] = e.tags;
  const isTaken = taken && taken.size ? (dir, name) => taken.has(joinPath(dir, name)) : null;
  let moving = null;
  if (destination) {
    moving = new Uint8Array(items.length);
    for (const i of order) moving[i] = 1;
    if (groups) for (let j = 0; j < items.length; j++) if (moving[groups[j]]) moving[j] = 1;
  }
  const options = { tags, taken: isTaken, missing, names, folders, root, destination, moving, copy, groups, portable, volumes };
  // the companions follow their main item's new name, each with its own ending
  if (groups) {
    const ran = new Uint8Array(items.length);
    for (const g of runOn) ran[g] = 1;
    for (let j = 0; j < items.length; j++) if (groups[j] !== j && ran[groups[j]]) newNames[j] = companionName(items[j], newNames[groups[j]]);
  }
  let check = checkConflicts(items, newNames, options);
  // files that may hold the same bytes, whose digests would tell
  const twins = new Set();
  const duplicates = new Set();
  if (unique !== null) {
    const same = tagDuplicates ? sameContent(items, media, twins) : null;
    const numbered = makeUnique(items, newNames, { ...options, pattern: unique, order: runOn, check, same, duplicates });
    if (numbered !== newNames) check = checkConflicts(items, (newNames = numbered), options);
  }
  for (const i of duplicates) {
    const tags = ruleMeta[i]?.tags ?? tagsOf(i);
    if (!tags.includes(DUPLICATE_TAG)) ruleMeta[i] = { ...ruleMeta[i], tags: [...tags, DUPLICATE_TAG] };
  }
  // apply can only go ahead with these rows skipped, so the counts shown leave them out too
  const leftOut = check.errors ? skipErrorRows(items, newNames, { ...options, check }).skip : null;
  // metadata a rule made counts where it changes something
  const metaRows = new Map();
  ruleMeta.forEach((m, i) => { if (withRuleMeta(items[i], m, edits.get(i))) metaRows.set(i, m); });
  const editedRows = new Set(edited || edits.keys());
  for (const i of metaRows.keys()) editedRows.add(i);
  const counts = countRows(items, check, leftOut, editedRows);
  // what the panel offers help with: companions to take along, names to number apart
  let collide = 0;
  check.problems.forEach((list) => { if (list.some(([c]) => COLLISIONS.has(c))) collide++; });
  const found = { companions: allGroups ? companionCount(allGroups) : null, collide, twins: [...twins].slice(0, MOST_TWINS) };
  return { base: Int32Array.from(base), newNames, check, leftOut, chainErrors: chain.errors, filterError, counts, found, ruleMeta: metaRows };
}

// digests asked for at once: each reads a whole file
const MOST_TWINS = 2000;

/**
 * Whether two files hold the same bytes: of one size, with one sha256 digest.
 * Files of one size whose digests are not read yet go into `twins`.
 */
function sameContent(items, media, twins) {
  const digest = (i) => media?.[i]?.hash?.sha256;
  return (i, j) => {
    if (items[i].isDir || items[j].isDir || items[i].size !== items[j].size) return false;
    if (digest(i) && digest(j)) return digest(i) === digest(j);
    twins.add(i).add(j);
    return false;
  };
}

/** The main items of the groups with an item in `order`, in the order they first come. */
function mainsOf(groups, order) {
  const seen = new Uint8Array(groups.length);
  const mains = [];
  for (const i of order) if (!seen[groups[i]]) { seen[groups[i]] = 1; mains.push(groups[i]); }
  return mains;
}

/** A preview as one message: its buffers go across without a copy (the transfer list). */
export function pack(p) {
  const { codes, ends } = codeUnits(p.newNames.length, (i) => p.newNames[i]);
  const rows = [];
  const lists = [];
  p.check.problems.forEach((list, i) => { rows.push(i); lists.push(list); });
  const { problems, renamed, ...counts } = p.check; // eslint-disable-line no-unused-vars
  const message = {
    base: p.base, codes, ends, rows: Int32Array.from(rows), lists, renamed, checkCounts: counts,
    leftOut: p.leftOut, chainErrors: p.chainErrors, filterError: p.filterError, rowCounts: p.counts, found: p.found,
    ruleMeta: [...(p.ruleMeta ?? [])],
  };
  const transfer = [message.base.buffer, codes.buffer, ends.buffer, message.rows.buffer, renamed.buffer];
  if (p.leftOut) transfer.push(p.leftOut.buffer);
  return { message, transfer };
}

/** The preview as the page keeps it: `newNames.at(i)`, `check.problems.get(i)`. */
export function unpack(m) {
  const problems = new Map();
  m.rows.forEach((row, k) => problems.set(row, m.lists[k]));
  return {
    base: m.base,
    newNames: new CodeList(m.codes, m.ends),
    check: { problems, renamed: m.renamed, ...m.checkCounts },
    leftOut: m.leftOut,
    chainErrors: m.chainErrors,
    filterError: m.filterError,
    counts: m.rowCounts,
    found: m.found,
    ruleMeta: new Map(m.ruleMeta),
  };
}
