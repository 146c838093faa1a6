// The preview of 100,000 items in the real app (WebKitGTK), driven through
// WebKitWebDriver; the clock runs inside the page. Figures only.
// Usage: node preview.mjs APP
import { WebDriver } from '../../tests/e2e/webdriver.mjs';
import { setup, typed, report } from '../web/preview-probe.js';

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
}
