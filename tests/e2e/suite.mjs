// End-to-end tests of the real application under Xvfb: WebKitWebDriver
// drives it, xdotool types and drags as a user would.
// Usage: node suite.mjs APP HELPER OUT_DIR WORK_DIR
import { spawn, execFile } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { WebDriver, check, limit, sleep, until } from './webdriver.mjs';

const [app, helper, outDir, work] = process.argv.slice(2);
const data = path.join(work, 'data');

class Skip extends Error {}
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
      results.push([name, 'ok']);
      return true;
    } catch (e) {
      if (e instanceof Skip) {
        console.log(`skip  ${name}: ${e.message}`);
        results.push([name, 'skip']);
        return true;
      }
      console.log(`${attempt === 1 ? 'retry' : 'FAIL '} ${name}: ${e.message}`);
    }
  }
  results.push([name, 'FAIL']);
  return false;
}

function run(cmd, args, ms = 10000) {
  return new Promise((resolve, reject) => {
    execFile(cmd, args, { timeout: ms }, (err, stdout, stderr) => {
      if (err) reject(new Error(`${cmd} ${args.join(' ')}: ${stderr || err.message}`));
      else resolve(stdout.trim());
    });
  });
}
const xdotool = (...args) => run('xdotool', args.map(String));

// CPU time (clock ticks) that the processes use over `ms`.
async function cpuTicks(pids, ms) {
  const total = () => pids.reduce((sum, pid) => {
    try {
      const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      return sum + Number(fields[11]) + Number(fields[12]);  // utime, stime
    } catch {
      return sum;  // ended meanwhile
    }
  }, 0);
  const before = total();
  await sleep(ms);
  return total() - before;
}

// --- the application under WebKitWebDriver

const web = new WebDriver();
const openApp = () => web.open(app, 'window.pageReady === true');
const exec = (script, args) => web.exec(script, args);
const execAsync = (script, args) => web.execAsync(script, args);
// A command through the page's bridge; resolves with the reply object.
const send = (cmd, args) =>
  execAsync('window.send(arguments[0], arguments[1]).then(arguments[arguments.length - 1])', [
    cmd,
    args,
  ]);

let windowId;
async function appWindow() {
  const ids = (await xdotool('search', '--onlyvisible', '--class', 'quarrytide')).split('\n');
  for (const id of ids) {
    const geometry = await xdotool('getwindowgeometry', '--shell', id);
    const g = Object.fromEntries(geometry.split('\n').map((l) => l.split('=')));
    if (Number(g.WIDTH) > 200) return { id, x: +g.X, y: +g.Y, width: +g.WIDTH, height: +g.HEIGHT };
  }
  throw new Error('no application window on screen');
}

async function focusApp() {
  const w = await appWindow();
  await xdotool('windowfocus', '--sync', w.id);
  return w;
}

