// Batches: what Undo and Redo offer, and the changes that undo, redo or
// finish a batch the journal kept.
// Pure: no DOM.

import { dirOf, joinPath } from './text.js';
import { pathArg } from './bytes.js';
import { t } from './i18n/index.js';

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1);

/**
 * What Undo and Redo offer, from the journal's batches (newest first): each
 * batch goes on the undo stack and empties the redo stack; one that reverses
 * (`undoes`) a batch on the undo stack is an undo and goes on the redo stack;
 * one that reverses an undo there is a redo and goes back on the undo stack.
 * A batch that changed nothing offers nothing. Returns {undo, redo}: the tops.
 */
export function undoStacks(batches) {
  const undo = [], redo = [];
  for (const b of batches.slice().reverse()) {
    if (!b.done) continue;
    const u = b.undoes ? undo.findIndex((x) => x.id === b.undoes) : -1;
    const r = b.undoes && u < 0 ? redo.findIndex((x) => x.id === b.undoes) : -1;
    if (u >= 0) { undo.splice(u, 1); redo.push(b); }
    else if (r >= 0) { redo.splice(r, 1); undo.push(b); }
    else { undo.push(b); redo.length = 0; }
  }
  return { undo: undo.at(-1) ?? null, redo: redo.at(-1) ?? null };
}

/** Changes that undo a batch read back from the journal (recordFromJournal), for runBatch. */
export function batchChanges(record) {
  // keyed by the item's path now, so that a listed row can be found again
  return record.changes.map((c) => {
    const at = c.toDir ?? c.dir;
    return { key: joinPath(at, c.to), dir: at, name: c.to, newName: c.from, meta: c.before, ...(at !== c.dir ? { newDir: c.dir } : {}) };
  });
}

/** What became of a journal batch's items: "2,250 done · 3 failed · 17,750 not run". */
export function batchCounts(b) {
  return [t('history.done', { count: b.done }), b.failed && t('history.failedN', { count: b.failed }), b.notRun && t('history.notRunN', { count: b.notRun })].filter(Boolean).join(' · ');
}

/** Whether a change takes its item into another folder. */
export const changesFolder = (c) => c.newDir !== undefined && c.newDir !== c.dir;

/** Whether a change gives its item a new name or folder. */
export const moves = (c) => c.newName !== c.name || changesFolder(c);

/** A change as runBatch takes it: the item's path, its new path, its new metadata. */
export function changeRecord(c) {
  const out = pathArg(joinPath(c.dir, c.name));
  if (moves(c)) Object.assign(out, pathArg(joinPath(c.newDir ?? c.dir, c.newName), 'newPath', 'rawNewPath'));
  const m = c.meta;
  if (m?.tags !== undefined) { out.setTags = true; out.tags = m.tags.slice(); }
  if (m?.label !== undefined) { out.setLabel = true; out.label = m.label; }
  if (m?.comment !== undefined) { out.setComment = true; out.comment = m.comment; }
  return out;
}

/** Counts for a summary line: renames and metadata changes among `changes`. */
export function countChanges(changes) {
  let renames = 0, meta = 0;
  for (const c of changes) {
    if (moves(c)) renames++;
    if (c.meta && Object.keys(c.meta).length) meta++;
  }
  return { renames, meta };
}

// The metadata a journal entry set (prefix ''), or what it had before in
// those same fields (prefix 'old').
const metaOf = (e, prefix) => {
  const m = {};
  const key = (k) => (prefix ? `${prefix}${k[0].toUpperCase()}${k.slice(1)}` : k);
  for (const k of ['tags', 'label', 'comment']) if (e[k] !== undefined && e[key(k)] !== undefined) m[k] = e[key(k)];
  return Object.keys(m).length ? m : undefined;
};

// Journal entries grouped by item: an entry continues the chain whose last
// step ended at its path (a swap passes through a temporary name). `start`
// makes a chain from its first entry, `step` adds each entry to it.
function chainsOf(entries, endOf, start, step) {
  const open = new Map();
  const chains = [];
  for (const e of entries) {
    let c = open.get(e.path);
    if (c) open.delete(e.path);
    else chains.push((c = start(e)));
    step(c, e);
    open.set(endOf(e), c);
  }
  return chains;
}

/**
 * The undo record of a batch read back from the journal (readBatch with
 * `locate`). A swap's steps through a temporary name are one change; an item
 * moved since is undone from where it is now; one that is gone, or was left
 * under a temporary name, is counted in `missing`.
 */
export function recordFromJournal(batch, entries) {
  let missing = entries.filter((e) => e.state === 'left').length;
  // a folder the batch made goes when the undo empties it (the native side's part)
  // a copy is not undone by moving it back: its original is still there
  const copies = entries.filter((e) => e.copy && e.state === 'done').length;
  const changes = chainsOf(entries.filter((e) => e.state === 'done' && !e.makeFolder && !e.removeFolder && !e.copy), (e) => e.newPath ?? e.path,
    (e) => ({ dir: dirOf(e.path), from: baseName(e.path), to: baseName(e.path), toDir: dirOf(e.path), before: undefined, after: undefined, now: e.now }),
    (c, e) => {
      c.to = baseName(e.newPath ?? e.path);
      c.toDir = dirOf(e.newPath ?? e.path);
      c.now = e.now;
      const before = metaOf(e, 'old');
      if (before) { c.before = { ...before, ...c.before }; c.after = { ...c.after, ...metaOf(e, '') }; }
    });
  const kept = [];
  for (const { now, ...c } of changes) {
    if (now === null || (now && dirOf(now) !== c.toDir)) { missing++; continue; }
    if (now) c.to = baseName(now);
    if (c.from === c.to && c.dir === c.toDir && !c.before) continue;
    kept.push(c);
  }
  return { title: batch.title || t('batch.aBatch'), when: batch.started, folder: batch.folder || kept[0]?.dir || '', changes: kept, id: batch.id, missing, copies };
}

/**
 * The changes that finish a batch a crash cut short: each item whose steps
 * did not all run goes from where it is now to the name the batch meant,
 * with the metadata its unrun steps meant to set.
 */
export function finishChanges(entries) {
  const targetOf = (e) => (e.newName !== undefined ? joinPath(e.newFolder ?? dirOf(e.path), e.newName) : e.path);
  // folders are made by the engine as the moves need them; a copy left its original whole
  const chains = chainsOf(entries.filter((e) => !e.makeFolder && !e.removeFolder && !e.copy), targetOf,
    () => ({ at: null, meta: undefined }),
    (c, e) => {
      if (['planned', 'notRun', 'left'].includes(e.state)) {
        c.at ??= e.newPath ?? e.path;
        const meta = metaOf(e, '');
        if (meta) c.meta = { ...c.meta, ...meta };
      }
      c.final = targetOf(e);
    });
  return chains
    .filter((c) => c.at && (c.at !== c.final || c.meta))
    .map((c) => ({ key: c.at, dir: dirOf(c.at), name: baseName(c.at), newName: baseName(c.final), meta: c.meta, ...(dirOf(c.final) !== dirOf(c.at) ? { newDir: dirOf(c.final) } : {}) }));
}
