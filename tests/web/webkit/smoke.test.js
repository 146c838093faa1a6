// The page in WebKitGTK itself (the engine of the application), driven through
// WebKitWebDriver and MiniBrowser under Xvfb (run-suite.sh starts the display).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { writeFile, mkdir } from 'node:fs/promises';
import { serveWeb } from '../server.js';

const BROWSER = process.env.QUARRYTIDE_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
let server, driver, base, session;

const call = async (method, path, body) => {
  const r = await fetch(base + path, { method, headers: { 'content-type': 'application/json' }, body: body ? JSON.stringify(body) : undefined });
  const json = await r.json();
  if (json.value && json.value.error) throw new Error(`${path}: ${json.value.error}: ${json.value.message}`);
  return json.value;
};
/** Runs `body` (the text of an async function body) in the page and returns its result. */
const run = (body) => call('POST', `/session/${session}/execute/async`, {
  script: `const done = arguments[0]; (async () => { ${body} })().then(done, (e) => done({ thrown: String(e) }));`,
  args: [],
});

before(async () => {
  server = await serveWeb();
  const port = 20000 + Math.floor(Math.random() * 20000);
  driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  base = `http://127.0.0.1:${port}`;
  for (let i = 0; i < 50 && !session; i++) {
    await new Promise((r) => setTimeout(r, 200));
    try {
      const v = await call('POST', '/session', { capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary: BROWSER, args: ['--automation'] } } } });
      session = v.sessionId;
    } catch (e) {
      if (!/ECONNREFUSED|fetch failed/.test(String(e.cause || e))) throw e;
    }
  }
  assert.ok(session, 'no WebDriver session');
  await call('POST', `/session/${session}/window/rect`, { width: 1040, height: 760 });
});

after(async () => {
  if (session) await call('DELETE', `/session/${session}`).catch(() => {});
  driver?.kill();
  await server?.close();
});

test('in WebKitGTK the page loads its modules under its policy, previews, applies and undoes', async () => {
  await call('POST', `/session/${session}/url`, { url: server.url + '__mock__/index.html' });
  const result = await run(`
    const until = async (fn, what) => { for (let i = 0; i < 200; i++) { if (fn()) return; await new Promise((r) => setTimeout(r, 25)); } throw new Error('timed out: ' + what); };
    const $ = (s) => document.querySelector(s);
    await until(() => document.body.dataset.ready === 'true', 'start');
    $('#open-btn').click();
    await until(() => document.querySelectorAll('.row').length > 10, 'rows');
    $('#add-rule').click();
    [...document.querySelectorAll('#add-rule-menu button')].find((b) => b.textContent === 'Regular expression').click();
    const set = (sel, v) => { const el = $(sel); el.value = v; el.dispatchEvent(new Event('input')); };
    set('[data-field=pattern]', '^IMG_(\\\\d+)$');
    set('[data-field=with]', 'Photo $1');
    await until(() => document.getElementById('summary').textContent.includes('to rename'), 'preview');
    const preview = [...document.querySelectorAll('.row .c-new')].map((c) => [...c.childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join('')).find((t) => t.startsWith('Photo'));
    await until(() => [...document.querySelectorAll('.row img.thumb')].filter((i) => i.src.startsWith('data:image/png')).length > 5, 'thumbnails');
    const thumbs = [...document.querySelectorAll('.row img.thumb')].filter((i) => i.src.startsWith('data:image/png')).length;
    $('#apply-btn').click();
    await until(() => $('#sheet').open, 'sheet');
    $('#sheet-ok').click();
    await until(() => !$('#undo-btn').disabled, 'apply');
    const renamed = window.__mock.fs.names('/home/ana/Photos/2024').filter((n) => n.startsWith('Photo ')).length;
    $('.rule [aria-label="Remove rule"]').click();
    $('#undo-btn').click();
    await until(() => !$('#redo-btn').disabled, 'undo');
    const back = window.__mock.fs.names('/home/ana/Photos/2024').filter((n) => n.startsWith('IMG_')).length;
    return { preview, renamed, back, errors: window.__errors, thumbs };
  `);
  await mkdir(new URL('../out/', import.meta.url), { recursive: true });
  await writeFile(new URL('../out/webkit.png', import.meta.url), Buffer.from(await call('GET', `/session/${session}/screenshot`), 'base64'));
  assert.equal(result.thrown, undefined, result.thrown);
  assert.deepEqual(result.errors, []);
  assert.equal(result.preview, 'Photo 0001.JPG');
  assert.equal(result.renamed, 240);
  assert.equal(result.back, 240);
  assert.ok(result.thumbs > 5, `${result.thumbs} thumbnails shown`);
});
