// Static file server for the browser tests: serves web/ on 127.0.0.1 only.
import http from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8', '.png': 'image/png', '.svg': 'image/svg+xml' };
const HERE = path.dirname(fileURLToPath(import.meta.url));
export const WEB_ROOT = path.resolve(HERE, '../../web');

// For browsers that cannot inject a script before the page's own (WebKit under
// WebDriver): /__mock__/index.html is the page with the mock native side and a
// demo folder loaded first. The page itself is served unchanged elsewhere.
const BOOT = [
  'window.__errors = [];',
  "window.addEventListener('error', (e) => window.__errors.push(String(e.message)));",
  "window.addEventListener('unhandledrejection', (e) => window.__errors.push(String(e.reason)));",
  "document.addEventListener('securitypolicyviolation', (e) => window.__errors.push('csp: ' + e.violatedDirective));",
  'QuarrytideMock.installInPage(window);',
  'window.__mock.state.chooseResult = window.__mockSeedDemo();',
].join('\n');
async function mockRoute(rel) {
  if (rel === '/__mock__/mock-bridge.js') return { type: TYPES['.js'], body: await readFile(path.join(HERE, 'mock-bridge.cjs')) };
  if (rel === '/__mock__/boot.js') return { type: TYPES['.js'], body: BOOT };
  if (rel === '/__mock__/index.html') {
    const html = (await readFile(path.join(WEB_ROOT, 'index.html'), 'utf8'))
      .replace('<script type="module"', '<script src="mock-bridge.js"></script>\n<script src="boot.js"></script>\n<script type="module"')
      .replace(/(href|src)="(css|js)\//g, '$1="../$2/');
    return { type: TYPES['.html'], body: html };
  }
  return null;
}

/** Starts the server on a free port; resolves to {url, close}. */
export function serveWeb(root = WEB_ROOT) {
  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    const rel = decodeURIComponent(url.pathname === '/' ? '/index.html' : url.pathname);
    const special = rel.startsWith('/__mock__/') ? await mockRoute(rel) : null;
    if (special) {
      res.writeHead(200, { 'content-type': special.type, 'cache-control': 'no-store' });
      res.end(special.body);
      return;
    }
    const file = path.resolve(root, '.' + rel);
    if (!file.startsWith(root + path.sep)) { res.writeHead(403).end(); return; }
    try {
      const body = await readFile(file);
      res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream', 'cache-control': 'no-store' });
      res.end(body);
    } catch {
      res.writeHead(404).end('not found');
    }
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => new Promise((r) => server.close(r)) });
    });
  });
}
