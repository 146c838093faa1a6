import { test } from 'node:test';
import assert from 'node:assert/strict';
import { checkConflicts, skipErrorRows, severityOf } from '../../../web/js/conflicts.js';
import { listedNames, targetsToProbe } from '../../../web/js/probe.js';
import { computePreview, pack, unpack } from '../../../web/js/preview-core.js';
import { NameList } from '../../../web/js/names.js';

const items = (...names) => names.map((n) => (Array.isArray(n) ? { dir: n[0], name: n[1] } : { dir: '/d', name: n }));
/** `names` as one text, as the preview worker holds a listing's. */
const nameList = (names) => {
  let end = 0;
  return new NameList(names.join(''), Uint32Array.from(names, (n) => (end += n.length)));
};
/** Each row's problems as codes with their details. */
const problems = (r) => Array.from(r.problems, (list) => list || []);

test('the problems of new names, row by row, with their details and counts', () => {
  const cases = [
    // names the native rename refuses; 255 bytes is still allowed
    [['a', 'b', 'c', 'd', 'e', 'f', 'g'], ['', 'x/y', '.', '..', 'nul\0', 'é'.repeat(128), 'é'.repeat(127) + 'x'],
      [[['empty']], [['slash']], [['dot']], [['dot']], [['nul']], [['tooLong', 256]], []], 6, 0],
    // two items getting one name; a name held by an item that stays
    [['a', 'b', 'c', 'keep'], ['x', 'x', 'keep', 'keep'], [[['dup', 2]], [['dup', 2]], [['exists', 'keep']], []], 3, 0],
    // swaps, chains and the same name in another folder are no conflicts
    [['a', 'b', 'c', ['/other', 'x'], ['/d2', 'y']], ['b', 'c', 'a', 'y', 'x'], [[], [], [], [], []], 0, 0],
    // warnings: case-only twins, surrounding spaces, newly hidden names
    [['a', 'Report', 'b', 'c', '.old', 'h'], ['report', 'Report', ' b', 'c.', '.old2', '.h'], [[['case', 'Report']], [], [['spaces']], [], [], [['hidden']]], 0, 3],
    [['p', 'q'], ['X', 'x'], [[['case', 'x']], [['case', 'X']]], 0, 2],
  ];
  for (const [names, newNames, want, errors, warnings] of cases) {
    const listed = items(...names);
    // the names read from the items or from one text, and twice over the same tables: one answer
    for (const held of [null, nameList(listed.map((it) => it.name)), null]) {
      const r = checkConflicts(listed, newNames, { names: held });
      assert.deepEqual([problems(r), r.errors, r.warnings], [want, errors, warnings], JSON.stringify([newNames, Boolean(held)]));
    }
  }
});

test('with folders a name is checked in the folder it goes to, and one that leaves the listed folder is warned of', () => {
  const cases = [
    // one place for two; a name held in the folder it goes to; a "/" without folders is still invalid
    [['a', 'b', ['/d/2024', 'held']], ['2024/x', '2024/x', 'held'], [[['dup', 2]], [['dup', 2]], []], true],
    [['a', ['/d/2024', 'held']], ['2024/held', 'held'], [[['exists', 'held']], []], true],
    [['a'], ['2024/x'], [[['slash']]], false],
    // the same name in two folders, up a level, and out of the listed folder
    [['a', 'b', ['/d/s', 'c']], ['x/n', 'y/n', '../c2'], [[], [], []], true],
    [['a', 'b'], ['../up', 'sub/'], [[['outside']], [['empty']]], true],
    [['a'], [`${'é'.repeat(128)}/x`], [[['tooLong', 256]]], true],
    // a listed file where a folder would be
    [['a', 'b'], ['b/x/a', 'b'], [[['notAFolder', 'b']], []], true],
  ];
  for (const [names, newNames, want, folders] of cases) {
    const r = checkConflicts(items(...names), newNames, { folders, root: '/d' });
    assert.deepEqual(problems(r), want, JSON.stringify(newNames));
  }
  // a destination takes the items the rules act on, renamed or not; the others stay
  const listed = items('a', 'b', 'c', ['/out', 'a']);
  const r = checkConflicts(listed, ['a', 'b2', 'c', 'a'], { destination: '/out', moving: Uint8Array.of(1, 1, 0, 0), root: '/d' });
  assert.deepEqual([problems(r), Array.from(r.renamed)], [[[['exists', 'a']], [], [], []], [1, 1, 0, 0]]);
  const mine = checkConflicts(items(['/out', 'x']), ['x'], { destination: '/out', moving: Uint8Array.of(1) });
  assert.deepEqual(Array.from(mine.renamed), [0], 'an item already in the destination does not move');
  // copied, every item keeps its name: a swap is two collisions
  const swap = (copy) => problems(checkConflicts(items('a', 'b'), ['b', 'a'], { copy }));
  assert.deepEqual([swap(false), swap(true)], [[[], []], [[['exists', 'b']], [['exists', 'a']]]]);
});

