// Users' sessions with the real page in the real application: clicks and
// typing go through WebKit's own input events, and every change is checked on
// disk. The page's logic is tested in the browser suite; this shows that the
// page, the in-process native side and the disk work together.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import os from 'node:os';
import { ENTER, check, until } from './webdriver.mjs';

// A small landscape per seed, so the list and the screenshot show real
// thumbnails: a PPM, which Node writes without a library (GdkPixbuf goes by content).
function picture(seed, w = 96, h = 64) {
  const raw = Buffer.alloc(w * h * 3);
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++) {
      const sun = (x - 20 - seed * 5) ** 2 + (y - 16) ** 2 < 64;
      const sky = [90 + seed * 9, 150 + y, 220 - y], land = [70 + seed * 11, 110 + (y >> 1), 60];
      raw.set(sun ? [255, 236, 170] : y < h * 0.55 ? sky : land, (y * w + x) * 3);
    }
  return Buffer.concat([Buffer.from(`P6\n${w} ${h}\n255\n`), raw]);
}

// '' when the file has no tags
const tagsOn = (file) => execFileSync('getfattr', ['--only-values', '--absolute-names', '-d', '-m', '^user\\.xdg\\.tags$', file]).toString();

/** What a user does and sees on the real page, driven through `web`. */
export function user(web) {
  const exec = (script) => web.exec(script);
  const cards = () => exec("return document.querySelectorAll('#rule-list .rule').length");
  const confirm = async (what, ms = 5000) => {
    await until(what, ms, () => exec("return document.getElementById('sheet').open"));
    await web.click('#sheet-ok');
  };
  return {
    exec,
    confirm,
    state: (expr) => exec(`const s = window.quarrytide.store.state; return ${expr}`),
    rows: () => exec(`return [...document.querySelectorAll('#grid-body .row')].map((r) => ({
      name: r.querySelector('.c-name').textContent, status: r.querySelector('.c-status').textContent.trim(),
      newName: [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join(''),
      tags: [...r.querySelectorAll('.c-tags .tagchip')].map((t) => t.textContent).join(), label: r.querySelector('.c-label').title }))`),
    async open(folder) {
      await web.click('#edit-path');
      await web.type('#path-input', folder + ENTER);
    },
    /** Adds a rule from the menu; resolves with its card's selector. */
    async addRule(label) {
      const n = (await cards()) + 1;
      await web.click('#add-rule');
      await web.click(`//div[@id='add-rule-menu']/button[normalize-space()='${label}']`, 'xpath');
      await until(`a "${label}" card`, 5000, async () => (await cards()) === n);
      return `#rule-list .rule:nth-child(${n})`;
    },
    /** Sets a switch on or off, whatever an earlier step left it at. */
    async setBox(selector, on) {
      if ((await exec(`return document.querySelector('${selector}').checked`)) !== on) await web.click(selector);
    },
    async apply(ms) {
      await web.click('#apply-btn');
      await confirm('the confirmation', ms);
    },
    /** Clears the chain a session before left behind. */
    async clearRules() {
      if (!(await this.state('s.config.rules.length'))) return;
      await web.click('#clear-rules');
      await confirm('the question');
      await until('no rules', 5000, async () => (await this.state('s.config.rules.length')) === 0);
    },
    /** Opens `folder` of `count` items and renames every one by a rule of `label` with `fields` ({field: text}). */
    async renameAll(folder, count, label, fields, ms) {
      await this.open(folder);
      await until(`${count} rows listed`, ms, async () => (await this.state('s.listing.items.length')) === count);
      const card = await this.addRule(label);
      for (const [field, text] of Object.entries(fields)) await web.type(`${card} [data-field=${field}]`, text);
      await until('every row renamed in the preview', ms, async () =>
        (await this.state('!s.preview.pending && s.preview.counts && s.preview.counts.renames')) === count);
    },
  };
}
const fresh = (...dirs) => dirs.forEach((dir) => {
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
});

