// Where the capture under test lives, what the bench was told to send, and how a
// test lays out a folder with the page beside a capture file.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const REPO = path.resolve(here, '../../..');
export const VIEWER_DIR = path.join(REPO, 'viewer');
// ctest passes the build's folder for these tests; by hand the default build/ is used
export const OUT = path.resolve(process.env.VIEWER_OUT || path.join(REPO, 'build', 'viewer-tests'));
export const CAPTURE_DIR = path.join(OUT, 'capture');
export const ARTEFACTS = path.join(OUT, 'screenshots');
export const PAGES = path.join(OUT, 'pages');

// The instrument's settings for the capture: the two channels get different
// scales and positions of opposite sign, so a swapped channel, a swapped scale or
// a position applied the wrong way round lands a trace somewhere else.
export const SETTINGS = {
  ch1: { scale: 2.0, position: 2.0, probeCode: 1, probe: '10X' },    // 0 V one division above the centre
  ch2: { scale: 0.5, position: -1.0, probeCode: 2, probe: '100X' },  // 0 V two divisions below it
  timeBase: 1.0e-3,
  triggerLevel: 1.5,
};
export const WAVE1 = 'sine:40:400';      // 10 cycles, peaks 40 counts = 1.6 div
export const WAVE2 = 'square:20:1000:30'; // 4 cycles, +-20 counts, high for 30 % of each
// Two more channels from the bench for the measurements: a ramp over the
// converter's whole range (its limits, 15.6 cycles) and a flat line.
export const FULL_RANGE = 'ramp:128:256';
export const FLAT = 'zero';

// The *LRN? reply, in the form and order of the instrument's own settings line.
export function settingsLine() {
  const e = (v) => v.toExponential(3).replace(/e([+-])(\d)$/, 'e$10$2');
  const E = (v) => e(v).toUpperCase();
  const channel = (n, { position, probeCode, scale }) => [`:CHANnel${n}:DISPlay 1`, 'BWLimit 0', 'COUPling 0',
    'INVert 0', `OFFSet ${e(position)}`, `PROBe ${probeCode}`, `SCALe ${e(scale)}`];
  return [
    ':DISPlay:WAVeform 1', 'ACCumulate 0', 'CONTrast 20', 'GRATicule 0',
    ...channel(1, SETTINGS.ch1), ...channel(2, SETTINGS.ch2),
    ':CHANnel1:MATH 0', ':TIMebase:SWEep 0', `SCALe ${e(SETTINGS.timeBase)}`, 'DELay 0.000e+00',
    `WINDow:SCALe ${E(SETTINGS.timeBase / 10)}`, 'DELay 0.000E+00', ':ACQuire:MODe 0', 'AVERage 0',
    ':TRIGger:TYPe 0', 'SOURce 0', 'MODe 1', 'SLOP 0', 'COUPle 1', 'REJect 0', 'NREJ 0',
    `LEVel ${E(SETTINGS.triggerLevel)}`, ':RUN',
  ].join(';');
}

// What make_capture.mjs recorded: the samples and interval the bench sent.
export function loadExpected() {
  const file = path.join(CAPTURE_DIR, 'expected.json');
  if (!fs.existsSync(file)) {
    throw new Error(`no capture at ${CAPTURE_DIR}: run make_capture.mjs first (ctest runs it as the viewer_capture fixture)`);
  }
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

// op_scope2.csv as the single-channel export writes it, with channel 2 of the
// capture: its own scale and position under the plain labels, one value per line,
// numbers as " 1.500E+00".
export function singleChannelCsv(interval = loadExpected().interval) {
  const { samples2, settings: { ch2 } } = loadExpected();
  const twoDigitExponent = (t) => t.replace(/E([+-])(\d)$/, (_, sign, digit) => `E${sign}0${digit}`);
  const e = (v) => `${v < 0 ? '' : ' '}${twoDigitExponent(v.toExponential(3).toUpperCase())}`;
  return [
    'Memory Length,4000,', `Trigger Level,${e(1.5)},`, 'Source,CH2,', 'Probe,100X,', 'Vertical Units,V,',
    `Vertical Scale,${e(ch2.scale)},`, `Vertical Position,${e(ch2.position)},`, 'Horizontal Units,s,',
    `Horizontal Scale,${e(1e-3)},`, `Horizontal Position,${e(0)},`, 'Horizontal Mode,Main,',
    `Sampling Period,${e(interval)},`, 'Firmware, V1.26,', 'Time, ,', 'Mode,Fast,', 'Waveform Data,',
    ...samples2.map((s) => `${String(s).padStart(3)},`),
    '===========================',
  ].join('\n') + '\n';
}

export function captureFile(name) {
  return fs.readFileSync(path.join(CAPTURE_DIR, name), 'latin1');
}

// The files index.html loads (its scripts and stylesheet), in its order.
export function pageFiles() {
  const html = fs.readFileSync(path.join(VIEWER_DIR, 'index.html'), 'utf8');
  return [...html.matchAll(/<(?:script src|link rel="stylesheet" href)="([^"]+)"/g)].map((m) => m[1]);
}

// A fresh folder holding the page and the given files ({ name: text }); returns
// the page's file:// URL.
export function pageFolder(name, files = {}) {
  const dir = path.join(PAGES, name);
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  for (const f of ['index.html', ...pageFiles()]) {
    fs.copyFileSync(path.join(VIEWER_DIR, f), path.join(dir, f));
  }
  for (const [file, text] of Object.entries(files)) {
    fs.writeFileSync(path.join(dir, file), text, 'latin1');
  }
  return { dir, url: pathToFileURL(path.join(dir, 'index.html')).href };
}
