// The file systems of the listed folders and of the destination, asked of the
// native side once per listing (and per destination): folders on FAT, exFAT,
// NTFS or SMB shares get their names checked as those refuse them.

// folders asked about in one request
const CHUNK = 2000;

export function createVolumes({ store, bridge }) {
  let asked = ''; // the folders last asked about, as one key
  let seenItems = null;
  let dirs = [];

  async function refresh(state) {
    if (state.listing.items !== seenItems) {
      seenItems = state.listing.items;
      dirs = [...new Set(seenItems.map((it) => it.dir))];
    }
    const folders = state.config.destination ? [...dirs, state.config.destination] : dirs;
    const key = folders.join('\0');
    if (key === asked || state.arriving) return;
    asked = key;
    const volumes = {};
    try {
      for (let k = 0; k < folders.length; k += CHUNK) {
        const { volumes: list } = await bridge.folderVolumes(folders.slice(k, k + CHUNK));
        for (const v of list || []) if (v) volumes[v.folder] = { type: v.type, ignoresCase: v.ignoresCase === true };
      }
    } catch (_) { return; } // without them names are checked as the local file system takes them
    if (asked === key) store.dispatch('volumesRead', volumes);
  }

  store.subscribe(['listing', 'config', 'arriving'], (state) => { refresh(state); });
}
