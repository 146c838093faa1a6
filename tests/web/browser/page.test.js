import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launch, openPage } from './harness.js';

let env;
before(async () => { env = await launch(); });
after(async () => { await env?.close(); });

/** A folder /t with the given files; the folder chooser picks it. */
function seedFolder(mock, setup) {
  for (const [name, props] of setup.files) mock.fs.add(`/t/${name}`, props || {});
  mock.state.chooseResult = '/t';
  if (setup.prefs) mock.state.prefs = setup.prefs;
}

async function open(setup, options = {}) {
  const opened = await openPage(env, { seed: seedFolder, seedArg: setup, ...options });
  const { page } = opened;
  await page.click('#open-btn');
  await page.waitForSelector('.row');
  return opened;
}

const names = (page) => page.$$eval('.row', (rows) => rows
  .sort((a, b) => Number(a.dataset.v) - Number(b.dataset.v))
  .map((r) => r.querySelector('.c-name').textContent));
const newNames = (page) => page.$$eval('.row', (rows) => rows
  .sort((a, b) => Number(a.dataset.v) - Number(b.dataset.v))
  .map((r) => [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join('')));
const diskNames = (page) => page.evaluate(() => window.__mock.fs.names('/t'));

async function addRule(page, label, fields = {}) {
  const index = await page.locator('.rule').count();
  await page.click('#add-rule');
  await page.click(`#add-rule-menu button:text-is("${label}")`);
  const card = page.locator('.rule').nth(index);
  for (const [field, value] of Object.entries(fields)) {
    const input = card.locator(`[data-field="${field}"]`);
    if ((await input.evaluate((el) => el.tagName)) === 'SELECT') await input.selectOption(value);
    else if ((await input.getAttribute('type')) === 'checkbox') await input.setChecked(value);
    else await input.fill(String(value));
  }
  return card;
}

async function applyAll(page, { skip = false } = {}) {
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  if (skip) await page.check('#sheet-skip');
  await page.click('#sheet-ok');
  await page.waitForFunction(() => document.getElementById('progress').hidden && !document.getElementById('summary').hidden);
}

test('opening lists the folder with names as text, a bounded number of rows and grid semantics', async () => {
  const files = [['<img src=x onerror="window.__pwned=1">.txt'], ...Array.from({ length: 2000 }, (_, i) => [`file ${i}.txt`])];
  const { page, errors, context } = await open({ files });
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.locator('.c-name', { hasText: '<img src=x' }).count(), 1);
  const rows = await page.locator('.row').count();
  assert.ok(rows > 10 && rows < 80, `${rows} rows in the DOM`);
  assert.equal(await page.getAttribute('#grid', 'aria-rowcount'), '2002');
  assert.equal(await page.getAttribute('#grid', 'role'), 'grid');
  assert.match(await page.textContent('#count'), /2,001 items/);
  // files, folders and tree keep the drop mode in step
  await page.click('[data-mode=folders]');
  await page.waitForFunction(() => window.__mock.foldersMode === true);
  await page.click('[data-mode=files]');
  await page.waitForFunction(() => window.__mock.foldersMode === false);
  assert.deepEqual(errors, []);
  await context.close();
});

