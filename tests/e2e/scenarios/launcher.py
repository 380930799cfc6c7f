"""Start-up and package reading of the launcher: what a user sees for each kind of package."""

import common
from common import CAPTION_AT_TRAILING_OFFSET, OWNER_WINDOW_CLASS, box, directx, step

NO_PROJECT_TYPE = box("Can't find project type", "Error")
NO_HEADER = box("Data header not found!", CAPTION_AT_TRAILING_OFFSET)

# Every run creates the hidden owner window; it must never be shown.
OWNER_WINDOW = {"class": OWNER_WINDOW_CLASS, "caption": "OrvaneExe", "process": "main"}


def launcher(name, items=None, damage=None, boxes=(), silent=False, args=(), **extra):
    """A run of the launcher with the package built from items (None: no package at all)."""
    manifest = None
    if items is not None:
        manifest = {"items": items}
        if damage:
            manifest["damage"] = damage
    expect = {"exit_code": 0, "message_boxes": list(boxes), "windows": [],
              "only_these_windows": True, "never_visible_classes": [OWNER_WINDOW_CLASS],
              "temp": []}
    if boxes:
        # A silent run ends within milliseconds, before the driver's first look; while a box
        # is up, the owner window must already exist.
        expect["hidden_windows"] = [OWNER_WINDOW]
    if silent:
        expect["drive_c_unchanged"] = True
    expect.update(extra.pop("expect", {}))
    s = {"name": name, "manifest": manifest, "args": list(args),
         "registry": [directx("4.09.00.0904")], "expect": expect}
    s.update(extra)
    return s


def project_type(value, **fields):
    return dict({"name": "ProjectType", "number": value}, **fields)


# Values that select no job: nothing is shown, nothing is written.
IDLE_TYPES = [0, 3, 4, 7, 4294967295]

SCENARIOS = [
    launcher("no_project_type_item", [{"name": "CheckDx8", "flag": 0}], boxes=[NO_PROJECT_TYPE],
             script={"steps": [step({"text": "Can't find project type"},
                                    [{"do": "screenshot", "file": "cant_find_project_type.bmp"},
                                     {"do": "click", "text": "OK"}])]},
             expect={"screenshots": ["cant_find_project_type.bmp"]}),
] + [
    launcher("project_type_%s" % ("minus_1" if v == 4294967295 else v), [project_type(v)],
             silent=True)
    for v in IDLE_TYPES
] + [
    launcher("project_type_bad_crc", [project_type(3, crc=12345)],
             boxes=[box("Crc error corrupt file", "PROJECTTYPE"), NO_PROJECT_TYPE]),
    launcher("bare_launcher", None, boxes=[NO_HEADER, NO_PROJECT_TYPE]),
    # The launcher reads its own module file, so arguments after its path do not matter.
    launcher("extra_argument", [project_type(3)], args=["extra"], silent=True),
    # A wrong trailing offset leaves the marker search, which is case-sensitive.
    launcher("found_by_marker_search", [project_type(7)], damage={"package_offset": 7},
             silent=True, launcher_max_size=common.LAST_SEARCHED_MARKER_START),
    launcher("lower_case_marker_not_searched", [project_type(7)],
             damage={"package_offset": 7, "lower_case_marker": True},
             boxes=[NO_HEADER, NO_PROJECT_TYPE]),
    # Also DirectX absent: the start-up path must not depend on it.
    launcher("project_type_0_without_directx", [project_type(0)], silent=True,
             registry=[directx(None)]),
]
