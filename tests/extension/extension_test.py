#!/usr/bin/env python3
"""The extension in a real browser (Debian's chromium or firefox-esr) with the player as its
native host under Wine, all on the display of with-display.sh: a page of applets served over
loopback plays in its canvases, a click in a canvas reaches the plug-in's window, the two embeds
of one group share one renderer, a closed tab leaves no renderer behind, and a killed host leaves its message in the
canvases, as does one that is not registered.

The browser writes only into a temporary HOME: its profile and the host manifests that name a
wrapper script, which runs the player in a Wine prefix of this test's own. Pictures are read
from screenshots of the display (ImageMagick), input goes in through xdotool. Every wait is
bounded; the browser and the prefix's Wine processes end with the test.
"""
import argparse
import http.server
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

HOST_NAME = "org.orbolanth.player"
EXTENSION_ORIGIN = "chrome-extension://mlldpcenpjnjhndloennphfbfndfdhbp/"
EXTENSION_ID = "orbolanth-player@orbolanth.org"
# Page colour around the canvases, which no browser's own interface uses: where it starts on the
# screen is where the page starts.
PAGE_RGB = (255, 0, 255)
# The colour the extension paints a canvas with before its first frame and behind its messages.
EMPTY_RGB = (128, 128, 128)
# The browser's window, x, y, width, height: below the top of the screen, where the host under
# Wine keeps the windows it plays the applets in (Wine reads their pictures from the screen).
WINDOW = (0, 320, 1200, 700)
# Places on the pages away from the canvases: a click opens the applets' tab (on the start
# page), or takes the focus from the canvases.
OPEN_CLICK = (900, 300)
BLUR_CLICK = (1000, 450)

# The orbit sample in two windows of one group (a renderer for both), and a still scene through
# the control's <object> form (a renderer of its own). CSS pixels, and
# device pixels too: the virtual display has one of each per inch alike.
MAIN = (10, 10, 320, 240)
OVERVIEW = (340, 10, 160, 120)
STILL = (10, 270, 320, 240)
APPLET_PAGE = f"""<!DOCTYPE html>
<html><head><title>applets</title></head>
<body style="margin:0; background:#ff00ff">
<embed type="application/x-orbolanth-3d-applet" src="orbit.obvm" width=320 height=240
       WindowName="main" GroupName="orbit" AlwaysActive="yes"
       style="position:absolute; left:{MAIN[0]}px; top:{MAIN[1]}px">
<embed type="application/x-Orbolanth-3D-Applet" width=160 height=120 WindowName="overview"
       GroupName="orbit" AlwaysActive="yes" style="position:absolute; left:{OVERVIEW[0]}px; top:{OVERVIEW[1]}px">
<object classid="clsid:7B9DBB87-D073-440A-A713-787FD3FD89EF" width=320 height=240
        style="position:absolute; left:{STILL[0]}px; top:{STILL[1]}px">
  <param name="src" value="still.obvm">
  <param name="WindowName" value="still">
  <param name="AlwaysActive" value="yes">
</object>
</body></html>
"""
# The first tab: a click anywhere opens the applets in a tab of their own, which can then be
# closed while the browser stays.
START_PAGE = """<!DOCTYPE html>
<html><head><title>start</title></head>
<body style="margin:0; background:#ff00ff">
<a href="applets.html" target="_blank" style="display:block; width:100%; height:100vh"></a>
</body></html>
"""
STILL_SCENE = """orbolanth-scene 1
background #204060 #000000
camera 0 2 6 target 0 0 0 fov 45
ambient #303030
light -2 3 3 #ffffff
mesh block box 1.6 1 0.6
object block block
  colour #e0c040
  shading flat
end
object left block
  position -1.6 0 0
  colour #40c0e0
end
"""
PAGES = {"/start.html": START_PAGE, "/applets.html": APPLET_PAGE, "/still.obvm": STILL_SCENE}


class Failed(Exception):
    pass


def wait_for(what, condition, seconds, step=0.25):
    """condition()'s first true value within `seconds`, else Failed naming `what`."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failed(f"{what}: not within {seconds} s")
        time.sleep(step)


class Site(http.server.ThreadingHTTPServer):
    """The test's pages over loopback, and the sample applets beside them."""

    def __init__(self, samples):
        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=samples, **kwargs)

            def do_GET(self):
                page = PAGES.get(self.path.split("?")[0])
                if page is None:
                    return super().do_GET()
                body = page.encode()
                self.send_response(200)
                self.send_header("Content-Type", self.guess_type(self.path))
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        self.daemon_threads = True
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"


