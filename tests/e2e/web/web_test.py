"""The browser's face in headless Chromium, against the native renderer.
   web_test.py RENDERER SITE [--measure]
Frames after ticks=N must equal glimracode-render's byte for byte; the settings designer must export,
import, link and refuse as the dialogs do; the saver mode must leave full screen on a key; markup in a
text setting must stay text, and the page's policy must report no violation."""
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse

import cdp

RENDERER, SITE = sys.argv[1], sys.argv[2]
PAGE_KEYS = ("seed", "ticks", "dpi")
BOOLEANS = ("flip-horizontal", "flip-vertical")
failures = []
scratch = tempfile.mkdtemp(prefix="glimra-web-")

# width, height (CSS pixels), device pixel ratio, address query.
FRAME_CASES = [
    (480, 320, 1, "seed=1&ticks=40"),
    (640, 400, 1, "seed=7&ticks=60&flip-horizontal=0&flip-vertical=1"),
    (400, 300, 1, "seed=3&ticks=30&font-size=36"),
    (320, 240, 2, "seed=5&ticks=25"),
    (500, 300, 1, "seed=11&ticks=50&dpi=120&saturation=60"),
    (320, 200, 1, "seed=2&ticks=40&creature-weight=0"),
    (320, 200, 1, "seed=2&ticks=40&sweeper-weight=0&saturation=40"),
    (320, 200, 1, "seed=2&ticks=40&static-weight=0"),
    (320, 200, 1, "seed=2&ticks=40&nothing-weight=0&volatility=100"),
    (360, 220, 1, "seed=4&ticks=45&creature-states=0&flipper-states=0&static-states=0"),
    (360, 220, 1, "seed=4&ticks=45&creature-states=50&flipper-states=50&static-states=50&speed-range=20"),
    (360, 220, 1, "seed=9&ticks=35&creature-start-color=%23FF80FF&static-mid-color=%23123456&start-char=33&end-char=126"),
]


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def query(text):
    return dict(urllib.parse.parse_qsl(text))


def renderer_frame(width, height, query, settings=None):
    """The renderer's last frame for the page's address query at width x height device pixels."""
    arguments = [RENDERER, "--size", f"{width}x{height}", "--every", "0", "--out", scratch]
    for key, value in urllib.parse.parse_qsl(query):
        if key in BOOLEANS:
            arguments.append(("--" if value == "1" else "--no-") + key)
        else:
            arguments += ["--" + key, value]
    if settings:
        arguments += ["--settings", settings]
    ticks = dict(urllib.parse.parse_qsl(query))["ticks"]
    arguments[arguments.index("--every") + 1] = ticks
    environment = {**os.environ, "XDG_CONFIG_HOME": scratch}  # no per-user settings file
    subprocess.run(arguments, check=True, stdout=subprocess.DEVNULL, env=environment)
    with open(os.path.join(scratch, f"frame-{int(ticks):06d}.png"), "rb") as frame:
        return cdp.read_png(frame.read())


def page_frame(browser, base, width, height, scale, query):
    # Settings kept from an earlier page apply when the address names none: start from none.
    browser.call("Storage.clearDataForOrigin", origin=base, storageTypes="local_storage")
    browser.open(f"{base}/?{query}", width, height, scale)
    # A change of density may reach the page after its first frame, which it then draws again.
    browser.wait_for(f"document.documentElement.dataset.size === '{width * scale}x{height * scale}'")
    browser.evaluate("document.getElementById('controls').style.visibility = 'hidden'")
    return browser.screenshot(width, height)


def same_frame(page, native, what):
    # Two black frames would agree on nothing: the animation must have drawn something.
    if page == native and any(native[2]):
        return check(True, what)
    first = next((i for i in range(min(len(page[2]), len(native[2]))) if page[2][i] != native[2][i]), None)
    where = f"at pixel ({first // 3 % page[0]}, {first // 3 // page[0]})" if first is not None else \
        "in size" if page[:2] != native[:2] else "in nothing: both are black"
    check(False, f"{what}: page {page[0]}x{page[1]} differs from the renderer's {native[0]}x{native[1]} {where}")


def settings_of(browser):
    """The address's keys and values, in no order."""
    return dict(urllib.parse.parse_qsl(browser.evaluate("location.search.slice(1)")))


