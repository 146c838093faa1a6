import { test } from 'node:test';
import assert from 'node:assert/strict';
import { newRule, compileChain, evaluateAll } from '../../../web/js/rules.js';
import { computePreview } from '../../../web/js/preview-core.js';
import { issueWord, rowWord, warningCounts } from '../../../web/js/conflicts.js';
import { rulesNeed } from '../../../web/js/media.js';
import { record } from './records.js';

const jul13 = new Date(2024, 6, 13, 9, 5, 3, 40).getTime();
const file = (name, extra) => record('/photos/2024', name, { modified: jul13, ...extra });

/** New names and the values each item lacked, under one template rule. */
function fill(names, opts, media = null) {
  const chain = compileChain([newRule('template', { id: 't', ...opts })]);
  assert.deepEqual(chain.errors, {}, opts.pattern);
  const items = names.map((n) => (typeof n === 'string' ? file(n) : n));
  const missing = [];
  const out = evaluateAll(chain, items, items.map((_, i) => i), [], { media, missing });
  return { out, missing };
}

const song = { artist: 'AC/DC', album: 'Back in Black', track: 7, title: 'Shoot to Thrill', duration: 317.9, year: 1980, hash: { sha256: 'abcdef12', xxh3: '78af5f94892f3950' } };

/** [names, rule options, new names, media by item (optional), missing by item (optional)] */
const CASES = [
  // the name at this rule, its folder and the one above; the extension is kept unless the target says otherwise
  [['a.b.jpg'], { pattern: '{name}|{ext}|{full}|{parent}|{parent:2}' }, ['a.b|jpg|a.b.jpg|2024|photos.jpg']],
  [['a.jpg'], { pattern: '{name}.{ext|upper}', target: 'both' }, ['a.JPG']],
  [['a.jpg'], { pattern: 'x{ext}', target: 'ext' }, ['a.xjpg']],
  [['a.jpg'], { pattern: '{parent:3}' }, ['.jpg'], null, [['parent folder']]],
  // counters: start and step, widths, auto, styles; restarts per folder or per distinct name
  [['a', 'b', 'c'], { pattern: '{n}-{n:3}-{n:roman}-{n:ALPHA}-{n:hex}', start: 9, step: 2 }, ['9-009-ix-I-9', '11-011-xi-K-b', '13-013-xiii-M-d']],
  [Array.from({ length: 10 }, (_, i) => `f${i}`), { pattern: '{n:auto}', start: 1 }, ['01', '02', '03', '04', '05', '06', '07', '08', '09', '10']],
  [['a', 'b', file('c', { dir: '/x' }), 'd'], { pattern: '{n}', restart: 'folder' }, ['1', '2', '1', '3']],
  // numbers skipped are never given; the counter goes on past them, its width from the last it gives
  [['a', 'b', 'c'], { pattern: '{n:auto}', start: 8, skip: '9-99, 101' }, ['008', '100', '102']],
  [['a', 'b', 'c'], { pattern: '{n}', start: 20, step: -2, skip: '14-18' }, ['20', '12', '10']],
  [['a', 'b', file('c', { modified: 0 }), 'd'], { pattern: '{modified:MM}-{n:auto}', restart: 'group', step: 5 }, ['07-01', '07-06', '-1', '07-11'], null, [, , ['modified date']]],
  // match: groups by number and name, padded; items it skips keep their names and take no number
  [['IMG_7.jpg', 'notes.txt', 'IMG_42.jpg'], { pattern: '{1:3} {<k>} {n}', match: 'IMG_(?<k>\\d+)' }, ['007 7 1.jpg', 'notes.txt', '042 42 2.jpg']],
  [['ab.txt'], { pattern: '[{2}]', match: 'a|(b)(c)?' }, ['[].txt']],
  // every match takes the pattern with its own groups; an item's number is one for all its matches
  [['IMG_7_12_3456.jpg', 'x.jpg'], { pattern: '{1:3}', match: '(\\d+)', every: true }, ['IMG_007_012_3456.jpg', 'x.jpg']],
  [['a1b2', 'c3'], { pattern: '<{n}{<d>}>', match: '(?<d>\\d)', every: true }, ['a<11>b<12>', 'c<23>']],
  // dates in the system's language, literal text in brackets, the date taken falling back to modified
  [['a.jpg', 'b.jpg'], { pattern: '{taken:YYYY-MM-DD hh.mm.ss.SSS} {created:YY|default:none}' }, ['2024-07-13 09.05.03.040 none.jpg', '2024-07-13 09.05.03.040 none.jpg'], null, [['date taken'], ['date taken']]],
  [['a'], { pattern: '{modified:D M [YYYY] YY}' }, ['13 7 YYYY 24']],
  [[file('a', { accessed: jul13 + 86400000 }), 'b'], { pattern: '{accessed:DD}' }, ['14', ''], null, [, ['accessed date']]],
  // media fields, widths, whole seconds, digests cut; absent values warn unless a default is given; "/" never passes
  [['song.mp3', 'other.mp3'], { pattern: '{artist} - {track:2} {title|lower} {duration} {hash:sha256:4} {hash:xxh3:6} {album|default:none}' },
    ['AC_DC - 07 shoot to thrill 317 abcd 78af5f Back in Black.mp3', '- none.mp3'], [song, {}], [, ['artist', 'track', 'title', 'duration', 'sha256 digest', 'xxh3 digest']]],
  // a space an empty value would double, or leave first or last before the extension, goes; the pattern's own stay
  [['a.mp3', 'b.mp3', 'c.mp3'], { pattern: '{artist} - {album} - {track:2} {title}' }, ['AC_DC - Back in Black - 07.mp3', 'A - - 01 T.mp3', '- - 01.mp3'],
    [{ ...song, title: undefined }, { artist: 'A', track: 1, title: 'T' }, { track: 1 }], [['title'], ['album'], ['artist', 'album', 'title']]],
  [['a.mp4', 'b.mp4'], { pattern: '{modified:YYYY} {model}.{ext}  {comment}x', target: 'both' }, ['2024.mp4  x', '2024 M.mp4  x'], [{}, { model: 'M' }], [['model']]],
  [['x.jpg'], { pattern: '{make}{model}' }, ['.jpg'], [{ error: 'took too long to read' }], [['make', 'model']]],
  // where and when the satellites saw it: decimals, the sign always, degrees, minutes and seconds; the GPS clock in UTC
  [['p.jpg', 'q.jpg', 's.mp3'], { pattern: '{gpsLat:dms} {gpsLon:dms} {gpsLat:+2} {gpsLon:1} {gpsAlt} {gpsTime:YYYY-MM-DD hh.mm} {composer} {discTotal:2}' },
    ['43°28\'2.81"N 2°15\'0"W +43.47 -2.3 -35 2024-07-13 12.02.jpg', '.jpg', 'Bea 02.mp3'],
    [{ gpsLat: 43.467447, gpsLon: -2.25, gpsAlt: -35, gpsTime: '2024-07-13T12:02:11Z' }, {}, { composer: 'Bea', discTotal: 2 }],
    [['composer', 'discTotal'], ['gpsLat', 'gpsLon', 'gpsAlt', 'GPS time', 'composer', 'discTotal'], ['gpsLat', 'gpsLon', 'gpsAlt', 'GPS time']]],
  // every tag by its key or its last part, the picture's own before XMP before IPTC; "/" never passes
  [['a.jpg', 'b.jpg'], { pattern: '{meta:Exif.Photo.LensModel} {meta:City} {meta:ARTIST}' }, ['RF50 Bonn.jpg', 'AC_DC.jpg'],
    [{ tags: { 'Exif.Photo.LensModel': 'RF50', 'Iptc.Application2.City': 'Köln', 'Xmp.photoshop.City': 'Bonn' } }, { tags: { ARTIST: 'AC/DC' } }],
    [['ARTIST'], ['Exif.Photo.LensModel', 'City']]],
  // the item's tags, colour label and comment; empty ones are simply empty
  [[file('a.jpg', { tags: ['sea', 'sun'], label: 6, comment: 'x/y' }), 'b.jpg'], { pattern: '[{tags}][{label}][{comment}]' }, ['[sea, sun][Red][x_y].jpg', '[][][].jpg']],
  // modifiers left to right, escapes, literal braces
  [['  Crème Brûlée  '], { pattern: '{name|trim|slug}|{name|ascii|upper|trim}|{name|trim|first:3}{name|trim|last:2}|{{}}' }, ['creme-brulee|CREME BRULEE|Crèée|{}']],
  [['hello WORLD'], { pattern: '{name|title} {name|sentence} {comment|default:a\\|b\\}c}' }, ['Hello World Hello world a|b}c']],
  [['Æsir Łódź ı Ŧ ① ﬁ 日本'], { pattern: '{name|ascii}/{name|slug}' }, ['AEsir Lodz i T 1 fi 日本/aesir-lodz-i-t-1-fi']],
  // Unicode normal forms; whole seconds and milliseconds since 1970
  [['e\u0301 ﬁ①'], { pattern: '{name|nfc}|{name|nfd}|{name|nfkc}|{name|nfkd}' }, ['\u00e9 ﬁ①|e\u0301 ﬁ①|\u00e9 fi1|e\u0301 fi1']],
  [['a'], { pattern: '{modified:X} {modified:[x]x}' }, [`${Math.floor(jul13 / 1000)} x${jul13}`]],
  // a number added keeps its width; text that is no whole number stays, with a warning
  [['IMG_007.jpg', 'IMG_99.jpg', 'IMG_x1.jpg'], { pattern: '{1|add:5} {1|add:-8}', match: 'IMG_(.+)' }, ['012 -001.jpg', '104 91.jpg', 'x1 x1.jpg'], null, [, , ['number in x1']]],
  // a date read from the name and written anew; one that is no real day leaves the value empty, with a warning
  [['Shot 2022-06-03 14-22-01.png', 'Shot 2022-02-30 14-22-01.png', 'Shot 7 June 22.png'],
    { pattern: '{1|date:YYYY-MM-DD hh-mm-ss|fmt:YYYY-MM [at] hh}{1|date:D MMMM YY|default:none}', match: 'Shot (.+)' },
    ['2022-06 at 14none.png', 'none.png', '2022-06-07.png'], null, [, ['date in 2022-02-30 14-22-01'], ['date in 7 June 22']]],
];

