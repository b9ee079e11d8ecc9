// Real engines read the BMFont sets glyfrax-export writes: every engine gets the matrix of sets
// (descriptor forms × contents × one page or several × with kerning or without, and each content
// through the engine's preset), reads each with its own loader, and where it lays out text, sets
// the sample line (Godot 4 and libGDX, which cannot run here, by their loaders' rules in
// rules.mjs). What it read is compared with what we wrote and with our layout of that line.
// A misreading fails unless the export's own note (without a preset) names that engine, or it is
// a limit of the engine listed below. Usage: node conformance.mjs GLYFRAX_EXPORT
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { exportAll, fieldDifference, lineDifference, matrixSets, reference, SAMPLE } from './matrix.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const SKIPPED = 77; // ctest's SKIP_RETURN_CODE for this test
const required = process.env.GLYFRAX_ENGINES === 'required'; // CI: a missing engine is a failure
const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';

function skip(why) {
  console.log(`Engine-Test übersprungen: ${why}`);
  process.exit(required ? 1 : SKIPPED);
}
if (!existsSync(join(here, 'node_modules', '.package-lock.json')))
  skip('tests/engines/node_modules fehlt (tools/install-deps installiert es mit npm ci).');
const { fieldOf, nodeEngines } = await import('./node.mjs');
const { browserEngines, readInBrowser } = await import('./browser.mjs');
const { desktopEngines, pictureDifference } = await import('./desktop.mjs');
const { meantCoverage, ruleEngines } = await import('./rules.mjs');
const withBrowser = existsSync(chromiumPath);
const onPath = (program) => process.env.PATH.split(':').some((d) => existsSync(join(d, program)));
const desktop = Object.fromEntries(Object.entries(desktopEngines).filter(([, e]) => e.programs.every(onPath)));
const missing = [...(withBrowser ? [] : [chromiumPath]),
                 ...Object.values(desktopEngines).flatMap((e) => e.programs.filter((p) => !onPath(p)))];

// The engines a preset speaks for, as the exporter's notes name them; the parsers and pixi.js 7
// have none, and whatever they misread beyond their listed limits is a failure.
const PRESET_NAMES = { pixi: 'pixi.js 8', phaser: 'Phaser 3', three: 'three.js (', love: 'LÖVE 11', godot3: 'Godot 3',
                       godot4: 'Godot 4', libgdx: 'libGDX' };
const PRESETS = { 'three.js': 'three', 'pixi.js 8': 'pixi', 'Phaser 3': 'phaser', 'LÖVE 11': 'love',
                  'Godot 3': 'godot3', 'Godot 4': 'godot4', libGDX: 'libgdx' };
// The engines read here: the parsers, three.js, and Godot 4 and libGDX by their loaders' rules.
const inProcess = { ...nodeEngines, ...ruleEngines };
const engines = { ...inProcess, ...(withBrowser ? browserEngines : {}), ...desktop };

// Limits of an engine's own loader. A set without a preset that runs into one is misread as
// expected; a preset's set that does is a fault of that preset, which must avoid or refuse it.
const field = (s) => ['sdf', 'msdf'].includes(s.content);
const several = (s) => s.pages === 'several';
const LIMITS = [
  { engines: ['parse-bmfont-ascii', 'load-bmfont'], when: (s) => s.form === 'text' && field(s),
    why: 'liest Werte ohne Anführungszeichen als Zahl, fieldType=sdf als NaN' },
  { engines: ['parse-bmfont-xml', 'load-bmfont'], when: (s) => s.form === 'xml' && (field(s) || several(s)),
    why: 'liest unter Node nur die erste <page> und kein <distanceField>' },
  { engines: ['pixi.js 7'], when: (s) => s.form === 'text' && field(s),
    why: 'überspringt wie pixi.js 8 die Zeile distanceField der Textform' },
  { engines: ['Phaser 3'], when: several, why: 'lädt eine Textur je Schrift und übergeht page=' },
  { engines: ['Godot 4'], when: (s) => s.content === 'greyalpha',
    why: 'lädt Seiten aus Grau mit Alpha nicht („Unsupported BMFont texture format“)' },
  { engines: ['Godot 4'], when: (s) => s.form === 'binary',
    why: 'nimmt das Unicode-Kennzeichen der Binärform aus dem Wert 0x02 statt 0x40 und Zeichen über U+00FF als 0' },
];

const INFO = ['face', 'size', 'padding', 'spacing', 'outline'];
const COMMON = ['lineHeight', 'base', 'scaleW', 'scaleH', 'pages', 'packed', 'alphaChnl', 'redChnl', 'greenChnl', 'blueChnl'];
const CHAR = ['x', 'y', 'width', 'height', 'xoffset', 'yoffset', 'xadvance', 'page', 'chnl'];

// Where a parser's values differ from what we wrote.
function dataDifference(ref, data) {
  for (const [block, keys] of [['info', INFO], ['common', COMMON]])
    for (const key of keys)
      if (String(data[block]?.[key]) !== String(ref[block][key]))
        return `${block} ${key}=${data[block]?.[key]} statt ${ref[block][key]}`;
  if (String(data.pages) !== String(ref.pages)) return `Seiten ${data.pages} statt ${ref.pages}`;
  const chars = new Map(data.chars.map((c) => [c.id, c]));
  if (data.chars.length !== ref.chars.length) return `${data.chars.length} statt ${ref.chars.length} Zeichen`;
  for (const c of ref.chars)
    for (const key of CHAR)
      if (chars.get(c.id)?.[key] !== c[key]) return `Zeichen ${c.id} ${key}=${chars.get(c.id)?.[key]} statt ${c[key]}`;
  const pairs = (list) => list.map((k) => `${k.first},${k.second},${k.amount}`).sort().join(' ');
  if (pairs(data.kernings ?? []) !== pairs(ref.kernings)) return `${data.kernings?.length ?? 0} statt ${ref.kernings.length} Unterschneidungspaare`;
  return '';
}

