"""Screensaver and visualization plug-in installations with the kit's engine, players and
uninstaller: the files, records and registry entries each leaves, the installed players finding
their installation through those records, every source of the player's folder, the failed
plug-in copy, and the kit's uninstaller taking all of it away again."""

import struct

from common import box, directx, set_value, step
from folder_install import (DEFAULT_FOLDER, OPTIONS, OPTIONS_WINDOW, PROGRESS_WINDOW, PROJECT,
                            UNINSTALL_DONE, UNINSTALL_QUESTION, UNINSTALLER_COPY)
from run_mode import RUNTIME

SYSTEM_COPY = r"C:\windows\system32" + "\\" + PROJECT + ".scr"
PLAYER = r"C:\Program Files\Winamp"
PLAYER_NO_SPACE = r"C:\Winamp"
DESKTOP = r"C:\users\root\Desktop"
COMMAND_KEY = r"HKCR\Applications\Winamp.exe\shell\open\command"
USER_KEY = r"HKCU\Software\Winamp"
VIEWERS_KEY = r"HKLM\SOFTWARE\Tillmark\Orvane Viewers\3.00.000" + "\\" + PROJECT
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane" + PROJECT
# The uninstaller removes the project's keys; the vendor's keys above them are shared.
VENDOR_KEYS = r"HKEY_LOCAL_MACHINE\Software\Tillmark"
SAVER_REPORT = r"C:\player-report.txt"
PLUGIN_REPORT = r"C:\plugin-report.txt"
HOST = DEFAULT_FOLDER + r"\tools\VisHost.exe"

SUCCESS = box("Installation successfully completed!", PROJECT, icon="information")
PLAYER_PROMPT = box("WinAmp 2.x or 5.x installation folder could not be detected by the "
                    "installer. This program needs WinAmp 2.x or 5.x (not 3.x) to run.\nWould "
                    "you like to continue and manually select your WinAmp folder?", PROJECT,
                    icon="warning", buttons=("Yes", "No"))
PLAYER_BROWSER = {"static_contains": "Select Main WinAmp Install Folder"}
SAVER_WINDOW = {"caption": "E2E Player - Orvane Screensaver"}
PLUGIN_WINDOW = {"caption": "E2E Player - Orvane Visualization"}
# A player the installation finds in place: its program and a plug-in of its own.
PLAYER_FILES = {PLAYER + r"\winamp.exe": "player stand-in",
                PLAYER + r"\Plugins\vis_other.dll": "another plug-in"}


def items(project_type, player_item, settings):
    out = [{"name": "ProjectType", "number": project_type}, {"name": "CheckDx8", "flag": 0}]
    out += settings
    out += [{"name": "ORVUnInst.exe", "file": "kit/ORVUnInst.exe", "form": "zlib"},
            player_item]
    out += [{"name": name, "file": "kit/" + built, "form": "zlib"} for name, built in RUNTIME]
    out += [
        {"name": "ORVStart.orv", "file": "player/start.txt", "form": "tmkf"},
        {"category": "CHANNELINFO", "list": "ChannelItemNameID", "count": "ChannelCount",
         "names": ["\\channels\\E2ESky.dll"]},
        {"category": "CHANNELINFO", "list": "ChannelDLLItemNameID", "count": "ChannelDLLCount",
         "names": []},
        {"name": "\\channels\\E2ESky.dll", "file": "kit/Quillet.dll", "form": "tmkf"},
        {"name": "\\data\\scene.txt", "file": "project/data/scene.txt"},
        # The player's test host travels as content, so the uninstaller takes it away too.
        {"name": "\\tools\\VisHost.exe", "file": "kit/VisHost.exe"},
        {"category": "FILEINFO", "list": "ItemNameID", "count": "FileCount",
         "names": ["\\data\\scene.txt", "\\tools\\VisHost.exe"]},
    ]
    return out


def saver_items():
    return items(5, {"name": "ORVSvr.scr", "file": "kit/ORVSvr.scr", "form": "zlib"}, [
        {"name": "RunAfterInstall", "flag": 0}, {"name": "InstallPath", "text": DEFAULT_FOLDER},
        {"name": "ProjectName", "text": PROJECT}, {"name": "DoQuitCgr", "flag": 1},
        {"name": "DoSmallPreview", "flag": 0}])


