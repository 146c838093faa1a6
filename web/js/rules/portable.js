// "Make portable": the name as FAT, exFAT, NTFS and SMB shares take it.
import { makePortable } from '../portable.js';
import { quote } from './shared.js';
import { t } from '../i18n/index.js';

export default {
  type: 'portable',
  label: t('portable.label'),
  fixedTarget: 'both',
  defaults: { with: '_' },
  fields: [['with', t('portable.with'), 'text']],
  summary: (r) => t('portable.summary', { with: quote(r.with) }),
  compile(r) {
    return (name) => makePortable(name, r.with);
  },
};
