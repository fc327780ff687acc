// globalThis.torva: the scripting interface.
//   torva.ready                      a Promise, resolved (with torva) when usable;
//                                    the module is compiled on the first look at it
//   torva.inspect(bytes, name)       {kind, width, height, depth, members}
//   torva.decode(bytes, name, mode)  {width, height, rgba, kind, depth, hasAlpha}
//   torva.png(bytes, name)           a Uint8Array: the picture as PNG, the bytes
//                                    `torva convert` writes for it
// `bytes` is a Uint8Array (an ArrayBuffer is taken too), `name` the file's
// name, which decides ALD and VSP detection. Damaged files throw an Error
// whose `status` names what was found ("truncated", "corrupt", ...); what was
// read before the damage rides along as `error.picture` or `error.members`.
// Fields that do not apply are null: width, height and depth of archives,
// members of pictures, everything but kind (null) of unknown files.
//
// Underneath, the module's C interface (torvasoft.h) and PNG writer
// (png/png_writer.h) are called directly, their structures read and written
// in the module's memory; bindings/read_bridge.cpp checks the offsets used here.
const kinds = [null, 'ald', 'alk', 'qnt', 'pms', 'vsp'];
const statusNames = ['complete', 'truncated', 'corrupt', 'outside-file', 'too-large', 'out-of-memory',
                     'not-recognised', 'invalid-argument', 'buffer-too-small', 'write-failed'];
const reasons = {
  'truncated': 'the data ends early',
  'corrupt': 'the data is damaged',
  'outside-file': 'the header points past the end of the file',
  'too-large': 'the declared size is too large to decode',
  'out-of-memory': 'not enough memory',
  'not-recognised': 'not a picture or archive that torva reads',
};

// torvasoft_request values.
const asRgba8 = 0, asStoredFull = 2, asRgba8FromStored = 3;
// Pictures whose pixels torvasoft_decode leaves in place when it stops early.
const withPixels = new Set(['complete', 'truncated', 'corrupt', 'outside-file']);
// torvasoft_pixel_format to torva_png_format: RGBA8, INDEXED4, INDEXED8,
// RGB555, BGR24 and BGRA32.
const pngFormats = [0, 6, 5, 4, 3, 2];
const memberBytes = 304;

let wasm = null;
const nameDecoder = new TextDecoder('shift_jis');
const nameEncoder = new TextEncoder();

function failure(status, name) {
  const error = new Error(name + ': ' + (reasons[status] || status));
  error.status = status;
  return error;
}

function toBytes(bytes) {
  if (bytes instanceof Uint8Array) return bytes;
  if (bytes instanceof ArrayBuffer) return new Uint8Array(bytes);
  throw new TypeError('torva: bytes must be a Uint8Array');
}

// Runs `body(bytesAddress, size, nameAddress)` with copies of the file's
// bytes and name in the module's memory, freed afterwards.
function withInput(bytes, name, body) {
  if (wasm === null) throw new Error('torva is not ready yet: await torva.ready first');
  const data = toBytes(bytes);
  const nameBytes = nameEncoder.encode(String(name));
  const dataAddress = wasm._malloc(Math.max(data.length, 1));
  const nameAddress = wasm._malloc(nameBytes.length + 1);
  try {
    if (dataAddress === 0 || nameAddress === 0) throw failure('out-of-memory', name);
    wasm.HEAPU8.set(data, dataAddress);
    wasm.HEAPU8.set(nameBytes, nameAddress);
    wasm.HEAPU8[nameAddress + nameBytes.length] = 0;
    return body(dataAddress, data.length, nameAddress);
  } finally {
    wasm._free(dataAddress);
    wasm._free(nameAddress);
  }
}

function hex(bytes) {
  let text = '';
  for (const byte of bytes) text += (byte < 16 ? '0' : '') + byte.toString(16);
  return text;
}

