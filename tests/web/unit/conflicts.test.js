import { test } from 'node:test';
import assert from 'node:assert/strict';
import { checkConflicts, skipErrorRows, severityOf, ISSUES } from '../../../web/js/conflicts.js';
import { listedNames, targetsToProbe } from '../../../web/js/probe.js';

const items = (...names) => names.map((n) => (Array.isArray(n) ? { dir: n[0], name: n[1] } : { dir: '/d', name: n }));
const codes = (list) => (list ? list.map(([c]) => c) : []);

test('invalid new names are errors with the reason', () => {
  const it = items('a', 'b', 'c', 'd', 'e', 'f');
  const r = checkConflicts(it, ['', 'x/y', '.', '..', 'nul\0', 'é'.repeat(128)]);
  assert.deepEqual(Array.from(r.problems, codes), [['empty'], ['slash'], ['dot'], ['dot'], ['nul'], ['tooLong']]);
  assert.equal(r.problems[5][0][1], 256);
  assert.equal(r.errors, 6);
  // 255 bytes is still allowed
  assert.equal(checkConflicts(items('a'), ['é'.repeat(127) + 'x']).errors, 0);
});

test('two items getting one name are "dup"; a name held by an item that stays is "exists"', () => {
  const it = items('a', 'b', 'c', 'keep');
  const r = checkConflicts(it, ['x', 'x', 'keep', 'keep']);
  assert.deepEqual(Array.from(r.problems, codes), [['dup'], ['dup'], ['exists'], []]);
  assert.equal(r.problems[2][0][1], 'keep');
  assert.equal(ISSUES.exists.text('keep'), 'An item that keeps its name is already called "keep".');
});

test('swaps, chains and the same name in another folder are not conflicts', () => {
  const it = items('a', 'b', 'c', ['/other', 'x'], ['/d2', 'y']);
  const r = checkConflicts(it, ['b', 'c', 'a', 'y', 'x']);
  assert.equal(r.errors + r.warnings, 0);
});

test('warnings: case-only difference, surrounding spaces, newly hidden names', () => {
  const it = items('a', 'Report', 'b', 'c', '.old');
  const r = checkConflicts(it, ['report', 'Report', ' b', 'c.', '.old2']);
  assert.deepEqual(Array.from(r.problems, codes), [['case'], [], ['spaces'], [], []]);
  assert.equal(r.problems[0][0][1], 'Report');
  const both = checkConflicts(items('p', 'q'), ['X', 'x']);
  assert.deepEqual(Array.from(both.problems, codes), [['case'], ['case']]);
  assert.deepEqual([both.problems[0][0][1], both.problems[1][0][1]], ['x', 'X']);
  const h = checkConflicts(items('a'), ['.a']);
  assert.deepEqual(codes(h.problems[0]), ['hidden']);
  assert.equal(severityOf(h.problems[0]), 'warning');
  assert.equal(h.errors, 0);
  assert.equal(h.warnings, 1);
});

test('names that were not UTF-8 are left out and keep their names for the others', () => {
  const it = items('bad\uFFFD', 'b');
  const r = checkConflicts(it, ['z', 'bad\uFFFD']);
  assert.deepEqual(codes(r.problems[0]), ['utf8']);
  assert.equal(r.problems[0].length, 1);
  assert.deepEqual(codes(r.problems[1]), ['exists']);
  assert.equal(r.skipped, 1);
  assert.equal(r.renamed[0], 0);
});

test('a tag with a comma is refused', () => {
  const r = checkConflicts(items('a'), ['a'], { tags: [['ok', 'x,y']] });
  assert.deepEqual(r.problems[0], [['tagComma', 'x,y']]);
  assert.equal(r.errors, 1);
});

test('skipping error rows repeats until rows that depended on them are left out too', () => {
  // c -> b only works if b moves away, but b -> a/ is invalid; skipping b blocks c.
  const it = items('a', 'b', 'c');
  const { skip, check } = skipErrorRows(it, ['a', 'a/', 'b']);
  assert.deepEqual(Array.from(skip), [0, 1, 1]);
  assert.equal(check.problems[2] && codes(check.problems[2])[0], undefined);
});

test('names held by items the list does not show: asked once, then errors of the rows taking them', () => {
  const it = items('a', 'b', 'c', 'd', ['/e', 'a']);
  const names = ['.a', 'sub', 'c', 'd/x', '.a'];
  const renamed = Uint8Array.from([1, 1, 0, 1, 1]);
  const known = new Map([['/e/.a', false]]);
  // "c" stays, "d/x" cannot be a name, "/e/.a" is known
  assert.deepEqual(targetsToProbe(it, names, renamed, listedNames(it), known), ['/d/.a', '/d/sub']);
  assert.deepEqual(targetsToProbe(it, ['b', 'a', 'c', 'd', 'a'], Uint8Array.from([1, 1, 0, 0, 0]), listedNames(it), known), []);
  const taken = new Set(['/d/sub']);
  const r = checkConflicts(it, names, { taken: (dir, name) => taken.has(`${dir}/${name}`) });
  assert.deepEqual(codes(r.problems[1]), ['unlisted']);
  assert.equal(severityOf(r.problems[1]), 'error');
  const left = skipErrorRows(it, names, { taken: (dir, name) => taken.has(`${dir}/${name}`) });
  assert.equal(left.skip[1], 1);
});
