// The installed /usr/bin/quarrytide under WebKitWebDriver: its window opens,
// the page it shows is read from /usr/share/quarrytide/web (seen by inotify),
// and it finds its installed media helper.
// Usage: node installed.mjs WORK_DIR
import { execFileSync, spawn } from 'node:child_process';
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

  // A song's title is read only by the helper, so an answer shows it was found and ran.
  const sample = path.join(work, 'sample.mp3');
  execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-f', 'lavfi', '-i', 'sine=duration=0.2', '-metadata', 'title=quarrytide package', sample]);
  const reply = await web.execAsync(`
    const [file, done] = arguments, own = window.__bridgeResolveRaw;
    window.__bridgeResolveRaw = (r) => (r.id === 424242 ? done(r) : own(r));
    window.webkit.messageHandlers.bridge.postMessage({ id: 424242, cmd: 'readMedia', args: { paths: [file] } });`,
    [sample]);
  check(reply.payload?.items?.[0]?.title === 'quarrytide package', `readMedia answered ${JSON.stringify(reply)}`);
  console.log('ok    window, page from', pageDir, 'and media helper');
} finally {
  await web.close();
  web.stop();
  watch.kill();
}
