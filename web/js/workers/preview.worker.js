// The preview of large listings, off the main thread: the listing is sent
// once, then each request carries only what changed the preview.
import { computePreview, pack, unpackItems, NameList, CodeList } from '../preview-core.js';

let items = [];
let names = null;
let media = [];
let previous = null;

self.onmessage = ({ data }) => {
  if (data.items) {
    items = unpackItems(data.items);
    names = new NameList(data.items.names.text, data.items.names.ends);
    media = [];
    previous = null;
  }
  if (data.media) data.media.rows.forEach((row, k) => { media[row] = data.media.fields[k]; });
  const before = previous;
  const result = computePreview({ ...data.input, items, names, media: data.media ? media : null, previousNames: before ? (i) => before.at(i) : null });
  const { message, transfer } = pack(result);
  // kept as a copy of the code units sent, not a million strings
  previous = new CodeList(message.codes.slice(), message.ends.slice());
  self.postMessage({ gen: data.gen, result: message }, transfer);
};
