// Two engines that do not run here, read by their loaders' rules as their public source has them:
// each reader says what its engine would lay out of a set (the sample line's quads and cells), the
// field it draws and which channel it takes as coverage, or throws where the engine's loader fails.
//
// Godot 4 (godotengine/godot, scene/resources/font.cpp, FontFile::_load_bitmap_font as in Godot 4.4
// and later, with the PNG loader of drivers/png/png_driver_common.cpp and the bitmap-font kerning of
// modules/text_server_adv):
//  - The first four bytes "BMF" and version 3 make it binary, anything else is read as text lines.
//    XML and JSON are no error but a font without glyphs: only the text form and binary count.
//  - A text line's tag is what stands before its first blank; name="value" ends at the next quote,
//    name=value at the next blank. Numbers are read digit by digit, anything else skipped.
//  - Without unicode=1 (text) or its flag (binary: bit 1, value 2, where our writer and AngelCode's
//    set 0x40) the ids are a Windows code page (charset; none or ANSI: 1252): 0x80 to 0xFF are
//    mapped through it, ids above 0xFF become 0. An unknown charset leaves them Unicode.
//  - common: lineHeight, base, packed=1, and the four channel flags; the coverage channel is the
//    first of red, green, blue, alpha whose flag says glyph (0), unless all four are 0 (the RGBA
//    image as it is) or alpha 0 with red, green, blue 4 in an RGBA image (also as it is). Packed
//    pages need alpha 0 and take each character's channel from chnl (1 blue, 2 green, 4 red,
//    8 alpha). Other combinations, and images that are not RGBA (or grey without alpha for one
//    channel), fail: "Unsupported BMFont texture format". A grey image with alpha never loads.
//  - page id= file= loads the image beside the descriptor at once; one missing fails the load.
//  - char: a missing page= leaves it on no texture; yoffset is taken from base (the baseline is
//    the origin); an advance below 0 becomes width + 1. kerning amount= is added to the first
//    character's advance. distanceField is not read: the pages are drawn as coverage.
//
// libGDX (libgdx/libgdx, gdx/src/com/badlogic/gdx/graphics/g2d/BitmapFont.java at 9e8c6b30,
// BitmapFontData.load and getGlyphs):
//  - Text form only, by position: the first line must hold padding= with four comma-separated
//    whole numbers followed by a blank (read as top, left, bottom, right); the second is common
//    with lineHeight= and base= as its first two fields and pages= as its fifth; then exactly as
//    many page lines as pages=, each "page id=N file=...", the ids 0, 1, 2 in order; the file name
//    is the third blank-separated part, so a name with a blank breaks it.
//  - Then every line starting "char " up to "kernings " is a character, its values taken by
//    position (id x y width height xoffset yoffset xadvance page); other lines are skipped. Ids of
//    0 or less are the missing glyph, above 0xFFFF dropped. yoffset is turned upwards from the top.
//  - The "kerning " lines right after "kernings " are the pairs (amount kept in a byte), for
//    first characters the font has; chnl, packed and the channel flags are not read, and the page
//    images are drawn with their alpha as coverage (SpriteBatch's colour times the texture).
//  - A line is laid out pen + xoffset, the pen moved on by xadvance plus the pair's kerning; the
//    padding only moves the line as a whole (tight bounds) and sizes the space.
//  - The field: the loader skips distanceField; a program draws the set as a field through
//    DistanceFieldFont, whose shader takes one distance from the alpha channel.
import { existsSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { SAMPLE } from './matrix.mjs';

const CHANNELS = ['Rotkanal', 'Grünkanal', 'Blaukanal', 'Alphakanal'];
const BY_CHNL = 'Kanal je Zeichen (chnl)';
const GLYPH = 0; // a channel flag: the channel holds the glyph
const ONE = 4;

// The channel a set's flags give the coverage in, as its writer means it.
export function meantCoverage(common) {
  if (common.packed) return BY_CHNL;
  const flags = [common.redChnl, common.greenChnl, common.blueChnl, common.alphaChnl];
  if (flags[3] <= 2 || flags.every((f) => f === GLYPH)) return CHANNELS[3];
  const colour = flags.findIndex((f) => f <= 2);
  return CHANNELS[colour >= 0 ? colour : 3];
}

// ---------------------------------------------------------------------------------------------
// Godot 4

// What Godot's PNG loader makes of a page: grey, grey with alpha, RGB or RGBA (palettes and tRNS
// become alpha, 16 bits 8).
function godotImageFormat(file) {
  const png = readFileSync(file);
  if (png.toString('latin1', 1, 4) !== 'PNG') throw new Error(`Seite ${file}: nur PNG ist nachgebildet`);
  let transparency = false;
  for (let at = 8; at + 8 <= png.length; at += 12 + png.readUInt32BE(at))
    transparency ||= png.toString('latin1', at + 4, at + 8) === 'tRNS';
  const formats = { 0: ['L8', 'LA8'], 2: ['RGB8', 'RGBA8'], 3: ['RGB8', 'RGBA8'], 4: ['LA8', 'LA8'], 6: ['RGBA8', 'RGBA8'] };
  return formats[png[25]][transparency ? 1 : 0];
}

// String::to_int: the digits before a '.', whatever stands between them; a '-' before them turns
// the sign.
function godotInt(text) {
  let [value, sign] = [0, 1];
  for (const c of text.split('.')[0]) {
    if (c >= '0' && c <= '9') value = value * 10 + Number(c);
    else if (c === '-' && value === 0) sign = -sign;
  }
  return sign * value;
}

function godotLine(line) {
  const blank = line.indexOf(' ');
  const keys = new Map();
  let pos = blank + 1;
  while (line[pos] === ' ') pos++;
  while (pos < line.length) {
    const eq = line.indexOf('=', pos);
    if (eq < 0) break;
    const key = line.slice(pos, eq);
    let value;
    if (line[eq + 1] === '"') {
      const end = line.indexOf('"', eq + 2);
      if (end < 0) break;
      value = line.slice(eq + 2, end);
      pos = end + 1;
    } else {
      const end = line.indexOf(' ', eq + 1) < 0 ? line.length : line.indexOf(' ', eq + 1);
      value = line.slice(eq + 1, end + 1); // the blank after it comes along
      pos = end;
    }
    while (line[pos] === ' ') pos++;
    keys.set(key, value);
  }
  return { type: blank < 0 ? line : line.slice(0, blank), keys };
}

const CHARSETS = { '': 2, ASCII: 2, ANSI: 2, ARABIC: 6, BALTIC: 7, EASTEUROPE: 0, GREEK: 3, HEBREW: 5, RUSSIAN: 1,
                   TURKISH: 4, VIETNAMESE: 8 };
const BINARY_CHARSETS = { 0x00: 2, 0xb2: 6, 0xba: 7, 0xee: 0, 0xa1: 3, 0xb1: 5, 0xcc: 1, 0xa2: 4, 0xa3: 8 };
const UNICODE = 9;

// The font as the loader builds it, before any page or character is read.
function godotFont(file) {
  return { dir: dirname(file), ascent: 0, outline: 0, packed: false, flags: [0, 0, 0, 0],
           first: null, encoding: UNICODE, pages: new Map(), glyphs: new Map(), kerning: new Map() };
}

function godotId(font, id) {
  if (font.encoding === UNICODE || id < 0x80) return id;
  if (id > 0xff) return 0;
  return new TextDecoder(`windows-${1250 + font.encoding}`).decode(Uint8Array.of(id)).codePointAt(0);
}

function godotChannels(font, flags) {
  font.flags = flags;
  // The first channel of each kind is kept from the first common line on.
  font.first ??= [GLYPH, 1, 2].map((kind) => flags.indexOf(kind));
  if (font.first[1] >= 0 && font.outline === 0) font.outline = 1;
}

// Which channel of a page the loader keeps as the glyph's coverage, or why it refuses the page.
function godotPage(font, id, name) {
  const path = join(font.dir, name);
  if (!existsSync(path)) throw new Error(`Godot 4: „Can't load font texture: ${name}“`);
  const format = godotImageFormat(path);
  const [glyph, outline, both] = font.first ?? [0, -1, -1];
  const ch = font.flags;
  const fail = () => { throw new Error(`Godot 4: „Unsupported BMFont texture format.“ (Seite ${format}, Kanäle ${ch})`); };
  const mono = format === 'RGBA8' || format === 'L8';
  let coverage;
  if (font.packed) {
    if (ch[3] !== GLYPH || format !== 'RGBA8') fail();
    coverage = BY_CHNL;
  } else if (ch[3] === GLYPH && ch.slice(0, 3).every((c) => c === ONE) && format === 'RGBA8') coverage = CHANNELS[3];
  else if (ch.every((c) => c === GLYPH)) coverage = format === 'RGBA8' ? CHANNELS[3] : fail();
  else if (ch.every((c) => c === 2) && font.outline > 0) coverage = format === 'RGBA8' ? 'Vier-Bit-Kanal' : fail();
  else if (glyph >= 0 && outline >= 0 && font.outline > 0) coverage = mono ? CHANNELS[format === 'L8' ? 0 : glyph] : fail();
  else if (both >= 0 && font.outline > 0) coverage = mono ? `${CHANNELS[both]} (4 Bit)` : fail();
  else if (glyph >= 0) coverage = mono ? CHANNELS[format === 'L8' ? 0 : glyph] : fail();
  else fail();
  font.pages.set(id, coverage);
}

function godotGlyph(font, g) {
  font.glyphs.set(g.id, { ...g, yoffset: g.yoffset - font.ascent,
                          xadvance: g.xadvance < 0 ? g.width + 1 : g.xadvance });
}

function godotText(font, text) {
  for (const raw of text.split('\n')) {
    const { type, keys } = godotLine(raw.replace(/\r/g, ''));
    const int = (key, otherwise = 0) => (keys.has(key) ? godotInt(keys.get(key)) : otherwise);
    if (type === 'info') {
      font.outline = int('outline', font.outline);
      const unicode = int('unicode');
      if (!unicode)
        font.encoding = keys.has('charset') ? CHARSETS[keys.get('charset').toUpperCase()] ?? UNICODE : 2;
    } else if (type === 'common') {
      font.ascent = int('base');
      font.packed = int('packed') === 1;
      godotChannels(font, ['redChnl', 'greenChnl', 'blueChnl', 'alphaChnl'].map((k, i) => int(k, font.flags[i])));
    } else if (type === 'page' && keys.has('file')) {
      godotPage(font, int('id'), keys.get('file'));
    } else if (type === 'char') {
      godotGlyph(font, { id: godotId(font, int('id')), x: int('x'), y: int('y'), width: int('width'),
                         height: int('height'), xoffset: int('xoffset'), yoffset: int('yoffset'),
                         page: int('page', -1), xadvance: int('xadvance'), chnl: int('chnl', 15) });
    } else if (type === 'kerning' && keys.has('amount')) {
      font.kerning.set(`${godotId(font, int('first'))},${godotId(font, int('second'))}`, int('amount'));
    }
  }
}

function godotBinary(font, bytes) {
  if (bytes[3] !== 3) throw new Error(`Godot 4: „Version ${bytes[3]} of BMFont is not supported (should be 3).“`);
  for (let at = 4; at + 5 <= bytes.length;) {
    const [type, size, start] = [bytes[at], bytes.readUInt32LE(at + 1), at + 5];
    const block = bytes.subarray(start, start + size);
    if (type === 1) {
      if (size < 15) throw new Error('Godot 4: „Invalid BMFont info block size.“');
      if (!(block[2] & 0x02)) font.encoding = BINARY_CHARSETS[block[3]] ?? UNICODE;
      font.outline = block[13];
    } else if (type === 2) {
      if (size !== 15) throw new Error('Godot 4: „Invalid BMFont common block size.“');
      font.ascent = block.readUInt16LE(2);
      font.packed = (block[10] & 0x01) !== 0;
      godotChannels(font, [block[12], block[13], block[14], block[11]]);
    } else if (type === 3) {
      block.toString('utf8').split('\0').slice(0, -1).forEach((name, page) => godotPage(font, page, name));
    } else if (type === 4) {
      for (let c = 0; c + 20 <= size; c += 20) {
        godotGlyph(font, { id: godotId(font, block.readUInt32LE(c)), x: block.readInt16LE(c + 4),
                           y: block.readInt16LE(c + 6), width: block.readInt16LE(c + 8), height: block.readInt16LE(c + 10),
                           xoffset: block.readInt16LE(c + 12), yoffset: block.readInt16LE(c + 14),
                           xadvance: block.readInt16LE(c + 16), page: block[c + 18], chnl: block[c + 19] });
      }
    } else if (type === 5) {
      for (let k = 0; k + 10 <= size; k += 10)
        font.kerning.set(`${godotId(font, block.readUInt32LE(k))},${godotId(font, block.readUInt32LE(k + 4))}`,
                         block.readInt16LE(k + 8));
    } else {
      throw new Error('Godot 4: „Invalid BMFont block type.“');
    }
    at = start + size;
  }
}

// The sample line as Godot's text server sets it at the font's own size: each glyph at the pen
// plus its offsets from the baseline, the pen moved on by its advance and the pair's kerning.
function godotLayout(font) {
  const line = [];
  const coverage = new Set();
  let [pen, before] = [0, null];
  for (const ch of SAMPLE) {
    const id = ch.codePointAt(0);
    const g = font.glyphs.get(id);
    if (!g) continue;
    if (before !== null) pen += font.kerning.get(`${before},${id}`) ?? 0;
    if (g.page >= 0 && font.pages.has(g.page)) {
      // A packed character whose chnl names no one channel is read from red.
      coverage.add(font.packed && ![1, 2, 4, 8].includes(g.chnl) ? CHANNELS[0] : font.pages.get(g.page));
      line.push({ id, page: g.page, frame: [g.x, g.y, g.width, g.height], quad: [pen + g.xoffset, g.yoffset, g.width, g.height] });
    }
    pen += g.xadvance;
    before = id;
  }
  return { line, field: null, coverage: [...coverage].join(', ') };
}

function readGodot4(path) {
  const bytes = readFileSync(path);
  const font = godotFont(path);
  if (bytes.toString('latin1', 0, 3) === 'BMF') godotBinary(font, bytes);
  else godotText(font, bytes.toString('utf8'));
  return godotLayout(font);
}

// ---------------------------------------------------------------------------------------------
// libGDX

// Java's String.split(separator, limit): at most limit parts, the rest in the last.
function javaSplit(text, separator, limit) {
  const parts = text.split(separator);
  return parts.length <= limit ? parts : [...parts.slice(0, limit - 1), parts.slice(limit - 1).join(separator)];
}

const gdxFail = (message, detail = '') => { throw new Error(`libGDX: „${message}“${detail && ` (${detail})`}`); };

// Integer.parseInt: a whole number and nothing else, or NumberFormatException.
function javaInt(text) {
  if (!/^[+-]?\d+$/.test(text ?? '')) gdxFail('NumberFormatException', `„${text}“`);
  return Number(text);
}

function libgdxPadding(info) {
  if (info === undefined) gdxFail('File is empty.');
  const rest = info.slice(info.indexOf('padding=') + 8);
  if (rest.indexOf(' ') < 0) gdxFail('StringIndexOutOfBoundsException', 'kein Blank nach padding=');
  const padding = javaSplit(rest.slice(0, rest.indexOf(' ')), ',', 4);
  if (padding.length !== 4) gdxFail('Invalid padding.');
  const [top, left, bottom, right] = padding.map(javaInt);
  return { top, left, bottom, right };
}

function libgdxPages(lines, next, dir) {
  const line = lines[next()];
  if (line === undefined) gdxFail('Missing common header.');
  const common = javaSplit(line, ' ', 7);
  if (common.length < 3) gdxFail('Invalid common header.');
  if (!common[1].startsWith('lineHeight=')) gdxFail('Missing: lineHeight');
  javaInt(common[1].slice(11));
  if (!common[2].startsWith('base=')) gdxFail('Missing: base');
  javaInt(common[2].slice(5));
  let count = 1;
  if (common.length >= 6 && common[5].startsWith('pages=') && /^[+-]?\d+$/.test(common[5].slice(6)))
    count = Math.max(1, Number(common[5].slice(6)));
  const pages = [];
  for (let p = 0; p < count; p++) {
    const page = lines[next()];
    if (page === undefined) gdxFail('Missing additional page definitions.');
    const parts = javaSplit(page, ' ', 4);
    if (!parts[2]?.startsWith('file=')) gdxFail('Missing: file', `als Seite gelesen: ${page}`);
    if (parts[1].startsWith('id=') && javaInt(parts[1].slice(3)) !== p)
      gdxFail(`Page IDs must be indices starting at 0: ${parts[1].slice(3)}`);
    const name = parts[2].endsWith('"') ? parts[2].slice(6, -1) : parts[2].slice(5);
    if (!existsSync(join(dir, name))) gdxFail(`Couldn't load file: ${name}`);
    pages.push(name);
  }
  return pages;
}

// The characters and pairs, each line's values by position.
function libgdxGlyphs(lines, next) {
  const glyphs = new Map();
  for (let line; (line = lines[next()]) !== undefined && !line.startsWith('kernings ');) {
    if (!line.startsWith('char ')) continue;
    const t = line.split(/[ =]+/).filter(Boolean);
    const id = javaInt(t[2]);
    if (id > 0xffff) continue;
    const height = javaInt(t[10]);
    const g = { id, x: javaInt(t[4]), y: javaInt(t[6]), width: javaInt(t[8]), height, xoffset: javaInt(t[12]),
                yoffset: -(height + javaInt(t[14])), xadvance: javaInt(t[16]), page: 0, kerning: new Map() };
    if (t.length > 18 && /^[+-]?\d+$/.test(t[18])) g.page = Number(t[18]);
    if (id > 0) glyphs.set(id, g);
  }
  for (let line; (line = lines[next()]) !== undefined && line.startsWith('kerning ');) {
    const t = line.split(/[ =]+/).filter(Boolean);
    const [first, second] = [javaInt(t[2]), javaInt(t[4])];
    if (first < 0 || first > 0xffff || second < 0 || second > 0xffff) continue;
    const amount = javaInt(t[6]);
    glyphs.get(first)?.kerning.set(second, ((amount + 128) & 0xff) - 128);
  }
  return glyphs;
}

// The program draws a set that names a field through DistanceFieldFont: one distance, from alpha
// (the coverage), the range its own.
function libgdxField(lines) {
  const line = lines.find((l) => l.startsWith('distanceField '));
  return line ? { type: 'sdf', range: Number(line.match(/\bdistanceRange=(\S+)/)?.[1]) } : null;
}

function readLibgdx(path) {
  const lines = readFileSync(path, 'utf8').split(/\r\n|\r|\n/);
  let at = 0;
  const next = () => at++;
  const padding = libgdxPadding(lines[next()]);
  const pages = libgdxPages(lines, next, dirname(path));
  const glyphs = libgdxGlyphs(lines, next);
  if (![...glyphs.values()].some((g) => g.width > 0 && g.height > 0)) gdxFail('No glyphs found.');
  const space = glyphs.get(32) ?? { id: 32, x: 0, y: 0, width: 0, height: 0, yoffset: 0, page: 0, kerning: new Map(),
                                     xadvance: (glyphs.get(0x6c) ?? [...glyphs.values()].find((g) => g.width * g.height > 0)).xadvance };
  if (space.width === 0) Object.assign(space, { width: padding.left + space.xadvance + padding.right, xoffset: -padding.left });
  glyphs.set(32, space);
  const line = [];
  let [pen, before] = [0, null];
  for (const ch of SAMPLE) {
    const g = glyphs.get(ch.codePointAt(0));
    if (!g) continue;
    if (g.page >= pages.length) gdxFail('IndexOutOfBoundsException', `Seite ${g.page}`);
    // The first glyph starts the line (tight bounds move it left by its offset and the padding).
    pen = before ? pen + before.xadvance + (before.kerning.get(g.id) ?? 0) : -g.xoffset - padding.left;
    const top = -(g.yoffset + g.height); // back from libGDX's upward y
    line.push({ id: g.id, page: g.page, frame: [g.x, g.y, g.width, g.height], quad: [pen + g.xoffset, top, g.width, g.height] });
    before = g;
  }
  return { line, field: libgdxField(lines), coverage: CHANNELS[3] };
}

export const ruleEngines = {
  'Godot 4': { forms: ['text', 'binary'], read: readGodot4 },
  libGDX: { forms: ['text'], read: readLibgdx },
};
