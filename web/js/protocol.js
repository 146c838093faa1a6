// What the page takes from the native side, in one place: how a file record
// is read, the colour-label table, the list's row height, and what the
// native side's error codes mean.
// Pure: no DOM.

import { t } from './i18n/index.js';

/** Colour labels by index; 0 is none. A template's {label} writes these into names; the page shows them translated. */
export const COLOR_LABELS = ['None', 'Gray', 'Green', 'Purple', 'Blue', 'Yellow', 'Red', 'Orange'];

/** Height of one row of the list, in CSS pixels. */
export const ROW_HEIGHT = 28;

/**
 * What to show for a native failure ({code, error, stage}), in the page's
 * language: `text` says what the code means (and which step failed), `raw`
 * is the native text as it came, for the tooltip. Messages are never matched.
 */
export function explainError({ code = '', error = '', stage = '' } = {}) {
  const reason = code && t.has(`code.${code}`) ? t(`code.${code}`) : error;
  const text = stage === 'tags' || stage === 'comment' ? t(`stage.${stage}`, { reason }) : reason;
  return { text, raw: error };
}
