"""Folder installation with the kit's engine, viewer and uninstaller: the install options dialog,
the files, Start-menu links and uninstall entry an installation leaves, the ways out before
anything is written, the viewer started after the installation, and the kit's uninstaller
taking all of it away again."""

from common import box, directx, step
from run_mode import RUNTIME

PROJECT = "Demo"
DEFAULT_FOLDER = r"C:\Program Files\Orvane Demo"
TYPED_FOLDER = r"C:\Games\Demo Install"
TEMP = r"C:\users\root\Temp"
# Where Wine 8 keeps CSIDL_PROGRAMS for the user root.
PROGRAMS = r"C:\users\root\AppData\Roaming\Microsoft\Windows\Start Menu\Programs"
SHORTCUT = r"\Orvane Demo\Demo"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane" + PROJECT
REPORT = r"C:\viewer-report.txt"
# Content files that keep the progress window up for the screenshot: the driver needs a few
# seconds to look at a window whose thread pumps no messages (each query times out).
BULK = 6000

OPTIONS = {"caption": PROJECT + " Installation Options"}
OPTIONS_WINDOW = {"caption": PROJECT + " Installation Options", "kind": "dialog"}
BROWSER = {"static_contains": "Select Installation Directory"}
# The launcher pumps no messages while it extracts, so the progress window's caption cannot be
# read from outside then (WM_GETTEXT times out): it is found by its owner's process and class.
PROGRESS = {"class": "#32770", "process": "main"}
PROGRESS_WINDOW = {"kind": "dialog", "owner_class": "OrvaneExe Window",
                   "controls": [{"class": "msctls_progress32", "id": 1003}]}
VIEWER_WINDOW = {"caption": "E2E Project - Orvane Viewer", "process": "child"}

SUCCESS = box("Installation successfully completed!\r\nYou are able to find the installed "
              "program in the Start menu.", PROJECT, icon="information")
DIRECTX_WARNING = box("DirectX 9.0C or higher was not detected on this system\r\nPlease install "
                      "DirectX 9.0C or higher before running the program that is installed.\r\n"
                      "Continue installation?", "DirectX version check", icon="warning",
                      buttons=("Yes", "No"))
UNINSTALL_QUESTION = box("Do you want to remove %s and all of its components?" % PROJECT,
                         PROJECT + " Uninstall", icon="question", buttons=("Yes", "No"))
UNINSTALL_DONE = box(PROJECT + " was removed from your computer.", PROJECT + " Uninstall",
                     icon="information")

# The uninstaller's copy in the temp folder stays until the next restart.
UNINSTALLER_COPY = "users/root/Temp/ORVUnInst-"


