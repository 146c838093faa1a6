import { test } from 'node:test';
import assert from 'node:assert/strict';
import { diffNames, readableDiff } from '../../../web/js/diff.js';
import { visibleName, shownSpaces } from '../../../web/js/text.js';

const join = (segs, keep) => segs.filter(([k]) => k === '=' || k === keep).map(([, t]) => t).join('');

test('diff segments rebuild both names, keep whole code points and read as whole changes', () => {
  for (const [a, b] of [['IMG_0001.JPG', 'Beach 0001.jpg'], ['IMG_0001', '003'], ['a', 'a'], ['', 'new'], ['old', ''], ['😀a😁', '😀b😁'], ['abc', 'xaybzc']]) {
    const segs = diffNames(a, b);
    assert.deepEqual([join(segs, '-'), join(segs, '+')], [a, b], `${a} -> ${b}`);
    for (const [, t] of segs) assert.ok(!/^[\uDC00-\uDFFF]|[\uD800-\uDBFF]$/.test(t), `split pair in ${JSON.stringify(segs)}`);
  }
  // short kept runs between changes are folded into one change
  assert.deepEqual(diffNames('IMG_0001', '003'), [['-', 'IMG_0001'], ['+', '003']]);
});

test('a name that mostly changed is one changed run; control characters and a field\'s edge spaces show as pictures', () => {
  const cases = [
    ['IMG_0240.JPG', '2024-07-13 Holiday 240.jpg', [['+', '2024-07-13 Holiday 240.jpg']]],
    ['IMG_0001.JPG', 'Beach 0001.JPG', [['-', 'IMG_'], ['+', 'Beach '], ['=', '0001.JPG']]],
    ['IMG_0001.JPG', 'Holiday 0001.jpg', [['-', 'IMG_'], ['+', 'Holiday '], ['=', '0001.'], ['-', 'JPG'], ['+', 'jpg']]],
    ['report.txt', 'report.txt', [['=', 'report.txt']]],
    ['abc', 'xyz', [['+', 'xyz']]],
  ];
  for (const [a, b, want] of cases) assert.deepEqual(readableDiff(a, b), want, `${a} -> ${b}`);
  for (const [name, shown] of [['a\nb', 'a␊b'], ['\t\x7f\x00', '␉␡␀'], ['plain é', 'plain é']]) assert.equal(visibleName(name), shown);
  // a field's value shows its spaces only where they would look like nothing
  for (const [value, shown] of [[' ', '␣'], [' - ', '␣…␣'], ['a b', ''], ['', ''], ['Holiday  ', '…␣␣'], ['  ', '␣␣']]) assert.equal(shownSpaces(value), shown, JSON.stringify(value));
});
