// The sets every engine is given, and what we mean by each: the descriptor as our JSON form
// writes it, and the sample line laid out from it as SampleText (src/export/bmfont) does.
import { execFile } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

const run = promisify(execFile);

export const FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf';
// Pairs DejaVu Sans kerns (AV, To, Ty, LT, Wa, Yo, P.), glyphs that hang left of the pen (j) or
// reach below the line (g, y, Q), one that is only an advance (space), and one beyond Latin-1 (€)
// that a loader taking the ids for a code page loses.
export const SAMPLE = 'AVATAR To Ty, LT Wa Yo P. {jig} Q?7 €';
const CHARS = '32-126,0x20AC';

export const FORMS = ['text', 'xml', 'binary', 'json'];
export const CONTENTS = {
  plain: [],
  effects: ['--outline', '2', '--shadow', '2,2,1'],
  sdf: ['--field', 'sdf'],
  msdf: ['--field', 'msdf'],
  greyalpha: ['--channels', 'alpha'],
  // Images in their colours in place of €, ? and 7, drawn inline with the text.
  icons: ['--images', join(dirname(fileURLToPath(import.meta.url)), 'icons'), '--color-glyphs'],
};
const PAGES = { one: [], several: ['--max-texture', '128'] };
const KERNING = { kern: ['--kerning'], nokern: ['--no-kerning'] };

// One set: its options and where its descriptor is; form is null for a preset's own choice.
function set(content, pages, kerning, form, engine) {
  const stem = [content, pages, kerning, form ?? `engine-${engine}`].join('-');
  return { stem, content, pages, kerning, form, engine, variant: [content, pages, kerning].join('-') };
}

export function matrixSets(presetKeys) {
  const sets = [];
  for (const content of Object.keys(CONTENTS))
    for (const pages of Object.keys(PAGES))
      for (const kerning of Object.keys(KERNING)) {
        for (const form of FORMS) sets.push(set(content, pages, kerning, form, null));
        // A preset chooses the form and the alpha, never the kerning: its sets keep their pairs.
        if (kerning === 'kern') for (const key of presetKeys) sets.push(set(content, pages, kerning, null, key));
      }
  return sets;
}

async function exportSet(exporter, dir, s) {
  const args = ['--format', 'bmfont', '--font-file', FONT, '--pixels', '24', '--chars', CHARS, '--verbose',
                ...CONTENTS[s.content], ...PAGES[s.pages], ...KERNING[s.kerning],
                ...(s.form ? ['--descriptor', s.form] : ['--engine', s.engine]), join(dir, `${s.stem}.png`)];
  try {
    const { stdout, stderr } = await run(exporter, args, { env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
    s.descriptor = stdout.split('\n').find((l) => /\.(fnt|json)$/.test(l));
    s.notes = stderr;
    s.chosenForm = s.form ?? formOf(readFileSync(s.descriptor));
  } catch (e) {
    s.refused = (e.stderr || e.message).trim().replace(/^glyfrax-export: /, '');
  }
}

// Exports every set, two at a time (the machine has two cores).
export async function exportAll(exporter, dir, sets) {
  const queue = [...sets];
  const worker = async () => { for (let s; (s = queue.shift());) await exportSet(exporter, dir, s); };
  await Promise.all([worker(), worker()]);
}

function formOf(bytes) {
  if (bytes.subarray(0, 3).toString('latin1') === 'BMF') return 'binary';
  const start = bytes.toString('utf8').trimStart()[0];
  return start === '<' ? 'xml' : start === '{' ? 'json' : 'text';
}

// What we wrote, from the JSON form of the same variant, with the set's own page names.
export function reference(sets, s) {
  const json = sets.find((r) => r.variant === s.variant && r.form === 'json');
  const font = JSON.parse(readFileSync(json.descriptor, 'utf8'));
  const pages = font.pages.map((p) => p.replace(json.stem, s.stem));
  return { ...font, pages, line: layout(font, SAMPLE) };
}

// The pen starts at 0, moves on by the kerning with the character before, each cell goes to the
// pen plus its offsets, then the pen moves on by the advance. Only cells with ink are drawn.
export function layout(font, text) {
  const chars = new Map(font.chars.map((c) => [c.id, c]));
  const kerning = new Map((font.kernings ?? []).map((k) => [`${k.first},${k.second}`, k.amount]));
  const glyphs = [];
  let pen = 0;
  let before = null;
  for (const ch of text) {
    const c = chars.get(ch.codePointAt(0));
    if (!c) continue;
    if (before) pen += kerning.get(`${before.id},${c.id}`) ?? 0;
    if (c.width * c.height > 0)
      glyphs.push({ id: c.id, page: c.page, frame: [c.x, c.y, c.width, c.height],
                    quad: [pen + c.xoffset, c.yoffset, c.width, c.height] });
    pen += c.xadvance;
    before = c;
  }
  return glyphs;
}

// Where an engine's line differs from ours, in a few words; empty when it does not. A line that
// is shifted as a whole is the engine's anchor, not a misreading.
export function lineDifference(ref, glyphs, font) {
  // Engines draw a line page by page, so glyphs are matched by where they stand.
  const byPlace = (a, b) => a.quad[0] - b.quad[0] || a.quad[1] - b.quad[1];
  const visible = glyphs.filter((g) => g.quad[2] * g.quad[3] > 0).sort(byPlace);
  const wanted = [...ref.line].sort(byPlace);
  if (visible.length !== wanted.length) return `${visible.length} statt ${wanted.length} Glyphen gezeichnet`;
  const dx = visible[0].quad[0] - wanted[0].quad[0];
  const dy = visible[0].quad[1] - wanted[0].quad[1];
  const unkerned = layout({ ...font, kernings: [] }, SAMPLE).sort(byPlace);
  const lostKerning = ref.kernings.length > 0;
  for (let i = 0; i < visible.length; i++) {
    const [want, got] = [wanted[i], visible[i]];
    const at = `„${String.fromCodePoint(want.id)}“`;
    if (got.id !== undefined && got.id !== want.id) return `${at}: Zeichen ${got.id} statt ${want.id}`;
    if (got.page !== want.page) return `${at}: Seite ${got.page} statt ${want.page}`;
    if (got.frame.join() !== want.frame.join()) return `${at}: Zelle ${got.frame} statt ${want.frame}`;
    const moved = [got.quad[0] - dx, got.quad[1] - dy, got.quad[2], got.quad[3]];
    if (moved.join() !== want.quad.join()) {
      if (lostKerning && visible.every((g, j) => g.quad[0] - dx === unkerned[j].quad[0]))
        return 'Unterschneidung nicht gelesen';
      return `${at}: Viereck ${moved} statt ${want.quad}`;
    }
  }
  return '';
}

// The field an engine takes the pages for, against ours.
export function fieldDifference(ref, field) {
  const want = ref.distanceField ? `${ref.distanceField.fieldType}/${ref.distanceField.distanceRange}` : 'keins';
  const got = field ? `${field.type}/${field.range}` : 'keins';
  return want === got ? '' : `Distanzfeld ${got} statt ${want}`;
}
