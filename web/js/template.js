// The template language: a pattern whose {tokens} are filled in for each item
// (its name, dates, counter, what is inside the file, its tags), each value
// shaped by a format after ":" and modifiers after "|". A pattern is parsed
// once into literal text and compiled tokens; filling one in is a loop over
// them. Pure: no DOM.

import { COLOR_LABELS } from './protocol.js';
import { dateFormatter, formatCounter, formatNumber, wallClockMs, COUNTER_FORMATS } from './formats.js';
import { compileModifiers } from './modifiers.js';
import { t } from './i18n/index.js';

/** Media fields by their `readMedia` key: text, and numbers that take a width. */
export const MEDIA_TEXT = ['make', 'model', 'lens', 'exposure', 'artist', 'albumArtist', 'album', 'title', 'genre', 'composer', 'author', 'fNumber'];
export const MEDIA_NUMBERS = ['iso', 'focalLength', 'width', 'height', 'track', 'trackTotal', 'disc', 'discTotal', 'year', 'pages', 'rating', 'duration'];
// Where the picture was taken: decimals ({gpsLat:5}), the sign always ({gpsLat:+5}), or degrees, minutes and seconds.
const GPS = ['gpsLat', 'gpsLon', 'gpsAlt'];
export const HASHES = ['md5', 'sha1', 'sha256', 'sha512', 'xxh32', 'xxh64', 'xxh3'];
const DATES = ['modified', 'created', 'accessed', 'taken', 'now', 'gpsTime'];
const WIDTH = /^\d{1,2}$/;

/** A pattern as literal strings and tokens {name, format, mods: [{name, arg}], text}; throws on a malformed one. */
export function parsePattern(pattern) {
  const parts = [];
  let lit = '';
  let i = 0;
  const at = (k) => pattern[k];
  // a format or an argument runs to the next "|" or "}"; "\|", "\}" and "\\" stand for themselves
  const readArg = () => {
    let a = '';
    while (i < pattern.length && at(i) !== '|' && at(i) !== '}') {
      if (at(i) === '\\' && '|}\\'.includes(at(i + 1) ?? 'x')) { a += at(i + 1); i += 2; } else a += at(i++);
    }
    return a;
  };
  const readName = () => {
    let s = '';
    while (i < pattern.length && !':|}'.includes(at(i))) s += at(i++);
    return s;
  };
  while (i < pattern.length) {
    const c = at(i);
    if ((c === '{' || c === '}') && at(i + 1) === c) { lit += c; i += 2; continue; }
    if (c === '}') throw new Error(t('tpl.loneBrace'));
    if (c !== '{') { lit += c; i++; continue; }
    const start = i++;
    const name = readName();
    let format = null;
    if (at(i) === ':') { i++; format = readArg(); }
    const mods = [];
    while (at(i) === '|') {
      i++;
      const mod = { name: readName(), arg: null };
      if (at(i) === ':') { i++; mod.arg = readArg(); }
      mods.push(mod);
    }
    if (at(i) !== '}') throw new Error(t('tpl.unclosed', { start: pattern.slice(start, start + 12) }));
    i++;
    if (lit) { parts.push(lit); lit = ''; }
    parts.push({ name, format, mods, text: pattern.slice(start, i) });
  }
  if (lit) parts.push(lit);
  return parts;
}

const padded = (value, format) => (format && /^-?\d+$/.test(value) ? formatNumber(Number(value), Number(format)) : value);
const noFormat = (tok) => {
  if (tok.format !== null) throw new Error(t('tpl.noFormat', { token: tok.text, name: tok.name }));
};
const width = (tok) => {
  if (tok.format !== null && !WIDTH.test(tok.format)) throw new Error(t('tpl.width', { token: tok.text }));
  return tok.format;
};

/**
 * What one token reads from an item: get(env) gives its text, or undefined when
 * the item lacks it (then `missing` names what it lacks). env: {parts, match,
 * item, media, taken (ms, 0 when unknown), now}.
 */
