// The oscilloscope screen on a canvas: 10 x 8 divisions of 60 px with the plot's
// top-left corner at (20, 20). A channel's count 0 sits Position / Scale divisions
// above the centre line, as a positive position lifts the trace on the scope. The
// script's displayOffset1/2 say the same in fiftieths of a division, but with
// opposite signs for the two channels, and the CSV file has no such line, so both
// channels are placed from Position and Scale (V.finish works out offsetCounts).
(function (V) {
  'use strict';

  var PX_PER_DIV = 60;
  var LEFT = V.LEFT = 20, TOP = 20;
  var W = V.SCREEN_W = V.DIVS_X * PX_PER_DIV, H = V.DIVS_Y * PX_PER_DIV;
  var CANVAS_W = V.CANVAS_W = 640, CANVAS_H = V.CANVAS_H = 520;

  var COLOURS = {
    background: '#11161b',
    grid: '#3a444e',
    axis: '#6b7885',
    border: '#8c98a4'
  };

  // the page's own colour for a channel (the stylesheet's --ch1, --ch2)
  V.channelColour = function (n) {
    var v = getComputedStyle(document.documentElement).getPropertyValue('--ch' + n).trim();
    return v || (n === 1 ? '#ffdd00' : '#00c8ff');
  };

  function setupCanvas(canvas, ctx) {
    var ratio = window.devicePixelRatio || 1;
    canvas.width = Math.round(CANVAS_W * ratio);
    canvas.height = Math.round(CANVAS_H * ratio);
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  }

  function drawGraticule(ctx) {
    ctx.fillStyle = COLOURS.background;
    ctx.fillRect(0, 0, CANVAS_W, CANVAS_H);
    ctx.fillStyle = COLOURS.grid;
    for (var i = 1; i < V.DIVS_X; i++) ctx.fillRect(LEFT + i * PX_PER_DIV, TOP, 1, H + 1);
    for (var j = 1; j < V.DIVS_Y; j++) ctx.fillRect(LEFT, TOP + j * PX_PER_DIV, W + 1, 1);
    // the centre lines carry five ticks per division, as on the scope
    var cx = LEFT + W / 2, cy = TOP + H / 2, step = PX_PER_DIV / 5;
    ctx.fillStyle = COLOURS.axis;
    ctx.fillRect(cx, TOP, 1, H + 1);
    ctx.fillRect(LEFT, cy, W + 1, 1);
    for (var x = LEFT; x <= LEFT + W; x += step) ctx.fillRect(x, cy - 2, 1, 5);
    for (var y = TOP; y <= TOP + H; y += step) ctx.fillRect(cx - 2, y, 5, 1);
    ctx.fillStyle = COLOURS.border;
    ctx.fillRect(LEFT, TOP, W + 1, 1);
    ctx.fillRect(LEFT, TOP + H, W + 1, 1);
    ctx.fillRect(LEFT, TOP, 1, H + 1);
    ctx.fillRect(LEFT + W, TOP, 1, H + 1);
  }

  function rowOf(ch, count) {
    return Math.round(TOP + H / 2 - (count + ch.offsetCounts) * PX_PER_DIV / V.COUNTS_PER_DIV);
  }

  // One pixel column holds several samples: it is filled from the highest to the
  // lowest of them, joined to the last sample of the column before, so steps stay
  // connected. Rows beyond the screen are cut off.
  function drawTrace(ctx, ch, memoryLength, colour) {
    var s = ch.samples;
    ctx.fillStyle = colour;
    for (var c = 0; c < W; c++) {
      var from = Math.ceil(c * memoryLength / W), to = Math.ceil((c + 1) * memoryLength / W) - 1;
      var hi = Infinity, lo = -Infinity, any = false;
      for (var i = from; i <= to; i++) {
        if (s[i] === null || s[i] === undefined) continue;
        var r = rowOf(ch, s[i]);
        hi = Math.min(hi, r);
        lo = Math.max(lo, r);
        any = true;
      }
      if (!any) continue;
      if (from > 0 && s[from - 1] !== null && s[from - 1] !== undefined) {
        var rp = rowOf(ch, s[from - 1]);
        hi = Math.min(hi, rp);
        lo = Math.max(lo, rp);
      }
      var top = Math.max(hi, TOP), bottom = Math.min(lo, TOP + H);
      if (top <= bottom) ctx.fillRect(LEFT + c, top, 1, bottom - top + 1);
    }
  }

  // the channel's 0 V level, marked in the left margin like the scope's ground marker
  function drawMarker(ctx, ch, colour) {
    var row = rowOf(ch, 0) + 0.5;
    var y = Math.max(TOP, Math.min(TOP + H, row));
    ctx.fillStyle = colour;
    ctx.beginPath();
    if (row < TOP) {
      ctx.moveTo(4, TOP + 10); ctx.lineTo(16, TOP + 10); ctx.lineTo(10, TOP);
    } else if (row > TOP + H) {
      ctx.moveTo(4, TOP + H - 10); ctx.lineTo(16, TOP + H - 10); ctx.lineTo(10, TOP + H);
    } else {
      ctx.moveTo(3, y - 7); ctx.lineTo(3, y + 7); ctx.lineTo(17, y);
    }
    ctx.closePath();
    ctx.fill();
    ctx.fillStyle = COLOURS.background;
    ctx.font = 'bold 9px sans-serif';
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    if (row >= TOP && row <= TOP + H) ctx.fillText(String(ch.number), 8, y + 0.5);
  }

  // The graticule at the screen's device pixel ratio, and the capture on it (none: null).
  V.draw = function (canvas, capture) {
    var ctx = canvas.getContext('2d');
    setupCanvas(canvas, ctx);
    drawGraticule(ctx);
    if (!capture) return;
    capture.channels.forEach(function (ch) {
      if (V.sampleCount(ch)) drawTrace(ctx, ch, capture.memoryLength, V.channelColour(ch.number));
    });
    capture.channels.forEach(function (ch) {
      if (isFinite(ch.offsetCounts)) drawMarker(ctx, ch, V.channelColour(ch.number));
    });
  };

  // The sample under a pointer at clientX ({ index: -1 } off the plot) and the
  // cursor line's left edge in CSS pixels.
  V.sampleAt = function (canvas, clientX, memoryLength) {
    var box = canvas.getBoundingClientRect();
    var x = (clientX - box.left) * CANVAS_W / box.width - LEFT;
    if (x < 0 || x >= W) return { index: -1 };
    return { index: Math.floor(x * memoryLength / W), left: (LEFT + Math.floor(x)) * box.width / CANVAS_W };
  };
})(globalThis.ScopeViewer = globalThis.ScopeViewer || {});
