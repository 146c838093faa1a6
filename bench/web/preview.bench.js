// The preview of 100,000 items in Chromium, against the mock native side.
import { launch } from '../../tests/web/browser/harness.js';
import { setup, typed, report } from './preview-probe.js';

const N = Number(process.env.N || 100000);
const env = await launch();
try {
  const { page, errors } = await env.openPage([], { viewport: { width: 1280, height: 800 } });
  const s = await page.evaluate(`(${setup})(${N})`);
  // typing while every key starts a preview of all items
  const field = page.locator('.rule [data-field=find]');
  await field.click();
  await page.keyboard.type('abcdefghijklmnop', { delay: 40 });
  report('chromium', N, s, await page.evaluate(`(${typed})()`));
  if (errors.length) console.log(`page errors: ${errors.join('; ')}`);
} finally {
  await env.close();
}
