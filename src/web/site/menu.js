// GLUT's pop-up menus in the page. The program's menus arrive in Module.glutMenus (entries of
// each menu, and the menu attached to each button); a right press on the canvas opens the one
// attached to the right button at the pointer. The press, its release, and every click that
// closes the menu are kept from the program's own mouse handling, as on the desktop, where the
// menu takes the pointer while it is up. These listeners must run before emscripten's GLUT
// registers its own (also on window, in the capture phase), so this script loads first.
'use strict';

(function () {
  const RIGHT = 2;
  let open = null;              // { root, levels: [menu elements], pressX, pressY }
  const heldBack = new Set();   // buttons whose release must not reach the program either

  const menus = () => (window.Module && window.Module.glutMenus) || null;
  const canvas = () => document.getElementById('canvas');
  const ended = () => document.body.dataset.state === 'ended';

  function attachedMenu(button) {
    const model = menus();
    return model ? model.buttons[button] || 0 : 0;
  }

  function menuElement(menuId, level) {
    const element = document.createElement('div');
    element.className = 'menu';
    element.setAttribute('role', 'menu');
    element.dataset.menu = menuId;
    element.dataset.level = level;
    for (const entry of menus().menus[menuId] || []) {
      const item = document.createElement('div');
      item.className = 'menu-entry';
      item.setAttribute('role', 'menuitem');
      item.textContent = entry.label;
      if (entry.submenu) {
        item.setAttribute('aria-haspopup', 'true');
        item.dataset.submenu = entry.submenu;
      } else {
        item.dataset.value = entry.value;
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
      if (entry) showEntry(entry);
    });
    document.body.appendChild(root);
    place(root, x, y);
    open = { root, levels: [root], pressX: x, pressY: y };
  }

  // Hovering or clicking an entry closes the deeper submenus, and opens the entry's own.
  function showEntry(entry) {
    const menu = entry.closest('.menu');
    const level = Number(menu.dataset.level);
    if (entry.classList.contains('open')) return;
    for (const deeper of open.levels.splice(level + 1)) deeper.remove();
    menu.querySelectorAll(':scope > .menu-entry.open').forEach((other) => other.classList.remove('open'));
    if (!entry.dataset.submenu) return;
    entry.classList.add('open');
    const submenu = menuElement(Number(entry.dataset.submenu), level + 1);
    open.root.appendChild(submenu);
    const box = entry.getBoundingClientRect();
    place(submenu, box.right - 2, box.top - 4);
    open.levels.push(submenu);
  }

  function close() {
    if (!open) return;
    open.root.remove();
    open = null;
  }

  // The menu's entries and the page's toolbar reach the program's menu handlers only here.
  // exit() in a handler unwinds back to here; the page has already been told the program ended.
  function run(menuId, value) {
    if (ended()) return;  // the program is gone: nothing may call into it
    try {
      window.Module._frimel_menu_choose(menuId, value);
    } catch (error) {
      if (!error || error.name !== 'ExitStatus') throw error;
    }
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

  // While the menu is up it has the keyboard: Escape closes it, other keys do nothing.
  window.addEventListener('keydown', (event) => {
    if (inert(event) || !open) return;
    keep(event);
    if (event.key === 'Escape') close();
  }, true);

  window.addEventListener('keyup', inert, true);
  window.addEventListener('blur', close);

  // The page's Menu button opens the same menu, below the button.
  function openAt(menuId, x, y) {
    if (ended() || !menus()) return;
    openMenu(menuId, x, y);
  }

  window.frimelMenu = { close, open: openAt, run };
})();
