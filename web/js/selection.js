// The selection of the list: a set of item indexes, the anchor of range
// selections and the focused row, by view position. Pure: every function
// returns a new selection.

export const emptySelection = () => ({ set: new Set(), anchor: -1, focus: -1 });

/** A click on view row `v` (`view[v]` is its item) with the pointer's modifiers; `part` "check" toggles. */
export function clickRow(sel, view, v, { shift = false, ctrl = false, part = 'row' } = {}) {
  const set = new Set(sel.set);
  let anchor = sel.anchor;
  if (shift && anchor >= 0) {
    if (!ctrl) set.clear();
    for (let k = Math.min(anchor, v); k <= Math.max(anchor, v); k++) set.add(view[k]);
  } else if (ctrl || part === 'check') {
    if (set.has(view[v])) set.delete(view[v]); else set.add(view[v]);
    anchor = v;
  } else {
    set.clear();
    set.add(view[v]);
    anchor = v;
  }
  return { set, anchor, focus: v };
}

/** The focus moved to `to` (clamped); with `extend`, the range from the anchor is selected. */
export function moveFocus(sel, view, to, extend) {
  if (!view.length) return sel;
  const v = Math.max(0, Math.min(view.length - 1, to));
  const set = new Set();
  let anchor = sel.anchor;
  if (extend) {
    if (anchor < 0) anchor = sel.focus >= 0 ? sel.focus : v;
    for (let k = Math.min(anchor, v); k <= Math.max(anchor, v); k++) set.add(view[k]);
  } else {
    set.add(view[v]);
    anchor = v;
  }
  return { set, anchor, focus: v };
}

/** The focused row toggled (the first row focused when none is). */
export function toggleFocused(sel, view) {
  if (sel.focus < 0) return moveFocus(sel, view, 0, false);
  const set = new Set(sel.set);
  const i = view[sel.focus];
  if (set.has(i)) set.delete(i); else set.add(i);
  return { set, anchor: sel.focus, focus: sel.focus };
}

/** Every shown row added to the selection. */
export function selectAll(sel, view) {
  const set = new Set(sel.set);
  for (const i of view) set.add(i);
  return { ...sel, set };
}

/** Whether all, some or none of the shown rows are selected. */
export function coverage(sel, view) {
  const some = sel.set.size > 0;
  let all = view.length > 0 && sel.set.size >= view.length;
  if (all) for (const i of view) if (!sel.set.has(i)) { all = false; break; }
  return { all, some };
}
