// The virtual list: only the rows in view (plus a few) exist in the DOM, and
// they are reused while scrolling. The controller supplies a row model per
// view position; this module only draws and reports clicks.

import { h, fmtSize, fmtDate, setAttr, setProp } from '../dom.js';
import { readableDiff } from '../diff.js';
import { visibleName } from '../text.js';
import { ISSUES, rowWord } from '../conflicts.js';
import { ROW_HEIGHT } from '../protocol.js';
import { t } from '../i18n/index.js';

const OVERSCAN = 6;

const MIN_NAME = 160; // px: a name column is never narrower, unless the user makes it
// Name columns fit whole steps of characters: names that grow key by key as a
// rule is typed move the columns (and lay out every row) now and then, not at
// every key.
const FIT_STEP = 8;

/** Columns in display order; `tree` columns only show in tree mode. */
export const COLUMNS = [
  { key: 'check', label: '', width: 30, fixed: true },
  { key: 'thumb', label: '', width: 34, fixed: true },
  { key: 'folder', label: t('col.folder'), width: 130, sort: 'folder', tree: true },
  { key: 'name', label: t('col.name'), width: 250, sort: 'name' },
  { key: 'arrow', label: '', width: 18, fixed: true },
  { key: 'new', label: t('col.new'), width: 250, sort: 'newName' },
  { key: 'status', label: t('col.status'), width: 116 },
  { key: 'label', label: '●', width: 24, fixed: true, title: t('col.label') },
  { key: 'tags', label: t('col.tags'), width: 110 },
  { key: 'comment', label: t('col.comment'), width: 130 },
  { key: 'size', label: t('col.size'), width: 70, sort: 'size' },
  { key: 'modified', label: t('col.modified'), width: 122, sort: 'modified' },
  { key: 'created', label: t('col.created'), width: 122, sort: 'created' },
  { key: 'taken', label: t('col.taken'), width: 122, sort: 'taken', title: t('col.takenTip') },
];

export class ListView {
  /**
   * `model(viewIndex)` returns the row model; `onRowPointer(viewIndex, event, part)`
   * reports clicks ("check" for the checkbox); `onSort(key)`; `onResize(widths)`;
   * `thumbFor(item)` returns a data URL or '' and may start loading one.
   */
  constructor({ grid, head, body, spacer, model, onRowPointer, onSort, onResize, onSelectAll, thumbFor }) {
    Object.assign(this, { grid, head, body, spacer, model, onRowPointer, onSort, onResize, onSelectAll, thumbFor });
    this.count = 0;
    this.tree = false;
    this.widths = Object.fromEntries(COLUMNS.map((c) => [c.key, c.width]));
    this.rows = [];
    this.frame = 0;
    this.sort = { key: 'native', dir: 1 };
    this.userSized = new Set();
    this.shown = { name: 0, new: 0 }; // the longest names drawn since the names last changed, in characters
    // The viewport is kept from the scroll and resize events: reading it while
    // drawing would lay the page out again after every change of the DOM.
    this.top = 0;
    this.height = 0;
    this.width = 0;
    body.addEventListener('scroll', () => { this.top = body.scrollTop; head.scrollLeft = body.scrollLeft; this.schedule(); }, { passive: true });
    new ResizeObserver(([entry]) => { this.height = entry.contentRect.height; this.width = entry.contentRect.width; this.applyWidths(); this.schedule(); }).observe(body);
    body.addEventListener('mousedown', (e) => this.pointer(e));
    this.buildHead();
  }

  columns() {
    return COLUMNS.filter((c) => !c.tree || this.tree);
  }

  setWidths(widths) {
    for (const [k, v] of Object.entries(widths || {})) {
      if (this.widths[k] !== undefined && !COLUMNS.find((c) => c.key === k).fixed) { this.widths[k] = v; this.userSized.add(k); }
    }
    this.applyWidths();
  }

