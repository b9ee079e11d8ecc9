// The engines that read a set without a browser: the npm BMFont parsers, load-bmfont (which picks
// one of them by the file's first bytes), and three-msdf-text-utils' text geometry for three.js,
// laid out from what load-bmfont read. Each returns what it read: the descriptor's values or the
// sample line's quads, and the field it takes the pages for.
import { readFileSync } from 'node:fs';
import { createRequire, register } from 'node:module';
import { SAMPLE } from './matrix.mjs';

const require = createRequire(import.meta.url);
const parsers = {
  text: require('parse-bmfont-ascii'),
  xml: require('parse-bmfont-xml'),
  binary: require('parse-bmfont-binary'),
};
const loadFont = require('load-bmfont');

// three-msdf-text-utils' built bundle pulls in all of three's add-ons; its own sources import
// each other without file extensions, which Node's loader is told to try.
register('data:text/javascript,' + encodeURIComponent(
  'export async function resolve(s, c, next) { try { return await next(s, c); } catch (e) {' +
  ' if (s.startsWith(".") && !s.endsWith(".js")) return next(s + ".js", c); throw e; } }'));
const { default: MSDFTextGeometry } =
  await import('./node_modules/three-msdf-text-utils/src/MSDFTextGeometry/index.js');

const load = (path) => new Promise((done, fail) => loadFont(path, (e, font) => (e ? fail(e) : done(font))));

function fieldOf(data) {
  const f = data.distanceField;
  return f ? { type: f.fieldType, range: f.distanceRange } : null;
}

// What three.js draws: the geometry's quads (y down, from the first line's top) and texture
// rectangles, back in the pages' pixels. Its geometry reads no field: the material chosen draws one.
function threeLine(font) {
  const geometry = new MSDFTextGeometry({ font, text: SAMPLE, multipage: true });
  const pos = geometry.attributes.position.array;
  const uv = geometry.attributes.uv.array;
  const page = geometry.attributes.page.array;
  const { scaleW, scaleH } = font.common;
  return geometry.visibleGlyphs.map((glyph, i) => {
    const xs = [0, 2, 4, 6].map((k) => pos[8 * i + k]);
    const ys = [1, 3, 5, 7].map((k) => pos[8 * i + k]);
    const us = [0, 2, 4, 6].map((k) => Math.round(uv[8 * i + k] * scaleW));
    const vs = [1, 3, 5, 7].map((k) => Math.round(scaleH - uv[8 * i + k] * scaleH));
    const box = (a, b) => [Math.min(...a), Math.min(...b), Math.max(...a) - Math.min(...a), Math.max(...b) - Math.min(...b)];
    return { id: glyph.data.id, page: page[4 * i], quad: box(xs, ys), frame: box(us, vs) };
  });
}

export const nodeEngines = {
  'parse-bmfont-ascii': { forms: ['text'], read: (p) => ({ data: parsers.text(readFileSync(p, 'utf8')) }) },
  'parse-bmfont-xml': { forms: ['xml'], read: (p) => ({ data: parsers.xml(readFileSync(p, 'utf8')) }) },
  'parse-bmfont-binary': { forms: ['binary'], read: (p) => ({ data: parsers.binary(readFileSync(p)) }) },
  'load-bmfont': { forms: ['text', 'xml', 'binary', 'json'], read: async (p) => ({ data: await load(p) }) },
  'three.js': {
    forms: ['text', 'xml', 'binary', 'json'],
    read: async (p) => {
      const font = await load(p);
      return { line: threeLine(font) }; // the field is the shader's, whatever the font says
    },
  },
};

export { fieldOf };