class Screen:
    """The display's pixels, as one screenshot."""

    def __init__(self):
        geometry = subprocess.run(["xdpyinfo"], capture_output=True, text=True, timeout=30).stdout
        self.width, self.height = map(int, re.search(r"dimensions:\s+(\d+)x(\d+)", geometry).groups())
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], capture_output=True,
                             timeout=30).stdout
        if len(raw) != self.width * self.height * 3:
            raise Failed(f"screenshot of {len(raw)} bytes for {self.width}x{self.height}")
        self.raw = raw

    def page_origin(self):
        """Where the page starts: the top left of its colour, or None when it is not shown."""
        colour = bytes(PAGE_RGB)
        row_bytes = self.width * 3
        for y in range(self.height):
            row = self.raw[y * row_bytes:(y + 1) * row_bytes]
            at = row.find(colour)
            while at != -1 and at % 3:
                at = row.find(colour, at + 1)
            if at != -1:
                return at // 3, y
        return None

    def pixels(self, box):
        """The pixels of (x, y, width, height) as bytes, row after row."""
        x, y, width, height = box
        row_bytes = self.width * 3
        return b"".join(self.raw[(y + row) * row_bytes + x * 3:(y + row) * row_bytes + (x + width) * 3]
                        for row in range(height))


def colours(pixels):
    return len({pixels[i:i + 3] for i in range(0, len(pixels), 3)})


def share_of(pixels, rgb):
    return pixels.count(bytes(rgb)) * 3 / max(1, len(pixels))


class WinePrefix:
    """The test's own prefix, made once and kept, with the build's renderer installed."""

    def __init__(self, wine_run, path, renderer):
        self.wine_run = wine_run
        self.path = Path(path)
        self.env = dict(os.environ, WINEPREFIX=str(self.path), WINEDEBUG="-all")
        windows_renderer = "Z:" + renderer.replace("/", "\\")
        subprocess.run([wine_run, "reg", "add", r"HKLM\SOFTWARE\Orbolanth\ActiveXOrbolanth", "/v", "RendererPath",
                        "/t", "REG_SZ", "/d", windows_renderer, "/f"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=180, check=True)

    def processes(self, program):
        """The ids of this prefix's processes whose program starts with `program`, a path prefix
        in any letter case."""
        return self._matching(lambda command: command.lower().startswith(program.lower()))

    def renderers(self):
        """The renderers running in this prefix. The plug-in starts the renderer by its short
        name, whose folders too may be short names (a folder such as `tmp.AbCdEf123` has no
        8.3 form of its own), so they go by the file name alone: the only programs of this
        prefix whose names begin "orbr" are the renderer, long ("orbrenderer.exe") or short
        ("ORBR~XKH.EXE")."""
        return self._matching(lambda command: command.replace("/", "\\").rsplit("\\", 1)[-1].lower()
                              .startswith("orbr"))

    def _matching(self, wanted):
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                command = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
                if not wanted(command):
                    continue
                environment = (entry / "environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if f"WINEPREFIX={self.path}".encode() in environment:
                found.append(int(entry.name))
        return found

    def end(self):
        for flag in ("-k", "-w"):
            subprocess.run(["wineserver", flag], env=self.env, timeout=60)


class Browser:
    """One browser, started afresh with the extension and our host, in the test's HOME."""

    def __init__(self, kind, args, home, start_url):
        self.kind = kind
        self.home = Path(home)
        self.manifests = []
        self.env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(self.home / ".config"),
                        XDG_CACHE_HOME=str(self.home / ".cache"))
        host = self.write_host(args)
        if kind == "chromium":
            profile = self.home / "chromium-profile"
            self.write_manifest(profile / "NativeMessagingHosts", host, allowed_origins=[EXTENSION_ORIGIN])
            self.write_manifest(self.home / ".config/chromium/NativeMessagingHosts", host,
                                allowed_origins=[EXTENSION_ORIGIN])
            argv = ["chromium", "--no-sandbox", f"--load-extension={args.extension}",
                    "--disable-features=DisableLoadExtensionCommandLineSwitch", f"--user-data-dir={profile}",
                    "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--password-store=basic",
                    "--disable-session-crashed-bubble", f"--window-position={WINDOW[0]},{WINDOW[1]}",
                    f"--window-size={WINDOW[2]},{WINDOW[3]}", start_url]
        else:
            self.write_manifest(self.home / ".mozilla/native-messaging-hosts", host,
                                allowed_extensions=[EXTENSION_ID])
            profile = self.home / "firefox-profile"
            (profile / "extensions").mkdir(parents=True)
            (profile / "extensions" / EXTENSION_ID).write_text(args.extension)
            prefs = {"xpinstall.signatures.required": False, "extensions.autoDisableScopes": 0,
                     "extensions.enabledScopes": 15, "browser.shell.checkDefaultBrowser": False,
                     "browser.startup.homepage_override.mstone": "ignore", "browser.aboutwelcome.enabled": False,
                     "datareporting.policy.dataSubmissionEnabled": False, "app.update.disabledForTesting": True,
                     "toolkit.telemetry.reportingpolicy.firstRun": False, "browser.tabs.warnOnClose": False,
                     "extensions.originControls.grantByDefault": True}
            (profile / "user.js").write_text("".join(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n"
                                                     for name, value in prefs.items()))
            argv = ["firefox-esr", "--profile", str(profile), "--no-remote", "--new-instance", start_url]
        self.log = open(self.home / f"{kind}.log", "wb")
        self.process = subprocess.Popen(argv, env=self.env, stdout=self.log, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        if kind == "firefox":
            # Firefox takes no place for its window from the command line: it is moved there.
            window = wait_for("Firefox's window", lambda: subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid)], capture_output=True,
                text=True, timeout=30).stdout.split(), 60, step=0.5)[0]
            xdotool("windowsize", window, str(WINDOW[2]), str(WINDOW[3]))
            xdotool("windowmove", window, str(WINDOW[0]), str(WINDOW[1]))

    def write_host(self, args):
        host = self.home / "orbolanth-host.sh"
        host.write_text(f"#!/bin/sh\nexport WINEPREFIX='{args.prefix}'\n"
                        f"exec '{args.wine_run}' '{args.player}' --native-host \"$@\"\n")
        host.chmod(0o755)
        return host

    def write_manifest(self, folder, host, **allowed):
        folder.mkdir(parents=True, exist_ok=True)
        manifest = {"name": HOST_NAME, "description": "the player under Wine", "path": str(host), "type": "stdio"}
        (folder / f"{HOST_NAME}.json").write_text(json.dumps(manifest | allowed))
        self.manifests.append(folder / f"{HOST_NAME}.json")

    def end(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=10)
        self.log.close()


