// Change case: lower, upper, title or sentence.
import { where } from './shared.js';
import { t, word } from '../i18n/index.js';

// A combining mark belongs to the letter before it: it starts no word.
const WORD_START = /(^|[^\p{L}\p{M}\p{N}'’])(\p{L})/gu;
const FIRST_LETTER = /\p{L}/u;

export const titleCase = (s) => s.toLowerCase().replace(WORD_START, (m, pre, c) => pre + c.toUpperCase());
export const sentenceCase = (s) => s.toLowerCase().replace(FIRST_LETTER, (c) => c.toUpperCase());

export default {
  type: 'case',
  label: t('case.label'),
  defaults: { mode: 'title' },
  fields: [['mode', t('case.field'), 'select', [['lower', t('rule.lowerCase')], ['upper', t('rule.upperCase')], ['title', t('case.title')], ['sentence', t('case.sentence')]]]],
  summary: (r) => t('case.summary', { mode: word('case.name', r.mode), where: where(r) }),
  compile(r) {
    switch (r.mode) {
      case 'lower': return (s) => s.toLowerCase();
      case 'upper': return (s) => s.toUpperCase();
      case 'sentence': return sentenceCase;
      default: return titleCase;
    }
  },
};
