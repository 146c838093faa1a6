// Five-rule chain, then a template with a date, a media field, a counter and
// two modifiers, each with the conflict check over 100,000 names: the work
// behind one preview update of a large listing. Prints figures; asserts nothing.
import { performance } from 'node:perf_hooks';
import { newRule, compileChain, evaluateAll } from '../../web/js/rules.js';
import { checkConflicts } from '../../web/js/conflicts.js';
import { computePreview } from '../../web/js/preview-core.js';

const N = 100000;
const words = ['Beach', 'Harbour', 'Café', 'Straße', 'Crème brûlée', '東京', 'día', 'Łódź'];
const items = Array.from({ length: N }, (_, i) => {
  const base = i % 5 === 0 ? `${words[i % words.length]} (copy) ${i}` : `IMG_${String(i).padStart(6, '0')}`;
  const ext = i % 3 === 0 ? 'JPG' : 'jpeg';
  return { name: `${base}.${ext}`, basename: base, ext, isDir: false, dir: `/photos/${i % 4}`, modified: 1.7e12 + i * 1000, created: 0 };
});
const scope = items.map((_, i) => i);
const chains = [['5 rules', compileChain([
  newRule('replace', { find: 'img_', with: 'Trip ' }),
  newRule('regex', { pattern: '\\s*\\(copy\\)', with: '' }),
  newRule('case', { mode: 'title' }),
  newRule('number', { start: 1, pad: 6, position: 'suffix', sep: '-' }),
  newRule('ext', { mode: 'lower' }),
]), null], ['template', compileChain([newRule('template', { pattern: '{taken:YYYY-MM-DD} {model|trim|upper} {n:5}' })]), {
  taken: Float64Array.from(items, (_, i) => (i % 10 ? 1.7e12 + i * 6e4 : 0)),
  media: items.map((_, i) => ({ model: i % 7 ? ' EOS R5 ' : undefined })),
}]];

// CPU time is printed beside wall time: the machine is shared, and under load
// wall time mostly measures the wait for a core.
const cpuMs = () => { const u = process.cpuUsage(); return (u.user + u.system) / 1000; };
function once(chain, columns) {
  const out = new Array(N);
  const c0 = cpuMs();
  const t0 = performance.now();
  evaluateAll(chain, items, scope, out, columns && { ...columns, missing: [] });
  const t1 = performance.now();
  const check = checkConflicts(items, out);
  const t2 = performance.now();
  return { rules: t1 - t0, check: t2 - t1, total: t2 - t0, cpu: cpuMs() - c0, errors: check.errors };
}

const f = (x) => x.toFixed(1).padStart(7);
for (const [label, chain, columns] of chains) {
  for (let i = 0; i < 3; i++) once(chain, columns); // warm-up
  const runs = Array.from({ length: 10 }, () => once(chain, columns)).sort((a, b) => a.total - b.total);
  const med = runs[Math.floor(runs.length / 2)];
  console.log(`names: ${N}, chain: ${label}, runs: ${runs.length}`);
  console.log(`median  rules ${f(med.rules)} ms  conflicts ${f(med.check)} ms  total ${f(med.total)} ms   (target < 150 ms)`);
  console.log(`best    total ${f(runs[0].total)} ms   worst ${f(runs[runs.length - 1].total)} ms   errors found: ${med.errors}`);
  console.log(`cpu     median ${f(med.cpu)} ms (process CPU time, all threads, during the median run)`);
}

// Whole previews of the workflows: every row onto one name (only checked, or
// numbered apart), and the companions of a camera card (JPEG + raw pairs).
const card = Array.from({ length: N }, (_, i) => {
  const base = `IMG_${String(i >> 1).padStart(6, '0')}`, ext = i % 2 ? 'CR2' : 'JPG';
  return { name: `${base}.${ext}`, basename: base, ext, isDir: false, dir: '/card', path: `/card/${base}.${ext}`, tags: [], label: 0, comment: '', modified: 0, created: 0 };
});
for (const [label, list, rule, options] of [
  ['all onto one name', items, newRule('template', { pattern: 'Trip' }), {}],
  ['all onto one name, numbered apart', items, newRule('template', { pattern: 'Trip' }), { unique: ' ({k})' }],
  ['a card, companions together, numbered apart', card, newRule('template', { pattern: 'Trip {n:3}' }), { companions: true, unique: ' ({k})' }],
]) {
  const preview = () => computePreview({ items: list, rules: [rule], filter: {}, sort: { key: 'native', dir: 1 }, ...options });
  preview();
  const times = Array.from({ length: 5 }, () => { const t0 = performance.now(); preview(); return performance.now() - t0; }).sort((a, b) => a - b);
  console.log(`preview: ${N} names, ${label}: median ${f(times[2])} ms (the preview's budget: 150 ms)`);
}
