// The page in Chromium against the real native side: quarrytide-headless runs
// the bridge on a folder of real files, and a relay carries the page's
// envelopes to it and its scripts back, in order. The relay can also stand in
// for what a desktop has and a test machine has not (a file manager that
// fails, a slow disk), and it logs every envelope.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const BIN = process.env.QUARRYTIDE_BIN || path.resolve(import.meta.dirname, '../../../build/bin');
export const LABELS = ['', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];

/**
 * Writes `files` ([relative path, {tags, label, comment, isDir, link, modified}])
 * below a new folder; returns its path. A path given as a Buffer is a name of
 * raw bytes in the folder itself.
 */
export function makeTree(files) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qt-page-'));
  for (const [rel, p = {}] of files) {
    if (Buffer.isBuffer(rel)) {
      fs.writeFileSync(Buffer.concat([Buffer.from(root + '/'), rel]), 'bytes');
      continue;
    }
    const file = path.join(root, rel);
    fs.mkdirSync(p.isDir ? file : path.dirname(file), { recursive: true });
    if (p.link) fs.symlinkSync(p.link, file);
    else if (!p.isDir) fs.writeFileSync(file, rel);
    const tags = [...(p.tags || []), ...(p.label ? [LABELS[p.label]] : [])];
    if (tags.length) execFileSync('setfattr', ['-n', 'user.xdg.tags', '-v', tags.join(','), file]);
    if (p.comment) execFileSync('setfattr', ['-n', 'user.xdg.comment', '-v', p.comment, file]);
    if (p.modified) fs.utimesSync(file, p.modified / 1000, p.modified / 1000);
  }
  return root;
}

function attribute(file, name) {
  try {
    return execFileSync('getfattr', ['--only-values', '-n', name, file], { stdio: ['ignore', 'pipe', 'ignore'] }).toString();
  } catch {
    return '';
  }
}

/** What the disk holds for `file`: its tags, label and comment, and its identity. */
export function onDisk(file) {
  const all = attribute(file, 'user.xdg.tags').split(',').filter(Boolean);
  const colour = [...all].reverse().find((t) => LABELS.includes(t));
  return {
    tags: colour ? all.filter((t) => t !== colour) : all,
    label: colour ? LABELS.indexOf(colour) : 0,
    comment: attribute(file, 'user.xdg.comment'),
    ino: fs.lstatSync(file).ino,
  };
}

/** The sorted names in a folder. */
export const namesIn = (dir) => fs.readdirSync(dir).sort();

/**
 * Starts quarrytide-headless (its settings in `config`, its chooser picking
 * `choose`) and connects it to `page` before the page loads. `native.hooks`
 * may answer an envelope itself ({reveal, savePrefs: message}) or delay
 * applies (`applyDelay` ms).
 */
export async function connect(page, { choose, config }) {
  const child = spawn(path.join(BIN, 'quarrytide-headless'), choose ? ['--choose', choose] : [], {
    env: { ...process.env, XDG_CONFIG_HOME: config, XDG_CACHE_HOME: path.join(config, 'cache') },
    stdio: ['pipe', 'pipe', 'ignore'],
  });
  const native = { log: [], hooks: {}, applyDelay: 0, stop: () => child.kill() };
  let tail = Promise.resolve();
  // scripts are evaluated one after another, in the order the native side wrote them
  const evaluate = (script) => { tail = tail.then(() => page.evaluate(script).catch(() => {})); };
  readline.createInterface({ input: child.stdout }).on('line', evaluate);
  const answer = (id, ok, payload) => evaluate(`window.__bridgeResolveRaw(${JSON.stringify({ id, ok, payload })})`);
  await page.exposeFunction('__toNative', async (text) => {
    const env = JSON.parse(text);
    native.log.push(env);
    const fail = native.hooks[env.cmd];
    if (fail) return answer(env.id, false, fail);
    if (env.cmd === 'apply' && native.applyDelay) await new Promise((r) => setTimeout(r, native.applyDelay));
    child.stdin.write(text + '\n');
  });
  native.drop = (paths) => child.stdin.write(JSON.stringify({ drop: paths }) + '\n');
  await page.addInitScript(() => {
    window.webkit = { messageHandlers: { bridge: { postMessage: (env) => window.__toNative(JSON.stringify(env)) } } };
  });
  return native;
}
