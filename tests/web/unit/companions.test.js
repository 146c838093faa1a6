import { test } from 'node:test';
import assert from 'node:assert/strict';
import { companionGroups } from '../../../web/js/companions.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { newRule } from '../../../web/js/rules.js';
import { recordAt } from './records.js';

const listed = (...paths) => paths.map((p) => recordAt(p, p.endsWith('/') ? { isDir: true } : {}));

test('companions are grouped by base name in one folder under their JPEG or HEIC, else video, else raw file', () => {
  // [paths, main of each]
  const CASES = [
    [['/d/IMG_1.CR2', '/d/IMG_1.JPG', '/d/IMG_1.xmp', '/d/IMG_1.CR2.xmp', '/d/IMG_1.txt'], [1, 1, 1, 1, 4]],
    [['/d/a.NEF', '/d/a.MOV', '/d/a.HEIC', '/d/a.jpg'], [2, 2, 2, 2]],
    [['/d/a.dng', '/d/a.aae', '/e/a.jpg', '/d/b.jpg'], [0, 0, 2, 3]],
    [['/d/a.xmp', '/d/a.thm', '/d/a.jpg/'], [0, 1, 2]],
  ];
  for (const [paths, main] of CASES) assert.deepEqual(Array.from(companionGroups(listed(...paths))), main, paths.join(' '));
});

test('with companions the rules run once a group and its companions follow; an error of one blocks the group', () => {
  const items = listed('/d/IMG_7.CR2', '/d/IMG_7.JPG', '/d/IMG_7.JPG.xmp', '/d/IMG_9.jpg', '/d/Trip 02.arw');
  const rules = [newRule('template', { pattern: 'Trip {n:2}' })];
  const preview = (companions) => computePreview({ items, rules, filter: {}, sort: { key: 'native', dir: 1 }, companions });
  assert.deepEqual(preview(false).newNames, ['Trip 01.CR2', 'Trip 02.JPG', 'Trip 03.xmp', 'Trip 04.jpg', 'Trip 05.arw']);
  const together = preview(true);
  assert.deepEqual(together.newNames, ['Trip 01.CR2', 'Trip 01.JPG', 'Trip 01.JPG.xmp', 'Trip 02.jpg', 'Trip 03.arw'], 'counters count groups');
  // numbered apart as one: a twin's collision numbers its group
  const card = listed('/d/IMG_2.HEIC', '/d/IMG_2.JPG', '/d/Trip 2.jpg');
  assert.deepEqual(computePreview({ items: card, rules: [newRule('replace', { find: 'IMG_', with: 'Trip ' })], filter: {}, sort: { key: 'native', dir: 1 }, companions: true, unique: ' ({k})' }).newNames, ['Trip 2 (2).HEIC', 'Trip 2 (2).JPG', 'Trip 2.jpg']);
  // a name held by an item that is not listed blocks the raw file's group
  const held = computePreview({ items: items.slice(0, 3), rules: [newRule('template', { pattern: 'Trip' })], filter: {}, sort: { key: 'native', dir: 1 }, companions: true, taken: new Set(['/d/Trip.CR2']) });
  assert.deepEqual([0, 1, 2].map((i) => held.check.problems[i].map(([c]) => c).join()), ['unlisted', 'companion', 'companion']);
});
