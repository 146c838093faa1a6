import { test, mock } from 'node:test';
import assert from 'node:assert/strict';
import { createStore } from '../../../web/js/store.js';
import { initialState } from '../../../web/js/state.js';
import { actions } from '../../../web/js/actions.js';
import { createSettings } from '../../../web/js/services/settings.js';

// A store whose saved settings are loaded, and a bridge that keeps each saved
// text; a save answers when `answer()` is called.
async function setUp() {
  const saved = [];
  const answers = [];
  const bridge = {
    loadPrefs: async () => ({ data: null }),
    savePrefs: (text) => new Promise((resolve) => { saved.push(JSON.parse(text)); answers.push(resolve); }),
  };
  const store = createStore(initialState(), actions);
  const settings = createSettings({ store, bridge, toast: () => {} });
  await settings.load();
  return { store, settings, saved, answer: () => Boolean(answers.length && (answers.shift()(), true)) };
}

test('settings: changes that keep coming are saved at least every moment; a close stores the last one at once', async (t) => {
  mock.timers.enable({ apis: ['setTimeout'] });
  t.after(() => mock.timers.reset());
  const { store, settings, saved, answer } = await setUp();
  assert.equal(saved.length, 0, 'loading saves nothing');

  // a switch flipped every 100 ms for 2 s: never held back more than 500 ms
  for (let k = 1; k <= 20; k++) {
    store.dispatch('setUnique', k % 2 === 1);
    mock.timers.tick(100);
  }
  assert.ok(saved.length >= 3, `${saved.length} saves in 2 s of changes`);
  while (answer());

  // the change of the last moment: stored when the window closes, not later
  store.dispatch('setPortable', true);
  let stored = false;
  const closing = settings.flush().then(() => { stored = true; });
  assert.equal(saved.at(-1).portable, true);
  await Promise.resolve();
  assert.equal(stored, false, 'the close waits for the answer');
  answer();
  await closing;
  assert.equal(stored, true);

  // nothing waiting: nothing sent again, and the timer of the change saved is gone
  const count = saved.length;
  await settings.flush();
  mock.timers.tick(1000);
  assert.equal(saved.length, count);
});
