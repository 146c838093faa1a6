// The preview of 100,000 items in the real app (WebKitGTK), driven through
// WebKitWebDriver; the clock runs inside the page. Figures only.
// Usage: node preview.mjs APP
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { WebDriver } from '../../tests/e2e/webdriver.mjs';
import { setup, typed, report } from '../web/preview-probe.js';

// a first start's settings: a chain saved by an earlier run would be measured too
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-preview-'));
for (const v of ['XDG_CONFIG_HOME', 'XDG_STATE_HOME', 'XDG_CACHE_HOME']) process.env[v] = fs.mkdtempSync(path.join(work, 'xdg-'));

const N = Number(process.env.N || 100000);
const web = new WebDriver({ requestMs: 120000 });
await web.start();
try {
  await web.open(process.argv[2], "document.body && document.body.dataset.ready === 'true'");
  const s = await web.execAsync(`(${setup})(arguments[0]).then(arguments[arguments.length - 1])`, [N]);
  await web.type('.rule [data-field=find]', 'abcdefghijklmnop');
  report('real app', N, s, await web.exec(`return (${typed})()`));
} finally {
  await web.close();
  web.stop();
  fs.rmSync(work, { recursive: true, force: true });
}
