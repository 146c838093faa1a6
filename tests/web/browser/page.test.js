// The page in Chromium against the real native side on real files: listing,
// rules, problems, applying, undo, presets, drops and the keyboard.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { launch, openPage, openFolder, names, newNames, addRule, applyAll, idle } from './harness.js';
import { onDisk, namesIn } from './native.js';

let env;
before(async () => { env = await launch(); });
after(async () => { await env?.close(); });

const open = (files, options = {}) => openFolder(env, { files: files.map((f) => (typeof f === 'string' ? [f] : f)), ...options });
const statusWords = (page) => page.$$eval('.row .c-status', (c) => c.map((x) => x.textContent.trim()));
const log = (native, cmd) => native.log.filter((e) => e.cmd === cmd);

test('opening lists the folder with names as text, a bounded number of rows and grid semantics', async () => {
  const files = ['<img src=x onerror="window.__pwned=1">.txt', ...Array.from({ length: 2000 }, (_, i) => `file ${i}.txt`)];
  const { page, errors, native, context } = await open(files);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.locator('.c-name', { hasText: '<img src=x' }).count(), 1);
  const rows = await page.locator('.row').count();
  assert.ok(rows > 10 && rows < 80, `${rows} rows in the DOM`);
  assert.equal(await page.getAttribute('#grid', 'aria-rowcount'), '2002');
  assert.equal(await page.getAttribute('#grid', 'role'), 'grid');
  assert.match(await page.textContent('#count'), /2,001 items/);
  // files, folders and tree keep the drop mode in step
  for (const mode of ['folders', 'files']) {
    await page.click(`[data-mode=${mode}]`);
    await page.waitForFunction((m) => document.querySelector(`[data-mode=${m}]`).getAttribute('aria-checked') === 'true', mode);
  }
  assert.deepEqual(log(native, 'setMode').map((e) => e.args.kind), ['files', 'folders', 'files']);
  assert.deepEqual(errors, []);
  await context.close();
});

test('rules preview live, with changed characters marked, and can be switched, moved and removed', async () => {
  const { page, context } = await open(['IMG_0001.JPG', 'IMG_0002.JPG', 'notes.txt']);
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
  await page.locator('.rule').nth(2).locator('[aria-label="Move up"]').click();
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
  const { page, root, context } = await open(['a.txt', 'b.txt', 'c.txt', 'keep.md', 'x.txt']);
  await addRule(page, 'Regular expression', { pattern: '^[abc]$', with: 'same' });
  assert.deepEqual(await statusWords(page), ['⚠ dup', '⚠ dup', '⚠ dup', '', '']);
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
  await idle(page);
  // everything had errors, so nothing was renamed
  assert.deepEqual(namesIn(root), ['a.txt', 'b.txt', 'c.txt', 'keep.md', 'x.txt']);
  await context.close();
});

test('the confirmation and the Apply button count what is sent: rows with errors and the rows they block are not counted', async () => {
  const { page, root, context } = await open(['keep.md', 'photo 1.txt', 'photo 2.txt', 'photo 3.txt', 'x.md', 'y.md']);
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
  assert.deepEqual(await statusWords(page), ['', '', '', '', '⚠ exists', '']);
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
  await idle(page);
  assert.deepEqual(namesIn(root), ['keep.md', 'photo 1.md', 'photo 2.md', 'photo 3.md', 'x.md', 'y.md']);
  assert.deepEqual(['keep.md', 'photo 1.md', 'y.md'].map((n) => onDisk(path.join(root, n)).tags), [['Later'], ['Later'], []]);
  assert.match(await page.textContent('#summary'), /: 4 done/);
  assert.doesNotMatch(await page.textContent('#summary'), /failed|not applied/);
  await context.close();
});

test('apply with a partial failure: done rows get their new names, failed rows stay selected with the reason', async () => {
  // three.txt is a link: the file system keeps user attributes off links
  const { page, root, context } = await open(['one.txt', 'two.txt', ['three.txt', { link: '/etc/passwd' }]]);
  await addRule(page, 'Change case', { mode: 'upper' });
  await page.click('.row:has-text("three.txt")');
  await page.fill('#comment-input', 'hello');
  await page.click('#comment-set');
  // another program takes two.txt's new name while the confirmation is open
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  fs.writeFileSync(path.join(root, 'TWO.txt'), 'theirs');
  await page.click('#sheet-ok');
  await idle(page);
  assert.deepEqual(namesIn(root), ['ONE.txt', 'THREE.txt', 'TWO.txt', 'two.txt']);
  assert.equal(fs.readFileSync(path.join(root, 'TWO.txt'), 'utf8'), 'theirs');
  const status = await page.$$eval('.row', (rows) => rows.map((r) => [r.querySelector('.c-name').textContent, r.querySelector('.c-status').textContent.trim(), r.classList.contains('selected')]));
  assert.deepEqual(status, [['ONE.txt', '✓ done', false], ['THREE.txt', '✕ failed', true], ['two.txt', '✕ failed', true]]);
  assert.match(await page.locator('.row', { hasText: 'two.txt' }).locator('.c-status').getAttribute('title'), /A file named "TWO.txt" already exists/);
  assert.match(await page.locator('.row', { hasText: 'THREE.txt' }).locator('.c-status').getAttribute('title'), /the file system refused the comment attribute/);
  assert.match(await page.textContent('#summary'), /2 failed/);
  await context.close();
});

