// Settings: read once at start, saved a moment after a change. The last
// batch of older settings is read once, as the batch to undo; the journal
// keeps batches now.

import { parseConfig, serializeConfig } from '../config.js';
import { t } from '../i18n/index.js';

const SAVE_DELAY = 500;

export function createSettings({ store, bridge, toast }) {
  let timer = 0;
  let saving = Promise.resolve();
  let lastError = '';

  function saveNow() {
    clearTimeout(timer);
    timer = 0;
    saving = save();
    return saving;
  }

  async function save() {
    const { text } = serializeConfig(store.state.config);
    try {
      await bridge.savePrefs(text);
      lastError = '';
    } catch (e) {
      if (e.message !== lastError) toast(t('toast.settingsNotSaved', { reason: e.message }), 'error', 10000);
      lastError = e.message;
    }
  }

  // At most a moment after the first change not yet saved: changes that
  // keep coming (typing, a drag) never put the save off for good.
  store.subscribe(['config'], (state) => {
    if (!state.loading && !timer) timer = setTimeout(saveNow, SAVE_DELAY);
  });

  return {
    /** Saves a change still waiting at once; resolves when what is saved is on disk. */
    flush: () => (timer ? saveNow() : saving),
    async load() {
      let saved = null;
      try {
        saved = (await bridge.loadPrefs())?.data ?? null;
      } catch (e) {
        toast(t('toast.settingsNotLoaded', { reason: e.message }), 'error');
      }
      store.dispatch('configLoaded', { config: parseConfig(saved) });
    },
  };
}
