import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createBridgeClient } from '../../../web/js/bridge.js';
import { recordAt as rec } from './records.js';

test('replies are paired by id in whatever order they come, others ignored; an unreachable application rejects', async () => {
  const sent = [];
  const client = createBridgeClient((env) => sent.push(env));
  const [a, b] = [client.listFolder('/a', false, 'files'), client.setMode('folders')];
  client.resolveRaw({ id: 999, ok: true, payload: 'stray' });
  client.resolveRaw({ id: sent[1].id, ok: true, payload: null });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: { folder: '/a', files: [] } });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: 'second answer' });
  assert.deepEqual([await a, await b], [{ folder: '/a', files: [] }, null]);
  // a batch hears its progress, its records come ahead of the reply in
  // columns (a dry run asks none); a refusal carries the native side's code
  const heard = [];
  const batch = client.runBatch([], { batch: 'B' }, (p) => heard.push(p));
  client.partRaw({ id: sent[2].id, progress: { done: 1, failed: 0, total: 2 } });
  client.partRaw({ id: sent[2].id, folder: '/a', columns: { name: ['x'], dirs: ['/a'], dir: [0] } });
  client.resolveRaw({ id: sent[2].id, ok: true, payload: { files: [{ name: 'y' }], failed: [] } });
  assert.deepEqual((await batch).files.map((f) => f.name), ['x', 'y']);
  assert.deepEqual(heard, [{ done: 1, failed: 0, total: 2 }]);
  const refused = client.runBatch([], { dryRun: true });
  assert.deepEqual([sent[2].args.columns, sent[3].args.columns], [true, undefined]);
  client.resolveRaw({ id: sent[3].id, ok: false, payload: 'journal full', code: 'journal' });
  await assert.rejects(refused, (e) => e.code === 'journal' && e.message === 'journal full');
  // a long list of changes is written in slices: the text is the envelope
  const texts = [];
  const writer = createBridgeClient((env, text) => texts.push([env, text]));
  const changes = Array.from({ length: 9000 }, (_, i) => ({ path: `/a/${i}"\u2028`, newPath: `/a/x${i}` }));
  writer.runBatch(changes, { batch: 'B', title: 'T' });
  writer.runBatch(changes.slice(0, 2), {});
  await new Promise((r) => setTimeout(r, 50));
  assert.deepEqual(texts.map(([env, text]) => (text === undefined ? env : JSON.parse(text))), texts.map(([env]) => env));
  assert.deepEqual(texts.map(([, text]) => typeof text), ['undefined', 'string']);
  const broken = createBridgeClient(() => { throw new Error('gone'); });
  await assert.rejects(broken.loadPrefs(), /could not reach the application: gone/);
});

test('a listing in parts is heard part by part and answered whole, in order; stray parts are ignored', async () => {
  const sent = [];
  const heard = [];
  const client = createBridgeClient((env) => sent.push(env));
  const listing = client.listFolder('/a', false, 'files', {}, (folder, files, count) => heard.push([folder, files.map((f) => f.name), count]));
  const plain = client.listFolder('/b', false, 'files');
  assert.equal(sent[0].args.parts, true);
  assert.equal('parts' in sent[1].args, false);
  const { id } = sent[0];
  client.partRaw({ id: 999, folder: '/x', files: [{ name: 'x' }] });
  client.partRaw({ id, folder: '/a', files: 'not a list' });
  client.partRaw({ id, folder: '/a', files: [{ name: '1' }, { name: '2' }] });
  client.partRaw({ id: sent[1].id, folder: '/b', files: [{ name: 'b0' }] }); // a part the request did not ask for still counts
  client.partRaw({ id, folder: '/a', files: [{ name: '3' }] });
  client.resolveRaw({ id, ok: true, payload: { folder: '/a', files: [{ name: '4' }] } });
  client.resolveRaw({ id: sent[1].id, ok: true, payload: { folder: '/b', files: [{ name: 'b1' }] } });
  assert.deepEqual(heard, [['/a', ['1', '2'], 2], ['/a', ['3'], 3]]);
  assert.deepEqual((await listing).files.map((f) => f.name), ['1', '2', '3', '4']);
  assert.deepEqual((await plain).files.map((f) => f.name), ['b0', 'b1']);
  client.partRaw({ id, folder: '/a', files: [{ name: 'late' }] }); // after the reply: nobody hears it
  assert.equal(heard.length, 2);
});