function reader(tok, groups) {
  // a named group by its bare name too ({event}): the match's own names come first
  if (groups.names.has(tok.name)) return reader({ ...tok, name: `<${tok.name}>` }, groups);
  const { name } = tok;
  switch (name) {
    case 'name': noFormat(tok); return { get: (e) => e.parts.base };
    case 'ext': noFormat(tok); return { get: (e) => e.parts.ext };
    case 'full': noFormat(tok); return { get: (e) => (e.parts.ext === '' ? e.parts.base : `${e.parts.base}.${e.parts.ext}`) };
    case 'parent': {
      const up = tok.format === null ? 1 : Number(tok.format);
      if (!(up >= 1 && up <= 99 && WIDTH.test(tok.format ?? '1'))) throw new Error(t('tpl.level', { token: tok.text }));
      return { missing: 'parent folder', get: (e) => (e.item.dir || '').split('/').filter(Boolean).at(-up) };
    }
    case 'tags': noFormat(tok); return { get: (e) => (e.item.tags || []).join(', ') };
    case 'label': noFormat(tok); return { get: (e) => (e.item.label ? COLOR_LABELS[e.item.label] || '' : '') };
    case 'comment': noFormat(tok); return { get: (e) => e.item.comment || '' };
    case 'meta': {
      if (!tok.format) throw new Error(t('tpl.metaKey', { token: tok.text }));
      return { media: true, missing: tok.format, get: (e) => metaValue(e.media?.tags, tok.format) };
    }
    case 'hash': {
      const [alg, cut, extra] = (tok.format ?? '').split(':');
      if (!HASHES.includes(alg) || extra !== undefined || (cut !== undefined && !/^\d{1,3}$/.test(cut))) {
        throw new Error(t('tpl.digest', { token: tok.text }));
      }
      return { missing: `${alg} digest`, hash: alg, get: (e) => { const h = e.media?.hash?.[alg]; return h && cut ? h.slice(0, Number(cut)) : h; } };
    }
  }
  if (DATES.includes(name)) {
    const fmt = dateFormatter(tok.format || 'YYYY-MM-DD');
    if (name === 'now') return { get: (e) => fmt(e.now) };
    // the satellites' clock, in UTC as recorded
    if (name === 'gpsTime') return { media: true, missing: 'GPS time', get: (e) => { const ms = wallClockMs(e.media?.gpsTime); return ms ? fmt(ms) : undefined; } };
    if (name === 'modified') return { get: (e) => (e.item.modified ? fmt(e.item.modified) : undefined), missing: 'modified date' };
    if (name === 'created') return { get: (e) => (e.item.created ? fmt(e.item.created) : undefined), missing: 'created date' };
    if (name === 'accessed') return { get: (e) => (e.item.accessed ? fmt(e.item.accessed) : undefined), missing: 'accessed date' };
    // no date taken: the modified date, with the warning the Date rule gives
    return { taken: true, get: (e) => { const ms = e.taken || e.item.modified; return ms ? fmt(ms) : undefined; } };
  }
  if (MEDIA_TEXT.includes(name)) { noFormat(tok); return { media: true, missing: name, get: (e) => text(e.media?.[name]) }; }
  if (GPS.includes(name)) {
    const f = tok.format ?? '';
    const places = /^(\+?)(\d{0,2})$/.exec(f);
    if (!places && !(f === 'dms' && name !== 'gpsAlt')) throw new Error(t('tpl.gpsFormat', { token: tok.text }));
    const write = f === 'dms' ? (v) => dms(v, name === 'gpsLat' ? 'NS' : 'EW')
      : (v) => (places[1] && v >= 0 ? '+' : '') + (places[2] ? v.toFixed(Number(places[2])) : String(v));
    return { media: true, missing: name, get: (e) => { const v = e.media?.[name]; return typeof v === 'number' ? write(v) : undefined; } };
  }
  if (MEDIA_NUMBERS.includes(name)) {
    const w = width(tok);
    const whole = name === 'duration' ? Math.trunc : (x) => x;
    return { media: true, missing: name, get: (e) => { const v = e.media?.[name]; return v === undefined || v === null ? undefined : padded(String(whole(v)), w); } };
  }
  const group = /^(?:(\d)|<(.+)>)$/.exec(name);
  if (group) {
    if (group[1] !== undefined ? Number(group[1]) < 1 || Number(group[1]) > groups.count : !groups.names.has(group[2])) {
      throw new Error(t('tpl.noGroup', { token: tok.text }));
    }
    const w = width(tok);
    const pick = group[1] !== undefined ? (m) => m[Number(group[1])] : (m) => m.groups[group[2]];
    return { get: (e) => padded((e.match && pick(e.match)) ?? '', w) };
  }
  throw new Error(t('tpl.unknownToken', { token: tok.text }));
}
const text = (v) => (v === undefined || v === null ? undefined : String(v));

