// What the pointer and an opened folder cost the real app (WebKitGTK) when it
// paints without a GPU, as under Xvfb: the CPU ticks of the app and every
// process it started (the web process paints), counted from /proc while
// xdotool opens a folder and moves the pointer as a user would. Figures only.
// Usage: node pointer.mjs APP PROBE   (RUNS=3 repeats; LANGUAGE and GTK_THEME
// are passed on; SIZE=880x600 sizes the window; SHOTS=DIR keeps screenshots;
// BY=1 prints each step's ticks by process)
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { photos } from './photos.mjs';

const [app, probe] = process.argv.slice(2).map((p) => path.resolve(p));
const runs = Number(process.env.RUNS || 3);
const [width, height] = (process.env.SIZE || '1040x720').split('x').map(Number);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const xdotool = (...args) => execFileSync('xdotool', args.map(String), { encoding: 'utf8', timeout: 10000 }).trim();
const hz = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));

// The app and every process below it (the web and network processes, probes).
function family(root) {
  const parent = new Map();
  for (const d of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(d)) continue;
    try {
      parent.set(Number(d), Number(fs.readFileSync(`/proc/${d}/stat`, 'utf8').split(') ')[1].split(' ')[1]));
    } catch {}
  }
  const out = [root];
  for (let k = 0; k < out.length; k++) for (const [pid, pp] of parent) if (pp === out[k]) out.push(pid);
  return out;
}
// Ticks by process name: which of them paints shows where the cost is.
function ticks(root) {
  const by = {};
  for (const pid of family(root)) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const f = stat.split(') ')[1].split(' ');
      const name = stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')')).replace(/^WebKit|Process$/g, '');
      by[name] = (by[name] || 0) + Number(f[11]) + Number(f[12]);
    } catch {}
  }
  return by;
}
const sum = (by) => Object.values(by).reduce((a, b) => a + b, 0);
const parts = [];
async function cost(root, fn) {
  const before = ticks(root);
  await fn();
  const after = ticks(root);
  const by = Object.fromEntries(Object.entries(after).map(([k, v]) => [k, v - (before[k] || 0)]).filter(([, v]) => v > 0));
  parts.push(by);
  return sum(by);
}

// The window of this app: another app on the same display is not measured.
async function appWindow(pid) {
  for (let i = 0; i < 100; i++) {
    const ids = (() => { try { return xdotool('search', '--onlyvisible', '--pid', pid).split('\n'); } catch { return []; } })();
    for (const id of ids.filter(Boolean)) {
      const g = Object.fromEntries(xdotool('getwindowgeometry', '--shell', id).split('\n').map((l) => l.split('=')));
      if (Number(g.WIDTH) > 200) return { id, x: +g.X, y: +g.Y, w: +g.WIDTH, h: +g.HEIGHT };
    }
    await sleep(100);
  }
  throw new Error('no application window on screen');
}

// Twenty moves 100 ms apart over a region (fractions of the window), zigzag
// so that each move crosses to another row or control; then a second to settle.
async function moves(win, [x0, y0, x1, y1]) {
  for (let i = 0; i < 20; i++) {
    const x = win.x + Math.round(win.w * (i % 2 ? x1 : x0));
    const y = win.y + Math.round(win.h * (y0 + ((y1 - y0) * i) / 19));
    xdotool('mousemove', x, y);
    await sleep(100);
  }
  await sleep(1000);
}

// The window as it is (ImageMagick's import), to compare the look.
function shot(name) {
  if (!process.env.SHOTS) return;
  fs.mkdirSync(process.env.SHOTS, { recursive: true });
  execFileSync('import', ['-window', 'root', path.join(process.env.SHOTS, `${name}.png`)]);
}

async function once(folder, work, n) {
  const home = fs.mkdtempSync(path.join(work, 'home-'));
  const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: `${home}/config`, XDG_CACHE_HOME: `${home}/cache`, XDG_DATA_HOME: `${home}/share`, XDG_STATE_HOME: `${home}/state`, GSETTINGS_BACKEND: 'memory', QUARRYTIDE_PROBE: probe };
  delete env.DBUS_SESSION_BUS_ADDRESS;
  const child = spawn(app, [], { env, stdio: 'ignore' });
  try {
    const win = await appWindow(child.pid);
    if (process.env.SIZE) {
      xdotool('windowsize', '--sync', win.id, width, height);
      Object.assign(win, await appWindow(child.pid));
    }
    xdotool('mousemove', win.x + win.w - 5, win.y + 5); // out of the page's way while it starts
    await sleep(5000);
    const start = await cost(child.pid, () => sleep(3000));
    xdotool('windowfocus', '--sync', win.id);
    xdotool('key', 'ctrl+l');
    await sleep(300);
    xdotool('type', '--delay', 10, folder);
    const open = await cost(child.pid, async () => { xdotool('key', 'Return'); await sleep(10000); });
    const idle = await cost(child.pid, () => sleep(3000));
    shot(`${n}-open`);
    const list = await cost(child.pid, () => moves(win, [0.45, 0.3, 0.75, 0.8]));
    shot(`${n}-hover`);
    await sleep(3000); // the list's last repaints are not counted as the panel's
    const side = await cost(child.pid, () => moves(win, [0.05, 0.15, 0.2, 0.85]));
    const after = await cost(child.pid, () => sleep(3000));
    return { start, open, idle, list, side, after };
  } finally {
    child.kill('SIGTERM');
    await new Promise((r) => child.exitCode !== null ? r() : child.on('exit', r));
  }
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-pointer-'));
try {
  const folder = path.join(work, 'photos');
  photos(folder, 100);
  const all = [];
  for (let n = 0; n < runs; n++) all.push(await once(folder, work, n));
  const s = (k) => all.map((r) => (r[k] / hz).toFixed(2)).join(', ');
  const t = (k) => all.map((r) => r[k]).join(', ');
  console.log(`pointer and paint, ${width}x${height}, ${process.env.LANGUAGE || 'en'}${process.env.GTK_THEME ? ', ' + process.env.GTK_THEME : ''}; CPU-s of the app and its processes, ${runs} runs (load ${os.loadavg()[0].toFixed(1)})`);
  console.log(`  idle before opening (3 s)    ${t('start')} ticks`);
  console.log(`  opening 100 photos (10 s)    ${s('open')} s`);
  console.log(`  idle after (3 s)             ${t('idle')} ticks`);
  console.log(`  twenty moves over the list   ${s('list')} s`);
  console.log(`  twenty moves over the panel  ${s('side')} s`);
  console.log(`  idle afterwards (3 s)        ${t('after')} ticks`);
  if (process.env.BY) for (const by of parts) console.log('   ', JSON.stringify(by));
} finally {
  fs.rmSync(work, { recursive: true, force: true });
}
