// Launches Debian's Chromium with playwright-core and opens the page against
// the real native side (quarrytide-headless, through native.js) on a folder of
// real files; and the steps the page tests share.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { serveWeb } from '../server.js';
import { connect, makeTree } from './native.js';

export async function launch() {
  const browser = await chromium.launch({
    executablePath: process.env.QUARRYTIDE_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    timeout: 30000,
  });
  const server = await serveWeb();
  const made = [];
  return {
    browser,
    server,
    made,
    async close() {
      await browser.close();
      await server.close();
      for (const dir of made) fs.rmSync(dir, { recursive: true, force: true });
    },
  };
}

/**
 * Opens the page on the files `files` ([path below the folder, props], see
 * makeTree), with the chooser picking `choose` (a path below it; the folder
 * itself by default). Resolves to {page, errors, native, root, context}.
 */
export async function openPage(env, { files = [], choose = '', viewport = { width: 1040, height: 720 }, context = null } = {}) {
  const root = makeTree(files);
  const config = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-config-'));
  env.made.push(root, config);
  const ctx = context || (await env.browser.newContext({ viewport }));
  const page = await ctx.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(`pageerror: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console: ${m.text()}`); });
  const native = await connect(page, { choose: path.join(root, choose), config });
  page.on('close', native.stop);
  await page.goto(env.server.url + 'index.html');
  await page.waitForSelector('body[data-ready=true]', { timeout: 10000 });
  return { page, errors, native, root, context: ctx };
}

/** openPage, then Open… (the chooser picks the folder) until its rows show. */
export async function openFolder(env, options) {
  const opened = await openPage(env, options);
  await opened.page.click('#open-btn');
  await opened.page.waitForSelector('.row');
  return opened;
}

/** The names of the shown rows, in list order. */
export const names = (page) => page.$$eval('.row', (rows) => rows
  .sort((a, b) => Number(a.dataset.v) - Number(b.dataset.v))
  .map((r) => r.querySelector('.c-name').textContent));
/** The new names of the shown rows (without the struck-out text), in list order. */
export const newNames = (page) => page.$$eval('.row', (rows) => rows
  .sort((a, b) => Number(a.dataset.v) - Number(b.dataset.v))
  .map((r) => [...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join('')));
/** Each shown row's name with its status word. */
export const statuses = (page) => page.$$eval('.row', (rows) => Object.fromEntries(rows.map((r) => [r.querySelector('.c-name').textContent, r.querySelector('.c-status').textContent.trim()])));

/** Adds a rule from the menu and fills its fields; resolves to its card. */
export async function addRule(page, label, fields = {}) {
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

/** Resolves once no batch runs. */
export const idle = (page) => page.waitForFunction(() => document.getElementById('progress').hidden && !document.getElementById('summary').hidden);

/** Apply, confirmed (with the rows with errors skipped when `skip`), until the batch is done. */
export async function applyAll(page, { skip = false } = {}) {
  await page.click('#apply-btn');
  await page.waitForSelector('#sheet[open]');
  if (skip) await page.check('#sheet-skip');
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
