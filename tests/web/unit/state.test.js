import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createStore } from '../../../web/js/store.js';
import { initialState, computeView, pendingCounts, outgoingChanges } from '../../../web/js/state.js';
import { actions, sameRules } from '../../../web/js/actions.js';
import * as sel from '../../../web/js/selection.js';
import { editItems, effective, parseTags } from '../../../web/js/edits.js';
import { computePreview, pack, unpack } from '../../../web/js/preview-core.js';
import { packColumns, itemsOf } from '../../../web/js/columns-pack.js';
import { newRule } from '../../../web/js/rules.js';
import { Facets, facetsOf } from '../../../web/js/filter.js';
import { pathIndexOf } from '../../../web/js/columns.js';
import { recordAt as record } from './records.js';
import { rowModel } from '../../../web/js/views/list.js';

const listed = (...paths) => {
  const store = createStore(initialState(), actions);
  store.dispatch('configLoaded', { config: { ...store.state.config } });
  store.dispatch('listed', { folder: '/d', files: paths.map((p) => (typeof p === 'string' ? record(p) : p)) });
  return store;
};

test('the store replaces only what an action names and tells only the listeners of those keys', () => {
  const store = listed('/d/a');
  const seen = [];
  store.subscribe(['filter'], (s, keys) => seen.push(['filter', keys]));
  store.subscribe(['selection'], () => seen.push(['selection']));
  const before = store.state;
  assert.deepEqual(store.dispatch('setFilter', { text: 'x' }), ['filter', 'view']);
  assert.equal(store.state.selection, before.selection);
  assert.equal(store.state.filter.text, 'x');
  assert.deepEqual(seen, [['filter', ['filter', 'view']]]);
  assert.deepEqual(store.dispatch('moveRule', { id: 'none', to: 0 }), []);
  assert.throws(() => store.dispatch('noSuchAction'), /unknown action: noSuchAction/);
});

test('selection: clicks with modifiers, keyboard moves and ranges, toggles and coverage', () => {
  const view = [10, 11, 12, 13, 14];
  const start = sel.clickRow(sel.emptySelection(), view, 1);
  const cases = [
    ['plain click', start, [11], 1],
    ['ctrl adds', sel.clickRow(start, view, 3, { ctrl: true }), [11, 13], 3],
    ['check box toggles', sel.clickRow(sel.clickRow(start, view, 3, { part: 'check' }), view, 1, { part: 'check' }), [13], 1],
    ['shift selects the range from the anchor', sel.clickRow(start, view, 3, { shift: true }), [11, 12, 13], 1],
    ['shift+ctrl adds the range', sel.clickRow(sel.clickRow(start, view, 4, { ctrl: true }), view, 2, { shift: true, ctrl: true }), [11, 12, 13, 14], 4],
    ['down moves', sel.moveFocus(start, view, 2, false), [12], 2],
    ['shift+down extends', sel.moveFocus(sel.moveFocus(start, view, 2, true), view, 3, true), [11, 12, 13], 1],
    ['moves stop at the ends', sel.moveFocus(start, view, 99, false), [14], 4],
    ['space toggles the focused row', sel.toggleFocused(start, view), [], 1],
    ['space without focus focuses the first', sel.toggleFocused(sel.emptySelection(), view), [10], 0],
    ['select all keeps the focus', sel.selectAll(start, view), view, 1],
  ];
  for (const [what, s, set, anchor] of cases) assert.deepEqual([[...s.set].sort(), s.anchor], [set, anchor], what);
  assert.deepEqual(sel.coverage(sel.selectAll(start, view), view), { all: true, some: true });
  assert.deepEqual(sel.coverage(start, view), { all: false, some: true });
  assert.deepEqual(sel.moveFocus(start, [], 3, false), start);
});

test('metadata edits hold only what differs from disk; tags are typed ";"-separated', () => {
  const a = record('/d/a', { tags: ['x'], label: 2, comment: '' });
  const b = record('/d/b', { tags: [], label: 0 });
  let edits = editItems(new Map(), [a, b], (cur) => ({ tags: [...cur.tags, 'y'], label: 2 }));
  assert.deepEqual([...edits], [['/d/a', { tags: ['x', 'y'] }], ['/d/b', { tags: ['y'], label: 2 }]]);
  assert.deepEqual(effective(edits, a), { tags: ['x', 'y'], label: 2, comment: '' });
  edits = editItems(edits, [a, b], () => ({ tags: [], label: 0 }));
  assert.deepEqual([...edits], [['/d/a', { tags: [], label: 0 }]]);
  assert.deepEqual(parseTags(' Beach ; ;Holiday;'), ['Beach', 'Holiday']);
});

