// Pending metadata edits: path -> {tags?, label?, comment?}, only the fields
// that differ from the item on disk. Pure: every function returns a new map.

const sameTags = (a, b) => a.length === b.length && a.every((t, j) => t === b[j]);

/** The tags, label and comment an item will have, with its pending edit. */
export function effective(edits, item) {
  const e = edits.get(item.path);
  return { tags: e?.tags ?? item.tags, label: e?.label ?? item.label, comment: e?.comment ?? item.comment };
}

/**
 * Edits `change(current, item)` for each of `items`: it returns the fields to
 * set ({tags?, label?, comment?}). A field set back to the item's own value
 * is no edit any more.
 */
export function editItems(edits, items, change) {
  const out = new Map(edits);
  for (const it of items) {
    const next = change(effective(edits, it), it);
    const edit = { ...(edits.get(it.path) || {}) };
    for (const k of ['tags', 'label', 'comment']) {
      if (next[k] === undefined) continue;
      const same = k === 'tags' ? sameTags(next.tags, it.tags) : next[k] === it[k];
      if (same) delete edit[k];
      else edit[k] = next[k];
    }
    if (Object.keys(edit).length) out.set(it.path, edit);
    else out.delete(it.path);
  }
  return out;
}

/** The edits of `paths` forgotten. */
export function forget(edits, paths) {
  const out = new Map(edits);
  for (const p of paths) out.delete(p);
  return out;
}

/** The tag list typed in the tag field: ";"-separated, trimmed, empties dropped. */
export const parseTags = (text) => text.split(';').map((t) => t.trim()).filter(Boolean);

/**
 * An item's pending edit with what a rule made from its name (`rule`,
 * {tags, label, comment}): the rule's tags join the tags, its label and
 * comment apply where the panel set none. Undefined when nothing changes.
 */
export function withRuleMeta(item, rule, edit) {
  if (!rule) return edit;
  const out = { ...edit };
  if (rule.tags) {
    const before = edit?.tags ?? item.tags;
    const tags = [...new Set([...before, ...rule.tags])];
    if (edit?.tags || tags.length !== before.length) out.tags = tags;
  }
  if (rule.label !== undefined && edit?.label === undefined && rule.label !== item.label) out.label = rule.label;
  if (rule.comment !== undefined && edit?.comment === undefined && rule.comment !== item.comment) out.comment = rule.comment;
  return Object.keys(out).length ? out : undefined;
}
