// What the page makes of the fields `readMedia` answers: the date taken as a
// moment, which configurations need those fields, and the lines the metadata
// panel shows. Pure: no DOM.

/** The date taken ("YYYY-MM-DDThh:mm:ss[.sss]", a local wall clock) as local milliseconds; 0 when absent. */
export function takenMs(fields) {
  const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(?:\.(\d{1,3}))?$/.exec(fields?.dateTaken || '');
  if (!m) return 0;
  const [, y, mo, d, h, mi, s, frac = '0'] = m;
  return new Date(+y, +mo - 1, +d, +h, +mi, +s, +frac.padEnd(3, '0')).getTime();
}

/** Whether an enabled rule of the chain names items by their date taken. */
export const rulesUseTaken = (rules) => rules.some((r) => r.enabled && r.type === 'date' && r.source === 'taken');

/** Whether the chain or the order uses the date taken, so media must be read. */
export function needsTaken(config) {
  return config.sort.key === 'taken' || rulesUseTaken(config.rules);
}

/** Each listed item's date taken (0 where unknown), by index. */
export function takenColumn(items, media) {
  const out = new Float64Array(items.length);
  for (let i = 0; i < items.length; i++) out[i] = takenMs(media.get(items[i].path));
  return out;
}

const secondsText = (s) => `${Math.floor(s / 60)}:${String(Math.round(s % 60)).padStart(2, '0')}`;
const join = (...parts) => parts.filter((p) => p !== undefined && p !== '').join(' · ');

/** [label, text] lines describing one file's media fields for the metadata panel. */
export function mediaLines(f) {
  if (!f) return [];
  if (f.error) return [['Contents', f.error]];
  const lines = [];
  const add = (label, text) => { if (text) lines.push([label, String(text)]); };
  add('Taken', f.dateTaken && `${f.dateTaken.replace('T', ' ')}${f.offset ? ` (${f.offset})` : ''}`);
  add('Camera', join(f.make, f.model));
  add('Lens', f.lens);
  add('Size', f.width && `${f.width} × ${f.height}`);
  add('Exposure', join(f.exposure && `${f.exposure} s`, f.fNumber && `f/${f.fNumber}`, f.iso && `ISO ${f.iso}`, f.focalLength && `${f.focalLength} mm`));
  add('Artist', f.artist);
  add('Album', join(f.album, f.year));
  add('Title', f.title);
  add('Track', f.track && `${f.track}${f.trackTotal ? ` of ${f.trackTotal}` : ''}`);
  add('Length', f.duration && secondsText(f.duration));
  add('Codec', f.codec);
  add('Author', f.author);
  add('Pages', f.pages);
  return lines;
}
