// GLUT's pop-up menus in the page. The program's menus arrive in Module.glutMenus (entries of
// each menu, and the menu attached to each button); a right press on the canvas opens the one
// attached to the right button at the pointer. The press, its release, and every click that
// closes the menu are kept from the program's own mouse handling, as on the desktop, where the
// menu takes the pointer while it is up. These listeners must run before emscripten's GLUT
// registers its own (also on window, in the capture phase), so this module runs first.
// A submenu opens beside the menu, never over its labels; where there is no room beside it, it
// takes the menu's place, with a way back. The keyboard works it too: arrows, Enter, Escape.

import { ended } from './run.js';

const RIGHT = 2;
let open = null;              // { root, levels: [menu elements], pressX, pressY }
const heldBack = new Set();   // buttons whose release must not reach the program either

const menus = () => (window.Module && window.Module.glutMenus) || null;
const canvas = () => document.getElementById('canvas');

function attachedMenu(button) {
  const model = menus();
  return model ? model.buttons[button] || 0 : 0;
}

function entryElement(label) {
  const item = document.createElement('div');
  item.className = 'menu-entry';
  item.setAttribute('role', 'menuitem');
  item.tabIndex = -1;
  item.textContent = label;
  return item;
}

// Told as the program has them: a setting as a choice with whether it is in force (a toggle
// as a check box), a submenu with whether it is open, a command as a plain item.
const ROLES = { choice: 'menuitemradio', toggle: 'menuitemcheckbox' };
function menuElement(menuId, level) {
  const element = document.createElement('div');
  element.className = 'menu';
  element.setAttribute('role', 'menu');
  element.dataset.menu = menuId;
  element.dataset.level = level;
  for (const entry of menus().menus[menuId] || []) {
    const item = entryElement(entry.label);
    if (entry.submenu) {
      item.setAttribute('aria-haspopup', 'true');
      item.setAttribute('aria-expanded', 'false');
      item.dataset.submenu = entry.submenu;
    } else {
      item.dataset.value = entry.value;
      if (ROLES[entry.kind]) {
        item.setAttribute('role', ROLES[entry.kind]);
        item.setAttribute('aria-checked', String(window.Module._frimel_entry_in_force(menuId, entry.value) === 1));
      }
    }
    element.appendChild(item);
  }
  return element;
}

// Fixed at (x, y), moved back inside the window if it would stick out, as desktop menus are.
function place(element, x, y) {
  element.style.left = x + 'px';
  element.style.top = y + 'px';
  const box = element.getBoundingClientRect();
  if (box.right > window.innerWidth) element.style.left = Math.max(0, window.innerWidth - box.width) + 'px';
  if (box.bottom > window.innerHeight) element.style.top = Math.max(0, window.innerHeight - box.height) + 'px';
}

function openMenu(menuId, x, y) {
  close();
  if (ended()) return;
  const root = menuElement(menuId, 0);
  root.id = 'menu';
  root.addEventListener('mouseover', (event) => {
    const entry = event.target.closest('.menu-entry');
    if (entry && !entry.classList.contains('back')) showEntry(entry);
  });
  document.getElementById('menus').appendChild(root);
  place(root, x, y);
  open = { root, levels: [root], pressX: x, pressY: y, returnFocus: document.activeElement };
}

// Beside the menu it opens from: to the right, else to the left, else the menu moves left to
// make room; failing all, in the menu's place, led by a way back to it.
function placeBeside(submenu, menu, entry) {
  const width = submenu.getBoundingClientRect().width;
  const top = entry.getBoundingClientRect().top - 4;
  let box = menu.getBoundingClientRect();
  if (box.right + width <= window.innerWidth) return place(submenu, box.right, top);
  if (box.left - width >= 0) return place(submenu, box.left - width, top);
  if (box.width + width <= window.innerWidth) {
    const shift = box.right + width - window.innerWidth;
    for (const level of open.levels) level.style.left = (parseFloat(level.style.left) - shift) + 'px';
    box = menu.getBoundingClientRect();
    return place(submenu, box.right, top);
  }
  const back = entryElement('\u2039 ' + entry.textContent);
  back.classList.add('back');
  back.addEventListener('click', () => closeDeepest());
  submenu.prepend(back);
  submenu.style.minWidth = box.width + 'px';
  menu.classList.add('behind');
  place(submenu, box.left, box.top);
}

// Hovering or clicking an entry closes the deeper submenus, and opens the entry's own.
function showEntry(entry) {
  const menu = entry.closest('.menu');
  const level = Number(menu.dataset.level);
  if (entry.classList.contains('open')) return null;
  for (const deeper of open.levels.splice(level + 1)) deeper.remove();
  menu.classList.remove('behind');
  menu.querySelectorAll(':scope > .menu-entry.open').forEach((other) => {
    other.classList.remove('open');
    other.setAttribute('aria-expanded', 'false');
  });
  if (!entry.dataset.submenu) return null;
  entry.classList.add('open');
  entry.setAttribute('aria-expanded', 'true');
  const submenu = menuElement(Number(entry.dataset.submenu), level + 1);
  open.root.appendChild(submenu);
  placeBeside(submenu, menu, entry);
  open.levels.push(submenu);
  return submenu;
}