test('a template fills in its tokens, formats and modifiers', () => {
  for (const [names, opts, want, media = null, missing = []] of CASES) {
    const got = fill(names, opts, media);
    assert.deepEqual(got.out, want, opts.pattern);
    assert.deepEqual(got.missing, missing, `${opts.pattern}: missing values`);
  }
});

test('a malformed template is its rule\'s error and renames nothing', () => {
  for (const [opts, error] of [
    [{ pattern: '{nope}' }, /unknown token \{nope\}/], [{ pattern: 'a}' }, /lone "}"/], [{ pattern: '{name' }, /no closing/],
    [{ pattern: '{name|shout}' }, /unknown modifier \|shout/], [{ pattern: '{name|first:x}' }, /needs a number/], [{ pattern: '{name|upper:2}' }, /takes no argument/],
    [{ pattern: '{n:words}' }, /unknown counter format/], [{ pattern: '{artist:2}' }, /takes no format/], [{ pattern: '{track:x}' }, /width/],
    [{ pattern: '{hash:crc}' }, /name the digest/], [{ pattern: '{2}', match: '(a)' }, /no such group/], [{ pattern: '{<y>}', match: '(?<x>a)' }, /no such group/],
    [{ pattern: '{1}' }, /no such group/], [{ pattern: 'x', match: '(' }, /invalid regular expression/],
    [{ pattern: '{n}', skip: '5-3' }, /skip: write numbers/], [{ pattern: '{meta}' }, /name the field/], [{ pattern: '{gpsAlt:dms}' }, /a coordinate takes/], [{ pattern: '{name|add:x}' }, /whole number to add/], [{ pattern: '{name|date}' }, /needs a date format/], [{ pattern: '{name|fmt:YYYY}' }, /writes the date the \|date before it read/],
  ]) {
    const chain = compileChain([newRule('template', { id: 't', ...opts })]);
    assert.match(chain.errors.t || '', error, opts.pattern);
    assert.equal(chain.run(file('keep.jpg'), {}), 'keep.jpg');
  }
});

