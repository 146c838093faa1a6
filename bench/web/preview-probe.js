// Measures the preview inside the page (Chromium or the real app): the time
// from a one-rule change to its preview on screen, over 100,000 items, and
// how late key presses in a rule field are handled while previews compute.
// `setup` lists the items and adds the rule; `typed` reads the key latencies
// after the driver has typed into the field. Figures only; asserts nothing.

/** In the page: lists `n` synthetic items, adds a Replace rule, then four more ending in a template; resolves with timings. */
export const setup = `async (n) => {
  const { store, intents } = window.quarrytide;
  const next = (stamp) => new Promise((resolve) => {
    const off = store.subscribe(['preview'], (s) => { if (s.preview.stamp > stamp && !s.preview.pending) { off(); resolve(); } });
  });
  const files = Array.from({ length: n }, (_, i) => {
    const name = 'IMG_' + String(i).padStart(6, '0') + (i % 3 ? '.JPG' : '.jpeg');
    return { path: '/big/' + name, name, basename: name.slice(0, name.lastIndexOf('.')), ext: name.slice(name.lastIndexOf('.') + 1), isDir: false, size: 1000 + i, created: 0, modified: 1.7e12 + i * 1000, tags: i % 10 ? [] : ['Holiday'], label: i % 7 ? 0 : 2, comment: '' };
  });
  // each wait starts before the change: small listings preview at once
  let stamp = store.state.preview.stamp;
  const t0 = performance.now();
  let shown = next(stamp);
  store.dispatch('listed', { folder: '/big', files });
  await shown;
  const listing = performance.now() - t0;
  shown = next(store.state.preview.stamp);
  intents.addRule('replace');
  await shown;
  const id = store.state.config.rules[store.state.config.rules.length - 1].id;
  // twelve changes of the Replace rule, each timed to its preview on screen,
  // and to the rows on screen named ahead of it (early), sorted
  const painted = () => new Promise((r) => requestAnimationFrame(() => r()));
  const timed = async () => {
    const times = [];
    const early = [];
    for (let k = 0; k < 12; k++) {
      const shown = next(store.state.preview.stamp);
      const t = performance.now();
      let named = null;
      const off = store.subscribe(['preview'], (s) => { if (s.preview.early && !named) named = painted().then(() => early.push(performance.now() - t)); });
      intents.updateRule(id, { find: k % 2 ? 'IMG_' : 'IMG_0', with: 'Trip ' + k });
      await shown;
      off();
      await named;
      await painted();
      times.push(performance.now() - t);
    }
    return Object.assign(times.sort((a, b) => a - b), { early: early.sort((a, b) => a - b) });
  };
  const changes = await timed();
  // the same change at the head of a five-rule chain that ends in a template
  for (const [type, patch] of [['regex', { pattern: '\\s*\\(copy\\)', with: '' }], ['case', { mode: 'title' }], ['number', { position: 'suffix', pad: 6, sep: '-' }], ['template', { pattern: '{modified:YYYY-MM-DD} {name} {n:3}' }]]) {
    shown = next(store.state.preview.stamp);
    intents.addRule(type);
    await shown;
    shown = next(store.state.preview.stamp);
    intents.updateRule(store.state.config.rules.at(-1).id, patch);
    await shown;
  }
  const chained = await timed();
  window.__keyLate = [];
  window.addEventListener('input', (e) => window.__keyLate.push(performance.now() - e.timeStamp));
  const mid = (list) => list[Math.floor(list.length / 2)];
  return { listing, median: changes[6], worst: changes[11], chainMedian: chained[6], chainWorst: chained[11], early: mid(changes.early), chainEarly: mid(chained.early), earlyCount: changes.early.length + chained.early.length, id };
}`;

/** In the page: the key latencies seen since `setup`, sorted. */
export const typed = `() => window.__keyLate.slice().sort((a, b) => a - b)`;

export function report(where, n, s, late) {
  const f = (x) => x.toFixed(1).padStart(7);
  console.log(`${where}: ${n} items`);
  console.log(`  listed and first preview  ${f(s.listing)} ms`);
  const early = (x) => (x === undefined ? '' : `; rows on screen named ${f(x).trim()} ms median`);
  console.log(`  one-rule change on screen ${f(s.median)} ms median, ${f(s.worst)} ms worst${early(s.early)}   (target <= 100 ms)`);
  if (s.chainMedian !== undefined) console.log(`  five rules with a template ${f(s.chainMedian)} ms median, ${f(s.chainWorst)} ms worst${early(s.chainEarly)}   (target <= 150 ms)`);
  if (s.earlyCount !== undefined) console.log(`  changes named early: ${s.earlyCount} of 24`);
  if (late.length) console.log(`  key presses during previews: ${late.length}, handled within ${f(late[Math.floor(late.length / 2)])} ms median, ${f(late[late.length - 1])} ms worst   (target < 16 ms)`);
}
