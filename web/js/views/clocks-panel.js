// Camera clocks: one line per camera whose photos are listed, with the offset
// added to its dates taken. Shown while dates taken are used and known.

import { $, h, fill, setAttr, setProp } from '../dom.js';
import { camerasIn, offsetText, parseOffset } from '../clocks.js';
import { needsTaken } from '../media.js';
import { t } from '../i18n/index.js';

export function createClocksPanel({ store, intents }) {
  const box = $('clocks');
  const list = $('clock-list');
  let drawn = null; // what the lines show: cameras and offsets

  const line = ([camera, count], minutes) => {
    const input = h('input', {
      attrs: { type: 'text', spellcheck: 'false', autocomplete: 'off', placeholder: '0:00', 'aria-label': t('clocks.offsetOf', { camera }), title: t('clocks.offsetTip') },
    });
    input.value = minutes ? offsetText(minutes) : '';
    const take = () => {
      const m = input.value.trim() === '' ? 0 : parseOffset(input.value);
      setAttr(input, 'aria-invalid', String(m === null));
      if (m !== null) intents.setClock(camera, m);
    };
    input.addEventListener('change', take);
    input.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); take(); } });
    return h('div', { class: 'clock-line' }, h('span', { class: 'clock-camera', text: camera, attrs: { title: t('clocks.files', { count }) } }), input);
  };

  // the cameras are counted again only when the listing or what was read of
  // it changed, not at every key typed into a rule
  let counted = { items: null, version: -1, cameras: [] };
  const camerasOf = (state) => {
    const { items } = state.listing, { version } = state.media;
    if (counted.items !== items || counted.version !== version) counted = { items, version, cameras: camerasIn(items, state.media.map) };
    return counted.cameras;
  };

  function render(state) {
    const cameras = needsTaken(state.config) ? camerasOf(state) : [];
    setProp(box, 'hidden', cameras.length === 0);
    const key = JSON.stringify([cameras, state.config.clocks]);
    if (key === drawn || list.contains(document.activeElement)) return;
    drawn = key;
    fill(list, cameras.map((c) => line(c, state.config.clocks[c[0]])));
  }

  store.subscribe(['config', 'media', 'listing'], render);
  render(store.state);
}
