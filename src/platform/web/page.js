// Zarvo1's page script, appended to the module's glue (zarvo1.js): it translates the page's events into
// calls of the module and copies the changed regions of the picture to the canvas.
//
// What the page promises (its tests rely on it):
//   <canvas id="picture">   the picture, one canvas pixel per device pixel
//   <p id="status">         empty while the program runs; one line once it has ended (Escape) or failed
//   document.title === "Zarvo1", and an <h1>Zarvo1</h1>
//   ?fill                   the canvas fills the window and follows its size
//   ?size=WxH               the canvas's size in CSS pixels (default 503x380)
//   globalThis.zarvo1Page = {
//     ready,                true once the first picture is on the canvas
//     ended,                true once the program has stopped (Escape or a failure; #status says which)
//     picture(),            {width, height, data: Uint8Array}: an RGBA copy of the program's own picture
//     ticks(),              how many ticks have run
//     wakes(),              how many times the timer has fired (once a minute while the tab is hidden)
//   }
(function () {
  "use strict";
  const canvas = document.getElementById("picture");
  const status = document.getElementById("status");
  const params = new URLSearchParams(location.search);
  const fill = params.has("fill");
  const page = { ready: false, ended: false, picture: picture, ticks: () => (started ? _zarvo1_ticks() >>> 0 : 0),
    wakes: () => wakes };
  globalThis.zarvo1Page = page;
  let context = null;
  let image = null; // an ImageData over the module's RGBA bytes; made again when they move or memory grows
  let timer = 0;
  let wakes = 0;
  let started = false;

  function running() {
    return started && !page.ended;
  }

  // The program has stopped: the timer with it; the picture stays and the line says why.
  function stop(line) {
    page.ended = true;
    clearTimeout(timer);
    status.textContent = line;
  }

  function failed(error) {
    if (!page.ended) {
      stop("run-time error: " + (error && error.message ? error.message : String(error)));
    }
  }

  // After every call: copy what changed to the canvas, and stop when the program has.
  function after(wait) {
    const count = _zarvo1_region_count();
    if (count > 0) {
      const width = _zarvo1_rgba_width();
      const height = _zarvo1_rgba_height();
      const bytes = _zarvo1_rgba();
      if (!image || image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== bytes ||
          image.width !== width || image.height !== height) {
        image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, bytes, width * height * 4), width, height);
      }
      const at = _zarvo1_regions() >> 2;
      for (let i = 0; i < count; ++i) {
        const r = at + 4 * i;
        context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
      }
    }
    if (wait < 0) {
      stop(UTF8ToString(_zarvo1_message()));
    }
    return wait;
  }

  // Runs one call of the module; a failure outside it (a trap, a browser's refusal) stops the program too.
  function call(body) {
    if (page.ended) {
      return -1;
    }
    try {
      return after(body());
    } catch (error) {
      failed(error);
      return -1;
    }
  }

  // The timer runs for the wait the last call gave: 50 ms in view, a minute in a hidden tab.
  function rearm(wait) {
    clearTimeout(timer);
    if (wait >= 0) {
      timer = setTimeout(tick, wait);
    }
  }

  function tick() {
    ++wakes;
    rearm(call(() => _zarvo1_tick()));
  }

  // Hidden, the program waits a minute between wakes rather than being left to the browser's throttling;
  // back in view, it runs every tick that fell due and the whole picture reaches the canvas at once.
  function visibilityChanged() {
    if (running()) {
      rearm(call(() => _zarvo1_visibility(document.hidden ? 0 : 1)));
    }
  }

  // The canvas's size in device pixels: what the observer measured, or the CSS size times the ratio.
  function resized(width, height) {
    width = Math.max(0, Math.round(width));
    height = Math.max(0, Math.round(height));
    if (!running() || (width === canvas.width && height === canvas.height)) {
      return;
    }
    canvas.width = width; // clears the canvas: the resize shows all of the picture again
    canvas.height = height;
    call(() => _zarvo1_resize(width, height));
  }

  // The canvas's size in device pixels for a CSS size: the browser's own count where it gives one that agrees
  // with the ratio (it snaps to whole device pixels; a browser emulating another ratio counts its screen's),
  // otherwise the CSS size times the ratio.
  let deviceBox = null;
  function devicePixels(cssWidth, cssHeight) {
    const width = cssWidth * devicePixelRatio;
    const height = cssHeight * devicePixelRatio;
    if (deviceBox && Math.abs(deviceBox.inlineSize - width) <= 1 && Math.abs(deviceBox.blockSize - height) <= 1) {
      return [deviceBox.inlineSize, deviceBox.blockSize];
    }
    return [width, height];
  }

  function measure() {
    const box = canvas.getBoundingClientRect();
    resized(...devicePixels(box.width, box.height));
  }

  function modifierKeys(e) {
    return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
  }

  function picture() {
    if (!started) {
      return { width: 0, height: 0, data: new Uint8Array(0) };
    }
    const width = _zarvo1_width();
    const height = _zarvo1_height();
    const words = HEAPU32.subarray(_zarvo1_pixels() >> 2, (_zarvo1_pixels() >> 2) + width * height);
    const data = new Uint8Array(width * height * 4);
    for (let i = 0; i < words.length; ++i) {
      const w = words[i]; // 0x00RRGGBB
      data[4 * i] = w >>> 16;
      data[4 * i + 1] = (w >>> 8) & 0xff;
      data[4 * i + 2] = w & 0xff;
      data[4 * i + 3] = 255;
    }
    return { width: width, height: height, data: data };
  }

  function start() {
    if (fill) {
      document.body.classList.add("fill");
    } else {
      const size = /^(\d+)x(\d+)$/.exec(params.get("size") || "");
      canvas.style.width = (size ? Number(size[1]) : 503) + "px";
      canvas.style.height = (size ? Number(size[2]) : 380) + "px";
    }
    // Desynchronized: the canvas is shown as it is drawn, not copied whole to a new buffer for each frame
    // with a change in it (half of what an animated canvas costs all processes; ignored where unsupported).
    context = canvas.getContext("2d", { alpha: false, desynchronized: true });
    const box = canvas.getBoundingClientRect();
    const [width, height] = devicePixels(box.width, box.height);
    canvas.width = Math.round(width);
    canvas.height = Math.round(height);
    started = true;
    const wait = call(() => _zarvo1_start(canvas.width, canvas.height));
    if (wait < 0) {
      return;
    }
    page.ready = true;
    rearm(wait);

    canvas.addEventListener("pointerdown", (e) => {
      e.preventDefault();
      const box = canvas.getBoundingClientRect();
      const x = ((e.clientX - box.left) * canvas.width) / (box.width || 1);
      const y = ((e.clientY - box.top) * canvas.height) / (box.height || 1);
      call(() => _zarvo1_pointer(e.button, modifierKeys(e), x, y));
    });
    canvas.addEventListener("mousedown", (e) => e.preventDefault()); // no scrolling by the middle button
    canvas.addEventListener("contextmenu", (e) => e.preventDefault());
    document.addEventListener("keydown", (e) => {
      if (running()) {
        call(() => _zarvo1_key(e.keyCode, modifierKeys(e)));
      }
    });
    document.addEventListener("visibilitychange", visibilityChanged);
    if (document.hidden) {
      visibilityChanged(); // started in a background tab
    }
    // Every change of the canvas's size, and of the ratio (the zoom), which changes its device pixels.
    if (typeof ResizeObserver === "function") {
      const observer = new ResizeObserver((entries) => {
        const entry = entries[entries.length - 1];
        deviceBox = entry.devicePixelContentBoxSize ? entry.devicePixelContentBoxSize[0] : null;
        resized(...devicePixels(entry.contentRect.width, entry.contentRect.height));
      });
      try {
        observer.observe(canvas, { box: "device-pixel-content-box" });
      } catch (error) {
        observer.observe(canvas);
      }
    }
    addEventListener("resize", measure);
  }

  Module.onAbort = (what) => failed(what);
  Module.onRuntimeInitialized = () => {
    try {
      start();
    } catch (error) {
      failed(error);
    }
  };
})();