/** Twelve photos: a chain, a tag and a label, applied, then undone. */
export async function session(web, folder, outDir) {
  const { exec, rows, open, addRule, apply } = user(web);
  const photos = Array.from({ length: 12 }, (_, i) => `IMG_${String(i + 1).padStart(4, '0')}.JPG`);
  const contents = new Map(photos.map((name, i) => [name, picture(i)]));
  fresh(folder);
  for (const [name, bytes] of contents) fs.writeFileSync(path.join(folder, name), bytes);
  // The folder holds exactly `expected` (new name -> original name), each with its own data.
  const checkDisk = (expected, when) => {
    const names = fs.readdirSync(folder).sort();
    check(JSON.stringify(names) === JSON.stringify(Object.keys(expected).sort()), `${when}: on disk ${JSON.stringify(names)}`);
    for (const [now, was] of Object.entries(expected))
      check(fs.readFileSync(path.join(folder, now)).equals(contents.get(was)), `${when}: "${now}" does not hold the data of "${was}"`);
  };
  const row = async (name) => (await rows()).find((r) => r.name === name);
  const idle = () => exec("return document.getElementById('progress').hidden && !document.getElementById('summary').hidden");

  await open(folder);
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
  await until('the pending tag and label in the row', 5000, () => row('IMG_0001.JPG').then((r) => r.tags === 'Beach' && r.label === 'Green (pending)'));
  const png = Buffer.from(await web.command('GET', '/screenshot'), 'base64');
  check(png.readUInt32BE(16) === 1040 && png.readUInt32BE(20) === 720, `screenshot of ${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}`);
  fs.writeFileSync(path.join(outDir, 'app.png'), png);
  check(tagsOn(path.join(folder, 'IMG_0001.JPG')) === '', 'the tag was written before applying');

  await apply();
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

/** A folder of 100,000 files typed into the path field, listed, renamed by one rule and applied as one batch. */
export async function bigFolder(web, folder) {
  const COUNT = 100000;
  fresh(folder);
  execFileSync('sh', ['-c', `seq -f 'f%06g.txt' 0 ${COUNT - 1} | xargs touch`], { cwd: folder });
  const u = user(web);
  await u.clearRules();
  await u.renameAll(folder, COUNT, 'Replace text', { find: 'f', with: 'g' }, 60000);
  await u.apply(10000);
  const renamed = () => fs.readdirSync(folder).filter((n) => n.startsWith('g')).length;
  await until('100,000 files renamed on disk', 180000, async () => renamed() === COUNT);
  check(fs.readdirSync(folder).length === COUNT, 'the folder no longer holds 100,000 items');
  await until('the page shows the batch done', 60000, () => u.exec("return document.getElementById('progress').hidden"));
  fs.rmSync(folder, { recursive: true, force: true });
}

/** Names from inside the files: a lens and the GPS date written by exiftool, a date read from a name. */
export async function namesFromContent(web, folder) {
  const u = user(web);
  const { state, open, addRule, apply } = u;
  fresh(folder);
  const photo = (name, lens, day) => {
    const file = path.join(folder, name);
    execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'color=s=16x16', '-frames:v', '1', file]);
    execFileSync('exiftool', ['-q', '-overwrite_original', `-LensModel=${lens}`, `-GPSDateStamp=${day}`, '-GPSTimeStamp=10:20:30', file]);
  };
  photo('a.jpg', 'RF50mm', '2024:07:13');
  photo('b.jpg', 'EF35mm', '2023:01:02');
  execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'color=s=16x16', '-frames:v', '1', path.join(folder, 'Screenshot from 2022-06-03 14-22-01.png')]);
  await u.clearRules();
  await open(folder);
  await until('the three files listed', 15000, async () => (await state('s.listing.items.length')) === 3);
  const card = await addRule('Template');
  await web.clear(`${card} [data-field=pattern]`);
  await web.type(`${card} [data-field=pattern]`, '{meta:Exif.Photo.LensModel|default:shot} {gpsTime:YYYY-MM-DD}{1|date:YYYY-MM-DD hh-mm-ss|fmt:YYYY-MM}');
  const want = ['EF35mm 2023-01-02.jpg', 'RF50mm 2024-07-13.jpg', 'shot 2022-06.png'];
  await web.type(`${card} [data-field=match]`, '(?:from (.+))?$');
  let seen = [];
  await until('the names read from inside the files', 20000, async () =>
    JSON.stringify((seen = await state("s.listing.items.map((it, i) => s.preview.newNames.at(i)).sort()"))) === JSON.stringify(want))
    .catch((e) => { throw new Error(`${e.message}: ${JSON.stringify(seen)}`); });
  await apply(10000);
  await until('the files renamed on disk', 20000, () => JSON.stringify(fs.readdirSync(folder).sort()) === JSON.stringify(want));
}

