// Typing a Template pattern key by key over a folder of 100 real photos in
// the real app (WebKitGTK), as a user types: xdotool presses the keys, the
// page's clock measures how long its thread was held and by what. Figures only.
// Usage: node typing.mjs APP PROBE   (RUNS=3 repeats; DELAY=ms between keys)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { WebDriver, ENTER, sleep, until } from '../../tests/e2e/webdriver.mjs';
import { photos } from './photos.mjs';

const [app, probe] = process.argv.slice(2).map((p) => path.resolve(p));
const runs = Number(process.env.RUNS || 3);
const delay = Number(process.env.DELAY || 60);
const PATTERN = '{taken:YYYY-MM-DD} {model} {n:3}';
const xdotool = (...args) => execFileSync('xdotool', args.map(String), { encoding: 'utf8', timeout: 60000 }).trim();

// In the page: the longest the thread was held (a beat every 4 ms that came
// late), each hold with what ran in it: the store's actions and the list's
// drawing, timed where they are called; and when each key's echo was drawn.
const instrument = `() => {
  const t = window.__bench = { holds: [], work: [], keys: [], echo: [] };
  const { store } = window.quarrytide;
  const dispatch = store.dispatch;
  store.dispatch = (name, payload) => {
    const a = performance.now();
    try { return dispatch(name, payload); } finally { t.work.push([a, performance.now() - a, name]); }
  };
  let beat = performance.now();
  setInterval(() => {
    const now = performance.now();
    if (now - beat > 20) t.holds.push([beat, now - beat]);
    beat = now;
  }, 4);
  document.addEventListener('keydown', (e) => { if (e.target.matches('input.pattern')) t.keys.push(performance.now()); }, { capture: true });
  document.addEventListener('input', (e) => {
    if (!e.target.matches('input.pattern')) return;
    const a = performance.now();
    requestAnimationFrame(() => t.echo.push(performance.now() - a));
  }, { capture: true });
}`;

// The app's window: the driver started the app, which shows one.
function windowOf(driver) {
  const kids = (pid) => fs.readFileSync(`/proc/${pid}/task/${pid}/children`, 'utf8').split(' ').filter(Boolean);
  for (const pid of kids(driver)) {
    const ids = xdotool('search', '--onlyvisible', '--pid', pid).split('\n').filter(Boolean);
    if (ids.length) return ids[ids.length - 1];
  }
  throw new Error('no application window');
}

async function once(folder, work) {
  for (const v of ['XDG_CONFIG_HOME', 'XDG_STATE_HOME', 'XDG_CACHE_HOME']) process.env[v] = fs.mkdtempSync(path.join(work, 'xdg-'));
  process.env.QUARRYTIDE_PROBE = probe;
  const web = new WebDriver();
  await web.start();
  try {
    await web.open(app, "document.body && document.body.dataset.ready === 'true'");
    await web.click('#edit-path');
    await web.type('#path-input', folder + ENTER);
    await until('the listing', 30000, () => web.exec('return window.quarrytide.store.state.listing.items.length === 100'));
    await sleep(3000); // thumbnails and the focused file's media are in
    await web.exec("window.quarrytide.intents.addRule('template')");
    await web.clear('.rule input.pattern');
    await web.click('.rule input.pattern');
    await sleep(1000);
    await web.exec(`(${instrument})()`);
    const win = windowOf(web.process.pid);
    xdotool('windowfocus', '--sync', win);
    const t0 = Date.now();
    xdotool('type', '--delay', delay, PATTERN);
    const typing = Date.now() - t0;
    await until('the pattern', 30000, () => web.exec('const v = document.querySelector(".rule input.pattern").value; return v === arguments[0] || [v, document.activeElement.className]', [PATTERN]).then((v) => v === true));
    await until('the preview', 30000, () => web.exec('const s = window.quarrytide.store.state; return !s.preview.pending && s.preview.newNames.at(0) !== s.listing.items[0].name'));
    await sleep(2000);
    const t = await web.exec('return window.__bench');
    const name = await web.exec('const s = window.quarrytide.store.state; return s.preview.newNames.at(0)');
    if (process.env.LT) console.log(Object.entries(await web.exec('return window.__lt')).sort((a, b) => b[1][1] - a[1][1]).slice(0, 25).map(([k, v]) => `${k} n=${v[0]} total=${Math.round(v[1])} max=${Math.round(v[2])}`).join('\n'));
    return { t, typing, name };
  } finally {
    await web.close();
    web.stop();
  }
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-typing-'));
try {
  const folder = path.join(work, 'photos');
  photos(folder, 100);
  console.log(`typing ${JSON.stringify(PATTERN)} over 100 photos, ${delay} ms between keys (load ${os.loadavg()[0].toFixed(1)})`);
  for (let n = 0; n < runs; n++) {
    const { t, typing, name } = await once(folder, work);
    const held = t.holds.reduce((m, [, d]) => Math.max(m, d), 0);
    const echo = [...t.echo].sort((a, b) => a - b);
    // what ran in the longest holds
    const top = [...t.holds].sort((a, b) => b[1] - a[1]).slice(0, 3).map(([at, d]) => {
      const inside = t.work.filter(([a, w]) => a >= at - 1 && a + w <= at + d + 1 && w > 2).map(([, w, what]) => `${what} ${Math.round(w)}`);
      return `${Math.round(d)} ms${inside.length ? ` (${inside.join(', ')})` : ''}`;
    });
    console.log(`  run ${n + 1}: page held at most ${Math.round(held)} ms, ${t.holds.filter(([, d]) => d > 50).length} holds over 50 ms; echo after each key: median ${Math.round(echo[echo.length >> 1])} ms, worst ${Math.round(echo[echo.length - 1])} ms; ${t.keys.length} keys in ${typing} ms; first name ${JSON.stringify(name)}`);
    console.log(`         longest: ${top.join('; ')}`);
  }
} finally {
  fs.rmSync(work, { recursive: true, force: true });
}
