// Every rule type, in the order the "add rule" menu offers them. A rule type
// is one module: its label, defaults, the fields of its card, its summary
// line and its compiler. A new type is one file and one line here.
import replace from './replace.js';
import regex from './regex.js';
import insert from './insert.js';
import remove from './remove.js';
import strip from './strip.js';
import caseRule from './case.js';
import number from './number.js';
import date from './date.js';
import ext from './ext.js';
import spaces from './spaces.js';
import unicode from './unicode.js';
import list from './list.js';
import template from './template.js';
import metadata from './metadata.js';
import portable from './portable.js';
import repair from './repair.js';

export const RULES = [replace, regex, insert, remove, strip, caseRule, number, date, ext, spaces, unicode, list, template, metadata, portable, repair];
export const RULE_BY_TYPE = Object.fromEntries(RULES.map((r) => [r.type, r]));
