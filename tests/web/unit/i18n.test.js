import { test } from 'node:test';
import assert from 'node:assert/strict';
import { CATALOGUES, pickLanguage, translator } from '../../../web/js/i18n/index.js';

const forms = (m) => (typeof m === 'string' ? [m] : Object.values(m));
const placeholders = (m) => [...new Set(forms(m).flatMap((s) => s.match(/\{\w+\}/g) || []))].sort();

test('every shipped language has every key, with the same placeholders and plural forms', () => {
  const { en, ...others } = CATALOGUES;
  for (const [lang, cat] of Object.entries(others)) {
    assert.deepEqual(Object.keys(cat).filter((k) => !(k in en)), [], `${lang}: keys English lacks`);
    for (const [key, m] of Object.entries(en)) {
      assert.ok(key in cat, `${lang} lacks ${key}`);
      assert.deepEqual(placeholders(cat[key]), placeholders(m), `${lang} ${key}`);
      assert.equal(typeof cat[key], typeof m, `${lang} ${key}: plural forms or not`);
      if (typeof m !== 'string') assert.ok('other' in cat[key] && forms(m).every((f) => typeof f === 'string'), `${lang} ${key}`);
    }
  }
});

test('languages, plural forms and numbers', () => {
  const cases = [
    ['en-US', 'filter.items', { count: 1 }, '1 item'],
    ['en', 'filter.items', { count: 0 }, '0 items'],
    ['en-GB', 'filter.items', { count: 12000 }, '12,000 items'],
    ['de-AT', 'filter.items', { count: 1 }, '1 Element'],
    ['de_DE.UTF-8', 'status.warnings', { count: 2 }, '2 Warnungen'],
    ['de', 'filter.itemsOf', { shown: 1500, count: 12000 }, '1.500 von 12.000 Elementen'],
    ['fr-FR', 'status.errors', { count: 1 }, '1 error'],
    ['', 'status.undo', undefined, 'Undo'],
    ['de', 'toolbar.openPath', { path: '/a/{count}' }, '/a/{count} öffnen'],
    ['de', 'issue.dupOf', { count: 2 }, '2 Elemente in diesem Ordner bekommen denselben Namen.'],
    ['en', 'ask.clear', { count: 1 }, 'The rule of the chain is removed; the names on disk stay as they are.'],
  ];
  for (const [tag, key, params, want] of cases) assert.equal(translator(pickLanguage(tag))(key, params), want, `${tag} ${key}`);
});
