import { test } from 'node:test';
import assert from 'node:assert/strict';
import { newRule, compileChain, evaluateAll, sanitizeRule, formatDate } from '../../../web/js/rules.js';
import { record } from './records.js';

const file = (name, extra) => record('/d', name, extra);

/** New names of `names` (or items) under a chain of rules given as [type, options] pairs, in list order. */
function run(names, ...rules) {
  const chain = compileChain(rules.map(([type, opts]) => newRule(type, opts)));
  const items = names.map((n) => (typeof n === 'string' ? file(n) : n));
  return evaluateAll(chain, items, items.map((_, i) => i), new Array(items.length));
}

const t = new Date(2024, 0, 2, 3, 4, 5).getTime();
const dated = [file('a.jpg', { modified: t }), file('b.jpg', { created: t })];

/** [names, new names, ...rules] */
const CASES = [
  // replace: any case or exactly, the first or the last time, "$" taken literally, on the part it targets
  [['IMG_img_Img.jpg'], ['x_x_x.jpg'], ['replace', { find: 'img', with: 'x' }]],
  [['IMG_img_Img.jpg'], ['IMG_x_Img.jpg'], ['replace', { find: 'img', with: 'x', caseSensitive: true }]],
  [['a-a-a.txt'], ['b-a-a.txt'], ['replace', { find: 'A', with: 'b', occurrence: 'first' }]],
  [['a-a-a.txt'], ['a-a-b.txt'], ['replace', { find: 'A', with: 'b', occurrence: 'last' }]],
  [['cost.txt'], ['$& $1.txt'], ['replace', { find: 'cost', with: '$& $1' }]],
  // which matches: numbers and ranges, from the end when below 0; the same for expressions, with their groups
  ...[['1,3', 'b-A-b-a'], ['2..3', 'a-b-b-a'], ['-1', 'a-A-a-b'], ['-3..-2', 'a-b-b-a'], ['4..9', 'a-A-a-b'], ['1,x', 'a-A-a-a']]
    .map(([occurrence, want]) => [['a-A-a-a.txt'], [`${want}.txt`], ['replace', { find: 'a', with: 'b', occurrence }]]),
  [['a-A-a-a.txt'], ['a-A-b-a.txt'], ['replace', { find: 'a', with: 'b', occurrence: '2', caseSensitive: true }]],
  [['x1y22z333.txt'], ['x1y<22>z<333>.txt'], ['regex', { pattern: '(\\d+)', with: '<$1>', occurrence: '-2..-1' }]],
  [['txt.txt'], ['md.txt'], ['replace', { find: 'txt', with: 'md' }]],
  [['txt.txt'], ['txt.md'], ['replace', { find: 'txt', with: 'md', target: 'ext' }]],
  [['a.b.c'], ['a_b_c'], ['replace', { find: '.', with: '_', target: 'both' }]],
  [['a.b'], ['a.b'], ['replace', { find: '', with: 'zz' }]],
  // regular expressions: groups, flags, code points
  [['IMG_20240102.jpg'], ['2024-01-02.jpg'], ['regex', { pattern: '^IMG_(\\d{4})(\\d{2})(\\d{2})$', with: '$1-$2-$3' }]],
  [['aAa.txt'], ['Aa.txt'], ['regex', { pattern: 'a', with: '', caseSensitive: false, global: false }]],
  [['😀x😀.txt'], ['___.txt'], ['regex', { pattern: '.', with: '_' }]],
  // case escapes as sed and Perl have them; $12 is group 1 and a "2" when there is no group 12
  [['hello big world.txt'], ['HELLO big World.txt'], ['regex', { pattern: '^(\\w+) (\\w+) (\\w+)', with: '\\U$1\\E $2 \\u$3' }]],
  [['ÉTÉ Été.txt'], ['été-ÉTÉ$ÉTÉ Été.txt'], ['regex', { pattern: '(?<a>\\S+) (\\S+)', with: '\\L$<a>-\\U$2$$\\E$`$&', global: false }]],
  [['ab.txt'], ['Aa2.txt'], ['regex', { pattern: '(a)(b)', with: '\\u$1$12' }]],
  // insert and remove count code points, never halves of a surrogate pair
  [['abc.txt'], ['a-bc.txt'], ['insert', { text: '-', position: 1 }]],
  [['abc.txt'], ['ab-c.txt'], ['insert', { text: '-', position: 1, from: 'end' }]],
  [['abc.txt'], ['abc-.txt'], ['insert', { text: '-', position: 99 }]],
  [['😀😁😂.txt'], ['😀|😁😂.txt'], ['insert', { text: '|', position: 1 }]],
  [['😀😁😂.txt'], ['😀😂.txt'], ['remove', { count: 1, position: 1 }]],
  [['😀😁😂.txt'], ['😀.txt'], ['remove', { count: 2, from: 'end' }]],
  [['😀😁.txt'], ['é😀.txt'], ['remove', { count: 1, position: 1 }], ['insert', { text: 'é', position: 1, from: 'end' }]],
  [['abcdef.txt'], ['aef.txt'], ['remove', { mode: 'range', start: 2, end: 4 }]],
  [['ab.txt'], ['ab.txt'], ['remove', { count: 10, position: 5 }]],
  [['ab.txt'], ['.txt'], ['remove', { count: 10 }]],
  // strip: digits of any script, symbols, bracketed parts nested or not
  [['a1b22c٣.txt'], ['abc.txt'], ['strip', { digits: true, brackets: false }]],
  [['Song (live) [2019] {x (y)}.mp3'], ['Song   .mp3'], ['strip', { brackets: true }]],
  [['a#b@c!-d_e.f$.txt'], ['abc-d_e.f.txt'], ['strip', { symbols: true, brackets: false }]],
  // case, with letters beyond ASCII; a letter and its combining marks are one letter
  [['ÉCOLE d\'été-x.JPG'], ["école d'été-x.JPG"], ['case', { mode: 'lower' }]],
  [['straße.txt'], ['STRASSE.txt'], ['case', { mode: 'upper' }]],
  [["the DON'T stop-me_now.txt"], ["The Don't Stop-Me_Now.txt"], ['case', { mode: 'title' }]],
  [['2nd x9Y IMG_0012ab  o\'neil.txt', 'a.b', '_'], ['2nd X9y Img_0012ab  O\'neil.txt', 'A.b', '_'], ['case', { mode: 'title' }]],
  [['  hELLO World.txt'], ['  Hello world.txt'], ['case', { mode: 'sentence' }]],
  [['e\u0301cole.txt', 'le\u0301on blum.txt', 'ê\u0323x y.txt'], ['E\u0301cole.txt', 'Le\u0301on Blum.txt', 'Ê\u0323x Y.txt'], ['case', { mode: 'title' }]],
  // numbering: start, step, padding, negatives, position, restart per folder
  [['a.jpg', 'b.jpg', 'c.jpg'], ['001 a.jpg', '002 b.jpg', '003 c.jpg'], ['number', { start: 1, step: 1, pad: 3, position: 'prefix', sep: ' ' }]],
  [['a.jpg', 'b.jpg', 'c.jpg'], ['a_10.jpg', 'b_00.jpg', 'c_-10.jpg'], ['number', { start: 10, step: -10, pad: 2, position: 'suffix', sep: '_' }]],
  [['a.jpg', 'b.jpg', 'c.jpg'], ['7.jpg', '8.jpg', '9.jpg'], ['number', { start: 7, pad: 0, position: 'replace' }]],
  [['a.jpg', 'b.jpg', 'c.jpg'], ['2.jpg', '4.jpg', '6.jpg'], ['number', { start: 1, pad: 0, position: 'replace', skip: '1,3,5' }]],
  [[file('a.jpg', { dir: '/x' }), file('b.jpg', { dir: '/y' }), file('c.jpg', { dir: '/x' })], ['1.jpg', '1.jpg', '2.jpg'], ['number', { restart: true, pad: 1, position: 'replace' }]],
  // counter styles: roman only for 1–3999, letters as spreadsheet columns, hex padded
  [['a', 'b', 'c'], ['MMMCMXCVIII a', 'MMMCMXCIX b', '4000 c'], ['number', { start: 3998, pad: 0, format: 'ROMAN' }]],
  [['a', 'b', 'c'], ['z a', 'aa b', 'ab c'], ['number', { start: 26, pad: 0, format: 'alpha' }]],
  [['a', 'b'], ['00FF a', '0100 b'], ['number', { start: 255, pad: 4, format: 'HEX' }]],
  // dates: the chosen time in local time; items without one keep their names
  [dated, ['20240102_a.jpg', 'b.jpg'], ['date', { pattern: 'YYYYMMDD', sep: '_' }]],
  [dated, ['a.jpg', '02.jpg'], ['date', { source: 'created', pattern: 'DD', position: 'replace' }]],
  // extension: lower, upper, set with or without a dot, remove; folders keep whole names
  [['a.JPG', 'b'], ['a.jpg', 'b'], ['ext', { mode: 'lower' }]],
  [['a.jpg'], ['a.JPG'], ['ext', { mode: 'upper' }]],
  [['a.jpeg', 'b'], ['a.jpg', 'b.jpg'], ['ext', { mode: 'set', value: '.jpg' }]],
  [['a.tar.gz'], ['a.tar'], ['ext', { mode: 'remove' }]],
  [[{ ...file('Photos.2024'), isDir: true }], ['PHOTOS.2024'], ['case', { mode: 'upper' }]],
  // spaces and unicode: trim, collapse, replace, diacritics, NFC; marks that are parts of letters of other scripts stay
  [['  a \t b  .txt'], ['a b.txt'], ['spaces', {}]],
  [['a b  c.txt'], ['a_b__c.txt'], ['spaces', { collapse: false, trim: false, replace: true, with: '_' }]],
  [['Crème brûlée Łódź ø.txt'], ['Creme brulee Lodz o.txt'], ['unicode', {}]],
  [['Æther Œuvre Straße Ĳ ı Ŧ Ŀ Þ ð ① ﬁ 日本.txt'], ['AEther OEuvre Strasse IJ i T L TH d 1 fi 日本.txt'], ['unicode', {}]],
  [['e\u0301t\u00e9.txt'], ['\u00e9t\u00e9.txt'], ['unicode', { diacritics: false, nfc: true }]],
  [['हिंदी.txt'], ['हिंदी.txt'], ['unicode', {}]],
  // a list gives the n-th line to the n-th item; blank and missing lines keep names; pasted whole names are whole names
  [['a.jpg', 'b.jpg', 'c.jpg', 'd.jpg'], ['One.jpg', 'b.jpg', 'Three.jpg', 'd.jpg'], ['list', { text: 'One\r\n\nThree\n' }]],
  [['a.txt', 'b.TXT', 'c.txt', 'd', 'e.txt'], ['b.txt', 'A.txt', 'c.md.txt', 'd.txt', '.txt.txt'], ['list', { text: 'b.txt\nA.txt\nc.md\nd.txt\n.txt' }]],
  [['a.txt'], ['z'], ['list', { text: 'z', target: 'both' }]],
  // chains: empty input, an empty chain, a huge name
  [[''], ['a'], ['insert', { text: 'a' }]],
  [['x'.repeat(100000) + '.txt'], ['yy'.repeat(100000) + '.txt'], ['replace', { find: 'x', with: 'yy' }]],
  [['x.y'], ['x.y']],
];

