#!/usr/bin/env python3
"""The installer and its uninstaller under 32-bit Wine, in a prefix of their own made afresh
for each run: a silent install with every file and registry value checked, the plug-in found
the way browsers find it and the control registered for Internet Explorer, an upgrade in a
folder whose path holds spaces, refusals while a process has the plug-in or the control
loaded, another player's renderer kept or replaced and given back, and uninstalls that leave
only what they did not make; then on 64-bit Windows (a 64-bit prefix) both plug-ins and both
controls, each in its own folder and registry view, also when the user chooses the folder,
beside another program's control for the applet type and an administrator's kill bit, and
all removed again.

Wine facts this relies on: an NSIS uninstaller copies itself to the temporary folder and
returns at once unless given `_?=<folder>` as its last, unquoted argument, and Wine quotes an
argument holding a space, so such a path goes in as separate words; `wineserver -w` waits
for every process of the prefix; exit codes reach us cut to 8 bits.
"""
import argparse
import functools
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

MIME_TYPE = "application/x-Orbolanth-3D-Applet"
PLUGIN_ID = "@orbolanth.org/Orbolanth"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orbolanth"
CONFIG_KEY = r"HKLM\SOFTWARE\Orbolanth\ActiveXOrbolanth"
PLUGIN_KEY = rf"HKLM\SOFTWARE\MozillaPlugins\{PLUGIN_ID}"
# The player's ProgID and the applet files it opens.
PROGID = "Orbolanth.Applet"
PROGID_KEY = rf"HKLM\SOFTWARE\Classes\{PROGID}"
EXTENSION_KEYS = (r"HKLM\SOFTWARE\Classes\.obvm", r"HKLM\SOFTWARE\Classes\.obv")
# Where Wine keeps the Start menu of all users.
PLAYER_SHORTCUT = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Orbolanth Player.lnk"
# The control for Internet Explorer, as it registers itself in the view of its width.
CONTROL_CLSID = "{7B9DBB87-D073-440A-A713-787FD3FD89EF}"
CONTROL_CLSID_KEY = rf"HKLM\SOFTWARE\Classes\CLSID\{CONTROL_CLSID}"
CONTROL_PROGID_KEYS = (r"HKLM\SOFTWARE\Classes\Orbolanth.AppletControl.1",
                       r"HKLM\SOFTWARE\Classes\Orbolanth.AppletControl")
PREAPPROVED_KEY = rf"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Ext\PreApproved\{CONTROL_CLSID}"
CONTENT_TYPE_KEY = rf"HKLM\SOFTWARE\Classes\MIME\Database\Content Type\{MIME_TYPE}"
CONTROL_KEYS = (CONTROL_CLSID_KEY, *CONTROL_PROGID_KEYS, PREAPPROVED_KEY, CONTENT_TYPE_KEY)
SAFE_FOR_INITIALIZING = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"
# The administrator's: IE never creates a class whose kill bit is set, and no installer of
# ours takes it away.
KILL_BIT_KEY = rf"HKLM\SOFTWARE\Microsoft\Internet Explorer\ActiveX Compatibility\{CONTROL_CLSID}"
# A policy here would start the renderer above a protected tab's integrity: we write none.
ELEVATION_POLICY_KEY = r"HKLM\SOFTWARE\Microsoft\Internet Explorer\Low Rights\ElevationPolicy"
# The player as the extension's native host: a manifest for each browser family, named by a key
# for each browser.
NATIVE_HOST = "org.orbolanth.player"
CHROMIUM_HOST_MANIFEST = NATIVE_HOST + ".chromium.json"
FIREFOX_HOST_MANIFEST = NATIVE_HOST + ".firefox.json"
NATIVE_HOST_KEYS = {
    rf"HKLM\SOFTWARE\Google\Chrome\NativeMessagingHosts\{NATIVE_HOST}": CHROMIUM_HOST_MANIFEST,
    rf"HKLM\SOFTWARE\Microsoft\Edge\NativeMessagingHosts\{NATIVE_HOST}": CHROMIUM_HOST_MANIFEST,
    rf"HKLM\SOFTWARE\Mozilla\NativeMessagingHosts\{NATIVE_HOST}": FIREFOX_HOST_MANIFEST,
}
BROWSER_KEYS = (r"HKLM\SOFTWARE\Google", r"HKLM\SOFTWARE\Microsoft\Edge", r"HKLM\SOFTWARE\Mozilla\NativeMessagingHosts")
# What the installer leaves behind it, and what must be as it was before once it is removed.
OWN_KEYS = (r"HKLM\SOFTWARE\Orbolanth", r"HKLM\SOFTWARE\MozillaPlugins", UNINSTALL_KEY, PROGID_KEY,
            *EXTENSION_KEYS, *CONTROL_KEYS, *BROWSER_KEYS)
# Everything the installer may write, and the fake browsers' keys it must leave as they are.
WATCHED_KEYS = [*OWN_KEYS, r"HKLM\SOFTWARE\Mozilla", r"HKLM\SOFTWARE\Netscape"]
EXIT_IN_USE = 3
EXIT_OTHER_FOLDER = 5
EXIT_BAD_OPTION = 6