test('a part sent as columns reads back as the records the record form sends, in the worker too', async () => {
  const { itemsFromRecords } = await import('../../../web/js/columns.js');
  const { packColumns, packingColumns, itemsOf } = await import('../../../web/js/columns-pack.js');
  const records = [
    rec('/r/a.jpg', { tags: ['Holiday'], label: 3, comment: 'c', size: 2 ** 40, created: 1.5, modified: 2, accessed: 4, isDir: true }),
    rec('/x'), rec('/r/s d/.bashrc'), rec('/r/name.'), rec('/r/s d/c.tar.gz'),
    rec('/r/odd', { name: 'y', basename: 'y' }), rec('/r/z.txt', { basename: 'zz' }),
  ];
  const columns = {
    count: records.length, name: records.map((r) => r.name), dirs: ['/r', '/', '/r/s d', ''], dir: [0, 1, 2, 0, 2, 3, 0],
    exts: ['jpg', '', 'gz', 'txt'], ext: [0, 1, 1, 1, 2, 1, 3], isDir: [1, 0, 0, 0, 0, 0, 0], size: [2 ** 40, 0, 0, 0, 0, 0, 0],
    created: [1.5, 0, 0, 0, 0, 0, 0], modified: [2, 0, 0, 0, 0, 0, 0], accessed: [4, 0, 0, 0, 0, 0, 0], label: [3, 0, 0, 0, 0, 0, 0],
    tags: { rows: [0], values: [['Holiday']] }, comment: { rows: [0, 99], values: ['c', 'past the end'] },
    path: { rows: [5], values: ['/r/odd'] }, basename: { rows: [6], values: ['zz'] },
  };
  const sent = [];
  const client = createBridgeClient((env) => sent.push(env));
  const heard = [];
  client.listFolder('/r', true, 'files', {}, (folder, files) => heard.push(...files));
  assert.equal(sent[0].args.columns, true);
  client.partRaw({ id: sent[0].id, folder: '/r', files: [rec('/r/first')] });
  client.partRaw({ id: sent[0].id, folder: '/r', columns });
  const fields = (it) => Object.fromEntries(['path', 'name', 'basename', 'ext', 'isDir', 'size', 'created', 'modified', 'accessed', 'tags', 'label', 'comment', 'idx', 'dir', 'rel'].map((k) => [k, it[k]]));
  const [first] = itemsFromRecords([heard[0]], '/r', 0);
  const want = [first, ...itemsFromRecords(records, '/r', 1)].map(fields);
  assert.deepEqual(heard.slice(1).map(fields), want.slice(1));
  assert.deepEqual(fields(first), { ...want[0], path: '/r/first', name: 'first', dir: '/r', rel: '' });
  // to the worker: joined from the parts as they came, or read item by item
  // (plain records), packed whole or a few at a time: the same items come back
  for (const items of [[first, ...heard.slice(1)], want.map((w) => ({ ...w }))]) {
    const whole = packColumns(items).message;
    assert.deepEqual(itemsOf(structuredClone(whole)).map((it, i) => fields({ ...fields(it), idx: i })), want);
    const sliced = packingColumns(items, 3);
    let step;
    while (!(step = sliced.next()).done);
    assert.deepEqual(step.value.message, whole);
  }
  // columns of the wrong type or length take what a record's defaults would
  client.partRaw({ id: sent[0].id, folder: '/r', columns: { count: 1e9, name: [5, null], size: 'x', dirs: [7], dir: [0, 0], label: [9, 2] } });
  assert.deepEqual(heard.slice(-2).map((it) => [it.name, it.size, it.dir, it.label, it.path, it.idx]), [['', 0, '', 0, '', 8], ['', 0, '', 2, '', 9]]);
});

test('thumbnails are asked once per path until a batch moves items away from it', async () => {
  const { createThumbnails } = await import('../../../web/js/services/thumbnails.js');
  const asked = [];
  const thumbs = createThumbnails({ bridge: { thumbnail: async (p) => asked.push(p) }, isShown: () => true, redraw() {} });
  const both = () => { ['/a', '/b'].forEach(thumbs.of); return new Promise((r) => setTimeout(r, 5)); };
  await both();
  thumbs.forget((p) => p === '/a');
  await both();
  assert.deepEqual(asked.sort(), ['/a', '/a', '/b']);
});
