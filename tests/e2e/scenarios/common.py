"""Helpers and the key list for scenario data.

A scenario is a dict:
  name          unique; also the name of its work folder
  manifest      packer manifest ({"items": [...], "damage": {...}}); file items name paths under
                tests/e2e/fixtures; None runs the launcher (or selftest app) as it is
  place         Windows path the program is copied to (default C:\\test\\setup.exe)
  args, cwd     extra command-line arguments; working folder (default: the program's folder)
  prepare_files {"C:\\path": content} written into the prefix before the run
  registry      operations before the run: set_value(...) / delete_value(...)
  script        the driver script: {"default_message_box": "enter"|"leave", "steps": [...]}
  timeout_ms, wait_children   passed to the driver
  expect        checks after the run, all optional:
      exit_code, timeout (default False)
      message_boxes   the exact boxes in order: dicts of text, caption, icon, buttons, owner
      windows         the other visible windows in order (partial dicts over the driver's log)
      only_these_windows   (default True) no visible window besides the listed ones
      optional_windows     partial dicts of windows that may or may not be seen (a window up
                      for milliseconds); they are left out of the two checks above
      hidden_windows  partial dicts that must match a window that was never shown
      never_visible_classes
      files           {"C:\\path": {"exists": bool, "content": str|bytes, "contains": str or list}}
      temp            exact list of names in the user's temp folder
      registry        [{"key", "value", "data"}]: data None means absent
      drive_c_unchanged, drive_c_allowed (path prefixes under drive_c that may change)
      registry_unchanged, registry_allowed (key prefixes that may change): HKLM\\Software and
                      HKCU\\Software exported before the first run and after the last
      links           {"C:\\x.lnk": {"target", "arguments", "working_dir", "description"}} as
                      lnkinfo reads them (None: the field is absent)
      screenshots     BMP names the script took; saved as PNG for the report
  then          follow-up runs in the same prefix, in order, each checked before the next:
                [{"program": "C:\\...", "args", "cwd", "prepare_files", "script", "timeout_ms",
                  "wait_children",
                  "expect": {exit_code, timeout, message_boxes, windows, ..., files, registry,
                             links}}]; temp, drive_c_* and registry_* of the scenario's own
                expect are judged once, after the last run
  launcher_max_size  fail at once, with the reason, when the launcher file is larger
  expect_failure  the checks must reject the run with a reason containing this text
  skip            a reason to skip the scenario
"""

KEYS = {"name", "manifest", "place", "prepare_files", "args", "cwd", "registry", "script", "timeout_ms",
        "wait_children", "expect", "expect_failure", "skip", "launcher_max_size",
        "then"}
EXPECT_KEYS = {"exit_code", "timeout", "message_boxes", "windows", "only_these_windows",
               "optional_windows",
               "hidden_windows", "never_visible_classes", "files", "temp", "registry",
               "drive_c_unchanged", "drive_c_allowed", "screenshots", "registry_unchanged",
               "registry_allowed", "links"}
THEN_KEYS = {"program", "args", "cwd", "prepare_files", "script", "timeout_ms", "wait_children",
             "expect"}
THEN_EXPECT_KEYS = {"exit_code", "timeout", "message_boxes", "windows", "only_these_windows",
                    "optional_windows",
               "optional_windows",
                    "hidden_windows", "never_visible_classes", "files", "registry", "links"}
LINK_KEYS = {"target", "arguments", "working_dir", "description"}
BOX_KEYS = {"text", "caption", "icon", "buttons", "owner"}
ACTIONS = {"click", "command", "set_text", "key", "close", "alt_f4", "sleep", "screenshot"}


class _CaptionAtTrailingOffset:
    def __repr__(self):
        return "<caption read where the file's last 4 bytes point>"


# The reader's "Data header not found!" caption depends on the launcher's bytes; the runner
# computes it from the program file it ran.
CAPTION_AT_TRAILING_OFFSET = _CaptionAtTrailingOffset()

# The marker search reads 20 blocks of 9999 bytes and tries positions 0..9962 of each, so a
# package appended to a launcher is only found when the launcher is at most this long.
LAST_SEARCHED_MARKER_START = 19 * 9999 + 9962

DIRECTX_KEY = r"HKLM\Software\Microsoft\DirectX"
OWNER_WINDOW_CLASS = "OrvaneExe Window"


def set_value(key, value, data, kind="REG_SZ"):
    return {"op": "set", "key": key, "value": value, "data": data, "type": kind}


def delete_value(key, value):
    return {"op": "delete", "key": key, "value": value}


def directx(version):
    """Every scenario fixes the DirectX value: a fresh prefix already holds 4.09.00.0904."""
    if version is None:
        return delete_value(DIRECTX_KEY, "Version")
    return set_value(DIRECTX_KEY, "Version", version)


def box(text, caption, icon="none", buttons=("OK",), owner="none"):
    return {"text": text, "caption": caption, "icon": icon, "buttons": list(buttons),
            "owner": owner}


def step(window=None, actions=(), delay_ms=0):
    s = {"actions": list(actions)}
    if window is not None:
        s["window"] = window
    if delay_ms:
        s["delay_ms"] = delay_ms
    return s


def validate(s):
    """Rejects typos early: an unknown key would otherwise turn a check off silently."""
    name = s.get("name", "?")
    bad = set(s) - KEYS
    if bad:
        raise SystemExit("scenario %s: unknown keys %s" % (name, sorted(bad)))
    _validate_run(name, s, EXPECT_KEYS)
    for i, then in enumerate(s.get("then", [])):
        bad = set(then) - THEN_KEYS
        if bad or "program" not in then:
            raise SystemExit("scenario %s: follow-up %d: unknown keys %s or no program"
                             % (name, i + 1, sorted(bad)))
        _validate_run("%s (follow-up %d)" % (name, i + 1), then, THEN_EXPECT_KEYS)
    for op in s.get("registry", []):
        if op.get("op") not in ("set", "delete"):
            raise SystemExit("scenario %s: bad registry operation %r" % (name, op))


def _validate_run(name, s, expect_keys):
    bad = set(s.get("expect", {})) - expect_keys
    if bad:
        raise SystemExit("scenario %s: unknown expect keys %s" % (name, sorted(bad)))
    for link in s.get("expect", {}).get("links", {}).values():
        if set(link) - LINK_KEYS:
            raise SystemExit("scenario %s: unknown link keys %s"
                             % (name, sorted(set(link) - LINK_KEYS)))
    for b in s.get("expect", {}).get("message_boxes", []):
        if set(b) - BOX_KEYS:
            raise SystemExit("scenario %s: unknown box keys %s" % (name, sorted(set(b) - BOX_KEYS)))
    for st in s.get("script", {}).get("steps", []):
        for a in st.get("actions", []):
            if a.get("do") not in ACTIONS:
                raise SystemExit("scenario %s: unknown action %r" % (name, a.get("do")))
