#!/usr/bin/env python3
"""End-to-end scenario runner: builds packages, runs programs under Wine through uidriver.exe on
a private X display, and checks message boxes, windows, files, the temp folder and the registry.

Scenarios are Python data in scenarios/*.py (see scenarios/common.py for the keys). --selftest
runs the driver's own scenarios against selftest_app.exe instead of the product's."""

import argparse
import concurrent.futures
import getpass
import importlib.util
import json
import os
import queue
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")
sys.path.insert(0, os.path.join(HERE, "scenarios"))
import common  # noqa: E402  (scenario helpers shared with the scenario files)

WINE64 = shutil.which("wine64", path="/usr/lib/wine:" + os.environ.get("PATH", "")) or "wine64"
WINESERVER = shutil.which("wineserver64", path="/usr/lib/wine") or shutil.which("wineserver") or "wineserver"
SCREEN = "1024x768x24"
USER = getpass.getuser()


class Failure(Exception):
    """A scenario's expectation that did not hold, or a step that could not be done."""


# ---------------------------------------------------------------------------------------------
# X displays and Wine prefixes

class Display:
    """One Xvfb server; -displayfd lets the server pick a free display number itself."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", SCREEN, "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def wine_env(prefix, display):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d")
    env.pop("WAYLAND_DISPLAY", None)
    return env


def run_logged(cmd, env, log_path, timeout, cwd=None):
    """Runs cmd with its output in a file: Wine's helpers hold inherited pipes open for seconds."""
    with open(log_path, "ab") as out:
        out.write(("$ " + " ".join(cmd) + "\n").encode())
        out.flush()
        return subprocess.run(cmd, env=env, stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                              timeout=timeout, cwd=cwd).returncode


def to_windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def drive_c_path(prefix, windows_path):
    """C:\\a\\b -> <prefix>/drive_c/a/b (exact case: scenarios name what they create)."""
    if windows_path[:2].upper() != "C:":
        raise Failure("only C: paths are supported: " + windows_path)
    rest = windows_path[2:].replace("\\", "/").lstrip("/")
    return os.path.join(prefix, "drive_c", rest)


REGEDIT4_TEMPLATE = r'''REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="C:\\no-debugger\\absent.exe"
"Auto"="1"
'''


def make_template(root, display, log_path):
    """Boots one prefix and applies the settings every scenario needs."""
    prefix = os.path.join(root, "template")
    env = wine_env(prefix, display.name)
    if run_logged([WINE64, "wineboot", "-i"], env, log_path, 300) != 0:
        raise RuntimeError("wineboot failed, see " + log_path)
    reg_file = os.path.join(root, "template.reg")
    # regedit reads REGEDIT4 files correctly; version-5 files garble hex(2) data.
    with open(reg_file, "w", newline="\r\n") as f:
        f.write(REGEDIT4_TEMPLATE)
    if run_logged([WINE64, "regedit", "/S", to_windows_path(reg_file)], env, log_path, 120) != 0:
        raise RuntimeError("regedit failed, see " + log_path)
    run_logged([WINESERVER, "-k"], env, log_path, 60)
    run_logged([WINESERVER, "-w"], env, log_path, 60)
    # The profile folders link to $HOME; tests must not write outside the prefix.
    profile = os.path.join(prefix, "drive_c", "users", USER)
    for entry in os.listdir(profile):
        path = os.path.join(profile, entry)
        if os.path.islink(path):
            os.unlink(path)
            os.mkdir(path)
    return prefix


# ---------------------------------------------------------------------------------------------
# drive_c listings

# Paths Wine itself rewrites while a program runs. Measured with Wine 8.0 on a template prefix
# (wineboot done, the settings above applied): starting programs, showing boxes and `reg add`
# change nothing under drive_c, neither sizes nor modification times, so nothing is skipped.
CHURN_PREFIXES = ()


def list_drive_c(prefix):
    """Maps each path under drive_c (relative, '/'-separated) to (size, mtime), None for folders."""
    base = os.path.join(prefix, "drive_c")
    listing = {}
    for root, dirs, files in os.walk(base):
        rel_root = os.path.relpath(root, base).replace(os.sep, "/")
        rel_root = "" if rel_root == "." else rel_root + "/"
        for d in dirs:
            listing[rel_root + d + "/"] = None
        for name in files:
            path = os.path.join(root, name)
            st = os.lstat(path)
            listing[rel_root + name] = (st.st_size, st.st_mtime_ns)
    return listing


