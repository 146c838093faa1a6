// Names that are not UTF-8, kept exactly in the page's strings: each byte
// that is not part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF
// (the byte plus 0xDC00), which no decoded text holds. Such a name is as
// distinct as its bytes, survives every rule that leaves those characters
// alone, and goes back to the native side as its bytes in base64. Pure: no DOM.

/** A lone low surrogate that stands for a byte (one after a high surrogate is half a pair). */
export const RAW_BYTE = /(?<![\uD800-\uDBFF])[\uDC80-\uDCFF]/;
const RAW_BYTES = /(?<![\uD800-\uDBFF])[\uDC80-\uDCFF]/g;

// a leading BOM is part of a name, not a mark to drop
const strict = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true });
const encoder = new TextEncoder();

// the usual answer without the look-behind, which some engines run slowly
const LOW_HALF = /[\uDC80-\uDCFF]/;
/** Whether `s` holds bytes that are not UTF-8. */
export const hasRawBytes = (s) => LOW_HALF.test(s) && RAW_BYTE.test(s);

/** Bytes 80..BF: the ones that continue a sequence. */
const follows = (b) => b >= 0x80 && b <= 0xbf;

/** The length of the valid UTF-8 sequence at `k`, 0 when there is none (GLib's rules: no overlong form, no surrogate, nothing above U+10FFFF). */
function sequenceAt(u, k) {
  const b = u[k];
  if (b < 0x80) return 1;
  const [n, lo, hi] = b >= 0xc2 && b <= 0xdf ? [2, 0x80, 0xbf]
    : b === 0xe0 ? [3, 0xa0, 0xbf] : b === 0xed ? [3, 0x80, 0x9f] : b >= 0xe1 && b <= 0xef ? [3, 0x80, 0xbf]
      : b === 0xf0 ? [4, 0x90, 0xbf] : b === 0xf4 ? [4, 0x80, 0x8f] : b >= 0xf1 && b <= 0xf3 ? [4, 0x80, 0xbf] : [0];
  if (!n || k + n > u.length || u[k + 1] < lo || u[k + 1] > hi) return 0;
  for (let j = 2; j < n; j++) if (!follows(u[k + j])) return 0;
  return n;
}

/** `u` read as UTF-8, or null when it is not. */
export function utf8OrNull(u) {
  try {
    return strict.decode(u);
  } catch (_) {
    return null;
  }
}

/** Bytes as text: UTF-8 where they are, each other byte as its stand-in. */
export function textOfBytes(u) {
  const whole = utf8OrNull(u);
  if (whole !== null) return whole;
  // some bytes are not UTF-8: decoded piece by piece
  let out = '';
  let from = 0;
  for (let k = 0; k < u.length;) {
    const n = sequenceAt(u, k);
    if (n) { k += n; continue; }
    out += strict.decode(u.subarray(from, k)) + String.fromCharCode(0xdc00 + u[k]);
    from = ++k;
  }
  return out + strict.decode(u.subarray(from));
}

/** Text as bytes: UTF-8, each stand-in as its byte. */
export function bytesOfText(s) {
  if (!hasRawBytes(s)) return encoder.encode(s);
  const parts = [];
  let from = 0;
  for (const m of s.matchAll(RAW_BYTES)) {
    parts.push(...encoder.encode(s.slice(from, m.index)), m[0].charCodeAt(0) - 0xdc00);
    from = m.index + 1;
  }
  parts.push(...encoder.encode(s.slice(from)));
  return Uint8Array.from(parts);
}

/** The text of bytes sent as base64 (a record's rawName, rawPath); '' for what is not base64. */
export function textOfBase64(b64) {
  let binary;
  try {
    binary = atob(String(b64));
  } catch (_) {
    return '';
  }
  return textOfBytes(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
}

/** The bytes of `s` in base64, as rawPath takes them. */
export function base64OfText(s) {
  return btoa(String.fromCharCode(...bytesOfText(s)));
}

/** A path as a command takes it: a name that is not UTF-8 goes as its bytes. */
export const pathArg = (path, key = 'path', rawKey = 'rawPath') => (hasRawBytes(path) ? { [rawKey]: base64OfText(path) } : { [key]: path });

/** `s` with each stand-in written as its byte, "\xE9", where it is shown. */
export const shownBytes = (s) => (hasRawBytes(s) ? s.replace(RAW_BYTES, (c) => `\\x${(c.charCodeAt(0) - 0xdc00).toString(16).toUpperCase()}`) : s);