def panel(browser, option, value, event):
    return browser.evaluate(f"""(() => {{ const input = document.getElementById('panel').elements.namedItem({option!r});
        input.value = {value!r}; input.dispatchEvent(new Event({event!r})); return !input.classList.contains('refused'); }})()""")


def import_file(browser, path):
    node = browser.call("DOM.querySelector", nodeId=browser.call("DOM.getDocument")["root"]["nodeId"],
                        selector="#import-file")["nodeId"]
    browser.evaluate("document.getElementById('message').textContent = ''")
    browser.call("DOM.setFileInputFiles", files=[path], nodeId=node)
    return browser.wait_for("document.getElementById('message').textContent", 10)


def export_file(browser):
    target = os.path.join(scratch, "glimracode.reg")
    if os.path.exists(target):
        os.remove(target)
    browser.call("Browser.setDownloadBehavior", behavior="allow", downloadPath=scratch)
    browser.evaluate("document.getElementById('export').click()")
    for _ in range(200):
        if os.path.exists(target) and os.path.getsize(target) > 0:
            return target
        time.sleep(0.05)
    raise TimeoutError("no export")


def main():
    sizes = {name: os.path.getsize(os.path.join(SITE, name)) for name in os.listdir(SITE)}
    check(sum(sizes.values()) <= 1_500_000, f"the site is {sum(sizes.values())} bytes, at most 1.5 MB")
    server = cdp.serve(SITE)
    base = f"http://127.0.0.1:{server.server_address[1]}"
    browser = cdp.Browser()
    try:
        for width, height, scale, address in FRAME_CASES:
            same_frame(page_frame(browser, base, width, height, scale, address),
                       renderer_frame(width * scale, height * scale, address + ("" if scale == 1 else f"&dpi={96 * scale}")),
                       f"frame {width * scale}x{height * scale} {address}")

        # A link reproduces its settings, in the panel and in the address.
        link = "saturation=30&creature-start-color=%23FF80FF&flip-vertical=1"
        browser.open(f"{base}/?{link}", 480, 320)
        shown = browser.evaluate("""(() => { const e = document.getElementById('panel').elements;
            return [e.saturation.value, e['creature-start-color'].value, e['flip-vertical'].checked]; })()""")
        check(shown == ["30", "#ff80ff", True] and settings_of(browser) == query(link), f"the link {link} shows {shown}")

        # Export, then the renderer on that file and an import into a fresh page give the same.
        exported = export_file(browser)
        native = renderer_frame(480, 320, "seed=6&ticks=30", settings=exported)
        same_frame(page_frame(browser, base, 480, 320, 1, link + "&seed=6&ticks=30"), native,
                   "an exported file drawn by the renderer equals the page")
        browser.open(f"{base}/?seed=6&ticks=30", 480, 320)
        browser.evaluate("document.getElementById('defaults').click()")
        check(import_file(browser, exported) == "Imported glimracode.reg" and
              settings_of(browser) == query(link + "&seed=6&ticks=30"),
              f"Export then Import restores {link}")
        # As Windows' regedit exports the key: version 5.00, in UTF-16 with a byte-order mark.
        with open(exported, encoding="latin-1") as file:
            windows = file.read().replace("REGEDIT4", "Windows Registry Editor Version 5.00", 1)
        windows_file = os.path.join(scratch, "windows.reg")
        with open(windows_file, "wb") as file:
            file.write(b"\xff\xfe" + windows.encode("utf-16-le"))
        browser.evaluate("document.getElementById('defaults').click()")
        check(import_file(browser, windows_file) == "Imported windows.reg" and
              settings_of(browser) == query(link + "&seed=6&ticks=30"), "a regedit export from Windows imports")
        not_reg = os.path.join(scratch, "notes.reg")
        with open(not_reg, "w") as file:
            file.write("Delay=5\n")
        said = import_file(browser, not_reg)
        check("'notes.reg' is not a registry export" in said and settings_of(browser) == query(link + "&seed=6&ticks=30"),
              f"a file that is no export is refused and changes nothing: {said!r}")

        # The panel's pairs take what the dialog's take: option, text, taken.
        browser.open(f"{base}/", 480, 320)
        for option, text, taken in [("delay", "5001", False), ("delay", "-1", False), ("delay", "12x", False),
                                    ("delay", "250", True), ("saturation", "101", False), ("saturation", "100", True),
                                    ("creature-states", "51", False), ("speed-range", "20", True),
                                    ("start-char", "255", False), ("font-size", "401", False), ("font-size", "24", True),
                                    ("creature-end-color", "#102030", True)]:
            before = settings_of(browser)
            answer = panel(browser, option, text, "input")
            after = settings_of(browser)
            check(answer == taken and (after.get(option) == text if taken else after == before),
                  f"the panel {'takes' if taken else 'refuses'} {option} {text}")

        # The saver mode: F enters full screen, any key leaves it.
        browser.open(f"{base}/", 480, 320)
        browser.key("f", "KeyF")
        entered = browser.wait_for("document.fullscreenElement !== null", 5)
        browser.key("x", "KeyX")
        check(entered and browser.wait_for("document.fullscreenElement === null", 5), "F enters full screen, a key leaves")

        # Markup in the text setting, from a link and from a file, is text; the policy blocks script.
        markup = "<img src=x onerror=alert(1)>"
        browser.open(f"{base}/?font={urllib.parse.quote(markup)}", 480, 320)
        check(browser.evaluate("document.getElementById('panel').elements.font.value") == markup and
              browser.evaluate("document.querySelectorAll('img, script:not([src])').length") == 0 and
              settings_of(browser) == {"font": markup}, "markup in a link is text")
        browser.open(f"{base}/", 480, 320)
        browser.evaluate("document.getElementById('defaults').click()")
        script = '<script>document.title="owned"</script>'
        with open(export_file(browser), encoding="latin-1") as file:
            crafted = file.read().replace('"Japanese Generic1"', '"' + script.replace('"', '\\"') + '"')
        check(script in crafted.replace('\\"', '"'), "the crafted file holds the script")
        with open(os.path.join(scratch, "crafted.reg"), "w", encoding="latin-1", newline="") as file:
            file.write(crafted)
        import_file(browser, os.path.join(scratch, "crafted.reg"))
        check(browser.evaluate("document.getElementById('panel').elements.font.value") == script and
              settings_of(browser) == {"font": script}, "markup in a file is text")
        check(browser.evaluate("document.title") == "GlimraCode", "no script ran from a file")
        # The policy is in force: an inline script the test plants is refused and reported.
        browser.evaluate("(() => { const s = document.createElement('script'); s.textContent = 'window.planted = 1';"
                         " document.body.appendChild(s); })()")
        planted = browser.messages("Content Security Policy")
        check(browser.evaluate("window.planted === undefined") and len(planted) == 1,
              f"the policy refuses a planted inline script, and that is its one report ({len(planted)})")
        if "--measure" in sys.argv:
            measure(browser, base)
    finally:
        browser.close()
        server.shutdown()
    if failures:
        print(f"web: {len(failures)} check(s) failed")
        sys.exit(1)
    print("web: every check passed")


