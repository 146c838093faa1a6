// Entry point: the store, the services and the views, wired by the user's
// intents. Nothing here draws; views report intents, services do the work.

import { installBridge } from './bridge.js';
import { inTextField } from './dom.js';
import { createStore } from './store.js';
import { focusedItem, initialState, targetIndexes } from './state.js';
import { actions, sameRules } from './actions.js';
import { createNotices } from './services/notices.js';
import { createSettings } from './services/settings.js';
import { createListing } from './services/listing.js';
import { createVolumes } from './services/volumes.js';
import { createPreview } from './services/preview.js';
import { createBatchRunner } from './services/batch-runner.js';
import { createThumbnails } from './services/thumbnails.js';
import { createMedia } from './services/media.js';
import { bindShortcuts, keysFrom } from './services/shortcuts.js';
import { paceEdits } from './services/typing-pace.js';
import { createToolbar } from './views/toolbar.js';
import { createFilterBar } from './views/filter-bar.js';
import { createList } from './views/list.js';
import { createRulesPanel } from './views/rules-panel.js';
import { createMetaPanel } from './views/meta-panel.js';
import { createClocksPanel } from './views/clocks-panel.js';
import { createPresetsPanel } from './views/presets-panel.js';
import { createStatusBar } from './views/status-bar.js';
import { createSheet, createToasts } from './views/sheet.js';
import { createHistoryView } from './views/history-view.js';
import { insertIntoTemplate, offerFieldsOf } from './views/template-field.js';
import { createJournal } from './services/journal.js';
import { t } from './i18n/index.js';
import { translatePage } from './i18n/page.js';

translatePage(document);

const bridge = installBridge(window);
const store = createStore(initialState(), actions);
const st = () => store.state;
const dispatch = store.dispatch;

const notices = createNotices({ store });
const { toast, ask } = notices;
const settings = createSettings({ store, bridge, toast });
const listing = createListing({ store, bridge, toast, ask });
const preview = createPreview({ store, bridge, toast, shownItems: () => list?.shownItems() ?? [] });
createVolumes({ store, bridge });
createMedia({ store, bridge });
// the token menu of a template offers the fields of the file in focus
offerFieldsOf(() => {
  const item = focusedItem(st());
  return Object.keys((item && st().media.map.get(item.path)?.tags) || {});
}, () => st().config.folders);
let list = null;
const thumbnails = createThumbnails({ bridge, isShown: (path) => list.isShown(path), redraw: () => list.redraw() });
const runner = createBatchRunner({ store, bridge, preview, notices, thumbnails });
const journal = createJournal({ store, bridge, toast, runner });

const HELP = ['help.open', 'help.rules', 'help.problems', 'help.meta', 'help.apply', 'help.more'];

/** Rule changes: the done marks of the last batch go once the user moves on. */
const ruleChange = (name, payload) => { dispatch(name, payload); dispatch('forgetDone'); };
const ruleEdits = paceEdits((id, patch) => ruleChange('updateRule', { id, patch }));