// What an engine read wrong: the geometry (values, quads, cells, pages), the channel it takes as
// coverage where it tells one, else the field alone.
function difference(ref, read) {
  if (read.error) return { why: `Fehler beim Laden: ${read.error}` };
  const field = read.data ? fieldOf(read.data) : read.field;
  const why = read.data ? dataDifference(ref, read.data)
    : read.picture ? pictureDifference(ref, read.picture, dir) : lineDifference(ref, read.line, ref);
  if (why) return { why };
  const meant = meantCoverage(ref.common);
  if (read.coverage !== undefined && !ref.distanceField && read.coverage !== meant)
    return { why: `nimmt den ${read.coverage} als Deckung, gemeint ist der ${meant}` };
  if (field === undefined) return { why };
  const fieldWhy = fieldDifference(ref, field);
  return { why: fieldWhy && read.coverage ? `${fieldWhy}, Deckung aus dem ${read.coverage}` : fieldWhy, fieldOnly: true };
}

// What the export said about this engine without a preset: that it would misread the set.
function noteWarns(set, engine) {
  const preset = PRESETS[engine];
  return !!preset && set.form !== null && set.notes.split('\n').some((l) => l.includes('Diese Engines') && l.includes(PRESET_NAMES[preset]));
}

// The note names engines that misread a field, so only a field read wrong is expected from it.
function verdict(job, { why, fieldOnly }) {
  const { engine, set } = job;
  if (!why) return { kind: 'ok', text: noteWarns(set, engine) ? 'liest richtig (der Hinweis warnt unnötig)' : 'liest richtig' };
  if (fieldOnly && noteWarns(set, engine)) return { kind: 'expected', text: `liest falsch, vom Hinweis genannt: ${why}` };
  const limit = LIMITS.find((l) => l.engines.includes(engine) && l.when(set));
  if (limit && set.form !== null) return { kind: 'expected', text: `liest falsch, Grenze der Engine (${limit.why}): ${why}` };
  return { kind: 'fail', text: `FEHLER: liest falsch: ${why}` };
}

const dir = mkdtempSync(join(tmpdir(), 'glyfrax-engines-'));
const started = Date.now();
try {
  const sets = matrixSets(Object.keys(PRESET_NAMES));
  await exportAll(process.argv[2], dir, sets);
  const results = [];
  const jobs = [];
  for (const set of sets) {
    const chosen = set.chosenForm;
    for (const [engine, { forms }] of Object.entries(engines)) {
      const cell = { engine, set, form: set.form ?? `--engine ${set.engine}` };
      if (set.form === null && (PRESETS[engine] ?? null) !== set.engine) continue;
      if (set.refused) {
        if (set.form === null || forms.includes(set.form))
          results.push({ ...cell, kind: 'refused', text: `nicht geschrieben: ${set.refused}` });
      } else if (!forms.includes(chosen)) {
        if (set.form !== null) results.push({ ...cell, kind: 'cannot', text: `kann nicht lesen: lädt nur ${forms.join(', ')}` });
        else results.push({ ...cell, kind: 'fail', text: `FEHLER: das Preset wählt ${chosen}, die Engine lädt nur ${forms.join(', ')}` });
      } else {
        if (set.form === null) cell.form += ` → ${chosen}`;
        jobs.push({ ...cell, ref: reference(sets, set) });
      }
    }
  }
  const report = (job, read) => results.push({ ...job, ...verdict(job, difference(job.ref, read)) });
  for (const job of jobs.filter((j) => inProcess[j.engine])) {
    let read;
    try {
      read = await inProcess[job.engine].read(job.set.descriptor);
    } catch (e) {
      read = { error: String(e?.message ?? e) };
    }
    report(job, read);
  }
  for (const [name, engine] of Object.entries(desktop)) {
    const own = jobs.filter((j) => j.engine === name);
    (await engine.readAll(own, dir)).forEach((read, i) => report(own[i], read));
  }
  if (withBrowser) await readInBrowser(chromiumPath, dir, SAMPLE, jobs.filter((j) => browserEngines[j.engine]), report);
  printTable(results);
  const count = (kind) => results.filter((r) => r.kind === kind).length;
  console.log(`\nZellen: ${count('ok')} richtig gelesen, ${count('expected')} erwartet falsch gelesen, ` +
              `${count('cannot')} nicht lesbar, ${count('refused')} nicht geschrieben, ` +
              `${count('fail')} Fehler ` +
              `(${sets.length} Sätze, ${((Date.now() - started) / 1000).toFixed(1)} s)`);
  if (count('fail')) process.exitCode = 1;
  else if (missing.length) skip(`${missing.join(', ')} fehlt: Deren Engines sind nicht geprüft (tools/install-deps installiert sie).`);
} finally {
  if (process.env.GLYFRAX_ENGINES_KEEP) console.log(`Die Sätze liegen in ${dir}.`);
  else rmSync(dir, { recursive: true, force: true });
}

// One row per engine, form and content; the four sets of a row (one page or several, kerning or
// not) share one verdict or list theirs.
function printTable(results) {
  const rows = new Map();
  for (const r of results) {
    const key = [r.engine, r.form, r.set.content].join(' | ');
    if (!rows.has(key)) rows.set(key, []);
    rows.get(key).push(r);
  }
  for (const [key, cells] of rows) {
    const texts = [...new Set(cells.map((c) => c.text))];
    const text = texts.length === 1 ? texts[0]
      : cells.map((c) => `[${c.set.pages}, ${c.set.kerning}] ${c.text}`).join('; ');
    console.log(`${key} | ${text}`);
  }
}
