// Toasts and the confirmation sheet: what the page tells the user and asks.

const TOAST_MS = 6000;

export function createNotices({ store }) {
  let answer = null;

  /**
   * `about` 'listing': the toast goes when another listing is shown.
   * `action` {label, run}: a button on it, which also dismisses it.
   */
  function toast(text, kind = 'info', ms = TOAST_MS, about = null, action = null) {
    store.dispatch('toast', { text, kind, about, action });
    const { id } = store.state.toasts[store.state.toasts.length - 1];
    setTimeout(() => store.dispatch('dismissToast', id), ms);
  }

  /**
   * Shows a sheet ({title, paragraphs: [{text, cls}], lines, okText, skipText})
   * and resolves with true when the user confirms it, false otherwise.
   */
  function ask(sheet) {
    if (answer) answer(false); // one sheet at a time: an older question is dropped
    return new Promise((resolve) => {
      answer = (ok) => {
        answer = null;
        store.dispatch('sheetClosed');
        resolve(ok);
      };
      store.dispatch('sheetOpened', sheet);
    });
  }

  return {
    toast,
    ask,
    /** The sheet's answer, as the sheet view reports it. */
    answer: (ok) => answer && answer(ok),
  };
}
