// Settings: read once at start, saved a moment after each change. The last
// batch of older settings is read once, as the batch to undo; the journal
// keeps batches now.

import { parseConfig, serializeConfig } from '../config.js';
import { t } from '../i18n/index.js';

const SAVE_DELAY = 500;

export function createSettings({ store, bridge, toast }) {
  let timer = 0;
  let lastError = '';

  async function saveNow() {
    const { text } = serializeConfig(store.state.config);
    try {
      await bridge.savePrefs(text);
      lastError = '';
    } catch (e) {
      if (e.message !== lastError) toast(t('toast.settingsNotSaved', { reason: e.message }), 'error', 10000);
      lastError = e.message;
    }
  }

  store.subscribe(['config'], (state) => {
    if (state.loading) return;
    clearTimeout(timer);
    timer = setTimeout(saveNow, SAVE_DELAY);
  });

  return {
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
