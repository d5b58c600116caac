// "Save 3-D model": the program makes the file from the scene as it comes to rest; the page
// asks what for (viewing: glTF binary; printing: 3MF at a size in millimetres) and downloads it.
// Nothing leaves the browser.

import { running } from './run.js';

const GLB = 0;
const THREE_MF = 1;
const panel = document.getElementById('model-panel');
const notice = document.getElementById('sketch-notice');
const size = document.getElementById('model-mm');
const loops = document.getElementById('model-loops');

function tell(text) {
  notice.replaceChildren(text);
  notice.hidden = false;
}

function download(bytes, name, type) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// The file, or null once the reason is told.
function make(format, mm, withLoops) {
  const at = Module._frimel_model(format, mm, withLoops ? 1 : 0);
  if (!at) {
    tell(`The model cannot be made: ${Module.UTF8ToString(Module._frimel_model_why())}.`);
    return null;
  }
  const bytes = Module.HEAPU8.slice(at, at + Module._frimel_model_size());
  const note = Module.UTF8ToString(Module._frimel_model_note());
  if (note) tell(note);
  return bytes;
}

function save(format) {
  if (!running()) return;
  panel.hidden = true;
  if (format === GLB) {
    const bytes = make(GLB, 0, false);
    if (bytes) download(bytes, 'frimel.glb', 'model/gltf-binary');
  } else {
    const bytes = make(THREE_MF, Number(size.value), loops.checked);
    if (bytes) download(bytes, `frimel-${Number(size.value)}mm.3mf`, 'model/3mf');
  }
}

document.getElementById('model-button').addEventListener('click', () => {
  if (running()) panel.hidden = !panel.hidden;
});
document.getElementById('model-view').addEventListener('click', () => save(GLB));
document.getElementById('model-print').addEventListener('click', () => save(THREE_MF));