const intents = {
  // listing
  choose: listing.choose,
  open: listing.open,
  reload: listing.reload,
  setMode: listing.setMode,
  filesMode: () => listing.setMode('files'),
  foldersMode: () => listing.setMode('folders'),
  treeMode: () => listing.setMode('tree'),
  toggleHidden: listing.toggleHidden,
  editPath: (on = true) => dispatch('showPathInput', on),
  toggleRecent: (on) => dispatch('toggleRecent', on),
  // filter, order and selection
  setFilter: (patch) => dispatch('setFilter', patch),
  setFilterMode: (mode) => dispatch('setFilterMode', mode),
  toggleProblemFilter: (which) => dispatch('setFilter', { problem: st().filter.problem === which ? '' : which }),
  focusFilter: () => filterBar.focus(),
  focusList: () => list.focus(),
  sortBy: (key) => dispatch('sortBy', key),
  setColumns: (columns) => dispatch('setColumns', columns),
  clickRow: (how) => dispatch('clickRow', how),
  moveFocus: (how) => dispatch('moveFocus', how),
  toggleFocused: () => dispatch('toggleFocused'),
  selectAll: () => { dispatch('selectAll'); list.focus(); },
  selectNone: () => dispatch('selectNone'),
  // rules and presets
  addRule: (type) => { ruleChange('addRule', type); rules.focusRule(st().config.rules[st().config.rules.length - 1].id); },
  updateRule: ruleEdits.edit,
  moveRule: (id, to) => { ruleChange('moveRule', { id, to }); rules.focusRule(id, '$summary'); },
  removeRule: (id) => {
    const i = st().config.rules.findIndex((r) => r.id === id);
    ruleChange('removeRule', id);
    const next = st().config.rules[Math.min(i, st().config.rules.length - 1)];
    rules.focusRule(next ? next.id : null, '$summary');
  },
  toggleExpanded: (id) => { dispatch('toggleExpanded', id); rules.focusRule(id, st().ui.expanded.has(id) ? null : '$summary'); },
  toggleAddMenu: (on) => dispatch('toggleAddMenu', on),
  openAddMenu: () => dispatch('toggleAddMenu', true),
  setScope: (scope) => dispatch('setScope', scope),
  setFolders: (on) => dispatch('setFolders', on),
  setDestination: (path) => dispatch('setDestination', path),
  setRemoveEmptied: (on) => dispatch('setRemoveEmptied', on),
  setUnique: (on) => dispatch('setUnique', on),
  setTagDuplicates: (on) => dispatch('setTagDuplicates', on),
  setCompanions: (on) => dispatch('setCompanions', on),
  setPortable: (on) => dispatch('setPortable', on),
  setClock: (camera, minutes) => dispatch('setClock', { camera, minutes }),
  setUniquePattern: (text) => dispatch('setUniquePattern', text),
  setCopy: (on) => dispatch('setCopy', on),
  chooseDestination: async () => {
    try {
      const res = await bridge.chooseFolder(false, 'files', { pick: true, start: st().config.destination || st().listing.folder || undefined });
      if (res?.folder) dispatch('setDestination', res.folder);
    } catch (e) { toast(e.message, 'error'); }
  },
  async clearRules() {
    const n = st().config.rules.length;
    if (!n) return;
    const ok = await ask({ title: t('ask.clearTitle'), paragraphs: [{ cls: 'big', text: t('ask.clear', { count: n }) }], okText: t('ask.clearOk') });
    if (ok) { ruleChange('clearRules'); rules.focusRule(null); }
  },
  savePreset(name) {
    if (!name) { toast(t('toast.presetName'), 'warning'); return false; }
    dispatch('savePreset', name);
    toast(t('toast.presetSaved', { name }));
    return true;
  },
  async loadPreset(name) {
    const { rules: chain, presets } = st().config;
    // a chain that no preset holds would be lost: ask first
    if (chain.length && !presets.some((p) => sameRules(p.rules, chain))) {
      const ok = await ask({ title: t('ask.loadTitle', { name }), paragraphs: [{ cls: 'big', text: t('ask.load', { count: chain.length, name }) }], okText: t('ask.loadOk') });
      if (!ok) return;
    }
    ruleChange('loadPreset', name);
  },
  renamePreset(from, to) {
    if (!from || !to) { toast(t('toast.presetRename'), 'warning'); return false; }
    if (st().config.presets.some((p) => p.name === to && p.name !== from)) { toast(t('toast.presetExists', { name: to }), 'warning'); return false; }
    dispatch('renamePreset', { from, to });
    return true;
  },
  deletePreset(name) {
    dispatch('deletePreset', name);
    toast(t('toast.presetDeleted', { name }));
  },
  presets: () => presets.focus(),
  help: () => ask({ title: t('help.title'), paragraphs: HELP.map((key) => ({ text: t(key) })), okText: t('help.close'), single: true }),
  // metadata
  editMeta(change) {
    const { set } = st().selection;
    const indexes = [...set];
    if (!indexes.length) { toast(t('toast.selectFirst'), 'warning'); return false; }
    dispatch('editMeta', { indexes, change });
    dispatch('forgetDone');
    return true;
  },
  setTags(tags, replace) {
    const bad = tags.find((tag) => tag.includes(','));
    if (bad !== undefined) { toast(t('toast.tagComma', { tag: bad }), 'error'); return false; }
    return intents.editMeta((cur) => ({ tags: replace ? tags : [...cur.tags, ...tags.filter((t) => !cur.tags.includes(t))] }));
  },
  revertEdits: () => dispatch('revertEdits', [...st().selection.set]),
  insertToken: (token) => { if (!insertIntoTemplate(token)) toast(t('toast.openTemplate'), 'warning'); },
  showAllFields: (shown) => dispatch('allFieldsShown', shown),
  // batches
  apply: runner.apply,
  undo: runner.undo,
  redo: runner.redo,
  cancel: runner.cancel,
  reveal: runner.reveal,
  openHistory: journal.open,
  closeHistory: journal.close,
  searchHistory: journal.search,
  expandBatch: journal.expand,
  undoBatch: journal.undo,
  finishBatch: journal.finish,
  exportBatch: journal.exportBatch,
  answerSheet: notices.answer,
  closeMenus() {
    dispatch('toggleRecent', false);
    dispatch('toggleAddMenu', false);
  },
  escape() {
    runner.cancel();
    intents.closeMenus();
  },
};

// whatever the user does next sees the rule's last key
for (const [name, fn] of Object.entries(intents)) if (name !== 'updateRule') intents[name] = (...args) => { ruleEdits.flush(); return fn(...args); };

createToolbar({ store, intents });
const filterBar = createFilterBar({ store, intents });
list = createList({ store, intents, thumbnails: () => thumbnails });
const rules = createRulesPanel({ store, intents });
createMetaPanel({ store, intents });
createClocksPanel({ store, intents });
const presets = createPresetsPanel({ store, intents });
createStatusBar({ store, intents });
createSheet({ store, intents });
createHistoryView({ store, intents });
createToasts({ store });
document.addEventListener('mousedown', (e) => {
  if (!e.target.closest('.menu-wrap')) intents.closeMenus();
});
bridge.onDrop(listing.drop);
// The window's menu and keys: Undo, Redo and Select All act on the text of a
// field being edited, otherwise on the batches and the rows.
const MENU = ['choose', 'openHistory', 'presets', 'help', 'undo', 'redo', 'selectAll'];
window.__onMenu = (item) => {
  if (!MENU.includes(item)) return;
  if (['undo', 'redo', 'selectAll'].includes(item) && inTextField(document.activeElement)) document.execCommand(item);
  else intents[item]();
};
// The window waits for this before it closes, so a change of its last
// moment is kept.
window.__beforeClose = () => settings.flush();

async function start() {
  const table = await fetch('shortcuts.json').then((r) => r.json()).catch(() => null);
  bindShortcuts({ target: document, keys: keysFrom(table), intents, inText: () => inTextField(document.activeElement), blocked: () => Boolean(st().sheet) || st().journal.open });
  await settings.load();
  journal.start(); // the folder need not wait for the history
  await listing.syncMode();
  // items the program was started with come as a drop, in place of the last folder
  const { pending = 0 } = (await bridge.opened().catch(() => null)) ?? {};
  if (!pending && st().config.lastFolder) await listing.open(st().config.lastFolder);
  document.body.dataset.ready = 'true';
}

window.quarrytide = { store, intents };
start();
