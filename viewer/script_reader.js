// "./gbookFtemp.js": nine display variables, then one gbF call per sample pair.
// The page reads it two ways: run as a script beside the page (the page defines
// gbF and page.js collects the calls, then scriptRun() here makes the capture),
// or read as text line by line (file button or drop), never run.
(function (V) {
  'use strict';

  function storePair(capture, index, s1, s2, where) {
    var ch1 = capture.channels[0], ch2 = capture.channels[1];
    if (!(index >= 0 && index < capture.memoryLength)) {
      capture.extraPairs = (capture.extraPairs || 0) + 1;
      return;
    }
    if (ch1.samples[index] !== null || ch2.samples[index] !== null) capture.duplicates = (capture.duplicates || 0) + 1;
    var a = Number(s1), b = Number(s2);
    if (Number.isInteger(a) && Number.isInteger(b)) {
      ch1.samples[index] = a;
      ch2.samples[index] = b;
    } else {
      V.noteDamaged(capture, where, String(s1) + ',' + String(s2), 'the samples are not whole numbers');
    }
  }

  // the sample number a gbF call carries; one counted along where it has none
  function pairIndex(number, fallback) {
    var t = String(number);
    return /^\d+$/.test(t) ? parseInt(t, 10) : fallback;
  }

  V.newScriptCapture = function (source) {
    var capture = V.newCapture(source);
    capture.kind = 'script';
    capture.calls = 0;
    capture.channels = [V.newChannel(1, capture.memoryLength), V.newChannel(2, capture.memoryLength)];
    return capture;
  };

  // One gbF(name, user, date, ip, s1, s2, z1, z2, number) call of a running script.
  V.scriptCall = function (capture, s1, s2, number) {
    var index = pairIndex(number, capture.calls);
    capture.calls++;
    storePair(capture, index, s1, s2, 'gbF call ' + capture.calls);
  };

  function extraScriptProblems(capture) {
    if (capture.extraPairs) {
      capture.problems.push(capture.extraPairs + ' sample pairs carry numbers beyond ' +
                            (capture.memoryLength - 1) + ' and are left out.');
    }
    if (capture.duplicates) {
      capture.problems.push(capture.duplicates + ' sample numbers appear more than once; the last one is shown.');
    }
  }

  // The capture once the script has run: `global(name)` gives a variable it set
  // (a number, a text or undefined), `error` the first error it stopped at ('' for none).
  V.scriptRun = function (capture, global, error) {
    var number = function (name) {
      var v = global(name);
      if (typeof v === 'number') return v;
      if (typeof v === 'string') return V.parseNumber(v);
      return NaN;
    };
    var label = capture.source, ch1 = capture.channels[0], ch2 = capture.channels[1];
    ch1.scale = number('Vertical1Scale');
    ch1.position = number('Vertical1Position');
    ch2.scale = number('Vertical2Scale');
    ch2.position = number('Vertical2Position');
    if (typeof global('Vertical1Units') === 'string') ch1.units = global('Vertical1Units');
    if (typeof global('Vertical2Units') === 'string') ch2.units = global('Vertical2Units');
    capture.interval = number('timeInterval');

    error = error.replace(/\.$/, '');
    // a page opened from disk gets only "Script error." for a file beside it
    var detail = /^Script error/.test(error) ? 'the browser gives no details' : error;
    if (capture.calls === 0) {
      // with no sample there is nothing to check further: one message says it all
      capture.problems.push(error
        ? label + ' could not be run (' + detail + '). The file is damaged, perhaps cut in the middle ' +
          'of a line. Open it with the file button above to see its intact lines, or open op_scope.csv ' +
          'from the same capture.'
        : label + ' ran but called gbF for no sample: it is not a capture, or it is empty.');
      capture.channels = [];
      return capture;
    }
    if (error) {
      capture.problems.push(label + ' stopped at an error after ' + capture.calls + ' sample pairs (' + detail + ').');
    }
    extraScriptProblems(capture);
    return V.finish(capture);
  };

  var SCRIPT_VAR = /^(?:var\s+)?(Vertical[12](?:Units|Scale|Position)|displayOffset[12]|timeInterval)\s*=\s*(.*?);?\s*$/;
  var GBF_LINE = /^gbF\(\s*'[^']*'\s*,\s*'[^']*'\s*,\s*'[^']*'\s*,\s*'[^']*'\s*,\s*([+-]?\d+)\s*,\s*([+-]?\d+)\s*,[^,]*,[^,]*,\s*'(\d+)'\s*\);\s*$/;

  V.parseScriptText = function (text, label) {
    var capture = V.newScriptCapture(label);
    var lines = text.split(/\r\n|\n|\r/);
    if (lines.length && lines[lines.length - 1] === '') lines.pop();
    var ch1 = capture.channels[0], ch2 = capture.channels[1];
    var seenVar = {};
    lines.forEach(function (line, k) {
      var lineNo = k + 1, m;
      if ((m = GBF_LINE.exec(line))) {
        storePair(capture, pairIndex(m[3], capture.calls), m[1], m[2], lineNo);
        capture.calls++;
        return;
      }
      if ((m = SCRIPT_VAR.exec(line))) {
        var name = m[1], value = m[2];
        seenVar[name] = true;
        if (/Units$/.test(name)) {
          var u = /^'([^']*)'$/.exec(value);
          if (u) (name.charAt(8) === '1' ? ch1 : ch2).units = u[1];
          else V.noteDamaged(capture, lineNo, line, 'the units are not a quoted text');
          return;
        }
        if (/^displayOffset/.test(name)) return;   // placement comes from Position and Scale
        var v = V.parseNumber(value);
        if (isNaN(v)) V.noteDamaged(capture, lineNo, line, 'the value is not a number');
        if (name === 'timeInterval') capture.interval = v;
        else if (name === 'Vertical1Scale') ch1.scale = v;
        else if (name === 'Vertical1Position') ch1.position = v;
        else if (name === 'Vertical2Scale') ch2.scale = v;
        else if (name === 'Vertical2Position') ch2.position = v;
        return;
      }
      if (line.trim() === '') return;
      V.noteDamaged(capture, lineNo, line, /^gbF\(/.test(line) ? 'not a complete gbF call' : 'not a line of a capture script');
    });
    if (capture.calls === 0 && !Object.keys(seenVar).length) {
      capture.problems.push(label + ' holds no line of a capture script.');
    }
    extraScriptProblems(capture);
    return V.finish(capture);
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
