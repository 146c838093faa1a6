import { test } from 'node:test';
import assert from 'node:assert/strict';
import { uniquePattern } from '../../../web/js/unique.js';
import { makeUnique } from '../../../web/js/conflicts.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { newRule } from '../../../web/js/rules.js';
import { parseConfig, serializeConfig } from '../../../web/js/config.js';
import { recordAt } from './records.js';

test('colliding new names are numbered apart in numbering order; the first and every row without a collision keep theirs', () => {
  // [listed paths, new names, order (default: as listed), pattern, options, want]
  const CASES = [
    [['/d/a', '/d/b', '/d/c'], ['x.jpg', 'x.jpg', 'y.jpg'], null, undefined, {}, ['x.jpg', 'x (2).jpg', 'y.jpg']],
    [['/d/a', '/d/b'], ['x.jpg', 'x.jpg'], [1, 0], '-{k}', {}, ['x-2.jpg', 'x.jpg']],
    [['/d/a', '/d/b', '/d/keep.jpg'], ['keep.jpg', 'b', 'keep.jpg'], null, undefined, {}, ['keep (2).jpg', 'b', 'keep.jpg']],
    [['/d/a', '/d/b', '/d/x (2).jpg'], ['x.jpg', 'X.JPG', 'x (2).jpg'], null, undefined, {}, ['x.jpg', 'X (3).JPG', 'x (2).jpg']],
    [['/d/a', '/d/b'], ['2024/x.jpg', '2024/x.jpg'], null, undefined, { folders: true, root: '/d' }, ['2024/x.jpg', '2024/x (2).jpg']],
    [['/d/a', '/e/b'], ['x.jpg', 'x.jpg'], null, undefined, {}, ['x.jpg', 'x.jpg']],
    [['/d/a'], ['held.txt'], null, '_', { taken: (dir, name) => name === 'held.txt' }, ['held_2.txt']],
    [['/d/a', '/d/b'], ['x', 'x'], null, undefined, { copy: true }, ['x', 'x (2)']],
  ];
  for (const [paths, newNames, order, pattern, options, want] of CASES) {
    const items = paths.map((p) => recordAt(p));
    assert.deepEqual(makeUnique(items, newNames, { ...options, pattern, order }), want, `${newNames} ${pattern}`);
  }
  assert.deepEqual(['', 'a/{k}', '.{k}.'].map(uniquePattern), ['{k}', 'a{k}', '.{k}.']);
});

test('the switch numbers the preview apart and is saved with the chain and its presets', () => {
  const items = ['/d/IMG_1.jpg', '/d/IMG_2.jpg', '/d/Trip.jpg'].map((p) => recordAt(p));
  const rules = [newRule('regex', { pattern: 'IMG_\\d', with: 'Trip' })];
  const names = (unique) => computePreview({ items, rules, filter: {}, sort: { key: 'native', dir: 1 }, unique }).newNames;
  assert.deepEqual([names(null), names(' #{k}')], [['Trip.jpg', 'Trip.jpg', 'Trip.jpg'], ['Trip #2.jpg', 'Trip #3.jpg', 'Trip.jpg']]);
  const saved = parseConfig(serializeConfig({ ...parseConfig('{}'), unique: true, uniquePattern: '-{k}', tagDuplicates: true, presets: [{ name: 'p', rules: [], unique: true, uniquePattern: 'x/', tagDuplicates: true }] }).text);
  assert.deepEqual([saved.unique, saved.uniquePattern, saved.tagDuplicates, saved.presets[0].uniquePattern, saved.presets[0].tagDuplicates], [true, '-{k}', true, 'x{k}', true]);
});

test('identical files are tagged "duplicate" instead of numbered once their digests say so; other content is numbered', () => {
  // a, b and c onto one name: b has a's bytes, c a's size but other bytes, d another size
  const items = [['/d/a', 5], ['/d/b', 5], ['/d/c', 5], ['/d/d', 6], ['/d/held.jpg', 5, ['old']]].map(([p, size, tags]) => recordAt(p, { size, tags: tags ?? [] }));
  const rules = [newRule('template', { pattern: 'held' })];
  const preview = (media) => computePreview({ items: items.slice(0, media.length), rules, filter: {}, sort: { key: 'native', dir: 1 }, unique: ' ({k})', tagDuplicates: true, media: media.map((h) => (h ? { hash: { sha256: h } } : undefined)) });
  // without digests, every row of a size met again is numbered until they are read
  const unread = preview([null, null, null, null]);
  assert.deepEqual([unread.newNames, unread.found.twins.sort()], [['held', 'held (2)', 'held (3)', 'held (4)'], [0, 1, 2]]);
  const read = preview(['x', 'x', 'y', 'x']);
  assert.deepEqual([read.newNames, [...read.ruleMeta]], [['held', 'b', 'held (2)', 'held (3)'], [[1, { tags: ['duplicate'] }]]]);
  // the item that keeps the name counts too: a's bytes are held.jpg's, so a keeps its name, its tags and one more
  const kept = computePreview({ items, rules: [newRule('template', { pattern: 'held.jpg' })], scope: 'selection', selection: [0], filter: {}, sort: { key: 'native', dir: 1 }, unique: ' ({k})', tagDuplicates: true, media: [{ hash: { sha256: 'h' } }, , , , { hash: { sha256: 'h' } }] });
  assert.deepEqual([kept.newNames[0], kept.ruleMeta.get(0), kept.newNames[4]], ['a', { tags: ['duplicate'] }, 'held.jpg']);
});
