// Turns intended changes into the ordered operation records of an apply. The
// native side runs them one by one and never replaces an item, so a rename
// onto a name that is still taken must wait until that item has moved away;
// cycles go through a temporary name. Pure: no DOM.

import { joinPath } from './text.js';
import { t } from './i18n/index.js';

/** Prefix of the page's temporary names: hidden, so listings never show them. */
export const TEMP_PREFIX = '.qt-swap-';

export function randomToken() {
  const bytes = new Uint8Array(6);
  globalThis.crypto.getRandomValues(bytes);
  return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
}

export function isTempName(name) {
  return name.startsWith(TEMP_PREFIX);
}

/** The metadata members of an operation record for `meta` ({tags?, label?, comment?}). */
function metaFields(meta) {
  const out = {};
  if (!meta) return out;
  if (meta.tags !== undefined) { out.setTags = true; out.tags = meta.tags.slice(); }
  if (meta.label !== undefined) { out.setLabel = true; out.label = meta.label; }
  if (meta.comment !== undefined) { out.setComment = true; out.comment = meta.comment; }
  return out;
}

/**
 * Plans a batch. `changes[i]` is {key, dir, name, newName, meta}: the item named
 * `name` in folder `dir` is to be called `newName` (equal to `name` for a
 * metadata-only change) and get `meta`. New names must be unique per folder and
 * must not be taken by items that stay (the conflict check sees to that).
 * `occupied(dir)` may give further names known to exist in a folder, which a
 * temporary name must avoid.
 *
 * Returns {ops, steps, groups}: `ops` are the operation records in order;
 * `steps[k]` = {key, final, temp} tells which change `ops[k]` belongs to and
 * whether it brings the item to its final name; `groups[k]` is the group of
 * `ops[k]`: a cycle's operations share one group and must be sent together.
 */
export function planBatch(changes, { token = randomToken(), occupied = null } = {}) {
  const ops = [];
  const steps = [];
  const groups = [];
  let group = 0;
  let tempCount = 0;

  const byDir = new Map();
  for (const c of changes) {
    if (c.newName === c.name) {
      ops.push({ path: joinPath(c.dir, c.name), ...metaFields(c.meta) });
      steps.push({ key: c.key, final: true, temp: false });
      groups.push(group++);
      continue;
    }
    let list = byDir.get(c.dir);
    if (!list) byDir.set(c.dir, (list = []));
    list.push(c);
  }

  for (const [dir, list] of byDir) {
    const bySource = new Map();
    const byTarget = new Map();
    for (const c of list) {
      if (bySource.has(c.name)) throw new Error(`two changes for "${c.name}" in ${dir}`);
      if (byTarget.has(c.newName)) throw new Error(`two items renamed to "${c.newName}" in ${dir}`);
      bySource.set(c.name, c);
      byTarget.set(c.newName, c);
    }
    const done = new Set();
    const emit = (c) => {
      ops.push({ path: joinPath(dir, c.name), newName: c.newName, ...metaFields(c.meta) });
      steps.push({ key: c.key, final: true, temp: false });
      groups.push(group++);
      done.add(c);
    };
    // Chains: a change whose target no pending item holds can go now; that frees
    // its old name for the change waiting on it, and so on down the chain.
    for (const c of list) {
      if (done.has(c)) continue;
      const blocker = bySource.get(c.newName);
      if (blocker && !done.has(blocker)) continue;
      let cur = c;
      while (cur && !done.has(cur)) {
        emit(cur);
        cur = byTarget.get(cur.name);
      }
    }
    // What is left are cycles: park one item under a temporary name, run the
    // cycle's chain, then bring the parked item to its target.
    const taken = occupied ? occupied(dir) : null;
    for (const c of list) {
      if (done.has(c)) continue;
      let temp;
      do temp = `${TEMP_PREFIX}${token}-${tempCount++}`;
      while (bySource.has(temp) || byTarget.has(temp) || (taken && taken.has(temp)));
      const g = group++;
      ops.push({ path: joinPath(dir, c.name), newName: temp });
      steps.push({ key: c.key, final: false, temp: true });
      groups.push(g);
      done.add(c);
      for (let cur = byTarget.get(c.name); cur !== c; cur = byTarget.get(cur.name)) {
        ops.push({ path: joinPath(dir, cur.name), newName: cur.newName, ...metaFields(cur.meta) });
        steps.push({ key: cur.key, final: true, temp: false });
        groups.push(g);
        done.add(cur);
      }
      ops.push({ path: joinPath(dir, temp), newName: c.newName, ...metaFields(c.meta) });
      steps.push({ key: c.key, final: true, temp: false });
      groups.push(g);
    }
  }
  return { ops, steps, groups };
}

/** Splits a plan into chunks of about `size` operations without cutting a group: [start, end) pairs. */
export function chunkPlan(plan, size = 250) {
  const chunks = [];
  const n = plan.ops.length;
  let start = 0;
  while (start < n) {
    let end = Math.min(n, start + size);
    while (end < n && plan.groups[end] === plan.groups[end - 1]) end++;
    chunks.push([start, end]);
    start = end;
  }
  return chunks;
}

/**
 * Follows every change through the results of the operations that were sent
 * (results.length may be less than ops.length when the batch was stopped).
 * Returns a Map key -> {ok, error, path, sent, stranded}: `path` is where the
 * item is now, `stranded` marks an item left under a temporary name.
 */
export function followResults(plan, results, changes) {
  const out = new Map();
  for (const c of changes) {
    out.set(c.key, { ok: false, error: '', path: joinPath(c.dir, c.name), sent: false, stranded: false, renamed: false });
  }
  const n = Math.min(results.length, plan.ops.length);
  for (let k = 0; k < n; k++) {
    const step = plan.steps[k];
    const r = results[k] || {};
    const o = out.get(step.key);
    o.sent = true;
    if (typeof r.newPath === 'string') o.path = r.newPath;
    if (r.ok === true) {
      if (step.final && !o.error) o.ok = true;
    } else {
      o.ok = false;
      if (!o.error) o.error = typeof r.error === 'string' && r.error ? r.error : t('batch.opNoResult');
    }
  }
  for (const c of changes) {
    const o = out.get(c.key);
    if (!o.ok && !o.error) o.error = t('batch.notSent');
    o.renamed = o.path !== joinPath(c.dir, c.name);
    o.stranded = isTempName(o.path.slice(o.path.lastIndexOf('/') + 1));
  }
  return out;
}

/**
 * Operations that bring items stranded under a temporary name (after a failure
 * in the middle of a cycle) to their old name, or else to their intended one,
 * whichever no item of the batch holds now. An item whose two names are both
 * held stays where it is, and is reported so.
 */
export function rescueOps(changes, outcomes) {
  const held = new Set();
  for (const c of changes) held.add(outcomes.get(c.key)?.path ?? joinPath(c.dir, c.name));
  const ops = [];
  const keys = [];
  for (const c of changes) {
    const o = outcomes.get(c.key);
    if (!o || !o.stranded) continue;
    const name = [c.name, c.newName].find((n) => !held.has(joinPath(c.dir, n)));
    if (name === undefined) continue;
    held.add(joinPath(c.dir, name));
    ops.push({ path: o.path, newName: name });
    keys.push(c.key);
  }
  return { ops, keys };
}
