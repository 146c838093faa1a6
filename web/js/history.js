// Undo and redo stacks of applied batches. Pure: every function returns new stacks.

export const emptyHistory = () => ({ undo: [], redo: [] });

/** A batch applied by the user: undoable, and nothing left to redo. */
export const applied = (h, record) => (record ? { undo: [...h.undo, record], redo: [] } : h);

/** The batch at the top of `which` ("undo" or "redo"), or null. */
export const top = (h, which) => h[which][h[which].length - 1] || null;

/**
 * `batch` was taken off `which` and run; `record` is what undoes that run,
 * kept on the other stack.
 */
export function ran(h, which, batch, record) {
  const other = which === 'undo' ? 'redo' : 'undo';
  const out = { ...h, [which]: h[which].filter((b) => b !== batch) };
  if (record) out[other] = [...h[other], record];
  return out;
}
