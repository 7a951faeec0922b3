// Damaged and unusual captures: the page draws what the file still holds and
// says what is wrong, and never leaves the screen blank.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import {
  assertShown, dropFile, openPage, pageShot, readoutAt, saveButtons, screen, text, useBrowser,
} from './support/browser.mjs';
import { captureFile, loadExpected } from './support/capture.mjs';
import {
  LEFT, TOP, WIDTH, assertGraticule, assertOnScreen, assertTrace, assertTraces, columnOf, columnHasColour, rowsOfColour,
} from './support/screen.mjs';

const expected = loadExpected();
const { ch1, ch2 } = expected.settings;
const scriptLines = captureFile('gbookFtemp.js').split('\n');
const csvLines = captureFile('op_scope.csv').split('\n');
const HEADER_LINES = 9;    // the script's display variables come before the first gbF call
const firstDataLine = csvLines.indexOf('Waveform Data,') + 1;   // index of sample 0's line
useBrowser();

const upTo = (samples, n) => samples.map((s, i) => (i < n ? s : null));

// The screen, with both traces checked against the samples given (null where none).
async function assertScreen(page, name, samples1 = expected.samples1, samples2 = expected.samples2, label = '') {
  const shot = await screen(page, name);
  assertTraces(shot, expected.settings, samples1, samples2, label);
  return shot;
}

// Only the first n sample pairs drawn: both traces end at the last one the file held,
// and nothing of either lies to the right of it, on the screen or off it.
async function assertFirst(page, name, n) {
  const { img, c1, c2 } = await assertScreen(page, name, upTo(expected.samples1, n), upTo(expected.samples2, n));
  for (const [colour, channel] of [[c1, 'CH1'], [c2, 'CH2']]) {
    for (let c = columnOf(n - 1) + 1; c < WIDTH; c++) {
      assert.ok(!columnHasColour(img, LEFT + c, colour), `${channel} drawn in column ${c}, past sample ${n - 1}`);
    }
  }
}

describe('gbookFtemp.js with fewer lines', () => {
  test('2500 of the 4000 gbF lines: draws those and says the rest is missing', async () => {
    const text2500 = scriptLines.slice(0, HEADER_LINES + 2500).join('\n') + '\n';
    const opened = await openPage('script-short', { 'gbookFtemp.js': text2500 });
    assertShown(opened, 'ready', /holds 2500 of 4000 samples/);
    await assertFirst(opened.page, 'gbookFtemp-2500-lines', 2500);
    await pageShot(opened.page, 'gbookFtemp-2500-lines');
  });

  test('no gbF line at all: the graticule and a message', async () => {
    const header = scriptLines.slice(0, HEADER_LINES).join('\n') + '\n';
    const opened = await openPage('script-header-only', { 'gbookFtemp.js': header });
    assertShown(opened, 'failed', /called gbF for no sample/);
    assertGraticule((await screen(opened.page, 'gbookFtemp-header-only')).img);
  });
});

describe('gbookFtemp.js cut in the middle of a line', () => {
  // cut inside the line of sample 1700: as a script it is a syntax error as a whole
  const cut = scriptLines.slice(0, HEADER_LINES + 1700).join('\n') + '\n' + scriptLines[HEADER_LINES + 1700].slice(0, 50);

  test('run beside the page: a clear message over the empty graticule', async () => {
    const opened = await openPage('script-cut', { 'gbookFtemp.js': cut });
    assertShown(opened, 'failed', /could not be run/, /Open it with the file button/);
    assert.doesNotMatch(opened.message, /scale is missing/, 'follow-on problems bury the one that matters');
    assertGraticule((await screen(opened.page, 'gbookFtemp-cut-run')).img);
    await pageShot(opened.page, 'gbookFtemp-cut-run');
  });
});

describe('gbookFtemp.js that fails while running', () => {
  test('a call that throws at sample 3000: the 3000 before it are drawn', async () => {
    const lines = scriptLines.slice();
    lines[HEADER_LINES + 3000] = lines[HEADER_LINES + 3000].replace(/,(-?\d+),(-?\d+),0,0,/, ',undefinedName,$2,0,0,');
    const opened = await openPage('script-throws', { 'gbookFtemp.js': lines.join('\n') });
    assertShown(opened, 'ready', /stopped at an error after 3000 sample pairs/);
    await assertFirst(opened.page, 'gbookFtemp-throws', 3000);
  });
});

