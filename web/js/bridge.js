// The page's end of the native channel: a promise per request, paired with its
// reply by id (replies may come in any order), and the drop notifications.

import { t } from './i18n/index.js';
import { itemsFromColumns } from './columns.js';
import { pathArg, textOfBase64 } from './bytes.js';

const PARTS = { parts: true, columns: true };

export { pathArg };

// the journal's paths whose text holds U+FFFD come as their bytes too
const RAW_KEYS = [['path', 'rawPath'], ['newPath', 'rawNewPath'], ['now', 'rawNow'], ['newName', 'rawNewName'], ['newFolder', 'rawNewFolder']];
export function withRawPaths(reply) {
  for (const e of Array.isArray(reply?.entries) ? reply.entries : []) {
    for (const [key, raw] of RAW_KEYS) if (typeof e?.[raw] === 'string') e[key] = textOfBase64(e[raw]);
  }
  return reply;
}
// Items of a long list written per turn of the page (see textOf).
const SLICE = 4096;

export class BridgeError extends Error {
  constructor(cmd, message, code = '') {
    super(message);
    this.name = 'BridgeError';
    this.cmd = cmd;
    this.code = code; // the native side's code, where it sends one
  }
}

/**
 * The envelope as the JSON text it is posted as, its list `key` written a
 * slice at a time with a turn for keys and the screen between slices:
 * 100,000 changes written at once held the page for a third of a second.
 */
async function textOf(envelope, key) {
  const list = envelope.args[key];
  const pieces = [];
  for (let k = 0; k < list.length; k += SLICE) {
    if (k) await new Promise((r) => setTimeout(r));
    pieces.push(JSON.stringify(list.slice(k, k + SLICE)).slice(1, -1));
  }
  const { [key]: _, ...rest } = envelope.args; // eslint-disable-line no-unused-vars
  const more = JSON.stringify(rest).slice(1, -1);
  return `{"id":${envelope.id},"cmd":${JSON.stringify(envelope.cmd)},"args":{${JSON.stringify(key)}:[${pieces.join(',')}]${more ? `,${more}` : ''}}}`;
}

/**
 * Makes a client over `post(envelope, text)` (`text`: the envelope's JSON,
 * when it is written already). Replies go to `client.resolveRaw`;
 * `onDrop` listeners get drop objects.
 */
