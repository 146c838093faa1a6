import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseConfig, serializeConfig, addRecent, MAX_SAVED_BATCH, MAX_RECENT } from '../../../web/js/config.js';
import { undoRecord, batchChanges, batchFolder } from '../../../web/js/batch.js';
import { explainError, COMMENT_FAILED } from '../../../web/js/protocol.js';
import { globToRegExp, textMatcher, filterItems, sortIndexes } from '../../../web/js/filter.js';
import { newRule } from '../../../web/js/rules.js';

test('saved settings round-trip; damaged or foreign text falls back to defaults', () => {
  const cfg = parseConfig(null);
  cfg.rules = [newRule('replace', { find: 'a', with: 'b' })];
  cfg.mode = 'tree';
  cfg.presets = [{ name: 'P', rules: [newRule('case', { mode: 'upper' })] }];
  cfg.lastBatch = { title: 'Rename of 1', when: 5, changes: [{ dir: '/d', from: 'a', to: 'b', before: { tags: ['x'] }, after: { tags: [] } }] };
  const back = parseConfig(serializeConfig(cfg).text);
  assert.equal(back.mode, 'tree');
  assert.equal(back.rules[0].find, 'a');
  assert.equal(back.presets[0].rules[0].mode, 'upper');
  assert.equal(back.showHidden, false);
  assert.equal(parseConfig(serializeConfig({ ...cfg, showHidden: true }).text).showHidden, true);
  assert.deepEqual(back.lastBatch.changes[0], { dir: '/d', from: 'a', to: 'b', before: { tags: ['x'] }, after: { tags: [] } });
  for (const bad of ['', '{', '[]', '"x"', '{"rules": 5, "mode": "nope", "sort": {"key": "evil"}, "presets": [{"name": ""}, 3], "lastBatch": {"changes": [{"dir": 1}]}}']) {
    const c = parseConfig(bad);
    assert.deepEqual([c.rules, c.mode, c.sort.key, c.presets, c.lastBatch], [[], 'files', 'native', [], null], bad);
  }
});

test('what is saved stays bounded: a last batch above the limit and old recent folders are dropped', () => {
  const cfg = parseConfig(null);
  cfg.lastBatch = { title: 't', when: 0, changes: Array.from({ length: MAX_SAVED_BATCH + 1 }, (_, i) => ({ dir: '/d', from: `a${i}`, to: `b${i}` })) };
  const { text, batchKept } = serializeConfig(cfg);
  assert.equal(batchKept, false);
  assert.equal(JSON.parse(text).lastBatch, null);
  let recent = [];
  for (let i = 0; i < 15; i++) recent = addRecent(recent, `/f${i % 12}`);
  assert.equal(recent.length, MAX_RECENT);
  assert.equal(recent[0], '/f2');
  assert.equal(new Set(recent).size, recent.length);
});

