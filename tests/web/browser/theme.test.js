// Every text the page shows is readable in both schemes: its colour against
// the surfaces under it, composited as drawn, meets WCAG AA.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { useBrowser, addRule, openSheet } from './harness.js';

const { open } = useBrowser();

/** In the page: the texts under `root` below AA, as "element ratio < needed". */
const audit = (root) => {
  const rgba = (s) => { const [r, g, b, a = 1] = s.match(/[\d.]+/g).map(Number); return [r, g, b, a]; };
  const over = (f, b) => [0, 1, 2].map((i) => f[i] * f[3] + b[i] * (1 - f[3]));
  const lum = (c) => c.map((v) => (v /= 255) <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4).reduce((s, v, i) => s + v * [0.2126, 0.7152, 0.0722][i], 0);
  const ratio = (x, y) => { const [p, q] = [lum(x), lum(y)].sort((a, b) => b - a); return (p + 0.05) / (q + 0.05); };
  const fields = 'input[type=text], input[type=search], input[type=number], select, textarea';
  const texts = [...root.querySelectorAll('*')].filter((el) => el.matches(fields)
    || [...el.childNodes].some((n) => n.nodeType === Node.TEXT_NODE && n.textContent.trim()));
  const failures = [];
  for (const el of texts) {
    if (!el.checkVisibility({ visibilityProperty: true }) || !el.getClientRects().length) continue;
    if (el.closest('.sr-only, :disabled, option, datalist')) continue; // disabled controls are exempt
    const style = getComputedStyle(el);
    const empty = el.matches(fields) && !el.value;
    if (empty && !el.placeholder) continue;
    const ink = rgba(getComputedStyle(el, empty ? '::placeholder' : null).color);
    // the surfaces from the canvas up; a gradient counts with each of its colours
    const chain = [];
    for (let a = el; a; a = a.parentElement) chain.unshift(a);
    let grounds = [[255, 255, 255]];
    for (const a of chain) {
      const s = getComputedStyle(a);
      ink[3] *= Number(s.opacity);
      const fill = rgba(s.backgroundColor);
      if (fill[3]) grounds = grounds.map((g) => over(fill, g));
      const stops = (s.backgroundImage.match(/rgba?\([^)]*\)/g) || []).map(rgba);
      if (stops.length) grounds = grounds.flatMap((g) => stops.map((c) => over(c, g)));
    }
    const large = parseFloat(style.fontSize) >= 24 || (parseFloat(style.fontSize) >= 18.66 && Number(style.fontWeight) >= 700);
    const worst = Math.min(...grounds.map((g) => ratio(over(ink, g), g)));
    const need = large ? 3 : 4.5;
    if (worst < need) failures.push(`${el.tagName.toLowerCase()}${el.id ? '#' + el.id : ''}.${[...el.classList].join('.')} "${(el.value || el.placeholder || el.textContent).trim().slice(0, 30)}" ${worst.toFixed(2)} < ${need}`);
  }
  return failures;
};

const SCHEMES = [
  { scheme: 'dark', ground: (l) => l < 0.1 },
  { scheme: 'light', ground: (l) => l > 0.9 },
];

test('in both schemes a listed folder with an open template, problems, no selection and a selection, and the apply sheet and the History read at AA contrast', async () => {
  const { page } = await open(['a.txt', 'A.txt', ['b.txt', { tags: ['Holiday'], label: 4 }], 'c.md']);
  await addRule(page, 'Template', { pattern: '{name|upper}{model}' });
  await page.waitForSelector('.row .status.error');
  // first with nothing selected: the metadata panel's controls are off, its labels readable
  const select = async () => {
    await page.click('.row:has-text("b.txt")');
    await page.waitForSelector('.row.selected .status.warning');
  };
  const history = async () => {
    await page.keyboard.press('Escape');
    await page.keyboard.press('Control+h');
    await page.waitForSelector('#history[open] .empty');
  };
  for (const [where, ready] of [['body', () => {}], ['body', select], ['#sheet', () => openSheet(page)], ['#history', history]]) {
    await ready();
    for (const { scheme, ground } of SCHEMES) {
      await page.emulateMedia({ colorScheme: scheme });
      const bg = await page.evaluate(() => getComputedStyle(document.body).backgroundColor.match(/\d+/g).map(Number));
      assert.ok(ground(bg.reduce((s, v) => s + v, 0) / 765), `${scheme} page on ${bg}`);
      assert.deepEqual(await page.evaluate(audit, await page.$(where)), [], `${scheme}, ${where}`);
    }
  }
});