def items(check_dx=0, run_after=0, project_file="project/start.txt", bulk=0):
    """The folder-installation package; bulk adds that many one-line content files in folders of
    100 so that the progress window stays up long enough to be seen (without them it is gone
    within a few milliseconds, before the driver's next look)."""
    out = [{"name": "ProjectType", "number": 2}, {"name": "CheckDx8", "flag": check_dx},
           {"name": "RunAfterInstall", "flag": run_after},
           {"name": "InstallPath", "text": DEFAULT_FOLDER},
           {"name": "ShortCutName", "text": SHORTCUT},
           {"name": "ProjectName", "text": PROJECT},
           {"name": "OrvaneViewer.exe", "file": "kit/OrvaneViewer.exe", "form": "zlib"},
           {"name": "ORVUnInst.exe", "file": "kit/ORVUnInst.exe", "form": "zlib"}]
    out += [{"name": name, "file": "kit/" + built, "form": "zlib"} for name, built in RUNTIME]
    out.append({"name": "ORVStart.orv", "file": project_file, "form": "tmkf"})
    content = ["\\data\\scene.txt", "data/sub/notes.txt"]
    bulk_names = ["\\bulk\\%02d\\f%04d.txt" % (i // 100, i) for i in range(bulk)]
    out += [
        {"category": "CHANNELINFO", "list": "ChannelItemNameID", "count": "ChannelCount",
         "names": ["\\channels\\E2ESky.dll"]},
        {"category": "CHANNELINFO", "list": "ChannelDLLItemNameID", "count": "ChannelDLLCount",
         "names": ["\\3rd\\E2EMath.dll"]},
        {"name": "\\channels\\E2ESky.dll", "file": "kit/Quillet.dll", "form": "tmkf"},
        {"name": "\\3rd\\E2EMath.dll", "file": "kit/msvcr71.dll", "form": "tmkf"},
        {"name": "\\data\\scene.txt", "file": "project/data/scene.txt"},
        {"name": "data/sub/notes.txt", "file": "project/data/sub/notes.txt"},
        {"category": "FILEINFO", "list": "ItemNameID", "count": "FileCount",
         "names": content + bulk_names},
    ]
    out += [{"name": n, "text": "bulk file %d" % i} for i, n in enumerate(bulk_names)]
    return out


def installed_files(folder):
    names = (["OrvaneViewer.exe", "ORVUnInst.exe", "ORVStart.orv", "uninstall.nfo",
              "channels\\E2ESky.dll", "3rd\\E2EMath.dll", "data\\scene.txt",
              "data\\sub\\notes.txt"] + [name for name, _ in RUNTIME])
    return {folder + "\\" + n: {"exists": True} for n in names}


def links(folder):
    base = PROGRAMS + SHORTCUT
    return {
        base + ".lnk": {"target": folder + "\\OrvaneViewer.exe", "arguments": "ORVStart.orv",
                        "working_dir": folder, "description": "Orvane Project Link"},
        base + " Uninstall.lnk": {"target": folder + "\\ORVUnInst.exe", "arguments": None,
                                  "working_dir": folder, "description": "Orvane Uninstall Link"},
    }


def uninstall_entry(folder):
    return [{"key": UNINSTALL_KEY, "value": "DisplayName", "data": PROJECT},
            {"key": UNINSTALL_KEY, "value": "UninstallString",
             "data": "\"%s\\ORVUnInst.exe\"" % folder}]


def declined_uninstall():
    return {"program": DEFAULT_FOLDER + "\\ORVUnInst.exe", "wait_children": True,
            "script": {"steps": [step({"text": UNINSTALL_QUESTION["text"]},
                                      [{"do": "click", "text": "No"}])]},
            "expect": {"exit_code": 0, "windows": [], "message_boxes": [UNINSTALL_QUESTION],
                       "registry": uninstall_entry(DEFAULT_FOLDER),
                       "links": links(DEFAULT_FOLDER), "files": installed_files(DEFAULT_FOLDER)}}


NO_UNINSTALL_ENTRY = [{"key": UNINSTALL_KEY, "value": "DisplayName", "data": None},
                      {"key": UNINSTALL_KEY, "value": "UninstallString", "data": None}]


def install(name, package, script_steps, boxes=(), windows=(), dx="4.09.00.0904", **expect):
    return {"name": name, "manifest": {"items": package}, "registry": [directx(dx)],
            "timeout_ms": 60000,
            "script": {"default_message_box": "leave", "steps": list(script_steps)},
            "expect": dict({"exit_code": 0, "message_boxes": list(boxes),
                            "windows": list(windows)}, **expect)}


def untouched(name, package, script_steps, boxes=(), windows=(OPTIONS_WINDOW,), **extra):
    """A run that ends before anything is installed: no file, link or registry value."""
    return install(name, package, script_steps, boxes, windows, drive_c_unchanged=True,
                   registry_unchanged=True, registry=NO_UNINSTALL_ENTRY, temp=[], **extra)


SCENARIOS = [
    # The whole path through the real dialog: a typed folder that does not exist yet, the folder
    # browser opened and cancelled (the typed text stays), then Install. The bulk content keeps
    # the progress window up for the screenshot.
    install("folder_install_typed_path", items(check_dx=1, bulk=BULK), [
        step(OPTIONS, [{"do": "set_text", "id": 1000, "text": TYPED_FOLDER},
                       {"do": "screenshot", "file": "install-options.bmp"},
                       {"do": "click", "id": 1001}]),
        step(BROWSER, [{"do": "click", "text": "Cancel"}]),
        step(OPTIONS, [{"do": "click", "text": "Install"}]),
        step(PROGRESS, [{"do": "screenshot", "file": "progress.bmp"}]),
        step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}]),
    ], boxes=[SUCCESS], windows=[OPTIONS_WINDOW, {"kind": "dialog"},
                                 PROGRESS_WINDOW],
        files=dict(installed_files(TYPED_FOLDER), **{
            TYPED_FOLDER + "\\bulk\\%02d\\f%04d.txt" % ((BULK - 1) // 100, BULK - 1):
                {"exists": True},
            # The record names the links and the Start-menu folder made for them.
            TYPED_FOLDER + "\\uninstall.nfo": {"contains": [
                "UNFN", PROGRAMS + SHORTCUT + ".lnk\0", PROGRAMS + SHORTCUT + " Uninstall.lnk\0",
                "UNDN", PROGRAMS + "\\Orvane Demo\\\0", TYPED_FOLDER + "\\\0",
                "C:\\Games\\\0", "UNPN"]},
            DEFAULT_FOLDER: {"exists": False}}),
        links=links(TYPED_FOLDER), registry=uninstall_entry(TYPED_FOLDER),
        screenshots=["install-options.bmp", "progress.bmp"]),

    untouched("folder_install_cancel", items(),
              [step(OPTIONS, [{"do": "click", "text": "Cancel"}])]),
    untouched("folder_install_close_box", items(), [step(OPTIONS, [{"do": "close"}])]),
    # Esc sends the cancel command, which no control carries: the dialog stays.
    untouched("folder_install_esc_ignored", items(), [
        step(OPTIONS, [{"do": "key", "key": "esc"}, {"do": "sleep", "ms": 800}]),
        step(OPTIONS, [{"do": "click", "text": "Cancel"}]),
    ]),
    untouched("folder_install_old_directx_no", items(check_dx=1),
              [step({"text": DIRECTX_WARNING["text"]}, [{"do": "click", "text": "No"}])],
              boxes=[DIRECTX_WARNING], windows=(), dx="4.09.00.0902"),

    # The viewer is started in the target folder and left running: the run is cut off by the
    # timeout while the viewer (which stays until closed) is up, yet the launcher has already
    # ended by itself with 0. No closing message.
    dict(install("folder_install_run_after", items(run_after=1,
                                                    project_file="install/start_stays.txt"),
                 [step(OPTIONS, [{"do": "click", "text": "Install"}])],
                 windows=[OPTIONS_WINDOW, VIEWER_WINDOW],
                 optional_windows=[PROGRESS_WINDOW],
                 timeout=True,
                 files=dict(installed_files(DEFAULT_FOLDER), **{
                     REPORT: {"contains": ["decoded=yes", "folder=" + DEFAULT_FOLDER + "\n"]}}),
                 registry=uninstall_entry(DEFAULT_FOLDER)),
         timeout_ms=12000, wait_children=True),

    # Install, then the installed uninstaller, answered Yes: everything the installation made
    # is gone again, down to the Start-menu folder and the registry key.
    dict(install("folder_install_then_uninstall", items(),
                 [step(OPTIONS, [{"do": "click", "text": "Install"}]),
                  step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
                 boxes=[SUCCESS], windows=[OPTIONS_WINDOW], optional_windows=[PROGRESS_WINDOW],
                 files=installed_files(DEFAULT_FOLDER), links=links(DEFAULT_FOLDER),
                 registry=uninstall_entry(DEFAULT_FOLDER),
                 drive_c_unchanged=True, drive_c_allowed=[UNINSTALLER_COPY],
                 registry_unchanged=True),
         then=[{"program": DEFAULT_FOLDER + "\\ORVUnInst.exe", "wait_children": True,
                "timeout_ms": 60000,
                "script": {"steps": [
                    step({"text": UNINSTALL_QUESTION["text"]}, [{"do": "click", "text": "Yes"}]),
                    step({"text": UNINSTALL_DONE["text"]}, [{"do": "click", "text": "OK"}])]},
                "expect": {"exit_code": 0, "message_boxes": [UNINSTALL_QUESTION, UNINSTALL_DONE],
                           "windows": [], "registry": NO_UNINSTALL_ENTRY,
                           "files": {DEFAULT_FOLDER: {"exists": False},
                                     PROGRAMS + "\\Orvane Demo": {"exists": False}}}}]),

    # A damaged record: the uninstaller says so and removes nothing, not even the registry entry.
    dict(install("folder_install_uninstall_damaged_record", items(),
                 [step(OPTIONS, [{"do": "click", "text": "Install"}]),
                  step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
                 boxes=[SUCCESS], windows=[OPTIONS_WINDOW],
                 optional_windows=[PROGRESS_WINDOW]),
         then=[{"program": DEFAULT_FOLDER + "\\ORVUnInst.exe", "wait_children": True,
                "prepare_files": {DEFAULT_FOLDER + "\\uninstall.nfo": "UNFC damaged"},
                "expect": {"exit_code": 0, "windows": [], "message_boxes": [box(
                    "The uninstall information \"%s\\uninstall.nfo\" is missing or damaged.\n"
                    "Nothing was removed." % DEFAULT_FOLDER, "Uninstall", icon="error")],
                    "registry": uninstall_entry(DEFAULT_FOLDER), "links": links(DEFAULT_FOLDER),
                    "files": dict(installed_files(DEFAULT_FOLDER), **{
                        DEFAULT_FOLDER + "\\uninstall.nfo": {"content": "UNFC damaged"}})}}]),

    # "No" to the uninstaller's question keeps every file, link and registry value.
    dict(install("folder_install_uninstall_declined", items(),
                 [step(OPTIONS, [{"do": "click", "text": "Install"}]),
                  step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
                 boxes=[SUCCESS], windows=[OPTIONS_WINDOW],
                 optional_windows=[PROGRESS_WINDOW], temp=[]),
         then=[declined_uninstall()]),
    # The same run judged as if it had to leave nothing: the registry comparison must see the
    # uninstall entry that stayed.
    dict(install("folder_install_leftover_entry_is_seen", items(),
                 [step(OPTIONS, [{"do": "click", "text": "Install"}]),
                  step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
                 boxes=[SUCCESS], windows=[OPTIONS_WINDOW],
                 optional_windows=[PROGRESS_WINDOW], registry_unchanged=True),
         then=[declined_uninstall()],
         expect_failure="registry changed: added [hkey_local_machine\\software\\microsoft\\"
                        "windows\\currentversion\\uninstall\\orvanedemo]"),
]
