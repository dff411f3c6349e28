// The checks of the web page in one real browser, driven with real input through scripts/browser.mjs.
// Usage: node scripts/web-checks.mjs chromium|firefox URL [GROUP]   (GROUP: only the groups whose name has it)
// Prints one line per case, "PASS<TAB>case" or "FAIL<TAB>case<TAB>why", for scripts/test-web to count.
import { launch } from './browser.mjs';

const [kind, base, only = ''] = process.argv.slice(2);
const page0 = new URL(base);
const at = (query) => new URL(query, page0).href;

// Helpers that run in the page: pictures of the canvas, counted and compared there (a picture never
// leaves the page). A pixel is "lit" when its brightest channel is above the level.
const HELPERS = `(globalThis.__t = {
  snaps: {},
  canvas: () => document.getElementById('picture'),
  grab() { const c = this.canvas(); return { w: c.width, h: c.height, d: c.getContext('2d').getImageData(0, 0, c.width, c.height).data }; },
  snap(name) { this.snaps[name] = this.grab(); return [this.snaps[name].w, this.snaps[name].h]; },
  lit(p, level, x0 = 0, y0 = 0, x1 = p.w, y1 = p.h) {
    let n = 0;
    for (let y = y0; y < y1; y++) for (let x = x0; x < x1; x++) {
      const i = (y * p.w + x) * 4;
      if (Math.max(p.d[i], p.d[i + 1], p.d[i + 2]) > level) n++;
    }
    return n;
  },
  litNow(level, ...area) { return this.lit(this.grab(), level, ...area); },
  // The share (percent) of the pixels lit in snapshot A that are lit in B (or now), over the area they share.
  kept(a, b) {
    const p = this.snaps[a], q = b ? this.snaps[b] : this.grab();
    let total = 0, both = 0;
    for (let y = 0; y < Math.min(p.h, q.h); y++) for (let x = 0; x < Math.min(p.w, q.w); x++) {
      const i = (y * p.w + x) * 4, j = (y * q.w + x) * 4;
      if (Math.max(p.d[i], p.d[i + 1], p.d[i + 2]) > 0) { total++; if (Math.max(q.d[j], q.d[j + 1], q.d[j + 2]) > 0) both++; }
    }
    return total ? Math.floor(100 * both / total) : 0;
  },
  differing(a) {
    const p = this.snaps[a], q = this.grab();
    if (p.w !== q.w || p.h !== q.h) return -1;
    let n = 0;
    for (let i = 0; i < p.d.length; i += 4) if (p.d[i] !== q.d[i] || p.d[i + 1] !== q.d[i + 1] || p.d[i + 2] !== q.d[i + 2]) n++;
    return n;
  },
  // The canvas against the core's own picture, read in one task: the number of pixels that differ.
  versusCore() {
    const c = this.grab(), p = zarvo1Page.picture();
    if (c.w !== p.width || c.h !== p.height) return { size: [c.w, c.h, p.width, p.height], differ: -1 };
    let n = 0;
    for (let i = 0; i < c.d.length; i += 4)
      if (c.d[i] !== p.data[i] || c.d[i + 1] !== p.data[i + 1] || c.d[i + 2] !== p.data[i + 2] || p.data[i + 3] !== 255) n++;
    return { differ: n };
  },
  // After the page's own frame callbacks have run: the moment the canvas shows the latest tick.
  afterFrame(f) { return new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(f()), 0))); },
  // Resolves when ms have passed on the page's clock.
  after(ms) { return new Promise((r) => setTimeout(r, ms)); },
  status() { return document.getElementById('status').textContent.trim(); },
}, true)`;

let passed = 0;
const report = (verdict, name, why = '') => {
  if (verdict) passed++;
  console.log(verdict ? `PASS\t${name}` : `FAIL\t${name}\t${why}`);
};
// A case that passed, with its figures.
const passWith = (name, figures) => {
  passed++;
  console.log(`PASS\t${name}\t${figures}`);
};

// Waits, up to `seconds`, for `expression` to be true in the page; returns whether it became so.
async function until(page, expression, seconds = 5) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const v = (await page.eval(expression)) === true;
    if (v || Date.now() > end) return v;
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Waits until the page has run `n` more ticks (bounded by the time they should take, plenty over).
async function ticksPass(page, n) {
  const start = await page.eval('zarvo1Page.ticks()');
  await until(page, `zarvo1Page.ticks() >= ${start + n}`, Math.max(5, n * 0.2));
  return start;
}

async function open(browser, query, size = { width: 800, height: 600 }) {
  const page = await browser.open(at(query), size);
  await page.eval(HELPERS);
  if (!(await until(page, 'globalThis.zarvo1Page?.ready === true', 10))) throw new Error(`${query}: the page never became ready`);
  return page;
}

