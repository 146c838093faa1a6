// The page's one store: the whole state in one object, changed only by named
// actions, each a pure function (state, payload) -> the top-level keys it
// replaces. Listeners name the keys they draw from and are told after every
// action that replaced one of them. Main thread only.

export function createStore(initial, actions) {
  let state = initial;
  const listeners = new Set();
  return {
    get state() {
      return state;
    },
    /** Runs action `name`; returns the keys it replaced. */
    dispatch(name, payload) {
      const act = actions[name];
      if (!act) throw new Error(`unknown action: ${name}`);
      const patch = act(state, payload);
      if (!patch) return [];
      const keys = Object.keys(patch);
      if (!keys.length) return keys;
      state = { ...state, ...patch };
      for (const l of [...listeners]) if (!l.keys || l.keys.some((k) => keys.includes(k))) l.fn(state, keys);
      return keys;
    },
    /** Calls `fn(state, changedKeys)` after actions that replace one of `keys` (null: any). */
    subscribe(keys, fn) {
      const l = { keys, fn };
      listeners.add(l);
      return () => listeners.delete(l);
    },
  };
}