def plugin_items():
    return items(6, {"name": "WinAmp.dll", "file": "kit/WinAmp.dll", "form": "zlib"}, [
        {"name": "StartupDirectory", "text": DEFAULT_FOLDER},
        {"name": "ProjectName", "text": PROJECT}, {"name": "WinampVersion", "flag": 5}])


def chunk(tag, data):
    return tag + struct.pack("<I", len(data)) + data


def config_record(folder, options=None):
    """The record's exact bytes as the kit's file saver lays them out."""
    start = (folder + "\\ORVStart.orv").encode("cp1252")
    out = chunk(b"SCFP", start.ljust(259, b"\0")) + chunk(b"SCTI", struct.pack("<i", 20))
    if options is not None:
        out += chunk(b"SCQC", bytes([options[0]])) + chunk(b"SCSP", bytes([options[1]]))
    return out


def installed(folder, player_program, record, record_bytes, copy):
    files = {folder + "\\" + n: {"exists": True}
             for n in ["ORVUnInst.exe", player_program, "ORVStart.orv", "channels\\E2ESky.dll",
                       "data\\scene.txt", "tools\\VisHost.exe"] + [n for n, _ in RUNTIME]}
    files[folder + "\\OrvaneViewer.exe"] = {"exists": False}
    files[folder + "\\" + record] = {"content": record_bytes}
    files[copy] = {"exists": True}
    # The record lists the copy outside the folder and the configuration record, and ends with
    # the players' end marker.
    files[folder + "\\uninstall.nfo"] = {"contains": [
        copy + "\0", folder + "\\" + record + "\0", "UNPN", b"UNSK\xff\xff\xff\xff"]}
    return files


def entries(folder):
    return [{"key": VIEWERS_KEY, "value": "DisplayName", "data": folder},
            {"key": UNINSTALL_KEY, "value": "DisplayName", "data": PROJECT},
            {"key": UNINSTALL_KEY, "value": "UninstallString",
             "data": "\"%s\\ORVUnInst.exe\"" % folder}]


NO_ENTRIES = [{"key": VIEWERS_KEY, "value": "DisplayName", "data": None},
              {"key": UNINSTALL_KEY, "value": "DisplayName", "data": None},
              {"key": UNINSTALL_KEY, "value": "UninstallString", "data": None}]


def install(name, package, steps, boxes=(SUCCESS,), reg_ops=(), prepare=None, **expect):
    s = {"name": name, "manifest": {"items": package},
         "registry": [directx("4.09.00.0904")] + list(reg_ops), "timeout_ms": 60000,
         "script": {"default_message_box": "leave", "steps": list(steps)},
         "expect": dict({"exit_code": 0, "message_boxes": list(boxes),
                         "windows": [OPTIONS_WINDOW], "optional_windows": [PROGRESS_WINDOW]},
                        **expect)}
    if prepare:
        s["prepare_files"] = prepare
    return s


INSTALL_STEPS = [step(OPTIONS, [{"do": "click", "text": "Install"}]),
                 step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])]


def uninstall(gone, kept=None):
    return {"program": DEFAULT_FOLDER + "\\ORVUnInst.exe", "wait_children": True,
            "timeout_ms": 60000,
            "script": {"steps": [
                step({"text": UNINSTALL_QUESTION["text"]}, [{"do": "click", "text": "Yes"}]),
                step({"text": UNINSTALL_DONE["text"]}, [{"do": "click", "text": "OK"}])]},
            "expect": {"exit_code": 0, "message_boxes": [UNINSTALL_QUESTION, UNINSTALL_DONE],
                       "windows": [], "registry": NO_ENTRIES,
                       "files": dict({p: {"exists": False} for p in gone}, **(kept or {}))}}


def saver_report(mode):
    return ("player=screensaver\nmode=%s\nproject=%s\nfound=registry\nfolder=%s\n"
            "record=%s\\screensaver.cfg\nrecordread=yes\nstart=%s\\ORVStart.orv\ntimer=20\n"
            "quitcgr=1\nsmallpreview=0\ndecoded=yes\nhow=decoded by the engine's file loader\n"
            "name=E2E Player\n" % (mode, PROJECT, DEFAULT_FOLDER, DEFAULT_FOLDER,
                                   DEFAULT_FOLDER))


