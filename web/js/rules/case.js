// Change case: lower, upper, title or sentence.
import { where } from './shared.js';

// A combining mark belongs to the letter before it: it starts no word.
const WORD_START = /(^|[^\p{L}\p{M}\p{N}'’])(\p{L})/gu;
const FIRST_LETTER = /\p{L}/u;
const NAMES = { lower: 'lower', upper: 'UPPER', title: 'Title', sentence: 'Sentence' };

export const titleCase = (s) => s.toLowerCase().replace(WORD_START, (m, pre, c) => pre + c.toUpperCase());
export const sentenceCase = (s) => s.toLowerCase().replace(FIRST_LETTER, (c) => c.toUpperCase());

export default {
  type: 'case',
  label: 'Change case',
  defaults: { mode: 'title' },
  fields: [['mode', 'Case', 'select', [['lower', 'lower case'], ['upper', 'UPPER CASE'], ['title', 'Title Case'], ['sentence', 'Sentence case']]]],
  summary: (r) => `Case: ${NAMES[r.mode] || r.mode}${where(r)}`,
  compile(r) {
    switch (r.mode) {
      case 'lower': return (s) => s.toLowerCase();
      case 'upper': return (s) => s.toUpperCase();
      case 'sentence': return sentenceCase;
      default: return titleCase;
    }
  },
};
