import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseConfig, serializeConfig, addRecent, MAX_RECENT } from '../../../web/js/config.js';
import { batchChanges, recordFromJournal, finishChanges, undoStacks } from '../../../web/js/batch.js';
import { explainError } from '../../../web/js/protocol.js';
import { globToRegExp, textMatcher, filterItems, sortIndexes } from '../../../web/js/filter.js';
import { newRule } from '../../../web/js/rules.js';

const roundTrip = (cfg) => parseConfig(serializeConfig(cfg).text);

test('saved settings round-trip; damaged or foreign text falls back to defaults; an older last batch is left behind', () => {
  const back = roundTrip({ ...parseConfig(null), rules: [newRule('replace', { find: 'a', with: 'b' })], mode: 'tree', showHidden: true,
    presets: [{ name: 'P', rules: [newRule('case', { mode: 'upper' })] }], journalDays: 30 });
  assert.deepEqual([back.mode, back.rules[0].find, back.presets[0].rules[0].mode, back.showHidden, back.journalDays], ['tree', 'a', 'upper', true, 30]);
  const older = parseConfig(JSON.stringify({ v: 1, lastBatch: { title: 'Rename of 1', changes: [] }, journalBatches: 0 }));
  assert.deepEqual([older.lastBatch, older.journalBatches], [undefined, 1000]);
  assert.equal(roundTrip(parseConfig(null)).showHidden, false);
  for (const bad of ['', '{', '[]', '"x"', '{"rules": 5, "mode": "nope", "sort": {"key": "evil"}, "presets": [{"name": ""}, 3]}']) {
    const c = parseConfig(bad);
    assert.deepEqual([c.rules, c.mode, c.sort.key, c.presets], [[], 'files', 'native', []], bad);
  }
});

test('what is read and saved stays bounded: old recent folders are dropped', () => {
  let recent = [];
  for (let i = 0; i < 15; i++) recent = addRecent(recent, `/f${i % 12}`);
  assert.deepEqual([recent.length, recent[0], new Set(recent).size], [MAX_RECENT, '/f2', MAX_RECENT]);
});

test('Undo offers the newest batch not undone, Redo the newest undo since the last new batch', () => {
  const b = (id, undoes, done = 1) => ({ id, undoes, done });
  const tops = (...newestLast) => { const s = undoStacks(newestLast.reverse()); return [s.undo?.id ?? null, s.redo?.id ?? null]; };
  for (const [batches, want, why] of [
    [[], [null, null], 'an empty journal'],
    [[b('A'), b('B')], ['B', null], 'two batches'],
    [[b('A'), b('B'), b('uB', 'B')], ['A', 'uB'], 'one undone'],
    [[b('A'), b('B'), b('uB', 'B'), b('uA', 'A')], [null, 'uA'], 'both undone: redo the last undo first'],
    [[b('A'), b('uA', 'A'), b('rA', 'uA')], ['rA', null], 'a redo is undone next'],
    [[b('A'), b('uA', 'A'), b('C')], ['C', null], 'a new batch ends what could be redone'],
    [[b('A'), b('B'), b('uA', 'A')], ['B', 'uA'], 'an older batch undone from the History'],
    [[b('A'), b('X', undefined, 0)], ['A', null], 'a batch that changed nothing'],
    [[b('A'), b('uA', 'A'), b('X', undefined, 0)], [null, 'uA'], 'nor does it end what could be redone'],
  ]) assert.deepEqual(tops(...batches), want, why);
});

