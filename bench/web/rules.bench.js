// Five-rule chain, then a template with a date, a media field, a counter and
// two modifiers, each with the conflict check over 100,000 names: the work
// behind one preview update of a large listing. Prints figures; asserts nothing.
import { performance } from 'node:perf_hooks';
import { newRule, compileChain, evaluateAll } from '../../web/js/rules.js';
import { checkConflicts } from '../../web/js/conflicts.js';

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
