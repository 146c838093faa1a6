import { test } from 'node:test';
import assert from 'node:assert/strict';
import { planBatch, chunkPlan, followResults, rescueOps, TEMP_PREFIX } from '../../../web/js/planner.js';

/** A seeded generator (mulberry32), so that a failing round can be replayed. */
const rng = (s) => () => {
  s = (s + 0x6d2b79f5) >>> 0;
  let t = Math.imul(s ^ (s >>> 15), s | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
};

/** Folder /f in memory under the native rules the planner relies on: a rename never replaces, an item keeps its id. */
function folderWith(names) {
  const nodes = new Map(names.map((n, i) => [`/f/${n}`, { id: i + 1, tags: [], label: 0, comment: '' }]));
  const fs = {
    nodes,
    fail: () => '', // (path, newName) -> why a rename is refused, or ''
    ids: () => new Map([...nodes].map(([p, node]) => [p.slice(3), node.id])),
    applyOp(op) {
      let path = op.path;
      if (op.newName !== undefined && op.newName !== path.slice(3)) {
        const dest = `/f/${op.newName}`;
        const why = !nodes.has(path) ? 'No such file or directory' : nodes.has(dest) ? `A file named "${op.newName}" already exists.` : fs.fail(path, op.newName);
        if (why) return { ok: false, path: op.path, error: why };
        nodes.set(dest, nodes.get(path));
        nodes.delete(path);
        path = dest;
      }
      const node = nodes.get(path);
      if (op.setTags) node.tags = op.tags;
      if (op.setLabel) node.label = op.label;
      if (op.setComment) node.comment = op.comment;
      return { ok: true, path: op.path, newPath: path };
    },
  };
  return fs;
}
const shuffle = (list, rand) => {
  for (let i = list.length - 1; i > 0; i--) { const j = Math.floor(rand() * (i + 1)); [list[i], list[j]] = [list[j], list[i]]; }
  return list;
};

test('a swap, a three-cycle and a chain take one temporary name per cycle', () => {
  const pairs = [['a', 'b'], ['b', 'a'], ['x', 'y'], ['y', 'z'], ['z', 'x'], ['p', 'q'], ['q', 'r']];
  const plan = planBatch(pairs.map(([name, newName], key) => ({ key, dir: '/f', name, newName })), { token: 't' });
  assert.equal(plan.ops.filter((o) => o.newName.startsWith(TEMP_PREFIX)).length, 2);
  for (const [k, { key, final }] of plan.steps.entries()) if (final) assert.ok(plan.steps.slice(k + 1).every((s) => s.key !== key));
});

test('metadata travels with the operation that brings the item to its final name', () => {
  const changes = [
    { key: 1, dir: '/f', name: 'a', newName: 'b', meta: { tags: ['T'], label: 2 } },
    { key: 2, dir: '/f', name: 'b', newName: 'a', meta: { comment: 'c' } },
    { key: 3, dir: '/f', name: 'm', newName: 'm', meta: { label: 0 } },
  ];
  const plan = planBatch(changes, { token: 't' });
  assert.equal(plan.ops.find((o) => o.newName?.startsWith(TEMP_PREFIX)).setTags, undefined);
  assert.deepEqual(plan.ops.find((o) => o.path === '/f/m'), { path: '/f/m', setLabel: true, label: 0 });
  const fs = folderWith(['a', 'b', 'm']);
  fs.nodes.get('/f/a').tags = ['old'];
  for (const r of plan.ops.map(fs.applyOp)) assert.equal(r.ok, true);
  const [b, a] = [fs.nodes.get('/f/b'), fs.nodes.get('/f/a')];
  assert.deepEqual([b.tags, b.label, a.comment], [['T'], 2, 'c']);
});

test('temporary names avoid names known to exist; two items cannot get one name', () => {
  const changes = [{ key: 0, dir: '/f', name: 'a', newName: 'b' }, { key: 1, dir: '/f', name: 'b', newName: 'a' }];
  const plan = planBatch(changes, { token: 't', occupied: () => new Set([`${TEMP_PREFIX}t-0`]) });
  assert.equal(plan.ops[0].newName, `${TEMP_PREFIX}t-1`);
  assert.throws(() => planBatch([{ key: 0, dir: '/f', name: 'a', newName: 'c' }, { key: 1, dir: '/f', name: 'b', newName: 'c' }]), /two items renamed to "c"/);
});

test('chunks never cut a cycle', () => {
  const names = Array.from({ length: 40 }, (_, i) => `n${i}`);
  const changes = names.map((name, i) => ({ key: i, dir: '/f', name, newName: names[(i + 1) % names.length] }));
  changes.push(...['u', 'v', 'w'].map((name, i) => ({ key: 100 + i, dir: '/f', name, newName: name + '2' })));
  const plan = planBatch(changes, { token: 't' });
  const chunks = chunkPlan(plan, 7);
  assert.equal(chunks.reduce((n, [a, b]) => n + b - a, 0), plan.ops.length);
  for (const [, b] of chunks) if (b < plan.ops.length) assert.notEqual(plan.groups[b], plan.groups[b - 1]);
  const cycle = plan.groups.map((g, k) => [g, k]).filter(([g]) => g === plan.groups[plan.ops.length - 1]).map(([, k]) => k);
  assert.equal(cycle.length, 41);
  assert.ok(chunks.some(([a, b]) => a <= cycle[0] && cycle[40] < b));
});

test('random swaps, cycles and chains end with exactly the intended names, and after failures every item is findable, reported and rescuable', () => {
  const rand = rng(20240611);
  for (let round = 0; round < 6000; round++) {
    const n = 1 + Math.floor(rand() * 12);
    const names = Array.from({ length: n }, (_, i) => `f${i}`);
    const fs = folderWith(names);
    const before = fs.ids();
    const byId = new Map([...before].map(([name, id]) => [id, name]));
    // part of the folder moves onto names of the folder or brand-new ones
    const pool = shuffle(names.concat(Array.from({ length: Math.floor(rand() * 4) }, (_, i) => `new${i}`)), rand);
    const moving = names.filter(() => rand() < 0.7);
    const stay = names.filter((x) => !moving.includes(x));
    const targets = pool.filter((t) => !stay.includes(t)).slice(0, moving.length);
    if (targets.length < moving.length) continue;
    const changes = moving.map((name, key) => ({ key, dir: '/f', name, newName: targets[key] }));
    // every other round meets refusals, and some of those are stopped
    const trouble = round % 2 === 1;
    const failing = new Set(trouble ? names.filter(() => rand() < 0.25) : []);
    fs.fail = (path, newName) => (failing.has(path.slice(3)) || failing.has(newName) ? 'Permission denied' : '');
    const plan = planBatch(changes, { token: String(round) });
    const stopAt = trouble && rand() < 0.3 ? Math.floor(rand() * plan.ops.length) : plan.ops.length;
    const outcomes = followResults(plan, plan.ops.slice(0, stopAt).map(fs.applyOp), changes);
    for (const c of changes) {
      const o = outcomes.get(c.key);
      const node = fs.nodes.get(o.path);
      assert.ok(node, `round ${round}: ${c.name} not where reported (${o.path})`);
      assert.equal(byId.get(node.id), c.name, `round ${round}: ${o.path} holds another item`);
      if (o.ok) assert.equal(o.path, `/f/${c.newName}`);
      else assert.ok(trouble && o.error, `round ${round}: ${c.name} failed: "${o.error}"`);
    }
    assert.equal(fs.nodes.size, n, `round ${round}: an item was lost or doubled`);
    for (const s of stay) assert.equal(fs.ids().get(s), before.get(s));
    fs.fail = () => '';
    const rescue = rescueOps(changes, outcomes);
    for (const r of rescue.ops.map(fs.applyOp)) assert.equal(r.ok, true, `round ${round}: rescue failed: ${r.error}`);
    for (const c of changes) {
      if (!outcomes.get(c.key).stranded || rescue.keys.includes(c.key)) continue;
      // left parked only when both of its names are held by other items
      assert.ok(fs.nodes.has(`/f/${c.name}`) && fs.nodes.has(`/f/${c.newName}`), `round ${round}: ${c.name} left parked needlessly`);
    }
    if (!trouble) assert.ok([...fs.nodes.keys()].every((k) => !k.includes(TEMP_PREFIX)), `round ${round}: a temporary name is left`);
  }
});
