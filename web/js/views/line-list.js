// A scrolling list of one-line texts, however many: only the lines in view
// exist in the DOM. Used where a sheet lists every item of a batch.

import { h } from '../dom.js';
import { t } from '../i18n/index.js';

const LINE = 20;
const EXTRA = 8;

/** An element listing `count` lines; `lineAt(i)` gives the text of line i. */
export function lineList(count, lineAt, { className = 'lines' } = {}) {
  const spacer = h('div', { class: 'lines-spacer' });
  spacer.style.height = `${count * LINE}px`;
  const box = h('div', { class: className, attrs: { role: 'list', tabindex: '0', 'aria-label': t('lines.count', { count }) } }, spacer);
  const shown = new Map();
  const draw = () => {
    const first = Math.max(0, Math.floor(box.scrollTop / LINE) - EXTRA);
    const last = Math.min(count, Math.ceil((box.scrollTop + (box.clientHeight || 160)) / LINE) + EXTRA);
    for (const [i, el] of shown) if (i < first || i >= last) { el.remove(); shown.delete(i); }
    for (let i = first; i < last; i++) {
      if (shown.has(i)) continue;
      const text = lineAt(i);
      const el = h('div', { class: 'line', text, attrs: { role: 'listitem', title: text } });
      el.style.transform = `translateY(${i * LINE}px)`;
      box.append(el);
      shown.set(i, el);
    }
  };
  box.addEventListener('scroll', draw, { passive: true });
  // drawn once the sheet is open and has a size
  requestAnimationFrame(draw);
  draw();
  return box;
}
