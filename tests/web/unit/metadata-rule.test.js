import { test } from 'node:test';
import assert from 'node:assert/strict';
import { newRule } from '../../../web/js/rules.js';
import { computePreview, pack, unpack } from '../../../web/js/preview-core.js';
import { initialState, outgoingChanges } from '../../../web/js/state.js';
import { itemsFromRecords } from '../../../web/js/columns.js';
import { recordAt } from './records.js';

test('"Metadata from name" fills tags, a label and a comment from the groups of its match and joins the panel\'s edits in one batch', () => {
  const items = itemsFromRecords(['/d/Beach Party_2024_ana maria.jpg', '/d/notes.txt'].map((p) => recordAt(p, p.endsWith('.jpg') ? { tags: ['old'] } : {})), '/d');
  const rule = newRule('metadata', { pattern: '(?<event>.+)_(?<year>\\d{4})_(?<who>[^.]+)', tags: '{event|lower}, {who|title}', labelText: 'red', comment: '{year}' });
  const edits = new Map([[0, { tags: ['old', 'Beach'] }]]);
  const p = computePreview({ items, rules: [rule], filter: {}, sort: { key: 'native', dir: 1 }, edits });
  assert.deepEqual([...p.ruleMeta], [[0, { tags: ['beach party', 'Ana Maria'], label: 6, comment: '2024' }]]);
  assert.deepEqual([p.newNames, p.counts.meta, p.counts.renames], [items.map((it) => it.name), 1, 0], 'no name changes');
  const state = { ...initialState(), listing: { ...initialState().listing, items, folder: '/d' }, edits: new Map([[items[0].path, { tags: ['old', 'Beach'] }]]), preview: { ...unpack(pack(p).message), stamp: 1 } };
  assert.deepEqual(outgoingChanges(state).changes.map((c) => c.meta), [{ tags: ['old', 'Beach', 'beach party', 'Ana Maria'], label: 6, comment: '2024' }]);
  assert.ok(newRule('metadata', { pattern: '(' }) && computePreview({ items, rules: [newRule('metadata', { pattern: '(', tags: 'x' })], filter: {}, sort: { key: 'native', dir: 1 } }).chainErrors);
});