/** A coordinate in degrees, minutes and seconds, its hemisphere a letter of `letters` (north or east first): 43°28'2.81"N. */
function dms(v, letters) {
  const hundredths = Math.round(Math.abs(v) * 360000); // of a second: rounded once, carried whole
  const deg = Math.floor(hundredths / 360000), min = Math.floor((hundredths % 360000) / 6000);
  const sec = (hundredths % 6000) / 100;
  return `${deg}°${min}'${sec}"${letters[v < 0 ? 1 : 0]}`;
}

// A key's families when it is named by its last part alone: as readMedia
// gives them, the picture's own (Exif) before XMP before IPTC.
const FAMILIES = ['Exif.', 'Xmp.', 'Iptc.', ''];

/** The tag `key` of `tags` (readMedia's `tags`): the full key, or the first whose last part it is. */
export function metaValue(tags, key) {
  if (!tags) return undefined;
  if (Object.hasOwn(tags, key)) return tags[key];
  const end = `.${key}`;
  for (const family of FAMILIES) for (const k in tags) if (k.startsWith(family) && k.endsWith(end)) return tags[k];
  return undefined;
}

/**
 * One token of a pattern compiled: `counter` tokens are filled in by the rule
 * (with `number`); the others by `fill(env, warn)`. Values never bring a "/"
 * or a NUL into a name.
 */
export function compileToken(tok, groups = { count: 0, names: new Set() }) {
  const mods = compileModifiers(tok);
  const clean = (s) => (s.includes('/') || s.includes('\0') ? s.replace(/[/\0]/g, '_') : s);
  if (tok.name === 'n') {
    const f = tok.format ?? '';
    if (f !== '' && f !== 'auto' && !WIDTH.test(f) && !COUNTER_FORMATS.includes(f)) throw new Error(t('tpl.counterFormat', { token: tok.text }));
    // read once: a preview numbers 100,000 items
    const width = WIDTH.test(f) ? Number(f) : 0;
    const style = width || f === 'auto' ? '' : f;
    return {
      counter: true,
      auto: f === 'auto',
      number: (n, autoPad) => clean(mods.apply(formatCounter(n, style, f === 'auto' ? autoPad : width))),
    };
  }
  const r = reader(tok, groups);
  return {
    ...r,
    fill(env, warn) {
      const v = r.get(env);
      if (r.taken && !env.taken && !env.item.isDir) warn('date taken');
      else if (v === undefined && r.missing && !mods.hasDefault) warn(r.missing);
      // a default says what to write where a value is lacking: no warning then
      return clean(mods.apply(v ?? '', mods.hasDefault ? () => {} : warn));
    },
  };
}

/** What a pattern needs read from inside the files: the date taken, media fields, digests. */
export function patternNeeds(pattern) {
  const needs = { taken: false, media: false, all: false, hashes: [] };
  let parts;
  try { parts = parsePattern(pattern); } catch { return needs; }
  for (const t of parts) {
    if (typeof t === 'string') continue;
    if (t.name === 'taken') needs.taken = true;
    else if (MEDIA_TEXT.includes(t.name) || MEDIA_NUMBERS.includes(t.name)) needs.media = true;
    else if (t.name === 'meta') needs.media = needs.all = true;
    else if (GPS.includes(t.name) || t.name === 'gpsTime') needs.media = true;
    else if (t.name === 'hash') {
      const alg = (t.format ?? '').split(':')[0];
      if (HASHES.includes(alg) && !needs.hashes.includes(alg)) needs.hashes.push(alg);
    }
  }
  return needs;
}
