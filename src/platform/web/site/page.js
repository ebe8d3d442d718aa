// The page around the animation, appended to emscripten's script so that the site has one script
// file. It owns what only script can do: the canvas, the timer, the keys, the Fullscreen API, the
// address, local storage and files. Every pixel and every rule of a setting comes from the C++ side.
// Nothing from the address, local storage or a file is ever put into the page as markup.
(function () {
  'use strict';
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', { alpha: false });
  const panel = document.getElementById('panel');
  const message = document.getElementById('message');
  const linkField = document.getElementById('link');
  // Address keys of the page itself; every other key is a setting's option name of --help.
  const PageKeys = ['seed', 'ticks', 'dpi'];
  const StorageKey = 'glimracode-settings';
  const params = new URLSearchParams(location.search);
  let size = { width: 0, height: 0 };
  let image = null;
  let delay = 0;
  let timer = 0;
  let due = 0;
  let saver = null;
  let ticked = false;

  // C strings for the duration of one call.
  function withStrings(strings, call) {
    const pointers = strings.map((text) => {
      const length = lengthBytesUTF8(text) + 1;
      const pointer = _malloc(length);
      stringToUTF8(text, pointer, length);
      return pointer;
    });
    try {
      return call(...pointers);
    } finally {
      pointers.forEach((pointer) => _free(pointer));
    }
  }
  function bytesAt(pointer) {
    let end = pointer;
    while (HEAPU8[end] !== 0) ++end;
    return HEAPU8.slice(pointer, end);
  }
  function say(text) {
    message.textContent = text;
  }

  function present(count) {
    if (count === 0) return;
    const pixels = _glimra_pixels();
    const bytes = size.width * size.height * 4;
    if (!image || image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== pixels) {
      image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, bytes), size.width, size.height);
    }
    const rects = _glimra_rects() >> 2;
    for (let i = 0; i < count; ++i) {
      const r = rects + i * 4;
      context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
  }

  // Timer-driven at the tick delay, never faster than the display asks; nothing while hidden.
  function schedule() {
    clearTimeout(timer);
    timer = 0;
    if (params.has('ticks') || document.hidden || delay <= 0) return;
    const now = performance.now();
    due = due > now - delay ? due + delay : now + delay;
    timer = setTimeout(tick, Math.max(0, due - now));
  }
  function tick() {
    timer = 0;
    present(_glimra_step(1));
    schedule();
  }

  function whole(text, low, high) {
    return /^[0-9]+$/.test(text) && Number(text) >= low && Number(text) <= high ? Number(text) : null;
  }

  // One canvas pixel per device pixel, at 96 pixels per inch times the device's pixel ratio, since
  // the font size is in points.
  function start() {
    const ratio = window.devicePixelRatio || 1;
    size = { width: Math.max(1, Math.round(innerWidth * ratio)), height: Math.max(1, Math.round(innerHeight * ratio)) };
    canvas.width = size.width;
    canvas.height = size.height;
    canvas.style.width = size.width / ratio + 'px';
    canvas.style.height = size.height / ratio + 'px';
    const dpi = params.has('dpi') ? whole(params.get('dpi'), 1, 480) : Math.round(96 * ratio);
    image = null;
    delay = withStrings([params.get('seed') || ''], (seed) =>
      _glimra_start(size.width, size.height, dpi === null ? 96 : dpi, seed));
    if (delay < 0) {
      say('seed takes a whole number; the clock seeds this run');
      delay = withStrings([''], (seed) => _glimra_start(size.width, size.height, dpi || 96, seed));
    }
    if (params.has('ticks')) {
      const ticks = whole(params.get('ticks'), 0, 100000000);
      present(_glimra_step(ticks === null ? 0 : ticks));
    } else {
      present(_glimra_step(0));
    }
    if (!ticked) {
      ticked = true;
      performance.mark('glimracode-first-frame');
    }
    document.documentElement.dataset.state = 'drawn';
    document.documentElement.dataset.size = size.width + 'x' + size.height;
    due = 0;
    schedule();
  }

  function rows() {
    return JSON.parse(UTF8ToString(_glimra_settings()));
  }
  function showValues() {
    for (const row of rows()) {
      const input = panel.elements.namedItem(row.option);
      if (!input) continue;
      if (row.control === 'check') input.checked = row.value === '1';
      else input.value = row.control === 'colour' ? row.value.toLowerCase() : row.value;
      input.classList.remove('refused');
      input.removeAttribute('title');
    }
  }

  // The settings differing from the defaults go into the address, beside the page's own keys, and
  // into local storage.
  function remember() {
    const query = UTF8ToString(_glimra_link());
    const address = new URLSearchParams(query);
    for (const key of PageKeys) if (params.has(key)) address.set(key, params.get(key));
    const search = address.toString();
    history.replaceState(null, '', search ? '?' + search : location.pathname);
    linkField.value = location.href;
    try {
      localStorage.setItem(StorageKey, query);
    } catch (error) {
      // Storage may be refused (private windows, policies); the address still holds the settings.
    }
  }
  function changed() {
    remember();
    start();
  }

  function edit(input, value) {
    const refusal = withStrings([input.name, value], (option, text) => UTF8ToString(_glimra_edit(option, text)));
    input.classList.toggle('refused', refusal !== '');
    if (refusal) input.title = refusal;
    else input.removeAttribute('title');
    say(refusal);
    if (!refusal) changed();
  }

  function buildPanel() {
    const pages = document.getElementById('pages');
    const groups = new Map();
    for (const row of rows()) {
      let page = groups.get(row.page);
      if (!page) {
        page = document.createElement('fieldset');
        page.appendChild(document.createElement('legend')).textContent = row.page;
        pages.appendChild(page);
        groups.set(row.page, page);
      }
      let group = page;
      if (row.frame) {
        const key = row.page + '\n' + row.frame;
        group = groups.get(key);
        if (!group) {
          group = page.appendChild(document.createElement('fieldset'));
          group.appendChild(document.createElement('legend')).textContent = row.frame;
          groups.set(key, group);
        }
      }
      const label = group.appendChild(document.createElement('label'));
      label.className = 'row';
      label.appendChild(document.createElement('span')).textContent = row.label;
      const input = label.appendChild(document.createElement('input'));
      input.name = row.option;
      input.title = '';
      if (row.control === 'check') {
        input.type = 'checkbox';
        input.addEventListener('change', () => edit(input, input.checked ? '1' : '0'));
      } else if (row.control === 'colour') {
        input.type = 'color';
        input.addEventListener('input', () => edit(input, input.value));
      } else if (row.control === 'text') {
        input.type = 'text';
        input.maxLength = row.max;
        input.addEventListener('change', () => edit(input, input.value));
      } else {
        input.type = 'number';
        input.min = row.min;
        input.max = row.max;
        input.step = 1;
        input.addEventListener('input', () => edit(input, input.value));
        // A refused number gives way to the last one taken, as the dialog's pair does.
        input.addEventListener('change', () => {
          if (input.classList.contains('refused')) showValues();
        });
      }
    }
    showValues();
  }

  function applyQuery(query, source) {
    const refusals = [];
    // Not a destructuring loop: emscripten's optimiser of this version drops its bindings.
    query.forEach((value, key) => {
      if (PageKeys.includes(key)) return;
      const refusal = withStrings([key, value], (option, text) => UTF8ToString(_glimra_apply(option, text)));
      if (refusal) refusals.push(source + ': ' + refusal);
    });
    say(refusals.join('\n'));
  }

  function exportFile() {
    const bytes = bytesAt(_glimra_export());
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.download = 'glimracode.reg';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }
  async function importFile(file) {
    // One byte past the largest settings file is enough for the store to refuse a larger one.
    const bytes = new Uint8Array(await file.slice(0, (1 << 20) + 1).arrayBuffer());
    const pointer = _malloc(bytes.length + 1);
    HEAPU8.set(bytes, pointer);
    const refusal = withStrings([file.name], (name) => UTF8ToString(_glimra_import(pointer, bytes.length, name)));
    _free(pointer);
    say(refusal || 'Imported ' + file.name);
    if (!refusal) {
      showValues();
      changed();
    }
  }

  function togglePanel() {
    panel.hidden = !panel.hidden;
  }
  // The saver's rules: a key, a click, or the pointer moved more than a few pixels after the first
  // two seconds ends it.
  function enterSaver() {
    if (saver || !document.documentElement.requestFullscreen) return;
    document.documentElement.requestFullscreen().then(() => {
      saver = { since: performance.now(), x: null, y: null };
      document.body.classList.add('saver');
    }, (error) => say('Full screen was refused: ' + error.message));
  }
  function leaveSaver() {
    if (document.fullscreenElement) document.exitFullscreen();
  }
  document.addEventListener('fullscreenchange', () => {
    if (document.fullscreenElement) return;
    saver = null;
    document.body.classList.remove('saver');
  });
  document.addEventListener('keydown', (event) => {
    if (saver) {
      event.preventDefault();
      leaveSaver();
      return;
    }
    if (event.target instanceof HTMLInputElement || event.ctrlKey || event.altKey || event.metaKey) return;
    if (event.key === 'f' || event.key === 'F') enterSaver();
    else if (event.key === 's' || event.key === 'S') togglePanel();
  });
  document.addEventListener('mousedown', () => saver && leaveSaver());
  document.addEventListener('mousemove', (event) => {
    if (!saver) return;
    if (saver.x === null || performance.now() - saver.since < 2000) {
      saver.x = event.screenX;
      saver.y = event.screenY;
    } else if (Math.abs(event.screenX - saver.x) > 5 || Math.abs(event.screenY - saver.y) > 5) {
      leaveSaver();
    }
  });

  document.addEventListener('visibilitychange', () => {
    due = 0;
    schedule();
  });
  let resizing = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizing);
    resizing = setTimeout(start, 100);
  });
  // A move to a screen of another density changes the ratio without always resizing the window.
  function watchDensity() {
    matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)').addEventListener('change', () => {
      start();
      watchDensity();
    }, { once: true });
  }

  async function open() {
    const response = await fetch('GlimraCode.TTF');
    const font = new Uint8Array(await response.arrayBuffer());
    const pointer = _malloc(font.length);
    HEAPU8.set(font, pointer);
    const opened = _glimra_open(pointer, font.length);
    _free(pointer);
    if (!opened) {
      say('The glyph font could not be loaded.');
      return;
    }
    const own = [...params.keys()].some((key) => !PageKeys.includes(key));
    let stored = null;
    try {
      stored = localStorage.getItem(StorageKey);
    } catch (error) {
      stored = null;
    }
    if (own) applyQuery(params, 'address');
    else if (stored) applyQuery(new URLSearchParams(stored), 'saved settings');
    buildPanel();
    remember();
    start();
    watchDensity();
    document.getElementById('open-settings').addEventListener('click', togglePanel);
    document.getElementById('close-settings').addEventListener('click', togglePanel);
    document.getElementById('full-screen').addEventListener('click', enterSaver);
    document.getElementById('defaults').addEventListener('click', () => {
      _glimra_defaults();
      showValues();
      say('');
      changed();
    });
    document.getElementById('export').addEventListener('click', exportFile);
    const chooser = document.getElementById('import-file');
    document.getElementById('import').addEventListener('click', () => chooser.click());
    chooser.addEventListener('change', () => {
      if (chooser.files.length) importFile(chooser.files[0]);
      chooser.value = '';
    });
    panel.addEventListener('submit', (event) => event.preventDefault());
  }

  if (runtimeInitialized) open();
  else addOnPostRun(open);
})();