test('rules preview live, with changed characters marked, and can be switched, moved and removed', async () => {
  const { page, context } = await open({ files: [['IMG_0001.JPG'], ['IMG_0002.JPG'], ['notes.txt']] });
  const card = await addRule(page, 'Replace text', { find: 'IMG_', with: 'Beach ' });
  assert.deepEqual(await newNames(page), ['Beach 0001.JPG', 'Beach 0002.JPG', 'notes.txt']);
  assert.equal(await page.locator('.row >> nth=0').locator('del').first().textContent(), 'IMG_');
  assert.equal(await page.locator('.row >> nth=0').locator('ins').first().textContent(), 'Beach ');
  await addRule(page, 'Extension', { mode: 'lower' });
  await addRule(page, 'Numbering', { start: 1, pad: 2, position: 'suffix', sep: '-' });
  assert.deepEqual(await newNames(page), ['Beach 0001-01.jpg', 'Beach 0002-02.jpg', 'notes-03.txt']);
  // numbering follows the order of the list
  await page.click('.h-name button');
  await page.click('.h-name button');
  assert.deepEqual(await newNames(page), ['notes-01.txt', 'Beach 0002-02.jpg', 'Beach 0001-03.jpg']);
  await page.click('.h-name button');
  await card.locator('.rule-head input[type=checkbox]').uncheck();
  assert.deepEqual(await newNames(page), ['IMG_0001-01.jpg', 'IMG_0002-02.jpg', 'notes-03.txt']);
  // move numbering to the top, then remove it with Delete
  const numbering = page.locator('.rule').nth(2);
  await numbering.locator('[aria-label="Move up"]').click();
  await page.locator('.rule').nth(1).locator('[aria-label="Move up"]').click();
  assert.match(await page.locator('.rule').first().locator('.rule-summary').textContent(), /^Numbering/);
  await page.locator('.rule').first().locator('.rule-summary').focus();
  await page.keyboard.press('Delete');
  assert.equal(await page.locator('.rule').count(), 2);
  assert.deepEqual(await newNames(page), ['IMG_0001.jpg', 'IMG_0002.jpg', 'notes.txt']);
  // an invalid pattern says why on its card and changes nothing
  const regex = await addRule(page, 'Regular expression', { pattern: '(' });
  assert.match(await regex.locator('.rule-error').textContent(), /^invalid regular expression/);
  await context.close();
});

test('problems are shown per row and counted; apply needs the errors skipped', async () => {
  const { page, context } = await open({ files: [['a.txt'], ['b.txt'], ['c.txt'], ['keep.md'], ['x.txt']] });
  await addRule(page, 'Regular expression', { pattern: '^[abc]$', with: 'same' });
  await page.fill('#filter-input', '');
  assert.deepEqual(await page.$$eval('.row .c-status', (c) => c.map((x) => x.textContent.trim())), ['⚠ dup', '⚠ dup', '⚠ dup', '', '']);
  assert.match(await page.textContent('#summary'), /3 errors/);
  await page.click('#summary button:has-text("3 errors")');
  assert.equal(await page.locator('.row').count(), 3);
  await page.click('#summary button:has-text("3 errors")');
  // x -> keep: taken by an item that stays
  await addRule(page, 'Replace text', { find: 'x', with: 'keep', target: 'name' });
  await addRule(page, 'Extension', { mode: 'set', value: 'md' });
  const row = page.locator('.row', { hasText: 'x.txt' });
  assert.equal((await row.locator('.c-status').textContent()).trim(), '⚠ exists');
  assert.match(await row.locator('.c-status').getAttribute('title'), /keeps its name is already called "keep.md"/);
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  assert.equal(await page.isDisabled('#sheet-ok'), true);
  await page.check('#sheet-skip');
  await page.click('#sheet-ok');
  await page.waitForFunction(() => document.getElementById('progress').hidden && !document.getElementById('summary').hidden);
  // everything had errors, so nothing but keep.md's own rename (none) happened
  assert.deepEqual(await diskNames(page), ['a.txt', 'b.txt', 'c.txt', 'keep.md', 'x.txt']);
  await context.close();
});

