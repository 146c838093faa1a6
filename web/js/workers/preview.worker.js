// The preview of large listings, off the main thread: the listing is sent
// once, then each request carries only what changed the preview.
import { computePreview } from '../preview-core.js';

let items = [];
let previousNames = null;

self.onmessage = ({ data }) => {
  if (data.items) {
    items = data.items;
    previousNames = null;
  }
  const result = computePreview({ ...data.input, items, previousNames });
  previousNames = result.newNames;
  const transfer = [result.base.buffer, result.check.renamed.buffer];
  if (result.leftOut) transfer.push(result.leftOut.buffer);
  self.postMessage({ gen: data.gen, result }, transfer);
};
