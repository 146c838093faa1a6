// The preview: new names and problems for every rule, filter, sort or edit
// change. Small listings are computed in the next task; large ones in a
// worker, so that typing never waits (the last result stays until the new
// one is in).
// Then the new names no listed item holds are asked of the native side: an
// item the listing does not show (hidden, or left out by the mode) may hold one.

import { computePreview, pack, unpack } from '../preview-core.js';
import { CodeList } from '../names.js';
import { packColumns, packingColumns } from '../columns-pack.js';
import { listedNames, targetsToProbe } from '../probe.js';
import { needsFields, needsTaken, takenColumn } from '../media.js';
import { t } from '../i18n/index.js';
import { pathIndexOf } from '../columns.js';
import { earlyNames, mayShowEarly } from '../early.js';

const SYNC_LIMIT = 5000;
const PROBE_CHUNK = 5000;
const PROBE_DELAY = 150;
// items packed for the worker between two looks at the keyboard
const PACK_SLICE = 65536;

const afterPaint = (fn) => (typeof requestAnimationFrame === 'function' ? requestAnimationFrame(() => setTimeout(fn)) : setTimeout(fn));

/** The inputs a preview depends on, so that other changes cost nothing. */
function inputsOf(state) {
  const { config, listing, filter, selection, edits, taken } = state;
  return [listing.items, config.rules, config.scope, config.folders, config.destination, config.copy, config.unique, config.uniquePattern, config.tagDuplicates, config.companions, config.clocks, config.portable, state.volumes, listing.folder, config.sort, filter.text, filter.exclude, filter.mode, filter.ext, filter.tag, filter.label,
    edits, taken, config.scope === 'selection' ? selection.set : null, needsTaken(config) || needsFields(config) ? state.media.version : -1];
}
const same = (a, b) => a && a.length === b.length && a.every((x, i) => x === b[i]);

