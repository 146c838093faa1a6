// One Apply of 100,000 renames in the real app (WebKitGTK), 20,000 of them
// in rings of two: how long the batch takes, how often its progress shows,
// and how long the page's thread is held meanwhile (the largest gap of a 5 ms
// timer, less 5 ms). Figures only. Usage: node batch.mjs APP
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { WebDriver, until } from '../../tests/e2e/webdriver.mjs';
import { user } from '../../tests/e2e/session.mjs';

const N = 100000, RINGED = 20000;
const app = fs.realpathSync(process.argv[2]);
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quarrytide-batch-'));
const pad = (i) => String(i).padStart(6, '0');
// "a-b" and "b-a" swap under the rule below: a ring of two; "c-d" goes to a free name
// (each of those holds its first name, so that a swap shows)
for (let i = 0; i < RINGED / 2; i++) for (const n of [`a${pad(i)}-b${pad(i)}.txt`, `b${pad(i)}-a${pad(i)}.txt`]) fs.writeFileSync(path.join(folder, n), n);
for (let i = 0; i < N - RINGED; i++) fs.closeSync(fs.openSync(path.join(folder, `c${pad(i)}-d${pad(i)}.txt`), 'w'));

// In the page: the thread's longest hold, and when the progress text changed.
const watch = `() => {
  const b = window.__batch = { held: 0, shown: [], start: 0 };
  let last = performance.now();
  setInterval(() => { const now = performance.now(); b.held = Math.max(b.held, now - last - 5); last = now; }, 5);
  new MutationObserver(() => b.shown.push(performance.now())).observe(document.getElementById('progress-text'), { childList: true, characterData: true, subtree: true });
  document.getElementById('sheet-ok').addEventListener('click', () => { b.start = performance.now(); b.held = 0; last = b.start; }, { capture: true });
}`;

const web = new WebDriver({ requestMs: 120000 });
await web.start();
try {
  await web.open(app, "document.body && document.body.dataset.ready === 'true'");
  const u = user(web);
  await u.renameAll(folder, N, 'Regular expression', { pattern: '^(\\w+)-(\\w+)$', with: '$2-$1' }, 120000);
  await web.exec(`(${watch})()`);
  await u.apply(60000);
  await until('the batch done', 300000, () => web.exec("return document.getElementById('progress').hidden && window.__batch.start > 0"));
  const b = await web.exec('const b = window.__batch; b.end = performance.now(); return b');
  const names = fs.readdirSync(folder);
  const ringed = names.filter((n) => /^[ab]/.test(n));
  const swapped = ringed.filter((n) => fs.readFileSync(path.join(folder, n), 'utf8') === n.replace(/^(\w+)-(\w+)/, '$2-$1')).length
    + names.filter((n) => /^d\d+-c\d+\.txt$/.test(n)).length;
  const shown = b.shown.filter((t) => t >= b.start);
  const gaps = shown.map((t, k) => t - (k ? shown[k - 1] : b.start));
  console.log(`real app: one Apply of ${N.toLocaleString('en')} renames, ${RINGED.toLocaleString('en')} in rings of two`);
  console.log(`  batch done on screen     ${Math.round(b.end - b.start)} ms after OK (${names.length === N && swapped === N ? 'every item where it should be' : 'ITEMS WRONG'})`);
  console.log(`  progress shown           ${shown.length} times, at most ${Math.round(Math.max(0, ...gaps))} ms apart (target 250 ms)`);
  console.log(`  page thread held at most ${Math.round(b.held)} ms (target 50 ms)`);
} finally {
  await web.close();
  web.stop();
  fs.rmSync(folder, { recursive: true, force: true });
}