test('each rule type renames as its options say', () => {
  for (const [names, want, ...rules] of CASES) assert.deepEqual(run(names, ...rules), want, JSON.stringify([names, rules]));
  assert.equal(formatDate(t, 'YYYY-MM-DD hh.mm.ss YY'), '2024-01-02 03.04.05 24');
  assert.equal(formatDate(t + 7, 'D.M. MMM MMMM ddd dddd SSS [YYYY at] hh', 'en'), '2.1. Jan January Tue Tuesday 007 YYYY at 03');
  assert.equal(formatDate(t, 'MMMM dddd', 'de'), 'Januar Dienstag');
});

test('replace takes every character literally, in every mode, and never throws out of the chain', () => {
  const chars = [...Array.from({ length: 95 }, (_, i) => String.fromCharCode(32 + i)), 'é', 'ß', '😀', '\u0301', '\t'];
  for (const c of chars) {
    for (const caseSensitive of [false, true]) {
      const name = `«${c}¶${c}»`;
      for (const [occurrence, want] of Object.entries({ all: '«_¶_»', first: `«_¶${c}»`, last: `«${c}¶_»` })) {
        const chain = compileChain([newRule('replace', { find: c, with: '_', caseSensitive, occurrence, target: 'both' })]);
        assert.deepEqual(chain.errors, {}, `find ${JSON.stringify(c)}`);
        assert.equal(chain.run(file(name), { index: 0 }), want, `find ${JSON.stringify(c)}, ${occurrence}, case ${caseSensitive}`);
      }
    }
  }
});

