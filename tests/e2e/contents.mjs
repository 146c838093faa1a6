// Names from what is inside the files, in the real application: photos named
// by their date taken and camera, songs by their tags, through a Template
// rule typed as a user types it; checked on disk.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { ENTER, check, until } from './webdriver.mjs';

const ffmpeg = (...args) => execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-y', ...args]);
const PHOTOS = [['IMG_0001.jpg', '2024:07:13 14:02:11', 'EOS R5'], ['IMG_0002.jpg', '2024:07:14 08:30:00', 'X-T5'], ['DSC_0003.jpg', '2023:12:31 23:59:59', 'Z 6']];
const SONGS = [['01.mp3', 'Ana Moura', 'Casa', '7/12', 'Fado/Novo'], ['track2.mp3', 'Ana Moura', 'Casa', '12', 'Desfado']];

function makeFiles(photos, music) {
  for (const dir of [photos, music]) {
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir, { recursive: true });
  }
  for (const [name, date, model] of PHOTOS) {
    const file = path.join(photos, name);
    ffmpeg('-f', 'lavfi', '-i', 'color=s=16x16', '-frames:v', '1', file);
    execFileSync('exiftool', ['-q', '-overwrite_original', `-DateTimeOriginal=${date}`, `-Model=${model}`, file]);
  }
  for (const [name, artist, album, track, title] of SONGS) {
    ffmpeg('-f', 'lavfi', '-i', 'sine=duration=1', '-c:a', 'libmp3lame', '-q:a', '9',
      '-metadata', `artist=${artist}`, '-metadata', `album=${album}`, '-metadata', `track=${track}`, '-metadata', `title=${title}`, path.join(music, name));
  }
}

export async function contents(web, home) {
  const photos = path.join(home, 'Pictures', 'Camera');
  const music = path.join(home, 'Music', 'Casa');
  makeFiles(photos, music);
  const exec = (script) => web.exec(script);
  const newNames = () => exec("return [...document.querySelectorAll('#grid-body .row')].map((r) => [[...r.querySelector('.c-new').childNodes].filter((n) => n.nodeName !== 'DEL').map((n) => n.textContent).join(''), r.querySelector('.c-status').textContent.trim()])");
  const onDisk = (dir) => JSON.stringify(fs.readdirSync(dir).sort());

  async function rename(folder, pattern, want) {
    await web.click('#edit-path');
    await web.type('#path-input', folder + ENTER);
    await until(`${folder} is listed`, 15000, async () => (await newNames()).length === want.length);
    const field = '#rule-list .rule [data-field=pattern]';
    await web.clear(field);
    await web.type(field, pattern);
    const sorted = JSON.stringify([...want].sort());
    await until(`the names from inside the files (${pattern})`, 15000, async () =>
      JSON.stringify((await newNames()).map(([n]) => n).sort()) === sorted && (await newNames()).every(([, status]) => status === ''));
    await web.click('#apply-btn');
    await until('the confirmation', 5000, () => exec("return document.getElementById('sheet').open"));
    await web.click('#sheet-ok');
    await until(`the batch in ${folder} is on disk`, 20000, () => onDisk(folder) === sorted);
  }

  await web.click('#add-rule');
  await web.click("//div[@id='add-rule-menu']/button[normalize-space()='Template']", 'xpath');
  await until('a Template card', 5000, () => exec("return document.querySelectorAll('#rule-list .rule [data-field=pattern]').length === 1"));
  await rename(photos, '{taken:YYYY-MM-DD hh.mm.ss} {model}', ['2024-07-13 14.02.11 EOS R5.jpg', '2024-07-14 08.30.00 X-T5.jpg', '2023-12-31 23.59.59 Z 6.jpg']);
  await rename(music, '{artist} - {album} - {track:2} {title}', ['Ana Moura - Casa - 07 Fado_Novo.mp3', 'Ana Moura - Casa - 12 Desfado.mp3']);
  check(fs.readFileSync(path.join(music, 'Ana Moura - Casa - 12 Desfado.mp3')).length > 0, 'a renamed song lost its data');
  return { photos, music };
}

/** After a restart: the History lists the batches; undoing the photos' batch (not the last) restores their names. */
export async function undoFromHistory(web, { photos }) {
  const exec = (script) => web.exec(script);
  await web.click('#history-btn');
  await until('the history', 10000, () => exec("return document.querySelectorAll('#history[open] .batch').length >= 2"));
  const titles = await exec("return [...document.querySelectorAll('#history .batch .folder')].map((f) => f.textContent)");
  check(titles[0].endsWith('Casa') && titles[1].endsWith('Camera'), `the history lists ${JSON.stringify(titles)}`);
  await web.click("(//li[contains(@class,'batch')])[2]/button[contains(@class,'batch-head')]", 'xpath');
  await web.click("//button[normalize-space()='Undo this batch']", 'xpath');
  await until('the preview of the undo', 10000, () => exec("return document.getElementById('sheet').open"));
  await web.click('#sheet-ok');
  const was = JSON.stringify(PHOTOS.map(([name]) => name).sort());
  await until('the photos have their old names on disk', 20000, () => JSON.stringify(fs.readdirSync(photos).sort()) === was);
}
