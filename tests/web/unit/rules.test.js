import { test } from 'node:test';
import assert from 'node:assert/strict';
import { newRule, compileChain, evaluateAll, sanitizeRule, summarize, formatDate } from '../../../web/js/rules.js';

function file(name, extra = {}) {
  const dot = name.lastIndexOf('.');
  const split = dot > 0 && dot < name.length - 1;
  return { name, basename: split ? name.slice(0, dot) : name, ext: split ? name.slice(dot + 1) : '', isDir: false, dir: '/d', created: 0, modified: 0, ...extra };
}

/** New names of `names` under a chain of rules given as [type, options] pairs. */
function run(names, ...rules) {
  const chain = compileChain(rules.map(([type, opts]) => newRule(type, opts)));
  const items = names.map((n) => (typeof n === 'string' ? file(n) : n));
  return evaluateAll(chain, items, items.map((_, i) => i), new Array(items.length));
}

test('replace: case, occurrence, target and literal "$" in the replacement', () => {
  assert.deepEqual(run(['IMG_img_Img.jpg'], ['replace', { find: 'img', with: 'x' }]), ['x_x_x.jpg']);
  assert.deepEqual(run(['IMG_img_Img.jpg'], ['replace', { find: 'img', with: 'x', caseSensitive: true }]), ['IMG_x_Img.jpg']);
  assert.deepEqual(run(['a-a-a.txt'], ['replace', { find: 'A', with: 'b', occurrence: 'first' }]), ['b-a-a.txt']);
  assert.deepEqual(run(['a-a-a.txt'], ['replace', { find: 'a', with: 'b', occurrence: 'last', caseSensitive: true }]), ['a-a-b.txt']);
  assert.deepEqual(run(['a-a-a.txt'], ['replace', { find: 'A', with: 'b', occurrence: 'last' }]), ['a-a-b.txt']);
  assert.deepEqual(run(['cost.txt'], ['replace', { find: 'cost', with: '$& $1' }]), ['$& $1.txt']);
  // the extension is left alone unless the rule targets it
  assert.deepEqual(run(['txt.txt'], ['replace', { find: 'txt', with: 'md' }]), ['md.txt']);
  assert.deepEqual(run(['txt.txt'], ['replace', { find: 'txt', with: 'md', target: 'ext' }]), ['txt.md']);
  assert.deepEqual(run(['a.b.c'], ['replace', { find: '.', with: '_', target: 'both' }]), ['a_b_c']);
  assert.deepEqual(run(['a.b'], ['replace', { find: '', with: 'zz' }]), ['a.b']);
});

test('replace takes every character literally, in every mode, and never throws out of the chain', () => {
  const chars = [...Array.from({ length: 95 }, (_, i) => String.fromCharCode(32 + i)), 'é', 'ß', '😀', '\u0301', '\t'];
  for (const c of chars) {
    for (const caseSensitive of [false, true]) {
      const name = `«${c}¶${c}»`;
      const cases = { all: '«_¶_»', first: `«_¶${c}»`, last: `«${c}¶_»` };
      for (const [occurrence, want] of Object.entries(cases)) {
        const chain = compileChain([newRule('replace', { find: c, with: '_', caseSensitive, occurrence, target: 'both' })]);
        assert.deepEqual(chain.errors, {}, `find ${JSON.stringify(c)}`);
        assert.equal(chain.run(file(name), { index: 0 }), want, `find ${JSON.stringify(c)}, ${occurrence}, case ${caseSensitive}`);
      }
    }
  }
  assert.deepEqual(run(['2024-07-13 beach-day.jpg'], ['replace', { find: '-', with: ' ' }]), ['2024 07 13 beach day.jpg']);
});

test('a rule that throws is that rule\'s error; the chain and the other rules go on', () => {
  const broken = newRule('replace', { id: 'broken', find: 'a', with: 'b' });
  Object.defineProperty(broken, 'caseSensitive', { get() { throw new Error('boom'); }, enumerable: true });
  const chain = compileChain([broken, newRule('case', { mode: 'upper' })]);
  assert.match(chain.errors.broken, /boom/);
  assert.equal(chain.run(file('abc.txt'), { index: 0 }), 'ABC.txt');
  // thrown while naming one item: reported, that rule skipped for that item
  const list = newRule('list', { id: 'late', text: 'x' });
  const late = compileChain([list, newRule('case', { mode: 'upper' })]);
  assert.equal(late.run(file('abc.txt'), null), 'ABC.txt');
  assert.match(late.errors.late, /cannot run/);
});

