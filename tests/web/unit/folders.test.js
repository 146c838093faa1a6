import { test } from 'node:test';
import assert from 'node:assert/strict';
import { placeOf } from '../../../web/js/folders.js';
import { newRule, compileChain, evaluateAll } from '../../../web/js/rules.js';
import { record } from './records.js';

test('a name with "/" is a place relative to the item\'s folder, or to a destination', () => {
  // [folder, name, options, path, outside]
  const CASES = [
    ['/p', 'a.jpg', {}, '/p/a.jpg', false],
    ['/p', '2024/07/a.jpg', {}, '/p/2024/07/a.jpg', false],
    ['/p/sub', '../a.jpg', { root: '/p' }, '/p/a.jpg', false],
    ['/p', '../a.jpg', {}, '/a.jpg', true],
    ['/p', '//./x//y/./a', {}, '/p/x/y/a', false],
    ['/', '../../a', {}, '/a', false],
    ['/p/sub', 'x/a', { destination: '/out', root: '/p' }, '/out/x/a', false],
    ['/p', '../a', { destination: '/out' }, '/a', true],
    ['/p', 'px/a', { root: '/p/x' }, '/p/px/a', true],
  ];
  for (const [dir, name, options, path, outside] of CASES) {
    const place = placeOf(dir, name, options);
    assert.deepEqual([place.path, place.outside], [path, outside], `${dir} + ${name} ${JSON.stringify(options)}`);
    assert.equal(place.dir + (place.dir === '/' ? '' : '/') + place.name, place.path);
  }
});

test('with folders a rule\'s "/" goes through, values of tokens never bring one, and the extension is the last part\'s', () => {
  const run = (folders, name, media, ...rules) => {
    const chain = compileChain(rules.map(([type, o]) => newRule(type, o)), { folders });
    const items = [record('/d', name)];
    return evaluateAll(chain, items, [0], [], { media: [media], taken: new Float64Array(1) })[0];
  };
  assert.equal(run(true, 'Song (Artist).mp3', {}, ['regex', { pattern: '(.+) \\((.+)\\)', with: '$2/$1' }]), 'Artist/Song.mp3');
  assert.equal(run(true, 'x.mp3', { album: 'AC/DC' }, ['template', { pattern: '{album}/{name}' }]), 'AC_DC/x.mp3');
  const upperExt = ['case', { mode: 'upper', target: 'ext' }];
  const into = ['replace', { find: 'n', with: 'v1.2/n', target: 'both' }];
  assert.equal(run(true, 'notes', {}, into, upperExt), 'v1.2/notes');
  assert.equal(run(true, 'n.jpg', {}, into, upperExt), 'v1.2/n.JPG');
  assert.equal(run(false, 'notes', {}, into, upperExt), 'v1.2/NOTES', 'without folders, as before');
});
