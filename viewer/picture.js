// "Save PNG": the screen, pixel for pixel as the page draws it, with the status
// line, the legend, the measurements and the notes written below it, all made from
// the capture and the measurement results (nothing is read back from the page).
(function (V) {
  'use strict';

  var LINE = 16;

  V.pictureName = function (capture) { return V.baseName(capture) + '.png'; };

  // The texts below the screen as { x, y, text, style } in CSS pixels, the notes
  // to wrap, and where the notes start.
  function layout(capture, results) {
    var ops = [], y = V.CANVAS_H + 8, left = V.LEFT;
    var text = function (x, t, style) { ops.push({ x: x, y: y, text: t, style: style || {} }); };
    text(left, V.statusText(capture), { bold: true });
    y += LINE + 4;
    V.legendRows(capture).forEach(function (r) {
      text(left, r.label, { bold: true });
      text(left + 70, r.text);
      y += LINE;
    });
    V.measureRows(results).forEach(function (row) {
      y += 6;
      text(left, 'CH' + row.channel.number, { bold: true, colour: V.channelColour(row.channel.number), swatch: true });
      y += LINE;
      row.cells.forEach(function (cell, i) {
        var col = i % 4;
        text(left + col * 150, cell.label, { dim: true });
        text(left + col * 150 + 48, cell.text);
        if (col === 3) y += LINE;
      });
    });
    return { ops: ops, notes: V.legendNotes(capture).concat(V.measureNotes(results)), y: y + 4 };
  }

  function wrap(c, t, width) {
    var words = t.split(' '), lines = [], cur = '';
    words.forEach(function (w) {
      var next = cur ? cur + ' ' + w : w;
      if (cur && c.measureText(next).width > width) {
        lines.push(cur);
        cur = w;
      } else {
        cur = next;
      }
    });
    if (cur) lines.push(cur);
    return lines;
  }

  // A new canvas: the screen drawn afresh at the page's pixel ratio, the texts below.
  V.picture = function (capture, results) {
    var screen = document.createElement('canvas');
    V.draw(screen, capture);
    var ratio = screen.width / V.CANVAS_W;
    var laid = layout(capture, results);
    var out = document.createElement('canvas');
    var c = out.getContext('2d');
    var font = function (st) { return (st.bold ? 'bold ' : '') + '12px system-ui, sans-serif'; };
    c.font = font({});
    var noteLines = [];
    laid.notes.forEach(function (t) { noteLines = noteLines.concat(wrap(c, t, V.SCREEN_W)); });
    var height = laid.y + noteLines.length * LINE + 8;
    out.width = screen.width;
    out.height = Math.round(height * ratio);
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.fillStyle = '#ffffff';
    c.fillRect(0, 0, V.CANVAS_W, height);
    c.setTransform(1, 0, 0, 1, 0, 0);
    c.drawImage(screen, 0, 0);
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.textBaseline = 'top';
    laid.ops.forEach(function (op) {
      var st = op.style, x = op.x;
      if (st.swatch) {
        c.fillStyle = st.colour;
        c.fillRect(x, op.y + 2, 22, 10);
        c.strokeStyle = '#333';
        c.strokeRect(x + 0.5, op.y + 2.5, 21, 9);
        x += 28;
      }
      c.font = font(st);
      c.fillStyle = st.dim ? '#666666' : '#1d2126';
      c.fillText(op.text, x, op.y);
    });
    c.font = font({});
    c.fillStyle = '#555555';
    noteLines.forEach(function (t, k) { c.fillText(t, V.LEFT, laid.y + k * LINE); });
    return out;
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