export function createPreview({ store, bridge, toast, shownItems = () => [], makeWorker = () => new Worker(new URL('../workers/preview.worker.js', import.meta.url), { type: 'module' }) }) {
  const st = () => store.state;
  let last = null;
  let onScreen = null; // the inputs of the preview on screen
  let worker = null;
  let sentItems = null;
  let packed = null; // {items, message, transfer}: a listing packed ahead, not yet sent
  let sentMedia = []; // by index, the media fields the worker holds
  let gen = 0;
  let busy = false;
  let workerFailed = false; // then every preview is computed here
  let queued = null;
  let waiters = [];
  let probeTimer = 0;
  let syncTimer = 0; // a small listing's preview, due in a moment
  let probing = null;
  const known = new Map(); // path -> held, for the listing `knownFor`
  let knownFor = null;
  let listed = null;

  function request(state) {
    const { items } = state.listing;
    const edits = new Map();
    const edited = new Set();
    const pathIndex = state.edits.size ? pathIndexOf(items) : null;
    for (const [path, e] of state.edits) {
      const i = pathIndex.get(path);
      if (i === undefined) continue;
      edited.add(i);
      if (e.tags || e.label !== undefined) edits.set(i, { tags: e.tags, label: e.label });
    }
    return {
      items,
      input: {
        rules: state.config.rules,
        scope: state.config.scope,
        selection: state.config.scope === 'selection' ? [...state.selection.set] : null,
        filter: state.filter,
        sort: state.config.sort,
        edits,
        edited,
        taken: state.taken,
        dateTaken: needsTaken(state.config) ? takenColumn(items, state.media.map, state.config.clocks) : null,
        folders: state.config.folders,
        root: state.listing.folder || null,
        destination: state.config.destination,
        copy: state.config.copy,
        unique: state.config.unique ? state.config.uniquePattern : null,
        tagDuplicates: state.config.tagDuplicates,
        companions: state.config.companions,
        portable: state.config.portable,
        volumes: state.volumes,
      },
      media: needsFields(state.config) ? state.media.map : null,
    };
  }

  function finished(result) {
    onScreen = last;
    store.dispatch('previewComputed', result);
    for (const w of waiters.splice(0)) w();
    scheduleProbe();
  }

  function post(req) {
    if (!worker) {
      worker = makeWorker();
      worker.onmessage = ({ data }) => {
        // the count that follows a new listing's first preview
        if (data.companions !== undefined) {
          if (data.gen === gen) store.dispatch('companionsCounted', data.companions);
          return;
        }
        busy = false;
        if (queued) {
          // a newer request waits: its result is the one to show
          const next = queued;
          queued = null;
          return post(next);
        }
        if (data.gen === gen) finished(unpack(data.result));
      };
      worker.onerror = (e) => {
        e.preventDefault();
        workerFailed = true;
        busy = false;
        queued = null;
        last = null;
        run();
      };
    }
    busy = true;
    const message = { gen, input: req.input };
    // a sort by new name follows the names on screen: sent only then, the worker keeps no copy
    const shown = st().preview.newNames;
    if (req.input.sort.key === 'newName' && shown instanceof CodeList && shown.length === req.items.length) message.previous = { codes: shown.codes, ends: shown.ends };
    const transfer = [];
    if (req.items !== sentItems) {
      const ready = packed?.items === req.items ? packed : packColumns(req.items);
      packed = null;
      message.items = ready.message;
      transfer.push(...ready.transfer);
      sentItems = req.items;
      sentMedia = [];
    }
    if (req.media) {
      // only the fields read since the last request cross over
      const rows = [];
      const fields = [];
      req.items.forEach((it, i) => {
        const f = req.media.get(it.path);
        if (f !== sentMedia[i]) { rows.push(i); fields.push(f); sentMedia[i] = f; }
      });
      message.media = { rows, fields };
    }
    worker.postMessage(message, transfer);
  }

  function run() {
    const state = st();
    if (state.loading) return;
    const inputs = inputsOf(state);
    if (same(last, inputs)) return;
    last = inputs;
    gen++;
    const req = request(state);
    if (req.items.length <= SYNC_LIMIT || workerFailed) {
      queued = null;
      // in a task of its own, after the change that asked for it: a key's
      // echo never waits for the names it changes
      clearTimeout(syncTimer);
      syncTimer = setTimeout(() => {
        syncTimer = 0;
        const names = st().preview.newNames;
        const media = req.media && req.items.map((it) => req.media.get(it.path));
        finished(unpack(pack(computePreview({ ...req.input, items: req.items, media, previousNames: (i) => names.at(i) })).message));
      });
      return;
    }
    // one action, and one drawing of the views, for the names on screen and the wait
    if (!showEarly(state, inputs, req) && !state.preview.pending) store.dispatch('previewStarted');
    if (busy) {
      queued = req;
    } else if (req.items !== sentItems) {
      // packing a new listing for the worker takes a while (300 ms for a
      // million items): its rows and count are painted first, and keys get
      // in between the slices
      busy = true;
      queued = req;
      afterPaint(packQueued);
    } else {
      post(req);
    }
  }

  // The rows on screen named at once when nothing but the rules changed since
  // the preview on screen (input 1 is the rules): its order still holds.
  // True when it told the store (the preview then counts as pending).
  function showEarly(state, inputs, req) {
    const onlyRules = onScreen && inputs.every((x, k) => k === 1 || x === onScreen[k]);
    const early = onlyRules && mayShowEarly(req.input) && state.preview.base.length
      ? earlyNames({ items: req.items, rules: req.input.rules, folders: req.input.folders, base: state.preview.base, rows: shownItems(), taken: req.input.dateTaken, media: req.media })
      : null;
    if (!early && !state.preview.early) return false;
    store.dispatch('previewEarly', early);
    return true;
  }

  // Packs the queued request's listing a slice at a time, then posts the
  // newest request; a listing that arrives meanwhile is packed instead.
  function packQueued() {
    const { items } = queued;
    const packing = packingColumns(items, PACK_SLICE);
    const step = () => {
      if (!queued) { busy = false; return; }
      if (queued.items !== items) return packQueued();
      const done = packing.next();
      if (!done.done) return setTimeout(step);
      packed = { items, ...done.value };
      busy = false;
      const next = queued;
      queued = null;
      post(next);
    };
    step();
  }

  // While typing over a large listing only new hidden names are asked about
  // (every other name of a 100,000-item batch would be one more stat per key);
  // all of them are asked before the confirmation.
  function scheduleProbe() {
    clearTimeout(probeTimer);
    const onlyHidden = st().listing.items.length > SYNC_LIMIT;
    probeTimer = setTimeout(() => probe(onlyHidden).catch(() => {}), PROBE_DELAY);
  }

  /** Asks about the preview's new names that no listed item holds; true when one is held. */
  async function probe(onlyHidden = false) {
    while (probing) await probing;
    const { listing, preview } = st();
    if (!preview.check) return false;
    if (knownFor !== listing.items) {
      known.clear();
      const items = listing.items;
      let names = null;
      listed = () => (names ??= listedNames(items));
      knownFor = listing.items;
    }
    const { folders: on, destination } = st().config;
    const folders = on || destination ? { folders: on, destination, root: listing.folder || undefined } : null;
    const paths = targetsToProbe(listing.items, preview.newNames, preview.check.renamed, listed, known, onlyHidden, folders);
    if (!paths.length) return false;
    const held = [];
    probing = (async () => {
      for (let k = 0; k < paths.length; k += PROBE_CHUNK) {
        const chunk = paths.slice(k, k + PROBE_CHUNK);
        const { files } = await bridge.statPaths(chunk);
        if (st().listing.items !== knownFor) return; // another listing came meanwhile
        for (const p of chunk) known.set(p, false);
        for (const f of files) if (known.has(f.path)) { known.set(f.path, true); held.push(f.path); }
      }
    })();
    try {
      await probing;
    } finally {
      probing = null;
    }
    if (held.length) store.dispatch('namesTaken', held);
    return held.length > 0;
  }

  store.subscribe(null, run);

  return {
    /** Resolves once the preview on screen is the one of the current state. */
    settled() {
      run();
      return st().preview.pending || syncTimer ? new Promise((resolve) => waiters.push(resolve)) : Promise.resolve();
    },
    /**
     * The preview settled and checked against the items the listing does not
     * show; false when that question could not be asked.
     */
    async checked() {
      for (let round = 0; round < 5; round++) {
        await this.settled();
        if (!st().preview.check) return false;
        try {
          if (!(await probe())) return true;
        } catch (e) {
          toast(t('toast.previewUnlisted', { reason: e.message }), 'error');
          return false;
        }
      }
      await this.settled();
      return true;
    },
  };
}
