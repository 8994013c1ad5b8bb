#!/usr/bin/python3
"""The Windows zip is made for Windows users: check_zip.py ZIP (exit status
77 when there is no such zip).

Its README is the Windows one, its documents give command lines in cmd's
syntax (tavimo-export.exe, lines continued with ^, never with \\), and it
carries the QGIS plugin's zip as QGIS's plugin manager installs it: the
plugin's folder at the top, with its metadata, icon and tavimo-export.exe."""
import configparser
import io
import os
import re
import sys
import zipfile

# A line of code that goes on with a backslash, or names the program
# without .exe.
LINUX_COMMAND = re.compile(r"^(?: {4}|\t).*\\$|^(?: {4,}|\t)tavimo-export(?!\.exe)\b", re.M)


def problems(path):
    archive = zipfile.ZipFile(path)
    # The files lie in one folder named after the zip.
    top = os.path.commonpath(archive.namelist()) + "/"
    names = [name[len(top):] for name in archive.namelist()]
    readme = archive.read(top + "README.md").decode("utf-8")
    if "apt-get" in readme or "\nmake " in readme or "tavimo-export.exe" not in readme:
        yield "README.md is not the Windows README"
    if not re.search(r"\^\n\s+--", readme):
        yield "README.md has no command continued with ^"
    for name in names:
        if name.endswith(".md"):
            text = archive.read(top + name).decode("utf-8")
            for line in LINUX_COMMAND.findall(text):
                yield f"{name}: not in cmd's syntax: {line.strip()}"
    plugins = [n for n in names if re.fullmatch(r"tavimo_processing-[0-9.]+\.zip", n)]
    if len(plugins) != 1:
        yield f"no QGIS plugin zip at the top: {names}"
        return
    plugin = zipfile.ZipFile(io.BytesIO(archive.read(top + plugins[0])))
    files = set(plugin.namelist())
    strays = [n for n in files if not n.startswith("tavimo_processing/")]
    if strays:
        yield f"{plugins[0]}: outside the plugin's folder: {strays}"
    if "tavimo_processing/__init__.py" not in files:
        yield f"{plugins[0]}: no __init__.py"
        return
    metadata = configparser.ConfigParser()
    metadata.read_string(plugin.read("tavimo_processing/metadata.txt").decode("utf-8"))
    general = metadata["general"]
    if general.get("hasProcessingProvider") != "yes":
        yield f"{plugins[0]}: metadata.txt does not declare its Processing provider"
    if "tavimo_processing/" + general.get("icon", "") not in files:
        yield f"{plugins[0]}: no icon {general.get('icon')}"
    exe = "tavimo_processing/tavimo-export.exe"
    if exe not in files or plugin.read(exe)[:2] != b"MZ":
        yield f"{plugins[0]}: no tavimo-export.exe beside the plugin"


if __name__ == "__main__":
    if not os.path.exists(sys.argv[1]):
        print(f"skipped: no {sys.argv[1]} (make windows builds it)")
        sys.exit(77)
    found = list(problems(sys.argv[1]))
    for problem in found:
        print(problem)
    sys.exit(1 if found else 0)
