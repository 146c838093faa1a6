import { test } from 'node:test';
import assert from 'node:assert/strict';
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
