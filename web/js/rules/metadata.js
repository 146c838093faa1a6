// "Metadata from name": a regular expression on the name and templates (the
// template rule's tokens, with the expression's groups) for tags, the colour
// label and the comment. It changes no name: what it makes goes into the
// batch as metadata, beside the renames.
import { joinName } from '../text.js';
import { compileToken, parsePattern } from '../template.js';
import { COLOR_LABELS } from '../protocol.js';
import { groupsOf, quote } from './shared.js';
import { t } from '../i18n/index.js';

/** A label written as a colour's name (in English or the page's language) or its number 0–7; -1: none. */
export function labelFrom(text) {
  const s = text.trim().toLowerCase();
  if (/^[0-7]$/.test(s)) return Number(s);
  return COLOR_LABELS.findIndex((name, i) => name.toLowerCase() === s || t(`colour.${i}`).toLowerCase() === s);
}

export default {
  type: 'metadata',
  label: t('metadata.label'),
  fixedTarget: 'name',
  defaults: { pattern: '(.+)', tags: '', labelText: '', comment: '' },
  fields: [
    ['pattern', t('metadata.pattern'), 'text'],
    ['tags', t('metadata.tags'), 'text'],
    ['labelText', t('metadata.labelText'), 'text'],
    ['comment', t('metadata.comment'), 'text'],
  ],
  summary: (r) => t('metadata.summary', { pattern: quote(r.pattern, 24) }),
  compile(r) {
    if (!r.tags && !r.labelText && !r.comment) return null;
    let match, templates;
    try {
      match = new RegExp(r.pattern, 'u');
    } catch (e) {
      return { error: t('rule.badRegex', { reason: e.message.replace(/^Invalid regular expression: /, '') }) };
    }
    try {
      const groups = groupsOf(r.pattern);
      const compile = (text) => (text ? parsePattern(String(text)).map((p) => (typeof p === 'string' ? p : compileToken(p, groups))) : null);
      templates = { tags: compile(r.tags), label: compile(r.labelText), comment: compile(r.comment) };
    } catch (e) {
      return { error: e.message };
    }
    const now = Date.now();
    return {
      target: 'parts',
      fn(parts, ctx) {
        const m = match.exec(joinName(parts.base, parts.ext));
        if (!m || !ctx) return parts;
        const env = { parts, match: m, item: ctx.item || {}, media: ctx.media, taken: ctx.taken || 0, now };
        const fill = (list) => list.map((p) => (typeof p === 'string' ? p : p.counter ? '' : p.fill(env, ctx.missing || (() => {})))).join('');
        const meta = { ...ctx.meta };
        if (templates.tags) {
          const tags = fill(templates.tags).split(',').map((s) => s.trim()).filter(Boolean);
          meta.tags = [...new Set([...(meta.tags || []), ...tags])];
        }
        if (templates.label) {
          const label = labelFrom(fill(templates.label));
          if (label >= 0) meta.label = label;
        }
        if (templates.comment) meta.comment = fill(templates.comment);
        ctx.meta = meta;
        return parts;
      },
    };
  },
};
