// The page's controller: holds the listing, the chain, pending metadata, the
// selection and the undo history; computes the preview in slices so typing
// never waits; runs applies in chunks. Views draw what it gives them.

import { $, h, fill, fmtInt, inTextField } from './dom.js';
import { compileChain, evaluate, newRule } from './rules.js';
import { conflictSteps, skipErrorSteps, severityOf, isInvalidUtf8 } from './conflicts.js';
import { planBatch, chunkPlan, followResults, rescueOps } from './planner.js';
import { filterItems, sortIndexes, extensionCounts, textMatcher } from './filter.js';
import { parseConfig, serializeConfig, addRecent, defaultConfig, MAX_SAVED_BATCH } from './config.js';
import { undoRecord, batchChanges, countChanges, batchFolder } from './batch.js';
import { explainError, COLOR_LABELS, normalise } from './protocol.js';
import { listedNames, targetsToProbe } from './probe.js';
import { dirOf, joinPath, relativeDir, visibleName } from './text.js';
import { lineList } from './line-list.js';
import { ListView } from './list-view.js';
import { RulesView } from './rules-view.js';

const CHUNK = 250;
const SLICE = 2000;
const SYNC_LIMIT = 10000;
const THUMB_SIZE = 48;
const THUMB_CACHE = 3000;
const THUMB_PARALLEL = 4;
const SAVE_DELAY = 500;
const PROBE_CHUNK = 5000;
const PROBE_DELAY = 150;