test('actions: a new listing forgets the last one; loaded rules get their own ids and compare by content', () => {
  const store = listed('/d/b.txt', '/d/a.txt');
  store.dispatch('clickRow', { v: 0 });
  store.dispatch('editMeta', { indexes: [0], change: () => ({ comment: 'c' }) });
  store.dispatch('listed', { folder: '/e', files: [record('/e/x')] });
  const s = store.state;
  assert.deepEqual([s.selection.set.size, s.edits.size, s.listing.serial, s.config.recent], [0, 0, 2, ['/e', '/d']]);
  for (const type of ['replace', 'case', 'ext']) store.dispatch('addRule', type);
  store.dispatch('savePreset', 'P');
  store.dispatch('clearRules');
  store.dispatch('loadPreset', 'P');
  const { rules: loaded, presets } = store.state.config;
  assert.ok(loaded.every((r, i) => r.id && r.id !== presets[0].rules[i].id), 'a loaded chain gets its own ids');
  assert.ok(sameRules(loaded, presets[0].rules));
  assert.ok(!sameRules(loaded, [newRule('replace')]));
  // a record with every field of its type is completed as it came, others are repaired
  const whole = record('/e/s/y.txt', { size: 1, created: 2, modified: 3, label: 2 });
  store.dispatch('listed', { folder: '/e', files: [whole, record('/e/z', { size: '7', label: 9, tags: ['t', 1] })] });
  const [y, z] = store.state.listing.items;
  assert.deepEqual([y.idx, y.dir, y.rel, z.idx, z.size, z.label, z.tags, z.isDir, z.comment], [0, '/e/s', 's', 1, 7, 0, ['t'], false, '']);
});

test('new names cross to the page as code units and read back exactly', () => {
  const names = ['', 'a.txt', '\u{1F600} b', '\ud800x', '\u00e9'.repeat(255), 'x'.repeat(10000), 'line\u2028sep', 'IMG_\ufffd.jpg'];
  const n = names.length;
  const computed = { newNames: names, base: new Int32Array(n), check: { problems: [], renamed: new Uint8Array(n) }, leftOut: null, chainErrors: {}, filterError: '', counts: null };
  const back = unpack(structuredClone(pack(computed).message)).newNames;
  assert.deepEqual([...names.keys(), n, -1].map((i) => back.at(i)), [...names, undefined, undefined]);
  assert.deepEqual(names.map((_, i) => back.firstCode(i)), names.map((s) => s.charCodeAt(0)));
});

test('the preview, the shown rows and what apply sends agree', () => {
  const store = listed('/d/a.txt', '/d/b.txt', '/d/keep.txt', record('/d/c.txt', { tags: ['t'] }));
  const rules = [newRule('replace', { find: 'a', with: 'z' }), newRule('case', { mode: 'upper', target: 'ext' })];
  const s0 = store.state;
  // the worker gets the listing as columns: every field a rule, filter or sort reads comes back
  const back = itemsOf(structuredClone(packColumns(s0.listing.items).message));
  for (const k of ['path', 'name', 'basename', 'ext', 'dir', 'rel', 'isDir', 'size', 'created', 'modified', 'tags', 'label', 'comment', 'idx']) assert.deepEqual(back.map((it) => it[k]), s0.listing.items.map((it) => it[k]), k);
  const computed = computePreview({ items: back, names: back[0].c.names, rules, filter: s0.filter, sort: s0.config.sort, edits: new Map([[1, { tags: ['n'] }]]) });
  store.dispatch('editMeta', { indexes: [1], change: () => ({ tags: ['n'] }) });
  // what the page keeps is what the worker packs
  const preview = unpack(structuredClone(pack(computed).message));
  store.dispatch('previewComputed', preview);
  assert.deepEqual(computed.newNames, ['z.TXT', 'b.TXT', 'keep.TXT', 'c.TXT']);
  assert.deepEqual(pendingCounts(store.state), { renames: 4, meta: 1, errors: 0, warnings: 0, skipped: 0, unchanged: 0, sent: 4 });
  store.dispatch('setFilter', { problem: 'changed' });
  assert.deepEqual(Array.from(store.state.view), [0, 1, 2, 3]);
  const out = outgoingChanges(store.state);
  assert.equal(out.changes.length, pendingCounts(store.state).sent);
  assert.deepEqual(out.changes[1], { key: '/d/b.txt', dir: '/d', name: 'b.txt', newName: 'b.TXT', meta: { tags: ['n'] }, before: { tags: [] } });
  assert.deepEqual(Array.from(computeView({ ...store.state, filter: { ...store.state.filter, problem: 'error' } })), []);
});

