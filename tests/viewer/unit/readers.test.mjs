// The CSV and script readers, without a browser, on the capture scopecap wrote
// from the virtual oscilloscope and on damaged copies of it: what they read, and
// what they say is wrong.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { captureFile, loadExpected } from '../support/capture.mjs';
import { loadViewer } from '../support/modules.mjs';

const V = loadViewer();
const expected = loadExpected();
const { ch1, ch2 } = expected.settings;
const scriptLines = captureFile('gbookFtemp.js').split('\n');
const csvLines = captureFile('op_scope.csv').split('\n');
const HEADER_LINES = 9;    // the script's display variables come before the first gbF call
const firstDataLine = csvLines.indexOf('Waveform Data,') + 1;   // index of sample 0's line

const upTo = (samples, n) => samples.map((s, i) => (i < n ? s : null));
const without = (samples, k) => samples.map((s, i) => (i === k ? null : s));
const problems = (capture) => capture.problems.join('\n');

// Both channels hold exactly these samples (null where none).
function assertSamples(capture, samples1 = expected.samples1, samples2 = expected.samples2, name = '') {
  assert.deepEqual(capture.channels.map((ch) => ch.number), [1, 2], name);
  for (const [ch, want] of [[capture.channels[0], samples1], [capture.channels[1], samples2]]) {
    assert.equal(ch.samples.length, want.length, `${name} CH${ch.number}`);
    const at = want.findIndex((s, i) => ch.samples[i] !== s);
    assert.equal(at, -1, `${name} CH${ch.number} sample ${at}: read ${ch.samples[at]}, the file holds ${want[at]}`);
  }
}

describe('the capture as scopecap wrote it', () => {
  // "\r\n" line ends and three-digit exponents, as the Windows C library prints them
  const windows = (lines) => lines.join('\r\n').replace(/([eE][+-])(\d\d)\b/g, '$10$2');

  test('both files, with Linux or Windows line ends: every sample, the scales, positions and interval, no problem', () => {
    for (const [name, lines] of [['op_scope.csv', csvLines], ['gbookFtemp.js', scriptLines]]) {
      for (const [style, text] of [['Linux', lines.join('\n')], ['Windows', windows(lines)]]) {
        const label = `${name} (${style})`, capture = V.parseText(text, name);
        assertSamples(capture, expected.samples1, expected.samples2, label);
        assert.deepEqual([capture.problems, capture.notes], [[], []], label);
        const [one, two] = capture.channels;
        assert.deepEqual([one.scale, one.position, two.scale, two.position], [ch1.scale, ch1.position, ch2.scale, ch2.position], label);
        assert.ok(Math.abs(capture.interval - expected.interval) < 1e-4 * expected.interval, `${label}: interval ${capture.interval}`);
      }
    }
  });

  test('the CSV header in the legend: scales, positions, probes, time base, trigger, sampling period', () => {
    const legend = V.legendRows(V.parseCsv(captureFile('op_scope.csv'), 'op_scope.csv'))
      .map((r) => `${r.label} ${r.text}`).join('\n');
    assert.match(legend, /CH1\s+2 V\/div, position 2 V, probe 10X/);
    // channel 2's probe is only in the settings listing
    assert.match(legend, /CH2\s+500 mV\/div, position -1 V, probe 100X/);
    assert.match(legend, /time base 1 ms\/div, delay 0 s, Main/);
    assert.match(legend, /Trigger\s+CH1 at 1\.5 V/);
    const perDiv = (4000 * expected.interval) / 10;
    assert.match(legend, new RegExp(`Time\\s+${+(perDiv * 1e3).toPrecision(4)} ms/div`));
  });
});

describe('damaged files: read as far as they go, and the damage named', () => {
  test('gbookFtemp.js cut in the middle of a line: the 1700 intact sample pairs and the damaged line', () => {
    const cut = scriptLines.slice(0, HEADER_LINES + 1700).join('\n') + '\n' + scriptLines[HEADER_LINES + 1700].slice(0, 50);
    const capture = V.parseText(cut, 'gbookFtemp.js');
    assertSamples(capture, upTo(expected.samples1, 1700), upTo(expected.samples2, 1700));
    assert.match(problems(capture), new RegExp(`1 damaged line skipped: line ${HEADER_LINES + 1701} `));
    assert.match(problems(capture), /holds 1700 of 4000 samples/);
  });

  test('op_scope.csv with a garbled sample line: that one skipped and named, the rest read', () => {
    const lines = csvLines.slice();
    lines[firstDataLine + 1234] = ' 1x;?7';
    const capture = V.parseText(lines.join('\n'), 'op_scope.csv');
    assertSamples(capture, without(expected.samples1, 1234), without(expected.samples2, 1234));
    assert.match(problems(capture), new RegExp(`^1 damaged line skipped: line ${firstDataLine + 1235} " 1x;\\?7": not a sample pair`));
  });

  test('op_scope.csv cut short inside line 3001 of the samples: 3000 read, the cut named', () => {
    const cut = csvLines.slice(0, firstDataLine + 3000).join('\n') + '\n' + csvLines[firstDataLine + 3000].slice(0, 3);
    const capture = V.parseText(cut, 'op_scope.csv');
    assertSamples(capture, upTo(expected.samples1, 3000), upTo(expected.samples2, 3000));
    for (const p of [/ends without its closing line/, /holds 3000 of 4000 samples/, new RegExp(`line ${firstDataLine + 3001} `)]) {
      assert.match(problems(capture), p);
    }
  });

  test('a file that is no capture: no channel, one clear problem', () => {
    const capture = V.parseText('hello,world\n1,2\n', 'op_scope.csv');
    assert.deepEqual([capture.channels, capture.problems], [[], ['op_scope.csv is not a capture: it has no "Memory Length," line.']]);
  });

  test('op_scope.csv without its "Waveform Data," line: that one problem, not its follow-ons', () => {
    const capture = V.parseText(csvLines.filter((l) => l !== 'Waveform Data,').join('\n'), 'op_scope.csv');
    assert.deepEqual(capture.problems, ['op_scope.csv has no "Waveform Data," line: no samples could be read.']);
    assert.equal(capture.sampleCount, 0);
  });
});
