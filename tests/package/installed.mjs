// The installed /usr/bin/quarrytide under WebKitWebDriver: its window opens,
// the page it shows is read from /usr/share/quarrytide/web (seen by inotify),
// and it finds its installed media helper.
// Usage: node installed.mjs WORK_DIR
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { WebDriver, check, limit, until } from '../e2e/webdriver.mjs';

const work = process.argv[2];
const pageDir = '/usr/share/quarrytide/web';
let opened = '';
const watch = spawn('inotifywait', ['-m', '-r', '-e', 'open', '--format', '%w%f', pageDir]);
watch.stdout.on('data', (d) => (opened += d));
const web = new WebDriver();
try {
  await limit(10000, 'inotifywait', new Promise((ok) => watch.stderr.on('data', (d) => d.includes('established') && ok())));
  await web.start();
  await web.open('/usr/bin/quarrytide', "document.body && document.body.dataset.ready === 'true'");
  const windows = execFileSync('xdotool', ['search', '--onlyvisible', '--class', 'quarrytide']).toString().trim();
  check(windows, 'no quarrytide window on screen');
  await until('the page read from the installed folder', 5000, () => opened.split('\n').includes(path.join(pageDir, 'index.html')));

  // A file's hash comes only from the helper, so an answer shows it was found and ran.
  const sample = path.join(work, 'sample.txt');
  fs.writeFileSync(sample, 'quarrytide package\n');
  const reply = await web.execAsync(`
    const [file, done] = arguments, own = window.__bridgeResolveRaw;
    window.__bridgeResolveRaw = (r) => (r.id === 424242 ? done(r) : own(r));
    window.webkit.messageHandlers.bridge.postMessage({ id: 424242, cmd: 'readMedia', args: { paths: [file], hash: 'sha256' } });`,
    [sample]);
  const want = createHash('sha256').update(fs.readFileSync(sample)).digest('hex');
  check(reply.payload?.items?.[0]?.hash === want, `readMedia answered ${JSON.stringify(reply)}`);
  console.log('ok    window, page from', pageDir, 'and media helper');
} finally {
  await web.close();
  web.stop();
  watch.kill();
}