test('the preview warns per missing value, and the rules say which contents to read', () => {
  const items = ['a.mp3', 'b.mp3'].map((n) => file(n));
  const rules = [newRule('template', { pattern: '{artist}_{hash:md5}{hash:sha1}_{taken}' })];
  const p = computePreview({ items, rules, filter: {}, sort: { key: 'name', dir: 1 }, media: [song, undefined], dateTaken: new Float64Array([jul13, 0]) });
  assert.deepEqual(p.check.problems[1], [['missing', 'artist'], ['missing', 'md5 digest'], ['missing', 'sha1 digest'], ['noTaken']]);
  assert.equal(issueWord('missing', 'artist'), 'no artist');
  // a row names every value it lacks; the Apply sheet counts each warning over the rows whose worst it is
  const lists = [[['missing', 'model']], [['missing', 'model'], ['noTaken']], [['case', 'X'], ['missing', 'model']], [['dup', 2], ['missing', 'model']]];
  assert.deepEqual([p.check.problems[1], ...lists].map(rowWord), ['no artist, md5 digest, sha1 digest, date taken', 'no model', 'no model, date taken', 'case', issueWord('dup')]);
  assert.deepEqual(warningCounts(lists), [['no model', 3], ['no date taken', 1], ['case', 1]]);
  assert.deepEqual(rulesNeed(rules), { taken: true, media: true, all: false, hashes: ['md5', 'sha1'] });
  assert.deepEqual(rulesNeed([{ ...rules[0], enabled: false }, newRule('template', { pattern: '{name} {{artist}}' })]), { taken: false, media: false, all: false, hashes: [] });
  assert.deepEqual(rulesNeed([newRule('template', { pattern: '{meta:LensModel}' })]), { taken: false, media: true, all: true, hashes: [] });
});

