// The extension: lower or upper case, another one, or none.
import { quote } from './shared.js';

export default {
  type: 'ext',
  label: 'Extension',
  defaults: { mode: 'lower', value: '' },
  fixedTarget: 'ext',
  fields: [
    ['mode', 'Extension', 'select', [['lower', 'lower case'], ['upper', 'UPPER CASE'], ['set', 'change to'], ['remove', 'remove']]],
    ['value', 'New extension', 'text', null, (r) => r.mode === 'set'],
  ],
  summary: (r) => (r.mode === 'set' ? `Extension → ${quote(r.value)}` : `Extension: ${r.mode}`),
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