  /**
   * Until the user sizes them, the name columns get what the names shown
   * need, the new name first, and share what room is left over; the columns
   * after them scroll into view when the names need it.
   */
  applyWidths() {
    const cols = this.columns();
    const flex = ['new', 'name'].filter((k) => !this.userSized.has(k));
    if (flex.length) {
      const sum = (list) => list.reduce((n, c) => n + this.widths[c.key], 0);
      const kept = cols.filter((c) => c.fixed || c.key === 'status');
      const rest = cols.filter((c) => !flex.includes(c.key) && !kept.includes(c) && c.key !== 'created');
      let room = (this.width || 800) - sum(kept) - 2;
      const need = (k) => Math.max(MIN_NAME, Math.ceil(Math.ceil(this.shown[k] / FIT_STEP) * FIT_STEP * this.charWidth()) + 20);
      const spare = room - sum(rest) - flex.reduce((n, k) => n + need(k), 0);
      flex.forEach((k, i) => {
        const left = flex.length - i - 1; // name columns still to size
        this.widths[k] = spare >= 0 ? need(k) + Math.floor(spare / flex.length) : Math.max(MIN_NAME, Math.min(need(k), room - left * MIN_NAME));
        room -= this.widths[k];
      });
    }
    const total = cols.reduce((n, c) => n + this.widths[c.key], 0);
    const template = cols.map((c) => `${this.widths[c.key]}px`).join(' ');
    if (template === this.template) return; // the same widths need no new layout
    this.template = template;
    this.rowWidth = `${total}px`;
    // on the head and each row itself, not inherited from the grid: a value
    // every cell inherits would have WebKit style every cell again
    this.head.style.gridTemplateColumns = template;
    for (const row of this.rows) this.sizeRow(row);
  }

  sizeRow(row) {
    if (row.template === this.template) return;
    row.template = this.template;
    row.el.style.gridTemplateColumns = this.template;
    row.el.style.width = this.rowWidth;
  }

  /** The names shown have changed: the name columns follow what is drawn next. */
  namesChanged() {
    this.shown = { name: 0, new: 0 };
    this.fitted = false;
  }

  /** The width of a character of the name columns' font, measured once the list is shown. */
  charWidth() {
    if (!this.ch) {
      const probe = h('div', { class: 'cell c-name', text: '0'.repeat(40) });
      probe.style.cssText = 'position:absolute;visibility:hidden;padding:0';
      this.body.append(probe);
      this.ch = probe.getBoundingClientRect().width / 40; // 0 while the list is hidden: measured again
      probe.remove();
    }
    return this.ch || 8;
  }

  setTree(tree) {
    if (tree === this.tree) return;
    this.tree = tree;
    this.buildHead();
    for (const r of this.rows) r.el.remove();
    this.rows = [];
    this.schedule();
  }

  setSort(sort) {
    this.sort = sort;
    for (const cell of this.head.children) {
      const key = cell.dataset.sort;
      if (!key) continue;
      setAttr(cell, 'aria-sort', key === sort.key ? (sort.dir === 1 ? 'ascending' : 'descending') : 'none');
    }
  }

  buildHead() {
    const cells = this.columns().map((c, i) => {
      const cell = h('div', { class: `hcell h-${c.key}`, attrs: { role: 'columnheader', 'aria-colindex': i + 1, title: c.title } });
      if (c.sort) {
        cell.dataset.sort = c.sort;
        cell.append(h('button', { text: c.label, attrs: { type: 'button', title: t('list.sortBy', { column: t(`sort.${c.sort}`) }) }, on: { click: () => this.onSort(c.sort) } }));
      } else if (c.key === 'check') {
        cell.classList.add('c-check');
        this.allBox = h('input', { type: 'checkbox', attrs: { 'aria-label': t('list.selectAll'), title: t('list.selectAllTip') }, on: { change: () => this.onSelectAll(this.allBox.checked) } });
        cell.append(this.allBox);
      } else {
        cell.append(h('span', { text: c.label }));
      }
      if (!c.fixed) {
        const grip = h('div', { class: 'resizer', attrs: { 'aria-hidden': 'true', title: t('list.resize') } });
        grip.addEventListener('pointerdown', (e) => this.startResize(e, c.key, grip));
        cell.append(grip);
      }
      return cell;
    });
    this.head.replaceChildren(...cells);
    this.applyWidths();
    this.setSort(this.sort);
  }

  startResize(e, key, grip) {
    e.preventDefault();
    e.stopPropagation();
    const x0 = e.clientX;
    const w0 = this.widths[key];
    grip.classList.add('active');
    grip.setPointerCapture(e.pointerId);
    const move = (ev) => { this.userSized.add(key); this.widths[key] = Math.max(40, Math.min(1200, w0 + ev.clientX - x0)); this.applyWidths(); };
    const up = () => {
      grip.classList.remove('active');
      grip.removeEventListener('pointermove', move);
      grip.removeEventListener('pointerup', up);
      this.onResize(Object.fromEntries([...this.userSized].map((k) => [k, this.widths[k]])));
    };
    grip.addEventListener('pointermove', move);
    grip.addEventListener('pointerup', up);
  }

  /** Shows whether all, some or none of the shown rows are selected. */
  setAllState(all, some) {
    if (!this.allBox) return;
    this.allBox.checked = all;
    this.allBox.indeterminate = some && !all;
  }