test('a date of the day alone is written for each local day, across midnight and both clock changes', async () => {
  const { dateFormatter } = await import('../../../web/js/formats.js');
  const zone = process.env.TZ;
  process.env.TZ = 'Europe/Berlin';
  try {
    const day = dateFormatter('YYYY-MM-DD ddd', 'en');
    const at = (utc) => day(Date.parse(utc));
    // one after the other, as a listing's files come: each next to the day before or after it
    assert.deepEqual(['2024-03-30T22:59:00Z', '2024-03-30T23:30:00Z', '2024-03-31T21:59:00Z', '2024-03-31T22:00:00Z', '2024-03-30T23:00:00Z',
      '2024-10-26T22:30:00Z', '2024-10-27T22:59:59.999Z', '2024-10-27T23:00:00Z', '2024-10-26T21:59:59.999Z'].map(at),
    ['2024-03-30 Sat', '2024-03-31 Sun', '2024-03-31 Sun', '2024-04-01 Mon', '2024-03-31 Sun',
      '2024-10-27 Sun', '2024-10-27 Sun', '2024-10-28 Mon', '2024-10-26 Sat']);
  } finally {
    if (zone === undefined) delete process.env.TZ; else process.env.TZ = zone;
  }
});

test('dates are read back from text in a format, whole or not at all', async () => {
  const { dateFormatter, dateReader } = await import('../../../web/js/formats.js');
  const show = dateFormatter('YYYY-MM-DD hh:mm:ss.SSS');
  for (const [format, text, want] of [
    ['YYYY-MM-DD hh-mm-ss', '2022-06-03 14-22-01', '2022-06-03 14:22:01.000'], ['[IMG]YY.M.D SSS', 'IMG99.1.2 045', '1999-01-02 00:00:00.045'],
    ['YY', '68', '2068-01-01 00:00:00.000'], ['MMMM D, ddd', 'june 3, Fri', '1970-06-03 00:00:00.000'],
    ['X', String(Math.floor(jul13 / 1000)), show(jul13 - 40)], ['x', String(jul13), show(jul13)],
    ['DD', '32', undefined], ['hh:mm', '24:00', undefined], ['YYYY', '2022x', undefined], ['MM-DD', '02-30', undefined],
  ]) {
    const ms = dateReader(format)(text);
    assert.equal(ms === undefined ? undefined : show(ms), want, `${format} ${text}`);
  }
});