test('the confirmation and the Apply button count what is sent: rows with errors and the rows they block are not counted', async () => {
  const { page, context } = await open({ files: [['keep.md'], ['photo 1.txt'], ['photo 2.txt'], ['photo 3.txt'], ['x.md'], ['y.md']] });
  // a tag on a row that keeps its name, on one that is renamed and on one that is blocked
  for (const name of ['keep.md', 'photo 1.txt', 'y.md']) {
    await page.click(`.row:has-text("${name}")`);
    await page.fill('#tag-input', 'Later');
    await page.press('#tag-input', 'Enter');
  }
  // x.md -> keep.md is taken; y.md -> x.md is free only while x.md moves away
  await addRule(page, 'Replace text', { find: 'x', with: 'keep', target: 'name' });
  await addRule(page, 'Replace text', { find: 'y', with: 'x', target: 'name' });
  await addRule(page, 'Extension', { mode: 'set', value: 'md' });
  assert.deepEqual(await newNames(page), ['keep.md', 'photo 1.md', 'photo 2.md', 'photo 3.md', 'keep.md', 'x.md']);
  assert.deepEqual(await page.$$eval('.row .c-status', (c) => c.map((x) => x.textContent.trim())), ['', '', '', '', '⚠ exists', '']);
  // three photos renamed, keep.md tagged: x.md and y.md are left out with their tags
  assert.equal((await page.textContent('#apply-btn')).trim(), 'Apply 4 ▸');
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  const sheet = await page.textContent('#sheet-content');
  assert.match(sheet, /^3 renames and 2 metadata changes\./);
  assert.match(sheet, /1 row has errors/);
  assert.doesNotMatch(sheet, /x\.md|y\.md/);
  await page.check('#sheet-skip');
  assert.equal((await page.textContent('#sheet-ok')).trim(), 'Apply 4');
  await page.click('#sheet-ok');
  await page.waitForFunction(() => document.getElementById('progress').hidden && !document.getElementById('summary').hidden);
  assert.deepEqual(await diskNames(page), ['keep.md', 'photo 1.md', 'photo 2.md', 'photo 3.md', 'x.md', 'y.md']);
  const tags = await page.evaluate(() => ['keep.md', 'photo 1.md', 'y.md'].map((n) => window.__mock.fs.get('/t/' + n).tags));
  assert.deepEqual(tags, [['Later'], ['Later'], []]);
  assert.match(await page.textContent('#summary'), /: 4 done/);
  assert.doesNotMatch(await page.textContent('#summary'), /failed|not applied/);
  await context.close();
});

test('apply with a partial failure: done rows get their new names, failed rows stay selected with the reason', async () => {
  const { page, context } = await open({ files: [['one.txt'], ['two.txt'], ['three.txt', { noXattr: true }]] });
  await page.evaluate(() => window.__mock.fs.failRenames((p) => (p.endsWith('/two.txt') ? 'Permission denied' : '')));
  await addRule(page, 'Change case', { mode: 'upper' });
  await page.click('.row:has-text("three.txt")');
  await page.fill('#comment-input', 'hello');
  await page.click('#comment-set');
  await applyAll(page);
  assert.deepEqual(await diskNames(page), ['ONE.txt', 'THREE.txt', 'two.txt']);
  const status = await page.$$eval('.row', (rows) => rows.map((r) => [r.querySelector('.c-name').textContent, r.querySelector('.c-status').textContent.trim(), r.classList.contains('selected')]));
  assert.deepEqual(status, [['ONE.txt', '✓ done', false], ['THREE.txt', '✕ failed', true], ['two.txt', '✕ failed', true]]);
  assert.match(await page.locator('.row', { hasText: 'two.txt' }).locator('.c-status').getAttribute('title'), /Permission denied/);
  const commentTip = await page.locator('.row', { hasText: 'THREE.txt' }).locator('.c-status').getAttribute('title');
  assert.match(commentTip, /the file system refused the comment attribute/);
  assert.match(await page.textContent('#summary'), /2 failed/);
  await context.close();
});