// Drags from the helper's window to (x, y) on screen, as a user would.
async function dragTo(kind, items, x, y) {
  const source = spawn(helper, ['drag', kind, ...items], { stdio: ['ignore', 'pipe', 'inherit'] });
  const ended = new Promise((resolve) => source.on('exit', resolve));
  try {
    const ready = await limit(
      10000,
      'drag source window',
      new Promise((resolve) => {
        let text = '';
        source.stdout.on('data', (d) => {
          text += d;
          const m = text.match(/ready (\d+) (\d+)/);
          if (m) resolve([+m[1], +m[2]]);
        });
      }),
    );
    const [sx, sy] = ready;
    await xdotool('mousemove', sx, sy);
    await sleep(200);
    await xdotool('mousedown', 1);
    for (let i = 1; i <= 12; i++) {
      await xdotool('mousemove', Math.round(sx + ((x - sx) * i) / 12), Math.round(sy + ((y - sy) * i) / 12));
      await sleep(60);
    }
    for (const d of [4, -4, 2, 0]) {
      await xdotool('mousemove', x + d, y + d);
      await sleep(150);
    }
    await xdotool('mouseup', 1);
    const status = await limit(10000, 'drag end', ended);
    check(status === 0, `the drag did not end (helper exit ${status})`);
  } finally {
    source.kill();
  }
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  fs.mkdirSync(path.join(data, 'sub'), { recursive: true });
  for (const f of ['a.txt', 'b.txt', 'x1.txt', 'x2.txt']) fs.writeFileSync(path.join(data, f), f);
  const list = path.join(work, 'list');
  fs.mkdirSync(list);
  for (const f of ['a.txt', 'b.txt']) fs.writeFileSync(path.join(list, f), f);

  await step('WebKitWebDriver starts', 20000, () => web.start(), { always: true });
  if (!(await step('the app opens its window and loads its page', 60000, openApp, { always: true })))
    return;

  await step('the page gets the whole 1040 x 720 of the new window', 10000, async () => {
    const size = await exec('return [innerWidth, innerHeight]');
    check(JSON.stringify(size) === '[1040,720]', `page size ${size}`);
  });

  await step('the page loads its stylesheet and module script from the app', 10000, async () => {
    const [sheets, background, ready] = await exec(
      "return [document.styleSheets.length, getComputedStyle(document.getElementById('field')).backgroundColor, window.pageReady]",
    );
    check(sheets === 1 && background === 'rgb(34, 34, 34)' && ready === true, JSON.stringify([sheets, background, ready]));
  });

  await step('the bridge answers the page', 15000, async () => {
    const r = await send('setMode', { kind: 'files' });
    check(r.ok === true && r.payload === null, JSON.stringify(r));
    const u = await send('noSuchCommand', {});
    check(u.payload === 'unknown cmd: noSuchCommand', JSON.stringify(u));
  });

  await step('a text file gets its icon as a thumbnail', 20000, async () => {
    const r = await send('thumbnail', { path: path.join(data, 'a.txt'), size: 32 });
    const url = r.payload && r.payload.dataUrl;
    check(r.ok && url.startsWith('data:image/png;base64,'), JSON.stringify(r).slice(0, 200));
    const png = Buffer.from(url.slice('data:image/png;base64,'.length), 'base64');
    const [w, h] = [png.readUInt32BE(16), png.readUInt32BE(20)];
    check(w === 64 && h === 64, `icon of ${w} x ${h}, not 64 x 64 (32 at density 2)`);
  });

  await step('each chooseFolder opens its own chooser without blocking the page', 40000, async () => {
    await exec(`window.choices = [];
      for (let i = 0; i < 2; i++) window.send('chooseFolder', {}).then((r) => window.choices.push(r));`);
    const main = await appWindow();
    const dialogs = await until('two choosers', 15000, async () => {
      const ids = (await xdotool('search', '--onlyvisible', '--class', 'quarrytide')).split('\n');
      const others = ids.filter((id) => id !== main.id);
      const big = [];
      for (const id of others) {
        const g = await xdotool('getwindowgeometry', '--shell', id);
        if (Number(/WIDTH=(\d+)/.exec(g)[1]) > 200) big.push(id);
      }
      return big.length >= 2 && big;
    });
    const r = await send('setMode', { kind: 'files' });
    check(r.ok, 'the page was blocked while the choosers were open');
    if (JSON.stringify(await exec('return window.choices')) !== '[]') throw new Error('answered early');
    // The first chooser picks the listed folder by typing its path; the second is cancelled.
    await xdotool('windowraise', dialogs[0]);
    await xdotool('windowfocus', '--sync', dialogs[0]);
    await sleep(300);
    await xdotool('type', '/');  // opens the location entry, holding the "/"
    await sleep(600);
    await xdotool('type', '--delay', 10, list.slice(1) + '/');
    await sleep(500);
    await xdotool('key', 'Return');
    const answered = () => exec('return window.choices.length');
    try {
      await until('the choice', 3000, async () => (await answered()) > 0);
    } catch {
      await xdotool('key', 'Return');  // the typed folder was opened; choose it
      await until('the choice', 5000, async () => (await answered()) > 0);
    }
    await xdotool('windowraise', dialogs[1]);
    await xdotool('windowfocus', '--sync', dialogs[1]);
    await sleep(300);
    await xdotool('key', 'Escape');
    await until('the cancel', 5000, async () => (await answered()) === 2);
    const [chosen, cancelled] = await exec('return window.choices');
    check(chosen.ok && chosen.payload && chosen.payload.folder === list, JSON.stringify(chosen).slice(0, 300));
    check(cancelled.ok && cancelled.payload === null, JSON.stringify(cancelled));
  });

  await step('the chooser is "Open Folder", opens where the page says and never makes a folder', 40000, async () => {
    const chooser = async () => (await xdotool('search', '--onlyvisible', '--name', '^Open Folder$').catch(() => '')).split('\n')[0];
    const choose = async (args) => {
      await exec('window.choices = []; window.send("chooseFolder", arguments[0]).then((r) => window.choices.push(r));', [args]);
      const id = await until('the chooser', 15000, chooser);
      await xdotool('windowfocus', '--sync', id);
      await sleep(400);
      return id;
    };
    // a name typed alone is found in the folder the chooser opened in
    await choose({ start: data });
    await xdotool('type', '--delay', 20, 'sub');
    await sleep(400);
    await xdotool('key', 'Return');
    // Enter on the found folder may first open it; a second one chooses it.
    await sleep(1000);
    if (!(await exec('return window.choices.length'))) await xdotool('key', 'Return');
    const picked = await until('the choice', 8000, () => exec('return window.choices[0]'));
    check(picked.ok && picked.payload && picked.payload.folder === path.join(data, 'sub'), JSON.stringify(picked).slice(0, 300));
    // a typed folder that does not exist is not created, whatever the keys
    const missing = path.join(data, 'not-there');
    await choose({ start: data });
    await xdotool('type', '--delay', 20, '/');
    await sleep(400);
    await xdotool('type', '--delay', 10, missing.slice(1));
    await sleep(400);
    await xdotool('key', 'Return');
    await sleep(800);
    await xdotool('key', 'Return');
    await sleep(800);
    check(!fs.existsSync(missing), 'the chooser created the typed folder');
    if (await chooser()) {
      await xdotool('windowfocus', '--sync', await chooser());
      await xdotool('key', 'Escape');
    }
    const answer = await until('the answer', 8000, () => exec('return window.choices[0]'));
    check(answer.ok && (answer.payload === null || answer.payload.folder !== missing), JSON.stringify(answer).slice(0, 300));
    check(!fs.existsSync(missing), 'the chooser created the typed folder');
  });

  await step('screenshots are saved', 20000, async () => {
    fs.writeFileSync(path.join(outDir, 'page.png'), await web.screenshot());
    await run(helper, ['shot', path.join(outDir, 'screen.png')]);
    console.log(`      ${path.join(outDir, 'screen.png')}`);
  });

  await step('the page cannot leave the app or read outside its folder', 20000, async () => {
    // A script taking the page away is never the user's choice, whatever the scheme.
    for (const target of ['file:///etc/passwd', 'data:text/html,<p>elsewhere</p>', 'http://127.0.0.1:9/',
                          'https://example.org/quarrytide-scripted']) {
      await exec(`location.href = ${JSON.stringify(target)}`);
      await sleep(500);
      check((await exec('return location.href')) === 'quarrytide://app/index.html', `the page left for ${target}`);
    }
    check(!fs.existsSync(path.join(work, 'links.txt')), 'a scripted navigation reached the browser');
    for (const target of ['quarrytide://app/index.html', 'https://example.org/quarrytide-window'])
      check((await exec(`return window.open(${JSON.stringify(target)})`)) === null, `a window opened: ${target}`);
    const reads = await execAsync(`
      const done = arguments[arguments.length - 1];
      const read = (u) => fetch(u).then((r) => r.ok ? 'read' : 'refused ' + r.status, () => 'refused');
      Promise.all(['page.js', 'out.txt', '%2e%2e/%2e%2e/data/a.txt'].map((p) => read('quarrytide://app/' + p))).then(done);`);
    check(JSON.stringify(reads) === '["read","refused","refused"]', `reads: ${JSON.stringify(reads)}`);
    const blocked = await execAsync(`
      const done = arguments[arguments.length - 1];
      document.addEventListener('securitypolicyviolation', (e) => done(e.blockedURI), { once: true });
      const img = document.createElement('img');
      img.src = 'http://127.0.0.1:9/tracker.png';
      document.body.append(img);`);
    check(blocked.startsWith('http://127.0.0.1:9'), `the content policy let through ${blocked}`);
  });

  await step('a followed web link goes to the browser, not into the window', 20000, async () => {
    await web.click('#web');
    const record = path.join(work, 'links.txt');
    await until('the browser was asked to open the link', 10000, () => fs.existsSync(record));
    const opened = fs.readFileSync(record, 'utf8').trim();
    check(opened === 'https://example.org/quarrytide-followed', `browser got ${opened}`);
    check((await exec('return location.href')) === 'quarrytide://app/index.html', 'the page left');
  });

  await step('a missing page is reported in the window', 20000, async () => {
    await exec("location.href = 'quarrytide://app/missing%3Cb%3E.html'");
    const text = await until('the error page', 10000, () =>
      exec("return location.href.endsWith('.html') && !window.pageReady && document.body && document.body.textContent"),
    );
    check(text.includes('missing<b>.html') && text.includes('No such file'), `error page: ${text}`);
    await exec("location.href = 'quarrytide://app/index.html'");
    await until('the page again', 10000, () => exec('return window.pageReady === true'));
  });

  await step('keys reach the page before the menu', 20000, async () => {
    await exec("const f = document.getElementById('field'); f.value = ''; f.focus(); window.seenKeys = [];");
    await focusApp();
    await xdotool('type', '--delay', 40, 'abc');
    await xdotool('key', 'ctrl+a');
    await xdotool('type', 'x');
    await until('select-all in the text field', 5000, async () =>
      (await exec("return document.getElementById('field').value")) === 'x',
    );
    await exec("window.keptKeys.add('ctrl+w')");
    await xdotool('key', 'ctrl+w');
    await sleep(1000);
    const seen = await exec('return window.seenKeys');
    check(seen.includes('ctrl+w'), `page saw ${JSON.stringify(seen)}`);
    await appWindow();  // the page kept Ctrl+W: the window is still open
    await exec("window.keptKeys.delete('ctrl+w')");
  });

  await step('one key press reaches the page once and leaves the app idle', 40000, async () => {
    const win = await focusApp();
    const pids = [Number(await xdotool('getwindowpid', win.id)),
      ...(await run('pgrep', ['-f', 'WebKit(Web|Network)Process'])).split('\n').map(Number)];
    // A new web process works for some seconds after start-up.
    await until('the app is idle', 20000, async () => (await cpuTicks(pids, 1000)) < 10);
    // Keys the page leaves alone go back to GTK; they must end there.
    for (const key of ['Escape', 'shift', 'ctrl', 'F7']) {
      await exec("document.activeElement.blur(); window.seenKeys = [];");
      await xdotool('key', key);
      await sleep(700);
      const seen = await exec('return window.seenKeys');
      check(seen.length === 1, `${key}: the page saw ${seen.length} keydown events: ${JSON.stringify(seen.slice(0, 5))}`);
      const ticks = await cpuTicks(pids, 2000);
      check(ticks < 30, `${key}: the app and its web processes used ${ticks} ticks in 2 s after the key`);
    }
  });

  await step('the window cannot be made smaller than 880 x 600', 15000, async () => {
    const w = await appWindow();
    const hints = await run('xprop', ['-id', w.id, 'WM_NORMAL_HINTS']);
    const m = hints.match(/minimum size: (\d+) by (\d+)/);
    check(m && +m[1] >= 880 && +m[2] >= 600, `size hints: ${hints}`);
    const [pageBefore] = await exec('return [innerWidth]');
    // Without a window manager only the app's own resizes are bounded: ask through WebDriver.
    await web.command('POST', '/window/rect', { width: 500, height: 400 });
    const after = await until('the resize', 5000, async () => {
      const now = await appWindow();
      return now.width !== w.width && now;
    });
    check(after.width >= 880 && after.height >= 600, `resized to ${after.width} x ${after.height}`);
    await until('the page follows the window', 5000, async () => {
      const [pw] = await exec('return [innerWidth]');
      return pw === pageBefore + after.width - w.width;
    });
  });

  await step('F11 enters and leaves full screen', 20000, async () => {
    const wm = await run('xprop', ['-root', '_NET_SUPPORTING_WM_CHECK']);
    if (!/window id/.test(wm)) throw new Skip('no window manager on this display to grant full screen');
    await focusApp();
    const before = await exec('return innerWidth');
    await xdotool('key', 'F11');
    await until('full screen', 5000, async () => (await exec('return innerWidth')) === 1600);
    await xdotool('key', 'F11');
    await until('back from full screen', 5000, async () => (await exec('return innerWidth')) === before);
  });

  const w = await appWindow();
  const cx = w.x + Math.round(w.width / 2), cy = w.y + Math.round(w.height / 2);
  const dropCount = () => exec('return window.drops.length');

  await step('dropped files reach the page as a files drop', 30000, async () => {
    const n = await dropCount();
    const pageDrops = (await exec('return window.domDrops')).length;
    await dragTo('files', [path.join(data, 'x1.txt'), path.join(data, 'x2.txt')], cx, cy);
    await until('the drop', 10000, async () => (await dropCount()) > n);
    const drop = await exec('return window.drops[window.drops.length - 1]');
    check(drop.dropKind === 'files' && drop.folder === data, JSON.stringify(drop));
    check(drop.files.length === 2, `files: ${JSON.stringify(drop.files)}`);
    check((await exec('return window.domDrops')).length === pageDrops, 'WebKit got the file drop too');
  });

  await step('a dropped folder reaches the page as a folder drop', 30000, async () => {
    const n = await dropCount();
    await dragTo('files', [path.join(data, 'sub')], cx, cy);
    await until('the drop', 10000, async () => (await dropCount()) > n);
    const drop = await exec('return window.drops[window.drops.length - 1]');
    check(drop.dropKind === 'folder' && drop.folder === path.join(data, 'sub'), JSON.stringify(drop));
  });

  await step('dragged text and web links stay with the page', 40000, async () => {
    const n = await dropCount();
    const domDrops = () => exec('return window.domDrops');
    const before = (await domDrops()).length;
    await dragTo('text', ['dragged words'], cx, cy);
    await until('the page drops the text itself', 5000, async () => (await domDrops()).length > before);
    await dragTo('link', ['https://example.org/dragged'], cx, cy);
    await until('the page drops the link itself', 5000, async () => (await domDrops()).length > before + 1);
    const got = (await domDrops()).slice(before);
    check(got[0] === 'dragged words' && got[1].includes('https://example.org/dragged'), JSON.stringify(got));
    check((await dropCount()) === n, 'a drop notification was sent');
    check((await exec('return location.href')) === 'quarrytide://app/index.html', 'the page left');
  });

  await step('closing the window ends the application', 20000, async () => {
    const win = await focusApp();
    const pid = Number(await xdotool('getwindowpid', win.id));
    await xdotool('key', 'ctrl+w');
    await until('the process ends', 10000, () => !fs.existsSync(`/proc/${pid}`));
  });
  await web.close();

  await step('Ctrl+Q quits a new instance', 60000, async () => {
    await openApp();
    const win = await focusApp();
    const pid = Number(await xdotool('getwindowpid', win.id));
    await xdotool('key', 'ctrl+q');
    await until('the process ends', 10000, () => !fs.existsSync(`/proc/${pid}`));
    await web.close();
  });

  // WebKit's automation keeps menus from opening, so the menu bar is tried on
  // an instance of its own, watched from outside.
  await step('the application menu shows About, hands Edit ▸ Undo to the page and quits', 60000, async () => {
    const instance = spawn(app, [], { stdio: 'ignore' });
    const ended = new Promise((resolve) => instance.on('exit', resolve));
    try {
      const w = await until('the window', 20000, () => appWindow().catch(() => false));
      await sleep(1500);
      const openMenu = async (x = 50) => {
        // The menu bar's titles, in the header bar: the app's, then Edit.
        await xdotool('mousemove', w.x + x, w.y + 24);
        await sleep(200);
        await xdotool('mousedown', 1);
        await sleep(150);
        await xdotool('mouseup', 1);
        await sleep(500);
      };
      const about = async () =>
        (await xdotool('search', '--onlyvisible', '--name', 'About Quarrytide').catch(() => '')).split('\n')[0];
      await openMenu();
      await xdotool('key', 'Down');  // the first item: "About Quarrytide"
      await xdotool('key', 'Return');
      const dialog = await until('the About dialog', 5000, about);
      await xdotool('windowfocus', '--sync', dialog);
      await xdotool('key', 'Escape');
      await until('the About dialog closes', 5000, async () => !(await about()));
      // the page answers by saving what it got (no WebDriver here to ask it)
      const settings = path.join(process.env.XDG_CONFIG_HOME, 'quarrytide', 'settings.json');
      await openMenu(115);
      await xdotool('key', 'Down');  // the first item: "Undo"
      await xdotool('key', 'Return');
      await until('the page got Undo', 5000, () => fs.existsSync(settings) && fs.readFileSync(settings, 'utf8').includes('menu:undo'));
      await openMenu();
      await xdotool('key', 'Up');  // the last item: "Quit Quarrytide"
      await xdotool('key', 'Return');
      await limit(10000, 'the app quits', ended);
    } finally {
      instance.kill();
    }
  });
}

try {
  await main();
} catch (e) {
  console.log(`FAIL  ${e.stack}`);
  results.push(['suite', 'FAIL']);
} finally {
  web.stop();
}
const failed = results.filter(([, r]) => r === 'FAIL').length;
console.log(`e2e: ${results.length - failed} of ${results.length} steps passed or skipped`);
process.exit(failed || results.length === 0 ? 1 : 0);