test('a rule that cannot run is that rule\'s error; the chain and the other rules go on', () => {
  const broken = newRule('replace', { id: 'broken', find: 'a', with: 'b' });
  Object.defineProperty(broken, 'caseSensitive', { get() { throw new Error('boom'); }, enumerable: true });
  const chain = compileChain([broken, newRule('case', { mode: 'upper' })]);
  assert.match(chain.errors.broken, /boom/);
  assert.equal(chain.run(file('abc.txt'), { index: 0 }), 'ABC.txt');
  // thrown while naming one item: reported, that rule skipped for that item
  const late = compileChain([newRule('list', { id: 'late', text: 'x' }), newRule('case', { mode: 'upper' })]);
  assert.equal(late.run(file('abc.txt'), null), 'ABC.txt');
  assert.match(late.errors.late, /cannot run/);
  // an invalid pattern leaves the names as they are
  const regex = compileChain([newRule('regex', { id: 'bad', pattern: '(' })]);
  assert.equal(regex.run(file('x.txt'), {}), 'x.txt');
});

test('saved rules are sanitised: wrong types fall back to defaults, unknown types are dropped', () => {
  assert.equal(sanitizeRule({ type: 'nope' }), null);
  const r = sanitizeRule({ type: 'number', start: '5', pad: 2, target: 'weird', enabled: false });
  assert.deepEqual([r.start, r.pad, r.target, r.enabled], [1, 2, 'name', false]);
  assert.equal(sanitizeRule({ type: 'ext', target: 'name' }).target, 'ext');
});