test('swaps and chains go through in one batch; undo and redo restore names and metadata', async () => {
  const { page, context } = await open({ files: [['a'], ['b'], ['c'], ['d', { tags: ['Old'] }]] });
  await addRule(page, 'List of new names', { text: 'b\nc\na\nd' });
  await page.click('.row >> nth=3');
  await page.fill('#tag-input', 'New');
  await page.press('#tag-input', 'Shift+Enter');
  await page.click('.swatch.lc-6');
  const ids = () => page.evaluate(() => Object.fromEntries(window.__mock.fs.names('/t').map((n) => [n, window.__mock.fs.get('/t/' + n).id])));
  const before = await ids();
  await applyAll(page);
  const afterApply = await ids();
  // each row follows its own item through the swap, and undo is offered at once
  assert.deepEqual(await names(page), ['b', 'c', 'a', 'd']);
  assert.equal(await page.isDisabled('#undo-btn'), false);
  assert.deepEqual([afterApply.b, afterApply.c, afterApply.a], [before.a, before.b, before.c]);
  assert.deepEqual(await page.evaluate(() => { const n = window.__mock.fs.get('/t/d'); return [n.tags, n.label]; }), [['New'], 6]);
  const applies = await page.evaluate(() => window.__mock.log.filter((e) => e.cmd === 'apply').length);
  assert.equal(applies, 1);
  // remove the rule so that the preview is quiet, then undo with the keyboard
  await page.locator('.rule [aria-label="Remove rule"]').click();
  await page.locator('#grid').focus();
  await page.keyboard.press('Control+z');
  await page.waitForFunction(() => !document.getElementById('undo-btn').disabled || !document.getElementById('redo-btn').disabled);
  await page.waitForFunction(() => !document.getElementById('redo-btn').disabled);
  assert.deepEqual(await ids(), before);
  assert.deepEqual(await page.evaluate(() => { const n = window.__mock.fs.get('/t/d'); return [n.tags, n.label]; }), [['Old'], 0]);
  assert.deepEqual(await names(page), ['a', 'b', 'c', 'd']);
  await page.keyboard.press('Control+Shift+z');
  await page.waitForFunction(() => !document.getElementById('undo-btn').disabled && document.getElementById('redo-btn').disabled);
  assert.deepEqual(await ids(), afterApply);
  await context.close();
});

test('large batches go in chunks, in order, with progress', async () => {
  const files = Array.from({ length: 700 }, (_, i) => [`f${String(i).padStart(4, '0')}.dat`]);
  const { page, context } = await open({ files });
  await page.evaluate(() => { window.__mock.state.holdApply = () => new Promise((r) => setTimeout(r, 60)); });
  await addRule(page, 'Insert text', { text: 'x-' });
  await page.click('#apply-btn');
  await page.click('#sheet-ok');
  await page.waitForSelector('#progress:not([hidden])');
  const max = await page.getAttribute('#progress-bar', 'aria-valuemax');
  assert.equal(max, '700');
  await page.waitForFunction(() => document.getElementById('progress').hidden);
  const sizes = await page.evaluate(() => window.__mock.log.filter((e) => e.cmd === 'apply').map((e) => e.args.ops.length));
  assert.deepEqual(sizes, [250, 250, 200]);
  const disk = await diskNames(page);
  assert.equal(disk.length, 700);
  assert.ok(disk.every((n) => n.startsWith('x-f')));
  // a batch cancelled after its first chunk: the rest is reported as not applied
  await page.evaluate(() => { window.__mock.state.holdApply = () => new Promise((r) => setTimeout(r, 400)); });
  await addRule(page, 'Insert text', { text: 'y-' });
  await page.click('#apply-btn');
  await page.click('#sheet-ok');
  await page.waitForSelector('#progress:not([hidden])');
  await page.click('#progress-cancel');
  await page.waitForFunction(() => document.getElementById('progress').hidden);
  const renamed = (await diskNames(page)).filter((n) => n.startsWith('y-'));
  assert.equal(renamed.length, 250);
  assert.match(await page.textContent('#summary'), /250 done\s*·\s*450 not applied/);
  await page.click('#summary button:has-text("not applied")');
  assert.match(await page.textContent('#count'), /450 of 700 items/);
  const tip = await page.locator('.row.failed').first().locator('.c-status').getAttribute('title');
  assert.match(tip, /not applied: the batch was stopped before this item/);
  await context.close();
});

