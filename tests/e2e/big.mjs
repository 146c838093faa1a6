// A folder of 100,000 files in the real application: typed into the path
// field, listed, renamed by one rule and applied (in chunks), checked on disk.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { ENTER, check, until } from './webdriver.mjs';

const COUNT = 100000;

export async function bigFolder(web, folder) {
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  execFileSync('sh', ['-c', `seq -f 'f%06g.txt' 0 ${COUNT - 1} | xargs touch`], { cwd: folder });
  const exec = (script) => web.exec(script);
  const state = (expr) => exec(`const s = window.quarrytide.store.state; return ${expr}`);
  // the chain a session before left behind goes first
  if (await state('s.config.rules.length')) {
    await web.click('#clear-rules');
    await until('the question', 5000, () => exec("return document.getElementById('sheet').open"));
    await web.click('#sheet-ok');
    await until('no rules', 5000, async () => (await state('s.config.rules.length')) === 0);
  }
  await web.click('#edit-path');
  await web.type('#path-input', folder + ENTER);
  await until('100,000 rows listed', 60000, async () => (await state('s.listing.items.length')) === COUNT);
  await web.click('#add-rule');
  await web.click("//div[@id='add-rule-menu']/button[normalize-space()='Replace text']", 'xpath');
  await until('a Replace card', 5000, () => exec("return document.querySelectorAll('#rule-list .rule [data-field=find]').length === 1"));
  await web.type('#rule-list .rule [data-field=find]', 'f');
  await web.type('#rule-list .rule [data-field=with]', 'g');
  await until('every row renamed in the preview', 60000, async () =>
    (await state('!s.preview.pending && s.preview.counts && s.preview.counts.renames')) === COUNT);
  await web.click('#apply-btn');
  await until('the confirmation', 10000, () => exec("return document.getElementById('sheet').open"));
  await web.click('#sheet-ok');
  const renamed = () => fs.readdirSync(folder).filter((n) => n.startsWith('g')).length;
  await until('100,000 files renamed on disk', 180000, async () => renamed() === COUNT);
  check(fs.readdirSync(folder).length === COUNT, 'the folder no longer holds 100,000 items');
  await until('the page shows the batch done', 60000, () => exec("return document.getElementById('progress').hidden"));
  fs.rmSync(folder, { recursive: true, force: true });
}
