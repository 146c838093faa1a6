// The command line's rename: the window's own engine over the items the
// native side listed, giving the same preview and the same changes an apply
// in the window sends. Pure: no DOM.

import { itemsFromColumns } from '../columns.js';
import { computePreview } from '../preview-core.js';
import { outgoingChanges } from '../state.js';
import { batchChanges, changeRecord, changesFolder, recordFromJournal, undoStacks } from '../batch.js';
import { withRawPaths } from '../bridge.js';
import { parseConfig } from '../config.js';
import { sanitizeRule } from '../rules.js';
import { ISSUES, severityOf } from '../conflicts.js';
import { DEFAULT_UNIQUE, uniquePattern } from '../unique.js';
import { joinPath } from '../text.js';
import { base64OfText, hasRawBytes, shownBytes } from '../bytes.js';
import { t } from '../i18n/index.js';
import { mergeMedia, needsFields, needsTaken, rulesNeed, takenColumn } from '../media.js';

/**
 * The chain to run: the rules of a rules file (a JSON list of rules as
 * presets store them) or of the saved preset `preset`, with the preset's
 * switches. Returns {rules, folders, unique, companions} or {error}.
 */
export function chainFrom({ rulesText = null, settingsText = null, preset = null }) {
  if (rulesText !== null) {
    let list;
    try { list = JSON.parse(rulesText); } catch (e) { return { error: t('cli.rulesNotJson', { reason: e.message }) }; }
    if (!Array.isArray(list)) return { error: t('cli.rulesNotList') };
    const rules = list.map(sanitizeRule);
    const unknown = rules.indexOf(null);
    if (unknown >= 0) return { error: t('cli.ruleUnknown', { n: unknown + 1 }) };
    return { rules, folders: false, unique: null, companions: false, clocks: {} };
  }
  const p = parseConfig(settingsText ?? '').presets.find((x) => x.name === preset);
  if (!p) return { error: t('cli.noPreset', { name: preset }) };
  return { rules: p.rules, folders: p.folders === true, unique: p.unique ? uniquePattern(p.uniquePattern ?? DEFAULT_UNIQUE) : null, companions: p.companions === true, clocks: p.clocks ?? {} };
}

/** What the chain reads from inside the files: readMedia's `hash` values to ask for ('' the fields), and whether every tag. */
export function mediaNeeds(chain) {
  const config = { rules: chain.rules, sort: { key: 'native' } };
  const fields = needsTaken(config) || needsFields(config);
  const needs = rulesNeed(chain.rules);
  return { hashes: [...(fields ? [''] : []), ...needs.hashes], all: needs.all };
}

/**
 * The plan for the listed `parts` (listing parts in columns, as the native
 * side sends them) below `root`: per item its path, new path and problems
 * ({code, severity, text}), the counts of the window's status strip, and the
 * runBatch changes of the rows an apply would send (with `apply`). Rows
 * that neither change nor have a problem are left out unless `every`. A path
 * that is not UTF-8 is shown with its odd bytes as "\xE9" and given whole as
 * `rawPath`/`rawNewPath`. `read`: readMedia's answers for the files listed,
 * in their order, one list for each hash of mediaNeeds.
 */
export function renamePlan(parts, root, chain, { apply = false, every = true, read = [] } = {}) {
  const items = [];
  for (const part of parts) items.push(...itemsFromColumns(part.columns, root, items.length));
  const map = new Map();
  const files = items.filter((it) => !it.isDir);
  mediaNeeds(chain).hashes.forEach((hash, k) => files.forEach((it, j) => { if (read[k]?.[j]) map.set(it.path, mergeMedia(map.get(it.path), read[k][j], hash)); }));
  const config = { rules: chain.rules, sort: { key: 'native' } };
  const p = computePreview({
    items, rules: chain.rules, filter: {}, sort: { key: 'native', dir: 1 }, folders: chain.folders, root, unique: chain.unique, companions: chain.companions,
    dateTaken: needsTaken(config) ? takenColumn(items, map, chain.clocks) : null, media: needsFields(config) ? items.map((it) => map.get(it.path)) : null,
  });
  const state = { listing: { items }, preview: p, edits: new Map(), config: { folders: chain.folders, destination: null } };
  const { changes } = outgoingChanges(state);
  const going = new Map(changes.map((c) => [c.key, joinPath(c.newDir ?? c.dir, c.newName)]));
  const rows = [];
  items.forEach((it, i) => {
    const path = it.path;
    // a row left out for its errors shows the name it would have had
    const newPath = going.get(path) ?? (p.check.renamed[i] ? joinPath(it.dir, p.newNames[i]) : path);
    if (!every && newPath === path && !p.check.problems[i]) return;
    const row = {
      path: shownBytes(path),
      newPath: shownBytes(newPath),
      problems: (p.check.problems[i] ?? []).map(([code, detail]) => ({ code, severity: ISSUES[code].severity, text: shownBytes(ISSUES[code].text(detail)) })),
      severity: severityOf(p.check.problems[i]) || '',
    };
    if (hasRawBytes(path)) row.rawPath = base64OfText(path);
    if (hasRawBytes(newPath)) row.rawNewPath = base64OfText(newPath);
    rows.push(row);
  });
  return { rows, counts: p.counts, changes: apply ? changes.map(changeRecord) : [] };
}

/**
 * The undo of a journal batch as the window makes it: `batches` as
 * listBatches gives them (newest first), `read(id)` a batch's readBatch
 * reply; `id` the batch, or null for the one the window's Undo offers.
 * Returns {id, title, folder, folders, missing, changes} or {error}.
 */
export function undoPlan(batches, read, id) {
  const batch = id ? batches.find((b) => b.id === id) : undoStacks(batches).undo;
  if (!batch) return { error: id ? t('cli.noBatch', { id }) : t('cli.nothingToUndo') };
  const reply = withRawPaths(read(batch.id));
  const record = recordFromJournal(reply.batch, reply.entries);
  const changes = batchChanges(record);
  return { id: batch.id, title: t('batch.undoOf', { title: record.title }), folder: record.folder, folders: changes.some(changesFolder), missing: record.missing, changes: changes.map(changeRecord) };
}
