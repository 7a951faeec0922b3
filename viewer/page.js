// The page's start: finds its elements, opens the capture the address names (or
// ./gbookFtemp.js beside the page), and wires the file button, drops, the pointer
// readout and the Save buttons. The last of the viewer's scripts.
(function (V) {
  'use strict';

  var byId = function (id) { return document.getElementById(id); };
  var canvas = byId('screen'), cursorLine = byId('cursor'), readout = byId('readout');
  var statusLine = byId('status'), messageBox = byId('message'), legend = byId('legend');
  var fileInput = byId('file-input'), dropVeil = byId('drop-veil');
  var measure = { panel: byId('measure'), table: byId('measurements'), notes: byId('measure-notes') };
  var savePng = byId('save-png'), saveCsv = byId('save-csv'), saveSr = byId('save-sr'), exportWhy = byId('export-why');

  var shown = null;              // the capture on screen
  var READOUT_HINT = readout.textContent;

  function setStatus(state, text) {
    document.body.setAttribute('data-state', state);
    statusLine.textContent = text;
  }

  // The Save CSV and Save .sr buttons: enabled for a capture they can export,
  // otherwise disabled with the reason in their title and beside them.
  function setExports(capture) {
    var csvWhy = V.exportBlocker(capture), srWhy = V.sessionBlocker(capture);
    saveCsv.disabled = !!csvWhy;
    saveCsv.title = csvWhy || 'Save the samples in volts and seconds as ' + V.csvName(capture);
    saveSr.disabled = !!srWhy;
    saveSr.title = srWhy || 'Save the capture as a sigrok session, ' + V.sessionName(capture) + ', for PulseView';
    exportWhy.textContent = csvWhy || srWhy;
    exportWhy.hidden = !exportWhy.textContent;
  }

  function show(capture) {
    // a capture without a sample has nothing to draw, mark, read out or save
    var drawn = capture.channels.length > 0 && capture.sampleCount > 0;
    shown = drawn ? capture : null;
    V.draw(canvas, shown);
    savePng.disabled = !drawn;
    setExports(capture);
    setStatus(drawn ? 'ready' : 'failed', V.statusText(capture));
    if (drawn) {
      V.buildLegend(legend, capture);
      V.buildMeasurements(measure, V.measure(capture));
    } else {
      legend.textContent = '';
      V.buildMeasurements(measure, []);
      if (!capture.problems.length) capture.problems.push('No samples could be read from ' + capture.source + '.');
    }
    V.showProblems(messageBox, capture.problems, drawn ? 'Shown as far as the file allows:' : 'Nothing could be drawn:');
    clearReadout();
  }

  function showNothing(status, hint) {
    shown = null;
    V.draw(canvas, null);
    legend.textContent = '';
    V.buildMeasurements(measure, []);
    savePng.disabled = true;
    setExports(null);
    setStatus('empty', status);
    V.showProblems(messageBox, [hint], status);
    clearReadout();
  }

  // ---- cursor readout ----

  function clearReadout() {
    readout.textContent = READOUT_HINT;
    cursorLine.hidden = true;
  }

  canvas.addEventListener('pointermove', function (e) {
    if (!shown) return;
    var at = V.sampleAt(canvas, e.clientX, shown.memoryLength);
    if (at.index < 0) {
      clearReadout();
      return;
    }
    readout.textContent = V.readoutText(shown, at.index);
    cursorLine.style.left = at.left + 'px';
    cursorLine.hidden = false;
  });
  canvas.addEventListener('pointerleave', clearReadout);

  // ---- saving ----

  function download(blob, name) {
    var a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(function () { URL.revokeObjectURL(a.href); }, 10000);
  }

  savePng.addEventListener('click', function () {
    if (!shown) return;
    var name = V.pictureName(shown);
    V.picture(shown, V.measure(shown)).toBlob(function (blob) { download(blob, name); }, 'image/png');
  });
  saveCsv.addEventListener('click', function () {
    if (shown && !V.exportBlocker(shown)) download(new Blob([V.voltsCsv(shown)], { type: 'text/csv' }), V.csvName(shown));
  });
  saveSr.addEventListener('click', function () {
    if (shown && !V.sessionBlocker(shown)) {
      download(new Blob([V.sessionZip(shown)], { type: 'application/zip' }), V.sessionName(shown));
    }
  });

  // ---- "./gbookFtemp.js" run as a script: the page defines gbF, the file calls it ----

  var running = null, runErrors = [];

  window.gbF = function (name, user, date, ip, s1, s2, z1, z2, number) {
    if (running) V.scriptCall(running, s1, s2, number);
  };

  // a build whose printf wrote inf or nan still leaves a runnable script
  window.inf = Infinity;
  window.nan = NaN;

  window.addEventListener('error', function (e) {
    // a damaged capture script stops here; the count of gbF calls so far tells how far it got
    if (running) runErrors.push(e.message + (e.lineno ? ' (line ' + e.lineno + ')' : ''));
  });

  function loadScript(url, label) {
    var capture = V.newScriptCapture(label);
    var el = document.createElement('script');
    el.src = url;
    running = capture;
    runErrors = [];
    setStatus('loading', 'Loading ' + label + '…');
    el.onload = function () {
      running = null;
      show(V.scriptRun(capture, function (name) { return window[name]; }, runErrors[0] || ''));
    };
    el.onerror = function () {
      running = null;
      if (label === './gbookFtemp.js') {
        showNothing('No ./gbookFtemp.js next to this page.',
          'Open a capture with the button above or drop op_scope.csv or gbookFtemp.js on the page; ' +
          'or open this page as index.html?js=PATH/gbookFtemp.js.');
      } else {
        showNothing(label + ' could not be loaded.', 'Check the path, or open the file with the button above.');
      }
    };
    document.head.appendChild(el);
  }

  // ---- opening files ----

  function openFile(file) {
    if (!file) return;
    setStatus('loading', 'Reading ' + file.name + '…');
    var reader = new FileReader();
    reader.onload = function () { show(V.parseText(String(reader.result), file.name)); };
    reader.onerror = function () { showNothing(file.name + ' could not be read.', 'The browser could not read the file.'); };
    reader.readAsText(file);
  }

  fileInput.addEventListener('change', function () {
    openFile(fileInput.files[0]);
    fileInput.value = '';
  });

  var dragDepth = 0;
  document.addEventListener('dragenter', function (e) {
    e.preventDefault();
    dragDepth++;
    dropVeil.hidden = false;
  });
  document.addEventListener('dragleave', function () {
    if (--dragDepth <= 0) {
      dragDepth = 0;
      dropVeil.hidden = true;
    }
  });
  document.addEventListener('dragover', function (e) { e.preventDefault(); });
  document.addEventListener('drop', function (e) {
    e.preventDefault();
    dragDepth = 0;
    dropVeil.hidden = true;
    if (e.dataTransfer && e.dataTransfer.files.length) openFile(e.dataTransfer.files[0]);
  });

  // "C:\capture\gbookFtemp.js" or "/tmp/capture/gbookFtemp.js" as well as a URL
  function pathToUrl(path) {
    if (/^[A-Za-z]:[\\/]/.test(path)) return 'file:///' + path.replace(/\\/g, '/');
    return path;
  }

  function loadCsvUrl(path) {
    setStatus('loading', 'Loading ' + path + '…');
    fetch(pathToUrl(path)).then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.text();
    }).then(function (text) {
      show(V.parseCsv(text, path));
    }).catch(function (err) {
      var fromDisk = location.protocol === 'file:';
      showNothing(path + ' could not be loaded.', fromDisk
        ? 'The browser does not let a page opened from disk read other files (' + err.message + '). ' +
          'Open op_scope.csv with the button above or drop it on the page.'
        : 'Loading it failed: ' + err.message + '.');
    });
  }

  // a browser zoom changes the device pixel ratio: redraw at the new one
  window.addEventListener('resize', function () { V.draw(canvas, shown); });

  V.draw(canvas, null);
  var params = new URLSearchParams(location.search);
  if (params.get('csv')) loadCsvUrl(params.get('csv'));
  else if (params.get('js')) loadScript(pathToUrl(params.get('js')), params.get('js'));
  else loadScript('./gbookFtemp.js', './gbookFtemp.js');
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