export function createBridgeClient(post) {
  const pending = new Map();
  const dropListeners = new Set();
  let nextId = 1;

  // `onPart(folder, files, count)`: a listing asked for in parts hears of each
  // part as it arrives (count: records so far); the reply still holds them all.
  // Parts come as columns, made into items here.
  // `onProgress({done, failed, total})` hears a batch's progress. `sliced`:
  // the key of a list in `args` that may be long (see textOf).
  function request(cmd, args = {}, onPart = null, onProgress = null, sliced = '') {
    const id = nextId++;
    return new Promise((resolve, reject) => {
      pending.set(id, { resolve, reject, cmd, onPart, onProgress, parts: [], count: 0 });
      const envelope = { id, cmd, args };
      const failed = (e) => {
        pending.delete(id);
        reject(new BridgeError(cmd, t('bridge.unreachable', { reason: e.message })));
      };
      if (sliced && args[sliced].length > SLICE) {
        textOf(envelope, sliced).then((text) => post(envelope, text)).catch(failed);
        return;
      }
      try {
        post(envelope);
      } catch (e) {
        failed(e);
      }
    });
  }

  function resolveRaw(reply) {
    if (!reply || typeof reply !== 'object') return;
    const entry = pending.get(reply.id);
    if (!entry) return;
    pending.delete(reply.id);
    const payload = reply.payload;
    if (entry.parts.length && Array.isArray(payload?.files)) {
      const files = [];
      for (const part of [...entry.parts, payload.files]) for (const f of part) files.push(f);
      payload.files = files;
    }
    if (reply.ok === true) entry.resolve(payload);
    else entry.reject(new BridgeError(entry.cmd, typeof reply.payload === 'string' ? reply.payload : t('bridge.refused'), typeof reply.code === 'string' ? reply.code : ''));
  }

  function partRaw(part) {
    const entry = pending.get(part?.id);
    if (!entry) return;
    // a batch's progress: {done, failed, total}
    if (part.progress && typeof part.progress === 'object') { entry.onProgress?.(part.progress); return; }
    const files = Array.isArray(part.files) ? part.files
      : part.columns && typeof part.columns === 'object' ? itemsFromColumns(part.columns, String(part.folder ?? ''), entry.count) : null;
    if (!files) return;
    entry.parts.push(files);
    entry.count += files.length;
    entry.onPart?.(part.folder, files, entry.count);
  }

  function deliverDrop(drop) {
    if (!drop || typeof drop !== 'object' || !Array.isArray(drop.files)) return;
    for (const fn of dropListeners) fn(drop);
  }

  return {
    request,
    resolveRaw,
    partRaw,
    deliverDrop,
    onDrop(fn) { dropListeners.add(fn); return () => dropListeners.delete(fn); },
    get pendingCount() { return pending.size; },
    // `more` carries the extensions: {hidden: true}, and {start} for the chooser;
    // with `onPart` the listing comes in parts (see request).
    chooseFolder: (recursive, kind, more = {}, onPart = null) => request('chooseFolder', { recursive, kind, ...more, ...(onPart ? PARTS : {}) }, onPart),
    listFolder: (folder, recursive, kind, more = {}, onPart = null) => request('listFolder', { folder, recursive, kind, ...more, ...(onPart ? PARTS : {}) }, onPart),
    statPaths: (paths) => request('statPaths', { paths }),
    folderVolumes: (folders) => request('folderVolumes', { folders }),
    // `all`: every tag too, by its library key
    // `rawPaths`: names that are not UTF-8, as their bytes (answered with the same rawPath)
    readMedia: (paths, hash, all = false, rawPaths = []) => request('readMedia', { paths, ...(rawPaths.length ? { rawPaths } : {}), ...(hash ? { hash } : {}), ...(all ? { all: true } : {}) }),
    apply: (ops, batch = null) => request('apply', batch ? { ops, ...batch } : { ops }),
    // `onProgress({done, failed, total})` hears how far the batch is; the
    // fresh records come ahead of the reply as columns, joined into its
    // `files` (a dry run answers with results)
    runBatch: (changes, batch, onProgress = null) => request('runBatch', { changes, ...batch, ...(batch.dryRun ? {} : { columns: true, accessed: true }) }, null, onProgress, 'changes'),
    cancelBatch: (batch) => request('cancelBatch', { batch }),
    listBatches: (limit, before) => request('listBatches', before === undefined ? { limit } : { limit, before }),
    readBatch: (id) => request('readBatch', { id, locate: true }).then(withRawPaths),
    journalStatus: () => request('journalStatus'),
    pruneJournal: (keepBatches, keepDays) => request('pruneJournal', { keepBatches, keepDays }),
    exportBatch: (id, format) => request('exportBatch', { id, format }),
    reveal: (paths) => request('reveal', { paths }),
    thumbnail: (path, size) => request('thumbnail', { ...pathArg(path), size }),
    setMode: (kind) => request('setMode', { kind }),
    savePrefs: (data) => request('savePrefs', { data }),
    loadPrefs: () => request('loadPrefs', {}),
    // ready for the items given to the program from outside: {pending} of them come as a drop
    opened: () => request('opened', {}),
  };
}

/** Wires a client to the WebKit handler and the two global functions the native side calls. */
export function installBridge(win = window) {
  const handler = win.webkit?.messageHandlers?.bridge;
  const client = createBridgeClient((envelope, text = JSON.stringify(envelope)) => {
    if (!handler) throw new Error('no native bridge in this window');
    // as text: WebKit copies an object field by field (100,000 changes held
    // the page for two seconds), a string whole
    handler.postMessage(text);
  });
  win.__bridgeResolveRaw = client.resolveRaw;
  win.__bridgePartRaw = client.partRaw;
  win.__onDrop = client.deliverDrop;
  client.connected = Boolean(handler);
  return client;
}
