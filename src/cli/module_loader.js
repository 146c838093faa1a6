// The page's modules where there is no module loader (JavaScriptCore run by
// the command line): a script, not a module, whose value is a function that
// takes `readText(path)` (a file's text) and gives `load(path)`, a module's
// exports. Each module's imports and exports become plain bindings: the
// exported functions are set first (they are hoisted), the rest once its
// body has run, so that a cycle of imports (conflicts.js and unique.js)
// sees each other's functions. Also the few web globals the pure modules use.
(function (readText) {
  const IMPORT = /^import\s+(?:(\w+)\s*,?\s*)?(?:\{([^}]*)\}\s*)?(?:\*\s*as\s+(\w+)\s*)?from\s*['"]([^'"]+)['"];?/gm;
  const EXPORT_FROM = /^export\s*\{([^}]*)\}\s*from\s*['"]([^'"]+)['"];?/gm;
  const EXPORT_LIST = /^export\s*\{([^}]*)\};?/gm;
  const EXPORT_DECL = /^export\s+(async\s+function\s*\*?|function\s*\*?|const|let|var|class)\s+(\w+)/gm;
  const EXPORT_DEFAULT = /^export\s+default\s+/m;
  const pairs = (list) => list.split(',').map((s) => s.trim()).filter(Boolean).map((s) => { const [a, b] = s.split(/\s+as\s+/); return [a, b ?? a]; });
  const cache = new Map();

  const resolve = (from, spec) => {
    const parts = from.split('/').slice(0, -1);
    for (const p of spec.split('/')) {
      if (p === '..') parts.pop();
      else if (p !== '.') parts.push(p);
    }
    return parts.join('/');
  };

  function transform(path, src) {
    const hoisted = [];
    const late = [];
    let body = src.replace(IMPORT, (_, def, names, ns, spec) => {
      const from = JSON.stringify(resolve(path, spec));
      const out = [];
      if (def) out.push(`const ${def} = __import(${from}).default;`);
      if (names) out.push(`const { ${pairs(names).map(([a, b]) => (a === b ? a : `${a}: ${b}`)).join(', ')} } = __import(${from});`);
      if (ns) out.push(`const ${ns} = __import(${from});`);
      return out.join(' ');
    });
    body = body.replace(EXPORT_FROM, (_, names, spec) => {
      const from = JSON.stringify(resolve(path, spec));
      return pairs(names).map(([a, b]) => `__exports.${b} = __import(${from}).${a};`).join(' ');
    });
    body = body.replace(EXPORT_LIST, (_, names) => { late.push(...pairs(names).map(([a, b]) => `__exports.${b} = ${a};`)); return ''; });
    body = body.replace(EXPORT_DECL, (_, kind, name) => {
      (kind.includes('function') ? hoisted : late).push(`__exports.${name} = ${name};`);
      return `${kind} ${name}`;
    });
    body = body.replace(EXPORT_DEFAULT, '__exports.default = ');
    return `${hoisted.join(' ')}\n${body}\n;${late.join(' ')}`;
  }

  function load(path) {
    let exports = cache.get(path);
    if (exports) return exports;
    cache.set(path, (exports = {}));
    // eslint-disable-next-line no-new-func
    new Function('__exports', '__import', transform(path, readText(path)))(exports, load);
    return exports;
  }

  polyfill(globalThis);
  return load;

  function polyfill(g) {
    g.structuredClone ??= (v) => JSON.parse(JSON.stringify(v));
    const B64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
    g.btoa ??= (s) => {
      let out = '';
      for (let i = 0; i < s.length; i += 3) {
        const [a, b, c] = [s.charCodeAt(i), s.charCodeAt(i + 1), s.charCodeAt(i + 2)];
        const n = (a << 16) | ((b || 0) << 8) | (c || 0);
        out += B64[n >> 18] + B64[(n >> 12) & 63] + (i + 1 < s.length ? B64[(n >> 6) & 63] : '=') + (i + 2 < s.length ? B64[n & 63] : '=');
      }
      return out;
    };
    g.atob ??= (s) => {
      const t = String(s).replace(/=+$/, '');
      if (/[^A-Za-z0-9+/]/.test(t) || t.length % 4 === 1) throw new Error('not base64');
      let out = '';
      for (let i = 0, bits = 0, n = 0; i < t.length; i++) {
        n = (n << 6) | B64.indexOf(t[i]);
        bits += 6;
        if (bits >= 8) { bits -= 8; out += String.fromCharCode((n >> bits) & 255); }
      }
      return out;
    };
    g.TextEncoder ??= class {
      encode(s) { return Uint8Array.from(unescape(encodeURIComponent(String(s).replace(/[\uD800-\uDFFF]/gu, '\uFFFD'))), (c) => c.charCodeAt(0)); }
    };
    // UTF-8 here; the legacy encodings through the native side's converter
    g.TextDecoder ??= class {
      constructor(label = 'utf-8', { fatal = false } = {}) { this.label = String(label).toLowerCase(); this.fatal = fatal; }
      decode(bytes = new Uint8Array(0)) {
        const binary = String.fromCharCode(...bytes);
        const text = this.label === 'utf-8' ? utf8(binary, this.fatal) : g.quarrytideDecode(binary, this.label);
        if (text === null) throw new TypeError(`not ${this.label}`);
        return text;
      }
    };
    function utf8(binary, fatal) {
      try {
        return decodeURIComponent(escape(binary));
      } catch (_) {
        return fatal ? null : g.quarrytideDecode(binary, 'utf-8');
      }
    }
  }
})