test('swaps and chains go through in one batch; undo and redo restore names and metadata', async () => {
  const { page, root, native, context } = await open(['a', 'b', 'c', ['d', { tags: ['Old'] }]]);
  await addRule(page, 'List of new names', { text: 'b\nc\na\nd' });
  await page.click('.row >> nth=3');
  await page.fill('#tag-input', 'New');
  await page.press('#tag-input', 'Shift+Enter');
  await page.click('.swatch.lc-6');
  const ids = () => Object.fromEntries(namesIn(root).map((n) => [n, onDisk(path.join(root, n)).ino]));
  const meta = () => { const d = onDisk(path.join(root, 'd')); return [d.tags, d.label]; };
  const before = ids();
  await applyAll(page);
  const afterApply = ids();
  // each row follows its own item through the swap, and undo is offered at once
  assert.deepEqual(await names(page), ['b', 'c', 'a', 'd']);
  assert.equal(await page.isDisabled('#undo-btn'), false);
  assert.deepEqual([afterApply.b, afterApply.c, afterApply.a], [before.a, before.b, before.c]);
  assert.deepEqual(meta(), [['New'], 6]);
  assert.equal(log(native, 'apply').length, 1);
  // remove the rule so that the preview is quiet, then undo with the keyboard
  await page.locator('.rule [aria-label="Remove rule"]').click();
  await page.locator('#grid').focus();
  await page.keyboard.press('Control+z');
  await page.waitForFunction(() => !document.getElementById('redo-btn').disabled);
  assert.deepEqual(ids(), before);
  assert.deepEqual(meta(), [['Old'], 0]);
  assert.deepEqual(await names(page), ['a', 'b', 'c', 'd']);
  await page.keyboard.press('Control+Shift+z');
  await page.waitForFunction(() => !document.getElementById('undo-btn').disabled && document.getElementById('redo-btn').disabled);
  assert.deepEqual(ids(), afterApply);
  // Edit ▸ Undo of the window's menu: a text field's own undo while one is edited, else the batch
  await page.focus('#tag-input');
  await page.evaluate(() => window.__onMenu('undo'));
  await page.waitForTimeout(300);
  assert.deepEqual(ids(), afterApply);
  await page.locator('#grid').focus();
  await page.evaluate(() => window.__onMenu('undo'));
  await page.waitForFunction(() => !document.getElementById('redo-btn').disabled);
  assert.deepEqual(ids(), before);
  await context.close();
});

test('large batches go in chunks, in order, with progress; a cancelled batch says what was not applied', async () => {
  const { page, root, native, context } = await open(Array.from({ length: 700 }, (_, i) => `f${String(i).padStart(4, '0')}.dat`));
  native.applyDelay = 60;
  await addRule(page, 'Insert text', { text: 'x-' });
  await page.click('#apply-btn');
  await page.click('#sheet-ok');
  await page.waitForSelector('#progress:not([hidden])');
  assert.equal(await page.getAttribute('#progress-bar', 'aria-valuemax'), '700');
  await idle(page);
  assert.deepEqual(log(native, 'apply').map((e) => e.args.ops.length), [250, 250, 200]);
  assert.ok(namesIn(root).every((n) => n.startsWith('x-f')) && namesIn(root).length === 700);
  native.applyDelay = 400;
  await addRule(page, 'Insert text', { text: 'y-' });
  await page.click('#apply-btn');
  await page.click('#sheet-ok');
  await page.waitForSelector('#progress:not([hidden])');
  await page.click('#progress-cancel');
  await idle(page);
  assert.equal(namesIn(root).filter((n) => n.startsWith('y-')).length, 250);
  assert.match(await page.textContent('#summary'), /250 done\s*·\s*450 not applied/);
  await page.click('#summary button:has-text("not applied")');
  assert.match(await page.textContent('#count'), /450 of 700 items/);
  assert.match(await page.locator('.row.failed').first().locator('.c-status').getAttribute('title'), /not applied: the batch was stopped before this item/);
  await context.close();
});

