// A folder of small real photos, as a camera leaves them: JPEGs made by
// ffmpeg, each with its own date taken and one of three camera models
// written by exiftool (one process for all of them); every third one tagged,
// some with more tags than their column shows.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const MODELS = ['Canon EOS R6', 'NIKON Z 6_2', 'Pixel 7a'];
const TAGS = ['Holiday', 'Holiday,Beach,Family,Print', 'Scan'];

export function photos(folder, n) {
  fs.mkdirSync(folder, { recursive: true });
  execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-f', 'lavfi', '-i', 'testsrc2=size=640x480:rate=1', '-frames:v', String(n), '-q:v', '6', path.join(folder, 'IMG_%04d.JPG')]);
  const args = [];
  for (let i = 1; i <= n; i++) {
    const day = String(1 + (i % 28)).padStart(2, '0');
    const time = `${String(8 + (i % 12)).padStart(2, '0')}:${String(i % 60).padStart(2, '0')}:00`;
    args.push('-overwrite_original', `-DateTimeOriginal=2024:07:${day} ${time}`, `-Model=${MODELS[i % 3]}`, `-Make=${MODELS[i % 3].split(' ')[0]}`, path.join(folder, `IMG_${String(i).padStart(4, '0')}.JPG`), '-execute');
  }
  const argFile = path.join(folder, '..', 'exiftool-args');
  fs.writeFileSync(argFile, args.join('\n') + '\n');
  execFileSync('exiftool', ['-q', '-@', argFile]);
  fs.rmSync(argFile);
  for (let i = 3; i <= n; i += 3) execFileSync('setfattr', ['-n', 'user.xdg.tags', '-v', TAGS[(i / 3) % 3], path.join(folder, `IMG_${String(i).padStart(4, '0')}.JPG`)]);
}