def xdotool(*argv):
    subprocess.run(["xdotool", *argv], timeout=30, check=True)


class ExtensionTest:
    def __init__(self, args):
        self.args = args
        self.failures = []
        self.origin = None

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)
            print("    FAILED: " + message, flush=True)
        return condition

    def canvas(self, box):
        """The pixels of a box of the page, found afresh in each screenshot: a tab's bars may
        differ from another's, and come and go."""
        screen = Screen()
        self.origin = screen.page_origin() or self.origin
        x, y, width, height = box
        return screen.pixels((self.origin[0] + x, self.origin[1] + y, width, height))

    def click(self, x, y):
        xdotool("mousemove", str(self.origin[0] + x), str(self.origin[1] + y), "click", "1")

    def open_applets(self):
        """A click on the start page opens the applets' tab; its canvases are where the page is."""
        self.click(*OPEN_CLICK)
        wait_for("the applets' tab", lambda: self.playing(MAIN), 60)

    def playing(self, box):
        """The canvas shows a scene: far more colours than the empty canvas or the page."""
        pixels = self.canvas(box)
        return colours(pixels) > 50 and share_of(pixels, EMPTY_RGB) < 0.5 and share_of(pixels, PAGE_RGB) < 0.1

    def page_plays_in_its_canvases(self):
        for name, box in (("main", MAIN), ("overview", OVERVIEW), ("still", STILL)):
            try:
                wait_for(f"a scene in the {name} canvas", lambda box=box: self.playing(box), 30)
            except Failed as error:
                self.expect(False, str(error))

    def group_shares_a_renderer(self):
        # The orbit group and the still scene: two renderers for three canvases, and it stays two.
        wait_for("two renderers", lambda: len(self.prefix.renderers()) == 2, 30)
        time.sleep(1)
        count = len(self.prefix.renderers())
        self.expect(count == 2, f"{count} renderers for one group and one applet")

    def click_reaches_the_plugin(self):
        # The reference renderer reads the system's pointer, which the host must not move, so a
        # click is checked where it lands: the plug-in's window, where it starts a renderer that
        # has stopped.
        for pid in self.prefix.renderers():
            os.kill(pid, signal.SIGKILL)
        wait_for("the renderers' end", lambda: not self.prefix.renderers(), 10, step=0.1)
        time.sleep(1)
        self.expect(not self.prefix.renderers(), "a renderer came back without a click")
        self.click(STILL[0] + STILL[2] // 2, STILL[1] + STILL[3] // 2)
        wait_for("the still applet's renderer after a click in its canvas",
                 lambda: len(self.prefix.renderers()) == 1, 20, step=0.1)
        wait_for("the still scene again", lambda: self.playing(STILL), 30)

    def closed_tab_leaves_no_renderer(self):
        # The focus leaves the canvas first: keys there are the applet's.
        self.click(*BLUR_CLICK)
        xdotool("key", "ctrl+w")
        wait_for("the start page again", lambda: not self.playing(MAIN) and share_of(self.canvas(MAIN), PAGE_RGB)
                 > 0.9, 10)
        wait_for("the renderers' end after the tab closed",
                 lambda: not self.prefix.renderers(), 5, step=0.1)
        wait_for("the host's end after the tab closed",
                 lambda: not self.prefix.processes(self.args.player), 10)

    def killed_host_shows_its_message(self):
        self.open_applets()
        hosts = wait_for("the host", lambda: self.prefix.processes(self.args.player), 10)
        for pid in hosts:
            os.kill(pid, signal.SIGKILL)

        wait_for("the stopped player's message in the canvas", self.message_shown, 10)

    def message_shown(self):
        """The main canvas is empty but for a line of text at its bottom."""
        pixels = self.canvas(MAIN)
        line = self.canvas((MAIN[0], MAIN[1] + MAIN[3] - 16, MAIN[2], 16))
        light = sum(1 for i in range(0, len(line), 3) if min(line[i:i + 3]) > 200)
        return share_of(pixels, EMPTY_RGB) > 0.8 and light * 3 > 0.02 * len(line)

    def missing_host_says_so(self):
        # The browser reads the host's manifest at each connection: without it nothing starts,
        # and the canvases say so rather than stay empty.
        for manifest in self.browser.manifests:
            manifest.unlink()
        self.click(*BLUR_CLICK)
        xdotool("key", "ctrl+w")
        wait_for("the start page again", lambda: share_of(self.canvas(MAIN), PAGE_RGB) > 0.9, 10)
        self.click(*OPEN_CLICK)
        wait_for("the missing player's message in the canvas", self.message_shown, 20)
        self.expect(not self.prefix.processes(self.args.player), "a host started without its manifest")

    def run(self):
        home = Path(tempfile.mkdtemp(prefix=f"orb-{self.args.browser}-"))
        site = Site(self.args.samples)
        self.prefix = WinePrefix(self.args.wine_run, self.args.prefix, self.args.renderer)
        browser = None
        try:
            browser = self.browser = Browser(self.args.browser, self.args, home, site.url("/start.html"))
            self.origin = wait_for("the browser's window", lambda: Screen().page_origin(), 60, step=0.5)
            print(f"    page at {self.origin}", flush=True)
            self.open_applets()
            for scenario in (self.page_plays_in_its_canvases, self.group_shares_a_renderer,
                             self.click_reaches_the_plugin, self.closed_tab_leaves_no_renderer,
                             self.killed_host_shows_its_message, self.missing_host_says_so):
                print(f"[ RUN ] {scenario.__name__}", flush=True)
                failed = len(self.failures)
                try:
                    scenario()
                except Failed as error:
                    if len(self.failures) == failed:
                        self.expect(False, str(error))
                print(f"[ {'OK' if len(self.failures) == failed else 'FAILED'} ] {scenario.__name__}", flush=True)
        except Failed as error:
            self.expect(False, str(error))
        finally:
            if self.failures:
                screenshot = home / "failed.png"
                subprocess.run(["import", "-window", "root", str(screenshot)], timeout=30)
                print(f"    screenshot: {screenshot}", flush=True)
            if browser:
                browser.end()
                if self.failures:
                    print((home / f"{self.args.browser}.log").read_text(errors="replace")[-3000:], flush=True)
            self.prefix.end()
            site.shutdown()
        if self.failures:
            print(f"{len(self.failures)} check(s) failed; the browser's files stay in {home}", flush=True)
            return 1
        shutil.rmtree(home, ignore_errors=True)
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--browser", choices=("chromium", "firefox"), required=True)
    for name in ("extension", "player", "renderer", "samples", "wine-run", "prefix"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("no display: run under scripts/with-display.sh", flush=True)
        return 1
    return ExtensionTest(args).run()


if __name__ == "__main__":
    sys.exit(main())