test('a large listing previews in the worker: rows at once, then new names, problems and counts', async () => {
  const files = Array.from({ length: 12000 }, (_, i) => [`f${String(i).padStart(5, '0')}.dat`]);
  files.push(['g00001.dat']);
  const { page, context, errors } = await open({ files });
  await addRule(page, 'Replace text', { find: 'f', with: 'g' });
  const first = (name) => page.waitForFunction((n) => [...document.querySelector('.row[data-v="0"] .c-new').childNodes].filter((c) => c.nodeName !== 'DEL').map((c) => c.textContent).join('') === n, name);
  await first('g00000.dat');
  assert.deepEqual((await newNames(page)).slice(0, 2), ['g00000.dat', 'g00001.dat']);
  assert.match(await page.textContent('#summary'), /12,000 to rename/);
  assert.match(await page.textContent('#summary'), /1 error\b/);
  assert.equal((await page.textContent('#apply-btn')).trim(), 'Apply 11,999 ▸');
  // a change while the worker computes: the newest chain wins
  await page.fill('.rule >> nth=0 >> [data-field=with]', 'h');
  await page.fill('.rule >> nth=0 >> [data-field=with]', 'k');
  await first('k00000.dat');
  assert.match(await page.textContent('#summary'), /0 errors/);
  assert.deepEqual(errors, []);
  await context.close();
});

test('tags: completion from the folder, a comma refused; labels; names that are not UTF-8 left out', async () => {
  const { page, context } = await open({ files: [['a.jpg', { tags: ['Holiday'] }], ['b.jpg'], ['bad\uFFFD.jpg']] });
  assert.deepEqual(await page.$$eval('#tag-suggestions option', (o) => o.map((x) => x.value)), ['Holiday']);
  await page.click('.row >> nth=1');
  await page.fill('#tag-input', 'a,b');
  await page.press('#tag-input', 'Enter');
  assert.match(await page.textContent('#toasts'), /cannot contain ","/);
  await page.fill('#tag-input', 'Beach');
  await page.press('#tag-input', 'Enter');
  assert.equal(await page.locator('.row >> nth=1').locator('.tagchip.pending').textContent(), 'Beach');
  const bad = page.locator('.row', { hasText: 'bad' });
  assert.match(await bad.locator('.c-status').getAttribute('title'), /name is not valid UTF-8/);
  await addRule(page, 'Change case', { mode: 'upper' });
  assert.equal(await bad.locator('.c-new').textContent(), 'bad\uFFFD.jpg');
  await applyAll(page);
  const ops = await page.evaluate(() => window.__mock.log.filter((e) => e.cmd === 'apply').flatMap((e) => e.args.ops));
  assert.ok(ops.every((o) => !o.path.includes('\uFFFD')));
  assert.deepEqual(await page.evaluate(() => window.__mock.fs.get('/t/B.jpg').tags), ['Beach']);
  await context.close();
});

test('drops open a folder or list the dropped files', async () => {
  const { page, context } = await openPage(env, {
    seed: (mock) => {
      mock.fs.add('/d/one/x.txt');
      mock.fs.add('/d/one/y.txt');
      mock.fs.add('/d/two/z.txt');
    },
  });
  assert.equal(await page.isVisible('#empty'), true);
  await page.evaluate(() => window.__mock.dropPaths(['/d/one']));
  await page.waitForSelector('.row');
  assert.deepEqual(await names(page), ['x.txt', 'y.txt']);
  assert.match(await page.textContent('#crumbs'), /one/);
  await page.evaluate(() => window.__mock.dropPaths(['/d/two/z.txt', '/d/one/x.txt']));
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 2 && document.querySelector('#crumbs').textContent.includes('dropped'));
  assert.deepEqual(await names(page), ['z.txt', 'x.txt']);
  await context.close();
});

