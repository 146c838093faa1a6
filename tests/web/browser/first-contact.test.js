// What a new user meets first: undo that says where it acts, names taken by
// items the list does not show, a layout usable at the smallest window, names
// that read well, and feedback for every action.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { useBrowser, rows, text, addRule, applyAll, openSheet, openPath, waitEnabled, waitToast, namesIn } from './harness.js';

const { open } = useBrowser();

test('undo and redo name the folder of their batch and ask before acting in another one', async () => {
  const { page, root } = await open(['t/a.txt', 'u/b.txt'], { choose: 't' });
  await addRule(page, 'Change case', { mode: 'upper' });
  await applyAll(page);
  assert.equal(await text(page, '#undo-btn'), 'Undo 1 in t');
  assert.ok((await page.getAttribute('#undo-btn', 'title')).includes(` in ${root}/t:`));
  await openPath(page, `${root}/u`);
  await page.click('#undo-btn');
  await page.waitForSelector('#sheet[open]');
  assert.equal(await page.textContent('#sheet-title'), 'Undo a batch in another folder?');
  const said = await page.textContent('#sheet-content');
  assert.ok(said.includes(`changed 1 item in ${root}/t.`) && said.includes(`The list shows ${root}/u.`), said);
  await page.click('#sheet-cancel');
  assert.deepEqual(namesIn(`${root}/t`), ['A.txt']);
  await page.click('#undo-btn');
  assert.equal(await text(page, '#sheet-ok'), 'Undo in t');
  await page.click('#sheet-ok');
  await waitEnabled(page, 'redo-btn');
  assert.deepEqual(namesIn(`${root}/t`), ['a.txt']);
  assert.equal(await text(page, '#redo-btn'), 'Redo 1 in t');
});

test('names held by hidden items or by items the mode leaves out are errors before apply; hidden items can be listed', async () => {
  const { page, root, native } = await open(['t/x', 't/.x', 't/y', 't/z', 't/sub/inner.txt'], { choose: 't' });
  await addRule(page, 'List of new names', { text: '.x\nsub\n' });
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('2 errors'));
  const [x, y, z] = await rows(page);
  assert.deepEqual([x.status, y.status, z.status], ['⚠ exists', '⚠ exists', '']);
  assert.match(y.why, /does not show .* already called "sub"/);
  assert.match(await openSheet(page), /2 rows have errors/);
  await page.click('#sheet-cancel');
  // the switch lists hidden items too, and the chooser is asked for them
  await page.click('#hidden-btn');
  await page.waitForFunction(() => [...document.querySelectorAll('.row .c-name')].some((c) => c.textContent === '.x'));
  assert.equal(await page.getAttribute('#hidden-btn', 'aria-pressed'), 'true');
  assert.equal(native.sent('listFolder').pop().args.hidden, true);
  await page.click('#open-btn');
  while (native.sent('chooseFolder').length < 2) await page.waitForTimeout(20);
  const choose = native.sent('chooseFolder').pop().args;
  assert.deepEqual([choose.start, choose.hidden], [`${root}/t`, true]);
});

