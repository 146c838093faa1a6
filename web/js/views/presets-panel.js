// The presets panel: named rule chains saved, loaded, renamed and deleted.

import { $, h, fill, setProp } from '../dom.js';
import { t } from '../i18n/index.js';

export function createPresetsPanel({ store, intents }) {
  const select = $('preset-select');
  const name = $('preset-name');
  const chosen = () => select.value;
  let selected = '';

  const save = () => {
    const n = name.value.trim() || chosen();
    if (n) selected = n; // drawn chosen once saved
    if (intents.savePreset(n)) name.value = '';
    else name.focus();
  };
  $('preset-save').addEventListener('click', save);
  name.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); save(); } });
  $('preset-load').addEventListener('click', () => chosen() && intents.loadPreset(chosen()));
  $('preset-rename').addEventListener('click', () => {
    const from = chosen(), to = name.value.trim();
    if (to) selected = to;
    if (intents.renamePreset(from, to)) name.value = '';
    else selected = from;
  });
  $('preset-delete').addEventListener('click', () => chosen() && intents.deletePreset(chosen()));
  select.addEventListener('change', () => { selected = select.value; });

  let drawn = null; // the presets the list shows: a key typed into a rule changes the config, not them
  function render(state) {
    const { presets } = state.config;
    if (presets === drawn) return;
    drawn = presets;
    if (!presets.some((p) => p.name === selected)) selected = presets[0]?.name ?? '';
    fill(select, presets.length
      ? presets.map((p) => h('option', { value: p.name, text: `${p.name} (${p.rules.length})`, selected: p.name === selected }))
      : h('option', { value: '', text: t('presets.none') }));
    for (const id of ['preset-load', 'preset-rename', 'preset-delete']) setProp($(id), 'disabled', !presets.length);
  }

  store.subscribe(['config'], render);
  render(store.state);
  return {
    focus() {
      select.scrollIntoView({ block: 'nearest' });
      select.focus();
    },
  };
}
