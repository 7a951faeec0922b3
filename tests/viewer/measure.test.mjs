// The Measure panel and "Save PNG" in the page: the panel shows what the viewer's
// measurements give (unit/measure.test.mjs checks those against the bench's samples),
// the picture is the screen with the legend and values below it.
import { before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { chooseFile, openPage, pageShot, readPng, screen, text, useBrowser } from './support/browser.mjs';
import { captureFile, loadExpected } from './support/capture.mjs';
import { loadViewer, measuredCells } from './support/modules.mjs';

const V = loadViewer();
const expected = loadExpected();
useBrowser();

// The page's Measure table, as measuredCells() gives the viewer's own.
async function panel(page) {
  return page.evaluate(() => Object.fromEntries([...document.querySelectorAll('#measurements tr')].map((tr) => [
    tr.dataset.channel,
    Object.fromEntries([...tr.querySelectorAll('td')].map((td) => [td.dataset.quantity,
      { value: td.dataset.value === '' ? null : Number(td.dataset.value), text: td.querySelector('.v').textContent, why: td.title }])),
  ])));
}

describe('the capture from scopecap: a sine and a square', () => {
  let page;

  before(async () => {
    ({ page } = await openPage('measure-script', { 'gbookFtemp.js': captureFile('gbookFtemp.js') }));
    await pageShot(page, 'measure');
  });

  test('each cell holds the measured value, shows its text, and says why where it shows "-"', async () => {
    const want = measuredCells(V.parseScriptText(captureFile('gbookFtemp.js'), 'gbookFtemp.js'));
    assert.deepEqual(Object.keys(want), ['1', '2']);
    assert.equal(want['2'].rise.text, '-');
    assert.deepEqual(await panel(page), want);
  });

  test('"Save PNG" downloads the screen, pixel for pixel, with the legend and measurements below it', async () => {
    const { img } = await screen(page, 'measure-screen');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-png')]);
    assert.equal(download.suggestedFilename(), 'gbookFtemp.png');
    const png = readPng(fs.readFileSync(await download.path()));
    assert.equal(png.width, img.width);
    assert.ok(png.height > img.height + 200, `only ${png.height} rows: no room for the legend and values`);
    // the page rounds the screen's corners; the picture keeps them square
    for (let y = 6; y < img.height - 6; y += 3) {
      for (let x = 0; x < img.width; x += 3) {
        assert.deepEqual(png.at(x, y), img.at(x, y), `the picture differs from the screen at (${x}, ${y})`);
      }
    }
    let ink = 0;   // text below the screen: dark pixels on the white ground
    for (let y = img.height; y < png.height; y++) for (let x = 0; x < png.width; x++) ink += png.at(x, y)[0] < 100;
    assert.ok(ink > 2000, `${ink} dark pixels below the screen`);
  });
});

test('a CSV file whose CH1 reaches the converter\'s limits: its row is marked, the panel says so, the picture is named after the file', async () => {
  // the capture's own op_scope.csv with the full-range ramp and the flat line in place of its samples
  const lines = captureFile('op_scope.csv').split('\n');
  lines.splice(lines.indexOf('Waveform Data,') + 1, 4000, ...expected.fullRange.map((s, i) => `${s},${expected.flat[i]}`));
  const csv = lines.join('\n');
  const { page } = await chooseFile('measure-csv', { name: 'op_scope.csv', mimeType: 'text/csv', buffer: Buffer.from(csv) });
  assert.deepEqual(await panel(page), measuredCells(V.parseCsv(csv, 'op_scope.csv')));
  assert.deepEqual(await page.$$eval('#measurements tr[data-clipped]', (rows) => rows.map((r) => r.dataset.channel)), ['1']);
  assert.match(await text(page, '#measure'), /CH1 reaches the converter's limits \(-128\/127 counts or beyond\)/);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-png')]);
  assert.equal(download.suggestedFilename(), 'op_scope.png');
});
