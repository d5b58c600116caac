// Where the program stands: loading, running, or ended (it exited, faulted, or this browser lacks
// what it needs); the page's other modules ask here, and only page.js moves it on. The body
// carries it too, for the style sheet. Also the program's exit status, once it has exited.

let state = document.body.dataset.state;  // 'loading', as the page is served
let exitStatus;
const listeners = [];

export const running = () => state === 'running';
export const ended = () => state === 'ended';
export const status = () => exitStatus;  // undefined until the program exits

// A change of state is told to every listener, after the body says it.
export function enter(next, statusAtExit) {
  if (statusAtExit !== undefined) exitStatus = statusAtExit;
  state = next;
  document.body.dataset.state = next;
  for (const listener of listeners) listener(next);
}

export const onChange = (listener) => { listeners.push(listener); };
