// The page in Chromium against the real native side on real files: listing,
// rules, problems, applying, undo, presets, drops, the keyboard, and what a new
// user meets first (undo that says where it acts, the smallest window, feedback).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { useBrowser, rows, column, columnSoon, text, addRule, openSheet, applyAll, openPath, idle, waitEnabled, waitToast, onDisk, namesIn } from './harness.js';

const { open, openPage } = useBrowser();

test('a large listing: names as text, a bounded grid, a preview in the worker where the newest chain wins', async () => {
  const files = ['<img src=x onerror="window.__pwned=1">.txt', ...Array.from({ length: 12000 }, (_, i) => `f${String(i).padStart(5, '0')}.dat`), 'g00001.dat', 'photo.JPG', 'photo.CR2'];
  const { page } = await open(files);
  // companions counted after the first preview still offer to go along
  await page.waitForFunction(() => !document.getElementById('companions-row').hidden);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.locator('.c-name', { hasText: '<img src=x' }).count(), 1);
  const shown = await page.locator('.row').count();
  assert.ok(shown > 10 && shown < 80, `${shown} rows in the DOM`);
  assert.deepEqual([await page.getAttribute('#grid', 'role'), await page.getAttribute('#grid', 'aria-rowcount')], ['grid', '12005']);
  assert.match(await page.textContent('#count'), /12,004 items/);
  // the name that sorts first keeps it; f00000.dat is the second row
  // the row's name, and the whole preview's check behind it (a name on screen may come ahead of it)
  const second = (name) => page.waitForFunction((n) => document.getElementById('grid').getAttribute('aria-busy') === 'false'
    && [...document.querySelector('.row[data-v="1"] .c-new').childNodes].filter((c) => c.nodeName !== 'DEL').map((c) => c.textContent).join('') === n, name);
  await addRule(page, 'Replace text', { find: 'f', with: 'g' });
  await second('g00000.dat');
  assert.deepEqual((await column(page, 'newName')).slice(1, 3), ['g00000.dat', 'g00001.dat']);
  assert.match(await page.textContent('#summary'), /12,000 to rename.*1 error\b/s);
  assert.equal(await text(page, '#apply-btn'), 'Apply 11,999 ▸');
  await page.fill('.rule >> nth=0 >> [data-field=with]', 'h');
  await page.fill('.rule >> nth=0 >> [data-field=with]', 'k');
  await second('k00000.dat');
  assert.match(await page.textContent('#summary'), /0 errors/);
  // sorted by new name in the worker: the names on screen, not the old ones
  await page.click('.h-new button');
  await second('g00001.dat');
});

