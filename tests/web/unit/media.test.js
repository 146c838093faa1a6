import { test } from 'node:test';
import assert from 'node:assert/strict';
import { takenMs, takenColumn, mediaLines, needsTaken, mergeMedia } from '../../../web/js/media.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { newRule } from '../../../web/js/rules.js';
import { defaultConfig } from '../../../web/js/config.js';
import { record } from './records.js';

const local = (...parts) => new Date(...parts).getTime();

test('the date taken is the recorded wall clock, to the millisecond; anything else is no date', () => {
  for (const [text, want] of [
    ['2024-07-13T14:02:11', local(2024, 6, 13, 14, 2, 11)],
    ['2024-07-13T14:02:11.25', local(2024, 6, 13, 14, 2, 11, 250)],
    ['2024-07-13', 0], ['', 0], [undefined, 0], ['2024-07-13T14:02:11Z', 0],
  ]) assert.equal(takenMs(text === undefined ? undefined : { dateTaken: text }), want, String(text));
});

test('a taken date names items, sorts them, and rows without one fall back to modified with a warning', () => {
  const items = ['c.jpg', 'a.jpg', 'b.jpg', 'sub'].map((name, i) => record('/d', name, { isDir: name === 'sub', modified: local(2020, 0, 1 + i), size: 1 }));
  const media = new Map([['/d/c.jpg', { dateTaken: '2024-07-13T08:00:00' }], ['/d/a.jpg', { dateTaken: '2023-12-31T23:59:59' }]]);
  const config = { ...defaultConfig(), sort: { key: 'taken', dir: 1 }, rules: [newRule('date', { source: 'taken', position: 'replace', pattern: 'YYYY-MM-DD hh.mm.ss' })] };
  assert.ok(needsTaken(config));
  assert.ok(!needsTaken(defaultConfig()));
  const p = computePreview({ items, rules: config.rules, filter: {}, sort: config.sort, dateTaken: takenColumn(items, media) });
  assert.deepEqual([...p.base].map((i) => p.newNames[i]), ['2020-01-03 00.00.00.jpg', '2020-01-04 00.00.00', '2023-12-31 23.59.59.jpg', '2024-07-13 08.00.00.jpg']);
  assert.deepEqual(p.check.problems[2], [['noTaken']]);
  assert.equal(p.check.problems[3], undefined); // a folder has no date taken to miss
  assert.equal(p.counts.warnings, 1);
});

test('the metadata panel says what is inside a photo, a song, a document or why it could not be read', () => {
  assert.deepEqual(mediaLines({ dateTaken: '2024-07-13T14:02:11', offset: '+02:00', make: 'Canon', model: 'EOS R5', width: 480, height: 640, exposure: '1/250', fNumber: 2.8, iso: 200 }), [
    ['Taken', '2024-07-13 14:02:11 (+02:00)'], ['Camera', 'Canon · EOS R5'], ['Size', '480 × 640'], ['Exposure', '1/250 s · f/2.8 · ISO 200']]);
  assert.deepEqual(mediaLines({ artist: 'Ana', album: 'Harbour', year: 2021, track: 3, trackTotal: 12, duration: 185.4 }), [
    ['Artist', 'Ana'], ['Album', 'Harbour · 2021'], ['Track', '3 of 12'], ['Length', '3:05']]);
  assert.deepEqual(mediaLines({ pages: 3, author: 'Ana' }), [['Author', 'Ana'], ['Pages', '3']]);
  assert.deepEqual(mediaLines({ error: 'took too long to read' }), [['Contents', 'took too long to read']]);
  assert.deepEqual(mediaLines(undefined), []);
});

test('digests read one by one join the fields already read, and a plain read keeps them', () => {
  const plain = { path: '/a', kind: 'audio', artist: 'Ana' };
  const md5 = mergeMedia(plain, { ...plain, hash: 'aa' }, 'md5');
  const both = mergeMedia(md5, { ...plain, hash: 'bb' }, 'sha1');
  assert.deepEqual(both, { ...plain, hash: { md5: 'aa', sha1: 'bb' } });
  assert.deepEqual(mergeMedia(both, { ...plain, artist: 'Bea' }, ''), { ...plain, artist: 'Bea', hash: { md5: 'aa', sha1: 'bb' } });
  assert.deepEqual(mergeMedia(undefined, { path: '/b', error: 'took too long to read' }, 'md5'), { path: '/b', error: 'took too long to read' });
});
