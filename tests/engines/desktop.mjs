// The engines Debian packages as programs: LÖVE 11 and Godot 3, each run once under Xvfb for all
// their sets. They give no glyph's quad back, so each draws the sample line into a picture, and
// the test draws the same line from the set's pages where our layout puts each cell. Both are
// compared by coverage (alpha), after moving the engine's picture so that the ink starts at the
// same corner: where an engine anchors a line is its own affair.
import { execFile } from 'node:child_process';
import { cpSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { createRequire } from 'node:module';
import { layout, SAMPLE } from './matrix.mjs';

const { PNG } = createRequire(import.meta.url)('pngjs');
const run = promisify(execFile);
const here = dirname(fileURLToPath(import.meta.url));
const WIDTH = 1024;
const HEIGHT = 96;
const ORIGIN = 16; // where the line starts, so that ink left of the pen or above the line shows
const TOLERANCE = 2; // of 255: rounding where glyphs' cells overlap

// The line as an engine blends it (source over, straight alpha): the alpha of each pixel.
function drawLine(glyphs, pages) {
  const alpha = new Float64Array(WIDTH * HEIGHT);
  for (const g of glyphs) {
    const page = pages[g.page];
    const [fx, fy, w, h] = g.frame;
    for (let y = 0; y < h; y++)
      for (let x = 0; x < w; x++) {
        const [tx, ty] = [ORIGIN + g.quad[0] + x, ORIGIN + g.quad[1] + y];
        if (tx < 0 || ty < 0 || tx >= WIDTH || ty >= HEIGHT) continue;
        const a = page.data[4 * ((fy + y) * page.width + fx + x) + 3] / 255;
        alpha[ty * WIDTH + tx] = a + alpha[ty * WIDTH + tx] * (1 - a);
      }
  }
  return { width: WIDTH, height: HEIGHT, alpha: (i) => Math.round(alpha[i] * 255) };
}

function fromPng(path) {
  const png = PNG.sync.read(readFileSync(path));
  return { width: png.width, height: png.height, alpha: (i) => png.data[4 * i + 3] };
}

// The top-left corner of the ink.
function corner(p) {
  let [left, top] = [Infinity, Infinity];
  for (let y = 0; y < p.height; y++)
    for (let x = 0; x < p.width; x++)
      if (p.alpha(y * p.width + x) > 0) [left, top] = [Math.min(left, x), Math.min(top, y)];
  return [left, top];
}

function pixelsOff(want, got) {
  const [wx, wy] = corner(want);
  const [gx, gy] = corner(got);
  let off = 0;
  for (let y = 0; y < want.height; y++)
    for (let x = 0; x < want.width; x++) {
      const [x2, y2] = [x + gx - wx, y + gy - wy];
      const a = x2 >= 0 && y2 >= 0 && x2 < got.width && y2 < got.height ? got.alpha(y2 * got.width + x2) : 0;
      if (Math.abs(a - want.alpha(y * want.width + x)) > TOLERANCE) off++;
    }
  return off;
}

export function pictureDifference(ref, picturePath, setsDir) {
  const pages = ref.pages.map((p) => PNG.sync.read(readFileSync(join(setsDir, p))));
  const got = fromPng(picturePath);
  const off = pixelsOff(drawLine(ref.line, pages), got);
  if (!off) return '';
  if (ref.kernings.length && !pixelsOff(drawLine(layout({ ...ref, kernings: [] }, SAMPLE), pages), got))
    return 'Unterschneidung nicht gelesen';
  return `${off} Pixel der Zeile weichen ab`;
}

// Runs an engine once under Xvfb for all its jobs: a job file of lines "descriptor, picture,
// pages" (tab-separated), and the sample; it answers "ok" or "error ..." for each line.
async function drawAll(jobs, setsDir, tag, command) {
  if (!jobs.length) return [];
  const list = join(setsDir, `${tag}-jobs.txt`);
  const picture = (job) => join(setsDir, `${job.set.stem}.${tag}.png`);
  writeFileSync(list, jobs.map((j) => [j.set.descriptor, picture(j), ...j.ref.pages.map((p) => join(setsDir, p))].join('\t')).join('\n') + '\n');
  const { stdout } = await run('xvfb-run', ['-a', ...command, list, SAMPLE],
                               { env: { ...process.env, HOME: setsDir }, maxBuffer: 1 << 24 });
  const answers = stdout.split('\n').filter((l) => l === 'ok' || l.startsWith('error'));
  return jobs.map((job, i) => (answers[i] === 'ok' ? { picture: picture(job), field: null }
    : { error: answers[i] ?? `${command[0]} gab keine Antwort` }));
}

// Neither engine reads a distance field: it draws the pages as coverage.
export const desktopEngines = {
  'LÖVE 11': {
    forms: ['text'],
    programs: ['love', 'xvfb-run'],
    readAll: (jobs, setsDir) => drawAll(jobs, setsDir, 'love', ['love', join(here, 'love')]),
  },
  'Godot 3': {
    forms: ['text'],
    programs: ['godot3', 'xvfb-run'],
    // A copy of the project: Godot writes beside it.
    readAll(jobs, setsDir) {
      const project = join(setsDir, 'godot3');
      cpSync(join(here, 'godot3'), project, { recursive: true });
      return drawAll(jobs, setsDir, 'godot3', ['godot3', '--path', project, '-s', 'main.gd']);
    },
  },
};
