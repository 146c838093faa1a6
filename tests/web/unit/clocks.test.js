import { test } from 'node:test';
import assert from 'node:assert/strict';
import { cameraOf, camerasIn, parseOffset, offsetText, sanitizeClocks } from '../../../web/js/clocks.js';
import { takenColumn } from '../../../web/js/media.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { newRule } from '../../../web/js/rules.js';
import { parseConfig, serializeConfig } from '../../../web/js/config.js';
import { record } from './records.js';

test('offsets are typed as ±days h:mm or minutes and read back as typed', () => {
  // [typed, minutes, as shown]
  for (const [text, minutes, shown] of [['-1:30', -90, '-1:30'], ['+2d 3:00', 3060, '+2d 3:00'], ['2d', 2880, '+2d 0:00'], ['45', 45, '+0:45'], [' - 0:05 ', -5, '-0:05']]) {
    assert.deepEqual([parseOffset(text), offsetText(parseOffset(text))], [minutes, shown], text);
  }
  for (const bad of ['', '1:60', 'x', '1:5', '+', '99999999']) assert.equal(parseOffset(bad), null, bad);
  assert.deepEqual([cameraOf({ make: 'Canon', model: 'Canon EOS R6' }), cameraOf({ make: 'Apple', model: 'iPhone 15' }), cameraOf({})], ['Canon EOS R6', 'Apple iPhone 15', '']);
  assert.deepEqual(sanitizeClocks({ a: 60, b: 1.5, c: 0, '': 5, d: 'x' }), { a: 60 });
});

test('a camera\'s offset moves its dates taken: two cameras make one timeline and one counter, saved with the chain', () => {
  const items = ['r6_1.jpg', 'r6_2.jpg', 'phone_1.jpg'].map((name) => record('/d', name));
  const media = new Map([
    ['/d/r6_1.jpg', { make: 'Canon', model: 'EOS R6', dateTaken: '2024-07-13T10:00:00' }],
    ['/d/r6_2.jpg', { make: 'Canon', model: 'EOS R6', dateTaken: '2024-07-13T12:00:00' }],
    ['/d/phone_1.jpg', { make: 'Apple', model: 'iPhone 15', dateTaken: '2024-07-13T11:30:00' }],
  ]);
  assert.deepEqual(camerasIn(items, media), [['Canon EOS R6', 2], ['Apple iPhone 15', 1]]);
  const names = (clocks) => computePreview({ items, rules: [newRule('template', { pattern: '{n:2} {taken:hh.mm}' })], filter: {}, sort: { key: 'taken', dir: 1 }, dateTaken: takenColumn(items, media, clocks) }).newNames;
  assert.deepEqual(names({}), ['01 10.00.jpg', '03 12.00.jpg', '02 11.30.jpg']);
  assert.deepEqual(names({ 'Canon EOS R6': -120 }), ['01 08.00.jpg', '02 10.00.jpg', '03 11.30.jpg'], 'the camera was two hours ahead');
  assert.deepEqual(parseConfig(serializeConfig({ ...parseConfig('{}'), clocks: { 'Canon EOS R6': -120 } }).text).clocks, { 'Canon EOS R6': -120 });
});
