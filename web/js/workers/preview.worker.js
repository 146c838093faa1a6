// The preview of large listings, off the main thread: the listing is sent
// once, then each request carries only what changed the preview.
import { computePreview, pack } from '../preview-core.js';
import { itemsOf } from '../columns-pack.js';
import { CodeList } from '../names.js';
import { companionCount, companionGroups } from '../companions.js';

let items = [];
let names = null;
let media = [];

self.onmessage = ({ data }) => {
  if (data.items) {
    items = itemsOf(data.items);
    names = items.length ? items[0].c.names : null;
    media = [];
  }
  if (data.media) data.media.rows.forEach((row, k) => { media[row] = data.media.fields[k]; });
  const shown = data.previous ? new CodeList(data.previous.codes, data.previous.ends) : null;
  const result = computePreview({ ...data.input, items, names, media: data.media ? media : null, previousNames: shown ? (i) => shown.at(i) : null, companionsLater: true });
  const { message, transfer } = pack(result);
  self.postMessage({ gen: data.gen, result: message }, transfer);
  // a new listing's companions are counted once its first preview is out
  if (result.found.companions === null) self.postMessage({ gen: data.gen, companions: companionCount(companionGroups(items)) });
};
