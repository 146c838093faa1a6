import { test } from 'node:test';
import assert from 'node:assert/strict';
import mock from '../mock-bridge.cjs';
import { createBridgeClient, BridgeError } from '../../../web/js/bridge.js';

test('replies are paired by id, in whatever order they come; unknown ids are ignored', async () => {
  const sent = [];
  const client = createBridgeClient((env) => sent.push(env));
  const a = client.listFolder('/a', false, 'files');
  const b = client.setMode('folders');
  assert.deepEqual(sent.map((e) => e.cmd), ['listFolder', 'setMode']);
  assert.deepEqual(sent[0].args, { folder: '/a', recursive: false, kind: 'files' });
  client.resolveRaw({ id: 999, ok: true, payload: 'stray' });
  client.resolveRaw({ id: sent[1].id, ok: true, payload: null });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: { folder: '/a', files: [] } });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: 'second answer' });
  assert.deepEqual(await a, { folder: '/a', files: [] });
  assert.equal(await b, null);
  assert.equal(client.pendingCount, 0);
});

test('a refusal rejects with the native message', async () => {
  const client = createBridgeClient(() => {});
  const p = client.savePrefs('x');
  client.resolveRaw({ id: 1, ok: false, payload: 'could not save settings: disk full' });
  await assert.rejects(p, (e) => e instanceof BridgeError && e.message === 'could not save settings: disk full' && e.cmd === 'savePrefs');
  const broken = createBridgeClient(() => { throw new Error('gone'); });
  await assert.rejects(broken.loadPrefs(), /could not reach the application: gone/);
});

test('against the mock native side: listing, apply with a collision, statPaths, prefs and drops', async () => {
  let client;
  const drops = [];
  const native = mock.createMockBridge({ deliver: (r) => client.resolveRaw(r), drop: (d) => client.deliverDrop(d) });
  client = createBridgeClient(native.post);
  client.onDrop((d) => drops.push(d));
  native.fs.add('/p/b.txt');
  native.fs.add('/p/a.txt');
  native.fs.add('/p/sub', { isDir: true });
  const listing = await client.listFolder('/p/', false, 'files');
  assert.equal(listing.folder, '/p/');
  assert.deepEqual(listing.files.map((f) => f.name), ['a.txt', 'b.txt']);
  assert.deepEqual(Object.keys(listing.files[0]).sort(), ['basename', 'comment', 'created', 'ext', 'isDir', 'label', 'modified', 'name', 'path', 'size', 'tags']);
  const { results } = await client.apply([{ path: '/p/a.txt', newName: 'b.txt' }, { path: '/p/b.txt', newName: 'c.txt' }]);
  assert.deepEqual(results, [
    { ok: false, path: '/p/a.txt', error: 'A file named "b.txt" already exists.' },
    { ok: true, path: '/p/b.txt', newPath: '/p/c.txt' },
  ]);
  await assert.rejects(client.apply('nope'), /missing ops/);
  const stat = await client.statPaths(['/p/a.txt', '/p/gone', '/p/c.txt']);
  assert.deepEqual(stat.files.map((f) => f.name), ['a.txt', 'c.txt']);
  assert.deepEqual(await client.loadPrefs(), { data: null });
  await client.savePrefs('{"v":1}');
  assert.deepEqual(await client.loadPrefs(), { data: '{"v":1}' });
  await client.setMode('folders');
  native.dropPaths(['/p/a.txt', '/p/sub']);
  await native.idle();
  assert.deepEqual(drops[0].dropKind, 'files');
  assert.deepEqual(drops[0].files.map((f) => f.name), ['sub']);
});
