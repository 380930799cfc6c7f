"""Run in place with the kit's real engine and viewer: extraction into a temporary folder, the
viewer's run, and the clean-up that leaves nothing behind; and the ways it stops early."""

from common import box, directx

TEMP = r"C:\users\root\Temp"
WORK = TEMP + r"\Orvane0"
REPORT = r"C:\viewer-report.txt"
VIEWER_WINDOW = {"caption": "E2E Project - Orvane Viewer"}

RUNTIME = [
    ("Zenthra.dll", "Zenthra.dll"),
    ("channels\\Quillet.dll", "Quillet.dll"),
    ("channels\\Dirrow.dll", "Dirrow.dll"),
    ("channels\\Lodera.dll", "Lodera.dll"),
    ("channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll", "5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll"),
    ("channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll", "A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll"),
    ("channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll", "19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll"),
    ("channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll", "E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll"),
    ("3rd\\msvcr71.dll", "msvcr71.dll"),
]

INSTALL_ERROR = box("There was an error while trying to copy one of the installation files.\n"
                    "Please make sure no applications are running that might be locking some "
                    "files.", "Installation Error", icon="error")


def items(check_dx=0, viewer=True, file_count=True, replace=None):
    """The run-mode package; replace maps an item name to the item standing in its place."""
    replace = replace or {}
    out = [{"name": "ProjectType", "number": 1}, {"name": "CheckDx8", "flag": check_dx}]
    if viewer:
        out.append({"name": "OrvaneViewer.exe", "file": "kit/OrvaneViewer.exe", "form": "zlib"})
    for name, built in RUNTIME:
        out.append(replace.get(name, {"name": name, "file": "kit/" + built, "form": "zlib"}))
    out.append({"name": "ORVStart.orv", "file": "project/start.txt", "form": "tmkf"})
    out += [
        {"category": "CHANNELINFO", "list": "ChannelItemNameID", "count": "ChannelCount",
         "names": ["\\channels\\E2ESky.dll"]},
        {"category": "CHANNELINFO", "list": "ChannelDLLItemNameID", "count": "ChannelDLLCount",
         "names": ["\\3rd\\E2EMath.dll"]},
        {"name": "\\channels\\E2ESky.dll", "file": "kit/Quillet.dll", "form": "tmkf"},
        {"name": "\\3rd\\E2EMath.dll", "file": "kit/msvcr71.dll", "form": "tmkf"},
        {"name": "\\data\\scene.txt", "file": "project/data/scene.txt"},
        {"name": "data/sub/notes.txt", "file": "project/data/sub/notes.txt"},
    ]
    if file_count:
        out.append({"category": "FILEINFO", "list": "ItemNameID", "count": "FileCount",
                    "names": ["\\data\\scene.txt", "data/sub/notes.txt"]})
    return out


def run(name, package, boxes=(), windows=(), temp=(), dx="4.09.00.0904", files=None, **extra):
    s = {"name": name, "manifest": {"items": package}, "registry": [directx(dx)],
         "timeout_ms": 60000,
         "expect": {"exit_code": 0, "message_boxes": list(boxes), "windows": list(windows),
                    "temp": list(temp), "files": files or {}}}
    s.update(extra)
    return s


SCENARIOS = [
    # The viewer really ran: it decoded its project with the engine, saw the two folders in
    # front of PATH and wrote a cache tree, which went with everything else.
    run("run_in_place", items(), windows=[VIEWER_WINDOW],
        files={REPORT: {"contains": ["decoded=yes", "cache=5", "files=15",
                                     "path=" + WORK + "\\channels;" + WORK + "\\3rd;C:"]}}),
    run("run_in_place_old_directx", items(check_dx=1), dx="4.09.00.0902",
        boxes=[box("DirectX 9.0C or higher was not detected on this system\n\rPlease install "
                   "DirectX 9.0C or higher for this application to run.",
                   "DirectX version check error", icon="error")],
        files={REPORT: {"exists": False}}),
    run("run_in_place_directx_not_asked", items(check_dx=0), dx=None, windows=[VIEWER_WINDOW]),
    run("run_in_place_no_viewer", items(viewer=False),
        boxes=[box("OrvaneViewer.exe", "Could not find resource"),
               box("OrvaneViewer.exe not found", "P")],
        temp=["Orvane0"], files={WORK: {"exists": True}, REPORT: {"exists": False}}),
    run("run_in_place_damaged_zlib",
        items(replace={"Zenthra.dll": {"name": "Zenthra.dll", "hex": "789cffffffff64000000"}}),
        boxes=[box("Error decompress", "Error"), INSTALL_ERROR], temp=["Orvane0"],
        files={WORK + "\\Zenthra.dll": {"exists": False}}),
    run("run_in_place_no_file_count", items(file_count=False),
        boxes=[box("Can't find FileCount", "Error")], temp=["Orvane0"],
        files={WORK + "\\channels\\E2ESky.dll": {"exists": True},
               WORK + "\\data\\scene.txt": {"exists": False}}),
    # Another run's work folder (it holds an engine) is left alone; Orvane1 is used.
    run("run_in_place_orvane0_taken", items(), windows=[VIEWER_WINDOW], temp=["Orvane0"],
        prepare_files={WORK + "\\zenthra.dll": "another run"},
        files={REPORT: {"contains": "folder=" + TEMP + "\\Orvane1"},
               WORK + "\\zenthra.dll": {"content": "another run"}}),
]
