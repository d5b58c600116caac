// Fetches one of the site's gzip'd files unpacked, counting its bytes as they arrive:
// fetchUnpacked(file, onBytes, signal) gives a stream of the unpacked bytes, or null when the
// server does not have the file. A server that already unpacked it (Content-Encoding: gzip)
// sends bytes without gzip's mark, taken as they come; the browser's DecompressionStream unpacks
// the rest, or inflate.js where the browser has none (imported only there).

const isGzip = (bytes) => bytes.length >= 2 && bytes[0] === 0x1f && bytes[1] === 0x8b;

// A chunk is passed on in a task of its own: from a fast server (or the site's cache) the
// chunks of every download arrive at once, and handling them all in one go holds up the page.
const yieldChannel = new MessageChannel();
const waiting = [];
yieldChannel.port1.onmessage = () => waiting.shift()();
const nextTask = (value) => new Promise((done) => {
  waiting.push(() => done(value));
  yieldChannel.port2.postMessage(0);
});

function joined(parts) {
  const all = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    all.set(part, at);
    at += part.length;
  }
  return all;
}

// A stream of the chunks already read, then the rest of the reader's.
function streamOf(head, reader) {
  return new ReadableStream({
    start(controller) {
      if (head.length) controller.enqueue(head);
    },
    async pull(controller) {
      const { done, value } = await reader.read();
      if (done) controller.close();
      else controller.enqueue(value);
    },
    cancel(reason) {
      return reader.cancel(reason);
    },
  });
}

async function readAll(stream) {
  const reader = stream.getReader();
  const parts = [];
  for (;;) {
    const { done, value } = await reader.read();
    if (done) return joined(parts);
    parts.push(value);
  }
}

export async function fetchUnpacked(file, onBytes, signal) {
  const response = await fetch(file, { signal });
  if (!response.ok) return null;
  const source = response.body.getReader();
  const counted = { read: () => source.read().then((chunk) => {
    if (!chunk.done) onBytes(chunk.value.length);
    return nextTask(chunk);
  }), cancel: (reason) => source.cancel(reason) };
  // Enough of the start to tell packed bytes from unpacked ones.
  const head = [];
  for (let length = 0; length < 2;) {
    const { done, value } = await counted.read();
    if (done) break;
    head.push(value);
    length += value.length;
  }
  const first = joined(head);
  const body = streamOf(first, counted);
  if (!isGzip(first)) return body;
  if (window.DecompressionStream) return body.pipeThrough(new DecompressionStream('gzip'));
  const [packed, { gunzip }] = await Promise.all([readAll(body), import('./inflate.js')]);
  const unpacked = gunzip(packed);
  return new ReadableStream({ start(controller) { controller.enqueue(unpacked); controller.close(); } });
}
