// The exports without a browser: the volts CSV, the sigrok session's files, and what
// cannot be exported (../exports.test.mjs saves both through the page for sigrok-cli).
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { VIEWER_DIR, captureFile, loadExpected, singleChannelCsv } from '../support/capture.mjs';
import { loadViewer } from '../support/modules.mjs';

const V = loadViewer();
const expected = loadExpected();
const csvLines = captureFile('op_scope.csv').split('\n');
const firstData = csvLines.indexOf('Waveform Data,') + 1;   // index of sample 0's line
const dual = V.parseScriptText(captureFile('gbookFtemp.js'), 'gbookFtemp.js');
const single = V.parseCsv(singleChannelCsv(), 'op_scope2.csv');
const csvWith = (edit) => V.parseCsv(csvLines.map((l) => edit(l) ?? l).join('\n'), 'op_scope.csv');

// The CSV's header and its rows as fields, each a plain number with a '.' or "NaN".
function readCsv(text) {
  assert.ok(text.endsWith('\n') && !text.endsWith('\n\n'), 'one line end after the last row, nothing more');
  const [header, ...rows] = text.slice(0, -1).split('\n');
  for (const row of rows) assert.match(row, /^-?[\d.]+(e-?\d+)?(,(-?[\d.]+(e-?\d+)?|NaN))+$/);
  return { header, rows: rows.map((r) => r.split(',').map(Number)) };
}

describe('the volts CSV', () => {
  test('a row per sample: the time from sample 0 in seconds, each channel in volts, as counts / 25 x scale', () => {
    const { header, rows } = readCsv(V.voltsCsv(dual));
    assert.equal(header, 'time_s,CH1_V,CH2_V');
    assert.equal(rows.length, 4000);
    const { ch1, ch2 } = expected.settings;
    rows.forEach(([t, v1, v2], i) => {
      assert.ok(Math.abs(t - i * expected.interval) <= 1e-6 * i * expected.interval, `row ${i}: t = ${t}`);
      for (const [v, s, scale, ch] of [[v1, expected.samples1[i], ch1.scale, 0], [v2, expected.samples2[i], ch2.scale, 1]]) {
        assert.ok(Math.abs(v - (s / 25) * scale) <= 1e-12, `row ${i}: ${v} V for ${s} counts at ${scale} V/div`);
        // the text reads back as the very number the Measure panel works from
        assert.equal(v, V.volts(dual.channels[ch], s), `row ${i}`);
      }
    });
  });

  test('a damaged file: a missing sample is NaN, and the rows end with the last sample', () => {
    const lines = csvLines.slice(0, firstData + 3000);
    lines[firstData + 1234] = 'garbled';
    const { rows } = readCsv(V.voltsCsv(V.parseCsv(lines.join('\n'), 'op_scope.csv')));
    assert.equal(rows.length, 3000);
    assert.deepEqual(rows[1234].slice(1), [NaN, NaN]);
  });
});

describe('the sigrok session', () => {
  const floats = (bytes) => Array.from({ length: bytes.length / 4 },
    (_, i) => new DataView(bytes.buffer, bytes.byteOffset).getFloat32(4 * i, true));
  const text = (bytes) => new TextDecoder().decode(bytes);

  test('version 2, the metadata sigrok-cli writes, each channel\'s volts as little-endian 32-bit floats', () => {
    for (const [capture, rate, names] of [[dual, '400 kHz', ['CH1', 'CH2']], [single, '400 kHz', ['CH2']]]) {
      const files = V.sessionFiles(capture);
      const data = names.map((_, k) => `analog-1-${k + 1}-1`);
      assert.deepEqual(Object.keys(files), ['version', 'metadata', ...data]);
      assert.equal(text(files.version), '2');
      assert.equal(text(files.metadata), `[global]\nsigrok version=0.5.2\n\n[device 1]\nsamplerate=${rate}\n` +
        `total analog=${names.length}\n${names.map((n, k) => `analog${k + 1}=${n}\n`).join('')}`);
      capture.channels.forEach((ch, k) => {
        assert.deepEqual(floats(files[data[k]]), ch.samples.map((s) => Math.fround(V.volts(ch, s))), `${names[k]} samples`);
      });
    }
  });

  test('rates in whole hertz, written as sigrok writes them', () => {
    assert.deepEqual([2.5e-6, 3e-6, 4e-4, 1 / 999, 5e-8].map((interval) => V.rateText(V.samplerate({ interval }))),
      ['400 kHz', '333.333 kHz', '2.5 kHz', '999 Hz', '20 MHz']);
  });
});

test('what cannot be exported is not, and says why', () => {
  const noSamples = V.parseCsv([...csvLines.slice(0, firstData), '='.repeat(27)].join('\n'), 'x.csv');
  const cases = [
    [null, 'No capture is open.'],
    [noSamples, 'The capture holds no samples to export.'],
    [csvWith((l) => (l.startsWith('Vertical Scale,') ? 'Vertical Scale,abc,' : undefined)),
      'CH1 has no usable vertical scale, so no volts to export.'],
    [csvWith((l) => (l.startsWith('Sampling Period,') ? 'Sampling Period,-1,' : undefined)),
      'The sample interval is unknown, so there are no times to export.'],
  ];
  for (const [capture, why] of cases) assert.deepEqual([V.exportBlocker(capture), V.sessionBlocker(capture)], [why, why]);

  // volts and times, but no whole hertz for the session; and no ZIP writer
  const slow = csvWith((l) => (l.startsWith('Sampling Period,') ? 'Sampling Period,3.000E+00,' : undefined));
  assert.deepEqual([V.exportBlocker(slow), V.sessionBlocker(slow)],
    ['', 'The sample interval is over 2 s: a sigrok session holds whole hertz.']);
  const { fflate } = globalThis;
  delete globalThis.fflate;
  const withoutZip = V.sessionBlocker(dual);
  globalThis.fflate = fflate;
  assert.equal(withoutZip, 'fflate.js, which writes the session\'s ZIP file, did not load beside the page.');
  assert.deepEqual([V.exportBlocker(dual), V.sessionBlocker(dual)], ['', '']);
});

test('fflate.js and fflate.LICENSE beside the page are the files of the fflate package viewer/package.json pins', () => {
  const installed = path.join(VIEWER_DIR, 'node_modules', 'fflate');
  assert.ok(fs.existsSync(installed), `no ${installed}: run tests/viewer/setup.sh (npm ci in viewer/)`);
  const pinned = JSON.parse(fs.readFileSync(path.join(VIEWER_DIR, 'package.json'), 'utf8')).dependencies.fflate;
  assert.equal(JSON.parse(fs.readFileSync(path.join(installed, 'package.json'), 'utf8')).version, pinned);
  for (const [ours, theirs] of [['fflate.js', 'umd/index.js'], ['fflate.LICENSE', 'LICENSE']]) {
    assert.ok(fs.readFileSync(path.join(VIEWER_DIR, ours)).equals(fs.readFileSync(path.join(installed, theirs))),
      `viewer/${ours} is not fflate ${pinned}'s ${theirs}: copy it from ${installed}`);
  }
});
