// The page in Debian's Chromium (playwright-core), served from web/, against
// the real native side: quarrytide-headless runs the bridge on a folder of real
// files behind a relay, which keeps the order of its scripts, logs every
// envelope and stands in for what a test machine lacks (a file manager, a full disk).
import { before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const WEB = path.resolve(import.meta.dirname, '../../../web');
const BIN = process.env.QUARRYTIDE_BIN || path.resolve(import.meta.dirname, '../../../build/bin');
const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8' };
const LABELS = ['', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];

/** A new folder of `files`: each a path below it or [path, {tags, label, link}]; a Buffer is a name of raw bytes. */
function makeTree(files) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-page-'));
  for (const f of files) {
    const [rel, p = {}] = Array.isArray(f) ? f : [f];
    if (Buffer.isBuffer(rel)) { fs.writeFileSync(Buffer.concat([Buffer.from(root + '/'), rel]), 'bytes'); continue; }
    const file = path.join(root, rel);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    if (p.link) fs.symlinkSync(p.link, file);
    else fs.writeFileSync(file, rel);
    const tags = [...(p.tags || []), ...(p.label ? [LABELS[p.label]] : [])];
    if (tags.length) execFileSync('setfattr', ['-n', 'user.xdg.tags', '-v', tags.join(','), file]);
  }
  return root;
}

/** What the disk holds for `file`: its tags and colour label, and its inode. */
export function onDisk(file) {
  const all = execFileSync('getfattr', ['--only-values', '--absolute-names', '-d', '-m', '^user\\.xdg\\.tags$', file]).toString().split(',');
  const colour = all.findLast((t) => t && LABELS.includes(t));
  return { tags: all.filter((t) => t && t !== colour), label: colour ? LABELS.indexOf(colour) : 0, ino: fs.lstatSync(file).ino };
}

export const namesIn = (dir) => fs.readdirSync(dir).sort();

/**
 * A browser and a server of web/ on 127.0.0.1 only (benchmarks use it alone).
 * openPage(files, {choose, viewport, locale}): the page (in English unless
 * `locale` says otherwise) on a new folder of `files` (see makeTree), its
 * chooser picking `choose` below it: {page, errors, native, root}.
 * `native.log` holds the envelopes sent; `native.hooks[cmd] = message` refuses a
 * command; `native.applyDelay` holds each apply and runBatch back (ms); `native.drop(paths)`
 * drops items on the window; `native.restart()` kills the native side (an
 * apply held back is lost with it) and starts it again. `open` is openPage, then Open… until the rows show.
 * `closePages` closes the pages opened and fails on any error they had.
 */
