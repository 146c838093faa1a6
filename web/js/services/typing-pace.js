// Keys in a rule's field: the first is taken at once, the ones typed before
// the page has painted it wait for that paint and are taken together. A
// machine slower than the typist then makes one preview a frame, not one a
// key, and the echo keeps up. `flush` takes a waiting edit at once: every
// other intent calls it first, so nothing reads a chain a key behind.

const afterPaint = (fn) => {
  let done = false;
  const once = () => { if (!done) { done = true; fn(); } };
  requestAnimationFrame(() => setTimeout(once));
  setTimeout(once, 100); // no frames come while the window is hidden
};

export function paceEdits(apply) {
  let held = null; // {id, patch}
  let painting = false;
  function flush() {
    const edit = held;
    held = null;
    if (edit) apply(edit.id, edit.patch);
  }
  function edit(id, patch) {
    if (held && held.id !== id) flush();
    if (painting) { held = { id, patch: { ...held?.patch, ...patch } }; return; }
    apply(id, patch);
    painting = true;
    afterPaint(() => {
      painting = false;
      const next = held;
      held = null;
      if (next) edit(next.id, next.patch);
    });
  }
  return { edit, flush };
}
