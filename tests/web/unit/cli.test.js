import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';
import { renamePlan as viaModules, chainFrom } from '../../../web/js/cli/rename.js';
import { newRule } from '../../../web/js/rules.js';
import { serializeConfig, parseConfig } from '../../../web/js/config.js';

const web = path.join(path.dirname(fileURLToPath(import.meta.url)), '../../../web/js');

/** The command line's way in: the loader in a bare script context, without the web's globals. */
function loadedAsTheCommandLineDoes() {
  const context = vm.createContext({ console, Intl, escape, unescape, encodeURIComponent, decodeURIComponent, quarrytideDecode: (binary, label) => new TextDecoder(label).decode(Buffer.from(binary, 'latin1')) });
  const loader = vm.runInContext(fs.readFileSync(path.join(web, '../../src/cli/module_loader.js'), 'utf8'), context);
  return loader((p) => fs.readFileSync(path.join(web, p), 'utf8'))('cli/rename.js');
}

const columns = (dir, names, extra = {}) => ({
  columns: { count: names.length, name: names, dirs: [dir], dir: names.map(() => 0), exts: ['jpg', ''], ext: names.map((n) => (n.endsWith('.jpg') ? 0 : 1)), isDir: names.map(() => 0), size: names.map(() => 1), created: names.map(() => 0), modified: names.map(() => 0), label: names.map(() => 0), ...extra },
});

test('the command line runs the page\'s own modules and plans what the window would, problems and raw names included', () => {
  const loaded = loadedAsTheCommandLineDoes();
  const parts = [columns('/d', ['IMG_1.jpg', 'IMG_2.jpg', 'b.jpg', 'x']), columns('/d', ['caf\uFFFD.jpg'], { rawName: { rows: [0], values: [Buffer.from('caf\xe9.jpg', 'latin1').toString('base64')] } })];
  const rules = [newRule('replace', { find: 'IMG_', with: '' }), newRule('template', { pattern: '{name|upper}' }), newRule('repair')];
  const chain = { rules, folders: false, unique: null, companions: false };
  // made in another realm: compared as JSON
  const plan = JSON.parse(JSON.stringify(loaded.renamePlan(parts, '/d', chain, { apply: true })));
  assert.deepEqual(plan, JSON.parse(JSON.stringify(viaModules(parts, '/d', chain, { apply: true }))));
  // a dry run's table: only the rows that change or have a problem, no changes made
  assert.deepEqual([viaModules([columns('/d', ['a', 'b'])], '/d', { ...chain, rules: [newRule('template', { pattern: 'a' })] }, { every: false }).rows.map((r) => r.path), viaModules(parts, '/d', chain).changes], [['/d/b'], []]);
  assert.deepEqual(plan.rows.map((r) => [r.newPath, r.problems.map((p) => p.code).join()]), [['/d/1.jpg', ''], ['/d/2.jpg', ''], ['/d/B.jpg', ''], ['/d/X', ''], ['/d/CAFé.jpg', '']]);
  assert.deepEqual(plan.changes.at(-1), { rawPath: Buffer.from('/d/caf\xe9.jpg', 'latin1').toString('base64'), newPath: '/d/CAFé.jpg' });
  // a chain from a rules file or a saved preset, or why not
  const settings = serializeConfig({ ...parseConfig(''), presets: [{ name: 'P', rules, folders: true }] }).text;
  assert.deepEqual([loaded.chainFrom({ settingsText: settings, preset: 'P' }).folders, loaded.chainFrom({ rulesText: JSON.stringify(rules) }).rules.length], [true, 3]);
  assert.deepEqual([chainFrom({ rulesText: '{' }).error.startsWith('the rules file is not JSON'), chainFrom({ rulesText: '[{"type":"nope"}]' }).error, chainFrom({ settingsText: settings, preset: 'Q' }).error], [true, 'rule 1 of the rules file is of no known type', 'no preset is called "Q"']);
});
