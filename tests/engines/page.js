// Runs in headless Chromium, beside one engine's own script: loads a set with the engine's BMFont
// loader, sets the sample line with its bitmap text object, and reads back each drawn glyph's quad
// (x, y, width, height on screen), texture rectangle and page, and the field the engine took the
// pages for.
/* global PIXI, Phaser */

function box(xs, ys) {
  const [x, y] = [Math.min(...xs), Math.min(...ys)];
  return [x, y, Math.max(...xs) - x, Math.max(...ys) - y].map(Math.round);
}

let renderer = null;

async function pixi8(url, sample) {
  renderer ??= await PIXI.autoDetectRenderer({ preference: 'canvas', width: 1024, height: 64 });
  const font = await PIXI.Assets.load(url);
  try {
    const text = new PIXI.BitmapText({ text: sample, style: { fontFamily: font.fontFamily, fontSize: font.fontMetrics.fontSize } });
    renderer.render(text);
    const drawn = text._gpuData[renderer.uid].context.instructions.filter((i) => i.action === 'texture');
    const line = drawn.map(({ data: d }) => {
      const t = d.transform;
      const f = d.image.frame;
      return {
        page: font.pages.findIndex((p) => p.texture.source === d.image.source),
        frame: [f.x, f.y, f.width, f.height],
        quad: box([t.a * d.dx + t.tx, t.a * (d.dx + d.dw) + t.tx], [t.d * d.dy + t.ty, t.d * (d.dy + d.dh) + t.ty]),
      };
    });
    const f = font.distanceField;
    return { line, field: f.type === 'none' ? null : { type: f.type, range: f.range } };
  } finally {
    await PIXI.Assets.unload(url);
  }
}

async function pixi7(url, sample) {
  const font = await PIXI.Assets.load(url);
  try {
    const text = new PIXI.BitmapText(sample, { fontName: font.font, fontSize: font.size });
    text.updateText();
    const pages = Object.entries(font.pageTextures);
    const line = [];
    for (const mesh of text._activePagesMeshData) {
      const base = mesh.mesh.texture.baseTexture;
      const page = Number(pages.find(([, tex]) => tex.baseTexture === base)?.[0] ?? -1);
      for (let i = 0; i < mesh.total; i++) {
        const v = mesh.vertices.subarray(8 * i, 8 * i + 8);
        const uv = mesh.uvs.subarray(8 * i, 8 * i + 8);
        line.push({
          page,
          quad: box([v[0], v[2], v[4], v[6]], [v[1], v[3], v[5], v[7]]),
          frame: box([0, 2, 4, 6].map((k) => uv[k] * base.width), [1, 3, 5, 7].map((k) => uv[k] * base.height)),
        });
      }
    }
    const type = font.distanceFieldType;
    return { line, field: type === 'none' ? null : { type, range: font.distanceFieldRange } };
  } finally {
    await PIXI.Assets.unload(url);
  }
}

// Phaser's loader takes one texture for a font, so the first page is the one it gets.
function phaser(url, sample, pages) {
  return new Promise((resolve, reject) => {
    const game = new Phaser.Game({
      type: Phaser.CANVAS, width: 1024, height: 64, banner: false, audio: { noAudio: true },
      scene: {
        preload() {
          this.load.on('loaderror', (file) => reject(new Error(`Phaser lädt ${file.src} nicht`)));
          this.load.bitmapFont('font', pages[0], url);
        },
        create() {
          try {
            const text = this.add.bitmapText(0, 0, 'font', sample);
            const line = text.getTextBounds().characters.map((c) => ({
              id: c.code,
              page: 0,
              frame: [c.glyph.x, c.glyph.y, c.glyph.width, c.glyph.height],
              quad: [c.x, c.y, c.w, c.h].map(Math.round),
            }));
            resolve({ line, field: null });
          } catch (e) {
            reject(e);
          } finally {
            game.destroy(true);
          }
        },
      },
    });
  });
}

window.readSet = async (engine, url, sample, pages) => {
  try {
    return await { pixi8, pixi7, phaser }[engine](url, sample, pages);
  } catch (e) {
    return { error: String(e?.message ?? e) };
  }
};
