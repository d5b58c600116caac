// The toolbar: a button for every entry of the menu the program attached to the right button,
// with the labels and values it gave them, a row for each submenu, the commands that are keys
// only, and Exit apart from the rest. Choices and toggles show whether they are in force; the
// mode in force shows beside the title. Inert once the program has ended.
'use strict';

(function () {
  // Commands the menu lacks, in the row of the submenu they belong with, labelled with their keys.
  const KEY_COMMANDS = {
    'Crystal Complexity': [['Side Arms (B)', 'b'], ['Four a Side (D)', 'd']],
    'Fractal Depth': [['3 (4)', '4']],
  };
  // What the program says of an entry: a command, a setting not in force or in force, the end.
  const COMMAND = -1;
  const NOT_CHOSEN = 0;
  const CHOSEN = 1;
  const ENDS_PROGRAM = 2;

  const toolbar = document.getElementById('toolbar');
  const modeLine = document.getElementById('mode');
  const page = window.frimelPage;
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
    const element = button(entry.label, () => window.frimelMenu.run(menuId, entry.value));
    element.dataset.menu = menuId;
    element.dataset.value = entry.value;
    return element;
  }

  function keyButton(label, key) {
    const element = button(label, () => {
      if (!page.running()) return;
      Module._frimel_key(key.charCodeAt(0));
      window.dispatchEvent(new CustomEvent('frimel-command', { detail: { key } }));
    });
    element.dataset.key = key;
    return element;
  }

  const stateOf = (element) => (element.dataset.key
    ? Module._frimel_key_state(element.dataset.key.charCodeAt(0))
    : Module._frimel_entry_state(Number(element.dataset.menu), Number(element.dataset.value)));

  function build() {
    const model = Module.glutMenus;
    mainMenu = model ? model.buttons[2] || 0 : 0;
    if (!mainMenu) return;
    let commands = row();
    const apart = document.createElement('div');
    apart.className = 'tools apart';
    for (const entry of model.menus[mainMenu]) {
      if (!entry.submenu) {
        const element = entryButton(mainMenu, entry);
        const state = stateOf(element);
        (state === ENDS_PROGRAM ? apart : commands).appendChild(element);
        // Undo and Clear, the commands that are no setting: on a phone they come first.
        if (state === COMMAND) commands.classList.add('history');
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
      for (const [text, key] of KEY_COMMANDS[entry.label] || []) group.appendChild(keyButton(text, key));
      // "Blue" alone says little out of its row: each is named with its row's label.
      for (const choice of group.querySelectorAll('button')) {
        choice.setAttribute('aria-label', `${entry.label} ${choice.textContent}`);
      }
      commands = row();
    }
    toolbar.appendChild(apart);
    show();
  }

  // Every change of a setting asks for a frame but the colour's: looked at once a frame is shown
  // and after every command.
  function show() {
    if (!page.running() || !mainMenu) return;
    const mode = Module._frimel_mode();
    for (const element of toolbar.querySelectorAll('button[data-menu], button[data-key]')) {
      const state = stateOf(element);
      const pressed = state === CHOSEN || state === NOT_CHOSEN ? String(state === CHOSEN) : null;
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
    if (!page.running() || !mainMenu) return;
    const box = event.currentTarget.getBoundingClientRect();
    window.frimelMenu.open(mainMenu, box.left, box.bottom, event.detail === 0);
  });

  window.frimelToolbar = { build, show };
})();
