// Names that work where the files go: FAT, exFAT, NTFS and SMB shares refuse
// characters, trailing dots and spaces, and names that Windows reserves,
// which Linux file systems take. Pure: no DOM.

/** File systems (folderVolumes' types) that refuse what portableProblem finds. */
export const STRICT_TYPES = new Set(['vfat', 'exfat', 'ntfs', 'ntfs3', 'cifs', 'smb2', 'smb']);
const FORBIDDEN = /[<>:"\\|?*\u0000-\u001f]/u;
const RESERVED = /^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\..*)?$/i;
export const MAX_UNITS = 255;

/**
 * Why such a file system refuses the name: "char:C" (a forbidden character),
 * "reserved:NAME", "trailing" (a dot or space at the end), "length" (more
 * than 255 UTF-16 units); null when it takes it.
 */
export function portableProblem(name) {
  const bad = FORBIDDEN.exec(name);
  if (bad) return `char:${bad[0]}`;
  const reserved = RESERVED.exec(name);
  if (reserved) return `reserved:${reserved[1]}`;
  if (/[. ]$/.test(name)) return 'trailing';
  if (name.length > MAX_UNITS) return 'length';
  return null;
}

/** The name such a file system takes: forbidden characters become `with`, trailing dots and spaces go, a reserved name gets `with` after it. */
export function makePortable(name, withText = '_') {
  const safe = FORBIDDEN.test(withText) ? '_' : withText;
  let out = name.replace(new RegExp(FORBIDDEN.source, 'gu'), safe).replace(/[. ]+$/u, '');
  const reserved = RESERVED.exec(out);
  if (reserved) out = reserved[1] + safe + (reserved[2] ?? '');
  return out || safe;
}
