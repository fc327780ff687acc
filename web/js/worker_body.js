// The viewer's worker: it keeps the files the page opened and does every
// decode, thumbnail, PNG and ZIP, so that the page's own thread never waits.
// Requests are {id, op, ...}; replies {id, ok: true, ...} or {id, ok: false,
// status, message, picture?}; long jobs also send {id, progress}.
const openFiles = new Map();

function workerFailure(status, message) {
  return Object.assign(new Error(message), {status});
}

function fileOf(request) {
  const file = openFiles.get(request.fileId);
  if (file === undefined) throw workerFailure('not-open', 'no such file');
  return file;
}

// The bytes and name of a loose picture (member -1) or of an archive member.
function pictureSource(file, member) {
  if (member < 0) return {bytes: file.bytes, name: file.name};
  const entry = file.members[member];
  if (entry === undefined) throw workerFailure('not-open', 'no such member');
  if (entry.position + entry.size > file.bytes.length) {
    throw workerFailure('outside-file', entry.name + ': the member lies past the end of the archive');
  }
  return {bytes: file.bytes.subarray(entry.position, entry.position + entry.size), name: entry.name};
}

// A box-filtered copy at most `side` pixels wide and high; colours are
// weighted by alpha so that transparent pixels do not darken the edges.
function shrink(picture, side) {
  const {width, height, rgba} = picture;
  const scale = Math.min(1, side / Math.max(width, height, 1));
  const w = Math.max(1, Math.round(width * scale));
  const h = Math.max(1, Math.round(height * scale));
  if (w === width && h === height) return picture;
  const sums = new Float64Array(w * h * 5);
  const columns = new Uint32Array(width);
  for (let x = 0; x < width; ++x) columns[x] = Math.floor((x * w) / width) * 5;
  for (let y = 0; y < height; ++y) {
    const rowBase = Math.floor((y * h) / height) * w * 5;
    let at = y * width * 4;
    for (let x = 0; x < width; ++x, at += 4) {
      const to = rowBase + columns[x];
      const alpha = rgba[at + 3];
      sums[to] += rgba[at] * alpha;
      sums[to + 1] += rgba[at + 1] * alpha;
      sums[to + 2] += rgba[at + 2] * alpha;
      sums[to + 3] += alpha;
      sums[to + 4] += 1;
    }
  }
  const out = new Uint8ClampedArray(w * h * 4);
  for (let i = 0, j = 0; i < out.length; i += 4, j += 5) {
    const alphaSum = sums[j + 3];
    if (alphaSum > 0) {
      out[i] = sums[j] / alphaSum;
      out[i + 1] = sums[j + 1] / alphaSum;
      out[i + 2] = sums[j + 2] / alphaSum;
    }
    out[i + 3] = sums[j + 4] > 0 ? alphaSum / sums[j + 4] : 0;
  }
  return {...picture, width: w, height: h, rgba: out, fullWidth: width, fullHeight: height};
}

// A member's name made into a ZIP entry name: no folders, '.png' for its
// extension, and '~2', '~3'... after a name already taken.
function entryName(name, taken) {
  const safe = name.replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_').replace(/\.[^.]*$/, '') || 'picture';
  let candidate = safe + '.png';
  for (let n = 2; taken.has(candidate.toLowerCase()); ++n) candidate = safe + '~' + n + '.png';
  taken.add(candidate.toLowerCase());
  return candidate;
}

const handlers = {
  open(request) {
    const file = {name: request.name, bytes: new Uint8Array(request.bytes), members: []};
    openFiles.set(request.fileId, file);
    let info;
    try {
      info = torva.inspect(file.bytes, file.name);
    } catch (error) {
      file.members = error.members || [];
      return {kind: null, members: error.members || null, status: error.status, message: error.message};
    }
    file.members = info.members || [];
    return info;
  },

  decode(request) {
    const source = pictureSource(fileOf(request), request.member);
    const start = performance.now();
    let picture;
    try {
      picture = torva.decode(source.bytes, source.name, request.mode);
    } catch (error) {
      if (error.picture && request.thumbnail) error.picture = shrink(error.picture, request.thumbnail);
      throw error;
    }
    const decodeMs = performance.now() - start;
    if (request.thumbnail) picture = shrink(picture, request.thumbnail);
    return {...picture, decodeMs};
  },

  png(request) {
    const source = pictureSource(fileOf(request), request.member);
    return {png: torva.png(source.bytes, source.name).buffer};
  },

  zip(request) {
    const file = fileOf(request);
    const entries = {};
    const taken = new Set();
    const failures = [];
    let pictures = 0;
    file.members.forEach((member, index) => {
      self.postMessage({id: request.id, progress: index / file.members.length});
      let png;
      try {
        png = torva.png(pictureSource(file, index).bytes, member.name);
      } catch (error) {
        // Members that are no pictures are left out silently, damaged ones reported.
        if (error.status !== 'not-recognised') failures.push(error.message);
        return;
      }
      entries[entryName(member.name, taken)] = [png, {level: 0}];
      ++pictures;
    });
    const zip = fflate.zipSync(entries);
    return {zip: zip.buffer, pictures, failures};
  },

  close(request) {
    openFiles.delete(request.fileId);
    return {};
  },
};

// Every buffer a reply carries is handed over, not copied.
function transferables(reply) {
  const list = [];
  for (const value of [reply.rgba, reply.png, reply.zip, reply.picture && reply.picture.rgba]) {
    if (value) list.push(value.buffer || value);
  }
  return list;
}

self.onmessage = async (event) => {
  const request = event.data;
  let reply;
  try {
    await torva.ready;
    reply = {id: request.id, ok: true, ...handlers[request.op](request)};
  } catch (error) {
    reply = {id: request.id, ok: false, status: error.status || 'failed', message: error.message,
             picture: error.picture};
  }
  self.postMessage(reply, transferables(reply));
};
