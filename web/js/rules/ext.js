// The extension: lower or upper case, another one, or none.
import { quote } from './shared.js';
import { t, word } from '../i18n/index.js';

export default {
  type: 'ext',
  label: t('ext.label'),
  defaults: { mode: 'lower', value: '' },
  fixedTarget: 'ext',
  fields: [
    ['mode', t('ext.field'), 'select', [['lower', t('rule.lowerCase')], ['upper', t('rule.upperCase')], ['set', t('ext.set')], ['remove', t('ext.remove')]]],
    ['value', t('ext.value'), 'text', null, (r) => r.mode === 'set'],
  ],
  summary: (r) => (r.mode === 'set' ? t('ext.setSummary', { value: quote(r.value) }) : t('ext.summary', { mode: word('ext.mode', r.mode) })),
  compile(r) {
    switch (r.mode) {
      case 'upper': return (s) => s.toUpperCase();
      case 'remove': return () => '';
      case 'set': {
        const value = String(r.value).replace(/^\.+/, '');
        return () => value;
      }
      default: return (s) => s.toLowerCase();
    }
  },
};