test('a batch read back from the journal undoes each item once, from where it is now', () => {
  const done = (path, newName, extra = {}) => ({ path, newName, newPath: `/d/${newName}`, state: 'done', ...extra });
  const rec = recordFromJournal({ id: 'B', title: 'Rename of 5', started: 7, folder: '/d' }, [
    done('/d/a', '.qt-swap-1', { now: '/d/b' }), done('/d/b', 'a', { now: '/d/a', tags: ['x'], oldTags: ['y'], label: 2, oldLabel: 0 }),
    done('/d/.qt-swap-1', 'b'), // a temporary name had no identity to look for
    done('/d/c', 'c2', { now: '/d/moved' }), done('/d/e', 'e2', { now: null }), done('/d/f', 'f2', { now: '/elsewhere/f2' }),
    { path: '/d/g', state: 'failed' }, { path: '/d/h', newName: 'h2', state: 'left', newPath: '/d/.qt-swap-2' },
    // into a folder the batch made: back to where it was (the folder is no item)
    { path: '/d/2024', makeFolder: true, state: 'done', newPath: '/d/2024' },
    done('/d/m', 'm', { newFolder: '/d/2024', newPath: '/d/2024/m', now: '/d/2024/m' }),
  ]);
  const same = { dir: '/d', toDir: '/d', before: undefined, after: undefined };
  assert.deepEqual(rec.changes, [
    { ...same, from: 'a', to: 'b' },
    { ...same, from: 'b', to: 'a', before: { tags: ['y'], label: 0 }, after: { tags: ['x'], label: 2 } },
    { ...same, from: 'c', to: 'moved' },
    { ...same, from: 'm', to: 'm', toDir: '/d/2024' },
  ]);
  assert.deepEqual([rec.title, rec.when, rec.folder, rec.missing], ['Rename of 5', 7, '/d', 3]);
  assert.deepEqual(batchChanges(rec).map((c) => [c.key, c.newName, c.newDir]), [['/d/b', 'a', undefined], ['/d/a', 'b', undefined], ['/d/moved', 'c', undefined], ['/d/2024/m', 'm', '/d']]);
  // finishing a batch a crash cut short: a swap put back by the repair runs again; a step left under a temporary name goes on
  const rest = (path, newName, now, state = 'notRun', extra = {}) => ({ path, newName, newPath: now, state, ...extra });
  assert.deepEqual(finishChanges([rest('/d/a', '.qt-swap-1', '/d/a'), rest('/d/b', 'a', '/d/b'), rest('/d/.qt-swap-1', 'b', '/d/a'),
    rest('/d/c', 'c2', '/d/c2', 'done'), rest('/d/e', 'e2', '/d/.quarrytide-tmp-X', 'left', { tags: ['t'] })]).map((c) => [c.name, c.newName, c.meta]),
  [['a', 'b', undefined], ['b', 'a', undefined], ['.quarrytide-tmp-X', 'e2', { tags: ['t'] }]]);
  // a move into a folder the batch was making: on into that folder, which the engine makes
  assert.deepEqual(finishChanges([{ path: '/d/2024', makeFolder: true, state: 'notRun' }, rest('/d/m', 'm', '/d/m', 'notRun', { newFolder: '/d/2024' })])
    .map((c) => [c.key, c.newDir, c.newName]), [['/d/m', '/d/2024', 'm']]);
});

test('native failures are told by their code in the page\'s words, the step that failed named, the native text kept', () => {
  for (const [failure, text] of [
    [{ code: 'no-xattr-support', error: 'comment: Operation not supported', stage: 'comment' }, 'Could not set the comment: this drive cannot keep tags or comments.'],
    [{ code: 'no-space', error: 'tags: No space left on device', stage: 'tags' }, 'Could not write the tags: the drive (or its room for tags and comments) is full.'],
    [{ code: 'exists', error: 'A file named "b" already exists.', stage: 'rename' }, 'the name is taken by another item'],
    [{ code: 'new-code', error: 'Something new' }, 'Something new'],
  ]) assert.deepEqual(explainError(failure), { text, raw: failure.error });
});

test('filters: text, glob with classes, regex, invalid patterns, names left out, extension, tag and label; sorting by name in natural order', () => {
  for (const [glob, name, hit] of [['IMG_??.*', 'img_12.jpg', true], ['IMG_??.*', 'IMG_123.jpg', false], ['[!a]*.txt', 'b.txt', true], ['[!a]*.txt', 'a.txt', false], ['a+b(1).txt', 'a+b(1).txt', true]]) {
    assert.equal(globToRegExp(glob).test(name), hit, `${glob} on ${name}`);
  }
  assert.match(textMatcher('(', 'regex').error, /Invalid regular expression|Unterminated/);
  const items = [
    { name: 'Beach.JPG', ext: 'JPG', tags: ['Holiday'], label: 2 },
    { name: 'beach.png', ext: 'png', tags: [], label: 0 },
    { name: 'notes', ext: '', tags: ['Holiday'], label: 0 },
  ];
  const cases = [[{ text: 'BEACH', mode: 'text' }, [0, 1]], [{ text: '^b.*g$', mode: 'regex' }, [0, 1]], [{ text: '(', mode: 'regex' }, [0, 1, 2]],
    [{ ext: 'jpg' }, [0]], [{ ext: '' }, [2]], [{ tag: 'Holiday', label: 0 }, [2]],
    [{ text: 'e', exclude: 'PNG', mode: 'text' }, [0, 2]], [{ exclude: '*.???', mode: 'glob' }, [2]], [{ exclude: '(', mode: 'regex' }, [0, 1, 2]]];
  for (const [filter, want] of cases) assert.deepEqual(filterItems(items, filter, (i) => items[i].tags, (i) => items[i].label), want, JSON.stringify(filter));
  const named = [{ name: 'file10' }, { name: 'File2' }, { name: 'file1' }];
  assert.deepEqual([1, -1].map((dir) => sortIndexes([0, 1, 2], named, 'name', dir)), [[2, 1, 0], [0, 1, 2]]);
  assert.deepEqual(sortIndexes([2, 0, 1], named, 'native', 1), [0, 1, 2]);
});