# Browsers as their installers record them: two current ones, one whose folder already holds
# a library of that name from elsewhere, one whose folder is gone.
NETSCAPE_PLUGINS = r"C:\Netscape\Communicator\Program\Plugins"
MOZILLA_PLUGINS = r"C:\Program Files\mozilla.org\Mozilla\plugins"
FOREIGN_PLUGINS = r"C:\Program Files\Old Browser\plugins"
MISSING_PLUGINS = r"C:\Program Files\Gone Browser\plugins"
FAKE_BROWSERS = {
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Netscape\Netscape Navigator": {"CurrentVersion": "4.08 (en)"},
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Netscape\Netscape Navigator\4.08 (en)\Main": {"Plugins Directory": NETSCAPE_PLUGINS},
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Mozilla 1.7.13\Extensions": {"Plugins": MOZILLA_PLUGINS + "\\"},
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Old Browser 0.9\Extensions": {"Plugins": FOREIGN_PLUGINS},
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Gone Browser 1.0\Extensions": {"Plugins": MISSING_PLUGINS},
}


# Another player installed before us: its renderer and parameter file, and its own entries
# beside the ones the installer writes.
OTHER_RENDERER = r"C:\Program Files\Other Player\renderer.exe"
OTHER_PLAYER = {
    CONFIG_KEY: {"RendererPath": OTHER_RENDERER, "ParamFile": r"C:\Program Files\Other Player\params.txt"},
    PLUGIN_KEY: {"Comment": "written by another program"},
    PLUGIN_KEY + r"\MimeTypes\application/x-other-applet": {"Suffixes": "oth"},
}


# A 64-bit browser as its installer records it, in the 64-bit view of a 64-bit Windows.
BROWSER64_PLUGINS = r"C:\Program Files\Browser64\plugins"
FAKE_BROWSERS64 = {
    r"HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Browser64 1.0\Extensions": {"Plugins": BROWSER64_PLUGINS},
}


def reg_file(keys):
    """A file for regedit that writes string values, and DWORD values given as numbers."""
    lines = ["REGEDIT4", ""]
    for key, values in keys.items():
        lines.append("[{}]".format(key.replace("HKLM\\", "HKEY_LOCAL_MACHINE\\", 1)))
        lines += ['{}={}'.format(f'"{name}"' if name else "@", f"dword:{value:08x}" if isinstance(value, int)
                                 else '"{}"'.format(value.replace("\\", "\\\\")))
                  for name, value in values.items()]
        lines.append("")
    return "\r\n".join(lines)


class Failed(Exception):
    pass