test('with "Names may make folders" a "/" of a rule moves the item, and apply sends its new folder', () => {
  const store = listed('/d/Song (Artist).mp3', '/d/x.mp3');
  const rules = [newRule('regex', { pattern: '(.+) \\((.+)\\)', with: '$2/$1' })];
  for (const folders of [false, true]) {
    store.dispatch('setFolders', folders);
    const s = store.state;
    store.dispatch('previewComputed', unpack(pack(computePreview({ items: s.listing.items, rules, filter: s.filter, sort: s.config.sort, folders, root: '/d' })).message));
    const { changes, renames } = outgoingChanges(store.state);
    assert.deepEqual([changes.map((c) => [c.newDir, c.newName]), renames], folders ? [[['/d/Artist', 'Song.mp3']], 1] : [[], 0], `folders ${folders}`);
  }
  store.dispatch('savePreset', 'Into folders');
  assert.equal(store.state.config.presets[0].folders, true);
  // into a destination: every item the rules act on, under the folders its name makes
  store.dispatch('setDestination', '/out/');
  const s = store.state;
  store.dispatch('previewComputed', unpack(pack(computePreview({ items: s.listing.items, rules, filter: s.filter, sort: s.config.sort, folders: true, root: '/d', destination: s.config.destination })).message));
  assert.deepEqual(outgoingChanges(store.state).changes.map((c) => [c.newDir, c.newName]), [['/out/Artist', 'Song.mp3'], ['/out', 'x.mp3']]);
  // the rows show the folder they go into (from the destination) apart from the name
  const shown = { ...store.state, view: computeView(store.state) };
  assert.deepEqual([0, 1].map((v) => { const m = rowModel(shown, v, 0); return [m.folder, m.newName, m.changed]; }), [['Artist/', 'Song.mp3', true], ['', 'x.mp3', true]]);
  store.dispatch('setDestination', 'relative/path');
  assert.equal(store.state.config.destination, null);
});

test('sorted by new name, names that make folders sort by the place they lead to, so that the rows group by folder', () => {
  const store = listed('/d/x/a.jpg', '/d/b.jpg', '/d/c.jpg');
  const s = store.state;
  const previous = ['../2024/q.jpg', '2023/r.jpg', '2024/a.jpg'];
  const order = (folders) => Array.from(computePreview({ items: s.listing.items, rules: [], filter: {}, sort: { key: 'newName', dir: 1 }, folders, root: '/d', previousNames: (i) => previous[i] }).base);
  assert.deepEqual([order(false), order(true)], [[0, 1, 2], [1, 2, 0]]);
});

