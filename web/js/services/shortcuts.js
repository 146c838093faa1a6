// The keyboard shortcuts of the whole page: one table, one handler. Keys the
// focused control uses itself (Ctrl+Z in a text field) are left to it.

/**
 * Each entry: [key (lower case for letters), modifiers, intent name,
 * anywhere]. Modifiers: "ctrl", "ctrl+shift", "alt" or "". Entries without
 * `anywhere` do not act while a text field has the focus.
 */
export const KEYS = [
  ['o', 'ctrl', 'choose', true],
  ['l', 'ctrl', 'editPath', true],
  ['f', 'ctrl', 'focusFilter', true],
  ['n', 'ctrl', 'openAddMenu', true],
  ['e', 'ctrl', 'reveal', true],
  ['h', 'ctrl', 'openHistory', true],
  ['Enter', 'ctrl', 'apply', true],
  ['z', 'ctrl', 'undo', false],
  ['z', 'ctrl+shift', 'redo', false],
  ['a', 'ctrl', 'selectAll', false],
  ['F5', '', 'reload', true],
  ['1', 'alt', 'filesMode', true],
  ['2', 'alt', 'foldersMode', true],
  ['3', 'alt', 'treeMode', true],
];

const modifiersOf = (e) => [(e.ctrlKey || e.metaKey) && 'ctrl', e.shiftKey && 'shift', e.altKey && 'alt'].filter(Boolean).join('+');

/** The intent a key event asks for, or null. */
export function intentFor(e, inText) {
  const key = e.key.length === 1 ? e.key.toLowerCase() : e.key;
  const mods = modifiersOf(e);
  for (const [k, m, intent, anywhere] of KEYS) {
    if (k === key && m === mods && (anywhere || !inText)) return intent;
  }
  return null;
}

/** Binds the handler on `target`; `blocked()` is true while a sheet is open. */
export function bindShortcuts({ target, intents, inText, blocked }) {
  target.addEventListener('keydown', (e) => {
    if (blocked()) return;
    const intent = intentFor(e, inText());
    if (intent) {
      e.preventDefault();
      intents[intent]();
    } else if (e.key === 'Escape') {
      intents.escape(); // closes menus and stops a batch; the key stays the focused control's too
    }
  });
}
