// Decodes the PNG files Chromium writes for screenshots (8-bit RGB or RGBA, not
// interlaced), so a test can read the colour at any point.
import zlib from 'node:zlib';

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

export function decodePng(buf) {
  if (!buf.subarray(0, 8).equals(SIGNATURE)) throw new Error('not a PNG file');
  let pos = 8, width = 0, height = 0, colourType = -1;
  const idat = [];
  while (pos < buf.length) {
    const length = buf.readUInt32BE(pos);
    const type = buf.toString('latin1', pos + 4, pos + 8);
    const data = buf.subarray(pos + 8, pos + 8 + length);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      const depth = data[8];
      colourType = data[9];
      if (depth !== 8 || (colourType !== 2 && colourType !== 6) || data[12] !== 0) {
        throw new Error(`unsupported PNG: depth ${depth}, colour type ${colourType}, interlace ${data[12]}`);
      }
    } else if (type === 'IDAT') {
      idat.push(data);
    } else if (type === 'IEND') {
      break;
    }
    pos += 12 + length;
  }
  // the lines are unfiltered in place, each behind its filter byte
  const channels = colourType === 6 ? 4 : 3;
  const line = width * channels + 1;
  const raw = zlib.inflateSync(Buffer.concat(idat));
  if (raw.length !== height * line) throw new Error('PNG data has the wrong length');
  for (let y = 0, o = 1; y < height; y++, o += line) {
    const filter = raw[o - 1];
    if (filter > 4) throw new Error(`bad PNG filter ${filter}`);
    for (let i = 0; i < line - 1; i++) {
      const a = i >= channels ? raw[o + i - channels] : 0;
      const b = y > 0 ? raw[o + i - line] : 0;
      const c = i >= channels && y > 0 ? raw[o + i - line - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      raw[o + i] = (raw[o + i] + [0, a, b, (a + b) >> 1, paeth][filter]) & 0xff;
    }
  }
  return {
    width,
    height,
    // [r, g, b] at a pixel
    at(x, y) {
      const o = y * line + 1 + x * channels;
      return [raw[o], raw[o + 1], raw[o + 2]];
    },
  };
}
