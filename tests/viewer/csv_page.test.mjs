// The viewer reading "./op_scope.csv" chosen with the file button, dropped on the
// page, or named with ?csv=; and a single-channel file.
import { before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  assertShown, chooseFile, dropFile, openPage, openViewer, readoutAt, screen, text, useBrowser,
} from './support/browser.mjs';
import { CAPTURE_DIR, captureFile, loadExpected, pageFolder, singleChannelCsv } from './support/capture.mjs';
import { LEFT, WIDTH, assertExtremes, assertGraticule, assertTrace, assertTraces, columnHasColour } from './support/screen.mjs';

const expected = loadExpected();
const { ch1, ch2 } = expected.settings;
useBrowser();

async function assertBothTraces(page, name) {
  const shot = await screen(page, name);
  assertExtremes(shot.img, expected.samples1, ch1, shot.c1, 'CH1');
  assertTraces(shot, expected.settings, expected.samples1, expected.samples2);
}

describe('op_scope.csv through the file button', () => {
  let opened;
  before(async () => { opened = await chooseFile('csv-input', path.join(CAPTURE_DIR, 'op_scope.csv')); });

  test('reads all 4000 sample pairs with no problem', async () => {
    assertShown(opened, 'ready');
    assert.match(await text(opened.page, '#status'), /^op_scope\.csv: 4000 of 4000 sample pairs$/);
  });

  test('both traces sit where their samples, scales and positions put them', async () => {
    await assertBothTraces(opened.page, 'op_scope-csv');
  });

  test('the cursor readout reads the CSV samples', async () => {
    const lines = await readoutAt(opened.page, LEFT + 420.5, 200);
    const i = Number(/^sample (\d+)/.exec(lines[0])[1]);
    assert.match(lines[1], new RegExp(`^CH1 .*\\(${expected.samples1[i]} counts\\)$`));
    assert.match(lines[2], new RegExp(`^CH2 .*\\(${expected.samples2[i]} counts\\)$`));
  });
});

describe('op_scope.csv dropped on the page', () => {
  test('draws both traces', async () => {
    const opened = await dropFile('csv-drop', 'op_scope.csv', captureFile('op_scope.csv'));
    assertShown(opened, 'ready');
    await assertBothTraces(opened.page, 'op_scope-drop');
  });
});

describe('?csv=', () => {
  test('served over http, the page loads the named CSV', async () => {
    const { dir } = pageFolder('csv-http', { 'op_scope.csv': captureFile('op_scope.csv') });
    // the folder's files answer for a made-up host, with the type their names give
    const opened = await openViewer('http://viewer.test/index.html?csv=op_scope.csv', (route) => {
      const file = path.join(dir, path.basename(new URL(route.request().url()).pathname));
      return fs.existsSync(file) ? route.fulfill({ path: file }) : route.fulfill({ status: 404 });
    });
    assertShown(opened, 'ready');
    await assertBothTraces(opened.page, 'op_scope-http');
  });

  test('opened from disk, where the browser refuses, the page says so and offers the file button', async () => {
    const files = { 'op_scope.csv': captureFile('op_scope.csv') };
    const opened = await openPage('csv-file-query', files, '?csv=op_scope.csv');
    assertShown(opened, 'empty', /does not let a page opened from disk read other files.*button/s);
    assertGraticule((await screen(opened.page, 'op_scope-query-refused')).img);
  });
});

describe('a single-channel file', () => {
  test('op_scope2.csv is drawn as channel 2 alone', async () => {
    const { page, ...shown } = await dropFile('csv-single', 'op_scope2.csv', singleChannelCsv());
    assertShown(shown, 'ready');
    assert.match(await text(page, '#status'), /4000 of 4000 samples of CH2/);
    const { img, c1, c2 } = await screen(page, 'op_scope2-single');
    assertTrace(img, expected.samples2, ch2, c2, 'CH2');
    for (let x = LEFT; x < LEFT + WIDTH; x++) assert.ok(!columnHasColour(img, x, c1), `CH1 colour at x=${x}`);
    assert.match(await text(page, '#legend'), /CH2\s+500 mV\/div, position -1 V, probe 100X/);
    assert.doesNotMatch(await text(page, '#legend'), /CH1/);
    assert.deepEqual(await page.$$eval('#measurements tr', (rows) => rows.map((r) => r.dataset.channel)), ['2']);
  });
});
