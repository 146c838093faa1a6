// The saved configuration: one JSON string kept by the native side. Reading it
// never trusts it; writing keeps it bounded. Pure: no DOM.

import { sanitizeRule } from './rules.js';
import { DEFAULT_UNIQUE, uniquePattern } from './unique.js';
import { sanitizeClocks } from './clocks.js';

export const CONFIG_VERSION = 1;
export const MAX_RECENT = 10;
export const MAX_PRESETS = 100;

const MODES = ['files', 'folders', 'tree'];
const SORT_KEYS = ['native', 'name', 'newName', 'size', 'modified', 'created', 'taken', 'folder'];

export function defaultConfig() {
  return {
    rules: [],
    mode: 'files',
    scope: 'all',
    folders: false, // a "/" a rule writes makes folders
    destination: null, // the folder renamed items move into, else their own
    removeEmptied: false, // after a batch, the folders it emptied go
    copy: false, // items are copied to their new places, the originals kept
    unique: false, // colliding new names are numbered apart
    companions: false, // raw files, twins and sidecars follow their photo
    clocks: {}, // camera -> minutes added to its dates taken
    portable: false, // every name checked as FAT and Windows take it
    uniquePattern: DEFAULT_UNIQUE, // how: " ({k})" gives "Photo (2).jpg"
    tagDuplicates: false, // a colliding file with the content of the one holding its name is tagged instead
    sort: { key: 'native', dir: 1 },
    filterMode: 'text',
    columns: {},
    presets: [],
    recent: [],
    lastFolder: null,
    showHidden: false,
    journalBatches: 1000,
    journalDays: 90,
  };
}

const str = (v, d) => (typeof v === 'string' ? v : d);

/** Parses saved text; anything missing or malformed falls back to the defaults. */
export function parseConfig(text) {
  const cfg = defaultConfig();
  if (typeof text !== 'string' || text === '') return cfg;
  let raw;
  try { raw = JSON.parse(text); } catch (_) { return cfg; }
  if (!raw || typeof raw !== 'object') return cfg;
  const rules = (list) => (Array.isArray(list) ? list.map(sanitizeRule).filter(Boolean) : []);
  cfg.rules = rules(raw.rules);
  if (MODES.includes(raw.mode)) cfg.mode = raw.mode;
  if (raw.scope === 'selection') cfg.scope = 'selection';
  cfg.folders = raw.folders === true;
  cfg.removeEmptied = raw.removeEmptied === true;
  cfg.copy = raw.copy === true;
  cfg.unique = raw.unique === true;
  cfg.tagDuplicates = raw.tagDuplicates === true;
  cfg.companions = raw.companions === true;
  cfg.clocks = sanitizeClocks(raw.clocks);
  cfg.portable = raw.portable === true;
  if (typeof raw.uniquePattern === 'string') cfg.uniquePattern = uniquePattern(raw.uniquePattern.slice(0, 64));
  cfg.destination = typeof raw.destination === 'string' && raw.destination.startsWith('/') ? raw.destination : null;
  if (raw.sort && SORT_KEYS.includes(raw.sort.key)) cfg.sort = { key: raw.sort.key, dir: raw.sort.dir === -1 ? -1 : 1 };
  if (['text', 'glob', 'regex'].includes(raw.filterMode)) cfg.filterMode = raw.filterMode;
  if (raw.columns && typeof raw.columns === 'object') {
    for (const [k, v] of Object.entries(raw.columns)) if (Number.isFinite(v) && v >= 40 && v <= 2000) cfg.columns[k] = v;
  }
  if (Array.isArray(raw.presets)) {
    cfg.presets = raw.presets
      .filter((p) => p && typeof p.name === 'string' && p.name !== '')
      .slice(0, MAX_PRESETS)
      .map((p) => ({
        name: p.name, rules: rules(p.rules), ...(p.folders === true ? { folders: true } : {}), ...(p.companions === true ? { companions: true } : {}),
        ...(Object.keys(sanitizeClocks(p.clocks)).length ? { clocks: sanitizeClocks(p.clocks) } : {}),
        ...(p.unique === true ? { unique: true, uniquePattern: uniquePattern(String(p.uniquePattern ?? DEFAULT_UNIQUE).slice(0, 64)), ...(p.tagDuplicates === true ? { tagDuplicates: true } : {}) } : {}),
      }));
  }
  if (Array.isArray(raw.recent)) cfg.recent = raw.recent.filter((p) => typeof p === 'string').slice(0, MAX_RECENT);
  cfg.lastFolder = str(raw.lastFolder, null);
  cfg.showHidden = raw.showHidden === true;
  const bounded = (v, lo, hi, d) => (Number.isInteger(v) && v >= lo && v <= hi ? v : d);
  cfg.journalBatches = bounded(raw.journalBatches, 1, 100000, cfg.journalBatches);
  cfg.journalDays = bounded(raw.journalDays, 1, 36500, cfg.journalDays);
  return cfg;
}

/** The text to save. */
export function serializeConfig(cfg) {
  const out = {
    v: CONFIG_VERSION,
    rules: cfg.rules,
    mode: cfg.mode,
    scope: cfg.scope,
    folders: cfg.folders,
    destination: cfg.destination,
    removeEmptied: cfg.removeEmptied,
    copy: cfg.copy,
    unique: cfg.unique,
    companions: cfg.companions,
    clocks: cfg.clocks,
    portable: cfg.portable,
    uniquePattern: cfg.uniquePattern,
    tagDuplicates: cfg.tagDuplicates,
    sort: cfg.sort,
    filterMode: cfg.filterMode,
    columns: cfg.columns,
    presets: cfg.presets.slice(0, MAX_PRESETS),
    recent: cfg.recent.slice(0, MAX_RECENT),
    lastFolder: cfg.lastFolder,
    showHidden: cfg.showHidden,
    journalBatches: cfg.journalBatches,
    journalDays: cfg.journalDays,
  };
  return { text: JSON.stringify(out) };
}

/** Puts `folder` first in the recent list, without duplicates. */
export function addRecent(recent, folder) {
  return [folder, ...recent.filter((p) => p !== folder)].slice(0, MAX_RECENT);
}