// Runs `body(address)` with `size` bytes of the module's memory, zero-filled
// and freed afterwards.
function withScratch(size, name, body) {
  const address = wasm._malloc(Math.max(size, 1));
  if (address === 0) throw failure('out-of-memory', name);
  try {
    wasm.HEAPU8.fill(0, address, address + size);
    return body(address);
  } finally {
    wasm._free(address);
  }
}

const u32 = (address) => wasm.HEAPU32[address >> 2];
const u64 = (address) => u32(address) + u32(address + 4) * 0x100000000;

function readMembers(address, count) {
  const members = [];
  for (let i = 0; i < count; ++i) {
    const at = address + i * memberBytes;
    const raw = wasm.HEAPU8.slice(at, at + u32(at + 256));
    members.push({name: nameDecoder.decode(raw), rawName: hex(raw), position: u64(at + 264), size: u64(at + 272),
                  row: u32(at + 296)});
  }
  return members;
}

// Files above this size are detected from their head first: enough for
// archives, which are then read through torvaReadAt instead of being copied
// into the module's memory whole.
const wholeDetectionLimit = 16 << 20;
const detectionHead = 1 << 20;

function detect(data, name) {
  return withInput(data, name, (address, size, nameAddress) => kinds[wasm._torvasoft_detect(address, size, nameAddress)] || null);
}

// Lists the archive through torvasoft_list, which reads it through
// torvaReadAt; the members array grows to the count the table declares.
function listArchive(data, name) {
  const nameBytes = nameEncoder.encode(String(name));
  return withScratch(nameBytes.length + 12, name, (nameAddress) => {
    wasm.HEAPU8.set(nameBytes, nameAddress);
    const counts = (nameAddress + nameBytes.length + 4) & ~3;  // kind and count, after the name's NUL
    wasm.torvaReadAt = (offset, address, count) => {
      const part = data.subarray(Math.min(offset, data.length), Math.min(offset + count, data.length));
      wasm.HEAPU8.set(part, address);
      return part.length;
    };
    try {
      let capacity = 256;
      for (;;) {
        const result = withScratch(capacity * memberBytes, name, (members) => {
          const status = statusNames[wasm._torvasoft_list(nameAddress, wasm._torva_script_reader(), 0, counts,
                                                          members, capacity, counts + 4)] || 'corrupt';
          const count = u32(counts + 4);
          if (count > capacity) return {retry: count};
          return {status, members: readMembers(members, count)};
        });
        if (result.retry === undefined) {
          if (result.status !== 'complete') throw Object.assign(failure(result.status, name), {members: result.members});
          return result.members;
        }
        capacity = result.retry;
      }
    } finally {
      wasm.torvaReadAt = null;
    }
  });
}

// torvasoft_inspect of a whole picture file (a torvasoft_info is 60 bytes):
// {status, width, height, depth, hasAlpha, kind}.
function pictureInfo(address, size, nameAddress, name) {
  return withScratch(60, name, (info) => {
    const status = statusNames[wasm._torvasoft_inspect(address, size, nameAddress, info)] || 'corrupt';
    return {status, kind: kinds[wasm.HEAP32[info >> 2]] || null, width: u32(info + 4), height: u32(info + 8),
            depth: u32(info + 12), hasAlpha: u32(info + 16) !== 0};
  });
}

function inspect(bytes, name) {
  if (wasm === null) throw new Error('torva is not ready yet: await torva.ready first');
  const data = toBytes(bytes);
  const large = data.length > wholeDetectionLimit;
  let kind = detect(large ? data.subarray(0, detectionHead) : data, name);
  if (large && kind !== 'ald' && kind !== 'alk') kind = detect(data, name);
  const result = {kind, width: null, height: null, depth: null, members: null};
  if (kind === 'ald' || kind === 'alk') {
    result.members = listArchive(data, name);
  } else if (kind !== null) {
    withInput(data, name, (address, size, nameAddress) => {
      const info = pictureInfo(address, size, nameAddress, name);
      if (info.status !== 'complete') throw failure(info.status, name);
      [result.width, result.height, result.depth] = [info.width, info.height, info.depth];
    });
  }
  return result;
}