def run_saver(mode, windows=(), boxes=()):
    return {"program": SYSTEM_COPY, "args": ["/" + mode[0]], "cwd": "C:\\",
            "script": {"default_message_box": "enter", "steps": []},
            "expect": {"exit_code": 0, "windows": list(windows), "message_boxes": list(boxes),
                       "files": {SAVER_REPORT: {"content": saver_report(mode)}}}}


def plugin_report(copy, found="registry"):
    return ("player=plugin\nproject=%s\nfound=%s\nfolder=%s\nrecord=%s\\winamp.cfg\n"
            "recordread=yes\nstart=%s\\ORVStart.orv\ntimer=20\nquitcgr=none\nsmallpreview=none\n"
            "decoded=yes\nhow=decoded by the engine's file loader\nname=E2E Player\n"
            "init=1\nrender=80\nquit=1\n" % (PROJECT, found, DEFAULT_FOLDER, DEFAULT_FOLDER,
                                             DEFAULT_FOLDER))


def run_plugin(copy):
    return {"program": HOST, "args": [copy, PLUGIN_REPORT], "timeout_ms": 30000,
            "expect": {"exit_code": 0, "windows": [PLUGIN_WINDOW], "message_boxes": [],
                       "files": {PLUGIN_REPORT: {"content": plugin_report(copy)}}}}


def plugin_install(name, copy, reg_ops=(), steps=INSTALL_STEPS, boxes=(SUCCESS,),
                   prepare=PLAYER_FILES, **expect):
    return install(name, plugin_items(), steps, boxes, reg_ops, prepare,
                   files=installed(DEFAULT_FOLDER, "WinAmp.dll", "winamp.cfg",
                                   config_record(DEFAULT_FOLDER), copy),
                   registry=entries(DEFAULT_FOLDER), **expect)


# The folder from the command text keeps its backslash: the copy's path holds two in a row.
QUOTED_COPY = PLAYER + "\\\\Plugins\\vis_" + PROJECT + ".dll"
USER_COPY = PLAYER + "\\Plugins\\vis_" + PROJECT + ".dll"
COPY_FAILED = "Unable to copy plug-in to WinAmp plug-in directory"

