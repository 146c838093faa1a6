// Test double of the native side: an in-memory file tree with the native rename
// rules (no replace, collision error, case-sensitive names compared byte for
// byte) behind the page protocol. Loads in node (require) and in a page (as a
// classic script before the page's own, where it installs window.webkit).
(function (root) {
  'use strict';

  const COLOR_NAMES = ['', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];
  const COMMENT_FAILED = 'Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 Automation).';
  const THUMBS = [
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAtUlEQVR42u3SvQpBcQCG8eeClJJSymUYKFI+8lFO6jhFhFKnkCSKIkkMpygGi8FgsBgMBpfjfxHeQanf9Azv9PI+DqR47XtSPD1XiseuK8V905HitmpJcV00pLjMalKcp44Up7EtxWFYkcLrl6XYuiUp1t28FMt2Top5My3FpJaSYuQkpChaIcsOV+uRaMwXT/pTmUC2EPxiRLpuItJ1E5Gum4h03USk6yYiXTfxf9P/TX/gph8i36ysUdhjNgAAAABJRU5ErkJggg==',
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAtklEQVR42u3SMQsBcQCG8ecDKdGVurpSPoWBFIkUqUuRkiLSDTfcQJIkKeoGg4EiGSwGg8HH8f8Q3kFd/aZneKcX7/aRYnJ5SzE6vaQYHJ9S9A8PKXrhXYru/ipFe3uWorU+SuEuD1I056EU9elOilqwkaLir6QoewspiuOZFIVhIEWu70uRchp22nUynVgiG7fyyVTJsqs/jEjXTUS6biLSdRORrpuIdN1EpOsmRjeNbvoHN/0Cg4OAzDq61XMAAAAASUVORK5CYII=',
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAtklEQVR42u3SvQqBcQCF8eeClJJSymqwGAxSiLz5jugl3ggRQjJYDAaDxWAwWAwGg8VgMLgc/4twBqV+0zOc6bB8L6SYv2ZSTJ8TKcaPkRTD+0CK/q0nRffakcK5tKVonZtSNE62FPVjTYrqoSJFeV+SorjLS5HbZqWwNhkp0uuUFMlVQgpfNeq34wEn5YoF3cmQxwp7C5EvRqTrJiJdNxHpuolI101Eum4i0nUT/zf93/QHbvoBN3lL7OFzhSIAAAAASUVORK5CYII=',
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAtUlEQVR42u3SsQpBcQCF8e+BlBKRSCmDRzCQIpEiQkiJRETdokTd4RYpymCwGAwGi8Fg8Dj+D+EMSv2mbzjTYXp4SzHZvaQYbZ5SDJyHFD37LkV3fZOis7xK0ZpfpGhYZylqs5MUlfFRitJwL0Wxv5Ui33WkyHVsKTLNlRTp+kKKZNWSIuovx4K1eLjtcyUC7lTIk414C1+MSNdNRLpuItJ1E5Gum4h03USk6yb+b/q/6Q/c9AOcf17MvFAKpgAAAABJRU5ErkJggg==',
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAt0lEQVR42u3SPQtBcQCF8ecDKSWlbhmUQRnMBlIkkrfo1hUhIqIUKeoWyWIwGCwGg8FiMBh8HP8P4QxK/aZnONPhPdlJ8RpvpHgOXSke/bUU9+5Silt7LsW1OZPi4kylONsjKU71gRTHak+KQ6kjxb7QkmKbc6Rws7YUq3RNikWqIsUsUZSiHAnUo1YjFoxbnmTQmwn58mH/FyPSdRORrpuIdN1EpOsmIl03Eem6if+b/m/6Azf9AL00Wgw9bNziAAAAAElFTkSuQmCC',
    'iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAt0lEQVR42u3SsQpBcQCF8e+BlJJSygtYLAaGK6IbKVI3RUok6kZRDHe4wy1KkiRJGQwGi8Fg8Dj+D+EMSv2mbzjT4X0bS/G6ulI8LyMpHueBFPdjT4rbvivFdduR4rJuSXFaNqU4BI4UO78hxcarSbFaVKUIZmUp/IkthecWpZgP81JM+5YUVj1WcOJ2O5HMhlK5cLoUyVSiX4xI101Eum4i0nUTka6biHTdRKTrJv5v+r/pD9z0A/tIuKyOM6EHAAAAAElFTkSuQmCC',
  ];

  const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });

  function dirOf(path) {
    const i = path.lastIndexOf('/');
    return i <= 0 ? '/' : path.slice(0, i);
  }
  function baseOf(path) {
    return path.slice(path.lastIndexOf('/') + 1);
  }
  function join(dir, name) {
    return dir === '/' ? '/' + name : dir + '/' + name;
  }
  function trimSlash(p) {
    return p.length > 1 && p.endsWith('/') ? p.replace(/\/+$/, '') || '/' : p;
  }
  function splitExt(name) {
    const dot = name.lastIndexOf('.');
    if (dot <= 0 || dot === name.length - 1) return { basename: name, ext: '' };
    return { basename: name.slice(0, dot), ext: name.slice(dot + 1) };
  }

  /** In-memory tree. Items are keyed by path; each has a stable `id` so tests can follow it. */
  function createMockFs() {
    const nodes = new Map();
    let nextId = 1;
    const renameFailures = [];

    function add(path, props = {}) {
      path = trimSlash(path);
      if (path !== '/' && !nodes.has(dirOf(path))) add(dirOf(path), { isDir: true });
      const t = props.modified ?? Date.UTC(2024, 5, 1, 10, 0, 0) + nextId * 61000;
      const node = {
        id: nextId++,
        isDir: Boolean(props.isDir),
        size: props.size ?? (props.isDir ? 0 : 1000 + ((nextId * 7919) % 5000000)),
        created: props.created ?? t - 3600000,
        modified: t,
        tags: props.tags ? props.tags.slice() : [],
        label: props.label ?? 0,
        comment: props.comment ?? '',
        noXattr: Boolean(props.noXattr),
      };
      nodes.set(path, node);
      return node;
    }
    add('/', { isDir: true });

    function childrenOf(dir) {
      const out = [];
      const prefix = dir === '/' ? '/' : dir + '/';
      for (const p of nodes.keys()) {
        if (p !== dir && p.startsWith(prefix) && !p.slice(prefix.length).includes('/')) out.push(p);
      }
      return out;
    }

    function fileInfo(path) {
      path = trimSlash(path);
      const node = nodes.get(path);
      const name = baseOf(path);
      const { basename, ext } = splitExt(name);
      return {
        path,
        name,
        basename,
        ext,
        isDir: node ? node.isDir : false,
        size: node ? node.size : 0,
        created: node ? node.created : 0,
        modified: node ? node.modified : 0,
        tags: node ? node.tags.slice() : [],
        label: node ? node.label : 0,
        comment: node ? node.comment : '',
      };
    }

    function listFolder(folder, recursive, foldersOnly, hidden = false) {
      const start = trimSlash(folder);
      const dir = nodes.get(start);
      if (!dir || !dir.isDir) return [];
      const out = [];
      const walk = (d) => {
        for (const p of childrenOf(d)) {
          if (baseOf(p).startsWith('.') && !hidden) continue;
          const n = nodes.get(p);
          if (foldersOnly) { if (n.isDir) out.push(p); continue; }
          if (n.isDir) { if (recursive) walk(p); continue; }
          out.push(p);
        }
      };
      walk(start);
      const recs = out.map(fileInfo);
      return recs.sort((a, b) => collator.compare(a.name, b.name));
    }

    function move(from, to) {
      const moved = [];
      for (const [p, n] of nodes) {
        if (p === from || p.startsWith(from + '/')) moved.push([p, n]);
      }
      for (const [p] of moved) nodes.delete(p);
      for (const [p, n] of moved) nodes.set(to + p.slice(from.length), n);
    }

    function renameFile(path, newName) {
      if (newName.includes('/') || newName === '.' || newName === '..' || newName === '') throw new Error('Invalid file name.');
      const dest = join(dirOf(path), newName);
      if (dest === path) return path;
      if (!nodes.has(path)) throw new Error(`“${baseOf(path)}” couldn’t be moved because it doesn’t exist.`);
      if (nodes.has(dest)) throw new Error(`A file named "${newName}" already exists.`);
      for (const f of renameFailures) {
        const msg = f(path, newName);
        if (msg) throw new Error(msg);
      }
      move(path, dest);
      return dest;
    }

    function applyOp(op) {
      if (!op || typeof op.path !== 'string') return { ok: false, error: 'missing path' };
      let cur = trimSlash(op.path);
      const newName = typeof op.newName === 'string' ? op.newName : baseOf(cur);
      if (newName !== baseOf(cur)) {
        try {
          cur = renameFile(cur, newName);
        } catch (e) {
          return { ok: false, path: op.path, error: e.message };
        }
      }
      const node = nodes.get(cur);
      if (op.setTags === true || op.setLabel === true) {
        if (!node || node.noXattr) return { ok: false, path: op.path, newPath: cur, error: 'tags: Operation not supported' };
        const tags = op.setTags === true ? (Array.isArray(op.tags) && op.tags.every((t) => typeof t === 'string') ? op.tags : []) : node.tags;
        if (tags.some((t) => t.includes(','))) return { ok: false, path: op.path, newPath: cur, error: 'tags: a tag contains ","' };
        const label = op.setLabel === true ? (Number.isInteger(op.label) && op.label >= 1 && op.label <= 7 ? op.label : 0) : node.label;
        node.tags = tags.slice();
        node.label = label;
      }
      if (op.setComment === true) {
        if (!node || node.noXattr) return { ok: false, path: op.path, newPath: cur, error: COMMENT_FAILED };
        node.comment = typeof op.comment === 'string' ? op.comment : '';
      }
      return { ok: true, path: op.path, newPath: cur };
    }

    return {
      nodes,
      add,
      fileInfo,
      listFolder,
      applyOp,
      renameFile,
      exists: (p) => nodes.has(trimSlash(p)),
      get: (p) => nodes.get(trimSlash(p)),
      /** `fn(path, newName)` returns an error message to make that rename fail. */
      failRenames: (fn) => renameFailures.push(fn),
      clearFailures: () => { renameFailures.length = 0; },
      names: (dir) => childrenOf(trimSlash(dir)).map(baseOf).sort(),
      COLOR_NAMES,
      COMMENT_FAILED,
    };
  }

  /**
   * The protocol over a mock tree. `deliver(replyObject)` and `drop(dropObject)`
   * reach the page; work replies keep their order (one serial queue) while
   * immediate commands overtake them, as the native side does.
   */
  function createMockBridge({ fs = createMockFs(), deliver, drop, latency = 0, storage = null } = {}) {
    const log = [];
    let foldersMode = false;
    let ioTail = Promise.resolve();
    const state = {
      chooseResult: null,
      prefs: storage ? storage.getItem('qt-mock-prefs') : null,
      saveError: null,
      holdApply: null,
      revealed: [],
      revealError: null,
      chooseStarts: [],
    };
    const wait = (ms) => new Promise((r) => setTimeout(r, ms));
    const answer = (id, ok, payload) => deliver({ id, ok, payload });
    const onIo = (fn) => {
      ioTail = ioTail.then(async () => {
        if (latency) await wait(latency);
        await fn();
      });
    };
    const kindOf = (a) => a.kind === 'folders';
    const bool = (v) => v === true;

    function post(env) {
      log.push(env);
      if (!env || typeof env !== 'object' || !Number.isInteger(env.id) || typeof env.cmd !== 'string') return;
      const id = env.id;
      const a = env.args && typeof env.args === 'object' && !Array.isArray(env.args) ? env.args : {};
      const now = (ok, payload) => setTimeout(() => answer(id, ok, payload), 0);
      switch (env.cmd) {
        case 'listFolder':
          if (typeof a.folder !== 'string') return now(false, 'missing folder');
          return onIo(() => answer(id, true, { folder: a.folder, files: fs.listFolder(a.folder, bool(a.recursive), kindOf(a), bool(a.hidden)) }));
        case 'chooseFolder':
          state.chooseStarts.push(typeof a.start === 'string' ? a.start : null);
          return setTimeout(() => {
            const folder = typeof state.chooseResult === 'function' ? state.chooseResult() : state.chooseResult;
            if (!folder) return answer(id, true, null);
            onIo(() => answer(id, true, { folder, files: fs.listFolder(folder, bool(a.recursive), kindOf(a), bool(a.hidden)) }));
          }, 0);
        case 'statPaths': {
          const paths = Array.isArray(a.paths) && a.paths.every((p) => typeof p === 'string') ? a.paths : [];
          return onIo(() => answer(id, true, { files: paths.filter((p) => fs.exists(p)).map(fs.fileInfo) }));
        }
        case 'apply': {
          if (!Array.isArray(a.ops) || !a.ops.every((o) => o && typeof o === 'object' && !Array.isArray(o))) return now(false, 'missing ops');
          const ops = a.ops;
          return onIo(async () => {
            if (state.holdApply) await state.holdApply();
            answer(id, true, { results: ops.map(fs.applyOp) });
          });
        }
        case 'reveal':
          state.revealed.push(Array.isArray(a.paths) ? a.paths.slice() : []);
          if (state.revealError) return now(false, `No file manager could show the items: ${state.revealError}`);
          return now(true, null);
        case 'thumbnail': {
          if (typeof a.path !== 'string') return now(false, 'missing path');
          const n = fs.get(a.path);
          const pick = n ? n.id % THUMBS.length : 0;
          return setTimeout(() => answer(id, true, { dataUrl: 'data:image/png;base64,' + THUMBS[pick] }), 5 + (latency ? latency / 2 : 0));
        }
        case 'setMode':
          foldersMode = a.kind === 'folders';
          return now(true, null);
        case 'savePrefs':
          if (state.saveError) return now(false, state.saveError);
          if (typeof a.data === 'string') {
            state.prefs = a.data;
            if (storage) storage.setItem('qt-mock-prefs', a.data);
          }
          return now(true, null);
        case 'loadPrefs':
          return now(true, { data: state.prefs ?? null });
        default:
          return now(false, 'unknown cmd: ' + env.cmd);
      }
    }

    function dropPaths(paths) {
      onIo(() => {
        const isDir = (p) => Boolean(fs.get(p)?.isDir);
        let obj;
        if (paths.length === 1 && isDir(paths[0])) {
          obj = { folder: trimSlash(paths[0]), files: fs.listFolder(paths[0], false, foldersMode), dropKind: 'folder' };
        } else {
          obj = {
            folder: dirOf(trimSlash(paths[0])),
            files: paths.filter((p) => isDir(p) === foldersMode).map(fs.fileInfo),
            dropKind: 'files',
          };
        }
        drop(obj);
      });
    }

    return {
      post,
      fs,
      log,
      state,
      dropPaths,
      get foldersMode() { return foldersMode; },
      idle: () => ioTail,
    };
  }

  /** A folder of holiday photos and a few awkward names, for demos and browser tests. */
  function seedDemo(fs, root = '/home/ana/Photos/2024') {
    const places = ['Beach', 'Harbour', 'Old town', 'Market', 'Cliffs', 'Lighthouse'];
    for (let i = 1; i <= 240; i++) {
      const n = String(i).padStart(4, '0');
      const ext = i % 9 === 0 ? 'jpeg' : i % 13 === 0 ? 'PNG' : 'JPG';
      fs.add(`${root}/IMG_${n}.${ext}`, {
        modified: Date.UTC(2024, 6, 1 + (i % 28), 9 + (i % 10), i % 60) ,
        tags: i % 7 === 0 ? ['Holiday', places[i % places.length]] : i % 11 === 0 ? ['Family'] : [],
        label: i % 17 === 0 ? 6 : i % 23 === 0 ? 2 : 0,
        comment: i % 19 === 0 ? 'Sunset from the pier, with the ferry leaving' : '',
      });
    }
    fs.add(`${root}/Beach 0003.jpg`, { tags: ['Holiday'] });
    fs.add(`${root}/  scan (copy).pdf`);
    fs.add(`${root}/Café menu.pdf`);
    fs.add(`${root}/notes\uFFFD.txt`);
    fs.add(`${root}/Trip/Day 1/IMG_9001.JPG`);
    fs.add(`${root}/Trip/Day 2/IMG_9002.JPG`);
    fs.add(`${root}/.hidden-cache`);
    fs.add('/home/ana/Downloads/report final (2).docx');
    fs.add('/home/ana/Downloads/Report Final.docx');
    return root;
  }

  /** Installs the mock as window.webkit.messageHandlers.bridge; returns it as window.__mock. */
  function installInPage(win, options = {}) {
    const fs = createMockFs();
    let storage = null;
    try { storage = win.localStorage; } catch (_) { storage = null; }
    const bridge = createMockBridge({
      fs,
      storage,
      latency: options.latency || 0,
      deliver: (reply) => win.__bridgeResolveRaw && win.__bridgeResolveRaw(reply),
      drop: (obj) => win.__onDrop && win.__onDrop(obj),
    });
    win.webkit = { messageHandlers: { bridge: { postMessage: (env) => bridge.post(JSON.parse(JSON.stringify(env))) } } };
    win.__mock = bridge;
    win.__mockSeedDemo = (root) => seedDemo(fs, root);
    return bridge;
  }

  const api = { createMockFs, createMockBridge, seedDemo, installInPage, COLOR_NAMES };
  if (typeof module !== 'undefined' && module.exports) module.exports = api;
  else root.QuarrytideMock = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
