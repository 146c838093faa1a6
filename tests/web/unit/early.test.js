import { test } from 'node:test';
import assert from 'node:assert/strict';
import { earlyNames, mayShowEarly } from '../../../web/js/early.js';
import { computePreview, pack, unpack } from '../../../web/js/preview-core.js';
import { newRule } from '../../../web/js/rules.js';
import { createStore } from '../../../web/js/store.js';
import { initialState, computeView } from '../../../web/js/state.js';
import { actions } from '../../../web/js/actions.js';
import { rowModel } from '../../../web/js/views/list.js';
import { recordAt as record } from './records.js';

// two folders, names out of order, one item left out by the filter
const items = ['/a/b 3.JPG', '/b/x 1.jpg', '/a/c 2.png', '/b/keep.txt', '/a/d 9.JPG', '/b/e 0.jpg']
  .map((p, i) => record(p, { modified: Date.UTC(2024, 0, 1 + i) }));
const filter = { text: '', exclude: 'keep', mode: 'text' };
const sort = { key: 'name', dir: -1 };

test('early names are the whole preview\'s names wherever the chain names an item by its place alone', () => {
  const chains = [
    [newRule('replace', { find: ' ', with: '_' }), newRule('case', { mode: 'upper' })],
    [newRule('number', { start: 5, step: 2, pad: 2, position: 'suffix', sep: '-' })],
    [newRule('template', { pattern: '{modified:YYYY-MM} {n:3} {name}' }), newRule('ext', { mode: 'lower' })],
    [newRule('template', { pattern: '{name}', match: '\\d' })], // a match without a counter counts nothing
    [newRule('list', { lines: 'one\ntwo\nthree\nfour\nfive' })],
  ];
  for (const rules of chains) {
    const whole = computePreview({ items, rules, filter, sort });
    const rows = [...whole.base].reverse();
    assert.equal(rows.length, 5);
    const early = earlyNames({ items, rules, base: whole.base, rows });
    assert.ok(early, rules.map((r) => r.type).join());
    assert.deepEqual([...early.keys()], rows, 'each row on screen is named');
    for (const i of rows) assert.equal(early.get(i), whole.newNames[i], `${rules.map((r) => r.type)}: item ${i}`);
  }
  // an item the last order does not hold (left out by the filter) is not named
  const base = computePreview({ items, rules: chains[0], filter, sort }).base;
  assert.deepEqual([...earlyNames({ items, rules: chains[0], base, rows: [3, 0] }).keys()], [0]);
});

test('a chain that counts from the items before an item, or over all of them, is left to the whole preview', () => {
  const base = Int32Array.from(items.keys());
  for (const rule of [
    newRule('number', { restart: true }),
    newRule('template', { pattern: '{n:3}', restart: 'folder' }),
    newRule('template', { pattern: '{n:3}', restart: 'group' }),
    newRule('template', { pattern: '{n}', match: 'x' }),
    newRule('template', { pattern: '{n:auto}' }),
  ]) assert.equal(earlyNames({ items, rules: [newRule('case'), rule], base, rows: [0, 1] }), null, JSON.stringify(rule));
  const plain = { scope: 'all', selection: null, companions: false, unique: null, sort: { key: 'name' } };
  assert.equal(mayShowEarly(plain), true);
  for (const [key, value] of [['scope', 'selection'], ['companions', true], ['unique', ' ({k})'], ['sort', { key: 'newName' }]]) {
    assert.equal(mayShowEarly({ ...plain, selection: [1], [key]: value }), false, key);
  }
  assert.equal(mayShowEarly({ ...plain, scope: 'selection' }), true, 'a selection scope with nothing to narrow');
});

test('a row named early shows its name unchecked until the whole preview replaces it', () => {
  const store = createStore(initialState(), actions);
  store.dispatch('listed', { folder: '/a', files: [record('/a/x.jpg'), record('/a/y.jpg')] });
  const rules = [newRule('template', { pattern: 'same' })];
  const s = store.state;
  store.dispatch('previewComputed', unpack(pack(computePreview({ items: s.listing.items, rules, filter: s.filter, sort: s.config.sort })).message));
  const row = () => { const m = rowModel({ ...store.state, view: computeView(store.state) }, 0, 0); return [m.newName, m.severity, m.changed]; };
  assert.deepEqual(row(), ['same.jpg', 'error', true]);
  store.dispatch('previewEarly', new Map([[0, 'x.jpg']]));
  assert.deepEqual(row(), ['x.jpg', '', false]);
  store.dispatch('previewComputed', { ...store.state.preview, early: undefined });
  assert.deepEqual(row(), ['same.jpg', 'error', true]);
});
