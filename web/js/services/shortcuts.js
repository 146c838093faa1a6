// The keyboard shortcuts of the whole page, from the one table of keys
// (web/shortcuts.json, which the window's menu and its Keyboard Shortcuts
// window are built from too), and one handler. Keys the focused control uses
// itself (Ctrl+Z in a text field) are left to it.

const MODIFIERS = { '<Primary>': 'ctrl', '<Shift>': 'shift', '<Alt>': 'alt' };

/**
 * The page's keys of the table: [key (lower case for letters), modifiers,
 * intent name, anywhere]. Modifiers: "ctrl", "ctrl+shift", "alt" or "".
 * Entries without `anywhere` do not act while a text field has the focus.
 */
export function keysFrom(table) {
  const keys = [];
  for (const group of table?.groups ?? []) {
    for (const { accel, page, anywhere } of group.keys ?? []) {
      if (!page) continue;
      const mods = [];
      let rest = accel;
      for (let m = rest.match(/^<[A-Za-z]+>/); m; m = rest.match(/^<[A-Za-z]+>/)) {
        mods.push(MODIFIERS[m[0]]);
        rest = rest.slice(m[0].length);
      }
      const key = rest === 'Return' ? 'Enter' : rest.length === 1 ? rest.toLowerCase() : rest;
      keys.push([key, mods.join('+'), page, anywhere === true]);
    }
  }
  return keys;
}

const modifiersOf = (e) => [(e.ctrlKey || e.metaKey) && 'ctrl', e.shiftKey && 'shift', e.altKey && 'alt'].filter(Boolean).join('+');

/** The intent a key event asks for among `keys` (keysFrom), or null. */
export function intentFor(e, inText, keys) {
  const key = e.key.length === 1 ? e.key.toLowerCase() : e.key;
  const mods = modifiersOf(e);
  for (const [k, m, intent, anywhere] of keys) {
    if (k === key && m === mods && (anywhere || !inText)) return intent;
  }
  return null;
}

/** Binds the handler of `keys` on `target`; `blocked()` is true while a sheet is open. */
export function bindShortcuts({ target, keys, intents, inText, blocked }) {
  target.addEventListener('keydown', (e) => {
    if (blocked()) return;
    const intent = intentFor(e, inText(), keys);
    if (intent) {
      e.preventDefault();
      intents[intent]();
    } else if (e.key === 'Escape') {
      intents.escape(); // closes menus and stops a batch; the key stays the focused control's too
    }
  });
}
