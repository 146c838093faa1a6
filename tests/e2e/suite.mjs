// End-to-end tests of the real application under Xvfb: WebKitWebDriver
// drives it, xdotool types and drags as a user would. The first steps run a
// test page that records what the native side does; the last one is a user's
// session with the real page, checked on disk.
// Usage: node suite.mjs APP PAGE_APP HELPER OUT_DIR WORK_DIR
import { spawn, execFile } from 'node:child_process';
import { promisify } from 'node:util';
import fs from 'node:fs';
import path from 'node:path';
import { WebDriver, check, limit, sleep, until } from './webdriver.mjs';
import { user, session, bigFolder, namesFromContent, intoFolders, workflows } from './session.mjs';

const [app, pageApp, helper, outDir, work] = process.argv.slice(2);
const data = path.join(work, 'data');
const results = [];

// Every step has a time limit and one retry, so a slow start cannot hang CI.
// QUARRYTIDE_E2E_ONLY=word runs only the steps whose names contain it (and
// the start-up they need).
const only = process.env.QUARRYTIDE_E2E_ONLY;
async function step(name, ms, fn, { always = false } = {}) {
  if (only && !always && !name.includes(only)) return true;
  for (let attempt = 1; attempt <= 2; attempt++) {
    try {
      await limit(ms, name, fn());
      console.log(`ok    ${name}`);
      results.push('ok');
      return true;
    } catch (e) {
      console.log(`${attempt === 1 ? 'retry' : 'FAIL '} ${name}: ${e.message}`);
    }
  }
  results.push('FAIL');
  await run(helper, ['shot', path.join(outDir, 'failure.png')]).catch(() => {});
  return false;
}

const run = async (cmd, args) => (await promisify(execFile)(cmd, args, { timeout: 10000 })).stdout.trim();
const xdotool = (...args) => run('xdotool', args.map(String));
const windows = async (...query) => (await xdotool('search', '--onlyvisible', ...query).catch(() => '')).split('\n').filter(Boolean);

const web = new WebDriver();
// The page's own stylesheet and script are loaded.
const openApp = () => web.open(app, "window.pageReady === true && getComputedStyle(document.getElementById('field')).backgroundColor === 'rgb(34, 34, 34)'");
const exec = (script, args) => web.exec(script, args);
const execAsync = (script, args) => web.execAsync(script, args);
// A command through the page's bridge; resolves with the reply object.
const send = (cmd, args) => execAsync('window.send(arguments[0], arguments[1]).then(arguments[2])', [cmd, args]);
const atHome = async () => (await exec('return location.href')) === 'quarrytide://app/index.html';

// `fn` on the real page in a new session, closed after; the driver may take
// a moment to let a closed one go. Each starts from the settings a first start
// has, so what a step before left switched on cannot change what it sees.
const settingsIn = (configHome) => path.join(configHome, 'quarrytide', 'settings.json');
const settingsFile = settingsIn(process.env.XDG_CONFIG_HOME);
// The rename settings the page last saved under `configHome`.
const savedConfig = (configHome = process.env.XDG_CONFIG_HOME) =>
  JSON.parse(JSON.parse(fs.readFileSync(settingsIn(configHome), 'utf8')).lastRenameConfig);
async function onRealPage(fn) {
  try {
    await until('a session with the real page', 60000, () => {
      fs.rmSync(settingsFile, { force: true });
      return web.open(pageApp, "document.body && document.body.dataset.ready === 'true'").then(() => true);
    });
    return await fn();
  } finally {
    await web.close();
  }
}

async function appWindow(pid = null) {
  for (const id of await windows(...(pid ? ['--pid', pid] : ['--class', 'quarrytide']))) {
    const g = Object.fromEntries((await xdotool('getwindowgeometry', '--shell', id)).split('\n').map((l) => l.split('=')));
    if (Number(g.WIDTH) > 200) return { id, x: +g.X, y: +g.Y, width: +g.WIDTH, height: +g.HEIGHT };
  }
  throw new Error('no application window on screen');
}

async function focusApp(pid = null) {
  const w = await appWindow(pid);
  await xdotool('windowfocus', '--sync', w.id);
  return w;
}

