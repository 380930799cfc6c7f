#!/usr/bin/env python3
"""Writes the packer manifest of the demo project: the kit's viewer, engine, channels and
runtime in the zlib form, the start project as an engine container, and the content files."""
import argparse
import json
import os
import shutil

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


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kit", required=True, help="folder with the kit's built programs")
    parser.add_argument("--out", required=True, help="folder for the manifest and its files")
    parser.add_argument("--project-type", type=int, default=1)
    args = parser.parse_args()

    here = os.path.dirname(os.path.abspath(__file__))
    project = os.path.join(here, "project")
    out = os.path.abspath(args.out)
    files = os.path.join(out, "files")
    shutil.rmtree(files, ignore_errors=True)
    shutil.copytree(project, os.path.join(files, "project"))
    for name in os.listdir(args.kit):
        shutil.copy2(os.path.join(args.kit, name), os.path.join(files, name))

    items = [
        {"name": "ProjectType", "number": args.project_type},
        {"name": "CheckDx8", "flag": 0},
        {"name": "RunAfterInstall", "flag": 0},
        {"name": "InstallPath", "text": "C:\\Games\\Orvane Demo"},
        {"name": "ShortCutName", "text": "\\Orvane Demo\\Orvane Demo"},
        {"name": "ProjectName", "text": "Orvane Demo"},
        {"name": "OrvaneViewer.exe", "file": "files/OrvaneViewer.exe", "form": "zlib"},
    ]
    for item, built in RUNTIME:
        items.append({"name": item, "file": "files/" + built, "form": "zlib"})
    items.append({"name": "ORVStart.orv", "file": "files/project/start.txt", "form": "tmkf"})
    if os.path.exists(os.path.join(files, "ORVUnInst.exe")):
        items.append({"name": "ORVUnInst.exe", "file": "files/ORVUnInst.exe", "form": "zlib"})

    # The project's own channel and the library it needs go through the engine's loader.
    channels = ["\\channels\\DemoSky.dll"]
    channel_dlls = ["\\3rd\\DemoMath.dll"]
    content = []
    for root, _, names in os.walk(os.path.join(project, "data")):
        for name in sorted(names):
            rel = os.path.relpath(os.path.join(root, name), project).replace("/", "\\")
            content.append("\\" + rel)
    items += [
        {"category": "CHANNELINFO", "list": "ChannelItemNameID", "count": "ChannelCount",
         "names": channels},
        {"category": "CHANNELINFO", "list": "ChannelDLLItemNameID", "count": "ChannelDLLCount",
         "names": channel_dlls},
        {"category": "FILEINFO", "list": "ItemNameID", "count": "FileCount", "names": content},
    ]
    items.append({"name": channels[0], "file": "files/Quillet.dll", "form": "tmkf"})
    items.append({"name": channel_dlls[0], "file": "files/msvcr71.dll", "form": "tmkf"})
    for name in content:
        items.append({"name": name, "file": "files/project/" + name[1:].replace("\\", "/"),
                      "form": "raw"})

    with open(os.path.join(out, "manifest.json"), "w") as f:
        json.dump({"items": items}, f, indent=2)


if __name__ == "__main__":
    main()