def measure(browser, base):
    for name in sorted(os.listdir(SITE)):
        print(f"size {os.path.getsize(os.path.join(SITE, name)):>8} {name}")
    # The first frame is timed from navigation, the way a visitor waits for it.
    browser.open(f"{base}/?seed=1", 1920, 1080)
    print("first frame %.0f ms after navigation" %
          browser.evaluate("performance.getEntriesByName('glimracode-first-frame')[0].startTime"))
    browser.open(f"{base}/?seed=1&delay=0", 1920, 1080)
    browser.evaluate("_glimra_step(200)")
    print("engine tick at 1920x1080, defaults: %.3f ms" %
          browser.evaluate("(() => { const t = performance.now(); _glimra_step(1000); return (performance.now() - t) / 1000; })()"))
    # The page's whole tick: the step, the damage converted in bands, and each band put on the canvas.
    print("whole tick with %.0f bands: %.3f ms" % tuple(browser.evaluate("""(() => {
        const c = document.getElementById('screen'), g = c.getContext('2d');
        const image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, _glimra_pixels(), c.width * c.height * 4), c.width, c.height);
        let bands = 0; const t = performance.now();
        for (let i = 0; i < 500; ++i) {
            const n = _glimra_step(1), r = _glimra_rects() >> 2; bands += n;
            for (let k = r; k < r + 4 * n; k += 4) g.putImageData(image, 0, 0, HEAP32[k], HEAP32[k + 1], HEAP32[k + 2], HEAP32[k + 3]);
        }
        return [bands / 500, (performance.now() - t) / 500]; })()""")))

main()
