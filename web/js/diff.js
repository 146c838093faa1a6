// Character difference between an old and a new name, for highlighting.
// Pure: no DOM. Works on code points.

/**
 * Segments [kind, text] with kind "=" (kept), "-" (removed) or "+" (inserted):
 * the longest common subsequence between the names, so a prefix, a suffix and
 * changes in the middle all show where they are.
 */
export function diffNames(a, b) {
  if (a === b) return [['=', a]];
  const x = Array.from(a);
  const y = Array.from(b);
  let p = 0;
  while (p < x.length && p < y.length && x[p] === y[p]) p++;
  let s = 0;
  while (s < x.length - p && s < y.length - p && x[x.length - 1 - s] === y[y.length - 1 - s]) s++;
  const xm = x.slice(p, x.length - s);
  const ym = y.slice(p, y.length - s);
  const out = [];
  const push = (k, t) => {
    if (t === '') return;
    const last = out[out.length - 1];
    if (last && last[0] === k) last[1] += t;
    else out.push([k, t]);
  };
  push('=', x.slice(0, p).join(''));
  if (xm.length * ym.length > 40000) {
    push('-', xm.join(''));
    push('+', ym.join(''));
  } else {
    const n = xm.length, m = ym.length;
    const L = Array.from({ length: n + 1 }, () => new Uint16Array(m + 1));
    for (let i = n - 1; i >= 0; i--) for (let j = m - 1; j >= 0; j--) L[i][j] = xm[i] === ym[j] ? L[i + 1][j + 1] + 1 : Math.max(L[i + 1][j], L[i][j + 1]);
    let i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && xm[i] === ym[j]) { push('=', xm[i]); i++; j++; }
      else if (i < n && (j === m || L[i + 1][j] >= L[i][j + 1])) { push('-', xm[i]); i++; }
      else { push('+', ym[j]); j++; }
    }
  }
  push('=', x.slice(x.length - s).join(''));
  return tidy(out);
}

/**
 * What to draw for a change of name: the character difference while a good
 * part of the name stays; once nearly all of it changed, the new name as one
 * changed run (letters kept here and there only scramble it: "IMG_0240.JPG"
 * against "2024-07-13 Holiday 240.jpg").
 */
export function readableDiff(a, b) {
  const segs = diffNames(a, b);
  let kept = 0;
  for (const [kind, text] of segs) if (kind === '=') kept += Array.from(text).length;
  return kept * 4 < Math.max(Array.from(a).length, Array.from(b).length) ? [['+', b]] : segs;
}

/**
 * Folds kept runs of up to three characters that sit between changes into the
 * change, and puts each change's removed text before its inserted text: a
 * character-exact diff of "IMG_0001" and "003" is correct but unreadable.
 */
function tidy(segs) {
  const out = [];
  let del = '', ins = '';
  const flush = () => {
    if (del) out.push(['-', del]);
    if (ins) out.push(['+', ins]);
    del = ins = '';
  };
  for (let k = 0; k < segs.length; k++) {
    const [kind, text] = segs[k];
    const inner = k > 0 && k < segs.length - 1;
    if (kind === '=' && !(inner && Array.from(text).length <= 3)) { flush(); out.push([kind, text]); continue; }
    if (kind === '=') { del += text; ins += text; }
    else if (kind === '-') del += text;
    else ins += text;
  }
  flush();
  return out;
}
