// A user's session with the real page in the real application: clicks and
// typing go through WebKit's own input events, and every change is checked on
// disk. The page's logic is tested in the browser suite; this shows that the
// page, the in-process native side and the disk work together.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { ENTER, check, until } from './webdriver.mjs';

// A small landscape per seed, so the list and the screenshot show real
// thumbnails: PNG, which Node writes without a library (GdkPixbuf goes by content).
function chunk(type, body) {
  const out = Buffer.alloc(body.length + 12);
  out.writeUInt32BE(body.length);
  Buffer.concat([Buffer.from(type), body]).copy(out, 4);
  out.writeUInt32BE(zlib.crc32(out.subarray(4, body.length + 8)), body.length + 8);
  return out;
}
function picture(seed, w = 96, h = 64) {
  const raw = Buffer.alloc((w * 3 + 1) * h);
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++) {
      const sun = (x - 20 - seed * 5) ** 2 + (y - 16) ** 2 < 64;
      const sky = [90 + seed * 9, 150 + y, 220 - y], land = [70 + seed * 11, 110 + (y >> 1), 60];
      raw.set(sun ? [255, 236, 170] : y < h * 0.55 ? sky : land, y * (w * 3 + 1) + 1 + x * 3);
    }
  const head = Buffer.alloc(13);
  head.writeUInt32BE(w);
  head.writeUInt32BE(h, 4);
  head.set([8, 2], 8);
  return Buffer.concat([Buffer.from('89504e470d0a1a0a', 'hex'), chunk('IHDR', head), chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}

// '' when the file has no tags
const tagsOn = (file) => execFileSync('getfattr', ['--only-values', '--absolute-names', '-d', '-m', '^user\\.xdg\\.tags$', file]).toString();

export async function session(web, folder, outDir) {
  const exec = (script) => web.exec(script);
  const photos = Array.from({ length: 12 }, (_, i) => `IMG_${String(i + 1).padStart(4, '0')}.JPG`);
  const contents = new Map(photos.map((name, i) => [name, Buffer.concat([picture(i), Buffer.from(`\n${name}\n`)])]));
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  for (const [name, bytes] of contents) fs.writeFileSync(path.join(folder, name), bytes);
  // The folder holds exactly `expected` (new name -> original name), each with its own data.
  const checkDisk = (expected, when) => {
    const names = fs.readdirSync(folder).sort();
    check(JSON.stringify(names) === JSON.stringify(Object.keys(expected).sort()), `${when}: on disk ${JSON.stringify(names)}`);
    for (const [now, was] of Object.entries(expected))
      check(fs.readFileSync(path.join(folder, now)).equals(contents.get(was)), `${when}: "${now}" does not hold the data of "${was}"`);
  };
  const rows = () => exec(`return [...document.querySelectorAll('#grid-body .row')].map((r) => ({
    name: r.querySelector('.c-name').textContent, status: r.querySelector('.c-status').textContent.trim(),
    newName: [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join(''),
    tags: [...r.querySelectorAll('.c-tags .tagchip')].map((t) => t.textContent).join(), label: r.querySelector('.c-label').title }))`);
  const row = async (name) => (await rows()).find((r) => r.name === name);
  const idle = () => exec("return document.getElementById('progress').hidden && !document.getElementById('summary').hidden");
  const cards = () => exec("return document.querySelectorAll('#rule-list .rule').length");
  const addRule = async (label) => {
    const n = (await cards()) + 1;
    await web.click('#add-rule');
    await web.click(`//div[@id='add-rule-menu']/button[normalize-space()='${label}']`, 'xpath');
    await until(`a "${label}" card`, 5000, async () => (await cards()) === n);
    return `#rule-list .rule:nth-child(${n})`;
  };

  await web.click('#edit-path');
  await web.type('#path-input', folder + ENTER);
  await until('the photos are listed', 15000, async () => (await rows()).length === photos.length);
  await until('the thumbnails are drawn', 15000, () => exec("return [...document.querySelectorAll('#grid-body .row img.thumb')].every((i) => i.complete && i.naturalWidth > 0)"));

  const replace = await addRule('Replace text');
  await web.type(`${replace} [data-field=find]`, 'IMG_');
  await web.type(`${replace} [data-field=with]`, 'Holiday ');
  await addRule('Extension');  // lower case, as it starts
  const renamed = Object.fromEntries(photos.map((p) => [p.replace('IMG_', 'Holiday ').replace('.JPG', '.jpg'), p]));
  await until('the preview of the chain', 5000, async () =>
    (await rows()).every((r) => renamed[r.newName] === r.name && r.status === ''));

  await web.click(`//div[contains(@class,'c-name') and text()='IMG_0001.JPG']`, 'xpath');
  await web.type('#tag-input', 'Beach' + ENTER);
  await web.click('#meta-label .swatch.lc-2');
  await until('the pending tag and label in the row', 5000, async () => {
    const r = await row('IMG_0001.JPG');
    return r.tags === 'Beach' && r.label === 'Green (pending)';
  });
  const png = Buffer.from(await web.command('GET', '/screenshot'), 'base64');
  check(png.readUInt32BE(16) === 1040 && png.readUInt32BE(20) === 720, `screenshot of ${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}`);
  fs.writeFileSync(path.join(outDir, 'app.png'), png);
  check(tagsOn(path.join(folder, 'IMG_0001.JPG')) === '', 'the tag was written before applying');

  await web.click('#apply-btn');
  await until('the confirmation', 5000, () => exec("return document.getElementById('sheet').open"));
  await web.click('#sheet-ok');
  await until('the batch finishes', 20000, async () => (await idle()) && (await rows()).filter((r) => r.status === '✓ done').length === 12);
  checkDisk(renamed, 'after apply');
  check(tagsOn(path.join(folder, 'Holiday 0001.jpg')) === 'Beach,Green', 'the tag and label are not on disk');
  check((await row('Holiday 0001.jpg')).tags === 'Beach', 'the applied tag is not in its row');

  await until('undo is offered', 5000, () => exec("return !document.getElementById('undo-btn').disabled"));
  await web.click('#undo-btn');
  await until('the undo finishes', 20000, async () => (await idle()) && exec("return !document.getElementById('redo-btn').disabled"));
  checkDisk(Object.fromEntries(photos.map((n) => [n, n])), 'after undo');
  check(tagsOn(path.join(folder, 'IMG_0001.JPG')) === '', 'the tag stayed after undo');
  check(JSON.stringify((await rows()).map((r) => r.name).sort()) === JSON.stringify(photos), 'the rows after undo');
}