test('the undo record keeps what changed on disk, also after partial failures', () => {
  const changes = [
    { key: '/d/a', dir: '/d', name: 'a', newName: 'b', meta: { tags: ['t'], comment: 'c' }, before: { tags: [], comment: '' } },
    { key: '/d/x', dir: '/d', name: 'x', newName: 'y', meta: { label: 2 }, before: { label: 0 } },
    { key: '/d/m', dir: '/d', name: 'm', newName: 'n' },
    { key: '/d/k', dir: '/d', name: 'k', newName: 'k', meta: { label: 3 }, before: { label: 1 } },
  ];
  const outcomes = new Map([
    ['/d/a', { ok: false, error: COMMENT_FAILED, path: '/d/b', renamed: true, stranded: false }],
    ['/d/x', { ok: false, error: 'tags: Operation not supported', path: '/d/y', renamed: true, stranded: false }],
    ['/d/m', { ok: false, error: 'Permission denied', path: '/d/m', renamed: false, stranded: false }],
    ['/d/k', { ok: true, error: '', path: '/d/k', renamed: false, stranded: false }],
  ]);
  const rec = undoRecord('Rename of 4', changes, outcomes, 1);
  assert.deepEqual(rec.changes, [
    { dir: '/d', from: 'a', to: 'b', before: { tags: [] }, after: { tags: ['t'] } },
    { dir: '/d', from: 'x', to: 'y', before: undefined, after: undefined },
    { dir: '/d', from: 'k', to: 'k', before: { label: 1 }, after: { label: 3 } },
  ]);
  const undo = batchChanges(rec);
  assert.deepEqual(undo[0], { key: '/d/b', dir: '/d', name: 'b', newName: 'a', meta: { tags: [] }, before: { tags: ['t'] } });
  assert.equal(batchChanges(rec, true)[2].key, '/d/k');
  assert.equal(undoRecord('none', [changes[2]], outcomes), null);
  // the folder the batch was applied in survives a restart; older records name their first item's
  assert.equal(batchFolder(parseConfig(serializeConfig({ ...parseConfig(null), lastBatch: undoRecord('t', changes, outcomes, 1, '/shown') }).text).lastBatch), '/shown');
  assert.equal(batchFolder({ changes: rec.changes.map(({ dir, from, to }) => ({ dir, from, to })) }), '/d');
});

test('native messages are explained for this platform, keeping the raw text', () => {
  const c = explainError(COMMENT_FAILED);
  assert.match(c.text, /the file system refused the comment attribute/);
  assert.equal(c.raw, COMMENT_FAILED);
  assert.match(explainError('tags: Operation not supported').text, /refused the tag attribute \(Operation not supported\)/);
  assert.equal(explainError('A file named "b" already exists.').text, 'A file named "b" already exists.');
});

test('filters: text, glob with classes, regex, invalid patterns, extension, tag and label', () => {
  assert.ok(globToRegExp('IMG_??.*').test('img_12.jpg'));
  assert.ok(!globToRegExp('IMG_??.*').test('IMG_123.jpg'));
  assert.ok(globToRegExp('[!a]*.txt').test('b.txt') && !globToRegExp('[!a]*.txt').test('a.txt'));
  assert.ok(globToRegExp('a+b(1).txt').test('a+b(1).txt'));
  assert.match(textMatcher('(', 'regex').error, /Invalid regular expression|Unterminated/);
  const items = [
    { name: 'Beach.JPG', ext: 'JPG', tags: ['Holiday'], label: 2 },
    { name: 'beach.png', ext: 'png', tags: [], label: 0 },
    { name: 'notes', ext: '', tags: ['Holiday'], label: 0 },
  ];
  const tagsOf = (i) => items[i].tags;
  const labelOf = (i) => items[i].label;
  assert.deepEqual(filterItems(items, { text: 'BEACH', mode: 'text' }, tagsOf, labelOf), [0, 1]);
  assert.deepEqual(filterItems(items, { text: '^b.*g$', mode: 'regex' }, tagsOf, labelOf), [0, 1]);
  assert.deepEqual(filterItems(items, { text: '(', mode: 'regex' }, tagsOf, labelOf), [0, 1, 2]);
  assert.deepEqual(filterItems(items, { ext: 'jpg' }, tagsOf, labelOf), [0]);
  assert.deepEqual(filterItems(items, { ext: '' }, tagsOf, labelOf), [2]);
  assert.deepEqual(filterItems(items, { tag: 'Holiday', label: 0 }, tagsOf, labelOf), [2]);
  const order = [0, 1, 2];
  const named = [{ name: 'file10' }, { name: 'File2' }, { name: 'file1' }];
  assert.deepEqual(sortIndexes(order, named, 'name', 1), [2, 1, 0]);
  assert.deepEqual(sortIndexes(order, named, 'name', -1), [0, 1, 2]);
  assert.deepEqual(sortIndexes(order, named, 'native', 1), [0, 1, 2]);
});