test('chain, presets and the last batch come back after a reload; a failed save is reported', async () => {
  const context = await env.browser.newContext({ viewport: { width: 1040, height: 720 } });
  const { page } = await open({ files: [['p.txt'], ['q.txt']] }, { context });
  await addRule(page, 'Replace text', { find: 'p', with: 'r' });
  await page.fill('#preset-name', 'P to R');
  await page.click('#preset-save');
  await addRule(page, 'Change case', { mode: 'upper' });
  await applyAll(page);
  assert.deepEqual(await diskNames(page), ['Q.txt', 'R.txt']);
  await page.waitForTimeout(700);
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  // the mock tree is new after a reload; put the renamed files back so that undo has them
  await page.evaluate(() => {
    const fs = window.__mock.fs;
    fs.nodes.delete('/t/p.txt');
    fs.nodes.delete('/t/q.txt');
    fs.add('/t/R.txt');
    fs.add('/t/Q.txt');
  });
  assert.deepEqual(await page.$$eval('.rule-summary', (s) => s.map((x) => x.textContent)), ['Replace "p" → "r"', 'Case: UPPER']);
  assert.deepEqual(await page.$$eval('#preset-select option', (o) => o.map((x) => x.value)), ['P to R']);
  assert.equal(await page.isDisabled('#undo-btn'), false);
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.click('#undo-btn');
  await page.waitForFunction(() => !document.getElementById('redo-btn').disabled);
  assert.deepEqual(await page.evaluate(() => window.__mock.fs.names('/t')), ['p.txt', 'q.txt']);
  await page.click('#preset-load');
  assert.deepEqual(await page.$$eval('.rule-summary', (s) => s.map((x) => x.textContent)), ['Replace "p" → "r"']);
  await page.fill('#preset-name', 'Renamed');
  await page.click('#preset-rename');
  assert.deepEqual(await page.$$eval('#preset-select option', (o) => o.map((x) => x.value)), ['Renamed']);
  await page.click('#preset-delete');
  assert.deepEqual(await page.$$eval('#preset-select option', (o) => o.map((x) => x.value)), ['']);
  await page.evaluate(() => { window.__mock.state.saveError = 'could not save settings: No space left on device'; });
  await page.fill('#preset-name', 'Another');
  await page.click('#preset-save');
  await page.waitForFunction(() => document.getElementById('toasts').textContent.includes('No space left on device'));
  assert.match(await page.textContent('#toasts'), /Settings were not saved — could not save settings: No space left on device/);
  await context.close();
});

test('keyboard: shortcuts, list navigation and selection; tree mode shows the folder column', async () => {
  const files = [['a.txt'], ['b.txt'], ['c.txt'], ['d.jpg'], ['sub/e.txt']];
  const { page, context } = await open({ files });
  await page.locator('#grid').focus();
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Shift+ArrowDown');
  await page.keyboard.press('Shift+ArrowDown');
  assert.match(await page.textContent('#meta-count'), /3 selected/);
  assert.equal(await page.getAttribute('#grid', 'aria-activedescendant'), 'row-2');
  await page.keyboard.press('Space');
  assert.match(await page.textContent('#meta-count'), /2 selected/);
  await page.keyboard.press('Control+a');
  assert.match(await page.textContent('#meta-count'), /4 selected/);
  // Ctrl+F goes to the filter; a glob filters; Esc clears it
  await page.keyboard.press('Control+f');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'filter-input');
  await page.selectOption('#filter-mode', 'glob');
  await page.keyboard.type('[ab]*');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 2);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 4);
  await page.selectOption('#filter-ext', 'jpg');
  assert.deepEqual(await names(page), ['d.jpg']);
  await page.selectOption('#filter-ext', '*');
  // Ctrl+N opens the rule menu; Esc closes it
  await page.keyboard.press('Control+n');
  assert.equal(await page.isVisible('#add-rule-menu'), true);
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#add-rule-menu'), false);
  // Alt+3: tree mode lists files below with their folder
  await page.keyboard.press('Alt+3');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 5);
  assert.equal(await page.locator('.row', { hasText: 'e.txt' }).locator('.c-folder').textContent(), 'sub');
  const mode = await page.evaluate(() => window.__mock.log.filter((e) => e.cmd === 'listFolder').pop().args);
  assert.deepEqual(mode, { folder: '/t', recursive: true, kind: 'files' });
  await context.close();
});