/** Photos of two years sorted into year/month folders the batch makes, then undone: every photo back, the folders gone. */
export async function intoFolders(web, folder) {
  const u = user(web);
  fresh(folder);
  const tree = () => execFileSync('find', ['.', '-mindepth', '1'], { cwd: folder, encoding: 'utf8' }).split('\n').filter(Boolean).sort().join(' ');
  for (const [name, taken] of [['a.jpg', '2023:05:01 10:00:00'], ['b.jpg', '2024:07:13 11:00:00'], ['c.jpg', '2024:07:14 12:00:00']]) {
    const file = path.join(folder, name);
    execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'color=s=16x16', '-frames:v', '1', file]);
    execFileSync('exiftool', ['-q', '-overwrite_original', `-DateTimeOriginal=${taken}`, file]);
  }
  const before = tree();
  await u.clearRules();
  await u.open(folder);
  await until('the three photos listed', 15000, async () => (await u.state('s.listing.items.length')) === 3);
  if (!(await u.state('s.config.folders'))) await web.click('#folders-check');
  const card = await u.addRule('Template');
  await web.clear(`${card} [data-field=pattern]`);
  await web.type(`${card} [data-field=pattern]`, '{taken:YYYY}/{taken:MM}/{name}');
  await until('the new places in the preview', 20000, async () => (await u.state('!s.preview.pending && s.preview.counts.renames')) === 3);
  await u.apply(10000);
  const sorted = './2023 ./2023/05 ./2023/05/a.jpg ./2024 ./2024/07 ./2024/07/b.jpg ./2024/07/c.jpg';
  await until('the photos in their folders on disk', 20000, () => tree() === sorted).catch((e) => { throw new Error(`${e.message}: ${tree()}`); });
  await until('undo is offered', 5000, () => u.exec("return !document.getElementById('undo-btn').disabled"));
  await web.click('#undo-btn');
  await until('every photo back and the folders gone', 20000, () => tree() === before).catch((e) => { throw new Error(`${e.message}: ${tree()}`); });
  // into a destination typed in its field: the same folders there, the destination made too
  await web.type('#dest-input', `${folder}/Library${ENTER}`);
  await until('the places in the destination', 20000, async () => (await u.state('!s.preview.pending && s.config.destination && s.preview.counts.renames')) === 3);
  await u.apply(10000);
  await until('the photos in the destination', 20000, () => tree() === sorted.replace(/\.\//g, './Library/').replace(/^/, './Library ')).catch((e) => { throw new Error(`${e.message}: ${tree()}`); });
  await until('undo is offered', 5000, () => u.exec("return !document.getElementById('undo-btn').disabled"));
  await web.click('#undo-btn');
  await until('every photo back and the destination gone', 20000, () => tree() === before).catch((e) => { throw new Error(`${e.message}: ${tree()}`); });
  // copied to another drive (a tmpfs), the originals untouched
  const drive = fs.existsSync('/dev/shm') ? fs.mkdtempSync('/dev/shm/qt-e2e-') : fs.mkdtempSync(path.join(os.tmpdir(), 'qt-e2e-'));
  try {
    await web.clear('#dest-input');
    await web.type('#dest-input', `${drive}${ENTER}`);
    await web.click('#copy-check');
    await until('the copies in the preview', 20000, async () => (await u.state(`!s.preview.pending && s.config.copy && s.config.destination === ${JSON.stringify(drive)} && s.preview.counts.renames`)) === 3);
    await u.apply(10000);
    const copies = () => execFileSync('find', ['.', '-mindepth', '1'], { cwd: drive, encoding: 'utf8' }).split('\n').filter(Boolean).sort().join(' ');
    await until('the copies on the other drive', 20000, () => copies() === sorted).catch((e) => { throw new Error(`${e.message}: ${copies()}`); });
    check(tree() === before, `the originals changed: ${tree()}`);
    check(fs.readFileSync(path.join(drive, '2023/05/a.jpg')).equals(fs.readFileSync(path.join(folder, 'a.jpg'))), 'a copy differs from its original');
    await web.click('#copy-check');
  } finally {
    fs.rmSync(drive, { recursive: true, force: true });
  }
  await web.click('#dest-clear');
  // a Regex group names the folder; "../" moves up out of the folder listed
  fresh(folder);
  for (const name of ['Song (Artist).mp3', 'sub/up.txt']) { fs.mkdirSync(path.dirname(path.join(folder, name)), { recursive: true }); fs.writeFileSync(path.join(folder, name), name); }
  for (const [listed, rule, fields, want] of [
    [folder, 'Regular expression', { pattern: '(.+) \\((.+)\\)', with: '$2/$1' }, './Artist ./Artist/Song.mp3 ./sub ./sub/up.txt'],
    [path.join(folder, 'sub'), 'Template', { pattern: '../{name}' }, './Artist ./Artist/Song.mp3 ./sub ./up.txt'],
  ]) {
    await u.clearRules();
    await u.open(listed);
    const card = await u.addRule(rule);
    for (const [field, text] of Object.entries(fields)) { await web.clear(`${card} [data-field=${field}]`); await web.type(`${card} [data-field=${field}]`, text); }
    await until(`${rule} in the preview`, 20000, async () => (await u.state('!s.preview.pending && s.preview.counts.renames')) === 1);
    await u.apply(10000);
    await until(`${rule} on disk`, 20000, () => tree() === want).catch((e) => { throw new Error(`${e.message}: ${tree()}`); });
  }
  await web.click('#folders-check');
}

/** A camera card's files: companions renamed with their photo, a duplicate numbered apart, checked on disk. */
export async function workflows(web, folder) {
  const u = user(web);
  fresh(folder);
  for (const name of ['IMG_1.JPG', 'IMG_1.CR2', 'IMG_1.JPG.xmp', 'IMG_2.HEIC', 'IMG_2.JPG', 'Trip 2.jpg']) fs.writeFileSync(path.join(folder, name), name);
  await u.clearRules();
  await u.open(folder);
  await until('the card listed', 15000, async () => (await u.state('s.listing.items.length')) === 6);
  await u.setBox('#companions-check', true);
  const card = await u.addRule('Replace text');
  await web.type(`${card} [data-field=find]`, 'IMG_');
  await web.type(`${card} [data-field=with]`, 'Trip ');
  await until('numbering apart offered', 20000, async () => (await u.state('!s.preview.pending && s.preview.found.collide')) > 0);
  await u.setBox('#unique-check', true);
  await until('the groups in the preview', 20000, async () => (await u.state('!s.preview.pending && !s.preview.found.collide && s.preview.counts.renames')) === 5);
  await u.apply(10000);
  const want = ['Trip 1.CR2', 'Trip 1.JPG', 'Trip 1.JPG.xmp', 'Trip 2 (2).HEIC', 'Trip 2 (2).JPG', 'Trip 2.jpg'];
  await until('the card renamed on disk', 20000, () => JSON.stringify(fs.readdirSync(folder).sort()) === JSON.stringify(want)).catch((e) => { throw new Error(`${e.message}: ${fs.readdirSync(folder)}`); });
  for (const box of ['#companions-check', '#unique-check']) await u.setBox(box, false);

  // names bound for a Windows share: refused with "portable names", fixed by "Make portable"
  const share = path.join(folder, 'share');
  fresh(share);
  fs.writeFileSync(path.join(share, 'Q&A: plans?.txt'), 'x');
  await u.clearRules();
  await u.open(share);
  await until('the share listed', 15000, async () => (await u.state('s.listing.items.length')) === 1);
  await u.setBox('#folders-check', true);
  await u.setBox('#portable-check', true);
  const prefix = await u.addRule('Insert text');
  await web.type(`${prefix} [data-field=text]`, 'v2 ');
  await until('the name refused', 20000, async () => (await u.state('!s.preview.pending && s.preview.counts.errors')) === 1);
  await u.addRule('Make portable');
  await until('the name made portable', 20000, async () => (await u.state('!s.preview.pending && !s.preview.counts.errors && s.preview.counts.renames')) === 1);
  await u.apply(10000);
  await until('the portable name on disk', 20000, () => fs.readdirSync(share).join() === 'v2 Q&A_ plans_.txt').catch((e) => { throw new Error(`${e.message}: ${fs.readdirSync(share)}`); });
  for (const box of ['#portable-check', '#folders-check']) await u.setBox(box, false);

  // names in legacy encodings: decoded by their bytes, checked byte for byte, undone back to those bytes
  const legacy = path.join(folder, 'legacy');
  fresh(legacy);
  const latin = [0x63, 0x61, 0x66, 0xe9, 0x2e, 0x74, 0x78, 0x74], sjis = [0x83, 0x65, 0x83, 0x58, 0x83, 0x67, 0x2e, 0x74, 0x78, 0x74];
  for (const bytes of [latin, sjis]) fs.writeFileSync(Buffer.concat([Buffer.from(legacy + '/'), Buffer.from(bytes)]), 'x');
  const onDisk = () => fs.readdirSync(legacy, { encoding: 'buffer' }).map((b) => b.toString('hex')).sort().join();
  const before = onDisk();
  await u.clearRules();
  await u.open(legacy);
  await until('the legacy names listed', 15000, async () => (await u.state('s.listing.items.length')) === 2);
  const repair = await u.addRule('Repair encoding');
  await until('both names decoded', 20000, async () => (await u.state('!s.preview.pending && s.preview.counts.renames')) === 2);
  const found = await u.exec(`return document.querySelector('${repair} .example').textContent`);
  check(/Windows-1252 \(1\)/.test(found) && /Shift_JIS \(1\)/.test(found), `the card says what auto found: ${found}`);
  await u.apply(10000);
  const decoded = ['café.txt', 'テスト.txt'].map((n) => Buffer.from(n).toString('hex')).sort().join();
  await until('the decoded names on disk', 20000, () => onDisk() === decoded).catch((e) => { throw new Error(`${e.message}: ${onDisk()}`); });
  await until('undo is offered', 5000, () => u.exec("return !document.getElementById('undo-btn').disabled"));
  await web.click('#undo-btn');
  await until('the legacy bytes back', 20000, () => onDisk() === before).catch((e) => { throw new Error(`${e.message}: ${onDisk()}`); });

  // copies of one photo onto one name: the same bytes are tagged, other bytes numbered
  const copies = path.join(folder, 'copies');
  fresh(copies);
  for (const [name, content] of [['1.jpg', 'one'], ['2.jpg', 'one'], ['3.jpg', 'two']]) fs.writeFileSync(path.join(copies, name), content);
  await u.clearRules();
  await u.open(copies);
  await until('the copies listed', 15000, async () => (await u.state('s.listing.items.length')) === 3);
  const template = await u.addRule('Template');
  await web.clear(`${template} [data-field=pattern]`);
  await web.type(`${template} [data-field=pattern]`, 'photo');
  await u.setBox('#unique-check', true);
  await u.setBox('#dup-check', true);
  await until('the copy tagged in the preview', 20000, async () => (await u.state('!s.preview.pending && s.preview.ruleMeta.size')) === 1);
  await u.apply(10000);
  await until('the copies on disk', 20000, () => fs.readdirSync(copies).sort().join() === '2.jpg,photo (2).jpg,photo.jpg').catch((e) => { throw new Error(`${e.message}: ${fs.readdirSync(copies)}`); });
  check(tagsOn(path.join(copies, '2.jpg')) === 'duplicate', 'the copy is tagged "duplicate"');
  check(fs.readFileSync(path.join(copies, 'photo.jpg'), 'utf8') === 'one', 'the first keeps the name');
  for (const box of ['#dup-check', '#unique-check']) await u.setBox(box, false);
}
