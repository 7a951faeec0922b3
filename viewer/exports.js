// The capture in volts and seconds for other tools: a CSV file for spreadsheets,
// pandas and numpy, and a sigrok session (.sr) for PulseView and sigrok-cli. Both
// take their volts from V.volts, as the Measure panel does, and the time of
// sample i is i sample intervals, as on the page's time axis.
(function (V) {
  'use strict';

  // Why the capture cannot be exported, or '' when it can. Nothing is exported
  // that the capture does not give: no samples, no volts, no times.
  V.exportBlocker = function (capture) {
    if (!capture) return 'No capture is open.';
    if (!capture.channels.length || !(capture.sampleCount > 0)) return 'The capture holds no samples to export.';
    var noScale = capture.channels.filter(function (ch) { return !V.hasScale(ch); });
    if (noScale.length) {
      return noScale.map(function (ch) { return 'CH' + ch.number; }).join(' and ') +
        (noScale.length > 1 ? ' have' : ' has') + ' no usable vertical scale, so no volts to export.';
    }
    if (!V.hasInterval(capture)) return 'The sample interval is unknown, so there are no times to export.';
    return '';
  };

  // Sample positions up to the last one any channel holds; a sample the file
  // lacks before it is exported as NaN.
  function rowCount(capture) {
    var n = 0;
    capture.channels.forEach(function (ch) {
      for (var i = ch.samples.length - 1; i >= n; i--) {
        if (ch.samples[i] !== null) {
          n = i + 1;
          break;
        }
      }
    });
    return n;
  }

  function channelVolts(ch, rows) {
    var out = new Array(rows);
    for (var i = 0; i < rows; i++) out[i] = ch.samples[i] === null ? NaN : V.volts(ch, ch.samples[i]);
    return out;
  }

  V.csvName = function (capture) { return V.baseName(capture) + '-volts.csv'; };
  V.sessionName = function (capture) { return V.baseName(capture) + '.sr'; };

  // "time_s,CH1_V,CH2_V", then one row per sample. String() gives the shortest
  // text that reads back as the same double, with a '.' in every locale.
  V.voltsCsv = function (capture) {
    var rows = rowCount(capture);
    var columns = capture.channels.map(function (ch) { return channelVolts(ch, rows); });
    var lines = ['time_s' + capture.channels.map(function (ch) { return ',CH' + ch.number + '_V'; }).join('')];
    for (var i = 0; i < rows; i++) {
      var line = String(i * capture.interval);
      for (var c = 0; c < columns.length; c++) line += ',' + String(columns[c][i]);
      lines.push(line);
    }
    return lines.join('\n') + '\n';
  };

  // Whole hertz, as a session holds its rate; 0 when the interval is over 2 s.
  V.samplerate = function (capture) {
    return Math.round(1 / capture.interval);
  };

  // The rate as sigrok writes it: "400 kHz", "333.333 kHz", "999 Hz".
  V.rateText = function (hz) {
    var i = 0, divisor = 1;
    while (i < 3 && Math.floor(hz / divisor) >= 1000) {
      i++;
      divisor *= 1000;
    }
    var fraction = i ? ('.' + String(hz % divisor).padStart(3 * i, '0')).replace(/\.?0+$/, '') : '';
    return Math.floor(hz / divisor) + fraction + ' ' + ['', 'k', 'M', 'G'][i] + 'Hz';
  };

  function bytes(text) {
    return new TextEncoder().encode(text);
  }

  // The files of a session as sigrok-cli writes them for analog channels: the
  // format's version, the metadata, and each channel's samples as little-endian
  // 32-bit floats in "analog-1-N-1" (N counts the channels from 1).
  V.sessionFiles = function (capture) {
    var rows = rowCount(capture);
    var files = { version: bytes('2') };
    var meta = ['[global]', 'sigrok version=0.5.2', '', '[device 1]',
      'samplerate=' + V.rateText(V.samplerate(capture)), 'total analog=' + capture.channels.length];
    capture.channels.forEach(function (ch, k) {
      meta.push('analog' + (k + 1) + '=CH' + ch.number);
    });
    files.metadata = bytes(meta.join('\n') + '\n');
    capture.channels.forEach(function (ch, k) {
      var volts = channelVolts(ch, rows), data = new DataView(new ArrayBuffer(4 * rows));
      for (var i = 0; i < rows; i++) data.setFloat32(4 * i, volts[i], true);
      files['analog-1-' + (k + 1) + '-1'] = new Uint8Array(data.buffer);
    });
    return files;
  };

  // Why the capture cannot be saved as a session, or ''.
  V.sessionBlocker = function (capture) {
    var why = V.exportBlocker(capture);
    if (why) return why;
    if (!(V.samplerate(capture) >= 1)) return 'The sample interval is over 2 s: a sigrok session holds whole hertz.';
    if (!globalThis.fflate) return 'fflate.js, which writes the session\'s ZIP file, did not load beside the page.';
    return '';
  };

  // The session as one ZIP file (fflate.js, loaded beside the page, writes it).
  V.sessionZip = function (capture) {
    return globalThis.fflate.zipSync(V.sessionFiles(capture));
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
