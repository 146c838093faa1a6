// Remove digits, symbols, or bracketed parts with what they enclose.
import { where } from './shared.js';

const BRACKETS = /\([^()]*\)|\[[^[\]]*\]|\{[^{}]*\}/g;
const SYMBOLS = /[^\P{P}\-_.]|\p{S}/gu;
const DIGITS = /\p{Nd}/gu;

export default {
  type: 'strip',
  label: 'Remove digits / symbols / brackets',
  defaults: { digits: false, symbols: false, brackets: true },
  fields: [['digits', 'Digits', 'check'], ['symbols', 'Symbols and punctuation (keeps - _ .)', 'check'], ['brackets', 'Brackets with their contents: ( ) [ ] { }', 'check']],
  summary(r) {
    const what = [r.digits && 'digits', r.symbols && 'symbols', r.brackets && '(brackets)'].filter(Boolean);
    return what.length ? `Remove ${what.join(', ')}${where(r)}` : 'Remove: nothing chosen';
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
