import { test } from 'node:test';
import assert from 'node:assert/strict';
import { textOfBytes, bytesOfText, hasRawBytes, shownBytes, textOfBase64, base64OfText } from '../../../web/js/bytes.js';
import { repairName, encodingsFound, decodeAs } from '../../../web/js/encodings.js';
import { itemsFromColumns, itemsFromRecords } from '../../../web/js/columns.js';
import { newRule } from '../../../web/js/rules.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { pathArg } from '../../../web/js/bridge.js';
import { recordAt } from './records.js';

const b64 = (bytes) => Buffer.from(bytes).toString('base64');
const raw = (...bytes) => textOfBytes(Uint8Array.from(bytes));

test('names that are not UTF-8 keep every byte through the page and show it', () => {
  // [bytes, shown]: each byte outside valid UTF-8 (GLib's rules) stands alone
  const CASES = [
    [[0x63, 0x61, 0x66, 0xe9], 'caf\\xE9'], [[0xc3, 0xa9], 'é'], [[0xc0, 0x80], '\\xC0\\x80'], [[0xed, 0xa0, 0x80], '\\xED\\xA0\\x80'],
    [[0xf4, 0x90, 0x80, 0x80], '\\xF4\\x90\\x80\\x80'], [[0xe2, 0x82, 0x41], '\\xE2\\x82A'], [[0xef, 0xbb, 0xbf, 0x61], '\ufeffa'],
    [[0xf0, 0x9f, 0x98, 0x80, 0xe9], '😀\\xE9'], [[0x83, 0x65, 0xff], '\\x83e\\xFF'], [[], ''],
  ];
  for (const [bytes, shown] of CASES) {
    const text = raw(...bytes);
    assert.deepEqual([Array.from(bytesOfText(text)), shownBytes(text), hasRawBytes(text)], [bytes, shown, shown.includes('\\x')], shown);
    assert.equal(textOfBase64(base64OfText(text)), text, shown);
  }
  // an astral character's second half is not a byte
  assert.equal(hasRawBytes('😀'), false);
  assert.deepEqual([pathArg('/d/' + raw(0xe9)), pathArg('/d/é', 'newPath', 'rawNewPath')], [{ rawPath: b64([0x2f, 0x64, 0x2f, 0xe9]) }, { newPath: '/d/é' }]);
});

test('legacy names read in the encoding asked for, or the most plausible one, and names encoded twice undone', () => {
  const sjis = [0x83, 0x65, 0x83, 0x58, 0x83, 0x67, 0x2e, 0x74, 0x78, 0x74];
  // [bytes or text, encoding asked for, repaired, encoding used]
  const CASES = [
    [[0x63, 0x61, 0x66, 0xe9, 0x2e, 0x74, 0x78, 0x74], 'auto', 'café.txt', 'windows-1252'],
    [sjis, 'auto', 'テスト.txt', 'shift_jis'],
    [[0x82, 0xb1, 0x82, 0xf1, 0x82, 0xc9, 0x82, 0xbf, 0x82, 0xcd], 'auto', 'こんにちは', 'shift_jis'],
    [[0xa4, 0xb3, 0xa4, 0xf3, 0xa4, 0xcb, 0xa4, 0xc1, 0xa4, 0xcf], 'auto', 'こんにちは', 'euc-jp'],
    [[0xd6, 0xd0, 0xce, 0xc4], 'auto', '中文', 'gbk'],
    [[0xb8, 0xea, 0xae, 0xc6], 'auto', '資料', 'big5'],
    [[0xc7, 0xd1, 0xb1, 0xb9], 'auto', '한국', 'euc-kr'],
    [[0xcf, 0xf0, 0xe8, 0xe2, 0xe5, 0xf2], 'auto', 'Привет', 'windows-1251'],
    [[0xf0, 0xd2, 0xc9, 0xd7, 0xc5, 0xd4], 'auto', 'Привет', 'koi8-r'],
    [[0x8f, 0xe0, 0xa8, 0xa2, 0xa5, 0xe2], 'auto', 'Привет', 'ibm866'],
    [[0x4b, 0x81, 0x63, 0x68, 0x65], 'auto', 'Küche', 'ibm437'],
    [[0x5a, 0xf3, 0xb3, 0x74, 0x79], 'iso-8859-2', 'Zółty', 'iso-8859-2'],
    [[0x61, 0xa4, 0xbd], 'iso-8859-15', 'a€œ', 'iso-8859-15'], [[0x61, 0xa4, 0xbd], 'iso-8859-1', 'a¤½', 'iso-8859-1'],
    [[0x61, 0x80, 0x9f], 'windows-1252', 'a€Ÿ', 'windows-1252'], [[0x61, 0x80, 0x9f], 'iso-8859-1', null, null],
    [sjis, 'euc-kr', null, null],
    ['CafÃ©', 'auto', 'Café', 'windows-1252'], ['CafÃƒÂ©', 'windows-1252', 'Café', 'windows-1252'],
    ['ÐŸÑ€Ð¸Ð²ÐµÑ‚', 'auto', 'Привет', 'windows-1252'], ['РџСЂРёРІРµС‚', 'auto', 'Привет', 'windows-1251'],
    ['Café', 'auto', null, null], ['Ärger – naïve', 'auto', null, null], ['plain.txt', 'auto', null, null], ['CafÃ©', 'shift_jis', null, null],
  ];
  for (const [from, encoding, text, used] of CASES) {
    const name = typeof from === 'string' ? from : raw(...from);
    assert.deepEqual(repairName(name, encoding), text === null ? null : { text, encoding: used }, `${shownBytes(name)} as ${encoding}`);
  }
  assert.equal(decodeAs(Uint8Array.of(0x80, 0x82, 0xe9), 'ibm437'), 'ÇéΘ');
  assert.deepEqual(encodingsFound([raw(...sjis), raw(0x4d, 0xfc, 0x6c), 'CafÃ©', 'Café', raw(0x82, 0xa0)]), [['shift_jis', 2], ['windows-1252', 2]]);
});