// Shift-clicks until the trails take a bright colour (a new colour is now and then a dark one); returns the
// number of bright pixels.
async function brightTrails(page, x, y) {
  let n = 0;
  for (let attempt = 0; attempt < 3 && n < 3; attempt++) {
    await page.click(x, y, { shift: true });
    await until(page, '__t.litNow(100) >= 3', 4);
    n = await page.eval('__t.litNow(100)');
  }
  return n;
}

// Each group of cases on a page of its own, so that one that fails leaves the others their say.
async function group(name, f) {
  if (!name.includes(only)) return;
  try {
    await f();
  } catch (e) {
    report(false, name, e.message.split('\n')[0]);
  }
}

// Behind another tab for 70 s the page wakes once a minute, not once a tick; back in front, every tick that
// fell due meanwhile has run and the whole picture is on the canvas in the same task: a listener of the
// check's own, run right after the page's, reads the count of ticks, of wakes, the clock and the canvas
// against the core's picture at each change. In a browser of its own, so the other groups run meanwhile.
async function hiddenTab() {
  const name = 'hidden behind another tab for 70 s: at most 2 wake-ups; back in front every tick that fell due has run and the whole picture shows at once';
  const own = await launch(kind);
  try {
    const page = await open(own, '.');
    await ticksPass(page, 10);
    // The window's capturing listener runs before the page's own: the time its handler took is the catch-up's.
    await page.eval(`(__t.seen = [], addEventListener('visibilitychange', () => { __t.before = performance.now(); }, true),
      document.addEventListener('visibilitychange', () => __t.seen.push({ hidden: document.hidden, ticks: zarvo1Page.ticks(),
        wakes: zarvo1Page.wakes(), at: performance.now(), took: performance.now() - __t.before, differ: __t.versusCore().differ })), true)`);
    await page.hide();
    if (!(await until(page, '__t.seen.length === 1 && __t.seen[0].hidden', 10))) throw new Error('the page was not hidden');
    await new Promise((r) => setTimeout(r, 70000));
    await page.show();
    if (!(await until(page, '__t.seen.length === 2', 10))) throw new Error('the page was not shown again');
    const [gone, back] = await page.eval('__t.seen');
    const wakes = back.wakes - gone.wakes;
    const ticks = back.ticks - gone.ticks;
    const due = (back.at - gone.at) / 50;
    if (back.hidden) report(false, name, 'still hidden');
    else if (wakes > 2) report(false, name, `${wakes} wake-ups in ${Math.round((back.at - gone.at) / 1000)} s hidden`);
    else if (Math.abs(ticks - due) > 2) report(false, name, `${ticks} ticks ran for the ${due.toFixed(1)} that fell due`);
    else if (back.differ !== 0) report(false, name, `back in front, the canvas differs from the core's picture in ${back.differ} pixels`);
    else passWith(name, `${wakes} wake-ups, ${ticks} ticks caught up in ${back.took.toFixed(1)} ms`);
  } finally {
    await own.close();
  }
}

