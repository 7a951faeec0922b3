// Save CSV and Save .sr through the page, read back by the tools engineers already
// use: sigrok-cli (Debian's, which setup.sh installs) opens the session and gives
// the volts CSV's numbers, and the volts CSV's extremes are the Measure panel's.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { assertShown, dropFile, openPage, saveButtons, useBrowser } from './support/browser.mjs';
import { ARTEFACTS, captureFile, singleChannelCsv } from './support/capture.mjs';

useBrowser();

function sigrok(...args) {
  const run = spawnSync('sigrok-cli', args, { encoding: 'utf8', timeout: 60000 });
  assert.equal(run.status, 0, `sigrok-cli ${args.join(' ')}: ${run.error?.message ?? run.stderr} (setup.sh installs it)`);
  return run.stdout;
}

// Clicks a Save button: the name the page gives the download, and the file saved.
async function save(page, button) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  const file = path.join(ARTEFACTS, 'downloads', download.suggestedFilename());
  await download.saveAs(file);
  return { name: download.suggestedFilename(), file };
}

// The volts CSV's columns after the time, as numbers.
function voltsColumns(file, channels) {
  const [header, ...rows] = fs.readFileSync(file, 'utf8').trimEnd().split('\n');
  assert.equal(header, ['time_s', ...channels.map((c) => `${c}_V`)].join(','));
  return channels.map((_, k) => rows.map((r) => Number(r.split(',')[k + 1])));
}

// What sigrok-cli -O csv gives for each channel: its comments name the channels,
// then a line of their units heads the rows (before it, sigrok-cli 0.7.2 lists
// the first of two channels once more, as "CH1: 400.00 mV DC").
function sigrokColumns(file, channels) {
  const lines = sigrok('-i', file, '-O', 'csv').trimEnd().split('\n');
  const n = channels.length;
  assert.ok(lines.includes(`; Channels (${n}/${n}): ${channels.join(', ')}`), lines.slice(0, 4).join('\n'));
  const start = lines.indexOf(channels.map(() => 'V DC').join(','));
  assert.ok(start > 0, `no line of units from sigrok-cli:\n${lines.slice(0, 8).join('\n')}`);
  return channels.map((_, k) => lines.slice(start + 1).map((r) => Number(r.split(',')[k])));
}

async function measured(page, channel, quantity) {
  return Number(await page.getAttribute(`tr[data-channel="${channel.slice(2)}"] td[data-quantity="${quantity}"]`, 'data-value'));
}

describe('the capture saved in volts and as a sigrok session', () => {
  const captures = [
    ['the dual-channel capture beside the page', 'gbookFtemp', ['CH1', 'CH2'], 400000,
      () => openPage('exports-script', { 'gbookFtemp.js': captureFile('gbookFtemp.js') })],
    // a sampling period of 3 us: 333333 Hz, which sigrok writes as "333.333 kHz"
    ['a single-channel op_scope2.csv', 'op_scope2', ['CH2'], 333333,
      () => dropFile('exports-single', 'op_scope2.csv', singleChannelCsv(3e-6))],
  ];
  for (const [what, base, channels, rate, open] of captures) {
    test(`${what}: sigrok-cli reads the session with the volts CSV's numbers, whose extremes are Vmax and Vmin`, async () => {
      const { page, ...shown } = await open();
      assertShown(shown, 'ready');
      assert.deepEqual(await saveButtons(page), { png: true, why: null,
        csv: { enabled: true, title: `Save the samples in volts and seconds as ${base}-volts.csv` },
        sr: { enabled: true, title: `Save the capture as a sigrok session, ${base}.sr, for PulseView` } });
      const csv = await save(page, '#save-csv'), sr = await save(page, '#save-sr');
      assert.deepEqual([csv.name, sr.name], [`${base}-volts.csv`, `${base}.sr`]);

      assert.equal(sigrok('-i', sr.file, '--show'), `Samplerate: ${rate}\nChannels: ${channels.length}\n` +
        `${channels.map((c) => `- ${c}: analog\n`).join('')}Analog sample count: 4000\n`);
      const volts = voltsColumns(csv.file, channels), fromSigrok = sigrokColumns(sr.file, channels);
      for (const [k, channel] of channels.entries()) {
        assert.equal(volts[k].length, 4000, channel);
        assert.equal(fromSigrok[k].length, 4000, channel);
        // sigrok holds 32-bit floats and prints 6 digits
        const off = volts[k].findIndex((v, i) => !(Math.abs(fromSigrok[k][i] - v) <= 1e-5 * Math.abs(v) + 1e-9));
        assert.equal(off, -1, `${channel} sample ${off}: sigrok-cli ${fromSigrok[k][off]}, the CSV ${volts[k][off]}`);
        assert.equal(Math.max(...volts[k]), await measured(page, channel, 'vmax'), `${channel} Vmax`);
        assert.equal(Math.min(...volts[k]), await measured(page, channel, 'vmin'), `${channel} Vmin`);
      }
    });
  }
});