export function startApp(bridge) {
  const cfg = defaultConfig();
  const st = {
    folder: null,
    dropped: null, // paths of a files drop, listed without a folder listing
    items: [],
    pathIndex: new Map(),
    newNames: [],
    check: null,
    leftOut: null, // skip flags of the rows apply leaves out for errors, with the check
    chainErrors: {},
    base: [], // filtered and sorted, before the problem filter
    view: [],
    selection: new Set(),
    anchor: -1,
    focus: -1,
    meta: new Map(), // path -> {tags?, label?, comment?}
    results: new Map(), // path -> {ok, text}
    filter: { text: '', mode: 'text', ext: null, tag: '', label: -1, problem: '' },
    stamp: 0,
    busy: false,
    cancel: false,
    undo: [],
    redo: [],
    loading: false,
    previewWaiters: [],
  };
  let previewGen = 0;

  // ---------- views ----------
  const list = new ListView({
    grid: $('grid'), head: $('grid-head'), body: $('grid-body'), spacer: $('grid-spacer'),
    model: rowModel,
    onRowPointer,
    onSort: (key) => {
      const s = cfg.sort;
      cfg.sort = s.key !== key ? { key, dir: 1 } : s.dir === 1 ? { key, dir: -1 } : { key: 'native', dir: 1 };
      list.setSort(cfg.sort);
      recompute();
      save();
    },
    onResize: (widths) => { cfg.columns = widths; save(); },
    onSelectAll: (on) => { if (on) selectAll(); else { st.selection.clear(); selectionChanged(); } },
    thumbFor,
  });
  const rulesView = new RulesView({
    list: $('rule-list'), empty: $('rules-empty'), menu: $('add-rule-menu'), addButton: $('add-rule'),
    controller: {
      rules: () => cfg.rules,
      errors: () => st.chainErrors,
      add: (type) => { const r = newRule(type); cfg.rules.push(r); rulesView.expanded.add(r.id); changedRules(); rulesView.render(r.id); },
      onChange: () => { changedRules(); rulesView.refresh(); },
      move: (id, to) => {
        const from = cfg.rules.findIndex((r) => r.id === id);
        if (from < 0 || to < 0 || to >= cfg.rules.length) return;
        const [r] = cfg.rules.splice(from, 1);
        cfg.rules.splice(to, 0, r);
        changedRules();
        rulesView.render(id);
      },
      remove: (id) => {
        const i = cfg.rules.findIndex((r) => r.id === id);
        if (i < 0) return;
        cfg.rules.splice(i, 1);
        changedRules();
        const next = cfg.rules[Math.min(i, cfg.rules.length - 1)];
        rulesView.render(next ? next.id : null);
        if (!next) $('add-rule').focus();
      },
    },
  });

  function changedRules() {
    $('clear-rules').disabled = !cfg.rules.length;
    forgetDone();
    schedulePreview();
    save();
  }

  /** Done marks go once the user moves on; failures stay until the next apply or listing. */
  function forgetDone() {
    for (const [path, r] of st.results) if (r.ok) st.results.delete(path);
  }

  // ---------- toasts ----------
  const baseName = (path) => path.slice(path.lastIndexOf('/') + 1) || path;
  function toast(text, kind = 'info', ms = 6000) {
    const t = h('div', { class: `toast ${kind}`, text, attrs: { role: kind === 'error' ? 'alert' : 'status' } });
    $('toasts').append(t);
    setTimeout(() => t.remove(), ms);
  }

  // ---------- settings ----------
  let saveTimer = 0;
  let lastSaveError = '';
  function save() {
    if (st.loading) return;
    clearTimeout(saveTimer);
    saveTimer = setTimeout(saveNow, SAVE_DELAY);
  }
  async function saveNow() {
    cfg.lastBatch = st.undo.length ? st.undo[st.undo.length - 1] : null;
    const { text } = serializeConfig(cfg);
    try {
      await bridge.savePrefs(text);
      lastSaveError = '';
    } catch (e) {
      if (e.message !== lastSaveError) toast(`Settings were not saved — ${e.message}`, 'error', 10000);
      lastSaveError = e.message;
    }
  }

  // ---------- listing ----------
  const kindArg = () => (cfg.mode === 'folders' ? 'folders' : 'files');
  const listingExtras = () => (cfg.showHidden ? { hidden: true } : {});

  function setListing(folder, files, { dropped = null } = {}) {
    if (st.busy) { toast('Wait until the batch has finished.', 'warning'); return; }
    st.folder = folder;
    st.dropped = dropped;
    st.items = (files || []).map((f, i) => normalise(f, folder, i));
    st.pathIndex = new Map(st.items.map((it, i) => [it.path, i]));
    forgetProbes();
    st.selection.clear();
    st.meta.clear();
    st.results.clear();
    st.lastResult = null;
    st.anchor = st.focus = -1;
    st.newNames = st.items.map((it) => it.name);
    st.check = null;
    st.filter.ext = null;
    st.filter.tag = '';
    st.filter.label = -1;
    if (folder) {
      cfg.recent = addRecent(cfg.recent, folder);
      cfg.lastFolder = dropped ? cfg.lastFolder : folder;
    }
    list.setTree(cfg.mode === 'tree' && !dropped);
    list.body.scrollTop = 0;
    list.body.scrollLeft = 0;
    drawChrome();
    fillFilterOptions();
    recompute();
    save();
  }

  async function openFolder(folder) {
    if (!folder || st.busy) return;
    try {
      const res = await bridge.listFolder(folder, cfg.mode === 'tree', kindArg(), listingExtras());
      setListing(res.folder, res.files);
      if (!res.files.length) toast(`Nothing to list in ${res.folder} (${cfg.mode === 'folders' ? 'no subfolders' : 'no files'}, or the folder cannot be read).`, 'warning');
    } catch (e) {
      toast(`Could not list the folder: ${e.message}`, 'error');
    }
  }

  async function chooseFolder() {
    if (st.busy) return;
    try {
      const start = st.folder || cfg.lastFolder;
      const res = await bridge.chooseFolder(cfg.mode === 'tree', kindArg(), { ...listingExtras(), ...(start ? { start } : {}) });
      if (res) setListing(res.folder, res.files);
    } catch (e) {
      toast(`Could not open a folder: ${e.message}`, 'error');
    }
  }

  async function reload() {
    if (st.busy) return;
    if (st.dropped) {
      try {
        const res = await bridge.statPaths(st.items.map((it) => it.path));
        setListing(st.folder, res.files, { dropped: res.files.map((f) => f.path) });
      } catch (e) {
        toast(`Could not describe the dropped items again: ${e.message}`, 'error');
      }
    } else if (st.folder) await openFolder(st.folder);
  }

  function onDrop(drop) {
    if (drop.dropKind === 'folder') {
      // drops list what is not hidden; the switch asks for a listing of its own
      if (cfg.mode === 'tree' || cfg.showHidden) openFolder(drop.folder);
      else setListing(drop.folder, drop.files);
    } else {
      setListing(drop.folder, drop.files, { dropped: drop.files.map((f) => f.path) });
      if (!drop.files.length) toast(cfg.mode === 'folders' ? 'None of the dropped items is a folder.' : 'The dropped items are folders: switch to Folders to rename folders, or drop one folder to open it.', 'warning');
    }
  }

  async function setMode(mode) {
    if (mode === cfg.mode && !st.loading) return;
    cfg.mode = mode;
    drawChrome();
    save();
    try { await bridge.setMode(kindArg()); } catch (e) { toast(`Could not set the drop mode: ${e.message}`, 'error'); }
    if (st.folder) await openFolder(st.folder);
  }

  // ---------- metadata ----------
  const tagsOf = (i) => st.meta.get(st.items[i].path)?.tags ?? st.items[i].tags;
  const labelOf = (i) => st.meta.get(st.items[i].path)?.label ?? st.items[i].label;
  const commentOf = (i) => st.meta.get(st.items[i].path)?.comment ?? st.items[i].comment;

  function editMeta(fn) {
    const targets = [...st.selection].filter((i) => !isInvalidUtf8(st.items[i].name));
    if (!targets.length) { toast('Select the items to change first.', 'warning'); return; }
    for (const i of targets) {
      const it = st.items[i];
      const cur = { tags: tagsOf(i), label: labelOf(i), comment: commentOf(i) };
      const next = fn(cur, it);
      const edit = { ...(st.meta.get(it.path) || {}) };
      for (const k of ['tags', 'label', 'comment']) {
        if (next[k] === undefined) continue;
        const same = k === 'tags' ? next.tags.length === it.tags.length && next.tags.every((t, j) => t === it.tags[j]) : next[k] === it[k];
        if (same) delete edit[k];
        else edit[k] = next[k];
      }
      if (Object.keys(edit).length) st.meta.set(it.path, edit);
      else st.meta.delete(it.path);
    }
    forgetDone();
    recompute();
  }

  function parseTagInput(text) {
    return text.split(';').map((t) => t.trim()).filter(Boolean);
  }

  function addTags(replace) {
    const input = $('tag-input');
    const tags = parseTagInput(input.value);
    if (!tags.length && !replace) return;
    const bad = tags.find((t) => t.includes(','));
    if (bad !== undefined) { toast(`A tag cannot contain ",": tags are stored comma-separated ("${bad}").`, 'error'); return; }
    editMeta((cur) => ({ tags: replace ? tags : [...cur.tags, ...tags.filter((t) => !cur.tags.includes(t))] }));
    input.value = '';
  }

  function drawMeta() {
    const sel = [...st.selection];
    const n = sel.length;
    $('meta-count').textContent = n ? `${fmtInt(n)} selected` : 'select items';
    $('meta-panel').classList.toggle('dim', n === 0);
    const counts = new Map();
    for (const i of sel) for (const t of tagsOf(i)) counts.set(t, (counts.get(t) || 0) + 1);
    const chips = [...counts].sort((a, b) => b[1] - a[1]).slice(0, 40).map(([t, c]) => {
      const pending = sel.some((i) => st.meta.get(st.items[i].path)?.tags?.includes(t) && !st.items[i].tags.includes(t));
      return h('span', { class: 'chip' + (pending ? ' pending' : ''), attrs: { role: 'listitem' } },
        h('span', { class: 'chip-text', text: t }),
        c < n ? h('span', { class: 'chip-count', text: `${c}/${n}` }) : null,
        h('button', { text: '×', attrs: { type: 'button', 'aria-label': `Remove tag ${t} from the selection`, title: 'Remove from the selection' }, on: { click: () => editMeta((cur) => ({ tags: cur.tags.filter((x) => x !== t) })) } }));
    });
    fill($('meta-tags'), chips);
    const labels = new Set(sel.map(labelOf));
    const current = labels.size === 1 ? [...labels][0] : -1;
    for (const b of $('meta-label').children) b.setAttribute('aria-checked', String(Number(b.dataset.label) === current));
    const comments = new Set(sel.map(commentOf));
    const box = $('comment-input');
    if (document.activeElement !== box) {
      box.value = comments.size === 1 ? [...comments][0] : '';
      box.placeholder = comments.size > 1 ? 'several comments…' : 'comment…';
    }
  }

  function buildMetaControls() {
    const wrap = $('meta-label');
    fill(wrap, COLOR_LABELS.map((name, i) => h('button', {
      class: `swatch ${i ? `lc-${i}` : 'none'}`,
      text: i ? '' : '∅',
      dataset: { label: String(i) },
      attrs: { type: 'button', role: 'radio', 'aria-checked': 'false', 'aria-label': i ? `Label ${name}` : 'No label', title: i ? `${name} label` : 'No label' },
      on: { click: () => editMeta(() => ({ label: i })) },
    })));
    $('tag-add-btn').addEventListener('click', () => addTags(false));
    $('tag-replace-btn').addEventListener('click', () => addTags(true));
    $('tag-input').addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); addTags(e.shiftKey); } });
    $('comment-set').addEventListener('click', () => editMeta(() => ({ comment: $('comment-input').value })));
    $('comment-clear').addEventListener('click', () => { $('comment-input').value = ''; editMeta(() => ({ comment: '' })); });
    $('comment-input').addEventListener('keydown', (e) => {
      if (e.key === 'Enter' && e.ctrlKey) { e.preventDefault(); e.stopPropagation(); editMeta(() => ({ comment: $('comment-input').value })); }
    });
    $('meta-revert').addEventListener('click', () => { for (const i of st.selection) st.meta.delete(st.items[i].path); recompute(); });
  }

  // ---------- preview ----------
  /** After a change of the listing, the filter, the order or metadata: the base order is rebuilt. */
  function recompute() {
    st.baseDirty = true;
    schedulePreview();
  }

  /** Filtered and sorted indexes, before the problem filter; cached while only rules change. */
  function baseOrder() {
    if (st.baseCache && !st.baseDirty && cfg.sort.key !== 'newName') return st.baseCache;
    const m = textMatcher(st.filter.text, st.filter.mode);
    $('filter-error').textContent = m.error ? `filter: ${m.error}` : '';
    const base = filterItems(st.items, st.filter, tagsOf, labelOf);
    sortIndexes(base, st.items, cfg.sort.key, cfg.sort.dir, st.newNames);
    st.baseCache = base;
    st.baseDirty = false;
    return base;
  }

  /**
   * Recomputes order, new names and problems. Large listings are done in
   * slices of about 12 ms, so typing goes on; the last result stays on screen
   * until the new one is complete, and a newer request abandons an older one.
   */
  function schedulePreview() {
    const gen = ++previewGen;
    const items = st.items;
    const base = baseOrder();
    const scope = cfg.scope === 'selection' ? base.filter((i) => st.selection.has(i)) : base;
    const chain = compileChain(cfg.rules);
    st.chainErrors = chain.errors;
    const out = items.map((it) => it.name);
    const tags = new Array(items.length);
    for (const [path, e] of st.meta) if (e.tags) { const i = st.pathIndex.get(path); if (i !== undefined) tags[i] = e.tags; }
    let check = null, leftOut = null;
    const taken = probe.taken.size ? (dir, name) => probe.taken.has(joinPath(dir, name)) : null;
    function* work() {
      yield* evaluate(chain, items, scope, out, SLICE);
      for (let i = 0; i < items.length; i++) if (out[i] !== items[i].name && isInvalidUtf8(items[i].name)) out[i] = items[i].name;
      check = yield* conflictSteps(items, out, { tags, taken }, SLICE);
      // apply can only go ahead with these rows skipped, so the counts shown leave them out too
      if (check.errors) leftOut = (yield* skipErrorSteps(items, out, { tags, taken, check }, SLICE)).skip;
    }
    const run = work();
    st.previewPending = true;
    if (!st.check && items.length > SYNC_LIMIT) {
      // a fresh listing: show the rows at once; new names and problems follow
      st.base = st.view = base;
      st.viewPos = null;
      list.setCount(base.length);
      list.render();
      drawCount();
    }
    const finish = () => {
      if (st.previewWaiters.length) for (const w of st.previewWaiters.splice(0)) w();
      st.newNames = out;
      st.check = check;
      st.leftOut = leftOut;
      st.base = base;
      st.previewPending = false;
      st.stamp++;
      applyProblemFilter();
      scheduleProbe();
    };
    const step = () => {
      if (gen !== previewGen) return;
      const t0 = performance.now();
      while (performance.now() - t0 < 12) {
        if (run.next().done) { finish(); return; }
      }
      setTimeout(step, 0);
    };
    if (items.length <= SYNC_LIMIT) {
      while (!run.next().done);
      finish();
    } else step();
  }

  // ---------- names held by items the list does not show ----------
  // Hidden items, and the folders (or files) the mode leaves out, are not in
  // the listing, yet a rename onto one of their names fails. New names that
  // no listed item holds are asked of the native side, once per listing.
  const probe = { known: new Map(), taken: new Set(), listed: null, timer: 0, running: null };
  function forgetProbes() {
    probe.known.clear();
    probe.taken.clear();
    probe.listed = null;
  }
  function scheduleProbe() {
    clearTimeout(probe.timer);
    probe.timer = setTimeout(() => probeTargets().catch(() => {}), PROBE_DELAY);
  }
  /** Asks about the current preview's unknown targets; true when a taken one was found. */
  async function probeTargets() {
    while (probe.running) await probe.running;
    const c = st.check;
    if (!c) return false;
    if (!probe.listed) probe.listed = listedNames(st.items);
    const paths = targetsToProbe(st.items, st.newNames, c.renamed, probe.listed, probe.known);
    if (!paths.length) return false;
    const items = st.items;
    let found = false;
    probe.running = (async () => {
      for (let k = 0; k < paths.length; k += PROBE_CHUNK) {
        const chunk = paths.slice(k, k + PROBE_CHUNK);
        const { files } = await bridge.statPaths(chunk);
        if (st.items !== items) return; // another listing came meanwhile
        for (const p of chunk) probe.known.set(p, false);
        for (const f of files) if (probe.known.has(f.path)) { probe.known.set(f.path, true); probe.taken.add(f.path); found = true; }
      }
    })();
    try { await probe.running; } finally { probe.running = null; }
    if (found) schedulePreview();
    return found;
  }

  function applyProblemFilter() {
    const p = st.filter.problem;
    const c = st.check;
    let view = st.base;
    if (p && c) {
      view = st.base.filter((i) => {
        if (p === 'changed') return c.renamed[i] === 1 || st.meta.has(st.items[i].path);
        if (p === 'failed') return st.results.get(st.items[i].path)?.ok === false;
        return severityOf(c.problems[i]) === p;
      });
    }
    st.view = view;
    st.viewPos = null;
    list.setCount(view.length);
    list.render();
    drawCount();
    drawSummary();
    drawMeta();
    rulesView.refresh();
  }

  function viewPosOf(i) {
    if (!st.viewPos) {
      st.viewPos = new Int32Array(st.items.length).fill(-1);
      for (let v = 0; v < st.view.length; v++) st.viewPos[st.view[v]] = v;
    }
    const v = st.viewPos[i];
    return v < 0 ? undefined : v;
  }

  function rowModel(v) {
    const i = st.view[v];
    const it = st.items[i];
    const edit = st.meta.get(it.path);
    const problems = st.check ? st.check.problems[i] : undefined;
    const res = st.results.get(it.path);
    const newName = st.newNames[i] ?? it.name;
    return {
      item: it,
      newName,
      changed: newName !== it.name && !isInvalidUtf8(it.name),
      selected: st.selection.has(i),
      focused: v === st.focus,
      problems,
      severity: res ? '' : severityOf(problems),
      result: res || null,
      tags: edit?.tags ?? it.tags,
      tagsPending: edit?.tags !== undefined,
      label: edit?.label ?? it.label,
      labelPending: edit?.label !== undefined,
      comment: edit?.comment ?? it.comment,
      commentPending: edit?.comment !== undefined,
      stamp: `${it.path}\0${st.stamp}`,
    };
  }

  // ---------- thumbnails ----------
  const thumbs = new Map();
  const thumbQueue = [];
  let thumbActive = 0;
  function thumbFor(item) {
    if (isInvalidUtf8(item.path)) return '';
    const hit = thumbs.get(item.path);
    if (hit !== undefined) return hit;
    if (!item._thumbQueued) { item._thumbQueued = true; thumbQueue.push(item); pumpThumbs(); }
    return '';
  }
  function pumpThumbs() {
    while (thumbActive < THUMB_PARALLEL && thumbQueue.length) {
      const item = thumbQueue.pop();
      // rows scrolled away meanwhile are skipped; they queue again when shown
      const v = viewPosOf(item.idx);
      if (st.items[item.idx] !== item || v === undefined || !list.rowAt(v)) { item._thumbQueued = false; continue; }
      thumbActive++;
      bridge.thumbnail(item.path, THUMB_SIZE).then((r) => {
        if (thumbs.size >= THUMB_CACHE) thumbs.delete(thumbs.keys().next().value);
        thumbs.set(item.path, typeof r?.dataUrl === 'string' && r.dataUrl.startsWith('data:image/') ? r.dataUrl : '');
        list.schedule();
      }, () => thumbs.set(item.path, '')).finally(() => { thumbActive--; pumpThumbs(); });
    }
  }

  // ---------- selection & keyboard in the list ----------
  function onRowPointer(v, e, part) {
    const i = st.view[v];
    if (e.shiftKey && st.anchor >= 0) {
      const a = Math.min(st.anchor, v), b = Math.max(st.anchor, v);
      if (!(e.ctrlKey || e.metaKey)) st.selection.clear();
      for (let k = a; k <= b; k++) st.selection.add(st.view[k]);
    } else if (e.ctrlKey || e.metaKey || part === 'check') {
      if (st.selection.has(i)) st.selection.delete(i); else st.selection.add(i);
      st.anchor = v;
    } else {
      st.selection.clear();
      st.selection.add(i);
      st.anchor = v;
    }
    st.focus = v;
    selectionChanged();
  }

  function selectionChanged() {
    list.grid.setAttribute('aria-activedescendant', st.focus >= 0 ? `row-${st.focus}` : '');
    if (cfg.scope === 'selection') schedulePreview();
    else { list.render(); drawMeta(); drawCount(); drawSummary(); }
  }

  function moveFocus(to, extend) {
    if (!st.view.length) return;
    const v = Math.max(0, Math.min(st.view.length - 1, to));
    if (extend) {
      if (st.anchor < 0) st.anchor = st.focus >= 0 ? st.focus : v;
      st.selection.clear();
      const a = Math.min(st.anchor, v), b = Math.max(st.anchor, v);
      for (let k = a; k <= b; k++) st.selection.add(st.view[k]);
    } else {
      st.selection.clear();
      st.selection.add(st.view[v]);
      st.anchor = v;
    }
    st.focus = v;
    list.scrollToIndex(v);
    selectionChanged();
  }

  function selectAll() {
    for (const i of st.view) st.selection.add(i);
    selectionChanged();
  }

  list.grid.addEventListener('keydown', (e) => {
    if (e.target !== list.grid) return;
    const page = Math.max(1, Math.floor(list.body.clientHeight / 28) - 1);
    const f = st.focus < 0 ? -1 : st.focus;
    switch (e.key) {
      case 'ArrowDown': e.preventDefault(); moveFocus(f + 1, e.shiftKey); break;
      case 'ArrowUp': e.preventDefault(); moveFocus(f < 0 ? 0 : f - 1, e.shiftKey); break;
      case 'PageDown': e.preventDefault(); moveFocus(f + page, e.shiftKey); break;
      case 'PageUp': e.preventDefault(); moveFocus(f - page, e.shiftKey); break;
      case 'Home': e.preventDefault(); moveFocus(0, e.shiftKey); break;
      case 'End': e.preventDefault(); moveFocus(st.view.length - 1, e.shiftKey); break;
      case ' ': {
        e.preventDefault();
        if (f < 0) { moveFocus(0, false); break; }
        const i = st.view[f];
        if (st.selection.has(i)) st.selection.delete(i); else st.selection.add(i);
        st.anchor = f;
        selectionChanged();
        break;
      }
      default:
    }
  });

  // ---------- filters ----------
  function fillFilterOptions() {
    const ext = $('filter-ext');
    fill(ext, h('option', { value: '*', text: 'any ext' }), extensionCounts(st.items).slice(0, 200).map(([e, n]) => h('option', { value: e, text: `${e === '' ? '(none)' : '.' + e} · ${fmtInt(n)}` })));
    const tags = new Map();
    for (const it of st.items) for (const t of it.tags) tags.set(t, (tags.get(t) || 0) + 1);
    const sorted = [...tags].sort((a, b) => b[1] - a[1]);
    fill($('filter-tag'), h('option', { value: '', text: 'any tag' }), sorted.slice(0, 300).map(([t, n]) => h('option', { value: t, text: `${t} · ${fmtInt(n)}` })));
    fill($('tag-suggestions'), sorted.slice(0, 500).map(([t]) => h('option', { value: t })));
    fill($('filter-label'), h('option', { value: '-1', text: 'any label' }), COLOR_LABELS.map((n, i) => h('option', { value: String(i), text: i ? n : 'no label' })));
  }

  function bindFilters() {
    let t = 0;
    $('filter-input').addEventListener('input', () => {
      st.filter.text = $('filter-input').value;
      clearTimeout(t);
      t = setTimeout(recompute, st.items.length > 20000 ? 120 : 0);
    });
    $('filter-input').addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && $('filter-input').value) { e.stopPropagation(); $('filter-input').value = ''; st.filter.text = ''; recompute(); }
      if (e.key === 'ArrowDown' || e.key === 'Enter') { e.preventDefault(); list.grid.focus(); if (st.focus < 0) moveFocus(0, false); }
    });
    $('filter-mode').addEventListener('change', () => { st.filter.mode = cfg.filterMode = $('filter-mode').value; recompute(); save(); });
    $('filter-ext').addEventListener('change', () => { const v = $('filter-ext').value; st.filter.ext = v === '*' ? null : v; recompute(); });
    $('filter-tag').addEventListener('change', () => { st.filter.tag = $('filter-tag').value; recompute(); });
    $('filter-label').addEventListener('change', () => { st.filter.label = Number($('filter-label').value); recompute(); });
    $('filter-problem').addEventListener('change', () => { st.filter.problem = $('filter-problem').value; applyProblemFilter(); });
  }

  function setProblemFilter(p) {
    st.filter.problem = st.filter.problem === p ? '' : p;
    $('filter-problem').value = st.filter.problem;
    applyProblemFilter();
  }

  // ---------- summary ----------
  function pendingChanges() {
    if (st.pendingCache && st.pendingCache.stamp === st.stamp && st.pendingCache.check === st.check) return st.pendingCache.value;
    const value = countPending();
    st.pendingCache = { stamp: st.stamp, check: st.check, value };
    return value;
  }

  function countPending() {
    const c = st.check;
    let renames = 0, meta = 0, errors = 0, warnings = 0, skipped = 0;
    if (!c) return { renames, meta, errors, warnings, skipped, unchanged: st.items.length };
    for (let i = 0; i < st.items.length; i++) {
      const hasMeta = st.meta.has(st.items[i].path);
      const sev = severityOf(c.problems[i]);
      if (sev === 'skip') { skipped++; continue; }
      if (c.renamed[i]) renames++;
      if (hasMeta) meta++;
      if (sev === 'error') errors++;
      else if (sev === 'warning') warnings++;
    }
    let changedRows = 0;
    for (let i = 0; i < st.items.length; i++) if (c.renamed[i] || st.meta.has(st.items[i].path)) changedRows++;
    return { renames, meta, errors, warnings, skipped, unchanged: st.items.length - changedRows - skipped };
  }

  function drawSummary() {
    const s = $('summary');
    if (st.busy) return;
    s.hidden = !st.folder;
    const p = pendingChanges();
    const parts = [];
    const btn = (text, filter, cls, title) => h('button', { class: (cls || '') + (st.filter.problem === filter ? ' active' : ''), text, attrs: { type: 'button', title, 'aria-pressed': String(st.filter.problem === filter) }, on: { click: () => setProblemFilter(filter) } });
    const sep = () => h('span', { class: 'sep', text: '·', attrs: { 'aria-hidden': 'true' } });
    if (st.lastResult) {
      const r = st.lastResult;
      parts.push(h('span', { class: 'result-ok', text: `${r.title}: ${fmtInt(r.ok)} done` }));
      if (r.failed) parts.push(sep(), btn(`${fmtInt(r.failed)} failed`, 'failed', 'n-error', 'Show the items that failed'));
      if (r.unsent) parts.push(sep(), btn(`${fmtInt(r.unsent)} not applied`, 'failed', '', 'Show the items that were not sent (the batch was stopped)'));
      parts.push(h('span', { class: 'sep', text: '  |  ' }));
    }
    parts.push(btn(`${fmtInt(p.renames)} to rename`, 'changed', '', 'Show the items that change'));
    if (p.meta) parts.push(sep(), btn(`${fmtInt(p.meta)} metadata`, 'changed', '', 'Show the items that change'));
    parts.push(sep(), h('span', { text: `${fmtInt(Math.max(0, p.unchanged))} unchanged` }));
    parts.push(sep(), btn(`${fmtInt(p.errors)} error${p.errors === 1 ? '' : 's'}`, 'error', p.errors ? 'n-error' : '', 'Show the rows with errors'));
    parts.push(sep(), btn(`${fmtInt(p.warnings)} warning${p.warnings === 1 ? '' : 's'}`, 'warning', p.warnings ? 'n-warning' : '', 'Show the rows with warnings'));
    if (p.skipped) parts.push(sep(), btn(`${fmtInt(p.skipped)} left out`, 'skip', '', 'Rows whose names are not valid UTF-8'));
    fill(s, parts);
    const total = p.renames + p.meta;
    const apply = $('apply-btn');
    apply.disabled = total === 0 || st.busy;
    // when every change has errors the button still opens the confirmation, which says why
    const sent = outgoing().changes.length;
    apply.textContent = sent ? `Apply ${fmtInt(sent)} ▸` : 'Apply';
    drawHistoryButtons();
    $('reveal-btn').disabled = st.selection.size === 0 && st.focus < 0;
  }

  function drawCount() {
    const n = st.items.length, v = st.view.length, s = st.selection.size;
    list.setAllState(v > 0 && s >= v && st.view.every((i) => st.selection.has(i)), s > 0);
    // the selection is counted where it is edited, in the metadata panel
    $('count').textContent = !n ? '' : `${v === n ? fmtInt(n) : `${fmtInt(v)} of ${fmtInt(n)}`} item${n === 1 ? '' : 's'}`;
    $('count').title = $('count').textContent;
  }

  function drawHistoryButtons() {
    const u = st.undo[st.undo.length - 1];
    const r = st.redo[st.redo.length - 1];
    const describe = (b) => { const c = countChanges(batchChanges(b)); return `${fmtInt(c.renames)} name${c.renames === 1 ? '' : 's'}${c.meta ? `, metadata of ${fmtInt(c.meta)}` : ''}`; };
    const ub = $('undo-btn'), rb = $('redo-btn');
    // each button names the folder its batch changed
    const label = (verb, b) => `${verb} ${fmtInt(b.changes.length)} in ${baseName(batchFolder(b))}`;
    ub.disabled = !u || st.busy;
    ub.title = u ? `Undo “${u.title}” in ${batchFolder(u)}: restores ${describe(u)} (Ctrl+Z)` : 'Nothing to undo (Ctrl+Z)';
    ub.textContent = u ? label('Undo', u) : 'Undo';
    rb.disabled = !r || st.busy;
    rb.title = r ? `Redo in ${batchFolder(r)}: changes ${describe(r)} again (Shift+Ctrl+Z)` : 'Nothing to redo (Shift+Ctrl+Z)';
    rb.textContent = r ? label('Redo', r) : 'Redo';
  }

  function drawChrome() {
    for (const b of $('mode-switch').children) b.setAttribute('aria-checked', String(b.dataset.mode === cfg.mode));
    $('hidden-btn').setAttribute('aria-pressed', String(cfg.showHidden));
    $('clear-rules').disabled = !cfg.rules.length;
    for (const b of document.querySelectorAll('[data-scope]')) b.setAttribute('aria-checked', String(b.dataset.scope === cfg.scope));
    const crumbs = $('crumbs');
    if (!st.folder) fill(crumbs, h('span', { class: 'none', text: 'No folder' }));
    else {
      const parts = st.folder.split('/').filter(Boolean);
      const nodes = [];
      let acc = '';
      if (parts.length > 5) nodes.push(h('span', { class: 'sep', text: '…/' }));
      parts.forEach((p, k) => {
        acc += '/' + p;
        const path = acc;
        if (k < parts.length - 5) return;
        nodes.push(h('button', { text: p, attrs: { type: 'button', title: `Open ${path}` }, on: { click: () => openFolder(path) } }));
        if (k < parts.length - 1) nodes.push(h('span', { class: 'sep', text: '/', attrs: { 'aria-hidden': 'true' } }));
      });
      if (st.dropped) nodes.push(h('span', { class: 'sep', text: ` · ${fmtInt(st.items.length)} dropped` }));
      fill(crumbs, nodes);
    }
    $('empty').hidden = Boolean(st.folder);
    $('grid').hidden = !st.folder;
    const recent = cfg.recent;
    fill($('recent-menu'), recent.length
      ? recent.map((p) => h('button', { text: p, attrs: { type: 'button', role: 'menuitem', title: p }, on: { click: () => { closeRecent(); openFolder(p); } } }))
      : h('div', { class: 'menu-note', text: 'No recent folders yet' }));
    fill($('empty-recent'), recent.length ? [h('h3', { text: 'Recent folders' }), ...recent.map((p) => h('button', { text: p, attrs: { type: 'button', title: `Open ${p}` }, on: { click: () => openFolder(p) } }))] : []);
  }

  function closeRecent() { $('recent-menu').hidden = true; $('recent-btn').setAttribute('aria-expanded', 'false'); }

  // ---------- apply ----------
  function collectChanges(skipFlags) {
    const changes = [];
    const c = st.check;
    for (let i = 0; i < st.items.length; i++) {
      const it = st.items[i];
      if (isInvalidUtf8(it.name) || (skipFlags && skipFlags[i])) continue;
      const rename = c.renamed[i] === 1;
      const edit = st.meta.get(it.path);
      if (!rename && !edit) continue;
      const before = {};
      if (edit) for (const k of Object.keys(edit)) before[k] = it[k];
      changes.push({ key: it.path, dir: it.dir, name: it.name, newName: rename ? st.newNames[i] : it.name, meta: edit ? { ...edit } : undefined, before });
    }
    return changes;
  }

  /** The changes apply sends for the preview on screen, with their counts. */
  function outgoing() {
    const cache = st.outgoingCache;
    if (cache && cache.stamp === st.stamp && cache.check === st.check) return cache.value;
    const changes = st.check ? collectChanges(st.leftOut) : [];
    const value = { changes, ...countChanges(changes) };
    st.outgoingCache = { stamp: st.stamp, check: st.check, value };
    return value;
  }

  function sheet({ title, content, okText, skipText = null }) {
    return new Promise((resolve) => {
      const dlg = $('sheet');
      $('sheet-title').textContent = title;
      fill($('sheet-content'), content);
      const ok = $('sheet-ok');
      ok.textContent = okText;
      const skipRow = $('sheet-skip-row');
      const skip = $('sheet-skip');
      skipRow.hidden = !skipText;
      skip.checked = false;
      $('sheet-skip-text').textContent = skipText || '';
      ok.disabled = Boolean(skipText);
      skip.onchange = () => { ok.disabled = skipText ? !skip.checked : false; };
      const done = (v) => { dlg.onclose = null; if (dlg.open) dlg.close(); resolve(v); };
      $('sheet-cancel').onclick = () => done(false);
      dlg.onclose = () => done(false);
      $('sheet-form').onsubmit = (e) => { e.preventDefault(); done(true); };
      dlg.showModal();
      (skipText ? skip : ok).focus();
    });
  }

  /** Resolves when the preview that is being computed is on screen. */
  function previewSettled() {
    // only the newest preview ever finishes; older ones are abandoned
    return new Promise((resolve) => st.previewWaiters.push(resolve));
  }

  /** Waits for the preview and for the questions about names the list does not show. */
  async function settleChecks() {
    for (let round = 0; round < 5; round++) {
      if (st.previewPending) await previewSettled();
      if (!st.check) return false;
      try {
        if (!(await probeTargets())) return true;
      } catch (e) {
        toast(`Could not check the new names against the items the list does not show: ${e.message}`, 'error');
        return false;
      }
    }
    return !st.previewPending;
  }

  async function apply() {
    if (st.busy) return;
    if (!(await settleChecks())) return;
    const p = pendingChanges();
    if (!p.renames && !p.meta) return;
    // Confirming needs the rows with errors skipped, so the batch confirmed is
    // the one without them, and exactly that one is sent.
    const stamp = st.stamp;
    const { changes, renames, meta } = outgoing();
    const line = (c) => visibleName(c.newName !== c.name ? `${c.name}  →  ${c.newName}` : `${c.name}  (metadata)`);
    const content = [
      h('p', { class: 'big', text: `${fmtInt(renames)} rename${renames === 1 ? '' : 's'} and ${fmtInt(meta)} metadata change${meta === 1 ? '' : 's'}.` }),
      p.warnings ? h('p', { text: `${fmtInt(p.warnings)} row${p.warnings === 1 ? ' has' : 's have'} warnings (case, spaces, hidden names); they are applied.` }) : null,
      p.errors ? h('p', { class: 'err', text: `${fmtInt(p.errors)} row${p.errors === 1 ? ' has' : 's have'} errors that would be refused. They must be left out.` }) : null,
      p.skipped ? h('p', { text: p.skipped === 1 ? '1 row with a name that is not valid UTF-8 is left out.' : `${fmtInt(p.skipped)} rows with names that are not valid UTF-8 are left out.` }) : null,
      changes.length ? lineList(changes.length, (i) => line(changes[i]), { className: 'samples' }) : null,
    ];
    const ok = await sheet({
      title: 'Apply changes',
      content,
      okText: changes.length ? `Apply ${fmtInt(changes.length)}` : 'Apply',
      skipText: p.errors ? `Skip the ${fmtInt(p.errors)} row${p.errors === 1 ? '' : 's'} with errors (and rows that depend on them)` : null,
    });
    if (!ok) return;
    if (st.stamp !== stamp || st.previewPending || st.busy) {
      toast('The list changed while the confirmation was open, so nothing was applied. Check the preview and apply again.', 'warning');
      return;
    }
    if (!changes.length) { toast('Nothing left to apply once the rows with errors are skipped.', 'warning'); return; }
    const title = `${renames ? 'Rename' : 'Metadata'} of ${fmtInt(changes.length)}`;
    const outcome = await runBatch(changes, title);
    if (!outcome) return;
    const record = undoRecord(title, changes, outcome, Date.now(), st.folder);
    if (record) { st.undo.push(record); st.redo = []; }
    if (record && record.changes.length > MAX_SAVED_BATCH) toast(`This batch is too large to keep for undo after a restart (over ${fmtInt(MAX_SAVED_BATCH)} items); it can be undone in this session.`, 'warning');
    drawHistoryButtons();
    save();
  }

  /** Runs changes in chunks with progress; returns the outcomes, after refreshing the rows. */
  async function runBatch(changes, title) {
    st.busy = true;
    st.cancel = false;
    $('apply-btn').disabled = true;
    drawHistoryButtons();
    let names = null;
    const occupied = (dir) => {
      if (!names) {
        names = new Map();
        for (const it of st.items) { let set = names.get(it.dir); if (!set) names.set(it.dir, (set = new Set())); set.add(it.name); }
      }
      return names.get(dir) || null;
    };
    const plan = planBatch(changes, { occupied });
    const chunks = chunkPlan(plan, CHUNK);
    const results = [];
    $('progress').hidden = false;
    $('summary').hidden = true;
    const bar = $('progress-bar');
    bar.setAttribute('aria-valuemax', String(plan.ops.length));
    const progress = (n) => {
      $('progress-fill').style.width = `${plan.ops.length ? (100 * n) / plan.ops.length : 100}%`;
      bar.setAttribute('aria-valuenow', String(n));
      $('progress-text').textContent = `${title}: ${fmtInt(n)} of ${fmtInt(plan.ops.length)} operations`;
    };
    progress(0);
    let failure = '';
    for (const [a, b] of chunks) {
      if (st.cancel) break;
      try {
        const res = await bridge.apply(plan.ops.slice(a, b));
        const got = Array.isArray(res?.results) ? res.results : [];
        for (let k = 0; k < b - a; k++) results.push(got[k] || { ok: false, error: 'the application gave no result for this operation' });
      } catch (e) {
        failure = e.message;
        break;
      }
      progress(results.length);
    }
    const outcomes = followResults(plan, results, changes);
    const rescue = rescueOps(changes, outcomes);
    if (rescue.ops.length) {
      try {
        const res = await bridge.apply(rescue.ops);
        res.results.forEach((r, k) => {
          const o = outcomes.get(rescue.keys[k]);
          if (r.ok) { o.path = r.newPath; o.stranded = false; o.error += ' (the item was moved back from its temporary name)'; }
        });
      } catch (_) { /* reported below as stranded */ }
    }
    for (const c of changes) {
      const o = outcomes.get(c.key);
      o.renamed = o.path !== joinPath(c.dir, c.name);
    }
    if (failure) toast(`The batch was stopped: ${failure}`, 'error', 12000);
    if (st.cancel) toast('Stopped between chunks: the items not yet sent were not changed.', 'warning');
    await refreshRows(changes, outcomes);
    st.busy = false;
    $('progress').hidden = true;
    $('summary').hidden = false;
    const ok = changes.filter((c) => outcomes.get(c.key).ok).length;
    const unsent = changes.filter((c) => !outcomes.get(c.key).sent).length;
    st.lastResult = { title, ok, failed: changes.length - ok - unsent, unsent };
    recompute();
    return outcomes;
  }

  /** Brings the rows of a finished batch up to date with statPaths and marks their results. */
  async function refreshRows(changes, outcomes) {
    const paths = changes.map((c) => outcomes.get(c.key).path);
    let fresh = [];
    try { fresh = (await bridge.statPaths(paths)).files; } catch (e) { toast(`Could not refresh the list: ${e.message}`, 'error'); }
    const byPath = new Map(fresh.map((f) => [f.path, f]));
    st.results.clear();
    const failed = new Set();
    // Look every row and edit up before changing any: in a swap, one item's new
    // path is another's old one.
    const rows = changes.map((c) => st.pathIndex.get(c.key));
    const edits = changes.map((c) => st.meta.get(c.key));
    for (const c of changes) st.meta.delete(c.key);
    changes.forEach((c, k) => {
      const o = outcomes.get(c.key);
      // a path's thumbnail may now belong to another item (swaps)
      thumbs.delete(c.key);
      thumbs.delete(o.path);
      const i = rows[k];
      if (i === undefined) return; // the batch was for items that are not listed now
      let text = o.ok ? '' : explainError(o.error).text;
      if (o.stranded) text += ` The item is now named “${o.path.slice(o.path.lastIndexOf('/') + 1)}” (a temporary name).`;
      const rec = byPath.get(o.path);
      if (rec) {
        const next = normalise(rec, st.folder, i);
        if (st.dropped || cfg.mode === 'tree' || dirOf(next.path) === st.items[i].dir) st.items[i] = next;
      }
      const now = st.items[i];
      if (!o.ok && edits[k]) st.meta.set(now.path, edits[k]);
      st.results.set(now.path, { ok: o.ok, text: o.ok ? '' : `${text}${o.error !== text ? `\n(${o.error})` : ''}` });
      if (!o.ok) failed.add(i);
    });
    st.pathIndex = new Map(st.items.map((it, i) => [it.path, i]));
    st.selection = failed;
    st.focus = -1;
    st.newNames = st.items.map((it) => it.name);
  }

  async function undoRedo(redo) {
    if (st.busy) return;
    const stack = redo ? st.redo : st.undo;
    const batch = stack[stack.length - 1];
    if (!batch) return;
    const where = batchFolder(batch);
    const title = redo ? `Redo of ${batch.title.replace(/^Undo of /, '')}` : `Undo of ${batch.title}`;
    if (where !== st.folder) {
      // the list shows other items: say where the batch goes before it does
      const ok = await sheet({
        title: redo ? 'Redo a batch in another folder?' : 'Undo a batch in another folder?',
        content: [
          h('p', { class: 'big', text: `“${batch.title}” changed ${fmtInt(batch.changes.length)} item${batch.changes.length === 1 ? '' : 's'} in ${where}.` }),
          h('p', { text: st.folder ? `The list shows ${st.folder}.` : 'No folder is shown.' }),
        ],
        okText: `${redo ? 'Redo' : 'Undo'} in ${baseName(where)}`,
      });
      if (!ok || st.busy || stack[stack.length - 1] !== batch) return;
    }
    stack.pop();
    const changes = batchChanges(batch);
    const outcomes = await runBatch(changes, title);
    const record = undoRecord(title, changes, outcomes, Date.now(), where);
    if (record) (redo ? st.undo : st.redo).push(record);
    const failed = changes.length - changes.filter((c) => outcomes.get(c.key).ok).length;
    if (failed) toast(`${fmtInt(failed)} item${failed === 1 ? '' : 's'} could not be restored; see the rows marked failed.`, 'error', 10000);
    save();
    drawHistoryButtons();
  }

  async function reveal() {
    const idx = (st.selection.size ? [...st.selection] : st.focus >= 0 ? [st.view[st.focus]] : []).filter((i) => !isInvalidUtf8(st.items[i].path));
    if (!idx.length) return;
    try { await bridge.reveal(idx.slice(0, 500).map((i) => st.items[i].path)); } catch (e) { toast(e.message, 'error', 10000); }
  }

  // ---------- presets ----------
  function drawPresets(selected) {
    const sel = $('preset-select');
    fill(sel, cfg.presets.length ? cfg.presets.map((p) => h('option', { value: p.name, text: `${p.name} (${p.rules.length})`, selected: p.name === selected })) : h('option', { value: '', text: 'no presets yet' }));
    for (const id of ['preset-load', 'preset-rename', 'preset-delete']) $(id).disabled = !cfg.presets.length;
  }
  function bindPresets() {
    const nameBox = $('preset-name');
    const chosen = () => cfg.presets.find((p) => p.name === $('preset-select').value);
    const savePreset = () => {
      const name = nameBox.value.trim() || chosen()?.name;
      if (!name) { toast('Type a name for the preset.', 'warning'); nameBox.focus(); return; }
      const rules = structuredClone(cfg.rules);
      const existing = cfg.presets.find((p) => p.name === name);
      if (existing) existing.rules = rules; else cfg.presets.push({ name, rules });
      nameBox.value = '';
      drawPresets(name);
      toast(`Preset “${name}” saved.`);
      save();
    };
    $('preset-save').addEventListener('click', savePreset);
    nameBox.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); savePreset(); } });
    $('preset-load').addEventListener('click', async () => {
      const p = chosen();
      if (!p) return;
      // a chain that no preset holds would be lost: ask first
      if (cfg.rules.length && !cfg.presets.some((q) => sameChain(q.rules, cfg.rules))) {
        const ok = await sheet({
          title: `Load “${p.name}”?`,
          content: [h('p', { class: 'big', text: `The current chain of ${cfg.rules.length} rule${cfg.rules.length === 1 ? '' : 's'} is not saved as a preset. Loading “${p.name}” replaces it.` })],
          okText: 'Replace the chain',
        });
        if (!ok || !cfg.presets.includes(p)) return;
      }
      cfg.rules = structuredClone(p.rules).map((r) => newRule(r.type, { ...r, id: undefined }));
      for (const r of cfg.rules) if (!r.id) r.id = newRule(r.type).id;
      rulesView.expanded.clear();
      rulesView.render();
      changedRules();
    });
    $('preset-rename').addEventListener('click', () => {
      const p = chosen();
      const name = nameBox.value.trim();
      if (!p || !name) { toast('Choose a preset and type its new name.', 'warning'); return; }
      if (cfg.presets.some((q) => q.name === name && q !== p)) { toast(`A preset named “${name}” exists already.`, 'warning'); return; }
      p.name = name;
      nameBox.value = '';
      drawPresets(name);
      save();
    });
    $('preset-delete').addEventListener('click', () => {
      const p = chosen();
      if (!p) return;
      cfg.presets = cfg.presets.filter((q) => q !== p);
      drawPresets();
      toast(`Preset “${p.name}” deleted.`);
      save();
    });
  }

  /** Two chains do the same when their rules match, whatever their ids. */
  function sameChain(a, b) {
    const plain = (rules) => JSON.stringify(rules.map(({ id, ...rest }) => rest)); // eslint-disable-line no-unused-vars
    return a.length === b.length && plain(a) === plain(b);
  }

  async function clearRules() {
    if (!cfg.rules.length) return;
    const ok = await sheet({
      title: 'Remove all rules?',
      content: [h('p', { class: 'big', text: `All ${cfg.rules.length} rule${cfg.rules.length === 1 ? '' : 's'} of the chain are removed; the names on disk stay as they are.` })],
      okText: 'Remove all',
    });
    if (!ok) return;
    cfg.rules = [];
    rulesView.expanded.clear();
    rulesView.render();
    changedRules();
    $('add-rule').focus();
  }

  // ---------- global wiring ----------
  function showPathInput(show) {
    $('path-form').hidden = !show;
    $('crumbs').hidden = show;
    if (show) { const i = $('path-input'); i.value = st.folder || ''; i.focus(); i.select(); }
  }

  function bindChrome() {
    $('open-btn').addEventListener('click', chooseFolder);
    $('empty-open').addEventListener('click', chooseFolder);
    $('edit-path').addEventListener('click', () => showPathInput($('path-form').hidden));
    $('reload-btn').addEventListener('click', reload);
    $('clear-rules').addEventListener('click', clearRules);
    $('hidden-btn').addEventListener('click', () => {
      cfg.showHidden = !cfg.showHidden;
      drawChrome();
      save();
      if (st.folder && !st.dropped) openFolder(st.folder);
    });
    $('path-form').addEventListener('submit', (e) => {
      e.preventDefault();
      const p = $('path-input').value.trim();
      showPathInput(false);
      if (p) openFolder(p.length > 1 ? p.replace(/\/+$/, '') : p);
    });
    $('path-input').addEventListener('keydown', (e) => { if (e.key === 'Escape') { e.stopPropagation(); showPathInput(false); } });
    for (const b of $('mode-switch').children) b.addEventListener('click', () => setMode(b.dataset.mode));
    for (const b of document.querySelectorAll('[data-scope]')) b.addEventListener('click', () => { cfg.scope = b.dataset.scope; drawChrome(); recompute(); save(); });
    $('recent-btn').addEventListener('click', () => {
      const m = $('recent-menu');
      m.hidden = !m.hidden;
      $('recent-btn').setAttribute('aria-expanded', String(!m.hidden));
      if (!m.hidden) m.querySelector('button')?.focus();
    });
    document.addEventListener('mousedown', (e) => {
      if (!e.target.closest('.menu-wrap')) { closeRecent(); rulesView.closeMenu(); }
    });
    $('apply-btn').addEventListener('click', apply);
    $('undo-btn').addEventListener('click', () => undoRedo(false));
    $('redo-btn').addEventListener('click', () => undoRedo(true));
    $('reveal-btn').addEventListener('click', reveal);
    $('progress-cancel').addEventListener('click', () => { st.cancel = true; });

    document.addEventListener('keydown', (e) => {
      const ctrl = e.ctrlKey || e.metaKey;
      const text = inTextField(document.activeElement);
      const k = e.key.length === 1 ? e.key.toLowerCase() : e.key;
      if ($('sheet').open) return;
      if (ctrl && k === 'o') { e.preventDefault(); chooseFolder(); }
      else if (ctrl && k === 'l') { e.preventDefault(); showPathInput(true); }
      else if (ctrl && k === 'f') { e.preventDefault(); $('filter-input').focus(); $('filter-input').select(); }
      else if (ctrl && k === 'n') { e.preventDefault(); rulesView.openMenu(); }
      else if (ctrl && k === 'e') { e.preventDefault(); reveal(); }
      else if (ctrl && e.key === 'Enter') { e.preventDefault(); apply(); }
      else if (ctrl && k === 'z' && !text) { e.preventDefault(); undoRedo(e.shiftKey); }
      else if (ctrl && k === 'y' && !text) { e.preventDefault(); undoRedo(true); }
      else if (ctrl && k === 'a' && !text) { e.preventDefault(); selectAll(); list.grid.focus(); }
      else if (e.key === 'F5') { e.preventDefault(); reload(); }
      else if (e.altKey && ['1', '2', '3'].includes(e.key)) { e.preventDefault(); setMode(['files', 'folders', 'tree'][Number(e.key) - 1]); }
      else if (e.key === 'Escape') {
        if (st.busy) st.cancel = true;
        closeRecent();
        rulesView.closeMenu();
      }
    });
  }

  // ---------- start ----------
  async function start() {
    buildMetaControls();
    bindFilters();
    bindPresets();
    bindChrome();
    bridge.onDrop(onDrop);
    st.loading = true;
    let saved = null;
    try { saved = (await bridge.loadPrefs())?.data ?? null; } catch (e) { toast(`Could not load the settings: ${e.message}`, 'error'); }
    Object.assign(cfg, parseConfig(saved));
    if (cfg.lastBatch) st.undo.push(cfg.lastBatch);
    st.filter.mode = cfg.filterMode;
    $('filter-mode').value = cfg.filterMode;
    list.setWidths(cfg.columns);
    list.setSort(cfg.sort);
    rulesView.render();
    drawPresets();
    drawChrome();
    fillFilterOptions();
    try { await bridge.setMode(kindArg()); } catch (_) { /* the drop mode stays as it was */ }
    st.loading = false;
    if (cfg.lastFolder) await openFolder(cfg.lastFolder);
    else recompute();
    document.body.dataset.ready = 'true';
  }

  start();
  return { state: st, config: cfg, openFolder, setListing };
}
