// Starts Debian's Chromium headless through playwright-core, with a fresh profile
// each time, and opens the viewer page in it. setup.sh installs both.
import { after, afterEach, before, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { ARTEFACTS, pageFiles, pageFolder } from './capture.mjs';

let context, testPages = [];
// uncaught errors in the viewer's own scripts since the last test ended
const viewerErrors = [];
const viewerScripts = pageFiles().filter((f) => f.endsWith('.js'));

// One Chromium for the test file. The pages a test opens are closed after it, even
// when it fails; a page opened in a before() hook stays for the tests of its group.
// A test fails on an uncaught error in the viewer's script during it (or during the
// before() of its group).
export function useBrowser() {
  before(async () => {
    // in a fresh temporary profile ('') that playwright-core removes on close, which
    // also adds the switches for a quiet, sandbox-free headless run
    context = await chromium.launchPersistentContext('', {
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
      headless: true,
      args: ['--disable-gpu'],
      viewport: { width: 1280, height: 800 },
      deviceScaleFactor: 1,
      timeout: 60000,
    });
    fs.mkdirSync(ARTEFACTS, { recursive: true });
  });
  beforeEach(() => { testPages = []; });
  afterEach(async () => {
    await Promise.all(testPages.map((p) => p.close()));
    assert.deepEqual(viewerErrors.splice(0), [], 'uncaught errors in the viewer\'s scripts');
  });
  after(async () => { await context?.close(); });
}

// Opens a page and waits until the viewer has finished loading: { page, state, message }.
// With `serve`, every request to the URL's origin goes to that playwright route handler.
export async function openViewer(url, serve) {
  const page = await context.newPage();
  testPages.push(page);
  page.on('pageerror', (err) => {
    if (viewerScripts.some((f) => (err.stack || '').includes(`/${f}:`))) viewerErrors.push(err.message);
  });
  if (serve) await page.route(`${new URL(url).origin}/**`, serve);
  await page.goto(url);
  return { page, ...(await shown(page)) };
}

// The page in a fresh folder beside the given files ({ name: text }).
export function openPage(name, files = {}, query = '') {
  return openViewer(pageFolder(name, files).url + query);
}

// The state the page settled in and the message it shows (null for none).
async function shown(page) {
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', null, { timeout: 20000 });
  const state = await page.evaluate(() => document.body.dataset.state);
  return { state, message: (await page.locator('#message').isVisible()) ? await text(page, '#message') : null };
}

async function emptyPage(name) {
  const { page, state, message } = await openPage(name);
  assert.equal(state, 'empty', `the page with no capture beside it: ${message}`);
  return page;
}

// The page with no capture beside it and a file dropped on it, as a user would.
export async function dropFile(pageName, name, content) {
  const page = await emptyPage(pageName);
  const dataTransfer = await page.evaluateHandle(([n, c]) => {
    const dt = new DataTransfer();
    dt.items.add(new File([c], n));
    return dt;
  }, [name, content]);
  await page.dispatchEvent('body', 'drop', { dataTransfer });
  return { page, ...(await shown(page)) };
}

// The page with no capture beside it and a file chosen with its file button
// (a path, or { name, mimeType, buffer }).
export async function chooseFile(pageName, file) {
  const page = await emptyPage(pageName);
  await page.setInputFiles('#file-input', file);
  return { page, ...(await shown(page)) };
}

// The state the page settled in, and a message that matches each pattern (with no
// pattern: no message at all).
export function assertShown({ state, message }, wantState, ...patterns) {
  assert.equal(state, wantState, `the page is ${state}, saying: ${message}`);
  if (!patterns.length) assert.equal(message, null);
  for (const p of patterns) assert.match(message, p);
}

// Screenshot of the screen canvas, kept under the artefact folder: its pixels, and
// the colours the legend gives channels 1 and 2 as [r, g, b].
export async function screen(page, name) {
  // on a fractional position the element screenshot would be a pixel off the canvas
  const box = await page.locator('#screen').boundingBox();
  if (![box.x, box.y, box.width, box.height].every(Number.isInteger)) {
    throw new Error(`the screen canvas is not on whole pixels: ${JSON.stringify(box)}`);
  }
  const img = readPng(await page.locator('#screen').screenshot({ path: path.join(ARTEFACTS, `${name}.png`) }));
  const [c1, c2] = await page.evaluate(() => [1, 2].map((k) => {
    const probe = document.body.appendChild(document.createElement('span'));
    probe.className = `swatch ch${k}`;
    const css = getComputedStyle(probe).backgroundColor;
    probe.remove();
    const m = /rgba?\((\d+),\s*(\d+),\s*(\d+)/.exec(css);
    if (!m) throw new Error(`unexpected swatch colour ${css}`);
    return m.slice(1).map(Number);
  }));
  return { img, c1, c2 };
}

// Whole-page screenshot, for a person to look at what a damaged file shows.
export async function pageShot(page, name) {
  await page.screenshot({ path: path.join(ARTEFACTS, `${name}-page.png`) });
}

// Moves the pointer to (x, y) of the screen canvas; the readout's lines then.
export async function readoutAt(page, x, y) {
  const box = await page.locator('#screen').boundingBox();
  await page.mouse.move(box.x + x, box.y + y);
  return (await text(page, '#readout')).split('\n').map((l) => l.trim());
}

// A PNG file's size and the [r, g, b] of any pixel.
export function readPng(file) {
  const { width, height, data } = PNG.sync.read(file);
  const at = (x, y) => {
    const o = 4 * (y * width + x);
    return [data[o], data[o + 1], data[o + 2]];
  };
  return { width, height, at };
}

// Whether Save PNG is enabled; the Save CSV and Save .sr buttons, each { enabled,
// title }; and the reason the page gives beside them (null for none).
export async function saveButtons(page) {
  return page.evaluate(() => {
    const button = (id) => ({ enabled: !document.getElementById(id).disabled, title: document.getElementById(id).title });
    const why = document.getElementById('export-why');
    return { png: button('save-png').enabled, csv: button('save-csv'), sr: button('save-sr'), why: why.hidden ? null : why.textContent };
  });
}

export async function text(page, selector) {
  return (await page.locator(selector).innerText()).trim();
}
