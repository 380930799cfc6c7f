#!/usr/bin/env python3
"""Runs the demo executable under Wine as a user would double-click it, in a private prefix and
on a virtual display when there is none, and reports what happened: the viewer's view of the
extracted project, the time taken, a screenshot, and what was left in the temporary folder."""
import argparse
import os
import shutil
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64" if os.path.exists("/usr/lib/wine/wineserver64") else "wineserver"


def start_display(env):
    if env.get("DISPLAY"):
        return None
    for number in range(90, 140):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists("/tmp/.X%d-lock" % number):
            xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            env["DISPLAY"] = ":%d" % number
            for _ in range(50):
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    break
                time.sleep(0.1)
            return xvfb
    sys.exit("no free display number for Xvfb")


def wine(env, *args, timeout=120, **kw):
    return subprocess.run([WINE, *args], env=env, timeout=timeout, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, **kw)


def prepare_prefix(env, prefix):
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        os.makedirs(prefix, exist_ok=True)
        wine(env, "wineboot", "-i", timeout=300)
        # Without a window manager Wine pauses at every window close unless windows are unmanaged.
        wine(env, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        subprocess.run([WINESERVER, "-w"], env=env, timeout=120)


def listing(folder):
    out = []
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            out.append(os.path.relpath(os.path.join(root, name), folder))
    return sorted(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    prefix = os.path.join(out, "prefix")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d")
    xvfb = start_display(env)
    try:
        prepare_prefix(env, prefix)
        user = os.path.join(prefix, "drive_c", "users", os.environ.get("USER", "root"))
        temp = os.path.join(user, "Temp")
        downloads = os.path.join(user, "Downloads")
        os.makedirs(downloads, exist_ok=True)
        os.makedirs(temp, exist_ok=True)
        target = os.path.join(downloads, "DemoProject.exe")
        shutil.copy2(args.exe, target)
        report = os.path.join(prefix, "drive_c", "orvane-demo-report.txt")
        if os.path.exists(report):
            os.remove(report)
        before = listing(temp)

        started = time.time()
        with open(os.path.join(out, "wine-output.txt"), "w") as log:
            run = subprocess.Popen([WINE, target], env=env, stdout=log, stderr=log)
            screenshot = os.path.join(out, "viewer.png")
            # The viewer writes its report as it starts, then shows its window for a few seconds.
            deadline = time.time() + 60
            while not os.path.exists(report) and run.poll() is None and time.time() < deadline:
                time.sleep(0.2)
            time.sleep(1.5)
            subprocess.run(["import", "-display", env["DISPLAY"], "-window", "root", screenshot],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            code = run.wait(timeout=180)
        took = time.time() - started
        subprocess.run([WINESERVER, "-w"], env=env, timeout=60)

        after = listing(temp)
        left = [p for p in after if p not in before]
        seen = {}
        if os.path.exists(report):
            for line in open(report, encoding="latin-1"):
                key, _, value = line.rstrip("\n").partition("=")
                seen[key] = value
        print("launcher exit code: %d, run took %.1f s (viewer shown for its own time)" % (code, took))
        print("viewer decoded its project: %s (%s)" % (seen.get("decoded", "no report"), seen.get("name", "-")))
        print("extracted and seen by the viewer: %s files, %s bytes, in %s" %
              (seen.get("files", "?"), seen.get("bytes", "?"), seen.get("folder", "?")))
        print("viewer's PATH began with: %s" % ";".join(seen.get("path", "").split(";")[:2]))
        print("cache files the viewer wrote: %s" % seen.get("cache", "?"))
        print("left in the temporary folder: %s" % (", ".join(left) if left else "nothing"))
        print("screenshot: %s" % screenshot)
        ok = code == 0 and seen.get("decoded") == "yes" and not left
        print("demo: %s" % ("ok" if ok else "FAILED"))
        return 0 if ok else 1
    finally:
        if xvfb is not None:
            xvfb.terminate()


if __name__ == "__main__":
    sys.exit(main())
