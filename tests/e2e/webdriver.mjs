// The WebDriver client of the end-to-end suites: WebKitWebDriver drives the
// real application over Node's fetch, and the wait helpers bound every wait,
// so a slow start fails with what was last seen instead of hanging.
import { spawn } from 'node:child_process';

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

export function check(cond, message) {
  if (!cond) throw new Error(message);
}

/** `promise`, or a rejection naming `what` once `ms` have passed. */
export function limit(ms, what, promise) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what}: no answer within ${ms / 1000} s`)), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

/** Polls `probe` until it returns something truthy, which it resolves with. */
export async function until(what, ms, probe) {
  const end = Date.now() + ms;
  let last;
  while (Date.now() < end) {
    try {
      last = await probe();
      if (last) return last;
    } catch (e) {
      last = e.message;
    }
    await sleep(200);
  }
  throw new Error(`${what} (last seen: ${JSON.stringify(last)})`);
}

const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';
export const ENTER = '\uE007';
const PAGE = 'quarrytide://app/index.html';

export class WebDriver {
  async request(method, url, body) {
    const res = await fetch(this.base + url, {
      method,
      headers: { 'content-type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const json = await res.json();
    if (json.value && json.value.error) throw new Error(`${json.value.error}: ${json.value.message}`);
    return json.value;
  }

  /** A request about the open session, `url` relative to it. */
  command(method, url, body) {
    return this.request(method, `${this.session}${url}`, body);
  }

  async start() {
    const port = 40000 + Math.floor(Math.random() * 20000);
    this.process = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: ['ignore', 'inherit', 'inherit'] });
    this.base = `http://127.0.0.1:${port}`;
    await until('WebKitWebDriver is listening', 10000, async () => (await this.request('GET', '/status')).ready);
  }

  /** Starts `app` under automation and waits until its page is loaded and `ready` (a script expression) holds. */
  async open(app, ready) {
    const value = await this.request('POST', '/session', {
      capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary: app, args: ['--automation'] } } },
    });
    this.session = `/session/${value.sessionId}`;
    await until('the page is loaded', 30000, () => this.exec(`return (${ready}) && location.href === '${PAGE}'`));
  }

  /** Ends the session, which closes the application if it is still open. */
  async close() {
    if (this.session) await this.request('DELETE', this.session).catch(() => {});
    this.session = null;
  }

  stop() {
    this.process?.kill();
  }

  exec(script, args = []) {
    return this.command('POST', '/execute/sync', { script, args });
  }

  /** Runs `script` in the page; it ends by calling its last argument with the result. */
  execAsync(script, args = []) {
    return this.command('POST', '/execute/async', { script, args });
  }

  /** The first element that matches, once the page shows one. */
  find(selector, using = 'css selector') {
    return until(`the page shows ${selector}`, 10000, () =>
      this.command('POST', '/elements', { using, value: selector }).then((list) => list.length && list[0][ELEMENT]));
  }

  async click(selector, using) {
    return this.command('POST', `/element/${await this.find(selector, using)}/click`, {}).catch((e) => { throw new Error(`${selector}: ${e.message}`); });
  }

  async clear(selector) {
    return this.command('POST', `/element/${await this.find(selector)}/clear`, {});
  }

  async type(selector, text) {
    return this.command('POST', `/element/${await this.find(selector)}/value`, { text });
  }
}
