import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createBridgeClient } from '../../../web/js/bridge.js';

test('replies are paired by id in whatever order they come, others ignored; an unreachable application rejects', async () => {
  const sent = [];
  const client = createBridgeClient((env) => sent.push(env));
  const [a, b] = [client.listFolder('/a', false, 'files'), client.setMode('folders')];
  client.resolveRaw({ id: 999, ok: true, payload: 'stray' });
  client.resolveRaw({ id: sent[1].id, ok: true, payload: null });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: { folder: '/a', files: [] } });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: 'second answer' });
  assert.deepEqual([await a, await b], [{ folder: '/a', files: [] }, null]);
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
