// First paint and scrolling of a 100,000-row listing in Chromium, against the
// mock native side. Prints figures (including the DOM row count); asserts nothing.
import { launch } from '../../tests/web/browser/harness.js';

const N = 100000;
const env = await launch();
try {
  const { page, errors } = await env.openPage([], { viewport: { width: 1280, height: 800 } });
  const firstPaint = await page.evaluate(async (n) => {
    const files = Array.from({ length: n }, (_, i) => {
      const name = `IMG_${String(i).padStart(6, '0')}.JPG`;
      return { path: `/big/${name}`, name, basename: name.slice(0, -4), ext: 'JPG', isDir: false, size: 1000 + i, created: 0, modified: 1.7e12 + i * 1000, tags: i % 10 ? [] : ['Holiday'], label: i % 7 ? 0 : 2, comment: '' };
    });
    const t0 = performance.now();
    window.quarrytide.store.dispatch('listed', { folder: '/big', files });
    await new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
    return performance.now() - t0;
  }, N);
  const scroll = await page.evaluate(async () => {
    const body = document.getElementById('grid-body');
    const frames = [];
    let maxRows = 0;
    for (let k = 0; k < 60; k++) {
      const t = performance.now();
      body.scrollTop = (k * 997 * 28) % body.scrollHeight;
      await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
      frames.push(performance.now() - t);
      maxRows = Math.max(maxRows, document.querySelectorAll('.row').length);
    }
    frames.sort((a, b) => a - b);
    return { median: frames[30], worst: frames[59], maxRows, rowCount: document.getElementById('grid').getAttribute('aria-rowcount') };
  });
  const f = (x) => x.toFixed(1).padStart(7);
  console.log(`rows: ${N}`);
  console.log(`first paint after the listing arrives ${f(firstPaint)} ms`);
  console.log(`scroll jumps: median ${f(scroll.median)} ms, worst ${f(scroll.worst)} ms per jump (two frames); rows in the DOM at most ${scroll.maxRows} (aria-rowcount ${scroll.rowCount})`);
  if (errors.length) console.log(`page errors: ${errors.join('; ')}`);
} finally {
  await env.close();
}
