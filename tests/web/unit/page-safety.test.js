import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile, readdir } from 'node:fs/promises';

const web = new URL('../../../web/', import.meta.url);

test('the page keeps to its content security policy: no inline code, no markup from strings, no outside resources', async () => {
  const html = await readFile(new URL('index.html', web), 'utf8');
  const csp = html.match(/<meta http-equiv="Content-Security-Policy" content="([^"]+)">/);
  assert.ok(csp, 'a CSP meta element');
  assert.match(csp[1], /default-src 'self'/);
  assert.match(csp[1], /script-src 'self'(;|$)/);
  assert.doesNotMatch(csp[1], /unsafe-inline|unsafe-eval|https?:/);
  for (const tag of html.match(/<script\b[^>]*>/g)) assert.match(tag, /src="js\/[\w-]+\.js"/, tag);
  assert.doesNotMatch(html, /<script\b[^>]*>[^<\s]/, 'inline script');
  assert.doesNotMatch(html, /\son[a-z]+=/i, 'inline event handler');
  assert.doesNotMatch(html, /\sstyle=/i, 'inline style attribute');
  assert.doesNotMatch(html, /(src|href)="(https?:)?\/\//, 'outside resource');
  const files = (await readdir(new URL('js/', web), { recursive: true })).filter((f) => f.endsWith('.js'));
  assert.ok(files.length > 20 && files.some((f) => f.includes('/')), 'every module, in every folder');
  const imports = new Map(); // module -> the modules it imports, for the layer check below
  for (const f of files) {
    const src = await readFile(new URL(`js/${f}`, web), 'utf8');
    imports.set(f, [...src.matchAll(/from '(\.[^']+)'/g)].map(([, to]) => new URL(to, new URL(`js/${f}`, web)).href.slice(`${web.href}js/`.length)));
    assert.doesNotMatch(src, /innerHTML|outerHTML|insertAdjacentHTML|document\.write|eval\(|new Function/, f);
    assert.doesNotMatch(src, /setAttribute\(\s*'style'/, f);
    // modules of the page only, never from outside its folder
    for (const [, target] of src.matchAll(/from '([^']+)'/g)) {
      assert.ok(/^\.\.?\//.test(target) && new URL(target, new URL(`js/${f}`, web)).href.startsWith(`${web.href}js/`), `${f} imports ${target}`);
    }
  }
  // imports run one way: the engine's modules (js/ itself) use each other and
  // the translations only; the rule types come in through rules.js, the rest
  // is wired up by main.js
  for (const [f, to] of imports) {
    if (f.includes('/') || f === 'main.js') continue;
    for (const m of to) assert.ok(!m.includes('/') || m.startsWith('i18n/') || (f === 'rules.js' && m === 'rules/index.js'), `${f} imports ${m}`);
  }
});

test('the one table of keys: every key once, each page intent bound, letters as the page reads them', async () => {
  const { keysFrom } = await import('../../../web/js/services/shortcuts.js');
  const table = JSON.parse(await readFile(new URL('../../../web/shortcuts.json', import.meta.url), 'utf8'));
  const accels = table.groups.flatMap((g) => g.keys.map((k) => k.accel));
  assert.equal(new Set(accels).size, accels.length, 'one action a key');
  const keys = keysFrom(table);
  assert.deepEqual(keys.filter(([, , intent]) => ['choose', 'apply', 'redo', 'treeMode', 'undo'].includes(intent)),
    [['o', 'ctrl', 'choose', true], ['3', 'alt', 'treeMode', true], ['Enter', 'ctrl', 'apply', true], ['z', 'ctrl', 'undo', false], ['z', 'ctrl+shift', 'redo', false]]);
});
