// The engines that run in a browser: pixi.js 8, pixi.js 7 and Phaser 3, each on a page of its own
// in Debian's headless Chromium, served from loopback with the sets beside the engines' scripts.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { basename, dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const scripts = {
  pixi8: 'node_modules/pixi8/dist/pixi.min.js',
  pixi7: 'node_modules/pixi7/dist/pixi.min.js',
  phaser: 'node_modules/phaser/dist/phaser.min.js',
};
const types = { '.js': 'text/javascript', '.png': 'image/png', '.html': 'text/html' };

function serve(setsDir) {
  const server = createServer(async (req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const [, engine] = path.match(/^\/(\w+)\.html$/) ?? [];
    try {
      const body = engine ? `<script src="/${scripts[engine]}"></script><script src="/page.js"></script>`
        : await readFile(path.startsWith('/sets/') ? join(setsDir, basename(path)) : join(here, path));
      res.writeHead(200, { 'content-type': types[path.slice(path.lastIndexOf('.'))] ?? 'text/plain' });
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

export const browserEngines = {
  'pixi.js 8': { page: 'pixi8', forms: ['text', 'xml'] },
  'pixi.js 7': { page: 'pixi7', forms: ['text', 'xml'] },
  'Phaser 3': { page: 'phaser', forms: ['xml'] },
};

// Reads each job ({engine, set}) in its engine's page; calls back with what the engine read.
export async function readInBrowser(chromiumPath, setsDir, sample, jobs, report) {
  const server = await serve(setsDir);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  try {
    for (const [name, { page: engine }] of Object.entries(browserEngines)) {
      const page = await browser.newPage();
      await page.goto(`${origin}/${engine}.html`);
      for (const job of jobs.filter((j) => j.engine === name)) {
        const url = `/sets/${basename(job.set.descriptor)}`;
        const pages = job.ref.pages.map((p) => `/sets/${p}`);
        report(job, await page.evaluate(([e, u, s, p]) => window.readSet(e, u, s, p), [engine, url, sample, pages]));
      }
      await page.close();
    }
  } finally {
    await browser.close();
    server.close();
  }
}
