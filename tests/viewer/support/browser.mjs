// Starts Debian's Chromium headless through playwright-core, with a fresh profile
// each time, and opens the viewer page in it.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { decodePng } from './png.mjs';
import { ARTEFACTS } from './capture.mjs';

const FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync',
];

export async function startBrowser() {
  const executable = process.env.CHROMIUM || '/usr/bin/chromium';
  if (!fs.existsSync(executable)) {
    throw new Error(`Chromium is missing (${executable}): run tests/viewer/setup.sh, which installs Debian's chromium`);
  }
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch (e) {
    throw new Error(`playwright-core is missing (${e.message}): run tests/viewer/setup.sh, which runs npm ci`);
  }
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'viewer-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: executable,
    headless: true,
    args: FLAGS,
    viewport: { width: 1280, height: 800 },
    deviceScaleFactor: 1,
    timeout: 60000,
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens a page and waits until the viewer has finished loading. Uncaught errors
// in the viewer's own script are collected: a test asserts there are none.
export async function openViewer(browser, url) {
  const page = await browser.context.newPage();
  const viewerErrors = [];
  page.on('pageerror', (err) => {
    if (/viewer\.js/.test(err.stack || '')) viewerErrors.push(err.message);
  });
  await page.goto(url);
  await settled(page);
  return { page, viewerErrors };
}

// Drops a file on the page as a user would; returns the message then shown ('' for none).
export async function dropFile(page, name, content) {
  const dataTransfer = await page.evaluateHandle(([n, c]) => {
    const dt = new DataTransfer();
    dt.items.add(new File([c], n));
    return dt;
  }, [name, content]);
  await page.dispatchEvent('body', 'drop', { dataTransfer });
  await settled(page);
  return (await page.locator('#message').isVisible()) ? text(page, '#message') : '';
}

export async function settled(page) {
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', null, { timeout: 20000 });
  return page.evaluate(() => document.body.dataset.state);
}

// Screenshot of the screen canvas, kept under the artefact folder, and its pixels.
export async function screenPixels(page, name) {
  fs.mkdirSync(ARTEFACTS, { recursive: true });
  const file = path.join(ARTEFACTS, `${name}.png`);
  // on a fractional position the element screenshot would be a pixel off the canvas
  const box = await page.locator('#screen').boundingBox();
  if (![box.x, box.y, box.width, box.height].every(Number.isInteger)) {
    throw new Error(`the screen canvas is not on whole pixels: ${JSON.stringify(box)}`);
  }
  const png = await page.locator('#screen').screenshot({ path: file });
  return decodePng(png);
}

// Whole-page screenshot, for a person to look at what a damaged file shows.
export async function pageShot(page, name) {
  fs.mkdirSync(ARTEFACTS, { recursive: true });
  await page.screenshot({ path: path.join(ARTEFACTS, `${name}-page.png`) });
}

// The colour the legend gives a channel, as [r, g, b].
export async function legendColour(page, n) {
  const css = await page.evaluate((k) => {
    const probe = document.createElement('span');
    probe.className = `swatch ch${k}`;
    document.body.appendChild(probe);
    const c = getComputedStyle(probe).backgroundColor;
    probe.remove();
    return c;
  }, n);
  const m = /rgba?\((\d+),\s*(\d+),\s*(\d+)/.exec(css);
  if (!m) throw new Error(`unexpected swatch colour ${css}`);
  return [Number(m[1]), Number(m[2]), Number(m[3])];
}

export async function text(page, selector) {
  return (await page.locator(selector).innerText()).trim();
}