// Drags from the helper's window to (x, y) on screen, as a user would.
async function dragTo(kind, items, x, y) {
  const source = spawn(helper, ['drag', kind, ...items], { stdio: ['ignore', 'pipe', 'inherit'] });
  const ended = new Promise((resolve) => source.on('exit', resolve));
  try {
    let text = '';
    const [sx, sy] = await limit(10000, 'drag source window', new Promise((resolve) => source.stdout.on('data', (d) => {
      const m = (text += d).match(/ready (\d+) (\d+)/);
      if (m) resolve([+m[1], +m[2]]);
    })));
    await xdotool('mousemove', sx, sy);
    await sleep(200);
    await xdotool('mousedown', 1);
    // there in twelve steps, then a few small moves over the target
    const moves = Array.from({ length: 12 }, (_, i) => [sx + ((x - sx) * (i + 1)) / 12, sy + ((y - sy) * (i + 1)) / 12, 60]);
    for (const [mx, my, ms] of [...moves, ...[4, -4, 2, 0].map((d) => [x + d, y + d, 150])]) {
      await xdotool('mousemove', Math.round(mx), Math.round(my));
      await sleep(ms);
    }
    await xdotool('mouseup', 1);
    check((await limit(10000, 'drag end', ended)) === 0, 'the drag did not end');
  } finally {
    source.kill();
  }
}