test('a large listing previews in the worker: rows at once, then new names, problems and counts', async () => {
  const files = [...Array.from({ length: 12000 }, (_, i) => `f${String(i).padStart(5, '0')}.dat`), 'g00001.dat'];
  const { page, errors, context } = await open(files);
  const first = (name) => page.waitForFunction((n) => [...document.querySelector('.row[data-v="0"] .c-new').childNodes].filter((c) => c.nodeName !== 'DEL').map((c) => c.textContent).join('') === n, name);
  await addRule(page, 'Replace text', { find: 'f', with: 'g' });
  await first('g00000.dat');
  assert.deepEqual((await newNames(page)).slice(0, 2), ['g00000.dat', 'g00001.dat']);
  assert.match(await page.textContent('#summary'), /12,000 to rename.*1 error\b/s);
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
  const { page, root, native, context } = await open([['a.jpg', { tags: ['Holiday'] }], 'b.jpg', [Buffer.from('bad\xff.jpg', 'latin1')]]);
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
  assert.ok(log(native, 'apply').flatMap((e) => e.args.ops).every((o) => !o.path.includes('\uFFFD')));
  assert.deepEqual(onDisk(path.join(root, 'B.jpg')).tags, ['Beach']);
  assert.ok(fs.readdirSync(root, { encoding: 'buffer' }).some((n) => n.equals(Buffer.from('bad\xff.jpg', 'latin1'))), 'the item with the undecodable name kept it');
  await context.close();
});

test('drops open a folder or list the dropped files', async () => {
  const { page, root, native, context } = await openPage(env, { files: [['one/x.txt'], ['one/y.txt'], ['two/z.txt']] });
  assert.equal(await page.isVisible('#empty'), true);
  native.drop([path.join(root, 'one')]);
  await page.waitForSelector('.row');
  assert.deepEqual(await names(page), ['x.txt', 'y.txt']);
  assert.match(await page.textContent('#crumbs'), /one/);
  native.drop([path.join(root, 'two/z.txt'), path.join(root, 'one/x.txt')]);
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 2 && document.querySelector('#crumbs').textContent.includes('dropped'));
  assert.deepEqual(await names(page), ['z.txt', 'x.txt']);
  await context.close();
});

test('chain, presets and the last batch come back after a reload; a failed save is reported', async () => {
  const { page, root, native, context } = await open(['p.txt', 'q.txt']);
  await addRule(page, 'Replace text', { find: 'p', with: 'r' });
  await page.fill('#preset-name', 'P to R');
  await page.click('#preset-save');
  await addRule(page, 'Change case', { mode: 'upper' });
  await applyAll(page);
  assert.deepEqual(namesIn(root), ['Q.txt', 'R.txt']);
  await page.waitForTimeout(700);
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  const summaries = () => page.$$eval('.rule-summary', (s) => s.map((x) => x.textContent));
  const presets = () => page.$$eval('#preset-select option', (o) => o.map((x) => x.value));
  assert.deepEqual(await summaries(), ['Replace "p" → "r"', 'Case: UPPER']);
  assert.deepEqual(await presets(), ['P to R']);
  assert.equal(await page.isDisabled('#undo-btn'), false);
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.click('#undo-btn');
  await page.waitForFunction(() => !document.getElementById('redo-btn').disabled);
  assert.deepEqual(namesIn(root), ['p.txt', 'q.txt']);
  await page.click('#preset-load');
  assert.deepEqual(await summaries(), ['Replace "p" → "r"']);
  await page.fill('#preset-name', 'Renamed');
  await page.click('#preset-rename');
  assert.deepEqual(await presets(), ['Renamed']);
  await page.click('#preset-delete');
  assert.deepEqual(await presets(), ['']);
  native.hooks.savePrefs = 'could not save settings: No space left on device';
  await page.fill('#preset-name', 'Another');
  await page.click('#preset-save');
  await page.waitForFunction(() => document.getElementById('toasts').textContent.includes('No space left on device'));
  assert.match(await page.textContent('#toasts'), /Settings were not saved — could not save settings: No space left on device/);
  await context.close();
});

test('keyboard: shortcuts, list navigation and selection; tree mode shows the folder column', async () => {
  const { page, root, native, context } = await open(['a.txt', 'b.txt', 'c.txt', 'd.jpg', 'sub/e.txt']);
  await page.locator('#grid').focus();
  for (const [key, selected] of [['ArrowDown', 1], ['Shift+ArrowDown', 2], ['Shift+ArrowDown', 3], ['Space', 2], ['Control+a', 4]]) {
    await page.keyboard.press(key);
    assert.match(await page.textContent('#meta-count'), new RegExp(`${selected} selected`), key);
  }
  assert.equal(await page.getAttribute('#grid', 'aria-activedescendant'), 'row-2');
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
  assert.deepEqual(log(native, 'listFolder').pop().args, { folder: root, recursive: true, kind: 'files' });
  await context.close();
});
