// One preview: which items are shown and in what order, their new names, and
// every problem of the batch they would make. The same function runs in the
// preview worker (large listings) and on the main thread (small ones).
// Pure: no DOM.

import { compileChain, evaluateAll } from './rules.js';
import { checkConflicts, skipErrorRows, isInvalidUtf8 } from './conflicts.js';
import { filterItems, sortIndexes, textMatcher } from './filter.js';
import { joinPath } from './text.js';

/**
 * `edits`: Map item index -> {tags?, label?} of pending metadata; `selection`:
 * the selected indexes when only they are renamed; `taken`: paths held by
 * items that are not listed; `previousNames`: the last new names, which a
 * sort by new name follows.
 */
export function computePreview({ items, rules, scope = 'all', selection = null, filter, sort, edits = new Map(), taken = null, previousNames = null }) {
  const tagsOf = (i) => edits.get(i)?.tags ?? items[i].tags;
  const labelOf = (i) => edits.get(i)?.label ?? items[i].label;
  const filterError = textMatcher(filter.text || '', filter.mode || 'text').error;
  const base = filterItems(items, filter, tagsOf, labelOf);
  sortIndexes(base, items, sort.key, sort.dir, previousNames || []);
  const chosen = scope === 'selection' && selection ? new Set(selection) : null;
  const order = chosen ? base.filter((i) => chosen.has(i)) : base;

  const chain = compileChain(rules);
  const newNames = items.map((it) => it.name);
  evaluateAll(chain, items, order, newNames);
  // a name that cannot be sent back exactly is never renamed
  for (const i of order) if (newNames[i] !== items[i].name && isInvalidUtf8(items[i].name)) newNames[i] = items[i].name;

  const tags = new Array(items.length);
  for (const [i, e] of edits) if (e.tags) tags[i] = e.tags;
  const isTaken = taken && taken.size ? (dir, name) => taken.has(joinPath(dir, name)) : null;
  const check = checkConflicts(items, newNames, { tags, taken: isTaken });
  // apply can only go ahead with these rows skipped, so the counts shown leave them out too
  const leftOut = check.errors ? skipErrorRows(items, newNames, { tags, taken: isTaken, check }).skip : null;
  return { base: Int32Array.from(base), newNames, check, leftOut, chainErrors: chain.errors, filterError };
}
