// globalThis.torva: the scripting interface.
//   torva.ready                      a Promise, resolved (with torva) when usable;
//                                    the module is compiled on the first look at it
//   torva.inspect(bytes, name)       {kind, width, height, depth, members}
//   torva.decode(bytes, name, mode)  {width, height, rgba, kind, depth, hasAlpha}
// `bytes` is a Uint8Array (an ArrayBuffer is taken too), `name` the file's
// name, which decides ALD and VSP detection. Damaged files throw an Error
// whose `status` names what was found ("truncated", "corrupt", ...); what was
// read before the damage rides along as `error.picture` or `error.members`.
// Fields that do not apply are null: width, height and depth of archives,
// members of pictures, everything but kind (null) of unknown files.
const kinds = [null, 'ald', 'alk', 'qnt', 'pms', 'vsp'];
const statusNames = ['complete', 'truncated', 'corrupt', 'outside-file', 'too-large', 'out-of-memory',
                     'not-recognised'];
const reasons = {
  'truncated': 'the data ends early',
  'corrupt': 'the data is damaged',
  'outside-file': 'the header points past the end of the file',
  'too-large': 'the declared size is too large to decode',
  'out-of-memory': 'not enough memory',
  'not-recognised': 'not a picture or archive that torva reads',
};

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

function readMembers(listing) {
  const count = wasm.HEAPU32[(listing >> 2) + 2];
  const out = wasm._malloc(32);
  const members = [];
  try {
    for (let i = 0; i < count && wasm._torva_listing_member(listing, i, out); ++i) {
      const fields = wasm.HEAPF64.subarray(out >> 3, (out >> 3) + 4);
      const raw = wasm.HEAPU8.slice(fields[0], fields[0] + fields[1]);
      members.push({name: nameDecoder.decode(raw), rawName: hex(raw), position: fields[2], size: fields[3]});
    }
  } finally {
    wasm._free(out);
  }
  return members;
}

// Files above this size are detected from their head first: enough for
// archives, which are then read through torvaReadAt instead of being copied
// into the module's memory whole.
const wholeDetectionLimit = 16 << 20;
const detectionHead = 1 << 20;

function detect(data, name) {
  return withInput(data, name, (address, size, nameAddress) => kinds[wasm._torva_detect_kind(address, size, nameAddress)] || null);
}

function listArchive(data, name) {
  const nameBytes = nameEncoder.encode(String(name));
  const nameAddress = wasm._malloc(nameBytes.length + 1);
  if (nameAddress === 0) throw failure('out-of-memory', name);
  wasm.HEAPU8.set(nameBytes, nameAddress);
  wasm.HEAPU8[nameAddress + nameBytes.length] = 0;
  wasm.torvaReadAt = (offset, address, count) => {
    const part = data.subarray(Math.min(offset, data.length), Math.min(offset + count, data.length));
    wasm.HEAPU8.set(part, address);
    return part.length;
  };
  const listing = wasm._torva_list_archive_read(nameAddress);
  wasm.torvaReadAt = null;
  wasm._free(nameAddress);
  if (listing === 0) throw failure('out-of-memory', name);
  try {
    const members = readMembers(listing);
    const status = statusNames[wasm.HEAP32[listing >> 2]];
    if (status !== 'complete') throw Object.assign(failure(status, name), {members});
    return members;
  } finally {
    wasm._torva_release_listing(listing);
  }
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
      const out = wasm._malloc(24);
      if (out === 0) throw failure('out-of-memory', name);
      try {
        wasm._torva_inspect_picture(address, size, nameAddress, out);
        const fields = wasm.HEAP32.subarray(out >> 2, (out >> 2) + 4);
        const status = statusNames[fields[0]];
        if (status !== 'complete') throw failure(status, name);
        [result.width, result.height, result.depth] = [fields[1], fields[2], fields[3]];
      } finally {
        wasm._free(out);
      }
    });
  }
  return result;
}

// `mode` as the plug-in takes it: negative gives 16-bit PMS pictures in full
// colour (with their alpha), otherwise in 5-5-5 colour.
function decode(bytes, name, mode = 0) {
  return withInput(bytes, name, (data, size, nameAddress) => {
    const record = wasm._torva_decode(data, size, nameAddress, Number(mode) < 0 ? 1 : 0);
    if (record === 0) throw failure('out-of-memory', name);
    try {
      const words = wasm.HEAPU32.subarray(record >> 2, (record >> 2) + 8);
      const status = statusNames[words[0]] || 'corrupt';
      const picture = {width: words[1], height: words[2], rgba: null, kind: kinds[words[5]] || null,
                       depth: words[3], hasAlpha: words[4] !== 0};
      if (words[6] !== 0) picture.rgba = new Uint8ClampedArray(wasm.HEAPU8.subarray(words[6], words[6] + words[7]));
      if (status !== 'complete') {
        throw Object.assign(failure(status, name), picture.rgba !== null ? {picture} : {});
      }
      if (picture.rgba === null) throw failure('corrupt', name);
      return picture;
    } finally {
      wasm._torva_release_picture(record);
    }
  });
}

// The module is compiled on first use of `ready`, so that a page that only
// hands this code to its worker does not compile it twice.
let readyPromise = null;
const torva = {
  inspect,
  decode,
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
