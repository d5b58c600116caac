// Unpacks a gzip member (RFC 1952 around RFC 1951's deflate) for browsers without
// DecompressionStream: gunzip(bytes) gives the unpacked bytes, or throws.

// Deflate's length and distance codes: base values and extra bits (RFC 1951, 3.2.5).
const LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83,
  99, 115, 131, 163, 195, 227, 258];
const LENGTH_EXTRA = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0];
const DISTANCE_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769,
  1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577];
const DISTANCE_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11,
  12, 12, 13, 13];
// The order in which a dynamic block lists the code lengths of its code-length code.
const CODE_LENGTH_ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15];

// A canonical Huffman code from its code lengths: symbols by length, and the count of each.
function huffman(lengths) {
  const counts = new Uint16Array(16);
  for (const length of lengths) counts[length]++;
  counts[0] = 0;
  const offsets = new Uint16Array(16);
  for (let i = 1; i < 16; i++) offsets[i] = offsets[i - 1] + counts[i - 1];
  const symbols = new Uint16Array(lengths.length);
  lengths.forEach((length, symbol) => { if (length) symbols[offsets[length]++] = symbol; });
  return { counts, symbols };
}

function inflate(data, start) {
  let at = start;
  let bitBuffer = 0;
  let bitCount = 0;
  let out = new Uint8Array(Math.max(1024, 4 * data.length));
  let size = 0;

  function bits(n) {
    while (bitCount < n) {
      if (at >= data.length) throw new Error('the packed data ends early');
      bitBuffer |= data[at++] << bitCount;
      bitCount += 8;
    }
    const value = bitBuffer & ((1 << n) - 1);
    bitBuffer >>>= n;
    bitCount -= n;
    return value;
  }

  // Codes are read bit by bit, first bit the most significant, as deflate packs them.
  function decode(code) {
    let value = 0;
    let first = 0;
    let index = 0;
    for (let length = 1; length < 16; length++) {
      value |= bits(1);
      const count = code.counts[length];
      if (value - first < count) return code.symbols[index + value - first];
      index += count;
      first = (first + count) << 1;
      value <<= 1;
    }
    throw new Error('a code that is not in the table');
  }

  function room(extra) {
    if (size + extra <= out.length) return;
    const bigger = new Uint8Array(Math.max(2 * out.length, size + extra));
    bigger.set(out.subarray(0, size));
    out = bigger;
  }

  function block(literals, distances) {
    for (;;) {
      const symbol = decode(literals);
      if (symbol < 256) {
        room(1);
        out[size++] = symbol;
      } else if (symbol === 256) {
        return;
      } else {
        const lengthCode = symbol - 257;
        if (lengthCode >= 29) throw new Error('a bad length');
        const length = LENGTH_BASE[lengthCode] + bits(LENGTH_EXTRA[lengthCode]);
        const distanceCode = decode(distances);
        if (distanceCode >= 30) throw new Error('a bad distance');
        const distance = DISTANCE_BASE[distanceCode] + bits(DISTANCE_EXTRA[distanceCode]);
        if (distance > size) throw new Error('a distance before the start');
        room(length);
        for (let i = 0; i < length; i++, size++) out[size] = out[size - distance];
      }
    }
  }

  function fixedCodes() {
    const lengths = new Uint8Array(288);
    lengths.fill(8, 0, 144);
    lengths.fill(9, 144, 256);
    lengths.fill(7, 256, 280);
    lengths.fill(8, 280, 288);
    return [huffman(lengths), huffman(new Uint8Array(30).fill(5))];
  }

  function dynamicCodes() {
    const literalCount = bits(5) + 257;
    const distanceCount = bits(5) + 1;
    const lengthCount = bits(4) + 4;
    const codeLengths = new Uint8Array(19);
    for (let i = 0; i < lengthCount; i++) codeLengths[CODE_LENGTH_ORDER[i]] = bits(3);
    const lengthCode = huffman(codeLengths);
    const lengths = new Uint8Array(literalCount + distanceCount);
    for (let i = 0; i < lengths.length;) {
      const symbol = decode(lengthCode);
      if (symbol < 16) {
        lengths[i++] = symbol;
        continue;
      }
      let repeat = 0;
      let value = 0;
      if (symbol === 16) {
        if (i === 0) throw new Error('a repeat with nothing before it');
        value = lengths[i - 1];
        repeat = 3 + bits(2);
      } else {
        repeat = symbol === 17 ? 3 + bits(3) : 11 + bits(7);
      }
      if (i + repeat > lengths.length) throw new Error('too many code lengths');
      lengths.fill(value, i, i + repeat);
      i += repeat;
    }
    return [huffman(lengths.subarray(0, literalCount)), huffman(lengths.subarray(literalCount))];
  }

  let last = 0;
  while (!last) {
    last = bits(1);
    const type = bits(2);
    if (type === 0) {
      bitBuffer = 0;  // a stored block starts on a byte
      bitCount = 0;
      if (at + 4 > data.length) throw new Error('the packed data ends early');
      const length = data[at] | (data[at + 1] << 8);
      at += 4;
      if (at + length > data.length) throw new Error('the packed data ends early');
      room(length);
      out.set(data.subarray(at, at + length), size);
      size += length;
      at += length;
    } else if (type === 1 || type === 2) {
      block(...(type === 1 ? fixedCodes() : dynamicCodes()));
    } else {
      throw new Error('a block of an unknown type');
    }
  }
  return out.subarray(0, size);
}

const CRC_TABLE = new Uint32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c;
});

function crc32(bytes) {
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) crc = CRC_TABLE[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

const word = (data, at) => (data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (data[at + 3] << 24)) >>> 0;

// The member's header: magic, method 8 (deflate), flags and the optional fields they announce.
export function gunzip(data) {
  if (data.length < 18 || data[0] !== 0x1f || data[1] !== 0x8b || data[2] !== 8) throw new Error('not gzip');
  const flags = data[3];
  let at = 10;
  if (flags & 4) at += 2 + (data[at] | (data[at + 1] << 8));
  for (const flag of [8, 16]) {
    if (flags & flag) {
      while (at < data.length && data[at] !== 0) at++;
      at++;
    }
  }
  if (flags & 2) at += 2;
  const out = inflate(data, at);
  if (word(data, data.length - 4) !== out.length >>> 0) throw new Error('the unpacked size is not the one stored');
  if (word(data, data.length - 8) !== crc32(out)) throw new Error('the unpacked bytes do not match their check');
  return out;
}
