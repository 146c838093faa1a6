// Many names as one text or one buffer of code units and where each ends:
// a name is made only when it is asked for, and the whole crosses between
// the page and the worker in one piece. Pure: no DOM.

/**
 * `n` strings as their UTF-16 code units in one buffer, and where each ends
 * (read back with CodeList): the buffer crosses to the page without a copy,
 * where one text would be copied out, across and in again on every key.
 */
export function codeUnits(n, at) {
  const ends = new Uint32Array(n);
  let length = 0;
  for (let i = 0; i < n; i++) { length += at(i).length; ends[i] = length; }
  const codes = new Uint16Array(length);
  let k = 0;
  for (let i = 0; i < n; i++) {
    const s = at(i);
    for (let j = 0; j < s.length; j++) codes[k++] = s.charCodeAt(j);
  }
  return { codes, ends };
}

/** `at(from)` to `at(to - 1)` as one text; where each ends, counted on from `before`, goes into `ends`. */
export function joinRange(ends, from, to, at, before = 0) {
  // joined once, not grown a piece at a time: a million appended pieces held
  // hundreds of megabytes of partial strings until the end
  const pieces = new Array(to - from);
  let length = before;
  for (let i = from; i < to; i++) { pieces[i - from] = at(i); length += pieces[i - from].length; ends[i] = length; }
  return pieces.join('');
}

/** Names kept end to end and where each ends: a name is made only when it is asked for. Each kind gives `at(i)` and `unit(k)`, the UTF-16 unit at k. */
export class EndToEnd {
  constructor(ends) {
    this.ends = ends;
    this.length = ends.length;
  }
  /** Where name i starts. */
  start(i) { return i ? this.ends[i - 1] : 0; }
  /** The first UTF-16 unit of name i (NaN when it is empty), without making the name. */
  firstCode(i) {
    const start = this.start(i);
    return start < this.ends[i] ? this.unit(start) : NaN;
  }
}

/** Names read from one string. */
export class NameList extends EndToEnd {
  constructor(text, ends) {
    super(ends);
    this.text = text;
  }
  at(i) { return i < 0 || i >= this.length ? undefined : this.text.slice(this.start(i), this.ends[i]); }
  unit(k) { return this.text.charCodeAt(k); }
  /** Whether name i is `s`, without making the name. */
  is(i, s) {
    const start = this.start(i);
    return s.length === this.ends[i] - start && this.text.startsWith(s, start);
  }
}

/** Names read from their code units (see `codeUnits`). */
export class CodeList extends EndToEnd {
  constructor(codes, ends) {
    super(ends);
    this.codes = codes;
  }
  at(i) {
    if (i < 0 || i >= this.length) return undefined;
    const end = this.ends[i];
    let name = '';
    // a piece at a time: a call takes only so many arguments, and a rule may make a long name
    for (let k = this.start(i); k < end; k += 4096) name += String.fromCharCode.apply(null, this.codes.subarray(k, Math.min(end, k + 4096)));
    return name;
  }
  unit(k) { return this.codes[k]; }
}

