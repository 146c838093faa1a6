// Opening big folders in the real app (WebKitGTK) as a user does: the path
// typed in the path field, then Enter. The clock runs inside the page; the
// peak memory is read from /proc. Figures only.
// Usage: node listing.mjs APP   (BIG=1 adds a tree of 1,000,000 files: slow;
// KEEP=DIR makes the folders there once and keeps them for the next run;
// ONLY=1000000 runs only the scenarios of that many files)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { WebDriver, ENTER, sleep, until } from '../../tests/e2e/webdriver.mjs';

const BACKSPACE = '\uE003';

const app = fs.realpathSync(process.argv[2]);
const scenarios = [
  { title: '100,000 files, flat', n: 100000, folders: 0 },
  { title: '100,000 files, tree of 100 folders', n: 100000, folders: 100 },
  ...(process.env.BIG === '1' ? [{ title: '1,000,000 files, tree of 1,000 folders', n: 1000000, folders: 1000 }] : []),
];

// Empty files named IMG_000000.jpg...; two of them carry a line separator and
// a byte that is not UTF-8, which must reach the page byte for byte (its stand-in U+DCFF).
function makeFolder(root, n, folders) {
  const dirs = folders ? Array.from({ length: folders }, (_, d) => path.join(root, `d${String(d).padStart(4, '0')}`)) : [root];
  for (const d of dirs) fs.mkdirSync(d, { recursive: true });
  for (let i = 0; i < n; i++) {
    const dir = dirs[i % dirs.length];
    const name = `IMG_${String(i).padStart(7, '0')}${i === 0 ? '\u2028' : ''}.jpg`;
    const file = i === 1 ? Buffer.concat([Buffer.from(path.join(dir, 'IMG_')), Buffer.from([0xff]), Buffer.from('.jpg')]) : path.join(dir, name);
    fs.closeSync(fs.openSync(file, 'w'));
  }
}

// In the page, before Enter: marks when Enter is pressed, when the first part
// and the reply arrive, when rows and the full count are on screen.
const instrument = `(n) => {
  const t = window.__bench = {};
  const digits = () => document.getElementById('count').textContent.replace(/\\D/g, '');
  const parse = JSON.parse;
  JSON.parse = function (text, reviver) {
    const a = performance.now();
    const value = parse.call(this, text, reviver);
    if (text.length > 1e6) t.parse = (t.parse || 0) + performance.now() - a;
    return value;
  };
  const part = window.__bridgePartRaw;
  window.__bridgePartRaw = (p) => {
    if (!t.part) t.part = performance.now();
    t.parts = (t.parts || 0) + 1;
    const a = performance.now();
    try { return part(p); } finally { t.inPart = Math.max(t.inPart || 0, performance.now() - a); }
  };
  const resolve = window.__bridgeResolveRaw;
  window.__bridgeResolveRaw = (reply) => {
    if (reply?.payload?.files && t.enter && !t.reply) t.reply = performance.now();
    return resolve(reply);
  };
  // where the page's own time goes: the listing action with its views, and
  // handing the items to the preview worker
  const { store } = window.quarrytide;
  const dispatch = store.dispatch;
  store.dispatch = (name, payload) => {
    const a = performance.now();
    try { return dispatch(name, payload); } finally { if (name === 'listed' && payload.files.length >= n) t.listed = performance.now() - a; }
  };
  const post = Worker.prototype.postMessage;
  Worker.prototype.postMessage = function (message, transfer) {
    const a = performance.now();
    try { return post.call(this, message, transfer); } finally { if (message?.items) t.toWorker = Math.max(t.toWorker || 0, performance.now() - a); }
  };
  // the longest the page's thread is held while the listing comes in: how
  // long a key press could wait
  let beat = 0;
  const watch = setInterval(() => {
    const now = performance.now();
    if (t.enter && beat && !t.count) t.held = Math.max(t.held || 0, now - beat);
    else if (t.count && beat) t.heldAfter = Math.max(t.heldAfter || 0, now - beat);
    beat = now;
    // on until the first preview of the whole listing is in
    const { preview } = store.state;
    if (t.count && !preview.pending && preview.check && preview.base.length === n) { t.checked = now; clearInterval(watch); }
  }, 5);
  const tick = () => {
    const now = performance.now();
    if (!t.rows && document.querySelector('#grid-body .row')) t.rows = now;
    if (!t.count && digits() === String(n)) t.count = now;
    if (!t.rows || !t.count) requestAnimationFrame(tick);
  };
  document.getElementById('path-input').addEventListener('keydown', (e) => {
    if (e.key === 'Enter' && !t.enter) { t.enter = performance.now(); requestAnimationFrame(tick); }
  }, { capture: true });
}`;

