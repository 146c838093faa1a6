// Listing: opening, choosing and reloading folders, drops and the listing mode.

import { t } from '../i18n/index.js';
import { normaliseInto } from '../columns.js';
import { Facets, facetsOf } from '../filter.js';

const PROBLEMS = ['notFound', 'notFolder', 'denied', 'unreadable'];

export function createListing({ store, bridge, toast, ask = async () => true }) {
  const st = () => store.state;
  const kind = () => (st().config.mode === 'folders' ? 'folders' : 'files');
  const tree = () => st().config.mode === 'tree';
  const extras = () => (st().config.showHidden ? { hidden: true } : {});

  function show(folder, files, dropped = null, prepared = {}) {
    if (st().batch.busy) {
      toast(t('listing.busy'), 'warning');
      return false;
    }
    newest++; // a listing still arriving is over: this one takes its place
    const { facets, ready = 0 } = prepared;
    if (facets) {
      // the reply's own records are completed here, to be counted with the parts'
      normaliseInto(files, folder, 0, ready);
      facetsOf(files, facets);
    }
    store.dispatch('listed', { folder, files, dropped, ready: facets ? files.length : ready });
    return true;
  }

  // A listing comes in parts: the first shows its rows at once, the later
  // ones only count until the whole arrives. Each part's records are
  // normalised as it comes, while the native side reads on, so that the
  // whole is shown at once. Only the newest request shows. A chooser's
  // request becomes the newest only once a folder is chosen (its first part
  // or its reply): one cancelled must not strand a listing still arriving.
  let newest = 0;
  function request({ chosen = true } = {}) {
    let ticket = chosen ? ++newest : 0;
    let shown = false;
    const prepared = { ready: 0, facets: new Facets() };
    const claim = () => { if (!ticket) ticket = ++newest; };
    return {
      claim,
      // a request that lists nothing hands the turn back to the one before it
      release: () => { if (ticket === newest) newest--; },
      current: () => ticket === newest,
      prepared,
      onPart(folder, files, count) {
        claim();
        if (ticket !== newest) return;
        normaliseInto(files, folder, count - files.length);
        prepared.facets.add(files);
        prepared.ready = count;
        // only the first part can stand for the listing's start; one a batch
        // kept off the screen leaves the rows to the whole
        if (count === files.length && !st().batch.busy) {
          store.dispatch('listed', { folder, files, partial: true, ready: count });
          shown = true;
        } else if (shown) {
          store.dispatch('listingArrived', count);
        }
      },
    };
  }

  // A folder that cannot be listed leaves the listing on screen (and Recent)
  // as it is, and one still arriving goes on.
  async function open(folder) {
    if (!folder || st().batch.busy) return;
    const req = request();
    try {
      const res = await bridge.listFolder(folder, tree(), kind(), { ...extras(), reasons: true, accessed: true }, req.onPart);
      if (res.problem) {
        req.release();
        const code = PROBLEMS.includes(res.problem.code) ? res.problem.code : 'unreadable';
        toast(t(`listing.${code}`, { folder: res.folder, reason: res.problem.message }), 'error', undefined, 'listing');
        return;
      }
      if (!req.current()) return;
      if (show(res.folder, res.files, null, req.prepared) && !res.files.length) {
        toast(t('listing.empty', { folder: res.folder, what: t(st().config.mode === 'folders' ? 'listing.noSubfolders' : 'listing.noFiles') }), 'warning', undefined, 'listing');
      }
    } catch (e) {
      toast(t('listing.failed', { reason: e.message }), 'error');
    }
  }

  async function choose() {
    if (st().batch.busy) return;
    const start = st().listing.folder || st().config.lastFolder;
    const req = request({ chosen: false });
    try {
      const res = await bridge.chooseFolder(tree(), kind(), { ...extras(), accessed: true, ...(start ? { start } : {}) }, req.onPart);
      if (res) req.claim();
      if (res && req.current()) show(res.folder, res.files, null, req.prepared);
    } catch (e) {
      toast(t('listing.openFailed', { reason: e.message }), 'error');
    }
  }

  async function reload() {
    const { listing, batch } = st();
    if (batch.busy) return;
    if (!listing.dropped) return open(listing.folder);
    try {
      const res = await bridge.statPaths(listing.items.map((it) => it.path));
      show(listing.folder, res.files, res.files.map((f) => f.path));
    } catch (e) {
      toast(t('listing.dropFailed', { reason: e.message }), 'error');
    }
  }

  async function drop(d) {
    // items handed over from outside replace what is on screen only when the
    // user agrees to drop the changes not applied yet
    const pending = d.opened ? (st().preview.counts?.sent ?? 0) + st().edits.size : 0;
    if (pending && !(await ask({ title: t('listing.openedTitle'), paragraphs: [{ text: t('listing.openedPending', { count: pending }) }], okText: t('listing.openedOk') }))) return;
    if (d.dropKind === 'folder') {
      // drops list what is not hidden; the switch asks for a listing of its own
      if (tree() || st().config.showHidden) open(d.folder);
      else show(d.folder, d.files);
      return;
    }
    show(d.folder, d.files, d.files.map((f) => f.path));
    if (!d.files.length) {
      toast(t(st().config.mode === 'folders' ? 'listing.noFolderDropped' : 'listing.foldersDropped'), 'warning');
    }
  }

  async function syncMode() {
    try {
      await bridge.setMode(kind());
    } catch (e) {
      toast(t('listing.dropModeFailed', { reason: e.message }), 'error');
    }
  }

  return {
    open,
    choose,
    reload,
    drop,
    syncMode,
    async setMode(mode) {
      if (mode === st().config.mode) return;
      store.dispatch('setMode', mode);
      await syncMode();
      if (st().listing.folder) await open(st().listing.folder);
    },
    toggleHidden() {
      store.dispatch('toggleHidden');
      const { listing } = st();
      if (listing.folder && !listing.dropped) open(listing.folder);
    },
  };
}
