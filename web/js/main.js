// Entry point: connects the page to the native side and starts the controller.
import { installBridge } from './bridge.js';
import { startApp } from './app.js';

const bridge = installBridge(window);
window.quarrytide = startApp(bridge);
