// Remove digits, symbols, or bracketed parts with what they enclose.
import { where } from './shared.js';
import { t } from '../i18n/index.js';

const BRACKETS = /\([^()]*\)|\[[^[\]]*\]|\{[^{}]*\}/g;
const SYMBOLS = /[^\P{P}\-_.]|\p{S}/gu;
const DIGITS = /\p{Nd}/gu;

export default {
  type: 'strip',
  label: t('strip.label'),
  defaults: { digits: false, symbols: false, brackets: true },
  fields: [['digits', t('strip.digits'), 'check'], ['symbols', t('strip.symbols'), 'check'], ['brackets', t('strip.brackets'), 'check']],
  summary(r) {
    const what = ['digits', 'symbols', 'brackets'].filter((k) => r[k]).map((k) => t(`strip.word.${k}`));
    return what.length ? t('strip.summary', { what: what.join(', '), where: where(r) }) : t('strip.nothing');
  },
  compile(r) {
    if (!r.digits && !r.symbols && !r.brackets) return null;
    return (s) => {
      // nested brackets go from the inside out
      if (r.brackets) for (let prev = ''; prev !== s;) { prev = s; s = s.replace(BRACKETS, ''); }
      if (r.digits) s = s.replace(DIGITS, '');
      if (r.symbols) s = s.replace(SYMBOLS, '');
      return s;
    };
  },
};
