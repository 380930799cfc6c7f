"""The UI driver's own scenarios, run against selftest_app.exe (run_scenarios.py --selftest)."""

from common import box, delete_value, directx, set_value, step

ANSWER = r"C:\test\answer.txt"


def app(name, args, expect, **extra):
    s = {"name": name, "manifest": None, "args": args, "registry": [directx(None)],
         "expect": dict({"exit_code": 0}, **expect)}
    s.update(extra)
    return s


ICONS = ["none", "error", "warning", "information", "question"]

DIALOG = {"class": "#32770", "caption": "Installation Options", "kind": "dialog",
          "edits": ["C:\\Default"],
          "buttons": [{"text": "Browse...", "id": 1001, "default": False},
                      {"text": "Install", "id": 1, "default": True},
                      {"text": "Cancel", "id": 1002, "default": False}]}
OPTIONS = {"caption": "Installation Options"}

# How each way of leaving the dialog shows up in the file the dialog writes.
DIALOG_ANSWERS = [
    ("install_typed", [{"do": "set_text", "id": 1000, "text": "C:\\Games\\Demo"},
                       {"do": "click", "text": "Install"}], "install:C:\\Games\\Demo:changes=1"),
    ("enter", [{"do": "key", "key": "enter"}], "install:C:\\Default:changes=0"),
    ("click_by_id", [{"do": "click", "id": 1}], "install:C:\\Default:changes=0"),
    ("cancel_button", [{"do": "click", "text": "Cancel"}], "cancel-button"),
    ("esc", [{"do": "key", "key": "esc"}], "cancel"),
    ("close_box", [{"do": "close"}], "cancel"),
    ("alt_f4", [{"do": "alt_f4"}], "cancel"),
]

SCENARIOS = [
    app("box_icon_" + icon, ["box", icon, "Caption " + icon, "Text with \"quotes\" & é"],
        {"message_boxes": [box("Text with \"quotes\" & é", "Caption " + icon, icon)]})
    for icon in ICONS
] + [
    app("two_boxes_by_default", ["two"],
        {"message_boxes": [box("First box", "One"), box("Second box", "Two")]}),
    app("yesno_default_is_yes", ["yesno", ANSWER],
        {"message_boxes": [box("Proceed?", "Question", "question", ["Yes", "No"])],
         "files": {ANSWER: {"content": "yes"}}}),
    app("yesno_click_no", ["yesno", ANSWER],
        {"message_boxes": [box("Proceed?", "Question", "question", ["Yes", "No"])],
         "files": {ANSWER: {"content": "no"}}},
        script={"steps": [step({"text": "Proceed?"}, [{"do": "click", "text": "No"}])]}),
] + [
    app("dialog_" + name, ["dialog", ANSWER],
        {"message_boxes": [], "windows": [DIALOG], "files": {ANSWER: {"content": result}}},
        script={"steps": [step(OPTIONS, actions)]})
    for name, actions, result in DIALOG_ANSWERS
] + [
    # The nested box disables the dialog; the next step must wait until it is usable again.
    app("dialog_browse_then_install", ["dialog", ANSWER],
        {"message_boxes": [box("Browse pressed", "Browse", "information", owner="#32770")],
         "windows": [DIALOG], "files": {ANSWER: {"content": "install:C:\\Default:changes=0"}}},
        script={"steps": [step(OPTIONS, [{"do": "click", "id": 1001}]),
                          step({"caption": "Browse"}, [{"do": "click", "text": "OK"}]),
                          step(OPTIONS, [{"do": "click", "text": "Install"}])]}),
    app("dialog_left_alone_times_out", ["dialog", ANSWER],
        {"timeout": True, "exit_code": 0xDEAD, "windows": [DIALOG],
         "files": {ANSWER: {"content": "none"}}},
        timeout_ms=3000),
    app("progress_bar", ["progress"],
        {"windows": [{"caption": "Copying", "kind": "dialog", "statics": ["Copying files..."],
                      "controls": [{"class": "Static"},
                                   {"class": "msctls_progress32", "id": 1003, "pos": 250,
                                    "range_low": 0, "range_high": 500}]}],
         "message_boxes": [box("Done", "Progress")]}),
    app("hidden_window", ["hidden"],
        {"message_boxes": [box("Hidden made", "Hidden")],
         # Wine widens a captioned window to its minimum tracking size, so no size is checked.
         "hidden_windows": [{"class": "SelftestHidden", "caption": "Hidden owner",
                             "process": "main"}],
         "never_visible_classes": ["SelftestHidden"]}),
    app("child_process_box", ["child", "box", "information", "Kid", "From child"],
        {"message_boxes": [box("From child", "Kid", "information")],
         "windows": []}),
    app("crash_ends_at_once", ["crash"], {"exit_code": 0xC0000005, "message_boxes": []},
        timeout_ms=15000),
    app("hang_times_out", ["hang"], {"timeout": True, "exit_code": 0xDEAD}, timeout_ms=2000),
    app("exit_code", ["exit", "7"],
        {"exit_code": 7, "message_boxes": [], "drive_c_unchanged": True, "temp": []}),
    app("screenshot_to_png", ["box", "error", "Shot", "Screenshot me"],
        {"message_boxes": [box("Screenshot me", "Shot", "error")],
         "screenshots": ["shot.bmp"]},
        script={"steps": [step({"caption": "Shot"}, [{"do": "screenshot", "file": "shot.bmp"},
                                                     {"do": "click", "text": "OK"}])]}),
    app("registry_set_and_delete", ["exit", "0"],
        {"registry": [{"key": r"HKCU\Software\OrvaneSelftest", "value": "Answer", "data": "42"},
                      {"key": r"HKLM\Software\Microsoft\DirectX", "value": "Version",
                       "data": None}]},
        registry=[directx(None), set_value(r"HKCU\Software\OrvaneSelftest", "Answer", "42"),
                  set_value(r"HKCU\Software\OrvaneSelftest", "Gone", "x"),
                  delete_value(r"HKCU\Software\OrvaneSelftest", "Gone")]),
    # The checks themselves: each of these runs must be rejected, for the reason given.
    app("reject_wrong_text", ["box", "none", "Cap", "Actual text"],
        {"message_boxes": [box("Other text", "Cap")]}, expect_failure="text is 'Actual text'"),
    app("reject_wrong_icon", ["box", "warning", "Cap", "T"],
        {"message_boxes": [box("T", "Cap", "error")]}, expect_failure="icon is 'warning'"),
    app("reject_extra_box", ["two"], {"message_boxes": [box("First box", "One")]},
        expect_failure="unexpected message box"),
    app("reject_written_file", ["yesno", ANSWER], {"drive_c_unchanged": True},
        expect_failure="drive_c changed: added test/answer.txt"),
    app("reject_missing_step_target", ["exit", "0"], {},
        script={"steps": [step({"caption": "Never shown"}, [{"do": "click", "id": 1}])]},
        expect_failure="script step 0 pending"),
]