test('listing records carry a legacy name by its bytes, and the rule repairs it in the preview, after other rules too', () => {
  const latin = [0x63, 0x61, 0x66, 0xe9];
  const folder = [0x2f, 0x64, 0xff];
  // as columns: the name's and the path's text have U+FFFD; their bytes ride beside
  const [fromColumns] = itemsFromColumns({
    name: ['caf\uFFFD.t\uFFFD'], dirs: ['/d\uFFFD'], dir: [0], exts: ['t\uFFFD'], ext: [0],
    rawName: { rows: [0], values: [b64([...latin, 0x2e, 0x74, 0xe9])] },
    rawPath: { rows: [0], values: [b64([...folder, 0x2f, ...latin, 0x2e, 0x74, 0xe9])] },
  }, '/', 0);
  const [fromRecord] = itemsFromRecords([recordAt('/d/caf\uFFFD.txt', { rawName: b64([...latin, 0x2e, 0x74, 0x78, 0x74]), rawPath: b64([0x2f, 0x64, 0x2f, ...latin, 0x2e, 0x74, 0x78, 0x74]) })], '/d', 0);
  const fields = (it) => [it.name, it.basename, it.ext, it.dir, it.path].map(shownBytes);
  assert.deepEqual(fields(fromColumns), ['caf\\xE9.t\\xE9', 'caf\\xE9', 't\\xE9', '/d\\xFF', '/d\\xFF/caf\\xE9.t\\xE9']);
  assert.deepEqual(fields(fromRecord), ['caf\\xE9.txt', 'caf\\xE9', 'txt', '/d', '/d/caf\\xE9.txt']);

  const twin = itemsFromRecords([recordAt('/d/caf\uFFFD.txt', { rawName: b64([0x63, 0x61, 0x66, 0xe8, 0x2e, 0x74, 0x78, 0x74]) })], '/d', 1)[0];
  const items = [fromRecord, twin];
  const preview = (rules) => computePreview({ items, rules, filter: {}, sort: { key: 'native', dir: 1 } });
  const p = preview([newRule('insert', { text: '1 ', position: 'prefix' }), newRule('repair')]);
  assert.deepEqual([p.newNames, Array.from(p.check.problems)], [['1 café.txt', '1 cafè.txt'], [undefined, undefined]]);
  // without it the two stay apart, and a new name that keeps the bytes is a warning
  const kept = preview([newRule('insert', { text: '1 ', position: 'prefix' })]);
  assert.deepEqual([kept.newNames.map(shownBytes), kept.check.problems, kept.counts.sent], [['1 caf\\xE9.txt', '1 caf\\xE8.txt'], [[['utf8']], [['utf8']]], 2]);
});
