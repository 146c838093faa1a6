// Camera clocks: each camera's time offset, added to the date its photos
// were taken wherever the page uses it (tokens, the Date rule, the sort, the
// list), so that two cameras and a phone make one timeline. Nothing is
// written into the files. Pure: no DOM.

// offsets within a century, each way; a settled number of cameras
const MOST_MINUTES = 100 * 366 * 24 * 60;
export const MAX_CLOCKS = 100;

/** The camera that took a file, as "Make Model"; '' when `readMedia` named none. */
export function cameraOf(fields) {
  const make = String(fields?.make ?? '').trim();
  const model = String(fields?.model ?? '').trim();
  // many models repeat the make ("Canon Canon EOS R6")
  return model.toLowerCase().startsWith(make.toLowerCase()) ? model : `${make} ${model}`.trim();
}

/** The cameras of `items` that `media` (path -> fields) knows, with how many files each took, most first. */
export function camerasIn(items, media) {
  const counts = new Map();
  for (const it of items) {
    const camera = cameraOf(media.get(it.path));
    if (camera) counts.set(camera, (counts.get(camera) || 0) + 1);
  }
  return [...counts].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1));
}

/**
 * An offset typed as "[+|-][D d] [H]H:MM" or "[+|-]M" minutes ("-1:30",
 * "+2d 3:00", "2d", "45") in minutes; null when it is none of these.
 */
export function parseOffset(text) {
  const m = /^\s*([+-]?)\s*(?:(\d+)\s*d)?\s*(?:(\d+):([0-5]\d)|(\d+))?\s*$/i.exec(String(text));
  if (!m || (m[2] === undefined && m[3] === undefined && m[5] === undefined)) return null;
  const minutes = Number(m[2] || 0) * 1440 + (m[3] !== undefined ? Number(m[3]) * 60 + Number(m[4]) : Number(m[5] || 0));
  return minutes > MOST_MINUTES ? null : m[1] === '-' ? -minutes : minutes;
}

/** Minutes as parseOffset reads them back: "+2d 3:00", "-0:45", "0:00". */
export function offsetText(minutes) {
  const sign = minutes < 0 ? '-' : minutes > 0 ? '+' : '';
  const m = Math.abs(minutes);
  const days = Math.floor(m / 1440);
  const rest = m % 1440;
  return `${sign}${days ? `${days}d ` : ''}${Math.floor(rest / 60)}:${String(rest % 60).padStart(2, '0')}`;
}

/** Saved offsets as the page trusts them: camera names to whole minutes within bounds, at most MAX_CLOCKS. */
export function sanitizeClocks(raw) {
  const out = {};
  if (!raw || typeof raw !== 'object' || Array.isArray(raw)) return out;
  for (const [camera, minutes] of Object.entries(raw).slice(0, MAX_CLOCKS)) {
    if (camera && camera.length <= 200 && Number.isInteger(minutes) && minutes !== 0 && Math.abs(minutes) <= MOST_MINUTES) out[camera] = minutes;
  }
  return out;
}