test('names that are not UTF-8 are as distinct as their bytes and warn while a new name keeps them; a tag with a comma is refused', () => {
  // stand-ins for the bytes E9 and E8: two names that U+FFFD would make one
  const [e9, e8] = ['caf\uDCE9', 'caf\uDCE8'];
  const r = checkConflicts(items(e9, e8, 'bad\uFFFD', 'x'), ['1 ' + e9, e8, 'b', 'caf\u00e9']);
  assert.deepEqual([problems(r), Array.from(r.renamed)], [[[['utf8']], [], [], []], [1, 0, 1, 1]]);
  assert.deepEqual(problems(checkConflicts(items(e9, e8), [e8, e8])), [[['utf8'], ['exists', e8]], []]);
  const t = checkConflicts(items('a'), ['a'], { tags: [['ok', 'x,y']] });
  assert.deepEqual([problems(t), t.errors], [[[['tagComma', 'x,y']]], 1]);
});

test('skipping error rows repeats until rows that depended on them are left out too', () => {
  // c -> b only works if b moves away, but b -> a/ is invalid; skipping b blocks c
  const { skip, check } = skipErrorRows(items('a', 'b', 'c'), ['a', 'a/', 'b']);
  assert.deepEqual(Array.from(skip), [0, 1, 1]);
  assert.equal(check.problems[2]?.[0][0], undefined);
});

test('names held by items the list does not show: asked once, then errors of the rows taking them', () => {
  const it = items('a', 'b', 'c', 'd', ['/e', 'a']);
  const names = ['.a', 'sub', 'c', 'd/x', '.a'];
  const known = new Map([['/e/.a', false]]);
  // "c" stays, "d/x" cannot be a name, "/e/.a" is known
  assert.deepEqual(targetsToProbe(it, names, Uint8Array.from([1, 1, 0, 1, 1]), listedNames(it), known), ['/d/.a', '/d/sub']);
  assert.deepEqual(targetsToProbe(it, ['b', 'a', 'c', 'd', 'a'], Uint8Array.from([1, 1, 0, 0, 0]), listedNames(it), known), []);
  // only hidden names, read from the packed preview: the listed names are made only when one is new
  const packed = unpack(pack(computePreview({ items: it, rules: [], filter: {}, sort: { key: 'native', dir: 1 } })).message).newNames;
  const made = [];
  const lazily = () => { made.push(1); return listedNames(it); };
  assert.deepEqual(targetsToProbe(it, packed, Uint8Array.from([1, 1, 1, 1, 1]), lazily, new Map(), true), []);
  assert.deepEqual([targetsToProbe(it, names, Uint8Array.from([1, 1, 0, 1, 1]), lazily, known, true), made.length], [['/d/.a'], 1]);
  const taken = (dir, name) => `${dir}/${name}` === '/d/sub';
  const r = checkConflicts(it, names, { taken });
  assert.deepEqual(r.problems[1], [['unlisted', 'sub']]);
  assert.equal(severityOf(r.problems[1]), 'error');
  assert.equal(skipErrorRows(it, names, { taken }).skip[1], 1);
});