SCENARIOS = [
    # The screensaver: installed, its copy in the system folder started as Windows starts it
    # (show, then configure), each run proving through its report that it found the folder
    # through the viewers record and read "screensaver.cfg" and the project; then uninstalled.
    dict(install("screensaver_install_run_uninstall", saver_items(), INSTALL_STEPS,
                 files=installed(DEFAULT_FOLDER, "ORVSvr.scr", "screensaver.cfg",
                                 config_record(DEFAULT_FOLDER, options=(1, 0)), SYSTEM_COPY),
                 registry=entries(DEFAULT_FOLDER),
                 drive_c_unchanged=True, drive_c_allowed=[UNINSTALLER_COPY, "player-report.txt"],
                 registry_unchanged=True, registry_allowed=[VENDOR_KEYS]),
         then=[run_saver("show", windows=[SAVER_WINDOW]),
               run_saver("configure", boxes=[box(
                   "This screensaver has no settings of its own.\n\n" + saver_report("configure"),
                   "E2E Player Screensaver", icon="information")]),
               uninstall([DEFAULT_FOLDER, SYSTEM_COPY])]),

    # The player's folder from the quoted open command; the installed plug-in, driven through
    # the player's entry point, reads "winamp.cfg"; the uninstaller takes the copy out of the
    # player's "Plugins" folder and leaves the player's own files.
    dict(plugin_install("plugin_install_command_quoted_run_uninstall", QUOTED_COPY,
                        reg_ops=[set_value(COMMAND_KEY, None,
                                            "\"%s\\winamp.exe\" \"%%1\"" % PLAYER)],
                        drive_c_unchanged=True,
                        drive_c_allowed=[UNINSTALLER_COPY, "plugin-report.txt"],
                        registry_unchanged=True, registry_allowed=[VENDOR_KEYS]),
         then=[run_plugin(QUOTED_COPY),
               uninstall([DEFAULT_FOLDER, USER_COPY], kept={
                   PLAYER + r"\Plugins\vis_other.dll": {"content": "another plug-in"},
                   PLAYER + r"\winamp.exe": {"exists": True}})]),

    # An open command without quotes around the program: its path ends at the first blank.
    plugin_install("plugin_install_command_unquoted", PLAYER_NO_SPACE + "\\\\Plugins\\vis_Demo.dll",
                   reg_ops=[set_value(COMMAND_KEY, None,
                                       "%s\\winamp.exe /ADD \"%%1\"" % PLAYER_NO_SPACE)],
                   prepare={PLAYER_NO_SPACE + r"\Plugins\vis_other.dll": "another plug-in"}),

    # Without the command, the user key's value is the folder as it stands.
    plugin_install("plugin_install_user_key", USER_COPY,
                   reg_ops=[set_value(USER_KEY, None, PLAYER)]),
    # The command wins over the user key.
    plugin_install("plugin_install_command_before_user_key", QUOTED_COPY,
                   reg_ops=[set_value(COMMAND_KEY, None, "\"%s\\winamp.exe\" \"%%1\"" % PLAYER),
                             set_value(USER_KEY, None, r"C:\elsewhere")]),

    # Neither source: Yes to the prompt, and the browser's choice. Wine's browser shows no edit
    # box and the driver cannot walk its tree, so the choice is where the browser starts: the
    # desktop, whose folder then holds the player's "Plugins".
    plugin_install("plugin_install_browse", DESKTOP + "\\Plugins\\vis_" + PROJECT + ".dll",
                   steps=[step(OPTIONS, [{"do": "click", "text": "Install"}]),
                          step({"text": PLAYER_PROMPT["text"]}, [{"do": "click", "text": "Yes"}]),
                          step(PLAYER_BROWSER, [{"do": "click", "text": "OK"}]),
                          step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
                   boxes=(PLAYER_PROMPT, SUCCESS), windows=[OPTIONS_WINDOW, {"kind": "dialog"}],
                   prepare={DESKTOP + r"\Plugins\vis_other.dll": "another plug-in"}),
    # Closing the browser without a choice ends the installation as No does.
    install("plugin_install_browse_cancelled", plugin_items(), [
        step(OPTIONS, [{"do": "click", "text": "Install"}]),
        step({"text": PLAYER_PROMPT["text"]}, [{"do": "click", "text": "Yes"}]),
        step(PLAYER_BROWSER, [{"do": "click", "text": "Cancel"}])],
        boxes=[PLAYER_PROMPT], windows=[OPTIONS_WINDOW, {"kind": "dialog"}],
        files={DEFAULT_FOLDER + r"\WinAmp.dll": {"exists": True},
               DEFAULT_FOLDER + r"\uninstall.nfo": {"exists": False}},
        registry=NO_ENTRIES),

    # No to the prompt: the installation ends silently with the programs extracted and nothing
    # recorded.
    install("plugin_install_prompt_no", plugin_items(), [
        step(OPTIONS, [{"do": "click", "text": "Install"}]),
        step({"text": PLAYER_PROMPT["text"]}, [{"do": "click", "text": "No"}])],
        boxes=[PLAYER_PROMPT], prepare=PLAYER_FILES,
        files={DEFAULT_FOLDER + r"\WinAmp.dll": {"exists": True},
               DEFAULT_FOLDER + r"\ORVUnInst.exe": {"exists": True},
               DEFAULT_FOLDER + r"\uninstall.nfo": {"exists": False},
               DEFAULT_FOLDER + r"\winamp.cfg": {"exists": False},
               USER_COPY: {"exists": False}},
        registry=NO_ENTRIES),

    # The player's folder has no "Plugins" folder: the copy fails with the system's error
    # number and the copy's message, and the installation still completes, its record naming
    # the copy that was not made.
    install("plugin_install_no_plugins_folder", plugin_items(), [
        step(OPTIONS, [{"do": "click", "text": "Install"}]),
        step({"text": "3"}, [{"do": "click", "text": "OK"}]),
        step({"text": COPY_FAILED}, [{"do": "click", "text": "OK"}]),
        step({"text": SUCCESS["text"]}, [{"do": "click", "text": "OK"}])],
        boxes=[box("3", USER_COPY), box(COPY_FAILED, USER_COPY), SUCCESS],
        reg_ops=[set_value(USER_KEY, None, PLAYER)],
        prepare={PLAYER + r"\winamp.exe": "player stand-in"},
        files={USER_COPY: {"exists": False}, PLAYER + r"\Plugins": {"exists": False},
               DEFAULT_FOLDER + r"\uninstall.nfo": {"contains": [USER_COPY + "\0", "UNSK"]},
               DEFAULT_FOLDER + r"\winamp.cfg": {"content": config_record(DEFAULT_FOLDER)}}),
]
