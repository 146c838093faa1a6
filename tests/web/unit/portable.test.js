import { test } from 'node:test';
import assert from 'node:assert/strict';
import { portableProblem, makePortable } from '../../../web/js/portable.js';
import { checkConflicts } from '../../../web/js/conflicts.js';
import { newRule, compileChain, evaluateAll } from '../../../web/js/rules.js';
import { recordAt } from './records.js';

test('names FAT, exFAT, NTFS and Windows shares refuse are found and made portable', () => {
  // [name, why it is refused, as "Make portable" writes it]
  const CASES = [
    ['a:b?.txt', 'char::', 'a_b_.txt'], ['tab\there', 'char:\t', 'tab_here'], ['con.txt', 'reserved:con', 'con_.txt'], ['LPT1', 'reserved:LPT1', 'LPT1_'], ['COM9.log', 'reserved:COM9', 'COM9_.log'],
    ['dotted...', 'trailing', 'dotted'], ['last photo.jpg ', 'trailing', 'last photo.jpg'], ['é'.repeat(256), 'length', 'é'.repeat(256)], ['fine (1).jpg', null, 'fine (1).jpg'], ['console.txt', null, 'console.txt'],
  ];
  for (const [name, why, fixed] of CASES) assert.deepEqual([portableProblem(name), makePortable(name)], [why, fixed], name);
  // the check finds the same in new names (it looks closer only at names that may hold something)
  const found = checkConflicts(CASES.map((_, i) => recordAt(`/d/old${i}`)), CASES.map(([name]) => name), { portable: true }).problems;
  assert.deepEqual(CASES.map((_, i) => found[i]?.find(([c]) => c === 'portable')?.[1] ?? null), CASES.map(([, why]) => why));
  const chain = compileChain([newRule('portable', { with: '-' })]);
  assert.deepEqual(evaluateAll(chain, [recordAt('/d/a|b.jpg')], [0], []), ['a-b.jpg']);
});

test('the check refuses them on a strict volume (a folder it makes included) or with "portable", and case twins there', () => {
  const items = ['/usb/a', '/usb/b', '/home/c', '/home/d', '/home/e'].map((p) => recordAt(p));
  const newNames = ['x?.jpg', 'sub/B:.jpg', 'y?.jpg', 'E', 'e'];
  const codes = (options) => items.map((_, i) => checkConflicts(items, newNames, { folders: true, ...options }).problems[i]?.filter(([c]) => c === 'portable').map(([, d]) => d).join() ?? '');
  const volumes = { '/usb': { type: 'vfat' }, '/home': { type: 'ext4' } };
  assert.deepEqual(codes({ volumes }), ['char:?', 'char::', '', '', '']);
  assert.deepEqual(codes({ portable: true }), ['char:?', 'char::', 'char:?', 'case:e', '']);
});