// In the page, before the key: the time from the rule field's input event to
// the new preview on screen.
const watchPreview = `() => {
  const { store } = window.quarrytide;
  const t = window.__bench;
  document.addEventListener('input', (e) => {
    if (e.target.dataset.field !== 'find' || t.typed) return; // the first input of each key
    t.typed = performance.now();
    const stamp = store.state.preview.stamp;
    const off = store.subscribe(['preview'], (s) => {
      // the rows on screen named ahead of the whole preview
      if (s.preview.early && !t.early) { t.early = -1; requestAnimationFrame(() => { t.early = performance.now(); }); }
      if (s.preview.stamp > stamp && !s.preview.pending) { off(); requestAnimationFrame(() => { t.previewed = performance.now(); }); }
    });
  }, { capture: true });
}`;

const children = (pid) => {
  try {
    return fs.readFileSync(`/proc/${pid}/task/${pid}/children`, 'utf8').split(' ').filter(Boolean).map(Number);
  } catch {
    return [];
  }
};
const descendants = (pid) => children(pid).flatMap((c) => [c, ...descendants(c)]);
const exe = (pid) => { try { return fs.readlinkSync(`/proc/${pid}/exe`); } catch { return ''; } };
const cmdline = (pid) => { try { return fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8'); } catch { return ''; } };
const alive = (pid) => { try { return !/^\d+ \(.*\) Z/.test(fs.readFileSync(`/proc/${pid}/stat`, 'utf8')); } catch { return false; } };
const hwmMB = (pid) => {
  const m = /VmHWM:\s+(\d+) kB/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'));
  return m ? Math.round(Number(m[1]) / 1024) : NaN;
};

async function measure({ title, n, folders }, work) {
  const keep = process.env.KEEP;
  const folder = keep ? path.join(keep, `items-${n}-${folders}`) : path.join(work, 'items');
  const t0 = Date.now();
  if (!keep || !fs.existsSync(path.join(keep, `made-${n}-${folders}`))) {
    fs.rmSync(folder, { recursive: true, force: true });
    makeFolder(folder, n, folders);
    if (keep) fs.writeFileSync(path.join(keep, `made-${n}-${folders}`), '');
  }
  console.log(`${title} (made in ${((Date.now() - t0) / 1000).toFixed(1)} s)`);
  // fresh settings and journal for each run: nothing reopened, nothing remembered
  for (const v of ['XDG_CONFIG_HOME', 'XDG_STATE_HOME']) process.env[v] = fs.mkdtempSync(path.join(work, 'xdg-'));
  const web = new WebDriver();
  await web.start();
  let appPid;
  try {
    await web.open(app, "document.body && document.body.dataset.ready === 'true'");
    if (folders) await web.click('#mode-switch [data-mode=tree]');
    await web.exec(`(${instrument})(arguments[0])`, [n]);
    // `quarrytide` hands the window to `quarrytide-window` beside it, in its own process
    const windowed = path.join(path.dirname(app), 'quarrytide-window');
    appPid = descendants(web.process.pid).find((pid) => exe(pid) === app || exe(pid) === windowed);
    const webPid = appPid && descendants(appPid).find((pid) => cmdline(pid).includes('WebKitWebProcess'));
    const before = [hwmMB(appPid), hwmMB(webPid)];
    await web.click('#edit-path');
    await web.type('#path-input', folder + ENTER);
    const wait = 60000 + n / 2;
    // the count shows with the last part; the listing is whole once its reply is taken in
    let t = await until('the rows and the count', wait, () => web.exec('const t = window.__bench; return t.rows && t.count && t.listed !== undefined && t'));
    const names = await web.exec(`const items = window.quarrytide.store.state.listing.items;
      return [items.some((it) => it.name.includes('\\u2028')), items.some((it) => it.name === 'IMG_\\udcff.jpg')]`);
    await until('the preview settles', wait, () => web.exec('return !window.quarrytide.store.state.preview.pending'));
    t = await web.exec('return window.__bench');
    await web.click('#add-rule');
    await web.click("//div[@id='add-rule-menu']/button[normalize-space()='Replace text']", 'xpath');
    await until('the Replace card', 10000, () => web.exec("return document.querySelectorAll('#rule-list .rule [data-field=find]').length === 1"));
    await until('the preview settles', wait, () => web.exec('return !window.quarrytide.store.state.preview.pending'));
    await web.exec(`(${watchPreview})()`);
    // nine keys, each typed once the last one's preview is shown, the
    // heaviest way to go on typing: the median of the first three previews,
    // the peak memory after the first, the third and the ninth
    const previews = [];
    const early = [];
    const peaks = [];
    for (const key of ['_', '0', '1', BACKSPACE, '2', BACKSPACE, '3', BACKSPACE, BACKSPACE]) {
      await web.exec('window.__bench.typed = window.__bench.previewed = window.__bench.early = 0');
      await web.type('#rule-list .rule [data-field=find]', key);
      const p = await until('the preview of the rule', wait, () => web.exec('const t = window.__bench; return t.previewed && t'));
      previews.push(p.previewed - p.typed);
      if (p.early > 0) early.push(p.early - p.typed);
      peaks.push([hwmMB(appPid), hwmMB(webPid)]);
    }
    const firstThree = previews.slice(0, 3);
    const ms = (x) => `${Math.round(x)} ms`.padStart(9);
    console.log(`  first rows on screen     ${ms(t.rows - t.enter)}   (first part at ${Math.round(t.part - t.enter)} ms)`);
    console.log(`  full count shown         ${ms(t.count - t.enter)}   (reply after ${t.parts} parts at ${Math.round(t.reply - t.enter)} ms, JSON.parse ${t.parse ? Math.round(t.parse) + ' ms' : 'not used'}; listing action and views ${Math.round(t.listed)} ms, items to the preview worker ${t.toWorker ? Math.round(t.toWorker) + ' ms' : '-'})`);
    console.log(`  page thread held at most ${ms(t.held)}   while the listing came in (a key waits at most this long; the page's own work on a part at most ${Math.round(t.inPart || 0)} ms)`);
    console.log(`                 and then ${ms(t.heldAfter || 0)}   until its first preview was in, ${Math.round(t.checked - t.count)} ms after the count`);
    console.log(`  one-rule preview shown   ${ms([...firstThree].sort((a, b) => a - b)[1])}   after the key (median of ${firstThree.map(Math.round).join(', ')} ms; the next six ${previews.slice(3).map(Math.round).join(', ')} ms)`);
    console.log(`  rows on screen named     ${early.length ? ms(early.sort((a, b) => a - b)[early.length >> 1]) : '        -'}   after the key (median of the ${early.length} of nine keys named early)`);
    console.log(`  peak memory              app ${peaks[0][0]} MB, web process ${peaks[0][1]} MB   to the first one-rule preview (${before[0]} and ${before[1]} MB before Enter)`);
    console.log(`                 and then app ${peaks[2][0]} MB, web process ${peaks[2][1]} MB   after three keys; app ${peaks[8][0]} MB, web process ${peaks[8][1]} MB after nine`);
    console.log(`  odd names intact         line separator ${names[0] ? 'yes' : 'NO'}, not UTF-8 ${names[1] ? 'yes' : 'NO'}`);
  } finally {
    await web.close();
    // an app still busy may outlive its session (and the driver): the next
    // run must not share the machine with it
    for (let i = 0; i < 50 && alive(appPid); i++) await sleep(200);
    if (alive(appPid)) process.kill(appPid, 'SIGKILL');
    web.stop();
    if (!keep) fs.rmSync(folder, { recursive: true, force: true });
  }
}

// The first app of a fresh session fills the desktop's caches (fonts among
// them) and paints its first frames and rows late; a user's desktop has them
// already. It lists a small folder once.
async function warmUp(work) {
  const folder = path.join(work, 'warm');
  makeFolder(folder, 50, 0);
  const web = new WebDriver();
  await web.start();
  try {
    await web.open(app, "document.body && document.body.dataset.ready === 'true'");
    await web.click('#edit-path');
    await web.type('#path-input', folder + ENTER);
    await until('the rows', 20000, () => web.exec("return document.querySelectorAll('#grid-body .row').length > 0"));
  } finally {
    await web.close();
    web.stop();
  }
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-listing-'));
try {
  await warmUp(work);
  for (const s of scenarios) if (!process.env.ONLY || s.n === Number(process.env.ONLY)) await measure(s, work);
} finally {
  fs.rmSync(work, { recursive: true, force: true });
}