const browser = await launch(kind);
// Started first and awaited last: its 70 s pass while the other groups run.
const hidden = group('a hidden tab', hiddenTab);
try {
  await group('the caption and the canvas size', async () => {
    let page = await open(browser, '.');
    const one = await page.eval(`[document.title, [...document.querySelectorAll('h1')].map((h) => h.textContent.trim()).join('|'),
      __t.canvas().getBoundingClientRect().width, __t.canvas().getBoundingClientRect().height,
      __t.canvas().width, __t.canvas().height, __t.status()]`);
    // The same on a screen of two device pixels per CSS pixel, in a browser of its own.
    const dense = await launch(kind, { scale: 2 });
    let two;
    try {
      page = await open(dense, '.');
      two = await page.eval(`[__t.canvas().getBoundingClientRect().width, __t.canvas().getBoundingClientRect().height,
      __t.canvas().width, __t.canvas().height, zarvo1Page.picture().width, zarvo1Page.picture().height, devicePixelRatio]`);
    } finally {
      await dense.close();
    }
    // Screens between whole scales: the canvas and the picture have as many pixels as the screen gives the
    // canvas's box (the browser's own count, read here apart from the page's; the CSS size times the ratio,
    // rounded, where the browser gives none).
    const fractional = [];
    for (const scale of [1.25, 1.5]) {
      const b = await launch(kind, { scale });
      try {
        const p = await open(b, '.');
        fractional.push(await p.eval(`new Promise((done) => {
          const c = __t.canvas();
          const o = new ResizeObserver((entries) => {
            o.disconnect();
            const box = entries[0].devicePixelContentBoxSize ? entries[0].devicePixelContentBoxSize[0] : null;
            const r = c.getBoundingClientRect();
            done([devicePixelRatio, box ? box.inlineSize : Math.round(r.width * devicePixelRatio),
              box ? box.blockSize : Math.round(r.height * devicePixelRatio),
              c.width, c.height, zarvo1Page.picture().width, zarvo1Page.picture().height]);
          });
          try { o.observe(c, { box: 'device-pixel-content-box' }); } catch (e) { o.observe(c); }
        })`));
      } finally {
        await b.close();
      }
    }
    // The ratio must be the screen's asked for, and the canvas and the picture the screen's device pixels.
    const offScreen = fractional.filter(([r, dw, dh, cw, ch, pw, ph], i) =>
      r !== [1.25, 1.5][i] || cw !== dw || ch !== dh || pw !== dw || ph !== dh || Math.abs(dw - 503 * r) > 1);
    const [title, h1, cssW, cssH, w1, h1px, status] = one;
    const name = 'the caption "Zarvo1", a canvas of 503 x 380 CSS pixels, one canvas pixel per device pixel at scale 1, 1.25, 1.5 and 2';
    if (title !== 'Zarvo1' || h1 !== 'Zarvo1') report(false, name, `title ${JSON.stringify(title)}, h1 ${JSON.stringify(h1)}`);
    else if (cssW !== 503 || cssH !== 380 || w1 !== 503 || h1px !== 380) report(false, name, `scale 1: CSS ${cssW} x ${cssH}, canvas ${w1} x ${h1px}`);
    else if (two.join() !== '503,380,1006,760,1006,760,2') report(false, name, `ratio ${two[6]}: CSS ${two[0]} x ${two[1]}, canvas ${two[2]} x ${two[3]}, picture ${two[4]} x ${two[5]}`);
    else if (offScreen.length > 0) report(false, name, offScreen.map(([r, dw, dh, cw, ch, pw, ph]) => `ratio ${r}: the screen gives ${dw} x ${dh}, canvas ${cw} x ${ch}, picture ${pw} x ${ph}`).join('; '));
    else if (status !== '') report(false, name, `a status line while running: ${status}`);
    else report(true, name);
  });

  await group('trails and clicks', async () => {
    const page = await open(browser, '.');
    // The canvas's top-left corner in the viewport, for the clicks.
    const [cx, cy] = await page.eval(`[__t.canvas().getBoundingClientRect().left, __t.canvas().getBoundingClientRect().top]`);

    // The target colour starts black and walks away from it on its own: dim trails within a few ticks.
    let name = 'trails appear on their own';
    const dim = await until(page, '__t.litNow(0) >= 100', 8);
    report(dim, name, `only ${await page.eval('__t.litNow(0)')} pixels are not black after 8 s`);

    name = 'the canvas equals the core\'s picture, pixel for pixel';
    await brightTrails(page, cx + 250, cy + 190);
    const lit = await page.eval('__t.litNow(0)');
    const same = await until(page, '__t.afterFrame(() => __t.versusCore().differ === 0)', 3);
    if (lit < 300) report(false, name, `too few trails to compare (${lit} pixels)`);
    else report(same, name, `after every frame for 3 s the two differ: ${JSON.stringify(await page.eval('__t.versusCore()'))}`);

    name = 'a left click keeps the trails';
    await page.eval(`__t.snap('left')`);
    await page.click(cx + 100, cy + 100);
    await ticksPass(page, 3);
    const kept = await page.eval(`__t.kept('left')`);
    report(kept >= 95, name, `only ${kept}% of the trails are left`);

    name = 'a right click wipes the picture to black';
    await ticksPass(page, 5);
    const before = await page.eval(`__t.snap('right') && __t.lit(__t.snaps.right, 0)`);
    await page.click(cx + 300, cy + 300, { button: 'right' });
    const wiped = await until(page, `__t.kept('right') <= 20`, 3);
    if (before < 300) report(false, name, `too few trails to wipe (${before} pixels)`);
    else report(wiped, name, `${await page.eval(`__t.kept('right')`)}% of the trails are still there`);
  });

  await group('the colour', async () => {
    // From a fresh start the target colour stays near black for many seconds: bright pixels this soon
    // come from a new colour only. A new colour shows as bright pixels within about three seconds, unless
    // it is a dark one: hence a fresh page for each of three clicks that must not change it, and up to
    // three clicks that must.
    const name = 'a click with Shift alone picks a new colour; with Ctrl+Shift, Alt+Shift or all three it does not';
    let page;
    let cx;
    let cy;
    for (const [keys, mods] of [['Ctrl+Shift', { ctrl: true }], ['Alt+Shift', { alt: true, button: 'right' }],
      ['Ctrl+Alt+Shift', { ctrl: true, alt: true }]]) {
      page = await open(browser, '.');
      [cx, cy] = await page.eval(`[__t.canvas().getBoundingClientRect().left, __t.canvas().getBoundingClientRect().top]`);
      await page.click(cx + 250, cy + 190, { shift: true, ...mods });
      await ticksPass(page, 60);
      const bright = await page.eval('__t.litNow(100)');
      if (bright > 0) {
        report(false, name, `${bright} bright pixels three seconds after a click with ${keys}`);
        return;
      }
    }
    const changed = await brightTrails(page, cx + 250, cy + 190);
    report(changed >= 3, name, `only ${changed} bright pixels after three clicks with Shift`);
  });

  await group('the page filled and resized', async () => {
    const page = await open(browser, '?fill', { width: 640, height: 480 });
    const name = 'filling the page, a resize keeps the overlap, shows black in the new area and resets the chain';
    const first = await page.eval('[__t.canvas().width, __t.canvas().height]');
    const bright = await brightTrails(page, 320, 240);
    await ticksPass(page, 20);
    await page.eval(`__t.snap('resize')`);
    await page.resize(800, 560);
    const followed = await until(page, `__t.canvas().width === 800 && __t.canvas().height === 560 && zarvo1Page.picture().width === 800`, 5);
    const size = await page.eval(`[__t.canvas().width, __t.canvas().height].join(' x ')`);
    const kept = await page.eval(`__t.kept('resize')`);
    const brightBefore = await page.eval(`__t.snap('resized') && __t.lit(__t.snaps.resized, 48, 0, 0, 640, 480)`);
    // The reset makes the target colour black again, from where it walks slowly: for the next second the
    // chain can only darken what it passes, so no pixel turns bright, in the new area or the old one.
    await ticksPass(page, 20);
    const [right, below, brightLater] = await page.eval(`[__t.litNow(48, 640, 0, 800, 560), __t.litNow(48, 0, 480, 640, 560),
      __t.litNow(48, 0, 0, 640, 480)]`);
    if (first.join() !== '640,480') report(false, name, `the canvas is ${first.join(' x ')} in a page of 640 x 480`);
    else if (bright < 3) report(false, name, `too few bright trails to follow (${bright} pixels)`);
    else if (!followed) report(false, name, `the canvas is ${size} after the page became 800 x 560`);
    else if (kept < 90) report(false, name, `only ${kept}% of the picture was kept`);
    else if (right + below > 0) report(false, name, `${right} bright pixels to the right and ${below} below: the new area is not black or the colour was not reset`);
    else if (brightLater > brightBefore + 3) report(false, name, `the trails grew brighter after the resize (${brightBefore} to ${brightLater} bright pixels): no reset`);
    else report(true, name);
  });

  await group('Escape', async () => {
    const page = await open(browser, '.');
    const [cx, cy] = await page.eval(`[__t.canvas().getBoundingClientRect().left, __t.canvas().getBoundingClientRect().top]`);
    const name = 'Escape stops all change: no more ticks, the picture stays (clicks too), one status line';
    await brightTrails(page, cx + 250, cy + 190);
    await page.key('Escape');
    const ended = await until(page, 'zarvo1Page.ended === true', 3);
    const ticks = await page.eval(`__t.snap('end') && zarvo1Page.ticks()`);
    // Six timer periods on the page's own clock, with clicks in between that would change a running page.
    await page.eval('__t.after(150)');
    await page.click(cx + 100, cy + 100, { shift: true });
    await page.click(cx + 200, cy + 200, { button: 'right' });
    await page.eval('__t.after(150)');
    const [ticksLater, differ, core, status] = await page.eval(`__t.afterFrame(() => [zarvo1Page.ticks(), __t.differing('end'),
      __t.versusCore().differ, __t.status()])`);
    if (!ended) report(false, name, 'the page did not end');
    else if (ticksLater !== ticks) report(false, name, `${ticksLater - ticks} ticks ran after the end`);
    else if (differ !== 0) report(false, name, `${differ} pixels changed after the end`);
    else if (core !== 0) report(false, name, `the canvas differs from the core's picture in ${core} pixels`);
    else if (!status || status.includes('\n')) report(false, name, `status ${JSON.stringify(status)}`);
    else report(true, name);
  });

  await group('a huge size', async () => {
    const page = await browser.open(at('?size=65536x65536'), { width: 800, height: 600 });
    await page.eval(HELPERS);
    const name = 'a canvas of 65536 x 65536 gives one line saying it is out of memory';
    await until(page, `__t.status() !== ''`, 10);
    const status = await page.eval('__t.status()');
    if (!status) report(false, name, 'no status line');
    else if (status.includes('\n') || !/memory/i.test(status)) report(false, name, `status ${JSON.stringify(status)}`);
    else if (await page.eval('globalThis.zarvo1Page?.ready === true && !zarvo1Page.ended')) report(false, name, 'the page still runs');
    else report(true, name);
  });
} finally {
  await hidden;
  await browser.close();
}
