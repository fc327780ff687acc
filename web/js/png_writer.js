// PNG encoding of RGBA pixels, exact (no premultiplied round trip through a
// canvas): RGB when every pixel is opaque, RGBA otherwise; each row filtered
// with Sub; the stream deflated by fflate.
const pngCrcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function pngCrc(bytes, start, end) {
  let c = 0xffffffff;
  for (let i = start; i < end; ++i) c = pngCrcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function encodePng(width, height, rgba) {
  let opaque = true;
  for (let i = 3; i < rgba.length; i += 4) {
    if (rgba[i] !== 255) {
      opaque = false;
      break;
    }
  }
  const channels = opaque ? 3 : 4;
  const rowLength = width * channels + 1;
  const raw = new Uint8Array(rowLength * height);
  for (let y = 0; y < height; ++y) {
    const row = y * rowLength;
    raw[row] = 1;  // Sub: each byte less the same channel of the pixel to its left
    let from = y * width * 4;
    for (let x = 0; x < width; ++x, from += 4) {
      const to = row + 1 + x * channels;
      for (let c = 0; c < channels; ++c) {
        raw[to + c] = x === 0 ? rgba[from + c] : rgba[from + c] - rgba[from + c - 4];
      }
    }
  }
  const stream = fflate.zlibSync(raw, {level: 6});

  const header = new Uint8Array(13);
  const view = new DataView(header.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  header.set([8, opaque ? 2 : 6, 0, 0, 0], 8);
  const chunks = [['IHDR', header], ['IDAT', stream], ['IEND', new Uint8Array(0)]];
  const total = 8 + chunks.reduce((sum, [, data]) => sum + 12 + data.length, 0);
  const png = new Uint8Array(total);
  const out = new DataView(png.buffer);
  png.set([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  let at = 8;
  for (const [type, data] of chunks) {
    out.setUint32(at, data.length);
    for (let i = 0; i < 4; ++i) png[at + 4 + i] = type.charCodeAt(i);
    png.set(data, at + 8);
    out.setUint32(at + 8 + data.length, pngCrc(png, at + 4, at + 8 + data.length));
    at += 12 + data.length;
  }
  return png;
}