test('rules preview live with the changes marked, follow the list order, and can be switched off, moved and removed', async () => {
  const { page } = await open(['IMG_0001.JPG', 'IMG_0002.JPG', 'notes.txt']);
  const card = await addRule(page, 'Replace text', { find: 'IMG_', with: 'Beach ' });
  assert.deepEqual(await column(page, 'newName'), ['Beach 0001.JPG', 'Beach 0002.JPG', 'notes.txt']);
  const first = page.locator('.row >> nth=0');
  assert.deepEqual([await first.locator('del').first().textContent(), await first.locator('ins').first().textContent()], ['IMG_', 'Beach ']);
  await addRule(page, 'Extension', { mode: 'lower' });
  await addRule(page, 'Numbering', { start: 1, pad: 2, position: 'suffix', sep: '-' });
  assert.deepEqual(await column(page, 'newName'), ['Beach 0001-01.jpg', 'Beach 0002-02.jpg', 'notes-03.txt']);
  // by name, reversed, then the folder's order again
  await page.click('.h-name button');
  await page.click('.h-name button');
  await columnSoon(page, 'newName', ['notes-01.txt', 'Beach 0002-02.jpg', 'Beach 0001-03.jpg']);
  await page.click('.h-name button');
  await card.locator('.rule-head input[type=checkbox]').uncheck();
  await columnSoon(page, 'newName', ['IMG_0001-01.jpg', 'IMG_0002-02.jpg', 'notes-03.txt']);
  // numbering moved to the top, then removed with Delete
  await page.locator('.rule').nth(2).locator('[aria-label="Move up"]').click();
  await page.locator('.rule').nth(1).locator('[aria-label="Move up"]').click();
  assert.match(await page.locator('.rule-summary').first().textContent(), /^Numbering/);
  await page.locator('.rule-summary').first().focus();
  await page.keyboard.press('Delete');
  assert.equal(await page.locator('.rule').count(), 2);
  assert.deepEqual(await column(page, 'newName'), ['IMG_0001.jpg', 'IMG_0002.jpg', 'notes.txt']);
  const regex = await addRule(page, 'Regular expression', { pattern: '(' });
  assert.match(await regex.locator('.rule-error').textContent(), /^invalid regular expression/);
  // a card drawn again keeps what did not change: a click pressed on its summary is not lost
  assert.ok(await page.evaluate(() => {
    const text = document.querySelector('.rule-summary').firstChild;
    window.quarrytide.store.dispatch('toggleRecent', true);
    document.body.dispatchEvent(new MouseEvent('mousedown', { bubbles: true }));
    return document.querySelector('.rule-summary').firstChild === text && !window.quarrytide.store.state.ui.recentOpen;
  }));
  // a key draws again only the rows whose names it changes, once; keys that
  // come faster than the page paints or previews are previewed together, and
  // whatever the user does next sees the last of them; the top strip and
  // the status counts that stay the same are not drawn again
  for (const [field, keys, redrawn, name] of [['pattern', ')', 0, 'IMG_0001.jpg'], ['with', 'x', 3, 'xIxMxGx_x0x0x0x1x.jpg'], ['with', 'yz012', 3, 'xyz012I']]) {
    const [value, taken] = await page.evaluate(([field, keys]) => {
      const count = (records) => records.filter((r) => r.target.classList.contains('c-new') && r.removedNodes.length).length;
      window.__redrawn = { count, seen: 0, watch: new MutationObserver((records) => { window.__redrawn.seen += count(records); }) };
      window.__redrawn.watch.observe(document.getElementById('grid-body'), { subtree: true, childList: true });
      window.__still = [];
      window.__stillWatch = new MutationObserver((records) => window.__still.push(...records.map((r) => r.target.id || r.target.parentElement?.id)));
      for (const id of ['crumbs', 'recent-menu', 'empty-recent', 'count']) window.__stillWatch.observe(document.getElementById(id), { subtree: true, childList: true, characterData: true });
      const input = document.querySelectorAll('.rule')[2].querySelector(`[data-field="${field}"]`);
      for (const key of keys) { input.value += key; input.dispatchEvent(new Event('input', { bubbles: true })); }
      window.quarrytide.intents.selectNone();
      return [input.value, window.quarrytide.store.state.config.rules[2][field]];
    }, [field, keys]);
    assert.equal(taken, value);
    await page.waitForFunction((name) => (([...document.querySelector('.row .c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join('')).startsWith(name)), name);
    assert.equal(await page.evaluate(() => { const r = window.__redrawn; r.watch.disconnect(); return r.seen + r.count(r.watch.takeRecords()); }), redrawn, keys);
    assert.deepEqual(await page.evaluate(() => { window.__stillWatch.disconnect(); return window.__still; }), [], keys);
  }
});

test('problems are marked and counted; apply sends only the rows without errors and without a row they depend on', async () => {
  const { page, root } = await open(['keep.md', 'photo 1.txt', 'photo 2.txt', 'photo 3.txt', 'q.jpg', 'q.txt', 'x.md', 'y.md']);
  // a tag on a row that keeps its name, on one that is renamed and on one that is blocked
  for (const name of ['keep.md', 'photo 1.txt', 'y.md']) {
    await page.click(`.row:has-text("${name}")`);
    await page.fill('#tag-input', 'Later');
    await page.press('#tag-input', 'Enter');
  }
  // q.* -> q.md twice; x.md -> keep.md is taken; y.md -> x.md is free only while x.md moves away
  await addRule(page, 'Replace text', { find: 'x', with: 'keep', target: 'name' });
  await addRule(page, 'Replace text', { find: 'y', with: 'x', target: 'name' });
  await addRule(page, 'Extension', { mode: 'set', value: 'md' });
  assert.deepEqual(await column(page, 'status'), ['', '', '', '', '⚠ dup', '⚠ dup', '⚠ exists', '']);
  await page.click('#summary button:has-text("3 errors")');
  assert.deepEqual(await column(page, 'name'), ['q.jpg', 'q.txt', 'x.md']);
  await page.click('#summary button:has-text("3 errors")');
  // three photos renamed, keep.md tagged: the q's, x.md and y.md are left out with their tags
  assert.equal(await text(page, '#apply-btn'), 'Apply 4 ▸');
  const sheet = await openSheet(page);
  assert.match(sheet, /^3 renames and 2 metadata changes\./);
  assert.doesNotMatch(sheet, /x\.md|y\.md|q\./);
  await page.check('#sheet-skip');
  assert.equal(await text(page, '#sheet-ok'), 'Apply 4');
  await page.click('#sheet-ok');
  await idle(page);
  assert.deepEqual(namesIn(root), ['keep.md', 'photo 1.md', 'photo 2.md', 'photo 3.md', 'q.jpg', 'q.txt', 'x.md', 'y.md']);
  assert.deepEqual(['keep.md', 'photo 1.md', 'y.md'].map((n) => onDisk(path.join(root, n)).tags), [['Later'], ['Later'], []]);
  assert.match(await page.textContent('#summary'), /: 4 done/);
  assert.doesNotMatch(await page.textContent('#summary'), /failed|not applied/);
});

test('a partly failed batch: done rows get their new names, failed rows stay selected and are counted; one whose name was taken meanwhile is refused whole', async () => {
  // three.txt is a link: the file system keeps user attributes off links
  const { page, root } = await open(['one.txt', 'two.txt', ['three.txt', { link: '/etc/passwd' }]]);
  await addRule(page, 'Change case', { mode: 'upper' });
  await page.click('.row:has-text("three.txt")');
  await page.fill('#comment-input', 'hello');
  await page.click('#comment-set');
  await applyAll(page);
  // the link takes its new name but keeps no comment
  assert.deepEqual(namesIn(root), ['ONE.txt', 'THREE.txt', 'TWO.txt']);
  assert.deepEqual((await rows(page)).map((r) => [r.name, r.status, r.selected]), [['ONE.txt', '✓ done', false], ['THREE.txt', '✕ failed', true], ['TWO.txt', '✓ done', false]]);
  assert.match(await page.textContent('#summary'), /1 failed/);
  // another program takes a new name while the confirmation is open: the batch is refused whole
  await addRule(page, 'Insert text', { text: 'x' });
  await openSheet(page);
  fs.writeFileSync(path.join(root, 'xTWO.txt'), 'theirs');
  await page.click('#sheet-ok');
  await idle(page);
  assert.deepEqual(namesIn(root), ['ONE.txt', 'THREE.txt', 'TWO.txt', 'xTWO.txt']);
  assert.match(await page.locator('.row:has-text("TWO.txt")').locator('.c-status').getAttribute('title'), /the name is taken by another item/);
  assert.match(await page.textContent('#toasts'), /Nothing was changed/);
});

test('a swap and a chain go in one batch; undo and redo, by keys and by the window menu, restore names and metadata', async () => {
  const { page, root, native } = await open(['a', 'b', 'c', ['d', { tags: ['Old'] }]]);
  await addRule(page, 'List of new names', { text: 'b\nc\na\nd' });
  await page.click('.row >> nth=3');
  await page.fill('#tag-input', 'New');
  await page.press('#tag-input', 'Shift+Enter');
  await page.click('.swatch.lc-6');
  const ids = () => Object.fromEntries(namesIn(root).map((n) => [n, onDisk(path.join(root, n)).ino]));
  const meta = () => { const d = onDisk(path.join(root, 'd')); return [d.tags, d.label]; };
  const before = ids();
  await applyAll(page);
  const applied = ids();
  // each row follows its own item through the swap
  assert.deepEqual(await column(page, 'name'), ['b', 'c', 'a', 'd']);
  assert.deepEqual([applied.b, applied.c, applied.a], [before.a, before.b, before.c]);
  assert.deepEqual(meta(), [['New'], 6]);
  assert.equal(native.sent('runBatch').length, 1);
  // the rule removed, so that the preview is quiet
  await page.locator('.rule [aria-label="Remove rule"]').click();
  await page.locator('#grid').focus();
  await page.keyboard.press('Control+z');
  await waitEnabled(page, 'redo-btn');
  assert.deepEqual([ids(), meta(), await column(page, 'name')], [before, [['Old'], 0], ['a', 'b', 'c', 'd']]);
  await page.keyboard.press('Control+Shift+z');
  await page.waitForFunction(() => !document.getElementById('undo-btn').disabled && document.getElementById('redo-btn').disabled);
  assert.deepEqual(ids(), applied);
  // Edit ▸ Undo of the window's menu: a text field's own undo while one is edited, else the batch
  await page.focus('#preset-name');
  await page.evaluate(() => window.__onMenu('undo'));
  await page.waitForTimeout(300);
  assert.deepEqual(ids(), applied);
  await page.locator('#grid').focus();
  await page.evaluate(() => window.__onMenu('undo'));
  await waitEnabled(page, 'redo-btn');
  assert.deepEqual(ids(), before);
});

test('a large batch runs with progress; a cancelled one says what was not applied; one cut short is told of at the next start', async () => {
  const files = Array.from({ length: 700 }, (_, i) => `f${String(i).padStart(4, '0')}.dat`);
  const { page, root, native } = await open(files);
  const start = async (prefix, delay) => {
    native.applyDelay = delay;
    await addRule(page, 'Insert text', { text: prefix });
    await openSheet(page);
    await page.click('#sheet-ok');
    await page.waitForSelector('#progress:not([hidden])');
  };
  await start('x-', 60);
  assert.equal(await page.getAttribute('#progress-bar', 'aria-valuemax'), '700');
  await idle(page);
  assert.ok(namesIn(root).every((n) => n.startsWith('x-f')) && namesIn(root).length === 700);
  assert.equal(native.sent('runBatch').length, 1);
  await start('y-', 400); // held back, so that the stop reaches the native side first
  await page.click('#progress-cancel');
  await idle(page);
  assert.equal(namesIn(root).filter((n) => n.startsWith('y-')).length, 0);
  assert.match(await page.textContent('#summary'), /700 not applied/);
  await page.click('#summary button:has-text("not applied")');
  assert.match(await page.textContent('#count'), /700 items/);
  assert.match(await page.locator('.row.failed').first().locator('.c-status').getAttribute('title'), /not applied: the batch was stopped before this item/);
  // History counts the items never run as not run, and the batch as stopped, not cut short
  await page.keyboard.press('Control+h');
  await page.waitForSelector('#history[open] .batch');
  assert.deepEqual([await text(page, '#history .batch .counts'), await page.locator('#history .batch .status').count()], ['0 done · 700 not run', 0]);
  // a batch that reached 250 of its 700 items when the app ended: the next start says so and opens it in History
  await page.click('#history-close');
  const ops = namesIn(root).slice(0, 250).map((n) => ({ path: `${root}/${n}`, newName: `z-${n}` }));
  await page.evaluate((args) => window.webkit.messageHandlers.bridge.postMessage({ id: 1e6, cmd: 'apply', args }), { ops, batch: 'cut', title: 'Rename of 700', total: 700 });
  while (namesIn(root).filter((n) => n.startsWith('z-')).length < 250) await page.waitForTimeout(20);
  native.restart();
  await page.reload();
  await waitToast(page, 'Show in History');
  assert.equal(await text(page, '#toasts .toast'), 'The last session ended before “Rename of 700” was finished: 250 done · 450 not run.Show in History');
  await page.click('#toasts button');
  await page.waitForSelector('#history[open] .batch.open .line');
  assert.deepEqual([await text(page, '#history .batch.open .counts'), await text(page, '#history .batch.open .status')], ['250 done · 450 not run', 'interrupted']);
});

test('a copy into a folder goes by its bytes: the bar and the words count what the copies have written', async () => {
  const { page, root, native } = await open(['a.jpg', 'bb.jpg']);
  await page.check('#folders-check');
  await page.fill('#dest-input', `${root}/out`);
  await page.press('#dest-input', 'Enter');
  await page.check('#copy-check');
  await addRule(page, 'Insert text', { text: 'x-' });
  native.applyDelay = 400;
  await openSheet(page);
  await page.click('#sheet-ok');
  await page.waitForSelector('#progress:not([hidden])');
  const { id } = native.sent('runBatch').at(-1);
  await page.evaluate((id) => window.__bridgePartRaw({ id, progress: { done: 1, failed: 0, total: 2, bytes: 5 } }), id);
  assert.match(await text(page, '#progress-text'), /: 1 of 2 operations, 5 B of 11 B copied$/);
  assert.deepEqual([await page.getAttribute('#progress-bar', 'aria-valuenow'), await page.getAttribute('#progress-bar', 'aria-valuemax')], ['5', '11']);
  await idle(page);
  assert.deepEqual([namesIn(root), namesIn(`${root}/out`)], [['a.jpg', 'bb.jpg', 'out'], ['x-a.jpg', 'x-bb.jpg']]);
});

test('the workflow switches show where they help: companions go along, colliding names are numbered apart from the sheet, portable names with the folder options', async () => {
  const { page, root } = await open(['IMG_1.JPG', 'IMG_1.CR2', 'a.txt', 'b.txt']);
  const shown = () => Promise.all(['#companions-row', '#unique-row', '#portable-row'].map((s) => page.isVisible(s)));
  assert.deepEqual(await shown(), [true, false, false]);
  await page.check('#companions-check');
  await addRule(page, 'Template', { pattern: 'Trip' });
  await page.waitForFunction(() => !document.getElementById('unique-row').hidden);
  await openSheet(page);
  await page.click('#sheet-content button:has-text("Number them apart")');
  await page.waitForFunction(() => document.getElementById('unique-check').checked);
  await applyAll(page);
  assert.deepEqual(namesIn(root), ['Trip (2).txt', 'Trip.CR2', 'Trip.JPG', 'Trip.txt']);
  await page.check('#folders-check');
  assert.deepEqual(await shown(), [true, true, true]);
});

test('tags: completion from the folder, a comma refused, pending chips; a name that is not UTF-8 goes by its bytes and its card repairs it', async () => {
  const { page, native, root } = await open([['a.jpg', { tags: ['Holiday'] }], 'b.jpg', [Buffer.from('bad\xff.jpg', 'latin1')]]);
  assert.deepEqual(await page.$$eval('#tag-suggestions option', (o) => o.map((x) => x.value)), ['Holiday']);
  await page.click('.row >> nth=1');
  await page.fill('#tag-input', 'a,b');
  await page.press('#tag-input', 'Enter');
  assert.match(await page.textContent('#toasts'), /cannot contain ","/);
  await page.fill('#tag-input', 'Beach');
  await page.press('#tag-input', 'Enter');
  assert.equal(await page.locator('.row >> nth=1').locator('.tagchip.pending').textContent(), 'Beach');
  // handed over by a second start: asked first, and kept when the user says no
  native.open([path.join(root, 'a.jpg')]);
  await page.waitForFunction(() => document.getElementById('sheet').open && document.getElementById('sheet-title').textContent.includes('handed'));
  await page.click('#sheet-cancel');
  assert.equal((await rows(page)).length, 3);
  await addRule(page, 'Change case', { mode: 'upper' });
  const bad = (await rows(page))[2];
  assert.deepEqual([bad.name, bad.newName], ['bad\\xFF.jpg', 'BAD\\xFF.jpg']);
  assert.match(bad.why, /keeps bytes that are not UTF-8/);
  const card = await addRule(page, 'Repair encoding');
  await page.waitForFunction(() => document.querySelector('.rule:nth-child(2) .example')?.textContent === 'Found: Windows-1252 (1)');
  await card.locator('[data-field=encoding]').selectOption('ibm437');
  await page.waitForFunction(() => document.querySelector('.rule:nth-child(2) .rule-summary').textContent.includes('IBM437'));
  assert.equal((await rows(page))[2].newName, 'BAD\u00a0.jpg');
  await card.locator('[data-field=encoding]').selectOption('auto');
  await applyAll(page);
  const sent = native.sent('runBatch').flatMap((e) => e.args.changes);
  assert.ok(sent.length && sent.every((c) => !(c.path ?? '').includes('\uFFFD')));
  assert.deepEqual(sent.filter((c) => c.rawPath).map((c) => Buffer.from(c.rawPath, 'base64').toString('latin1').endsWith('/bad\xff.jpg')), [true]);
  assert.deepEqual(namesIn(root), ['A.jpg', 'B.jpg', 'BADÿ.jpg']);
});

test('presets save, load (asking before an unsaved chain goes), rename and delete; the chain, presets and last batch survive a reload', async () => {
  const { page, root, native } = await open(['p.txt', 'q.txt']);
  const summaries = () => page.$$eval('.rule-summary', (s) => s.map((x) => x.textContent));
  const presets = () => page.$$eval('#preset-select option', (o) => o.map((x) => x.value));
  await addRule(page, 'Replace text', { find: 'p', with: 'r' });
  await page.fill('#preset-name', 'P to R');
  await page.press('#preset-name', 'Enter');
  await addRule(page, 'Change case', { mode: 'upper' });
  await applyAll(page);
  assert.deepEqual(namesIn(root), ['Q.txt', 'R.txt']);
  await page.waitForTimeout(700); // settings are saved a moment after a change
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  assert.deepEqual([await summaries(), await presets()], [['Replace "p" → "r"', 'Case: UPPER'], ['P to R']]);
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.locator('.rule [aria-label="Remove rule"]').first().click();
  await page.click('#undo-btn');
  await waitEnabled(page, 'redo-btn');
  assert.deepEqual(namesIn(root), ['p.txt', 'q.txt']);
  // an empty chain, or one a preset holds, is replaced without a question
  await page.click('#preset-load');
  assert.deepEqual(await summaries(), ['Replace "p" → "r"']);
  await page.click('#preset-load');
  assert.equal(await page.isVisible('#sheet'), false);
  await addRule(page, 'Insert text', { text: 'x' });
  await page.click('#preset-load');
  await page.waitForSelector('#sheet[open]');
  await page.click('#sheet-cancel');
  assert.equal(await page.locator('.rule').count(), 2);
  await page.click('#preset-load');
  await page.click('#sheet-ok');
  await page.waitForFunction(() => document.querySelectorAll('.rule').length === 1);
  await page.fill('#preset-name', 'Renamed');
  await page.click('#preset-rename');
  assert.deepEqual(await presets(), ['Renamed']);
  await page.click('#preset-delete');
  assert.deepEqual(await presets(), ['']);
  // clearing asks, then removes every rule
  await page.click('#clear-rules');
  await page.click('#sheet-ok');
  assert.equal(await page.locator('.rule').count(), 0);
  assert.equal(await page.isDisabled('#clear-rules'), true);
  native.hooks.savePrefs = 'could not save settings: No space left on device';
  await page.fill('#preset-name', 'Another');
  await page.click('#preset-save');
  await waitToast(page, 'Settings were not saved — could not save settings: No space left on device');
});

test('keyboard: list navigation and selection, filter, rule menu and tree mode; the mode switch sets the drop mode', async () => {
  const { page, root, native } = await open(['a.txt', 'b.txt', 'c.txt', 'd.jpg', 'sub/e.txt']);
  await page.locator('#grid').focus();
  for (const [key, selected] of [['ArrowDown', 1], ['Shift+ArrowDown', 2], ['Shift+ArrowDown', 3], ['Space', 2], ['Control+a', 4]]) {
    await page.keyboard.press(key);
    assert.match(await page.textContent('#meta-count'), new RegExp(`${selected} selected`), key);
  }
  assert.equal(await page.getAttribute('#grid', 'aria-activedescendant'), 'row-2');
  // a range by Shift+click selects rows, not their text (WebKit would select it)
  await page.click('.row >> nth=0');
  await page.click('.row >> nth=2', { modifiers: ['Shift'] });
  const textSelectionKept = await page.evaluate(() => {
    const press = new MouseEvent('mousedown', { bubbles: true, cancelable: true, shiftKey: true });
    document.querySelector('#row-2 .c-name').dispatchEvent(press);
    return press.defaultPrevented;
  });
  assert.deepEqual([await page.textContent('#meta-count'), textSelectionKept], ['3 selected', true]);
  // Ctrl+F goes to the filter; a glob filters; Esc clears it
  await page.keyboard.press('Control+f');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'filter-input');
  await page.selectOption('#filter-mode', 'glob');
  await page.keyboard.type('[ab]*');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 2);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 4);
  await page.selectOption('#filter-ext', 'jpg');
  assert.deepEqual(await column(page, 'name'), ['d.jpg']);
  await page.selectOption('#filter-ext', '*');
  // Ctrl+N opens the rule menu, whose keyboard highlight stands out; Esc closes it
  await page.keyboard.press('Control+n');
  await page.keyboard.press('ArrowDown');
  const [second, focused, other] = await page.$$eval('#add-rule-menu button', (b) => [document.activeElement === b[1], ...[document.activeElement, b[b.length - 1]].map((x) => getComputedStyle(x).backgroundColor)]);
  assert.ok(second);
  assert.notEqual(focused, other);
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#add-rule-menu'), false);
  // Alt+3: tree mode lists the files below with their folder
  await page.keyboard.press('Alt+3');
  await page.waitForFunction(() => document.querySelectorAll('.row').length === 5);
  assert.equal(await page.locator('.row', { hasText: 'e.txt' }).locator('.c-folder').textContent(), 'sub');
  assert.deepEqual(native.sent('listFolder').pop().args, { folder: root, recursive: true, kind: 'files', reasons: true, accessed: true, parts: true, columns: true });
  for (const mode of ['folders', 'files']) {
    await page.click(`[data-mode=${mode}]`);
    await page.waitForFunction((m) => document.querySelector(`[data-mode=${m}]`).getAttribute('aria-checked') === 'true', mode);
  }
  assert.deepEqual(native.sent('setMode').map((e) => e.args.kind), ['files', 'files', 'folders', 'files']);
});

test('undo and redo name the folder of their batch and ask before acting in another one; reveal without a file manager; named colours', async () => {
  const { page, root, native } = await open(['t/a.txt', 'u/b.txt'], { choose: 't' });
  native.hooks.reveal = 'No file manager could show the items: Failed to find default application for content type ‘inode/directory’';
  await page.click('.row >> nth=0');
  await page.click('#reveal-btn');
  await waitToast(page, 'No file manager could show the items');
  // colours are named for pointer and screen reader alike
  const swatches = await page.$$eval('#meta-label .swatch', (s) => s.map((x) => [x.title, x.getAttribute('aria-label')]));
  assert.deepEqual(swatches.slice(1).map(([t]) => t.split(' ')[0]), ['Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange']);
  assert.ok(swatches.every(([t, a]) => t && a));
  await addRule(page, 'Change case', { mode: 'upper' });
  await applyAll(page);
  assert.equal(await text(page, '#undo-btn'), 'Undo 1 in t');
  assert.ok((await page.getAttribute('#undo-btn', 'title')).includes(` in ${root}/t:`));
  // a new folder is shown from the left
  await page.evaluate(() => { document.getElementById('grid-body').scrollLeft = 300; });
  await openPath(page, `${root}/u`);
  assert.equal(await page.evaluate(() => document.getElementById('grid-body').scrollLeft), 0);
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
  const long = `${'Holiday at the beach with the whole family '.repeat(2)}1.JPG`;
  const { page } = await open(['IMG_0240.JPG', long, ...Array.from({ length: 40 }, (_, i) => `photo  ${String(i).padStart(2, '0')}.jpg`)]);
  await addRule(page, 'Regular expression', { pattern: '^IMG_0(\\d+)$', with: '2024-07-13 Holiday $1' });
  await addRule(page, 'Extension', { mode: 'lower' });
  const row = page.locator('.row', { hasText: 'IMG_0240.JPG' });
  assert.equal(await row.locator('.c-new del').count(), 0);
  assert.deepEqual(await row.locator('.c-new ins').allTextContents(), ['2024-07-13 Holiday 240.jpg']);
  // the columns follow the names: the new name first, whole once the window is wide enough
  const fits = () => page.locator('.row', { hasText: long }).evaluate((r) => [r.querySelector('.c-new'), r.querySelector('.c-name')].map((c) => [c.clientWidth, c.scrollWidth <= c.clientWidth]));
  const [[narrowNew], [narrowName]] = await fits();
  assert.ok(narrowNew > narrowName, `${narrowNew} > ${narrowName}`);
  await page.setViewportSize({ width: 1600, height: 900 });
  await page.waitForFunction(() => document.querySelector('.row .c-new').clientWidth > 600);
  assert.deepEqual((await fits()).map(([, whole]) => whole), [true, false]);
  await addRule(page, 'Insert text', { text: '#' });
  await openSheet(page);
  const list = page.locator('#sheet-content .samples');
  assert.ok(await list.evaluate((el) => el.querySelectorAll('.line').length < 41), 'every line is in the DOM');
  await list.evaluate((el) => { el.scrollTop = el.scrollHeight; el.dispatchEvent(new Event('scroll')); });
  await page.waitForFunction(() => [...document.querySelectorAll('#sheet-content .line')].some((l) => l.textContent === 'photo  39.jpg  →  #photo  39.jpg'));
  assert.equal(await list.locator('.line', { hasText: 'photo  39' }).evaluate((el) => getComputedStyle(el).whiteSpace), 'pre');
});

test('photos are named and sorted by the date they were taken, read from inside them; one without falls back with a warning', async () => {
  const { page, root } = await open(['a.jpg', 'b.jpg', 'c.jpg']);
  for (const [name, date] of [['a.jpg', '2024:07:13 14:02:11'], ['b.jpg', '2023:12:31 23:59:59'], ['c.jpg', '']]) {
    const file = path.join(root, name);
    execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'color=s=16x16', '-frames:v', '1', file]);
    if (date) execFileSync('exiftool', ['-q', '-overwrite_original', `-DateTimeOriginal=${date}`, '-Model=EOS R5', file]);
  }
  await addRule(page, 'Date', { source: 'taken', position: 'replace', pattern: 'YYYY-MM-DD hh.mm.ss' });
  await page.waitForFunction(() => document.querySelectorAll('.row .c-new ins').length === 3);
  const [a, b, c] = await rows(page);
  assert.deepEqual([a.newName, a.status, b.newName, b.status], ['2024-07-13 14.02.11.jpg', '', '2023-12-31 23.59.59.jpg', '']);
  // listed just now: the modified date is later than both dates taken
  assert.match(c.newName, /^20\d\d-\d\d-\d\d \d\d\.\d\d\.\d\d\.jpg$/);
  assert.equal(c.status, '△ no date taken');
  await page.click('.h-taken button');
  await columnSoon(page, 'name', ['b.jpg', 'a.jpg', 'c.jpg']);
  await page.click('.row:has-text("a.jpg")');
  await page.waitForFunction(() => document.getElementById('meta-media').textContent.includes('EOS R5'));
  // a template: the token menu inserts at the cursor (a modifier inside the token before it); the card shows its first change
  await page.click('.rule [aria-label="Remove rule"]');
  // a new card takes the keys in its text field: a "{" typed is the pattern's, not the token menu's
  const card = await addRule(page, 'Template');
  assert.equal(await page.evaluate(() => document.activeElement.dataset.field), 'pattern');
  await card.locator('[data-field=pattern]').fill('{model}');
  await card.locator('[data-field=pattern]').press('End');
  await card.locator('.token-menu').selectOption('|lower');
  await card.locator('.token-menu').selectOption('{n:3}');
  assert.equal(await card.locator('[data-field=pattern]').inputValue(), '{model|lower}{n:3}');
  await page.waitForFunction(() => document.querySelector('.rule .example').textContent === 'b.jpg → eos r5001.jpg');
  assert.deepEqual((await rows(page)).map((r) => [r.newName, r.status]), [['eos r5001.jpg', ''], ['eos r5002.jpg', ''], ['003.jpg', '△ no model']]);
  // a value of the metadata panel gives its token to the open template
  await page.click('#meta-media [aria-label="Insert {make} {model}"]');
  assert.equal(await card.locator('[data-field=pattern]').inputValue(), '{model|lower}{n:3}{make} {model}');
  // any field by its key, read when a pattern first names one; a date in it read and written anew
  await card.locator('[data-field=pattern]').fill('{meta:Model|default:none} {meta:DateTimeOriginal|date:YYYY:MM:DD hh:mm:ss|fmt:YYYY}');
  await page.waitForFunction(() => document.querySelector('.row .c-new').textContent.includes('EOS R5 20'));
  assert.deepEqual((await rows(page)).map((r) => [r.newName, r.status]), [['EOS R5 2023.jpg', ''], ['EOS R5 2024.jpg', ''], ['none.jpg', '△ no DateTimeOriginal']]);
  // every field of the file in focus, found by a search, gives its token too
  await page.click('#all-fields summary');
  await page.fill('#all-fields-search', 'image.model');
  await page.waitForSelector('#all-fields-list dt');
  assert.deepEqual(await page.$$eval('#all-fields-list dd span', (s) => s.map((x) => x.textContent)), ['EOS R5']);
  await page.click('#all-fields-list [aria-label="Insert {meta:Exif.Image.Model}"]');
  assert.match(await card.locator('[data-field=pattern]').inputValue(), /\{meta:Exif\.Image\.Model\}$/);
  // and the template's token menu offers them too
  await card.locator('.token-menu').focus();
  await card.locator('.token-menu').selectOption('{meta:Exif.Photo.DateTimeOriginal}');
  assert.match(await card.locator('[data-field=pattern]').inputValue(), /\{meta:Exif\.Photo\.DateTimeOriginal\}$/);
});

