// Launches Debian's Chromium with playwright-core and opens the page against
// the mock native side (installed before the page's own scripts run).
import { chromium } from 'playwright-core';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { serveWeb } from '../server.js';

const here = path.dirname(fileURLToPath(import.meta.url));
export const MOCK_SOURCE = await readFile(path.join(here, '..', 'mock-bridge.cjs'), 'utf8');

export async function launch() {
  const browser = await chromium.launch({
    executablePath: process.env.QUARRYTIDE_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    // playwright gives every launch a fresh, temporary profile directory
    timeout: 30000,
  });
  const server = await serveWeb();
  return {
    browser,
    server,
    async close() {
      await browser.close();
      await server.close();
    },
  };
}

/**
 * Opens the page. `seed` is a function run in the page after the mock is
 * installed (it gets the mock and may add files, set the folder chooser, ...).
 * Returns the page and the list of page errors (console errors, CSP reports).
 */
export async function openPage(env, { seed = null, seedArg = null, viewport = { width: 1040, height: 720 }, context = null } = {}) {
  const ctx = context || (await env.browser.newContext({ viewport }));
  const page = await ctx.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(`pageerror: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console: ${m.text()}`); });
  await page.addInitScript(MOCK_SOURCE);
  await page.addInitScript({ content: 'window.QuarrytideMock.installInPage(window);' });
  if (seed) await page.addInitScript(`(${seed.toString()})(window.__mock, ${JSON.stringify(seedArg)});`);
  await page.goto(env.server.url + 'index.html');
  await page.waitForSelector('body[data-ready=true]', { timeout: 10000 });
  return { page, errors, context: ctx };
}
