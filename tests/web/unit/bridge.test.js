import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createBridgeClient } from '../../../web/js/bridge.js';

test('replies are paired by id in whatever order they come, others ignored; a refusal rejects with the native message', async () => {
  const sent = [];
  const client = createBridgeClient((env) => sent.push(env));
  const [a, b, c] = [client.listFolder('/a', false, 'files'), client.setMode('folders'), client.savePrefs('x')];
  assert.deepEqual(sent.map((e) => [e.cmd, e.args]), [['listFolder', { folder: '/a', recursive: false, kind: 'files' }], ['setMode', { kind: 'folders' }], ['savePrefs', { data: 'x' }]]);
  client.resolveRaw({ id: 999, ok: true, payload: 'stray' });
  client.resolveRaw({ id: sent[1].id, ok: true, payload: null });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: { folder: '/a', files: [] } });
  client.resolveRaw({ id: sent[0].id, ok: true, payload: 'second answer' });
  client.resolveRaw({ id: sent[2].id, ok: false, payload: 'could not save settings: disk full' });
  assert.deepEqual([await a, await b], [{ folder: '/a', files: [] }, null]);
  await assert.rejects(c, (e) => e.message === 'could not save settings: disk full');
  const broken = createBridgeClient(() => { throw new Error('gone'); });
  await assert.rejects(broken.loadPrefs(), /could not reach the application: gone/);
});