test('a listing in parts: the first part shows at once, the rest counts, the whole is shown once and only for the newest request', async () => {
  const { createListing } = await import('../../../web/js/services/listing.js');
  const store = listed('/d/old.txt');
  const calls = [];
  const bridge = {
    listFolder: (folder, recursive, kind, more, onPart) => new Promise((resolve) => calls.push({ folder, onPart, resolve })),
    chooseFolder: (recursive, kind, more, onPart) => new Promise((resolve) => calls.push({ folder: 'chooser', onPart, resolve })),
  };
  const toasts = [];
  const listing = createListing({ store, bridge, toast: (text) => toasts.push(text) });
  const paths = (folder, a, b) => Array.from({ length: b - a }, (_, k) => record(`${folder}/f${a + k}.txt`));
  const first = listing.open('/p');
  const [p] = calls;
  p.onPart('/p', paths('/p', 0, 2), 2);
  assert.deepEqual([store.state.listing.items.map((it) => it.name), store.state.arriving], [['f0.txt', 'f1.txt'], 2]);
  const parts = [paths('/p', 2, 5)];
  p.onPart('/p', parts[0], 5);
  assert.deepEqual([store.state.listing.items.length, store.state.arriving], [2, 5]);
  // as the bridge joins them: the parts' own arrays, then the reply's records
  p.resolve({ folder: '/p', files: [...store.state.listing.items, ...parts[0], ...paths('/p', 5, 6)] });
  await first;
  const { listing: { items }, arriving } = store.state;
  assert.deepEqual([items.map((it) => [it.idx, it.dir]), arriving], [Array.from({ length: 6 }, (_, i) => [i, '/p']), 0]);
  assert.deepEqual([...pathIndexOf(items)], items.map((it, i) => [it.path, i]));
  assert.deepEqual(facetsOf(items).extensionCounts(), [['txt', 6]], 'the parts counted once each, with the reply');
  // a first part that came during a batch: the later ones do not show in its place
  const during = listing.open('/s');
  store.dispatch('batchStarted', { title: 'b', total: 1 });
  const sParts = [paths('/s', 0, 1), paths('/s', 1, 3)];
  calls[1].onPart('/s', sParts[0], 1);
  store.dispatch('batchFinished', null);
  calls[1].onPart('/s', sParts[1], 3);
  assert.deepEqual([store.state.listing.folder, store.state.arriving], ['/p', 0]);
  calls[1].resolve({ folder: '/s', files: [...sParts.flat(), ...paths('/s', 3, 4)] });
  await during;
  assert.deepEqual(store.state.listing.items.map((it) => it.idx), [0, 1, 2, 3]);
  // a request overtaken by a newer one shows nothing, part or whole
  const stale = listing.open('/q');
  const fresh = listing.open('/r');
  calls[2].onPart('/q', paths('/q', 0, 1), 1);
  assert.equal(store.state.listing.folder, '/s');
  calls[3].resolve({ folder: '/r', files: paths('/r', 0, 1) });
  calls[2].resolve({ folder: '/q', files: paths('/q', 0, 2) });
  await Promise.all([stale, fresh]);
  assert.deepEqual(store.state.listing.items.map((it) => it.path), ['/r/f0.txt']);
  // a chooser cancelled, or a folder that cannot be listed, while a listing
  // arrives leaves that listing to finish; a folder chosen takes its place
  // from its first part on, a drop at once
  for (const choice of ['cancel', 'missing', '/c', 'drop']) {
    const arriving = listing.open('/t');
    const opened = calls.at(-1);
    opened.onPart('/t', paths('/t', 0, 1), 1);
    const chooser = choice === 'missing' ? listing.open('/gone') : listing.choose();
    const c = calls.at(-1);
    if (choice === 'cancel') c.resolve(null);
    else if (choice === 'missing') c.resolve({ folder: '/gone', files: [], problem: { code: 'notFound', message: 'No such file or directory' } });
    else if (choice === 'drop') listing.drop({ dropKind: 'files', folder: '/d', files: paths('/d', 0, 1) });
    else c.onPart('/c', paths('/c', 0, 1), 1);
    opened.onPart('/t', paths('/t', 1, 2), 2);
    opened.resolve({ folder: '/t', files: [...paths('/t', 0, 2), ...paths('/t', 2, 3)] });
    c.resolve(choice === '/c' ? { folder: '/c', files: [...paths('/c', 0, 1), ...paths('/c', 1, 2)] } : null);
    await Promise.all([arriving, chooser]);
    const want = { cancel: ['/t', 3], missing: ['/t', 3], '/c': ['/c', 2], drop: ['/d', 1] }[choice];
    assert.deepEqual([store.state.listing.folder, store.state.listing.items.length, store.state.arriving], [...want, 0], choice);
  }
  assert.deepEqual([toasts, store.state.config.recent.includes('/gone')], [['No folder at /gone.'], false]);
  // what was said about one listing goes when the next is shown; other toasts stay
  store.dispatch('toast', { text: 'empty', about: 'listing' });
  store.dispatch('toast', { text: 'saved' });
  store.dispatch('listed', { folder: '/u', files: paths('/u', 0, 1) });
  assert.deepEqual(store.state.toasts.map((x) => x.text), ['saved']);
});

test("the filter's choices: extensions of any case together, most frequent first, then by name; tags counted; in pieces as at once", () => {
  const items = [['a.JPG', ['x']], ['b.jpg', []], ['c.png', ['x', 'y']], ['d', []], ['e.Png', []], ['f.jpg', ['y']], ['g.txt', ['y']]]
    .map(([name, tags]) => ({ ext: name.includes('.') ? name.slice(name.indexOf('.') + 1) : '', tags }));
  const whole = new Facets().add(items);
  assert.deepEqual(whole.extensionCounts(), [['jpg', 3], ['png', 2], ['', 1], ['txt', 1]]);
  assert.deepEqual(whole.tagCounts(), [['y', 3], ['x', 2]]);
  const seed = new Facets().add(items.slice(0, 3)).add(items.slice(3, 5));
  const pieces = facetsOf(items, seed);
  assert.equal(pieces.counted, items.length);
  assert.deepEqual([pieces.extensionCounts(), pieces.tagCounts()], [whole.extensionCounts(), whole.tagCounts()]);
  assert.equal(facetsOf(items), pieces, 'counted once per listing');
});