// Decodes with a torvasoft_request and hands `use(layout, pixels, palette,
// status)` the layout and the addresses of the pixels and palette, which are
// freed afterwards. Throws where nothing was decoded.
function decodeWith(address, size, nameAddress, name, request, use) {
  return withScratch(24, name, (layoutAddress) => {
    const header = statusNames[wasm._torvasoft_decoded_layout(address, size, nameAddress, request, layoutAddress)]
      || 'corrupt';
    if (header !== 'complete' && header !== 'truncated' && header !== 'outside-file') throw failure(header, name);
    const layout = {format: u32(layoutAddress), width: u32(layoutAddress + 4), height: u32(layoutAddress + 8),
                    stride: u32(layoutAddress + 12), size: u32(layoutAddress + 16),
                    paletteEntries: u32(layoutAddress + 20)};
    return withScratch(layout.size, name, (pixels) => withScratch(layout.paletteEntries * 4, name, (palette) => {
      const status = statusNames[wasm._torvasoft_decode(address, size, nameAddress, request, pixels, layout.size,
                                                        palette, 0)] || 'corrupt';
      if (!withPixels.has(status)) throw failure(status, name);
      return use(layout, pixels, palette, status);
    }));
  });
}

// `mode` as the plug-in takes it: negative gives 16-bit PMS pictures in full
// colour (with their alpha), otherwise in 5-5-5 colour.
function decode(bytes, name, mode = 0) {
  return withInput(bytes, name, (address, size, nameAddress) => {
    const info = pictureInfo(address, size, nameAddress, name);
    const request = Number(mode) < 0 ? asRgba8 : asRgba8FromStored;
    const {status, picture} = decodeWith(address, size, nameAddress, name, request, (layout, pixels, _, status) => ({
      status,
      picture: {width: info.width, height: info.height, rgba: new Uint8ClampedArray(wasm.HEAPU8.subarray(pixels, pixels + layout.size)),
                kind: info.kind, depth: info.depth, hasAlpha: info.hasAlpha},
    }));
    if (status !== 'complete') throw Object.assign(failure(status, name), {picture});
    return picture;
  });
}

// The picture's own pixels (16-bit PMS in full colour) through the PNG
// writer at its default level, as torva convert writes them.
function png(bytes, name) {
  return withInput(bytes, name, (address, size, nameAddress) => decodeWith(address, size, nameAddress, name,
    asStoredFull, (layout, pixels, palette, status) => {
      if (status !== 'complete') throw failure(status, name);
      // torva_png_image, then the file's address and size.
      return withScratch(28 + 8, name, (image) => {
        wasm.HEAPU32.set([layout.width, layout.height, pngFormats[layout.format], pixels, layout.stride, palette,
                          layout.paletteEntries], image >> 2);
        const written = wasm._torva_png_write_memory(image, 0, image + 28, image + 32);
        if (written !== 0) throw failure(written === 6 ? 'out-of-memory' : 'png-refused', name);
        const file = u32(image + 28);
        try {
          return wasm.HEAPU8.slice(file, file + u32(image + 32));
        } finally {
          wasm._torva_png_free(file);
        }
      });
    }));
}

// The module is compiled on first use of `ready`, so that a page that only
// hands this code to its worker does not compile it twice.
let readyPromise = null;
const torva = {
  inspect,
  decode,
  png,
  get ready() {
    if (readyPromise === null) {
      readyPromise = createTorvaModule().then((module) => {
        wasm = module;
        return torva;
      });
    }
    return readyPromise;
  },
};
// The code of this file, for starting it again inside a worker.
Object.defineProperty(torva, 'librarySource', {value: () => '(' + torvaLibrary.toString() + ')(self);\n'});
scope.torva = torva;
})(typeof globalThis !== 'undefined' ? globalThis : self);