// Types into the focused chooser: a path from "/" opens the location entry.
async function typeInChooser(id, text) {
  await xdotool('windowraise', id);
  await xdotool('windowfocus', '--sync', id);
  await sleep(400);
  if (text.startsWith('/')) {
    await xdotool('type', '/');
    await sleep(500);
    text = text.slice(1);
  }
  await xdotool('type', '--delay', 15, text);
  await sleep(400);
  await xdotool('key', 'Return');
  await sleep(1000);
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  fs.mkdirSync(path.join(data, 'sub'), { recursive: true });
  for (const f of ['a.txt', 'x1.txt', 'x2.txt']) fs.writeFileSync(path.join(data, f), f);

  await step('WebKitWebDriver starts', 20000, () => web.start(), { always: true });
  if (!(await step('the app opens its window and loads its page with its stylesheet and script', 60000, openApp, { always: true }))) return;

  await step('a text file gets its icon as a thumbnail, at the screen density', 20000, async () => {
    const r = await send('thumbnail', { path: path.join(data, 'a.txt'), size: 32 });
    const url = r.payload && r.payload.dataUrl;
    check(r.ok && url.startsWith('data:image/png;base64,'), JSON.stringify(r).slice(0, 200));
    const png = Buffer.from(url.split(',')[1], 'base64');
    check(png.readUInt32BE(16) === 64 && png.readUInt32BE(20) === 64, `icon of ${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}, not 64 x 64`);
  });

  await step('each chooseFolder opens its own "Open Folder" chooser where the page says, without blocking the page; it never makes a folder', 60000, async () => {
    const missing = path.join(data, 'not-there');
    await exec('window.choices = []; for (let i = 0; i < 2; i++) window.send("chooseFolder", { start: arguments[0] }).then((r) => window.choices.push(r));', [data]);
    const dialogs = await until('two choosers', 15000, () => windows('--name', '^Open Folder$').then((ids) => ids.length >= 2 && ids));
    check((await send('setMode', { kind: 'files' })).ok, 'the page was blocked while the choosers were open');
    check((await exec('return window.choices.length')) === 0, 'a chooser answered before the user did');
    // a name typed alone is found in the folder the chooser opened in; Enter may first open it
    await typeInChooser(dialogs[0], 'sub');
    if (!(await exec('return window.choices.length'))) await xdotool('key', 'Return');
    const picked = await until('the choice', 8000, () => exec('return window.choices[0]'));
    check(picked.ok && picked.payload && picked.payload.folder === path.join(data, 'sub'), JSON.stringify(picked).slice(0, 300));
    // a typed folder that does not exist is not created, whatever the keys; Escape cancels
    await typeInChooser(dialogs[1], missing);
    await xdotool('key', 'Return');
    await sleep(800);
    check(!fs.existsSync(missing), 'the chooser created the typed folder');
    const cancelled = await until('the cancel', 8000, async () => {
      await xdotool('key', 'Escape');  // the first may only close the entry's completion
      await sleep(300);
      return exec('return window.choices[1]');
    });
    check(cancelled.ok && cancelled.payload === null, JSON.stringify(cancelled).slice(0, 300));
    check(!fs.existsSync(missing), 'the chooser created the typed folder');
  });

  await step('the page cannot leave the app or read outside its folder; a followed web link goes to the browser; a missing page is reported', 40000, async () => {
    const record = path.join(work, 'links.txt');
    fs.rmSync(record, { force: true });  // a first attempt's
    // A script taking the page away is never the user's choice, whatever the scheme.
    for (const target of ['file:///etc/passwd', 'data:text/html,<p>elsewhere</p>', 'http://127.0.0.1:9/', 'https://example.org/quarrytide-scripted']) {
      await exec(`location.href = ${JSON.stringify(target)}`);
      await sleep(500);
      check(await atHome(), `the page left for ${target}`);
    }
    check(!fs.existsSync(record), 'a scripted navigation reached the browser');
    for (const target of ['quarrytide://app/index.html', 'https://example.org/quarrytide-window'])
      check((await exec(`return window.open(${JSON.stringify(target)})`)) === null, `a window opened: ${target}`);
    const reads = await execAsync(`const read = (u) => fetch('quarrytide://app/' + u).then((r) => r.ok ? 'read' : 'refused ' + r.status, () => 'refused');
      Promise.all(['page.js', 'out.txt', '%2e%2e/%2e%2e/data/a.txt'].map(read)).then(arguments[0]);`);
    check(JSON.stringify(reads) === '["read","refused","refused"]', `reads: ${JSON.stringify(reads)}`);
    const blocked = await execAsync(`document.addEventListener('securitypolicyviolation', (e) => arguments[0](e.blockedURI), { once: true });
      document.body.append(Object.assign(document.createElement('img'), { src: 'http://127.0.0.1:9/tracker.png' }));`);
    check(blocked.startsWith('http://127.0.0.1:9'), `the content policy let through ${blocked}`);
    await web.click('#web');
    await until('the browser was asked to open the link', 10000, () => fs.existsSync(record));
    check(fs.readFileSync(record, 'utf8').trim() === 'https://example.org/quarrytide-followed', `browser got ${fs.readFileSync(record, 'utf8')}`);
    check(await atHome(), 'the page left');
    await exec("location.href = 'quarrytide://app/missing%3Cb%3E.html'");
    const text = await until('the error page', 10000, () =>
      exec("return location.href.endsWith('.html') && !window.pageReady && document.body && document.body.textContent"));
    check(text.includes('missing<b>.html') && text.includes('No such file'), `error page: ${text}`);
    await exec("location.href = 'quarrytide://app/index.html'");
    await until('the page again', 10000, () => exec('return window.pageReady === true'));
  });

  await step('keys reach the page before the menu', 20000, async () => {
    await exec("const f = document.getElementById('field'); f.value = ''; f.focus(); window.seenKeys = []; window.keptKeys.add('ctrl+w');");
    await focusApp();
    await xdotool('type', '--delay', 40, 'abc');
    await xdotool('key', 'ctrl+a');
    await xdotool('type', 'x');
    await until('select-all in the text field', 5000, async () => (await exec("return document.getElementById('field').value")) === 'x');
    await xdotool('key', 'ctrl+w');
    await sleep(1000);
    check((await exec('return window.seenKeys')).includes('ctrl+w'), 'the page did not see ctrl+w');
    await appWindow();  // the page kept Ctrl+W: the window is still open
    await exec("window.keptKeys.delete('ctrl+w')");
  });

  await step('one key press reaches the page once', 40000, async () => {
    await focusApp();
    // Keys the page leaves alone go back to GTK; they must end there.
    for (const key of ['Escape', 'shift', 'ctrl', 'F7']) {
      await exec('document.activeElement.blur(); window.seenKeys = [];');
      await xdotool('key', key);
      await sleep(700);
      const seen = await exec('return window.seenKeys');
      check(seen.length === 1, `${key}: the page saw ${seen.length} keydown events: ${JSON.stringify(seen.slice(0, 5))}`);
    }
  });

  await step('the window cannot be made smaller than 880 x 600', 15000, async () => {
    const w = await appWindow();
    const hints = await run('xprop', ['-id', w.id, 'WM_NORMAL_HINTS']);
    const m = hints.match(/minimum size: (\d+) by (\d+)/);
    check(m && +m[1] >= 880 && +m[2] >= 600, `size hints: ${hints}`);
    const pageBefore = await exec('return innerWidth');
    // Without a window manager only the app's own resizes are bounded: ask through WebDriver.
    await web.command('POST', '/window/rect', { width: 500, height: 400 });
    const after = await until('the resize', 5000, () => appWindow().then((now) => now.width !== w.width && now));
    check(after.width >= 880 && after.height >= 600, `resized to ${after.width} x ${after.height}`);
    await until('the page follows the window', 5000, async () => (await exec('return innerWidth')) === pageBefore + after.width - w.width);
  });

  await step('dropped files and folders reach the page as drops; dragged text and links stay with the page', 90000, async () => {
    const w = await appWindow();
    const [cx, cy] = [w.x + Math.round(w.width / 2), w.y + Math.round(w.height / 2)];
    const seen = () => exec('return [window.drops.slice(), window.domDrops.slice()]');
    for (const [kind, items, want, wantDom] of [
      ['files', [path.join(data, 'x1.txt'), path.join(data, 'x2.txt')], { folder: data, files: 2, dropKind: 'files' }],
      ['files', [path.join(data, 'sub')], { folder: path.join(data, 'sub'), files: 0, dropKind: 'folder' }],
      ['text', ['dragged words'], null, 'dragged words'],
      ['link', ['https://example.org/dragged'], null, 'https://example.org/dragged'],
    ]) {
      const [drops, domDrops] = await seen();
      await dragTo(kind, items, cx, cy);
      const [after, domAfter] = await until(`the ${kind} drop`, 10000, () =>
        seen().then((now) => now[0].length + now[1].length > drops.length + domDrops.length && now));
      if (want) {
        const drop = after.at(-1);
        check(after.length === drops.length + 1 && domAfter.length === domDrops.length, `${kind}: WebKit got the file drop too`);
        check(JSON.stringify({ folder: drop.folder, files: drop.files.length, dropKind: drop.dropKind }) === JSON.stringify(want), JSON.stringify(drop));
      } else {
        check(after.length === drops.length && domAfter.at(-1).includes(wantDom), `${kind}: ${JSON.stringify(domAfter.at(-1))}`);
      }
    }
    check(await atHome(), 'the page left');
  });

  await step('closing the window ends the application, and Ctrl+Q quits a new instance', 80000, async () => {
    for (const key of ['ctrl+w', 'ctrl+q']) {
      if (key === 'ctrl+q') await openApp();
      const pid = Number(await xdotool('getwindowpid', (await focusApp()).id));
      await xdotool('key', key);
      await until(`${key} ends the process`, 10000, () => !fs.existsSync(`/proc/${pid}`));
      await web.close();
    }
  });

  // One window: instances of their own (automation never hands over), on a
  // session bus of their own, watched through the settings the page saves.
  await step('quarrytide DIR lists the folder; a second quarrytide FILE FILE hands its files to that window and exits', 90000, async () => {
    const bus = spawn('dbus-daemon', ['--session', '--nofork', '--print-address=1'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let first = null;
    try {
      const address = await limit(5000, 'a session bus', new Promise((resolve) => bus.stdout.once('data', (d) => resolve(String(d).trim()))));
      const config = path.join(work, 'one-window');
      const [dir, other] = [path.join(work, 'Handed'), path.join(work, 'Handed later')];
      for (const d of [dir, other]) fs.mkdirSync(d, { recursive: true });
      for (const f of ['a.txt', 'b.txt']) fs.writeFileSync(path.join(other, f), f);
      const env = { ...process.env, DBUS_SESSION_BUS_ADDRESS: address, XDG_CONFIG_HOME: config };
      const saved = () => {
        try { return savedConfig(config); } catch (_) { return null; }
      };
      first = spawn(pageApp, [dir], { env, stdio: 'ignore' });
      await until('the folder listed as if opened', 30000, () => saved()?.lastFolder === dir);
      const started = Date.now();
      await promisify(execFile)(pageApp, [path.join(other, 'a.txt'), path.join(other, 'b.txt')], { env, timeout: 15000 });
      check(Date.now() - started < 10000 && first.exitCode === null, 'the second start hands over and exits; the first runs on');
      await until('the files listed as if dropped', 20000, () => saved()?.recent?.[0] === other && saved()?.lastFolder === dir);
      check((await windows('--pid', first.pid)).length >= 1, 'the first window is on screen');
    } finally {
      first?.kill();
      bus.kill();
    }
  });

  // WebKit's automation keeps menus from opening, so the primary menu is
  // tried on an instance of its own, watched from outside.
  await step('F10 opens the primary menu, which shows About, hands Open to the page and quits', 60000, async () => {
    const instance = spawn(app, [], { stdio: 'ignore' });
    const ended = new Promise((resolve) => instance.on('exit', resolve));
    try {
      await until('the window', 20000, () => appWindow(instance.pid).catch(() => false));
      await sleep(1500);
      // The menu opens on its first item, "Open…"; Down walks it, Return takes an item.
      const menu = async (downs) => {
        await focusApp(instance.pid);
        await xdotool('key', 'F10');
        await sleep(800);
        for (let k = 0; k < downs; k++) await xdotool('key', '--delay', 150, 'Down');
        await sleep(300);
        await xdotool('key', 'Return');
      };
      const about = async () => (await windows('--name', 'About Quarrytide'))[0];
      await menu(5);
      await xdotool('windowfocus', '--sync', await until('the About dialog', 5000, about));
      await xdotool('key', 'Escape');
      await until('the About dialog closes', 5000, async () => !(await about()));
      // the page answers by saving what it got (no WebDriver here to ask it)
      const settings = path.join(process.env.XDG_CONFIG_HOME, 'quarrytide', 'settings.json');
      await menu(0);
      await until('the page got Open', 5000, () => fs.existsSync(settings) && fs.readFileSync(settings, 'utf8').includes('menu:choose'));
      await menu(6);  // the last item: "Quit"
      await limit(10000, 'the app quits', ended);
    } finally {
      instance.kill();
    }
  });

  await step('a session with the real page: open, rules, tags, apply and undo, checked on disk', 240000, () =>
    onRealPage(() => session(web, path.join(process.env.HOME, 'Pictures', 'Holiday 2026'), outDir)));

  await step('names from inside the files: a lens and a GPS date written by exiftool, a date read from a name', 120000, () =>
    onRealPage(() => namesFromContent(web, path.join(process.env.HOME, 'Pictures', 'Content'))));
  await step('into folders: photos sorted into year/month folders the batch makes, undone with the folders, copied to another drive; a Regex group as a folder, ../ up', 180000, () =>
    onRealPage(() => intoFolders(web, path.join(process.env.HOME, 'Pictures', 'Sorted'))));
  await step('workflows: a camera card\'s companions renamed with their photo, a duplicate numbered apart or tagged, a name made portable, legacy names decoded byte for byte and undone', 120000, () =>
    onRealPage(() => workflows(web, path.join(process.env.HOME, 'Pictures', 'Card'))));

  await step('a rule added just before Ctrl+Q is in the settings the next start reads', 60000, () =>
    onRealPage(async () => {
      const u = user(web);
      const pid = Number(await xdotool('getwindowpid', (await focusApp()).id));
      await u.addRule('Insert text');
      await xdotool('key', 'ctrl+q');
      await until('ctrl+q ends the process', 10000, () => !fs.existsSync(`/proc/${pid}`));
      const rules = savedConfig().rules;
      check(rules.length === 1 && rules[0].type === 'insert', `saved: ${JSON.stringify(rules)}`);
    }));

  await step('a folder of 100,000 files typed into the path field, listed, renamed by one rule and applied, checked on disk', 400000, () =>
    onRealPage(() => bigFolder(web, path.join(process.env.HOME, 'Big'))));
}

try {
  await main();
} catch (e) {
  console.log(`FAIL  ${e.stack}`);
  results.push('FAIL');
} finally {
  web.stop();
}
const failed = results.filter((r) => r === 'FAIL').length;
console.log(`e2e: ${results.length - failed} of ${results.length} steps passed`);
process.exit(failed || results.length === 0 ? 1 : 0);
