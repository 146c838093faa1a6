import { test } from 'node:test';
import assert from 'node:assert/strict';
import { planBatch, chunkPlan, followResults, rescueOps, TEMP_PREFIX } from '../../../web/js/planner.js';

/** A seeded generator, so a failing case can be replayed from its seed. */
function rng(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

/** One folder in memory under the native rules the planner relies on: a rename never replaces, an item keeps its id. */
function folderWith(names) {
  const nodes = new Map(names.map((n, i) => [`/f/${n}`, { id: i + 1, tags: [], label: 0, comment: '' }]));
  const failures = [];
  return {
    nodes,
    get: (p) => nodes.get(p),
    exists: (p) => nodes.has(p),
    names: () => [...nodes.keys()].map((p) => p.slice(3)).sort(),
    failRenames: (fn) => failures.push(fn),
    clearFailures: () => { failures.length = 0; },
    applyOp(op) {
      let path = op.path;
      if (op.newName !== undefined && op.newName !== path.slice(3)) {
        const dest = `/f/${op.newName}`;
        const why = !nodes.has(path) ? 'No such file or directory' : nodes.has(dest) ? `A file named "${op.newName}" already exists.` : failures.map((f) => f(path, op.newName)).find(Boolean);
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
}

const ids = (fs, dir) => new Map(fs.names(dir).map((n) => [n, fs.get(`${dir}/${n}`).id]));

test('a swap, a three-cycle and a chain run in one batch without a collision', () => {
  const fs = folderWith(['a', 'b', 'x', 'y', 'z', 'p', 'q']);
  const before = ids(fs, '/f');
  const changes = [
    ['a', 'b'], ['b', 'a'],
    ['x', 'y'], ['y', 'z'], ['z', 'x'],
    ['p', 'q'], ['q', 'r'],
  ].map(([name, newName], key) => ({ key, dir: '/f', name, newName }));
  const plan = planBatch(changes, { token: 't' });
  const results = plan.ops.map(fs.applyOp);
  assert.deepEqual(results.filter((r) => !r.ok), []);
  const after = ids(fs, '/f');
  for (const c of changes) assert.equal(after.get(c.newName), before.get(c.name), `${c.name} -> ${c.newName}`);
  assert.equal(plan.ops.filter((o) => o.newName && o.newName.startsWith(TEMP_PREFIX)).length, 2);
  // the chain moves q before p takes its name
  const order = plan.ops.map((o) => o.path.slice(3));
  assert.ok(order.indexOf('q') < order.indexOf('p'));
  for (const [k, { key, final }] of plan.steps.entries()) if (final) assert.ok(plan.steps.slice(k + 1).every((s) => s.key !== key));
});

test('metadata travels with the operation that brings the item to its final name', () => {
  const changes = [
    { key: 1, dir: '/f', name: 'a', newName: 'b', meta: { tags: ['T'], label: 2 } },
    { key: 2, dir: '/f', name: 'b', newName: 'a', meta: { comment: 'c' } },
    { key: 3, dir: '/f', name: 'm', newName: 'm', meta: { label: 0 } },
  ];
  const plan = planBatch(changes, { token: 't' });
  const tempOp = plan.ops.find((o) => o.newName && o.newName.startsWith(TEMP_PREFIX));
  assert.equal(tempOp.setTags, undefined);
  assert.deepEqual(plan.ops.find((o) => o.path === '/f/m'), { path: '/f/m', setLabel: true, label: 0 });
  const fs = folderWith(['a', 'b', 'm']);
  fs.get('/f/a').tags = ['old'];
  for (const r of plan.ops.map(fs.applyOp)) assert.equal(r.ok, true);
  assert.deepEqual(fs.get('/f/b').tags, ['T']);
  assert.equal(fs.get('/f/b').label, 2);
  assert.equal(fs.get('/f/a').comment, 'c');
});

test('temporary names avoid names known to exist in the folder', () => {
  const changes = [{ key: 0, dir: '/f', name: 'a', newName: 'b' }, { key: 1, dir: '/f', name: 'b', newName: 'a' }];
  const taken = new Set([`${TEMP_PREFIX}t-0`]);
  const plan = planBatch(changes, { token: 't', occupied: () => taken });
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
  for (const [a, b] of chunks) if (b < plan.ops.length) assert.notEqual(plan.groups[b], plan.groups[b - 1]);
  const cycle = plan.groups.map((g, k) => [g, k]).filter(([g]) => g === plan.groups[plan.ops.length - 1]).map(([, k]) => k);
  assert.equal(cycle.length, 41);
  assert.ok(chunks.some(([a, b]) => a <= cycle[0] && cycle[40] < b));
});

test('random swaps, cycles and chains over thousands of cases end with exactly the intended names', () => {
  const rand = rng(20240611);
  for (let round = 0; round < 3000; round++) {
    const n = 1 + Math.floor(rand() * 12);
    const names = Array.from({ length: n }, (_, i) => `f${i}`);
    const fs = folderWith(names);
    const before = ids(fs, '/f');
    // a random permutation of part of the folder, plus some brand-new names
    const pool = names.concat(Array.from({ length: Math.floor(rand() * 4) }, (_, i) => `new${i}`));
    for (let i = pool.length - 1; i > 0; i--) { const j = Math.floor(rand() * (i + 1)); [pool[i], pool[j]] = [pool[j], pool[i]]; }
    const moving = names.filter(() => rand() < 0.7);
    const stay = new Set(names.filter((x) => !moving.includes(x)));
    const targets = pool.filter((t) => !stay.has(t)).slice(0, moving.length);
    if (targets.length < moving.length) continue;
    const changes = moving.map((name, key) => ({ key, dir: '/f', name, newName: targets[key] }));
    const plan = planBatch(changes, { token: String(round) });
    const results = plan.ops.map(fs.applyOp);
    assert.deepEqual(results.filter((r) => !r.ok), [], `round ${round}`);
    const after = ids(fs, '/f');
    assert.equal(after.size, before.size, `round ${round}: an item was lost`);
    for (const c of changes) assert.equal(after.get(c.newName), before.get(c.name), `round ${round}: ${c.name} -> ${c.newName}`);
    for (const s of stay) assert.equal(after.get(s), before.get(s));
    assert.ok([...after.keys()].every((k) => !k.startsWith(TEMP_PREFIX)));
  }
});

test('failures in the middle leave every item findable, reported, and rescuable', () => {
  const rand = rng(7);
  for (let round = 0; round < 1500; round++) {
    const n = 2 + Math.floor(rand() * 8);
    const names = Array.from({ length: n }, (_, i) => `f${i}`);
    const fs = folderWith(names);
    const byId = new Map([...ids(fs, '/f')].map(([name, id]) => [id, name]));
    const perm = names.slice();
    for (let i = perm.length - 1; i > 0; i--) { const j = Math.floor(rand() * (i + 1)); [perm[i], perm[j]] = [perm[j], perm[i]]; }
    const changes = names.map((name, key) => ({ key, dir: '/f', name, newName: perm[key] })).filter((c) => c.name !== c.newName);
    if (!changes.length) continue;
    const failing = new Set(names.filter(() => rand() < 0.25));
    fs.failRenames((path, newName) => (failing.has(path.slice(3)) || failing.has(newName) ? 'Permission denied' : ''));
    const plan = planBatch(changes, { token: 'r' });
    const stopAt = rand() < 0.3 ? Math.floor(rand() * plan.ops.length) : plan.ops.length;
    const results = plan.ops.slice(0, stopAt).map(fs.applyOp);
    const outcomes = followResults(plan, results, changes);
    for (const c of changes) {
      const o = outcomes.get(c.key);
      const node = fs.get(o.path);
      assert.ok(node, `round ${round}: ${c.name} not where reported (${o.path})`);
      assert.equal(byId.get(node.id), c.name, `round ${round}: ${o.path} holds another item`);
      if (o.ok) assert.equal(o.path, `/f/${c.newName}`);
      else assert.notEqual(o.error, '', `round ${round}: failure without a message`);
    }
    assert.equal(fs.nodes.size, n, `round ${round}: an item was lost or doubled`);
    fs.clearFailures();
    const rescue = rescueOps(changes, outcomes);
    for (const r of rescue.ops.map(fs.applyOp)) assert.equal(r.ok, true, `round ${round}: rescue failed: ${r.error}`);
    for (const c of changes) {
      const o = outcomes.get(c.key);
      if (!o.stranded || rescue.keys.includes(c.key)) continue;
      // left parked only when both of its names are held by other items
      assert.ok(fs.exists(`/f/${c.name}`) && fs.exists(`/f/${c.newName}`), `round ${round}: ${c.name} left parked needlessly`);
    }
  }
});

test('a stopped batch reports the unsent items as not applied', () => {
  const changes = [{ key: 'a', dir: '/f', name: 'a', newName: 'a2' }, { key: 'b', dir: '/f', name: 'b', newName: 'b2' }];
  const plan = planBatch(changes);
  const out = followResults(plan, [{ ok: true, path: '/f/a', newPath: '/f/a2' }], changes);
  assert.deepEqual(out.get('a'), { ok: true, error: '', path: '/f/a2', sent: true, stranded: false, renamed: true });
  assert.equal(out.get('b').ok, false);
  assert.match(out.get('b').error, /^not applied/);
  const failed = followResults(plan, [{ ok: true, path: '/f/a', newPath: '/f/a2' }, { ok: false, path: '/f/b', newPath: '/f/b2', error: 'tags: Operation not supported' }], changes);
  assert.deepEqual([failed.get('b').ok, failed.get('b').path, failed.get('b').error], [false, '/f/b2', 'tags: Operation not supported']);
});
