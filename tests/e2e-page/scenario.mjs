// A user's whole session with the real page in the real application, driven
// through WebKitWebDriver: clicks and typing go through WebKit's own input
// events, and every change is checked on disk, not in the page.
// Usage: node scenario.mjs APP OUT_DIR WORK_DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { WebDriver, ENTER, check, limit, until } from '../e2e/webdriver.mjs';

const [app, outDir, work] = process.argv.slice(2);
const folder = path.join(process.env.HOME || work, 'Pictures', 'Holiday 2026');

// --- the folder: photo names whose contents tell them apart

// A small picture per file, so that the list has real thumbnails. It is PNG
// data: GdkPixbuf goes by the content, and Node writes PNG without a library.
function picture(seed) {
  const w = 96, h = 64;
  const raw = Buffer.alloc((w * 3 + 1) * h);
  const hue = (seed * 47) % 360;
  const rgb = (hDeg, s, l) => {
    const c = (1 - Math.abs(2 * l - 1)) * s, x = c * (1 - Math.abs(((hDeg / 60) % 2) - 1)), m = l - c / 2;
    const [r, g, b] = hDeg < 60 ? [c, x, 0] : hDeg < 120 ? [x, c, 0] : hDeg < 180 ? [0, c, x] : hDeg < 240 ? [0, x, c] : hDeg < 300 ? [x, 0, c] : [c, 0, x];
    return [r + m, g + m, b + m].map((v) => Math.round(v * 255));
  };
  for (let y = 0; y < h; y++) {
    const sky = y < h * 0.55;
    const [r, g, b] = sky ? rgb((hue + 200) % 360, 0.55, 0.75 - (0.3 * y) / h) : rgb((hue + 30) % 360, 0.5, 0.35 + (0.2 * (y - h * 0.55)) / h);
    raw[y * (w * 3 + 1)] = 0;
    for (let x = 0; x < w; x++) {
      const sun = (x - 20 - seed * 5) ** 2 + (y - 16) ** 2 < 64;
      const o = y * (w * 3 + 1) + 1 + x * 3;
      raw[o] = sun ? 255 : r;
      raw[o + 1] = sun ? 236 : g;
      raw[o + 2] = sun ? 170 : b;
    }
  }
  const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (buf) => {
    let c = 0xffffffff;
    for (const byte of buf) c = crcTable[(c ^ byte) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, data) => {
    const len = Buffer.alloc(4);
    len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const sum = Buffer.alloc(4);
    sum.writeUInt32BE(crc(body));
    return Buffer.concat([len, body, sum]);
  };
  const head = Buffer.alloc(13);
  head.writeUInt32BE(w, 0);
  head.writeUInt32BE(h, 4);
  head[8] = 8;
  head[9] = 2;
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', head),
    chunk('IDAT', zlib.deflateSync(raw)),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

const photos = Array.from({ length: 12 }, (_, i) => `IMG_${String(i + 1).padStart(4, '0')}.JPG`);
// Already named as the second chain will name IMG_0003.JPG: the conflict.
const collider = 'Trip 0003.jpg';
const original = [...photos, collider].sort();
const contents = new Map();

function makeFolder() {
  fs.mkdirSync(folder, { recursive: true });
  [...photos, collider].forEach((name, i) => {
    // a unique trailer, so that every item is recognised after renames
    const data = Buffer.concat([picture(i), Buffer.from(`\n${name}\n`)]);
    contents.set(name, data);
    const file = path.join(folder, name);
    fs.writeFileSync(file, data);
    const when = new Date(Date.UTC(2026, 6, 14, 9 + i, 12 + 3 * i, 5)) / 1000;
    fs.utimesSync(file, when, when);
  });
}

const disk = () => fs.readdirSync(folder).sort();

/** Checks that the folder holds exactly `expected` (new name -> original name), none lost. */
function checkDisk(expected, when) {
  const names = disk();
  const want = Object.keys(expected).sort();
  check(JSON.stringify(names) === JSON.stringify(want), `${when}: on disk ${JSON.stringify(names)}, expected ${JSON.stringify(want)}`);
  for (const [now, was] of Object.entries(expected)) {
    check(fs.readFileSync(path.join(folder, now)).equals(contents.get(was)), `${when}: "${now}" does not hold the data of "${was}"`);
  }
}

function tagsOnDisk(name) {
  try {
    return execFileSync('getfattr', ['--only-values', '-n', 'user.xdg.tags', path.join(folder, name)], { stdio: ['ignore', 'pipe', 'pipe'] }).toString();
  } catch (e) {
    const why = String(e.stderr);
    if (/No such attribute/.test(why)) return null;
    throw new Error(`getfattr on ${name}: ${why}`);
  }
}

// --- the page under WebKitWebDriver

const web = new WebDriver({ requestMs: 20000 });
const openApp = () => web.open(app, "document.body && document.body.dataset.ready === 'true'");
const exec = (script, args) => web.exec(script, args);
const click = (selector, using) => web.click(selector, using);
const type = (selector, text) => web.type(selector, text);
const clear = (selector) => web.clear(selector);

/** The rows on screen, in list order: name, new name (without the struck-out text), status, its tooltip. */
const rows = () => exec(`return [...document.querySelectorAll('#grid-body .row')]
  .sort((a, b) => Number(a.dataset.v) - Number(b.dataset.v))
  .map((r) => ({
    name: r.querySelector('.c-name').textContent,
    newName: [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join(''),
    status: r.querySelector('.c-status').textContent.trim(),
    why: r.querySelector('.c-status').title,
    tags: [...r.querySelectorAll('.c-tags .tagchip')].map((t) => t.textContent),
    label: r.querySelector('.c-label').title,
  }))`);
const rowOf = async (name) => (await rows()).find((r) => r.name === name);
const summary = () => exec("return document.getElementById('summary').textContent");
const idle = () => exec("return document.getElementById('progress').hidden && !document.getElementById('summary').hidden");

async function addRule(label) {
  const before = await exec("return document.querySelectorAll('#rule-list .rule').length");
  await click('#add-rule');
  await click(`//div[@id='add-rule-menu']/button[normalize-space()='${label}']`, 'xpath');
  await until(`a "${label}" card`, 5000, async () => (await exec("return document.querySelectorAll('#rule-list .rule').length")) === before + 1);
  return `#rule-list .rule:nth-child(${before + 1})`;
}

async function shot(file) {
  const png = await web.screenshot();
  check(png.readUInt32BE(16) === 1040 && png.readUInt32BE(20) === 720, `screenshot of ${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}`);
  fs.writeFileSync(file, png);
  console.log(`      ${file}`);
}

// --- the session

let stage = 'start';
async function scenario() {
  stage = 'the folder is opened by typing its path';
  await click('#edit-path');
  await type('#path-input', folder + ENTER);
  await until('the photos are listed', 15000, async () => (await rows()).length === original.length);
  check(JSON.stringify(await exec("return document.getElementById('crumbs').textContent")).includes('Holiday 2026'), 'the folder is not in the path bar');
  // the list in name order, as a user tidying photos would look at it
  await click('#grid-head .h-name button');
  await until('the list sorted by name', 5000, async () => JSON.stringify((await rows()).map((r) => r.name)) === JSON.stringify(original));
  await until('the thumbnails are drawn', 15000, () => exec("return [...document.querySelectorAll('#grid-body .row img.thumb')].every((i) => i.complete && i.naturalWidth > 0)"));
  check(/13 items/.test(await exec("return document.getElementById('count').textContent")), 'the count does not say 13 items');

  stage = 'a chain of two rules previews the new names';
  const replace = await addRule('Replace text');
  await type(`${replace} [data-field=find]`, 'IMG_');
  await type(`${replace} [data-field=with]`, 'Holiday ');
  const ext = await addRule('Extension');
  check((await exec(`return document.querySelector('${ext} [data-field=mode]').value`)) === 'lower', 'the extension rule does not start as lower case');
  await until('the preview of the chain', 5000, async () => (await rowOf('IMG_0001.JPG'))?.newName === 'Holiday 0001.jpg');
  for (const r of await rows()) {
    const want = r.name === collider ? collider : r.name.replace('IMG_', 'Holiday ').replace('.JPG', '.jpg');
    check(r.newName === want && r.status === '', `row ${r.name}: new name "${r.newName}", status "${r.status}"`);
  }
  check(/12 to rename/.test(await summary()) && /0 errors/.test(await summary()), `summary: ${await summary()}`);

  stage = 'a tag and a colour label are set on one photo';
  await click(`//div[contains(@class,'c-name') and text()='IMG_0001.JPG']`, 'xpath');
  await type('#tag-input', 'Beach' + ENTER);
  await click('#meta-label .swatch.lc-2');
  await until('the pending tag and label in the row', 5000, async () => {
    const r = await rowOf('IMG_0001.JPG');
    return r.tags.join() === 'Beach' && r.label === 'Green (pending)';
  });
  await shot(path.join(outDir, 'app.png'));

  stage = 'a conflict is marked and counted';
  await clear(`${replace} [data-field=with]`);
  await type(`${replace} [data-field=with]`, 'Trip ');
  const marked = await until('the problem marker', 5000, async () => {
    const r = await rowOf('IMG_0003.JPG');
    return r.status.includes('exists') && r;
  });
  check(marked.why.includes(collider), `the marker does not name the taken name: ${marked.why}`);
  check((await rows()).filter((r) => r.status !== '').length === 1, 'more than one row is marked');
  check(/1 error\b/.test(await summary()), `summary: ${await summary()}`);
  check(tagsOnDisk('IMG_0001.JPG') === null, 'the tag was written before applying');

  stage = 'apply is refused with the error until it is skipped';
  const offer = await exec("return document.getElementById('apply-btn').textContent");
  check(offer === 'Apply 11 ▸', `the Apply button says "${offer}", but the row with the error is not sent`);
  await click('#apply-btn');
  await until('the confirmation', 5000, () => exec("return document.getElementById('sheet').open"));
  const sheet = await exec("return document.getElementById('sheet-content').textContent");
  check(/^11 renames and 1 metadata change\./.test(sheet) && /1 row has errors/.test(sheet), `the confirmation says: ${sheet}`);
  check(await exec("return document.getElementById('sheet-ok').disabled"), 'apply is offered while an error remains');
  await click('#sheet-skip');
  check(!(await exec("return document.getElementById('sheet-ok').disabled")), 'skipping the error does not allow apply');
  await click('#sheet-ok');
  await until('the batch finishes', 20000, idle);

  stage = 'the disk holds exactly the new names';
  const renamed = Object.fromEntries(photos.map((p) => [p === 'IMG_0003.JPG' ? p : p.replace('IMG_', 'Trip ').replace('.JPG', '.jpg'), p]));
  renamed[collider] = collider;
  checkDisk(renamed, 'after apply');
  check(tagsOnDisk('Trip 0001.jpg') === 'Beach,Green', `user.xdg.tags of Trip 0001.jpg: ${JSON.stringify(tagsOnDisk('Trip 0001.jpg'))}`);

  stage = 'the results are shown';
  const done = await until('the results in the rows', 5000, async () => {
    const list = await rows();
    return list.filter((r) => r.status === '✓ done').length === 11 && list;
  });
  check(JSON.stringify(done.map((r) => r.name).sort()) === JSON.stringify(Object.keys(renamed).sort()), `rows after apply: ${JSON.stringify(done.map((r) => r.name))}`);
  check((await rowOf('Trip 0001.jpg')).tags.join() === 'Beach', 'the applied tag is not in its row');
  check(/11 done/.test(await summary()), `summary: ${await summary()}`);

  stage = 'undo brings every name and the tag back';
  await until('undo is offered', 5000, () => exec("return !document.getElementById('undo-btn').disabled"));
  await click('#undo-btn');
  await until('the undo finishes', 20000, async () => (await idle()) && (await exec("return !document.getElementById('redo-btn').disabled")));
  checkDisk(Object.fromEntries(original.map((n) => [n, n])), 'after undo');
  const tags = tagsOnDisk('IMG_0001.JPG');
  check(tags === null || tags === '', `user.xdg.tags of IMG_0001.JPG after undo: ${JSON.stringify(tags)}`);
  const back = await until('the rows after undo', 5000, async () => {
    const list = await rows();
    return list.filter((r) => r.status === '✓ done').length === 11 && list;
  });
  check(JSON.stringify(back.map((r) => r.name).sort()) === JSON.stringify(original), `rows after undo: ${JSON.stringify(back.map((r) => r.name))}`);
}

let failed = false;
try {
  fs.mkdirSync(outDir, { recursive: true });
  makeFolder();
  await web.start();
  // one more try if the first start of the app does not come up
  try {
    await openApp();
  } catch (e) {
    console.log(`retry the app start: ${e.message}`);
    await web.close();
    await openApp();
  }
  await limit(120000, 'the session', scenario());
  console.log('ok    open, chain, conflict, apply, results and undo, checked on disk');
} catch (e) {
  failed = true;
  console.log(`FAIL  ${stage}: ${e.message}`);
  if (web.session) await shot(path.join(outDir, 'failure.png')).catch(() => {});
} finally {
  await web.close();
  web.stop();
}
process.exit(failed ? 1 : 0);
