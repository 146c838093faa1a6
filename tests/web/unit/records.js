// The unit tests' file records, as the native side lists them: the name split
// at its last dot unless that is its first or last character, the folder as
// the page's listing fills it in, every other field at its default.
export function record(dir, name, extra = {}) {
  const dot = name.lastIndexOf('.');
  const ext = dot > 0 && dot < name.length - 1 ? name.slice(dot + 1) : '';
  return {
    path: `${dir === '/' ? '' : dir}/${name}`, name, dir, basename: ext ? name.slice(0, dot) : name, ext,
    isDir: false, size: 0, created: 0, modified: 0, tags: [], label: 0, comment: '', ...extra,
  };
}

/** The same by path. */
export const recordAt = (path, extra) => record(path.slice(0, path.lastIndexOf('/')) || '/', path.slice(path.lastIndexOf('/') + 1), extra);