function closeDeepest() {
  if (open.levels.length === 1) return close();
  const submenu = open.levels.pop();
  submenu.remove();
  const menu = open.levels.at(-1);
  menu.classList.remove('behind');
  const entry = menu.querySelector(':scope > .menu-entry.open');
  entry.classList.remove('open');
  entry.setAttribute('aria-expanded', 'false');
  entry.focus();
}

export function close() {
  if (!open) return;
  const { root, returnFocus } = open;
  const hadFocus = root.contains(document.activeElement);
  root.remove();
  open = null;
  if (hadFocus && returnFocus && returnFocus.focus) returnFocus.focus({ preventScroll: true });
}

// The menu's entries and the page's toolbar reach the program's menu handlers only here.
// exit() in a handler unwinds back to here; the page has already been told the program ended.
export function run(menuId, value) {
  if (ended()) return;  // the program is gone: nothing may call into it
  try {
    window.Module._frimel_menu_choose(menuId, value);
  } catch (error) {
    if (!error || error.name !== 'ExitStatus') throw error;
  }
  window.dispatchEvent(new CustomEvent('frimel-command', { detail: { menu: menuId, value } }));
}

function choose(entry) {
  const menuId = Number(entry.closest('.menu').dataset.menu);
  const value = Number(entry.dataset.value);
  close();
  run(menuId, value);
}

function keep(event) {
  event.stopImmediatePropagation();
  event.preventDefault();
}

// Once the program has ended, nothing in the page may call into it: not the menu, and not
// the toolkit's own handlers, which listen after these.
function inert(event) {
  if (!ended()) return false;
  event.stopImmediatePropagation();
  return true;
}

window.addEventListener('mousedown', (event) => {
  if (inert(event)) return;
  // A new press means the button was released, wherever that went: a release kept back from
  // before must not swallow this press's own, which would leave the program holding it.
  heldBack.delete(event.button);
  if (open) {
    keep(event);
    const entry = event.target.closest && event.target.closest('.menu-entry');
    if (entry && open.root.contains(entry)) {
      showEntry(entry);
      return;
    }
    if (open.root.contains(event.target)) return;
    close();
    heldBack.add(event.button);
    if (event.button !== RIGHT || event.target !== canvas()) return;
  }
  const menuId = attachedMenu(RIGHT);
  if (event.button === RIGHT && event.target === canvas() && menuId) {
    keep(event);
    heldBack.add(RIGHT);
    openMenu(menuId, event.clientX, event.clientY);
  }
}, true);

window.addEventListener('mouseup', (event) => {
  if (inert(event)) return;
  const held = heldBack.delete(event.button);
  if (open && open.root.contains(event.target)) {
    keep(event);
    const entry = event.target.closest('.menu-entry');
    if (!entry || entry.dataset.value === undefined) return;
    // The release of the press that opened the menu, where it opened, chooses nothing.
    const still = Math.abs(event.clientX - open.pressX) < 4 && Math.abs(event.clientY - open.pressY) < 4;
    if (held && event.button === RIGHT && still) return;
    choose(entry);
    return;
  }
  if (held) keep(event);
}, true);

window.addEventListener('mousemove', (event) => {
  if (inert(event) || open) event.stopImmediatePropagation();
}, true);

// The browser's own menu never shows over the canvas or ours.
window.addEventListener('contextmenu', (event) => {
  if (event.target === canvas() || (open && open.root.contains(event.target))) event.preventDefault();
}, true);

// While the menu is up it has the keyboard: the arrows move through its entries and in and
// out of submenus, Enter chooses or opens, Escape closes it all; other keys do nothing.
function entriesOf(menu) {
  return [...menu.children].filter((child) => child.classList.contains('menu-entry'));
}

function focusEntry(menu, index) {
  const entries = entriesOf(menu);
  entries[(index + entries.length) % entries.length].focus();
}

function onMenuKey(key) {
  const menu = open.levels.at(-1);
  const entries = entriesOf(menu);
  const at = entries.indexOf(document.activeElement);
  const entry = entries[at];
  if (key === 'ArrowDown') focusEntry(menu, at + 1);
  else if (key === 'ArrowUp') focusEntry(menu, at < 0 ? -1 : at - 1);
  else if (key === 'Home') focusEntry(menu, 0);
  else if (key === 'End') focusEntry(menu, -1);
  else if (key === 'Escape') close();
  else if (key === 'ArrowLeft' && open.levels.length > 1) closeDeepest();
  else if ((key === 'Enter' || key === ' ' || key === 'ArrowRight') && entry && entry.dataset.submenu) {
    const submenu = showEntry(entry) || open.levels.at(-1);
    focusEntry(submenu, submenu.querySelector('.back') ? 1 : 0);
  } else if ((key === 'Enter' || key === ' ') && entry && entry.classList.contains('back')) closeDeepest();
  else if ((key === 'Enter' || key === ' ') && entry) choose(entry);
}

window.addEventListener('keydown', (event) => {
  if (inert(event) || !open) return;
  keep(event);
  onMenuKey(event.key);
}, true);

window.addEventListener('keyup', inert, true);
window.addEventListener('blur', close);

// The page's Menu button opens the same menu, below the button; opened from the keyboard, its
// first entry takes the keys.
export function openAt(menuId, x, y, byKeyboard = false) {
  if (ended() || !menus()) return;
  openMenu(menuId, x, y);
  if (byKeyboard && open) focusEntry(open.root, 0);
}
