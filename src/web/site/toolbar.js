// The toolbar: a button for every entry of the menu the program attached to the right button,
// with the labels, values and kinds it gave them, a row for each submenu with the commands that
// are keys only beside it, and what ends the program apart from the rest. Choices and toggles
// show whether they are in force; the mode in force shows beside the title. Inert once the
// program has ended.

import { running } from './run.js';
import { due, watcher } from './watch.js';
import * as menu from './menu.js';

const toolbar = document.getElementById('toolbar');
const modeLine = document.getElementById('mode');
let mainMenu = 0;

function row(className = 'tools') {
  const element = document.createElement('div');
  element.className = className;
  toolbar.appendChild(element);
  return element;
}

function button(label, act) {
  const element = document.createElement('button');
  element.type = 'button';
  element.textContent = label;
  element.addEventListener('click', act);
  return element;
}

function entryButton(menuId, entry) {
  const element = button(entry.label, () => menu.run(menuId, entry.value));
  element.dataset.menu = menuId;
  element.dataset.value = entry.value;
  element.dataset.kind = entry.kind;
  return element;
}

function keyButton({ label, key, kind }) {
  const element = button(label, () => {
    if (!running()) return;
    Module._frimel_key(key.charCodeAt(0));
    window.dispatchEvent(new CustomEvent('frimel-command', { detail: { key } }));
  });
  element.dataset.key = key;
  element.dataset.kind = kind;
  return element;
}

const inForce = (element) => (element.dataset.key
  ? Module._frimel_key_in_force(element.dataset.key.charCodeAt(0))
  : Module._frimel_entry_in_force(Number(element.dataset.menu), Number(element.dataset.value))) === 1;

export function build() {
  const model = Module.glutMenus;
  mainMenu = model ? model.buttons[2] || 0 : 0;
  if (!mainMenu) return;
  let commands = row();
  const apart = document.createElement('div');
  apart.className = 'tools apart';
  for (const entry of model.menus[mainMenu]) {
    if (!entry.submenu) {
      const element = entryButton(mainMenu, entry);
      (entry.kind === 'end' ? apart : commands).appendChild(element);
      // Undo and Clear, the commands that are no setting: on a phone they come first.
      if (entry.kind === 'command') commands.classList.add('history');
      continue;
    }
    const group = row('tools group');
    group.setAttribute('role', 'group');
    group.setAttribute('aria-label', entry.label);
    const label = document.createElement('span');
    label.textContent = entry.label;
    group.appendChild(label);
    for (const choice of model.menus[entry.submenu] || []) {
      if (!choice.submenu) group.appendChild(entryButton(entry.submenu, choice));
    }
    for (const command of model.keys[entry.submenu] || []) group.appendChild(keyButton(command));
    // "Blue" alone says little out of its row: each is named with its row's label.
    for (const choice of group.querySelectorAll('button')) {
      choice.setAttribute('aria-label', `${entry.label} ${choice.textContent}`);
    }
    commands = row();
  }
  toolbar.appendChild(apart);
  show();
}

// Every change of a setting asks for a frame but the colour's: looked at after every command,
// and at a frame shown after a key, a press or a sketch opened.
const toolsWatch = watcher();
export function frame() {
  if (due(toolsWatch, true)) show();
}

export function show() {
  if (!running() || !mainMenu) return;
  const mode = Module._frimel_mode();
  for (const element of toolbar.querySelectorAll('button[data-menu], button[data-key]')) {
    const kind = element.dataset.kind;
    const pressed = kind === 'choice' || kind === 'toggle' ? String(inForce(element)) : null;
    if (element.getAttribute('aria-pressed') === pressed) continue;
    if (pressed === null) element.removeAttribute('aria-pressed');
    else element.setAttribute('aria-pressed', pressed);
  }
  const modeButton = toolbar.querySelector(`button[data-menu="${mainMenu}"][data-value="${mode}"]`);
  const label = 'Mode: ' + (modeButton ? modeButton.textContent.replace(/\s*\(.\)$/, '') : '');
  if (modeLine.textContent !== label) modeLine.textContent = label;
}

// A press on a tool keeps the keyboard where it was (on the picture, usually).
toolbar.addEventListener('mousedown', (event) => event.preventDefault());
window.addEventListener('frimel-command', show);

document.getElementById('menu-button').addEventListener('click', (event) => {
  if (!running() || !mainMenu) return;
  const box = event.currentTarget.getBoundingClientRect();
  menu.openAt(mainMenu, box.left, box.bottom, event.detail === 0);
});
