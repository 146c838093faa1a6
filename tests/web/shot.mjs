// Takes screenshots of the page against the mock native side (for looking at the design).
import { mkdir } from 'node:fs/promises';
import { launch, openPage } from './browser/harness.js';

const out = new URL('./out/', import.meta.url).pathname;
await mkdir(out, { recursive: true });
const env = await launch();
try {
  const { page, errors } = await openPage(env, {
    seed: (mock) => {
      const root = window.__mockSeedDemo();
      mock.state.chooseResult = root;
      if (!localStorage.getItem('qt-mock-prefs')) {
        localStorage.setItem('qt-mock-prefs', JSON.stringify({ v: 1, recent: [root, '/home/ana/Downloads', '/home/ana/Scans/2023'] }));
      }
      mock.state.prefs = localStorage.getItem('qt-mock-prefs');
    },
  });
  await page.screenshot({ path: out + 'empty.png' });
  await page.click('#open-btn');
  await page.waitForSelector('.row');
  await page.click('#add-rule');
  await page.click('#add-rule-menu button:has-text("Replace text")');
  await page.fill('[data-field=find]', 'IMG_');
  await page.fill('[data-field=with]', 'Beach ');
  await page.click('#add-rule');
  await page.click('#add-rule-menu button:has-text("Extension")');
  await page.click('#add-rule');
  await page.click('#add-rule-menu button:has-text("Spaces and trimming")');
  await page.click('.rule >> nth=0 >> .rule-summary');
  await page.click('.rule >> nth=1 >> .rule-summary');
  await page.click('.row >> nth=3');
  await page.click('.row >> nth=6', { modifiers: ['Shift'] });
  await page.fill('#tag-input', 'Holiday');
  await page.press('#tag-input', 'Enter');
  await page.click('.swatch.lc-4');
  await page.waitForTimeout(200);
  await page.screenshot({ path: out + 'screenshot.png' });
  await page.setViewportSize({ width: 880, height: 600 });
  await page.waitForTimeout(150);
  await page.screenshot({ path: out + 'small.png' });
  console.log(errors.join('\n') || 'no page errors');
} finally {
  await env.close();
}