describe('op_scope.csv with damaged lines', () => {
  test('an unreadable scale: the trace is still drawn, unshifted, and the message says why', async () => {
    const lines = csvLines.map((l) => (l.startsWith('Vertical Scale,') ? 'Vertical Scale,abc,' : l));
    const { page, ...shown } = await dropFile('csv-bad-scale', 'op_scope.csv', lines.join('\n'));
    assertShown(shown, 'ready',
      /CH1 scale is missing or unreadable: its voltages are unknown and its trace is drawn unshifted/,
      /line \d+ "Vertical Scale,abc,": the value is not a number/);
    const { img, c1, c2 } = await screen(page, 'op_scope-bad-scale');
    assertTrace(img, expected.samples1, { scale: 1, position: 0 }, c1, 'CH1 (unshifted)', [c2]);
    assertTrace(img, expected.samples2, ch2, c2, 'CH2', [c1]);
    // the readout has no volts for a channel without a scale, but still its counts
    const readout = await readoutAt(page, LEFT + 100.5, 100);
    const i = Number(/^sample (\d+)/.exec(readout[0])[1]);
    assert.match(readout[1], new RegExp(`CH1  \\? V  \\(${expected.samples1[i]} counts\\)`));
    // the picture can be saved, but no volts
    const why = 'CH1 has no usable vertical scale, so no volts to export.';
    assert.deepEqual(await saveButtons(page), { png: true, csv: { enabled: false, title: why }, sr: { enabled: false, title: why }, why });
  });

  test('its header and no sample: nothing is drawn, read out or saved', async () => {
    const header = [...csvLines.slice(0, firstDataLine), '='.repeat(27)].join('\n') + '\n';
    const { page, ...shown } = await dropFile('csv-header-only', 'op_scope.csv', header);
    assertShown(shown, 'failed', /holds 0 of 4000 samples/);
    assert.equal(await text(page, '#status'), 'op_scope.csv: nothing to draw.');
    const { img, c1, c2 } = await screen(page, 'op_scope-header-only');
    assertGraticule(img);
    for (let x = 0; x < img.width; x++) {
      assert.ok(!columnHasColour(img, x, c1) && !columnHasColour(img, x, c2), `a channel's colour at x=${x}`);
    }
    assert.doesNotMatch((await readoutAt(page, LEFT + 300.5, TOP + 100))[0], /^sample/, 'a readout of no samples');
    const why = 'The capture holds no samples to export.';
    assert.deepEqual(await saveButtons(page), { png: false, csv: { enabled: false, title: why }, sr: { enabled: false, title: why }, why });
  });
});

describe('captures written on Windows', () => {
  // "\r\n" line ends and three-digit exponents, as the Windows C library prints them
  const windows = (lines) => lines.join('\r\n').replace(/([eE][+-])(\d\d)\b/g, '$10$2');

  test('gbookFtemp.js run beside the page', async () => {
    const js = windows(scriptLines);
    assert.match(js, /timeInterval=\d\.\d+e-0\d\d\r\n/);
    const opened = await openPage('script-windows', { 'gbookFtemp.js': js });
    assertShown(opened, 'ready');
    await assertScreen(opened.page, 'gbookFtemp-windows');
  });
});

describe('a trace beyond the screen', () => {
  test('channel 1 moved up 4 divisions: cut at the top edge, never drawn outside, and noted', async () => {
    const moved = { scale: ch1.scale, position: ch1.position + 3 * ch1.scale };
    const lines = scriptLines.map((l) => (l.startsWith('var Vertical1Position=') ? `var Vertical1Position=${moved.position}` : l));
    const { page, ...shown } = await openPage('script-offscreen', { 'gbookFtemp.js': lines.join('\n') });
    assertShown(shown, 'ready');
    assert.match(await text(page, '#legend'), /CH1: \d+ samples lie beyond the top or bottom of the screen/);
    const { img, c1, c2 } = await screen(page, 'gbookFtemp-offscreen');
    assertTrace(img, expected.samples1, moved, c1, 'CH1 (moved)', [c2]);
    assertOnScreen(img, c1, 'CH1');
    const atTop = Array.from({ length: WIDTH + 1 }, (_, c) => rowsOfColour(img, LEFT + c, c1, TOP, TOP).length > 0);
    assert.ok(atTop.includes(true), 'the cut trace does not reach the top edge');
    assert.deepEqual(rowsOfColour(img, LEFT + WIDTH + 5, c1, 0, img.height - 1), [], 'CH1 right of the screen');
  });
});