test('the history lists every batch after a reload and undoes one three back from where its items are now', async () => {
  const { page, root } = await open(['a.txt', 'b.txt']);
  for (const [type, fields] of [['Replace text', { find: 'a', with: 'x' }], ['Change case', { mode: 'upper' }], ['Insert text', { text: 'z-' }]]) {
    if (await page.locator('.rule').count()) await page.click('.rule [aria-label="Remove rule"]');
    await addRule(page, type, fields);
    await applyAll(page);
  }
  assert.deepEqual(namesIn(root), ['z-B.txt', 'z-X.txt']);
  await page.waitForTimeout(700); // settings (the folder shown) are saved a moment after a change
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  await page.keyboard.press('Control+h');
  await page.waitForSelector('#history[open] .batch');
  assert.deepEqual(await page.$$eval('#history .batch .title', (t) => t.map((x) => x.textContent)), ['Rename of 2', 'Rename of 2', 'Rename of 1']);
  await page.fill('#history-search', 'of 1');
  assert.equal(await page.locator('#history .batch').count(), 1);
  await page.click('#history .batch-head');
  await page.waitForSelector('#history .batch .line');
  assert.equal(await page.textContent('#history .batch .line'), 'a.txt  →  x.txt');
  // a name another program took since is left out, as the engine's check finds it
  fs.writeFileSync(path.join(root, 'a.txt'), '');
  await page.click('#history button:text("Undo this batch")');
  await page.waitForSelector('#sheet[open]');
  assert.match(await page.textContent('#sheet-content'), /1 item cannot: another item holds the name now \(a\.txt\)/);
  await page.click('#sheet-cancel');
  fs.rmSync(path.join(root, 'a.txt'));
  await page.keyboard.press('Control+h');
  await page.click('#history .batch-head');
  await page.click('#history button:text("Undo this batch")');
  await page.waitForSelector('#sheet[open]');
  assert.match(await page.textContent('#sheet-content'), /^1 item in .*a\.txt/);
  await page.click('#sheet-ok');
  await idle(page);
  assert.deepEqual(namesIn(root), ['a.txt', 'z-B.txt']);
  // Escape closes the history from its search field, and the help the menu opens
  await page.keyboard.press('Control+h');
  await page.fill('#history-search', 'x');
  await page.press('#history-search', 'Escape');
  await page.waitForSelector('#history', { state: 'hidden' });
  await page.evaluate(() => window.__onMenu('help'));
  await page.waitForSelector('#sheet[open]');
  assert.equal(await page.isVisible('#sheet-cancel'), false);
  await page.keyboard.press('Escape');
  await page.waitForSelector('#sheet', { state: 'hidden' });
});

test('with a German system locale the page speaks German', async () => {
  const { page } = await open(['a.txt'], { locale: 'de-AT' });
  await addRule(page, 'Text ersetzen', { find: 'a', with: 'b' });
  await waitEnabled(page, 'apply-btn');
  assert.deepEqual([await text(page, '#apply-btn'), await page.getAttribute('.rule', 'aria-label'), await text(page, '.rule-summary'), await text(page, '#count')],
    ['1 anwenden ▸', 'Regel 1: Text ersetzen', 'Ersetzen „a“ → „b“', '1 Element']);
});
