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