def drive_c_changes(before, after, allowed=()):
    skip = CHURN_PREFIXES + tuple(allowed)
    changes = []
    for path in sorted(set(before) | set(after)):
        if path.startswith(skip):
            continue
        if path not in after:
            changes.append("removed " + path)
        elif path not in before:
            changes.append("added " + path)
        elif before[path] != after[path]:
            changes.append("rewrote %s (size %s -> %s)" % (path, before[path][0], after[path][0]))
    return changes


# ---------------------------------------------------------------------------------------------
# Screenshots: 24-bit BMP from the driver to PNG

def bmp_to_png(bmp_path, png_path):
    with open(bmp_path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise Failure("not a BMP: " + bmp_path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise Failure("expected a 24-bit BMP: " + bmp_path)
    stride = (width * 3 + 3) & ~3
    top_down = height < 0
    height = abs(height)
    raw = bytearray()
    for y in range(height):
        src = y if top_down else height - 1 - y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        raw += b"\x00" + rgb

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body +
                struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(png_path, "wb") as f:
        f.write(png)


# ---------------------------------------------------------------------------------------------
# Packages

def expected_reader_caption(exe_path):
    """The caption of "Data header not found!": up to 36 bytes where the file's last 4 bytes
    point, cut at the first NUL; empty when that offset lies beyond the file."""
    with open(exe_path, "rb") as f:
        data = f.read()
    if len(data) < 4:
        return ""
    offset = struct.unpack_from("<I", data, len(data) - 4)[0]
    raw = data[offset:offset + 36] if offset < len(data) else b""
    return ansi_to_text(raw.split(b"\0", 1)[0])


def ansi_to_text(raw):
    """Decodes ANSI (code page 1252) as Windows does: its five unassigned bytes become the C1
    controls of the same value rather than errors."""
    return "".join(b.decode("cp1252") if b[0] not in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else chr(b[0])
                   for b in (raw[i:i + 1] for i in range(len(raw))))


def build_package(scenario, work, packer, launcher, log_path, kit=None):
    manifest = scenario.get("manifest")
    out_exe = os.path.join(work, "package.exe")
    if manifest is None:
        shutil.copyfile(launcher, out_exe)
        return out_exe
    manifest = json.loads(json.dumps(manifest))
    for item in manifest.get("items", []):
        if "file" in item:  # fixtures are named relative to tests/e2e/fixtures
            source = item["file"]
            # "kit/NAME" is one of the kit's built programs (--kit).
            if source.startswith("kit/"):
                if not kit:
                    raise Failure("scenario needs the kit's programs: pass --kit")
                source = os.path.join(os.path.abspath(kit), source[4:])
            else:
                source = os.path.join(FIXTURES, source)
            item["file"] = os.path.relpath(source, work)
    manifest_path = os.path.join(work, "manifest.json")
    with open(manifest_path, "w") as f:
        json.dump(manifest, f, indent=1)
    cmd = [packer, "build", "--manifest", manifest_path, "--launcher", launcher,
           "--output", out_exe]
    if run_logged(cmd, dict(os.environ), log_path, 120) != 0 or not os.path.isfile(out_exe):
        raise Failure("packer failed, see " + log_path)
    return out_exe


# ---------------------------------------------------------------------------------------------
# Registry

def reg_set_cmd(op):
    cmd = [WINE64, "reg", "add", op["key"], "/f"]
    if op.get("value") is not None:
        cmd += ["/v", op["value"]]
    else:
        cmd += ["/ve"]
    if "data" in op:
        cmd += ["/t", op.get("type", "REG_SZ"), "/d", str(op["data"])]
    return cmd


def reg_delete_cmd(op):
    cmd = [WINE64, "reg", "delete", op["key"], "/f"]
    if op.get("value") is not None:
        cmd[4:4] = ["/v", op["value"]]
    return cmd


def reg_query(env, key, value, log_path, work):
    """Returns (type, data) of one value, or None when the key or value is absent."""
    out_path = os.path.join(work, "reg-query.txt")
    cmd = [WINE64, "reg", "query", key] + (["/v", value] if value is not None else ["/ve"])
    with open(out_path, "wb") as out:
        rc = subprocess.run(cmd, env=env, stdout=out, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, timeout=120).returncode
    with open(out_path, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    with open(log_path, "a") as log:
        log.write("$ %s\n%s\n" % (" ".join(cmd), text))
    if rc != 0:
        return None
    name = value if value is not None else "(Default)"
    for line in text.splitlines():
        parts = line.strip().split("    ")
        if len(parts) >= 2 and parts[0].lower() == name.lower():
            return parts[1], (parts[2] if len(parts) > 2 else "")
    return None


REGISTRY_SNAPSHOT_ROOTS = (r"HKLM\Software", r"HKCU\Software")


def registry_snapshot(env, log_path, work, tag):
    """Exports the two Software trees; maps each key (lower case) to its sorted value lines."""
    keys = {}
    for i, root in enumerate(REGISTRY_SNAPSHOT_ROOTS):
        out = os.path.join(work, "reg-%s-%d.reg" % (tag, i))
        if run_logged([WINE64, "reg", "export", root, to_windows_path(out), "/y"], env, log_path,
                      120) != 0 or not os.path.isfile(out):
            raise Failure("reg export %s failed, see %s" % (root, log_path))
        with open(out, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-16" if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else "cp1252")
        # Continued hex lines end with a backslash: join them before splitting.
        text = re.sub(r"\\\r?\n\s*", "", text)
        current = None
        for line in text.splitlines():
            if line.startswith("[") and line.endswith("]"):
                current = line[1:-1].lower()
                keys[current] = []
            elif current is not None and line and not line.startswith("#time="):
                keys[current].append(line)
    return {k: sorted(v) for k, v in keys.items()}


# Keys Wine itself writes when a program first shows a window.
REGISTRY_CHURN = (r"HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters",)


def registry_changes(before, after, allowed=()):
    allowed = tuple(a.lower() for a in REGISTRY_CHURN + tuple(allowed))
    changes = []
    for key in sorted(set(before) | set(after)):
        if key.startswith(allowed):
            continue
        if key not in after:
            changes.append("removed [%s]" % key)
        elif key not in before:
            changes.append("added [%s] %s" % (key, after[key][:3]))
        elif before[key] != after[key]:
            gone = sorted(set(before[key]) - set(after[key]))
            new = sorted(set(after[key]) - set(before[key]))
            changes.append("changed [%s]: -%s +%s" % (key, gone[:3], new[:3]))
    return changes


# lnkinfo's labels for the fields a scenario can check.
LNK_FIELDS = {"description": "Description", "arguments": "Command line arguments",
              "working_dir": "Working directory", "target": "Local path"}


def read_link(path):
    """The fields lnkinfo (liblnk-utils) reads from a shell link; absent fields are None."""
    tool = shutil.which("lnkinfo")
    if not tool:
        raise Failure("lnkinfo not found (package liblnk-utils, see scripts/setup.sh)")
    out = subprocess.run([tool, path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         stdin=subprocess.DEVNULL, timeout=60).stdout.decode("utf-8", "replace")
    fields = {}
    for key, label in LNK_FIELDS.items():
        m = re.search(r"^\s*" + re.escape(label) + r"\s*:\s?(.*?)\s*$", out, re.M)
        fields[key] = m.group(1) if m else None
    return fields, out


def check_links(prefix, links):
    for win_path, want in links.items():
        path = drive_c_path(prefix, win_path)
        if not os.path.isfile(path):
            raise Failure("link %s missing" % win_path)
        got, raw = read_link(path)
        for key, value in want.items():
            if got.get(key) != value:
                raise Failure("link %s: %s is %r, expected %r\n%s"
                              % (win_path, key, got.get(key), value, raw))


# ---------------------------------------------------------------------------------------------
# Checks

def strip_mnemonic(text):
    return text.replace("&", "")


def box_summary(w):
    return {"text": w.get("text", ""), "caption": w["caption"], "icon": w.get("icon"),
            "buttons": [strip_mnemonic(b["text"]) for b in w.get("buttons", [])],
            "owner": "none" if not w.get("owner") else w.get("owner_class", "?")}


def check_message_boxes(log, expected, exe_path):
    boxes = [w for w in log["windows"] if w["kind"] == "message_box"]
    got = [box_summary(w) for w in boxes]
    want = []
    for e in expected:
        e = dict(e)
        if e.get("caption") is common.CAPTION_AT_TRAILING_OFFSET:
            e["caption"] = expected_reader_caption(exe_path)
        want.append(e)
    for i, e in enumerate(want):
        if i >= len(got):
            raise Failure("message box %d missing: expected %s; boxes seen: %s" % (i, e, got))
        for key, value in e.items():
            if got[i].get(key) != value:
                raise Failure("message box %d: %s is %r, expected %r (box: %s)"
                              % (i, key, got[i].get(key), value, got[i]))
    if len(got) > len(want):
        raise Failure("unexpected message box(es): %s" % got[len(want):])


def partial_match(actual, wanted):
    """True when every key of wanted matches; lists of dicts match item by item, in order."""
    for key, value in wanted.items():
        if key not in actual:
            return False
        a = actual[key]
        if isinstance(value, dict):
            if not isinstance(a, dict) or not partial_match(a, value):
                return False
        elif isinstance(value, list) and value and isinstance(value[0], dict):
            if not isinstance(a, list) or len(a) != len(value):
                return False
            if not all(partial_match(x, y) for x, y in zip(a, value)):
                return False
        elif a != value:
            return False
    return True


def check_windows(log, expect):
    optional = expect.get("optional_windows", [])
    others = [w for w in log["windows"] if w["kind"] != "message_box" and
              not any(partial_match(w, o) for o in optional)]
    wanted = expect.get("windows", [])
    for i, want in enumerate(wanted):
        if i >= len(others):
            raise Failure("window %d missing: expected %s" % (i, want))
        if not partial_match(others[i], want):
            raise Failure("window %d does not match %s: %s"
                          % (i, want, {k: others[i].get(k) for k in want}))
    if expect.get("only_these_windows", True) and len(others) > len(wanted):
        extra = [(w["class"], w["caption"]) for w in others[len(wanted):]]
        raise Failure("unexpected visible window(s): %s" % extra)
    for want in expect.get("hidden_windows", []):
        if not any(partial_match(h, want) for h in log["hidden_windows"]):
            raise Failure("no hidden window like %s; hidden: %s"
                          % (want, [(h["class"], h["width"], h["height"])
                                    for h in log["hidden_windows"]]))
    for cls in expect.get("never_visible_classes", []):
        if any(w["class"] == cls for w in log["windows"]):
            raise Failure("window of class %r became visible" % cls)


def check_steps(log):
    for s in log["steps"]:
        if s["status"] != "done":
            acts = "; ".join(a["detail"] for a in s["actions"])
            raise Failure("script step %d %s %s" % (s["index"], s["status"], acts))


def check_files(prefix, files):
    for win_path, want in files.items():
        path = drive_c_path(prefix, win_path)
        exists = os.path.exists(path)
        if want.get("exists", True) != exists:
            raise Failure("%s %s" % (win_path, "missing" if not exists else "exists"))
        if not exists:
            continue
        if "content" in want or "contains" in want:
            with open(path, "rb") as f:
                data = f.read()
            content = want.get("content")
            if isinstance(content, str):
                content = content.encode("cp1252")
            if content is not None and data != content:
                raise Failure("%s holds %r, expected %r" % (win_path, data[:200], content))
            needles = want.get("contains")
            if not isinstance(needles, (list, tuple)):
                needles = [needles]
            for needle in needles:
                if isinstance(needle, str):
                    needle = needle.encode("cp1252")
                if needle is not None and needle not in data:
                    raise Failure("%s does not contain %r" % (win_path, needle))


def check_temp(prefix, want):
    temp = os.path.join(prefix, "drive_c", "users", USER, "Temp")
    names = sorted(os.listdir(temp)) if os.path.isdir(temp) else []
    if names != sorted(want):
        raise Failure("temp folder holds %s, expected %s" % (names, sorted(want)))


def check_log(log, expect, exe_path):
    if log.get("start_error"):
        raise Failure("driver could not start the program: " + log["start_error"])
    if log["timeout"] != expect.get("timeout", False):
        raise Failure("run timed out" if log["timeout"] else "run ended, a timeout was expected")
    check_steps(log)
    if "message_boxes" in expect:
        check_message_boxes(log, expect["message_boxes"], exe_path)
    check_windows(log, expect)
    if "exit_code" in expect and log["exit_code"] != expect["exit_code"]:
        raise Failure("exit code %s, expected 0x%08X" % (log["exit_code_hex"], expect["exit_code"]))


# ---------------------------------------------------------------------------------------------
# One scenario

class Context:
    def __init__(self, args, template, root, shots):
        self.args, self.template, self.root, self.shots = args, template, root, shots


def driver_script(scenario, path):
    with open(path, "w") as f:
        json.dump(scenario.get("script", {"steps": []}), f, indent=1)


def prepare_files(prefix, files):
    for win_path, content in files.items():
        path = drive_c_path(prefix, win_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content.encode("cp1252") if isinstance(content, str) else content)


def run_driver(ctx, env, work, tag, run, program, cwd, shot_dir, cmd_log):
    """One program run under the driver with run's script, options and arguments; its log."""
    script_path = os.path.join(work, "script%s.json" % tag)
    driver_log = os.path.join(work, "driver-log%s.json" % tag)
    driver_script(run, script_path)
    timeout_ms = run.get("timeout_ms", 20000)
    cmd = [WINE64, ctx.args.driver, "--script", to_windows_path(script_path),
           "--log", to_windows_path(driver_log), "--timeout-ms", str(timeout_ms),
           "--screenshot-dir", to_windows_path(shot_dir), "--cwd", cwd]
    if run.get("wait_children"):
        cmd.append("--wait-children")
    cmd += ["--", program] + list(run.get("args", []))
    rc = run_logged(cmd, env, cmd_log, timeout_ms / 1000 + 120)
    if rc != 0 or not os.path.isfile(driver_log):
        raise Failure("uidriver failed (exit %d), see %s" % (rc, cmd_log))
    with open(driver_log, encoding="utf-8") as f:
        log = json.load(f)
    # The driver takes any dialog whose text static has id 0xFFFF for a message box; a dialog
    # with an edit box (the install options dialog has such a static) is never one.
    for w in log.get("windows", []):
        if w.get("kind") == "message_box" and w.get("edits"):
            w["kind"] = "dialog"
    return log


def check_registry_results(results):
    for q, got in results:
        want = q.get("data")
        have = None if got is None else got[1]
        if want != have:
            raise Failure("registry %s \"%s\" is %r, expected %r"
                          % (q["key"], q.get("value"), have, want))


def check_run(prefix, env, work, cmd_log, log, expect, exe_path):
    """The checks of one run of a scenario with follow-up runs, made while the prefix is live."""
    check_log(log, expect, exe_path)
    check_registry_results([(q, reg_query(env, q["key"], q.get("value"), cmd_log, work))
                            for q in expect.get("registry", [])])
    check_files(prefix, expect.get("files", {}))
    check_links(prefix, expect.get("links", {}))


def run_scenario(ctx, scenario, display):
    """Returns (ok, reason, log path)."""
    name = scenario["name"]
    work = os.path.join(ctx.root, name)
    os.makedirs(work)
    cmd_log = os.path.join(work, "commands.log")
    driver_log = os.path.join(work, "driver-log.json")
    prefix = os.path.join(work, "prefix")
    env = wine_env(prefix, display.name)
    expect = scenario.get("expect", {})
    server_started = False
    try:
        launcher = ctx.args.selftest_app if ctx.args.selftest else ctx.args.launcher
        limit = scenario.get("launcher_max_size")
        if limit is not None and os.path.getsize(launcher) > limit:
            raise Failure("launcher is %d bytes; this scenario needs at most %d (the marker "
                          "search only covers the file's first bytes)"
                          % (os.path.getsize(launcher), limit))
        exe = build_package(scenario, work, ctx.args.packer, launcher, cmd_log, ctx.args.kit)
        subprocess.run(["cp", "-a", ctx.template, prefix], check=True)
        place = scenario.get("place", r"C:\test\setup.exe")
        placed = drive_c_path(prefix, place)
        os.makedirs(os.path.dirname(placed), exist_ok=True)
        shutil.copyfile(exe, placed)
        prepare_files(prefix, scenario.get("prepare_files", {}))
        # One persistent server for all commands of the scenario, on this worker's display.
        run_logged([WINESERVER, "-p"], env, cmd_log, 60)
        server_started = True
        for op in scenario.get("registry", []):
            cmd = reg_set_cmd(op) if op["op"] == "set" else reg_delete_cmd(op)
            rc = run_logged(cmd, env, cmd_log, 120)
            if rc != 0 and op["op"] == "set":
                raise Failure("registry preparation failed: " + " ".join(cmd))
        before = list_drive_c(prefix)
        follow_ups = scenario.get("then", [])
        reg_before = None
        if expect.get("registry_unchanged"):
            reg_before = registry_snapshot(env, cmd_log, work, "before")
        shot_dir = os.path.join(work, "shots")
        os.makedirs(shot_dir)
        cwd = scenario.get("cwd", place.rsplit("\\", 1)[0])
        log = run_driver(ctx, env, work, "", scenario, place, cwd, shot_dir, cmd_log)
        if follow_ups:
            # Each run is checked before the next one changes the prefix.
            check_run(prefix, env, work, cmd_log, log, expect, placed)
            for i, then in enumerate(follow_ups):
                program = then["program"]
                prepare_files(prefix, then.get("prepare_files", {}))
                then_log = run_driver(ctx, env, work, "-then%d" % (i + 1), then, program,
                                      then.get("cwd", program.rsplit("\\", 1)[0]), shot_dir,
                                      cmd_log)
                try:
                    check_run(prefix, env, work, cmd_log, then_log, then.get("expect", {}),
                              drive_c_path(prefix, program))
                except Failure as e:
                    raise Failure("follow-up run %d (%s): %s" % (i + 1, program, e))
        reg_results = [] if follow_ups else [
            (q, reg_query(env, q["key"], q.get("value"), cmd_log, work))
            for q in expect.get("registry", [])]
        reg_after = None
        if reg_before is not None:
            reg_after = registry_snapshot(env, cmd_log, work, "after")
        run_logged([WINESERVER, "-k"], env, cmd_log, 60)
        run_logged([WINESERVER, "-w"], env, cmd_log, 60)
        server_started = False
        after = list_drive_c(prefix)
        if not follow_ups:
            check_log(log, expect, placed)
            check_registry_results(reg_results)
            check_files(prefix, expect.get("files", {}))
            check_links(prefix, expect.get("links", {}))
        if reg_before is not None:
            changes = registry_changes(reg_before, reg_after, expect.get("registry_allowed", ()))
            if changes:
                raise Failure("registry changed: %s" % "; ".join(changes[:10]))
        if "temp" in expect:
            check_temp(prefix, expect["temp"])
        if expect.get("drive_c_unchanged"):
            changes = drive_c_changes(before, after, expect.get("drive_c_allowed", ()))
            if changes:
                raise Failure("drive_c changed: %s" % ", ".join(changes[:10]))
        for shot in expect.get("screenshots", []):
            bmp = os.path.join(shot_dir, shot)
            if not os.path.isfile(bmp):
                raise Failure("screenshot %s was not taken" % shot)
            png = os.path.join(ctx.shots, name + "-" + shot.rsplit(".", 1)[0] + ".png")
            bmp_to_png(bmp, png)
        return True, "", driver_log
    except Failure as e:
        return False, str(e), driver_log
    except Exception as e:  # a broken scenario or tool: report it as this scenario's failure
        return False, "%s: %s" % (type(e).__name__, e) + "\n" + traceback.format_exc(), driver_log
    finally:
        if server_started:
            subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)


def judge(scenario, ok, reason):
    """Applies expect_failure: a scenario that must be caught by the checks."""
    wanted = scenario.get("expect_failure")
    if wanted is None:
        return ok, reason
    if ok:
        return False, "the checks accepted a run they should reject (%s)" % wanted
    if wanted not in reason:
        return False, "rejected for another reason than %r: %s" % (wanted, reason)
    return True, ""


# ---------------------------------------------------------------------------------------------
# Main

def load_scenarios(selftest):
    files = ["selftest.py"] if selftest else sorted(
        f for f in os.listdir(os.path.join(HERE, "scenarios"))
        if f.endswith(".py") and f not in ("selftest.py", "common.py"))
    scenarios = []
    for f in files:
        found = importlib.util.spec_from_file_location(f[:-3], os.path.join(HERE, "scenarios", f))
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        scenarios += module.SCENARIOS
    names = [s["name"] for s in scenarios]
    duplicates = {n for n in names if names.count(n) > 1}
    if duplicates:
        raise SystemExit("duplicate scenario names: %s" % sorted(duplicates))
    for s in scenarios:
        common.validate(s)
    return scenarios


def missing_tool(args, scenario):
    """Names the tool a scenario needs that is not there, or returns None."""
    program = args.selftest_app if args.selftest else args.launcher
    if not args.driver or not os.path.isfile(args.driver):
        return "driver not built: %s" % args.driver
    if not program or not os.path.isfile(program):
        return ("selftest app not built: %s" if args.selftest else "launcher not built: %s") % program
    if scenario.get("manifest") is not None and (not args.packer or not os.path.isfile(args.packer)):
        return "packer not built: %s" % args.packer
    return None


def parse_args():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--launcher")
    p.add_argument("--packer")
    p.add_argument("--kit", help="folder of the kit's built programs (engine, viewer, ...)")
    p.add_argument("--driver", required=True)
    p.add_argument("--selftest", action="store_true", help="run the driver's own scenarios")
    p.add_argument("--selftest-app", help="selftest_app.exe (with --selftest)")
    p.add_argument("--only", action="append", help="run only this scenario (repeatable)")
    p.add_argument("--keep", action="store_true", help="keep every prefix and log")
    p.add_argument("--screenshots", help="folder for the PNG screenshots")
    p.add_argument("--workdir", help="folder for prefixes and logs (default: a new /tmp folder)")
    p.add_argument("-j", type=int, default=1, dest="jobs")
    return p.parse_args()


def main():
    args = parse_args()
    scenarios = load_scenarios(args.selftest)
    if args.only:
        unknown = set(args.only) - {s["name"] for s in scenarios}
        if unknown:
            raise SystemExit("unknown scenario(s): %s" % sorted(unknown))
        scenarios = [s for s in scenarios if s["name"] in args.only]
    root = args.workdir or tempfile.mkdtemp(prefix="e2e-run-")
    os.makedirs(root, exist_ok=True)
    shots = os.path.abspath(args.screenshots or os.path.join(root, "screenshots"))
    os.makedirs(shots, exist_ok=True)
    skipped = failed = 0
    runnable = []
    for s in scenarios:
        missing = missing_tool(args, s)
        if s.get("skip"):
            print("SKIP %s: %s" % (s["name"], s["skip"]), flush=True)
            skipped += 1
        elif missing:
            # No Wine needed to say so; this is the normal state before the tools are built.
            print("FAIL %s: %s [log: none]" % (s["name"], missing), flush=True)
            failed += 1
        else:
            runnable.append(s)
    if not runnable:
        print("%d passed, %d failed" % (0, failed) + (", %d skipped" % skipped if skipped else ""))
        return 1 if failed else 0
    workers = max(1, min(args.jobs, len(runnable) or 1))
    displays = [Display() for _ in range(workers)]
    free = queue.Queue()
    for d in displays:
        free.put(d)
    passed = 0
    lock = threading.Lock()
    try:
        template = make_template(root, displays[0], os.path.join(root, "template.log"))
        ctx = Context(args, template, root, shots)

        def one(s):
            display = free.get()
            try:
                started = time.time()
                ok, reason, log_path = run_scenario(ctx, s, display)
                ok, reason = judge(s, ok, reason)
                if not ok:
                    # Wine under load now and then loses a run that passes as it stands (a
                    # program ending at once with nothing shown). One more try, in a fresh
                    # prefix; the first attempt is kept beside it and named in the output.
                    first = os.path.join(root, s["name"] + ".attempt1")
                    shutil.rmtree(first, ignore_errors=True)
                    os.rename(os.path.join(root, s["name"]), first)
                    with lock:
                        print("RETRY %s: %s [kept: %s]" % (s["name"], reason, first), flush=True)
                    ok, reason, log_path = run_scenario(ctx, s, display)
                    ok, reason = judge(s, ok, reason)
                return s, ok, reason, log_path, time.time() - started
            finally:
                free.put(display)

        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            for s, ok, reason, log_path, secs in pool.map(one, runnable):
                with lock:
                    if ok:
                        passed += 1
                        print("PASS %s (%.1f s)" % (s["name"], secs), flush=True)
                        if not args.keep:
                            shutil.rmtree(os.path.join(root, s["name"]), ignore_errors=True)
                    else:
                        failed += 1
                        if not os.path.isfile(log_path):  # failed before the driver ran
                            log_path = os.path.join(os.path.dirname(log_path), "commands.log")
                        print("FAIL %s: %s [log: %s]" % (s["name"], reason, log_path), flush=True)
    finally:
        for d in displays:
            d.close()
    if failed == 0 and not args.keep:
        shutil.rmtree(os.path.join(root, "template"), ignore_errors=True)
    if os.listdir(shots):
        print("screenshots: %s" % shots)
    summary = "%d passed, %d failed" % (passed, failed)
    if skipped:
        summary += ", %d skipped" % skipped
    print(summary)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
