// The viewer opened beside "./gbookFtemp.js" (or pointed at one with ?js=), on a
// capture made by scopecap from the virtual oscilloscope.
import { before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { assertShown, openPage, openViewer, readoutAt, screen, text, useBrowser } from './support/browser.mjs';
import { CAPTURE_DIR, VIEWER_DIR, captureFile, loadExpected } from './support/capture.mjs';
import {
  LEFT, TOP, WIDTH, assertExtremes, assertGraticule, assertOnScreen, assertTraces, columnOf, columnHasColour,
  parseSI, rowFor, rowsOfColour,
} from './support/screen.mjs';

const expected = loadExpected();
const { ch1, ch2 } = expected.settings;
useBrowser();

describe('gbookFtemp.js beside the page', () => {
  let opened, page, img, c1, c2;

  before(async () => {
    opened = await openPage('script-beside', { 'gbookFtemp.js': captureFile('gbookFtemp.js') });
    page = opened.page;
    ({ img, c1, c2 } = await screen(page, 'gbookFtemp'));
  });

  test('loads every sample pair and reports no problem', async () => {
    assertShown(opened, 'ready');
    assert.match(await text(page, '#status'), /4000 of 4000 sample pairs/);
  });

  test('the two channels have distinct colours', () => {
    assert.notDeepEqual(c1, c2);
  });

  test('channel 1 peaks and troughs sit at the rows their counts map to', () => {
    assertExtremes(img, expected.samples1, ch1, c1, 'CH1');
  });

  test('channel 2 high and low levels sit at the rows their counts map to', () => {
    assertExtremes(img, expected.samples2, ch2, c2, 'CH2');
  });

  test('each trace follows its samples in every column of the screen', () => {
    assertTraces({ img, c1, c2 }, expected.settings, expected.samples1, expected.samples2);
  });

  test('the square wave\'s steps are drawn as unbroken vertical lines between its two levels', () => {
    const s = expected.samples2;
    let steps = 0;
    for (let k = 1; k < s.length; k++) {
      if (s[k] === s[k - 1]) continue;
      steps++;
      const x = LEFT + columnOf(k);
      const [a, b] = [rowFor(s[k - 1], ch2), rowFor(s[k], ch2)].sort((p, q) => p - q);
      const rows = new Set(rowsOfColour(img, x, c2));
      for (let y = Math.ceil(a) + 1; y <= Math.floor(b) - 1; y++) {
        assert.ok(rows.has(y), `step at sample ${k}: gap at row ${y} of column ${x}`);
      }
    }
    assert.ok(steps >= 3, `only ${steps} steps in channel 2`);
  });

  test('the ground markers sit at each channel\'s 0 V row in the left margin', () => {
    for (const [setting, colour, name] of [[ch1, c1, 'CH1'], [ch2, c2, 'CH2']]) {
      const r = rowFor(0, setting);
      const rows = rowsOfColour(img, 10, colour, 0, img.height - 1);
      assert.ok(rows.length > 0 && rows.every((y) => Math.abs(y - r) <= 8), `${name} marker rows ${rows}, 0 V at ${r}`);
    }
  });

  test('nothing of either trace is drawn outside the screen', () => {
    assertOnScreen(img, c1, 'CH1');
    assertOnScreen(img, c2, 'CH2');
  });

  test('the legend gives volts per division, positions, seconds per division and the count mapping', async () => {
    const legend = await text(page, '#legend');
    assert.match(legend, /CH1\s+2 V\/div, position 2 V/);
    assert.match(legend, /CH2\s+500 mV\/div, position -1 V/);
    // 4000 samples of (time base / 400) over 10 divisions
    const perDiv = (4000 * expected.interval) / 10;
    const shown = parseSI(/Time\s+(\S+ \S*s)\/div/.exec(legend)[1]);
    assert.ok(Math.abs(shown - perDiv) / perDiv < 1e-3, `legend says ${shown} s/div, expected ${perDiv}`);
    assert.match(legend, /25 counts\/div/);
  });

  test('the cursor readout shows the time and both voltages of the sample under the pointer', async () => {
    for (const column of [3, 150, 299, 451, 599]) {
      const lines = await readoutAt(page, LEFT + column + 0.5, TOP + 100);
      const head = /^sample (\d+)\s+t = (.+)$/.exec(lines[0]);
      assert.ok(head, `readout "${lines[0]}"`);
      const i = Number(head[1]);
      assert.equal(columnOf(i), column, `sample ${i} is not in column ${column}`);
      const t = parseSI(head[2]);
      assert.ok(Math.abs(t - i * expected.interval) <= 1e-3 * i * expected.interval + 1e-15, `t = ${t} at sample ${i}`);
      for (const [n, samples, setting] of [[1, expected.samples1, ch1], [2, expected.samples2, ch2]]) {
        const m = new RegExp(`^CH${n}\\s+(\\S+ \\S*V)\\s+\\((-?\\d+) counts\\)$`).exec(lines[n]);
        assert.ok(m, `readout line "${lines[n]}"`);
        assert.equal(Number(m[2]), samples[i]);
        const volts = (samples[i] / 25) * setting.scale;
        assert.ok(Math.abs(parseSI(m[1]) - volts) <= Math.abs(volts) * 1e-3 + 1e-9, `CH${n} ${m[1]} at sample ${i}, expected ${volts} V`);
      }
    }
    assert.doesNotMatch((await readoutAt(page, 5, 5))[0], /^sample/, 'readout kept outside the screen');
  });
});

describe('?js= pointing at a capture elsewhere', () => {
  test('the page in viewer/ draws the capture named in the query', async () => {
    const js = path.join(CAPTURE_DIR, 'gbookFtemp.js');
    const opened = await openViewer(`${pathToFileURL(path.join(VIEWER_DIR, 'index.html')).href}?js=${encodeURIComponent(js)}`);
    assertShown(opened, 'ready');
    assertTraces(await screen(opened.page, 'gbookFtemp-query'), expected.settings, expected.samples1, expected.samples2);
  });
});

describe('no capture beside the page', () => {
  test('shows the empty graticule and says how to open a capture', async () => {
    const opened = await openPage('script-none');
    assertShown(opened, 'empty', /No \.\/gbookFtemp\.js next to this page/);
    const { img, c1, c2 } = await screen(opened.page, 'no-capture');
    assertGraticule(img);
    for (let x = LEFT; x < LEFT + WIDTH; x += 7) {
      assert.ok(!columnHasColour(img, x, c1) && !columnHasColour(img, x, c2), `trace colour at x=${x}`);
    }
  });
});