export async function launch() {
  const browser = await chromium.launch({
    executablePath: process.env.QUARRYTIDE_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    timeout: 30000,
  });
  const server = http.createServer((req, res) => {
    const file = path.resolve(WEB, '.' + decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname));
    if (!file.startsWith(WEB + path.sep)) return res.writeHead(403).end();
    fs.readFile(file, (err, body) => (err ? res.writeHead(404).end()
      : res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream', 'cache-control': 'no-store' }).end(body)));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const url = `http://127.0.0.1:${server.address().port}/index.html`;
  const made = [], opened = [];

  async function openPage(files = [], { choose = '', viewport = { width: 1040, height: 720 }, locale = 'en-US' } = {}) {
    const root = makeTree(files);
    const config = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-config-'));
    made.push(root, config);
    const context = await browser.newContext({ viewport, locale });
    const page = await context.newPage();
    const errors = [];
    opened.push({ context, errors });
    page.on('pageerror', (e) => errors.push(`pageerror: ${e.message}`));
    page.on('console', (m) => { if (m.type() === 'error') errors.push(`console: ${m.text()}`); });
    let tail = Promise.resolve();
    // scripts are evaluated one after another, in the order the native side wrote them
    const evaluate = (script) => { tail = tail.then(() => page.evaluate(script).catch(() => {})); };
    const start = () => {
      const proc = spawn(path.join(BIN, 'quarrytide-headless'), ['--choose', path.join(root, choose)], {
        env: { ...process.env, XDG_CONFIG_HOME: config, XDG_CACHE_HOME: path.join(config, 'cache'), XDG_STATE_HOME: path.join(config, 'state') },
        stdio: ['pipe', 'pipe', 'ignore'],
      });
      readline.createInterface({ input: proc.stdout }).on('line', evaluate);
      return proc;
    };
    let child = start();
    page.on('close', () => child.kill());
    const native = { log: [], hooks: {}, applyDelay: 0, sent: (cmd) => native.log.filter((e) => e.cmd === cmd) };
    native.drop = (paths) => child.stdin.write(JSON.stringify({ drop: paths }) + '\n');
    native.open = (paths) => child.stdin.write(JSON.stringify({ open: paths }) + '\n');
    // the app killed (what it was sent and has not read is lost) and started again
    native.restart = () => { child.kill('SIGKILL'); child = start(); };
    await page.exposeFunction('__toNative', async (text) => {
      const env = JSON.parse(text);
      native.log.push(env);
      const refusal = native.hooks[env.cmd];
      if (refusal) return evaluate(`window.__bridgeResolveRaw(${JSON.stringify({ id: env.id, ok: false, payload: refusal })})`);
      const to = child;
      if ((env.cmd === 'apply' || env.cmd === 'runBatch') && native.applyDelay) await new Promise((r) => setTimeout(r, native.applyDelay));
      if (to === child) child.stdin.write(text + '\n');
    });
    await page.addInitScript(() => {
      window.webkit = { messageHandlers: { bridge: { postMessage: (env) => window.__toNative(typeof env === 'string' ? env : JSON.stringify(env)) } } };
    });
    await page.goto(url);
    await page.waitForSelector('body[data-ready=true]', { timeout: 10000 });
    return { page, errors, native, root };
  }
  return {
    openPage,
    async open(files, options) {
      const shown = await openPage(files, options);
      await shown.page.click('#open-btn');
      await shown.page.waitForSelector('#grid[aria-busy=false] .row');
      return shown;
    },
    async closePages() {
      for (const { context, errors } of opened.splice(0)) {
        await context.close();
        assert.deepEqual(errors, []);
      }
    },
    async close() {
      await browser.close();
      await new Promise((resolve) => server.close(resolve));
      // removed after the run ends: 12,000 files take long on a busy disk
      spawn('rm', ['-rf', ...made], { detached: true, stdio: 'ignore' }).unref();
    },
  };
}

/** The browser of a test file, each test in a context of its own, failing on any error of its page. */
export function useBrowser() {
  let env;
  before(async () => { env = await launch(); });
  afterEach(() => env.closePages());
  after(() => env?.close());
  return { openPage: (...args) => env.openPage(...args), open: (...args) => env.open(...args) };
}

/** The shown rows in list order: name, new name (without the struck-out text), status word, its tooltip, selected. */
export const rows = (page) => page.$$eval('.row', (els) => els.sort((a, b) => a.dataset.v - b.dataset.v).map((r) => ({
  name: r.querySelector('.c-name').textContent,
  newName: [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join(''),
  status: r.querySelector('.c-status').textContent.trim(),
  why: r.querySelector('.c-status').title,
  selected: r.classList.contains('selected'),
})));
export const column = async (page, key) => (await rows(page)).map((r) => r[key]);
/** The column once it reads `want` (an order or a rule's change shows in the preview's next task); asserts it within 5 s. */
export async function columnSoon(page, key, want) {
  let seen;
  for (const end = Date.now() + 5000; Date.now() < end; await new Promise((r) => setTimeout(r, 50))) {
    if (JSON.stringify((seen = await column(page, key))) === JSON.stringify(want)) return;
  }
  throw new Error(`${key}: ${JSON.stringify(seen)}, not ${JSON.stringify(want)}`);
}
export const text = async (page, selector) => (await page.textContent(selector)).trim();
export const waitEnabled = (page, id) => page.waitForFunction((i) => !document.getElementById(i).disabled, id);
export const waitToast = (page, words) => page.waitForFunction((w) => document.getElementById('toasts').textContent.includes(w), words);
export const idle = (page) => page.waitForFunction(() => document.getElementById('progress').hidden && !document.getElementById('summary').hidden);

/** Adds a rule from the menu and fills its fields; resolves to its card. */
export async function addRule(page, label, fields = {}) {
  const card = page.locator('.rule').nth(await page.locator('.rule').count());
  await page.click('#add-rule');
  await page.click(`#add-rule-menu button:text-is("${label}")`);
  for (const [field, value] of Object.entries(fields)) {
    const input = card.locator(`[data-field="${field}"]`);
    if ((await input.evaluate((el) => el.tagName)) === 'SELECT') await input.selectOption(value);
    else if ((await input.getAttribute('type')) === 'checkbox') await input.setChecked(value);
    else await input.fill(String(value));
  }
  return card;
}

/** Clicks Apply; resolves to what the confirmation says. */
export async function openSheet(page) {
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  return page.textContent('#sheet-content');
}

export async function applyAll(page) {
  await openSheet(page);
  await page.click('#sheet-ok');
  await idle(page);
}

/** Opens `folder` by typing its path. */
export async function openPath(page, folder) {
  await page.click('#edit-path');
  await page.fill('#path-input', folder);
  await page.press('#path-input', 'Enter');
  await page.waitForFunction((f) => document.getElementById('crumbs').textContent.includes(f.split('/').pop()), folder);
}
