// Change case: lower, upper, title or sentence.
import { where } from './shared.js';
import { sentenceCase, titleCase } from '../formats.js';
import { t, word } from '../i18n/index.js';

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