  setCount(n) {
    // the same count needs no frame of its own: the caller draws the rows
    if (n === this.count) return;
    this.count = n;
    this.spacer.style.height = `${n * ROW_HEIGHT}px`;
    setAttr(this.grid, 'aria-rowcount', String(n + 1));
    this.schedule();
  }

  schedule() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => { this.frame = 0; this.render(); });
  }

  /** Draws now (used after model changes that must show in this frame). */
  render() {
    const [first, last] = this.shownRows();
    const need = Math.max(0, last - first);
    while (this.rows.length < need) this.rows.push(this.makeRow());
    while (this.rows.length > need) this.rows.pop().el.remove();
    const before = { ...this.shown };
    for (let k = 0; k < need; k++) this.drawRow(this.rows[k], first + k);
    if (!this.fitted || this.shown.name !== before.name || this.shown.new !== before.new) {
      this.fitted = true;
      this.applyWidths();
    }
  }

  /** The rows drawn now, on screen and just beyond it: [first, last). */
  shownRows() {
    const first = Math.max(0, Math.floor(this.top / ROW_HEIGHT) - OVERSCAN);
    return [first, Math.min(this.count, Math.ceil((this.top + (this.height || 600)) / ROW_HEIGHT) + OVERSCAN)];
  }

  scrollToIndex(v) {
    const top = v * ROW_HEIGHT;
    const b = this.body;
    if (top < this.top) b.scrollTop = this.top = top;
    else if (top + ROW_HEIGHT > this.top + this.height) b.scrollTop = this.top = top + ROW_HEIGHT - this.height;
  }

  /** Back to the top left (a new listing). */
  scrollHome() {
    this.body.scrollTop = this.body.scrollLeft = this.top = 0;
  }

  rowAt(v) {
    return this.rows.find((r) => r.v === v) || null;
  }

  makeRow() {
    const cells = {};
    const el = h('div', { class: 'row', attrs: { role: 'row' } });
    for (const c of this.columns()) {
      const cell = h('div', { class: `cell c-${c.key}`, attrs: { role: 'gridcell' } });
      cells[c.key] = cell;
      el.append(cell);
    }
    const check = h('input', { type: 'checkbox', tabIndex: -1, class: 'row-check' });
    cells.check.append(check);
    const img = h('img', { class: 'thumb', alt: '', draggable: false });
    cells.thumb.append(img);
    cells.arrow.textContent = '→';
    cells.arrow.setAttribute('aria-hidden', 'true');
    this.body.append(el);
    const row = { el, cells, check, img, v: -1, key: null, shows: {}, template: null };
    this.sizeRow(row);
    return row;
  }

  drawRow(row, v) {
    const m = this.model(v);
    const { el, cells } = row;
    if (row.v !== v) {
      row.v = v;
      el.style.transform = `translateY(${v * ROW_HEIGHT}px)`;
      el.id = `row-${v}`;
      el.dataset.v = String(v);
      setAttr(el, 'aria-rowindex', String(v + 2));
    }
    setAttr(el, 'aria-selected', m.selected ? 'true' : 'false');
    const className = 'row' + (m.selected ? ' selected' : '') + (m.focused ? ' focused' : '') + (m.changed ? ' changed' : '') + (m.severity ? ` ${m.severity}` : '') + (m.result ? (m.result.ok ? ' done' : ' failed') : '');
    setProp(el, 'className', className);
    row.check.checked = m.selected;

    const thumb = this.thumbFor(m.item);
    if (thumb) { if (row.img.getAttribute('src') !== thumb) row.img.src = thumb; row.img.hidden = false; }
    else { row.img.removeAttribute('src'); }
    row.img.classList.toggle('dir', m.item.isDir);

    // Everything below changes only when the row shows another item or state.
    const key = m.stamp;
    if (row.key === key) {
      // a row left as it is still shows its names: the name columns fit them too
      this.shown.name = Math.max(this.shown.name, row.nameLength);
      this.shown.new = Math.max(this.shown.new, row.newLength);
      return;
    }
    row.key = key;
    // A cell is written only when what it shows changed: a key typed into a
    // rule changes the new names, and every other cell rewritten with the
    // same text would be styled and laid out again in every row.
    const put = (k, value, draw) => { if (row.shows[k] !== value) { row.shows[k] = value; draw(); } };
    if (cells.folder) put('folder', m.item.rel, () => { cells.folder.textContent = visibleName(m.item.rel); cells.folder.title = m.item.rel; });
    const name = visibleName(m.item.name);
    put('name', name, () => {
      cells.name.textContent = cells.name.title = name;
      setAttr(row.check, 'aria-label', t('list.select', { name: m.item.name }));
    });
    row.nameLength = name.length;
    row.newLength = this.drawNewName(cells.new, m);
    this.shown.name = Math.max(this.shown.name, row.nameLength);
    this.shown.new = Math.max(this.shown.new, row.newLength);
    put('status', `${m.severity}\0${m.problems ? JSON.stringify(m.problems) : ''}\0${m.result ? `${m.result.ok}${m.result.text}` : ''}`, () => this.drawStatus(cells.status, m));
    put('tags', `${m.tags.join('\u0001')}\0${m.tagsPending}`, () => this.drawTags(cells.tags, m));
    put('label', `${m.label}\0${m.labelPending}`, () => this.drawLabel(cells.label, m));
    put('comment', `${m.comment}\0${m.commentPending}`, () => {
      cells.comment.textContent = visibleName(m.comment);
      cells.comment.title = m.comment;
      cells.comment.classList.toggle('pending', m.commentPending);
    });
    put('size', m.item.isDir ? '' : fmtSize(m.item.size), () => { cells.size.textContent = row.shows.size; });
    put('modified', m.item.modified, () => { cells.modified.textContent = fmtDate(m.item.modified); });
    put('created', m.item.created, () => { cells.created.textContent = fmtDate(m.item.created); });
    put('taken', m.taken, () => { cells.taken.textContent = fmtDate(m.taken); });
  }

  drawLabel(cell, m) {
    cell.replaceChildren();
    if (m.label || m.labelPending) {
      const colour = t(`colour.${m.label}`);
      const name = m.labelPending ? t('list.pending', { name: colour }) : colour;
      const dot = h('span', { class: `dot lc-${m.label}` + (m.labelPending ? ' pending' : '') + (m.labelPending && !m.label ? ' cleared' : ''), attrs: { role: 'img', 'aria-label': t('row.label', { name }) } });
      cell.append(dot);
      cell.title = name;
    } else cell.title = '';
  }

  /** Draws the new name (marked where it changed); returns how many characters it shows. */
  drawNewName(cell, m) {
    cell.replaceChildren();
    cell.title = visibleName(m.folder + m.newName);
    if (m.result && !m.result.ok) {
      // the outcome of the last apply says more than the name it did not get
      cell.append(h('span', { class: 'fail-msg', text: m.result.text.split('\n')[0] }));
      cell.title = m.result.text;
      return 0;
    }
    if (!m.changed) {
      const name = visibleName(m.newName);
      cell.textContent = name;
      return name.length;
    }
    if (m.folder) cell.append(h('span', { class: 'place', text: visibleName(m.folder) }));
    let shown = m.folder.length;
    for (const [kind, text] of readableDiff(m.item.name, m.newName)) {
      shown += visibleName(text).length;
      if (kind === '=') cell.append(document.createTextNode(visibleName(text)));
      else cell.append(h(kind === '+' ? 'ins' : 'del', { text: visibleName(text) }));
    }
    return shown;
  }

  drawStatus(cell, m) {
    cell.replaceChildren();
    cell.title = '';
    if (m.result) {
      const word = m.result.ok ? 'done' : 'failed';
      cell.append(h('span', { class: `status ${word}`, text: (m.result.ok ? '✓ ' : '✕ ') + t(`list.${word}`) }));
      cell.title = m.result.ok ? t('list.applied') : m.result.text;
      return;
    }
    if (!m.problems) return;
    const sev = m.severity;
    cell.append(h('span', { class: `status ${sev}`, text: (sev === 'error' ? '⚠ ' : sev === 'warning' ? '△ ' : '⦸ ') + rowWord(m.problems) }));
    cell.title = m.problems.map(([c, d]) => ISSUES[c].text(d)).join('\n');
  }

  drawTags(cell, m) {
    cell.replaceChildren();
    for (const t of m.tags) cell.append(h('span', { class: 'tagchip' + (m.tagsPending ? ' pending' : ''), text: t }));
    const tags = m.tags.join(', ');
    cell.title = m.tags.length ? (m.tagsPending ? t('list.pending', { name: tags }) : tags) : m.tagsPending ? t('list.tagsRemoved') : '';
  }

  pointer(e) {
    if (e.button !== 0) return;
    const rowEl = e.target.closest('.row');
    if (!rowEl) return;
    const v = Number(rowEl.dataset.v);
    const part = e.target.classList.contains('row-check') ? 'check' : 'row';
    // a press that extends or adds to the selection selects rows, not their text
    if (part === 'check' || e.shiftKey || e.ctrlKey || e.metaKey) e.preventDefault();
    this.grid.focus({ preventScroll: true });
    this.onRowPointer(v, e, part);
  }
}
