// A small driver for the browsers the web checks run in, with nothing downloaded: Debian's chromium over the
// DevTools protocol on a pipe (fd 3 and 4, NUL-separated JSON), and Debian's firefox-esr over WebDriver BiDi
// (a WebSocket on 127.0.0.1: node's own WebSocket where it has one, Debian's node-ws otherwise).
//
//   const browser = await launch('chromium' | 'firefox', { scale });   // device pixels per CSS pixel
//   const page = await browser.open(url, { width, height });          // the viewport, in CSS pixels
//   await page.eval('document.title');       // any expression, awaited; the value comes back through JSON
//   await page.click(x, y, { button: 'left' | 'right' | 'middle', shift, ctrl, alt });
//   await page.key('Escape');
//   await page.resize(width, height);
//   await page.hide(); await page.show();   // another tab in front of the page, then the page in front again
//   await browser.close();
//
// Input goes in as the browser's own input events, so the page sees trusted pointer and key events.
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

// How long the browser may take to answer or to load a page: long, for a machine busy with other work.
const SETTLE_MS = 45000;

// Where the browser's messages arrive: replies by id, events to whoever waits for them.
class Wire {
  constructor(send) {
    this.send = send;
    this.next = 1;
    this.replies = new Map();
    this.waiters = [];
  }
  call(message) {
    const id = this.next++;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.replies.delete(id);
        reject(new Error(`no answer to ${message.method} in ${SETTLE_MS} ms`));
      }, SETTLE_MS);
      this.replies.set(id, { resolve, reject, timer, method: message.method });
      this.send(JSON.stringify({ ...message, id }));
    });
  }
  receive(text) {
    const m = JSON.parse(text);
    const pending = m.id !== undefined && this.replies.get(m.id);
    if (pending) {
      this.replies.delete(m.id);
      clearTimeout(pending.timer);
      if (m.error) pending.reject(new Error(`${pending.method}: ${m.error.message ?? m.error} ${m.message ?? ''}`));
      else pending.resolve(m.result);
      return;
    }
    if (m.method) this.waiters = this.waiters.filter((w) => !w(m));
  }
  // Resolves with the first event for which `match` is true.
  event(match, what) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no ${what} in ${SETTLE_MS} ms`)), SETTLE_MS);
      this.waiters.push((m) => {
        if (!match(m)) return false;
        clearTimeout(timer);
        resolve(m);
        return true;
      });
    });
  }
  fail(error) {
    for (const p of this.replies.values()) p.reject(error);
    this.replies.clear();
  }
}

// The expression's value, awaited, through JSON (undefined comes back as null).
const wrap = (expression) => `(async () => JSON.stringify(await (${expression})) ?? 'null')()`;

// The browsers' profiles, removed when they close, and at the latest when node exits.
const profiles = new Set();

function tempDir(name) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `zarvo1-${name}-`));
  profiles.add(dir);
  return dir;
}

function exited(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) resolve();
    else child.once('exit', () => resolve());
  });
}

// Each browser runs in a process group of its own, so that the helper processes it leaves behind for a
// moment (they write in the profile) end with it. Whatever is still running when node exits is killed.
const groups = new Set();
process.on('exit', () => {
  for (const g of groups) try { process.kill(-g, 'SIGKILL'); } catch { /* gone */ }
  for (const p of profiles) try { fs.rmSync(p, { recursive: true, force: true }); } catch { /* tried */ }
});

function start(binary, args, stdio) {
  const child = spawn(binary, args, { stdio, detached: true });
  if (child.pid) groups.add(child.pid);
  return child;
}

const groupAlive = (pid) => { try { process.kill(-pid, 0); return true; } catch { return false; } };

async function stop(child, profile) {
  const signal = (name) => { try { process.kill(-child.pid, name); } catch { /* gone */ } };
  if (child.exitCode === null && child.signalCode === null) signal('SIGTERM');
  await exited(child);
  for (let i = 0; groupAlive(child.pid); i++) {
    signal(i < 30 ? 'SIGTERM' : 'SIGKILL');
    await new Promise((r) => setTimeout(r, 100));
  }
  groups.delete(child.pid);
  await fs.promises.rm(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  profiles.delete(profile);
}

// ---- chromium over the DevTools protocol -----------------------------------------------------------------

const CDP_BUTTONS = { left: 1, right: 2, middle: 4 };

export function chromiumArgs(profile, extra = []) {
  return [
    '--headless=new', '--remote-debugging-pipe', `--user-data-dir=${profile}`,
    '--no-first-run', '--no-default-browser-check', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--disable-extensions', '--disable-default-apps', '--mute-audio', '--disable-gpu',
    // A root user (a container, CI) has no sandbox to offer, and a fresh root may have no /dev/shm.
    ...(process.getuid?.() === 0 ? ['--no-sandbox'] : []), '--disable-dev-shm-usage',
    ...extra, 'about:blank',
  ];
}

// The scale is the screen's own, as on a high-density display, not an emulation of it: an emulated ratio
// changes devicePixelRatio but not the device pixels the browser lays the page out in.
async function launchChromium({ extraArgs = [], binary = 'chromium', scale = 1 } = {}) {
  const profile = tempDir('chromium');
  const child = start(binary, chromiumArgs(profile, [`--force-device-scale-factor=${scale}`, ...extraArgs]), ['ignore', 'ignore', 'pipe', 'pipe', 'pipe']);
  let stderr = '';
  child.stdio[2].on('data', (d) => { stderr = (stderr + d).slice(-2000); });
  const wire = new Wire((text) => child.stdio[3].write(text + '\0'));
  let buffer = '';
  child.stdio[4].on('data', (chunk) => {
    buffer += chunk;
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const text = buffer.slice(0, end);
      buffer = buffer.slice(end + 1);
      wire.receive(text);
    }
  });
  child.on('exit', (code) => wire.fail(new Error(`chromium ended (${code}): ${stderr.trim().split('\n').pop()}`)));
  child.on('error', (e) => wire.fail(e));

  const { targetInfos } = await wire.call({ method: 'Target.getTargets' });
  const target = targetInfos.find((t) => t.type === 'page');
  const { sessionId } = await wire.call({ method: 'Target.attachToTarget', params: { targetId: target.targetId, flatten: true } });
  const send = (method, params = {}) => wire.call({ method, params, sessionId });
  await send('Page.enable');
  await send('Runtime.enable');
  const browserPid = child.pid;
  let cover = null; // the tab in front of the page while it is hidden

  const page = {
    send,
    async eval(expression) {
      const r = await send('Runtime.evaluate', { expression: wrap(expression), awaitPromise: true, returnByValue: true });
      if (r.exceptionDetails) throw new Error(r.exceptionDetails.exception?.description ?? r.exceptionDetails.text);
      return JSON.parse(r.result.value);
    },
    async resize(width, height) {
      // A scale factor of 0 keeps the screen's own.
      await send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 0, mobile: false });
    },
    async click(x, y, { button = 'left', shift = false, ctrl = false, alt = false } = {}) {
      const modifiers = (alt ? 1 : 0) | (ctrl ? 2 : 0) | (shift ? 8 : 0);
      await send('Input.dispatchMouseEvent', { type: 'mouseMoved', x, y, modifiers });
      const common = { x, y, modifiers, button, clickCount: 1 };
      await send('Input.dispatchMouseEvent', { type: 'mousePressed', buttons: CDP_BUTTONS[button], ...common });
      await send('Input.dispatchMouseEvent', { type: 'mouseReleased', buttons: 0, ...common });
    },
    // Hidden behind a blank tab opened in front of it, as a user opens another tab; shown again by closing it.
    async hide() {
      if (!cover) ({ targetId: cover } = await wire.call({ method: 'Target.createTarget', params: { url: 'about:blank' } }));
    },
    async show() {
      if (cover) await wire.call({ method: 'Target.closeTarget', params: { targetId: cover } });
      cover = null;
      await send('Page.bringToFront');
    },
    async key(name) {
      const codes = { Escape: 27, a: 65 };
      const k = { key: name, code: name === 'a' ? 'KeyA' : name, windowsVirtualKeyCode: codes[name] };
      await send('Input.dispatchKeyEvent', { type: 'keyDown', ...k });
      await send('Input.dispatchKeyEvent', { type: 'keyUp', ...k });
    },
  };

  return {
    name: 'chromium',
    pid: browserPid,
    async open(url, { width = 800, height = 600 } = {}) {
      await page.resize(width, height);
      const loaded = wire.event((m) => m.method === 'Page.loadEventFired' && m.sessionId === sessionId, 'load event');
      loaded.catch(() => {}); // when the navigation fails, nobody waits for it
      const r = await send('Page.navigate', { url });
      if (r.errorText) throw new Error(`${url}: ${r.errorText}`);
      await loaded;
      return page;
    },
    async close() {
      try { await Promise.race([wire.call({ method: 'Browser.close' }), exited(child)]); } catch { /* already gone */ }
      await stop(child, profile);
    },
  };
}

// ---- firefox over WebDriver BiDi -------------------------------------------------------------------------

const BIDI_BUTTONS = { left: 0, middle: 1, right: 2 };
const BIDI_KEYS = { Shift: '\uE008', Control: '\uE009', Alt: '\uE00A', Escape: '\uE00C', a: 'a' };

function webSocketClass() {
  if (typeof globalThis.WebSocket === 'function') return globalThis.WebSocket;
  // Debian's node modules live outside node's own search path when node is not Debian's.
  const require = createRequire(import.meta.url);
  for (const name of ['ws', '/usr/share/nodejs/ws', '/usr/lib/nodejs/ws']) {
    try { return require(name); } catch { /* the next place */ }
  }
  throw new Error('no WebSocket client: this node has none of its own, and the node-ws package is not installed');
}

async function launchFirefox({ binary = 'firefox-esr', scale = 1 } = {}) {
  const profile = tempDir('firefox');
  fs.writeFileSync(path.join(profile, 'user.js'), `user_pref("layout.css.devPixelsPerPx", "${scale}");\n`);
  const child = start(binary, ['--headless', '--no-remote', '--profile', profile, '--remote-debugging-port', '0', 'about:blank'],
    ['ignore', 'ignore', 'pipe']);
  let stderr = '';
  const address = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`firefox did not listen in ${SETTLE_MS} ms: ${stderr.trim()}`)), SETTLE_MS);
    child.stdio[2].on('data', (d) => {
      stderr = (stderr + d).slice(-4000);
      const m = /WebDriver BiDi listening on (ws:\/\/\S+)/.exec(stderr);
      if (m) { clearTimeout(timer); resolve(m[1]); }
    });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`firefox ended (${code}): ${stderr.trim()}`)); });
  });
  const WS = webSocketClass();
  const socket = new WS(`${address}/session`);
  const wire = new Wire((text) => socket.send(text));
  await new Promise((resolve, reject) => {
    socket.onopen = resolve;
    socket.onerror = (e) => reject(new Error(`cannot reach firefox at ${address}: ${e.message ?? 'error'}`));
  });
  socket.onmessage = (e) => wire.receive(typeof e.data === 'string' ? e.data : e.data.toString());
  socket.onclose = () => wire.fail(new Error('firefox closed the connection'));
  const send = (method, params = {}) => wire.call({ method, params });
  await send('session.new', { capabilities: {} });
  const { contexts } = await send('browsingContext.getTree', {});
  const context = contexts[0].context;
  let cover = null; // the tab in front of the page while it is hidden

  const page = {
    send,
    async eval(expression) {
      const r = await send('script.evaluate', { expression: wrap(expression), target: { context }, awaitPromise: true });
      if (r.type === 'exception') throw new Error(r.exceptionDetails.text);
      return JSON.parse(r.result.value);
    },
    async resize(width, height) {
      await send('browsingContext.setViewport', { context, viewport: { width, height } });
    },
    async click(x, y, { button = 'left', shift = false, ctrl = false, alt = false } = {}) {
      const held = [shift && 'Shift', ctrl && 'Control', alt && 'Alt'].filter(Boolean).map((k) => BIDI_KEYS[k]);
      // The keys go down before the pointer moves and come up after it is released, tick by tick.
      const keys = [...held.map((value) => ({ type: 'keyDown', value })), { type: 'pause' }, { type: 'pause' },
        { type: 'pause' }, ...held.map((value) => ({ type: 'keyUp', value }))];
      const pointer = [...held.map(() => ({ type: 'pause' })),
        { type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport' },
        { type: 'pointerDown', button: BIDI_BUTTONS[button] }, { type: 'pointerUp', button: BIDI_BUTTONS[button] }];
      await send('input.performActions', {
        context,
        actions: [{ type: 'key', id: 'keyboard', actions: keys },
          { type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' }, actions: pointer }],
      });
    },
    async hide() {
      if (!cover) ({ context: cover } = await send('browsingContext.create', { type: 'tab' }));
    },
    async show() {
      if (cover) await send('browsingContext.close', { context: cover });
      cover = null;
      await send('browsingContext.activate', { context });
    },
    async key(name) {
      const value = BIDI_KEYS[name];
      await send('input.performActions', {
        context, actions: [{ type: 'key', id: 'keyboard', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] }],
      });
    },
  };

  return {
    name: 'firefox-esr',
    pid: child.pid,
    async open(url, { width = 800, height = 600 } = {}) {
      await page.resize(width, height);
      await send('browsingContext.navigate', { context, url, wait: 'complete' });
      return page;
    },
    async close() {
      try { await Promise.race([send('browser.close', {}), exited(child)]); } catch { /* already gone */ }
      socket.close?.();
      await stop(child, profile);
    },
  };
}

export function launch(kind, options) {
  return kind === 'firefox' ? launchFirefox(options) : launchChromium(options);
}