class Wine:
    """Programs in the test's own prefix, through the build's Wine wrapper."""

    def __init__(self, wine_run, prefix, probe, win64=False):
        self.wine_run = [wine_run, "--win64"] if win64 else [wine_run]
        self.prefix = Path(prefix)
        self.probe = probe
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEARCH="win64" if win64 else "win32",
                        WINEDEBUG="-all")
        # Writes the 32-bit view: the probe is a 32-bit program and reads that view.
        self.regedit32 = r"C:\windows\syswow64\regedit.exe" if win64 else "regedit"

    def run(self, *argv, timeout=120):
        # Output goes to a file, not a pipe: a program that opens the first window of a session
        # makes Wine start explorer.exe, which inherits the pipe and would hold it open to the end.
        with tempfile.TemporaryFile() as out:
            code = subprocess.run([*self.wine_run, *argv], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                                  timeout=timeout).returncode
            out.seek(0)
            return code, out.read().decode(errors="replace").replace("\r\n", "\n")

    def start(self, *argv):
        return subprocess.Popen([*self.wine_run, *argv], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def server(self, flag):
        subprocess.run(["wineserver", flag], env=self.env, timeout=180)

    def unix(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        if drive.upper() == "Z":
            return Path(rest.replace("\\", "/"))
        assert drive.upper() == "C", windows_path
        return self.prefix / "drive_c" / rest.lstrip("\\").replace("\\", "/")

    def registry(self, *keys, view64=False):
        """{key path (lower case): {value name: (type, data)}} of the HKLM keys that exist
        among `keys`, and of all their subkeys, in the 32-bit view or the 64-bit one."""
        code, out = self.run(self.probe, "registry64" if view64 else "registry", *keys)
        if code != 0:
            raise Failed(f"registry not read ({code})")
        tree = {}
        current = None
        for line in out.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "key":
                current = tree.setdefault(rest.lower(), {})
            elif kind == "value":
                name, kind, data = rest.split("\t", 2)
                current[name] = (kind, data)
        return tree

    def value(self, key, name):
        return self.registry(key).get(key.lower(), {}).get(name, (None, None))[1]


class Holder:
    """A process that keeps `library` loaded while the `with` block runs."""

    def __init__(self, wine, library, name):
        self.wine = wine
        self.library = library
        self.ready = wine.prefix / (name + ".ready")
        self.stop = wine.prefix / (name + ".stop")

        self.process = None

    def start(self):
        self.ready.unlink(missing_ok=True)
        self.stop.unlink(missing_ok=True)
        self.process = self.wine.start(self.wine.probe, "hold", self.library, z_path(self.ready), z_path(self.stop))
        for _ in range(300):
            if self.ready.exists() or self.process.poll() is not None:
                break
            time.sleep(0.1)
        if not self.ready.exists():
            self.end()
            raise Failed(f"nothing holds {self.library}")

    def end(self):
        if self.process:
            self.stop.touch()
            self.process.wait(timeout=60)
            self.process = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exception):
        self.end()


def z_path(path):
    return "Z:" + str(path).replace("/", "\\")


def digest(path):
    """The file's SHA-256, or None when it is not there."""
    path = Path(path)
    return hashlib.sha256(path.read_bytes()).hexdigest() if path.is_file() else None


def file_state(root):
    """Every file under root with its contents and change time: a rewrite shows."""
    root = Path(root)
    if not root.exists():
        return {}
    state = {}
    for path in sorted(root.rglob("*")):
        stat = path.stat()
        state[str(path.relative_to(root))] = (digest(path), stat.st_ctime_ns) if path.is_file() else "folder"
    return state


def on_64bit_windows(scenario):
    """The scenario with the same installer in a 64-bit prefix, with the 32-bit browsers of
    `prepare` and a 64-bit one: made for the first scenario that asks, kept for the next."""
    @functools.wraps(scenario)
    def in_64bit_prefix(self):
        wine32, session32 = self.wine, self.session
        try:
            if self.wine64 is None:
                self.wine64 = Wine(self.args.wine_run, self.args.prefix + "64", self.args.probe, win64=True)
                self.session64 = Holder(self.wine64, r"C:\windows\system32\kernel32.dll", "session")
                self.wine, self.session = self.wine64, self.session64
                self.prepare()
                self.wine.unix(BROWSER64_PLUGINS).mkdir(parents=True)
                self.import_registry(FAKE_BROWSERS64, view64=True)
                self.prepared64 = True
            self.require(self.prepared64, "the 64-bit prefix was not prepared")
            self.wine, self.session = self.wine64, self.session64
            scenario(self)
        finally:
            self.wine, self.session = wine32, session32
    return in_64bit_prefix


class InstallerTest:
    def __init__(self, args):
        self.args = args
        self.wine = Wine(args.wine_run, args.prefix, args.probe)
        # Between the test's many short programs a Wine session ends and starts again, seconds
        # each time, unless some process keeps it going.
        self.session = Holder(self.wine, r"C:\windows\system32\kernel32.dll", "session")
        self.failures = []
        self.stage = Path(args.stage)
        # OWN_KEYS as they were before anything was installed.
        self.before_install = {}
        # 64-bit Windows, for the scenarios that need it (@on_64bit_windows).
        self.wine64 = self.session64 = None
        self.prepared64 = False

    # Checks record a failure and go on; `require` stops the scenario.
    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)
            print("    FAILED: " + message, flush=True)
        return condition

    def expect_equal(self, actual, expected, what):
        return self.expect(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")

    def require(self, condition, message):
        if not self.expect(condition, message):
            raise Failed(message)

    def snapshot(self, folders):
        registry = self.wine.registry(*WATCHED_KEYS)
        files = {folder: file_state(self.wine.unix(folder)) for folder in folders}
        return registry, files

    def install(self, setup, folder=None, options=()):
        argv = [setup, "/S", *options]
        if folder:
            # /D= comes last, unquoted, its words as Wine would otherwise quote them.
            argv += ("/D=" + folder).split(" ")
        return self.wine.run(*argv)[0]

    def uninstall_in_place(self, folder):
        """The uninstaller run in its folder, so that its exit code is its verdict."""
        argv = [str(self.wine.unix(folder + r"\uninstall.exe")), "/S"] + ("_?=" + folder).split(" ")
        return self.wine.run(*argv)[0]

    def uninstall_quietly(self):
        """As Add/Remove Programs does it: the registered command, then wait for the copy of
        itself that it starts, and for every other process of the session."""
        command = self.wine.value(UNINSTALL_KEY, "QuietUninstallString")
        match = re.match(r'^"([^"]+)" /S$', command or "")
        self.require(match, f"QuietUninstallString {command!r}")
        self.session.end()
        self.wine.server("-w")
        code, _ = self.wine.run(str(self.wine.unix(match.group(1))), "/S")
        self.wine.server("-w")
        self.session.start()
        return code

    def find_plugin(self, plugins_folder):
        code, out = self.wine.run(self.args.orbhost, "--find-plugin", MIME_TYPE.lower(), "--plugins-dir",
                                  plugins_folder)
        lines = out.splitlines()
        return code, lines[0] if lines else "", lines[1] if len(lines) > 1 else ""

    def expect_registration(self, dll, version, view64=False):
        """The plug-in registered for browsers of the Mozilla family in one registry view."""
        plugin_key = PLUGIN_KEY.lower()
        plugins = self.wine.registry(r"HKLM\SOFTWARE\MozillaPlugins", view64=view64)
        view = "64-bit view" if view64 else "32-bit view"
        self.expect_equal(plugins.get(plugin_key), self.before_install.get(plugin_key, {}) | {
            "Path": ("REG_SZ", dll),
            "Description": ("REG_SZ", f"Orbolanth3D Plug-in (Version {version})"),
            "ProductName": ("REG_SZ", "Orbolanth3D Player"),
            "Vendor": ("REG_SZ", "Orbolanth"),
            "Version": ("REG_SZ", version)}, f"MozillaPlugins values, {view}")
        self.expect_equal(plugins.get(plugin_key + "\\mimetypes\\" + MIME_TYPE.lower()), {
            "Description": ("REG_SZ", "Orbolanth 3D Applet"),
            "Suffixes": ("REG_SZ", "obvm,obv")}, f"MozillaPlugins MIME type values, {view}")

    def expect_control(self, dll, view64=False, content_type_class=CONTROL_CLSID):
        """The control registered for Internet Explorer in one registry view: its class, both
        ProgIDs, safe for initialising only, full-page files, pre-approved; the applet type's
        class as given (ours unless another program had it first)."""
        view = "64-bit view" if view64 else "32-bit view"
        self.expect_equal(digest(self.wine.unix(dll)),
                          digest(self.stage / ("x64" if view64 else "") / "OrbolanthControl.dll"),
                          f"installed control, {view}")
        tree = self.wine.registry(*CONTROL_KEYS, view64=view64)
        clsid = CONTROL_CLSID_KEY.lower()
        self.expect_equal(tree.get(clsid + r"\inprocserver32"),
                          {"": ("REG_SZ", dll), "ThreadingModel": ("REG_SZ", "Apartment")},
                          f"the control's InprocServer32, {view}")
        for subkey in ("control", r"miscstatus\1", "version", r"enablefullpage\.obvm", r"enablefullpage\.obv"):
            self.expect(clsid + "\\" + subkey in tree, f"the control's {subkey} key is missing, {view}")
        self.expect_equal(sorted(key for key in tree if key.startswith(clsid + "\\implemented categories\\")),
                          [clsid + "\\implemented categories\\" + SAFE_FOR_INITIALIZING.lower()],
                          f"the control's categories, {view}")
        for key in CONTROL_PROGID_KEYS:
            self.expect_equal(tree.get(key.lower() + r"\clsid"), {"": ("REG_SZ", CONTROL_CLSID)}, f"{key}, {view}")
        self.expect(PREAPPROVED_KEY.lower() in tree, f"the control is not pre-approved, {view}")
        self.expect_equal(tree.get(CONTENT_TYPE_KEY.lower(), {}).get("CLSID"), ("REG_SZ", content_type_class),
                          f"the applet type's class, {view}")
        self.expect_equal(self.wine.registry(ELEVATION_POLICY_KEY, view64=view64), {},
                          f"an elevation policy, {view}")

    def expect_installation(self, folder, version, renderer=None, plugin64=None):
        """Every file and registry value of an installation in `folder`, and of the x86-64
        plug-in in the folder `plugin64` on 64-bit Windows, whose plug-in uses `renderer` (by
        default its own) and sees what was there before beside its own values."""
        root = self.wine.unix(folder)
        self.expect_equal(digest(root / "npOrbolanth.dll"), digest(self.stage / "npOrbolanth.dll"),
                          "installed plug-in")
        if plugin64:
            self.expect_equal(digest(self.wine.unix(plugin64) / "npOrbolanth.dll"),
                              digest(self.stage / "x64" / "npOrbolanth.dll"), "installed x86-64 plug-in")
            self.expect_equal(sorted(file_state(self.wine.unix(plugin64))),
                              ["OrbolanthControl.dll", "npOrbolanth.dll"], "the x86-64 plug-in's folder")
            self.expect_registration(plugin64 + r"\npOrbolanth.dll", version, view64=True)
            self.expect_control(plugin64 + r"\OrbolanthControl.dll", view64=True)
        self.expect_equal(digest(root / "orbrenderer.exe"), digest(self.stage / "orbrenderer.exe"),
                          "installed renderer")
        self.expect_player(folder)
        self.expect_native_host(folder)
        self.expect((root / "uninstall.exe").is_file(), "uninstall.exe missing")
        samples = Path(self.args.samples)
        for sample in sorted(p for p in samples.rglob("*") if p.is_file()):
            installed = root / "Samples" / sample.relative_to(samples)
            self.expect(installed.is_file() and digest(installed) == digest(sample), f"sample {installed}")

        self.expect_equal(self.wine.value(CONFIG_KEY, "RendererPath"), renderer or folder + r"\orbrenderer.exe",
                          "RendererPath")
        self.expect_registration(folder + r"\npOrbolanth.dll", version)
        self.expect_control(folder + r"\OrbolanthControl.dll")

        uninstall = self.wine.registry(UNINSTALL_KEY).get(UNINSTALL_KEY.lower(), {})
        size = sum(p.stat().st_size for p in root.rglob("*") if p.is_file()) // 1024
        expected = {
            "DisplayName": ("REG_SZ", "Orbolanth3D Player"),
            "DisplayVersion": ("REG_SZ", version),
            "Publisher": ("REG_SZ", "Orbolanth"),
            "InstallLocation": ("REG_SZ", folder),
            "UninstallString": ("REG_SZ", f'"{folder}\\uninstall.exe"'),
            "QuietUninstallString": ("REG_SZ", f'"{folder}\\uninstall.exe" /S'),
            "DisplayIcon": ("REG_SZ", folder + r"\uninstall.exe,0"),
            "EstimatedSize": ("REG_DWORD", hex(size)),
            "Plugin64Location": ("REG_SZ", plugin64) if plugin64 else None,
        }
        self.expect_equal({name: uninstall.get(name) for name in expected}, expected, "Add/Remove Programs values")
        entries = [key for key, values in self.wine.registry(
            r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall").items()
            if values.get("DisplayName", (None, ""))[1].startswith("Orbolanth")]
        self.expect_equal(entries, [UNINSTALL_KEY.lower()], "Add/Remove Programs entries")

    def expect_player(self, folder):
        """The player beside the plug-in, its shortcut, and the applet files opened by it: the
        default of an extension only where no other program had made it its own."""
        self.expect_equal(digest(self.wine.unix(folder) / "OrbolanthPlayer.exe"),
                          digest(self.stage / "OrbolanthPlayer.exe"), "installed player")
        self.expect(self.wine.unix(PLAYER_SHORTCUT).is_file(), "the player's Start-menu shortcut is missing")
        classes = self.wine.registry(PROGID_KEY, *EXTENSION_KEYS)
        self.expect_equal(classes.get(PROGID_KEY.lower() + r"\shell\open"),
                          {"": ("REG_SZ", "Open with Orbolanth Player")}, "the player's verb")
        icon = classes.get(PROGID_KEY.lower() + r"\defaulticon", {}).get("", (None, None))[1]
        self.expect_equal(icon, f"{folder}\\OrbolanthPlayer.exe,0", "the applet files' icon")
        if icon:
            code, out = self.wine.run(self.args.probe, "icon", icon)
            self.expect(code == 0, f"DefaultIcon {icon!r} names no icon ({out.strip()})")
        self.expect_equal(classes.get(PROGID_KEY.lower() + r"\shell\open\command"),
                          {"": ("REG_SZ", f'"{folder}\\OrbolanthPlayer.exe" "%1"')}, "the player's command")
        for key in (key.lower() for key in EXTENSION_KEYS):
            before = self.before_install.get(key, {})
            self.expect_equal(classes.get(key), {"": before.get("", ("REG_SZ", PROGID))} | before, f"{key} default")
            progids = key + r"\openwithprogids"
            self.expect_equal(classes.get(progids), self.before_install.get(progids, {}) | {PROGID: ("REG_SZ", "")},
                              f"{key} OpenWithProgids")

    def expect_native_host(self, folder):
        """Both manifests name the installed player and only our extension may start it; each
        browser's key names its family's manifest, beside whatever other hosts were there."""
        player = folder + r"\OrbolanthPlayer.exe"
        common = {"name": NATIVE_HOST, "description": "Orbolanth3D Player: Orbolanth 3-D applets in web pages",
                  "path": player, "type": "stdio"}
        expected = {CHROMIUM_HOST_MANIFEST: common | {
                        "allowed_origins": ["chrome-extension://mlldpcenpjnjhndloennphfbfndfdhbp/"]},
                    FIREFOX_HOST_MANIFEST: common | {"allowed_extensions": ["orbolanth-player@orbolanth.org"]}}
        for name, manifest in expected.items():
            path = self.wine.unix(folder) / name
            try:
                found = json.loads(path.read_bytes().decode("utf-8"))
            except (OSError, ValueError) as error:
                found = f"unreadable: {error}"
            self.expect_equal(found, manifest, f"the host manifest {name}")
        hosts = self.wine.registry(*BROWSER_KEYS)
        for key, manifest in NATIVE_HOST_KEYS.items():
            self.expect_equal(hosts.get(key.lower()), {"": ("REG_SZ", folder + "\\" + manifest)}, key)
        parents = {key.rsplit("\\", 1)[0].lower() for key in NATIVE_HOST_KEYS}
        others = {key: values for key, values in self.before_install.items()
                  if any(key.startswith(parent + "\\") for parent in parents)}
        self.expect_equal({key: hosts.get(key) for key in others}, others, "other programs' native hosts")

    def expect_no_installation(self, folder):
        self.expect_equal(self.wine.registry(*OWN_KEYS), self.before_install, "registry after uninstalling")
        self.expect(not self.wine.unix(PLAYER_SHORTCUT).exists(), "the player's shortcut is left")
        for plugins in (NETSCAPE_PLUGINS, MOZILLA_PLUGINS):
            self.expect_equal(file_state(self.wine.unix(plugins)), {}, f"{plugins} after uninstalling")
        self.expect_equal(digest(self.wine.unix(FOREIGN_PLUGINS + r"\npOrbolanth.dll")), self.foreign_digest,
                          "the other library of that name")

    def prepare(self):
        shutil.rmtree(self.wine.prefix, ignore_errors=True)
        Path(str(self.wine.prefix) + ".lock").unlink(missing_ok=True)
        started = time.monotonic()
        code, _ = self.wine.run("cmd", "/c", "exit")  # the wrapper makes the prefix
        self.require(code == 0, f"Wine prefix not created ({code})")
        print(f"    prefix ready in {time.monotonic() - started:.0f} s", flush=True)
        self.session.start()
        for folder in (NETSCAPE_PLUGINS, MOZILLA_PLUGINS, FOREIGN_PLUGINS):
            self.wine.unix(folder).mkdir(parents=True)
        foreign = self.wine.unix(FOREIGN_PLUGINS + r"\npOrbolanth.dll")
        foreign.write_bytes(b"a library of the same name from somebody else")
        self.foreign_digest = digest(foreign)
        self.import_registry(FAKE_BROWSERS)
        self.require(self.wine.value(
            r"HKLM\SOFTWARE\Netscape\Netscape Navigator\4.08 (en)\Main", "Plugins Directory") == NETSCAPE_PLUGINS,
            "fake browsers not registered")

    def fresh_install_is_found_and_removed(self):
        setup = Path(self.args.setup)
        # Two plug-ins and two controls, each a static build of the same core.
        self.expect(setup.stat().st_size < 1280 * 1024, f"installer of {setup.stat().st_size} bytes")
        code, out = self.wine.run(self.args.probe, "version", z_path(setup))
        version = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.expect_equal((code, version.get("numbers"), version.get("ProductVersion")),
                          (0, self.args.version_numbers, self.args.version), "the installer's version resource")

        folder = r"C:\Program Files\Orbolanth"
        self.require(self.install(setup) == 0, "silent install failed")
        self.expect_installation(folder, self.args.version)
        copies = [NETSCAPE_PLUGINS + r"\npOrbolanth.dll", MOZILLA_PLUGINS + r"\npOrbolanth.dll"]
        for copy in copies:
            self.expect(digest(self.wine.unix(copy)) == digest(self.stage / "npOrbolanth.dll"), f"copy {copy}")
        recorded = self.wine.registry(r"HKLM\SOFTWARE\Orbolanth\PluginCopies")
        self.expect_equal(sorted(next(iter(recorded.values()), {})), sorted(copies), "recorded copies")
        self.expect(not self.wine.unix(MISSING_PLUGINS).exists(), "a vanished browser's folder was made")
        self.expect_equal(digest(self.wine.unix(FOREIGN_PLUGINS + r"\npOrbolanth.dll")), self.foreign_digest,
                          "the other library of that name")

        # A browser finds the registered library, and one that only scans its own folder the copy.
        found = self.find_plugin(NETSCAPE_PLUGINS)
        self.expect_equal(found, (0, folder + r"\npOrbolanth.dll", rf"HKLM\SOFTWARE\MozillaPlugins\{PLUGIN_ID}"),
                          "plug-in found through MozillaPlugins")
        exported = self.wine.prefix / "mozillaplugins.reg"
        self.wine.run("reg", "export", r"HKLM\SOFTWARE\MozillaPlugins", z_path(exported), "/y")
        self.wine.run("reg", "delete", r"HKLM\SOFTWARE\MozillaPlugins", "/f")
        found = self.find_plugin(NETSCAPE_PLUGINS)
        self.wine.run("reg", "import", z_path(exported))
        self.expect_equal(found, (0, copies[0], NETSCAPE_PLUGINS), "plug-in found in a browser's own folder")
        self.show_demo_page(folder)

        self.expect_equal(self.uninstall_quietly(), 0, "silent uninstall")
        self.expect(not self.wine.unix(folder).exists(), "the installation folder is left")
        self.expect_no_installation(folder)

    def show_demo_page(self, folder):
        """The demo page through the installed plug-in and renderer, when there is a display."""
        if not os.environ.get("DISPLAY"):
            print("    no display: the demo page is not shown", flush=True)
            return
        log = self.wine.prefix / "demo.log"
        code, _ = self.wine.run(self.args.orbhost, "--find-plugin", MIME_TYPE, "--plugins-dir", NETSCAPE_PLUGINS,
                                "--page", folder + r"\Samples\demo.html", "--log", z_path(log),
                                "--until", ' objects"', "--seconds", "30", timeout=60)
        text = log.read_text(errors="replace") if log.exists() else ""
        self.expect_equal(code, 0, "orbhost on the installed demo page")
        # The call log doubles backslashes.
        loaded = f'* LoadLibrary path="{folder}\\npOrbolanth.dll" -> ok'.replace("\\", "\\\\")
        self.expect(loaded in text, "the installed plug-in was not the one loaded")
        # The renderer reports a scene it has read and drawn.
        self.expect(re.search(r'text="Orbolanth: \w+\.obvm - \d+ objects"', text),
                    "the installed renderer did not draw the demo page")

    def upgrade_in_use_and_uninstall(self):
        folder = r"C:\Program Files\Orb Test\3-D Plug-in"
        self.require(self.install(self.args.previous_setup, folder) == 0, "installing the older version failed")
        self.expect_installation(folder, "0.9.0")
        own_file = self.wine.unix(folder + r"\Samples\my own applet.obvm")
        own_file.write_text("made by the user")

        self.require(self.install(self.args.setup) == 0, "upgrade failed")
        self.expect_installation(folder, self.args.version)
        self.expect(own_file.exists(), "the upgrade removed a file it did not make")
        self.expect(not self.wine.unix(r"C:\Program Files\Orbolanth").exists(), "the upgrade went to a new folder")

        watched = [folder, NETSCAPE_PLUGINS, MOZILLA_PLUGINS, FOREIGN_PLUGINS]
        before = self.snapshot(watched)
        elsewhere = r"C:\Program Files\Elsewhere"
        self.expect_equal(self.install(self.args.setup, elsewhere), EXIT_OTHER_FOLDER,
                          "installing beside an installation")
        self.expect(not self.wine.unix(elsewhere).exists(), "a second folder was made")
        self.expect(self.snapshot(watched) == before, "installing beside an installation changed it")

        # A running browser has the plug-in loaded.
        with Holder(self.wine, folder + r"\npOrbolanth.dll", "browser"):
            code, _ = self.wine.run(self.args.setup, "/S")
            self.expect_equal(code, EXIT_IN_USE, "upgrade while the plug-in is loaded")
            self.expect(self.snapshot(watched) == before, "the refused upgrade changed something")
            self.expect_equal(self.uninstall_in_place(folder), EXIT_IN_USE, "uninstall while the plug-in is loaded")
            self.expect(self.snapshot(watched) == before, "the refused uninstall changed something")
        # Internet Explorer has the control loaded.
        with Holder(self.wine, folder + r"\OrbolanthControl.dll", "explorer"):
            code, _ = self.wine.run(self.args.setup, "/S")
            self.expect_equal(code, EXIT_IN_USE, "upgrade while the control is loaded")
            self.expect_equal(self.uninstall_in_place(folder), EXIT_IN_USE, "uninstall while the control is loaded")
            self.expect(self.snapshot(watched) == before, "a refusal for a loaded control changed something")
        # An older browser has loaded the copy in its own plug-in folder.
        with Holder(self.wine, NETSCAPE_PLUGINS + r"\npOrbolanth.dll", "old-browser"):
            code, _ = self.wine.run(self.args.setup, "/S")
            self.expect_equal(code, EXIT_IN_USE, "upgrade while a copy is loaded")
            self.expect_equal(self.uninstall_in_place(folder), EXIT_IN_USE, "uninstall while a copy is loaded")
            self.expect(self.snapshot(watched) == before, "a refusal for a loaded copy changed something")

        self.expect_equal(self.uninstall_quietly(), 0, "silent uninstall")
        root = self.wine.unix(folder)
        left = sorted(str(p.relative_to(root)) for p in root.rglob("*"))
        self.expect_equal(left, ["Samples", "Samples/my own applet.obvm"], "files left")
        self.expect_no_installation(folder)

    def another_players_renderer_stays(self):
        folder = r"C:\Program Files\Orbolanth"
        renderer = self.wine.unix(OTHER_RENDERER)
        renderer.parent.mkdir(parents=True)
        renderer.write_bytes(b"another player's renderer")
        self.import_registry(OTHER_PLAYER)
        self.before_install = self.wine.registry(*OWN_KEYS)
        self.require(self.wine.value(CONFIG_KEY, "RendererPath") == OTHER_RENDERER, "another player not registered")

        self.expect_equal(self.install(self.args.setup, options=["/RENDERER=newest"]), EXIT_BAD_OPTION,
                          "an unknown /RENDERER=")
        self.expect_equal(self.wine.registry(*OWN_KEYS), self.before_install, "the refused install's registry")

        # Silently the installed renderer stays, and the plug-in's registration goes in beside the rest.
        self.require(self.install(self.args.setup) == 0, "install beside another renderer failed")
        self.expect_installation(folder, self.args.version, renderer=OTHER_RENDERER)
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall after keeping the other renderer")
        self.expect_no_installation(folder)

        # Chosen in place of the other one, and kept through an upgrade, which finds our own renderer
        # and must not take it for what it replaced.
        self.require(self.install(self.args.previous_setup, options=["/RENDERER=bundled"]) == 0,
                     "install with the bundled renderer failed")
        self.expect_installation(folder, "0.9.0")
        self.require(self.install(self.args.setup) == 0, "upgrade over the bundled renderer failed")
        self.expect_installation(folder, self.args.version)
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall after replacing the other renderer")
        self.expect_no_installation(folder)

        # Somebody points the plug-in elsewhere after the install: not ours to undo.
        self.require(self.install(self.args.setup, options=["/RENDERER=bundled"]) == 0, "install failed")
        chosen_later = r"C:\Program Files\Third Player\renderer.exe"
        self.import_registry({CONFIG_KEY: {"RendererPath": chosen_later}})
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall after RendererPath was changed")
        self.expect_equal(self.wine.value(CONFIG_KEY, "RendererPath"), chosen_later,
                          "RendererPath set after the install")

        # A renderer that is not there runs nothing: the installer takes its place, and the
        # uninstaller gives the value back all the same.
        gone = r"C:\Program Files\Gone Player\renderer.exe"
        self.import_registry({CONFIG_KEY: {"RendererPath": gone}})
        self.require(self.install(self.args.setup) == 0, "install over a missing renderer failed")
        self.expect_installation(folder, self.args.version)
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall after replacing a missing renderer")
        self.expect_equal(self.wine.value(CONFIG_KEY, "RendererPath"), gone, "the missing renderer's RendererPath")

    def expect_uninstalled_on_64bit_windows(self, folder, plugin64):
        self.expect_equal(self.uninstall_quietly(), 0, "silent uninstall on 64-bit Windows")
        for gone in (folder, plugin64):
            self.expect(not self.wine.unix(gone).exists(), f"{gone} is left")
        self.expect_no_installation(folder)
        self.expect_equal(file_state(self.wine.unix(BROWSER64_PLUGINS)), {}, "the 64-bit browser's folder")
        self.expect_equal(self.wine.registry(r"HKLM\SOFTWARE\MozillaPlugins", view64=True), {},
                          "the 64-bit view after uninstalling")
        self.expect_equal(self.wine.registry(*CONTROL_KEYS, view64=True), {},
                          "the control's keys in the 64-bit view after uninstalling")

    @on_64bit_windows
    def both_plugins_on_64bit_windows(self):
        folder, plugin64 = r"C:\Program Files (x86)\Orbolanth", r"C:\Program Files\Orbolanth"
        self.require(self.install(self.args.setup) == 0, "silent install on 64-bit Windows failed")
        self.expect_installation(folder, self.args.version, plugin64=plugin64)
        copies = {NETSCAPE_PLUGINS: "npOrbolanth.dll", MOZILLA_PLUGINS: "npOrbolanth.dll",
                  BROWSER64_PLUGINS: "x64/npOrbolanth.dll"}
        for plugins, staged in copies.items():
            self.expect_equal(digest(self.wine.unix(plugins + r"\npOrbolanth.dll")), digest(self.stage / staged),
                              f"copy in {plugins}")
        recorded = self.wine.registry(r"HKLM\SOFTWARE\Orbolanth\PluginCopies")
        self.expect_equal(sorted(next(iter(recorded.values()), {})),
                          sorted(plugins + r"\npOrbolanth.dll" for plugins in copies), "recorded copies")

        # A 64-bit browser has the x86-64 plug-in loaded.
        watched = [folder, plugin64, NETSCAPE_PLUGINS, MOZILLA_PLUGINS, BROWSER64_PLUGINS]
        before = self.snapshot(watched)
        with Holder(self.wine, plugin64 + r"\npOrbolanth.dll", "browser64"):
            self.expect_equal(self.install(self.args.setup), EXIT_IN_USE,
                              "upgrade while the x86-64 plug-in is loaded")
            self.expect_equal(self.uninstall_in_place(folder), EXIT_IN_USE,
                              "uninstall while the x86-64 plug-in is loaded")
            self.expect(self.snapshot(watched) == before, "a refusal for the x86-64 plug-in changed something")
        self.expect_uninstalled_on_64bit_windows(folder, plugin64)

    @on_64bit_windows
    def install_folder_chosen_on_64bit_windows(self):
        """A folder the user chooses leaves the x86-64 plug-in in its own; choosing that very
        folder, where the two libraries of one name would meet, moves it into a folder inside."""
        for folder, plugin64 in ((r"C:\Program Files\Orbolanth", r"C:\Program Files\Orbolanth\x64"),
                                 (r"C:\Orb Test\3-D Plug-in", r"C:\Program Files\Orbolanth")):
            self.require(self.install(self.args.setup, folder) == 0, f"install into {folder} failed")
            self.expect_installation(folder, self.args.version, plugin64=plugin64)
            self.expect_uninstalled_on_64bit_windows(folder, plugin64)

    @on_64bit_windows
    def another_control_and_a_kill_bit_stay(self):
        """Another program's control has the applet type and an administrator has set our kill
        bit, in both views: both controls register beside them, and unregistering takes away
        only what they wrote."""
        other = "{0E1D2C3B-4A59-6877-8695-A4B3C2D1E0F9}"
        theirs = {CONTENT_TYPE_KEY: {"CLSID": other, "Extension": ".obvm"},
                  KILL_BIT_KEY: {"Compatibility Flags": 0x400}}
        for view64 in (False, True):
            self.import_registry(theirs, view64=view64)
        before = {view64: self.wine.registry(*CONTROL_KEYS, KILL_BIT_KEY, view64=view64)
                  for view64 in (False, True)}
        folder, plugin64 = r"C:\Program Files (x86)\Orbolanth", r"C:\Program Files\Orbolanth"
        self.require(self.install(self.args.setup) == 0, "install beside another control failed")
        for view64, dll in ((False, folder), (True, plugin64)):
            self.expect_control(dll + r"\OrbolanthControl.dll", view64=view64, content_type_class=other)
            self.expect_equal(self.wine.registry(KILL_BIT_KEY, view64=view64), {
                KILL_BIT_KEY.lower(): {"Compatibility Flags": ("REG_DWORD", "0x400")}}, "the kill bit after installing")
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall beside another control")
        for view64 in (False, True):
            self.expect_equal(self.wine.registry(*CONTROL_KEYS, KILL_BIT_KEY, view64=view64), before[view64],
                              f"{'64' if view64 else '32'}-bit view after uninstalling beside another control")

    def another_programs_extension_stays(self):
        """An extension that another program opens stays its: the player is only offered for it,
        and the uninstaller takes away no more than that offer. The same for another program's
        native-messaging host."""
        other = r"HKLM\SOFTWARE\Classes\.obv"
        self.import_registry({other: {"": "OtherViewer.File"}, other + r"\OpenWithProgids": {"OtherViewer.File": ""}})
        # And another program's native host for Chrome: its key stays, and so do the keys above it.
        self.import_registry({r"HKLM\SOFTWARE\Google\Chrome\NativeMessagingHosts\com.example.other":
                              {"": r"C:\Program Files\Other\host.json"}})
        self.before_install = self.wine.registry(*OWN_KEYS)
        folder = r"C:\Program Files\Orbolanth"
        self.require(self.install(self.args.setup, options=["/RENDERER=bundled"]) == 0,
                     "install beside another program's extension failed")
        self.expect_installation(folder, self.args.version)
        self.expect_equal(self.uninstall_quietly(), 0, "uninstall beside another program's extension")
        self.expect_no_installation(folder)

    def import_registry(self, keys, view64=False):
        with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=self.wine.prefix, delete=False) as reg:
            reg.write(reg_file(keys))
        code, _ = self.wine.run("regedit" if view64 else self.wine.regedit32, "/S", z_path(reg.name))
        os.unlink(reg.name)
        self.require(code == 0, "regedit failed")

    def run(self):
        scenarios = [self.prepare, self.fresh_install_is_found_and_removed, self.upgrade_in_use_and_uninstall,
                     self.both_plugins_on_64bit_windows, self.install_folder_chosen_on_64bit_windows,
                     self.another_control_and_a_kill_bit_stay,
                     self.another_players_renderer_stays, self.another_programs_extension_stays]
        try:
            for scenario in scenarios:
                print(f"[ RUN ] {scenario.__name__}", flush=True)
                started, failed = time.monotonic(), len(self.failures)
                try:
                    scenario()
                except Failed as error:
                    # A failure raised outside `require` (an unreadable registry) counts too.
                    if len(self.failures) == failed:
                        self.expect(False, str(error))
                verdict = "OK" if len(self.failures) == failed else "FAILED"
                print(f"[ {verdict} ] {scenario.__name__} ({time.monotonic() - started:.0f} s)", flush=True)
                if scenario == self.prepare and verdict != "OK":
                    break
        finally:
            for wine, session in ((self.wine, self.session), (self.wine64, self.session64)):
                if wine:
                    session.end()
                    wine.server("-k")
                    wine.server("-w")
        if self.failures:
            print(f"{len(self.failures)} check(s) failed", flush=True)
            return 1
        for wine in (self.wine, self.wine64):
            if wine:
                shutil.rmtree(wine.prefix, ignore_errors=True)
                Path(str(wine.prefix) + ".lock").unlink(missing_ok=True)
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("setup", "previous-setup", "stage", "samples", "probe", "orbhost", "wine-run", "prefix",
                 "version", "version-numbers"):
        parser.add_argument("--" + name, required=True)
    return InstallerTest(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