for (const [width, height] of [[870, 544], [1040, 720]]) {
  test(`at ${width} x ${height} every control is reachable and no text is cut`, async () => {
    const folder = 'Pictures/Holiday 2026';
    const files = [[`${folder}/IMG_0001.JPG`, { tags: ['Holiday', 'Beach', 'Family'], label: 4 }], `${folder}/line one\nline two.txt`, ...Array.from({ length: 60 }, (_, i) => `${folder}/x${i}.txt`)];
    const { page } = await open(files, { choose: folder, viewport: { width, height } });
    await addRule(page, 'Replace text', { find: 'IMG_', with: 'Holiday ' });
    // the bottom strip is on screen, and its buttons are what a click there hits
    for (const id of ['apply-btn', 'undo-btn', 'reveal-btn']) {
      const hit = await page.evaluate((i) => {
        const b = document.getElementById(i).getBoundingClientRect();
        return b.bottom <= innerHeight && document.elementFromPoint(b.x + b.width / 2, b.y + b.height / 2)?.id === i;
      }, id);
      assert.ok(hit, `${id} cannot be reached`);
    }
    // the side panel scrolls to its last control
    await page.locator('#preset-delete').scrollIntoViewIfNeeded();
    assert.ok(await page.evaluate(() => { const b = document.getElementById('preset-delete').getBoundingClientRect(); return b.bottom <= innerHeight && b.top >= 0; }));
    assert.ok((await page.locator('#preset-name').boundingBox()).width >= 150, 'the preset name field is too small');
    const cut = await page.evaluate(() => {
      const out = [];
      const ctx = document.createElement('canvas').getContext('2d');
      for (const s of document.querySelectorAll('.filterbar select')) {
        ctx.font = getComputedStyle(s).font;
        const text = s.options[s.selectedIndex].text;
        if (ctx.measureText(text).width + 16 > s.clientWidth) out.push(`select "${text}"`);
      }
      const summary = document.getElementById('summary');
      if (summary.scrollWidth > summary.clientWidth + 1 || summary.getBoundingClientRect().right > innerWidth) out.push('summary');
      const chip = document.querySelector('.row .tagchip');
      if (chip.scrollWidth > chip.clientWidth + 1) out.push(`tag "${chip.textContent}"`);
      for (const c of document.querySelectorAll('.row .c-name, .row .c-new')) {
        if (c.scrollHeight > c.clientHeight + 1) out.push(`a name spills out of its row: ${JSON.stringify(c.textContent)}`);
        if (!c.title) out.push(`no tooltip on ${JSON.stringify(c.textContent)}`);
      }
      return out;
    });
    assert.deepEqual(cut, []);
    assert.equal(await page.locator('.c-name', { hasText: 'line one␊line two.txt' }).count(), 1);
  });
}

test('a name that mostly changed shows whole; the confirmation keeps spaces and lists every item', async () => {
  const { page } = await open(['IMG_0240.JPG', ...Array.from({ length: 40 }, (_, i) => `photo  ${String(i).padStart(2, '0')}.jpg`)]);
  await addRule(page, 'Regular expression', { pattern: '^IMG_0(\\d+)$', with: '2024-07-13 Holiday $1' });
  await addRule(page, 'Extension', { mode: 'lower' });
  const row = page.locator('.row', { hasText: 'IMG_0240.JPG' });
  assert.equal(await row.locator('.c-new del').count(), 0);
  assert.deepEqual(await row.locator('.c-new ins').allTextContents(), ['2024-07-13 Holiday 240.jpg']);
  await addRule(page, 'Insert text', { text: '#' });
  await openSheet(page);
  const list = page.locator('#sheet-content .samples');
  assert.ok(await list.evaluate((el) => el.querySelectorAll('.line').length < 41), 'every line is in the DOM');
  await list.evaluate((el) => { el.scrollTop = el.scrollHeight; el.dispatchEvent(new Event('scroll')); });
  await page.waitForFunction(() => [...document.querySelectorAll('#sheet-content .line')].some((l) => l.textContent === 'photo  39.jpg  →  #photo  39.jpg'));
  assert.equal(await list.locator('.line', { hasText: 'photo  39' }).evaluate((el) => getComputedStyle(el).whiteSpace), 'pre');
});

test('feedback: reveal without a file manager, named colours, and a new folder from the left', async () => {
  const { page, root, native } = await open(['t/a.txt', 'u/c.txt'], { choose: 't' });
  native.hooks.reveal = 'No file manager could show the items: Failed to find default application for content type ‘inode/directory’';
  await page.click('.row >> nth=0');
  await page.click('#reveal-btn');
  await waitToast(page, 'No file manager could show the items');
  // colours are named for pointer and screen reader alike
  const swatches = await page.$$eval('#meta-label .swatch', (s) => s.map((x) => [x.title, x.getAttribute('aria-label')]));
  assert.deepEqual(swatches.slice(1).map(([t]) => t.split(' ')[0]), ['Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange']);
  assert.ok(swatches.every(([t, a]) => t && a));
  await page.evaluate(() => { document.getElementById('grid-body').scrollLeft = 300; });
  await openPath(page, `${root}/u`);
  assert.equal(await page.evaluate(() => document.getElementById('grid-body').scrollLeft), 0);
});