test('regex: capture groups, flags and an invalid pattern reported instead of thrown', () => {
  assert.deepEqual(run(['IMG_20240102.jpg'], ['regex', { pattern: '^IMG_(\\d{4})(\\d{2})(\\d{2})$', with: '$1-$2-$3' }]), ['2024-01-02.jpg']);
  assert.deepEqual(run(['aAa.txt'], ['regex', { pattern: 'a', with: '', caseSensitive: false, global: false }]), ['Aa.txt']);
  assert.deepEqual(run(['😀x😀.txt'], ['regex', { pattern: '.', with: '_' }]), ['___.txt']);
  const chain = compileChain([newRule('regex', { id: 'bad', pattern: '(' })]);
  assert.match(Object.values(chain.errors)[0], /^invalid regular expression/);
  assert.equal(chain.run(file('x.txt'), {}), 'x.txt');
});

test('insert and remove count code points, never halves of a surrogate pair', () => {
  assert.deepEqual(run(['abc.txt'], ['insert', { text: '-', position: 1 }]), ['a-bc.txt']);
  assert.deepEqual(run(['abc.txt'], ['insert', { text: '-', position: 1, from: 'end' }]), ['ab-c.txt']);
  assert.deepEqual(run(['abc.txt'], ['insert', { text: '-', position: 99 }]), ['abc-.txt']);
  assert.deepEqual(run(['😀😁😂.txt'], ['insert', { text: '|', position: 1 }]), ['😀|😁😂.txt']);
  assert.deepEqual(run(['😀😁😂.txt'], ['remove', { count: 1, position: 1 }]), ['😀😂.txt']);
  assert.deepEqual(run(['😀😁😂.txt'], ['remove', { count: 2, from: 'end' }]), ['😀.txt']);
  assert.deepEqual(run(['abcdef.txt'], ['remove', { mode: 'range', start: 2, end: 4 }]), ['aef.txt']);
  assert.deepEqual(run(['ab.txt'], ['remove', { count: 10, position: 5 }]), ['ab.txt']);
  assert.deepEqual(run(['ab.txt'], ['remove', { count: 10 }]), ['.txt']);
  for (const out of run(['😀😁.txt'], ['remove', { count: 1, position: 1 }], ['insert', { text: 'é', position: 1, from: 'end' }])) {
    assert.ok(!/[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/.test(out), `lone surrogate in ${out}`);
  }
});

test('strip removes digits, symbols and bracketed parts, nested ones too', () => {
  assert.deepEqual(run(['a1b22c٣.txt'], ['strip', { digits: true, brackets: false }]), ['abc.txt']);
  assert.deepEqual(run(['Song (live) [2019] {x (y)}.mp3'], ['strip', { brackets: true }]), ['Song   .mp3']);
  assert.deepEqual(run(['a#b@c!-d_e.f$.txt'], ['strip', { symbols: true, brackets: false }]), ['abc-d_e.f.txt']);
});

test('case: lower, upper, title, sentence with non-ASCII letters', () => {
  assert.deepEqual(run(['ÉCOLE d\'été-x.JPG'], ['case', { mode: 'lower' }]), ["école d'été-x.JPG"]);
  assert.deepEqual(run(['straße.txt'], ['case', { mode: 'upper' }]), ['STRASSE.txt']);
  assert.deepEqual(run(["the DON'T stop-me_now.txt"], ['case', { mode: 'title' }]), ["The Don't Stop-Me_Now.txt"]);
  assert.deepEqual(run(['  hELLO World.txt'], ['case', { mode: 'sentence' }]), ['  Hello world.txt']);
  // a letter and its combining marks are one letter: no word starts inside them
  for (const [name, want] of [['e\u0301cole.txt', 'E\u0301cole.txt'], ['le\u0301on blum.txt', 'Le\u0301on Blum.txt'], ['ê\u0323x y.txt', 'Ê\u0323x Y.txt']])
    assert.deepEqual(run([name], ['case', { mode: 'title' }]), [want]);
});

test('numbering: start, step, padding, negatives, position and restart per folder', () => {
  const names = ['a.jpg', 'b.jpg', 'c.jpg'];
  assert.deepEqual(run(names, ['number', { start: 1, step: 1, pad: 3, position: 'prefix', sep: ' ' }]), ['001 a.jpg', '002 b.jpg', '003 c.jpg']);
  assert.deepEqual(run(names, ['number', { start: 10, step: -10, pad: 2, position: 'suffix', sep: '_' }]), ['a_10.jpg', 'b_00.jpg', 'c_-10.jpg']);
  assert.deepEqual(run(names, ['number', { start: 7, pad: 0, position: 'replace' }]), ['7.jpg', '8.jpg', '9.jpg']);
  const items = [file('a.jpg', { dir: '/x' }), file('b.jpg', { dir: '/y' }), file('c.jpg', { dir: '/x' })];
  assert.deepEqual(run(items, ['number', { restart: true, pad: 1, position: 'replace' }]), ['1.jpg', '1.jpg', '2.jpg']);
});

test('date uses the chosen time in local time and leaves items without one alone', () => {
  const t = new Date(2024, 0, 2, 3, 4, 5).getTime();
  assert.equal(formatDate(t, 'YYYY-MM-DD hh.mm.ss YY'), '2024-01-02 03.04.05 24');
  const items = [file('a.jpg', { modified: t }), file('b.jpg', { created: t })];
  assert.deepEqual(run(items, ['date', { pattern: 'YYYYMMDD', sep: '_' }]), ['20240102_a.jpg', 'b.jpg']);
  assert.deepEqual(run(items, ['date', { source: 'created', pattern: 'DD', position: 'replace' }]), ['a.jpg', '02.jpg']);
});

test('extension: lower, upper, set (with or without dot), remove; folders keep whole names', () => {
  assert.deepEqual(run(['a.JPG', 'b'], ['ext', { mode: 'lower' }]), ['a.jpg', 'b']);
  assert.deepEqual(run(['a.jpg'], ['ext', { mode: 'upper' }]), ['a.JPG']);
  assert.deepEqual(run(['a.jpeg', 'b'], ['ext', { mode: 'set', value: '.jpg' }]), ['a.jpg', 'b.jpg']);
  assert.deepEqual(run(['a.tar.gz'], ['ext', { mode: 'remove' }]), ['a.tar']);
  const folder = { ...file('Photos.2024'), isDir: true };
  assert.deepEqual(run([folder], ['case', { mode: 'upper' }]), ['PHOTOS.2024']);
});

test('spaces and unicode: trim, collapse, replace, diacritics and NFC', () => {
  assert.deepEqual(run(['  a \t b  .txt'], ['spaces', {}]), ['a b.txt']);
  assert.deepEqual(run(['a b  c.txt'], ['spaces', { collapse: false, trim: false, replace: true, with: '_' }]), ['a_b__c.txt']);
  assert.deepEqual(run(['Crème brûlée Łódź ø.txt'], ['unicode', {}]), ['Creme brulee Lodz o.txt']);
  const decomposed = 'e\u0301t\u00e9.txt';
  assert.deepEqual(run([decomposed], ['unicode', { diacritics: false, nfc: true }]), ['\u00e9t\u00e9.txt']);
  // marks that are parts of letters in other scripts stay
  assert.deepEqual(run(['हिंदी.txt'], ['unicode', {}]), ['हिंदी.txt']);
});

test('list gives the n-th line to the n-th item; blank lines and missing lines keep names', () => {
  assert.deepEqual(run(['a.jpg', 'b.jpg', 'c.jpg', 'd.jpg'], ['list', { text: 'One\r\n\nThree\n' }]), ['One.jpg', 'b.jpg', 'Three.jpg', 'd.jpg']);
  // pasted whole names give exactly those names; others keep the extension
  assert.deepEqual(run(['a.txt', 'b.TXT', 'c.txt', 'd', 'e.txt'], ['list', { text: 'b.txt\nA.txt\nc.md\nd.txt\n.txt' }]), ['b.txt', 'A.txt', 'c.md.txt', 'd.txt', '.txt.txt']);
  assert.deepEqual(run(['a.txt'], ['list', { text: 'z', target: 'both' }]), ['z']);
});

test('chains run in order, skip disabled rules and handle empty and huge input', () => {
  const chain = [newRule('replace', { find: 'IMG_', with: '' }), newRule('number', { position: 'prefix', sep: ' ', pad: 2 }), newRule('case', { mode: 'upper', enabled: false })];
  const c = compileChain(chain);
  const items = [file('IMG_1.jpg'), file('IMG_2.jpg')];
  assert.deepEqual(evaluateAll(c, items, [1, 0], []), ['02 1.jpg', '01 2.jpg']);
  assert.equal(compileChain([]).run(file('x.y'), {}), 'x.y');
  assert.deepEqual(run([''], ['insert', { text: 'a' }]), ['a']);
  const huge = 'x'.repeat(100000) + '.txt';
  assert.equal(run([huge], ['replace', { find: 'x', with: 'yy' }])[0].length, 200004);
});

test('saved rules are sanitised: wrong types fall back to defaults, unknown types are dropped', () => {
  assert.equal(sanitizeRule({ type: 'nope' }), null);
  const r = sanitizeRule({ type: 'number', start: '5', pad: 2, target: 'weird', enabled: false });
  assert.equal(r.start, 1);
  assert.equal(r.pad, 2);
  assert.equal(r.target, 'name');
  assert.equal(r.enabled, false);
  assert.equal(sanitizeRule({ type: 'ext', target: 'name' }).target, 'ext');
  assert.match(summarize(newRule('replace', { find: 'IMG_', with: '' })), /Replace "IMG_" → ""/);
});
