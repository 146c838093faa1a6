import { test } from 'node:test';
import assert from 'node:assert/strict';
import { diffNames } from '../../../web/js/diff.js';

const join = (segs, keep) => segs.filter(([k]) => k === '=' || k === keep).map(([, t]) => t).join('');

test('diff segments rebuild both names, keep whole code points and read as whole changes', () => {
  const cases = [['IMG_0001.JPG', 'Beach 0001.jpg'], ['IMG_0001', '003'], ['a', 'a'], ['', 'new'], ['old', ''], ['😀a😁', '😀b😁'], ['abc', 'xaybzc']];
  for (const [a, b] of cases) {
    const segs = diffNames(a, b);
    assert.equal(join(segs, '-'), a, `old side of ${a} -> ${b}`);
    assert.equal(join(segs, '+'), b, `new side of ${a} -> ${b}`);
    for (const [, t] of segs) assert.ok(!/^[\uDC00-\uDFFF]|[\uD800-\uDBFF]$/.test(t), `split pair in ${JSON.stringify(segs)}`);
  }
  assert.deepEqual(diffNames('IMG_0001', '003'), [['-', 'IMG_0001'], ['+', '003']]);
  assert.deepEqual(diffNames('IMG_0001.JPG', 'Beach 0001.jpg'), [['-', 'IMG_'], ['+', 'Beach '], ['=', '0001.'], ['-', 'JPG'], ['+', 'jpg']]);
});
