// A page that records what the native side tells it, for the end-to-end tests.
const pending = new Map();
let nextId = 1;

window.__bridgeResolveRaw = (reply) => {
  const resolve = pending.get(reply.id);
  pending.delete(reply.id);
  if (resolve) resolve(reply);
};
window.drops = [];
window.__onDrop = (drop) => window.drops.push(drop);

// Posts a command and resolves with its reply object.
window.send = (cmd, args) =>
  new Promise((resolve) => {
    const id = nextId++;
    pending.set(id, resolve);
    window.webkit.messageHandlers.bridge.postMessage({ id, cmd, args });
  });

// Keys the page keeps for itself, when asked to.
window.keptKeys = new Set();
window.seenKeys = [];
document.addEventListener('keydown', (e) => {
  const name = (e.ctrlKey ? 'ctrl+' : '') + e.key.toLowerCase();
  window.seenKeys.push(name);
  if (window.keptKeys.has(name)) e.preventDefault();
});
// What WebKit lets the page drop itself: nothing of the drags the native side takes.
window.domDrops = [];
document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', (e) => {
  e.preventDefault();
  window.domDrops.push(e.dataTransfer.getData('text/plain') || e.dataTransfer.getData('text/uri-list'));
});
// The menu's Undo and Redo reach the page; kept where the test can read it.
window.__onMenu = (item) => window.send('savePrefs', { data: `menu:${item}` });
window.pageReady = true;
