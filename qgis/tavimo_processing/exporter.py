"""Finding, asking and running the installed tavimo-export, without QGIS.

The plugin makes no grid of its own: every cell comes from the exporter, so
that QGIS gets the same numbers as every other Tavimo file.
"""
import decimal
import os
import queue
import re
import shutil
import subprocess
import tempfile
import threading
import time

PROGRAM = "tavimo-export.exe" if os.name == "nt" else "tavimo-export"
HERE = os.path.dirname(os.path.abspath(__file__))

# The options the algorithm can use; an exporter whose --help does not list
# one (an older one, or a build without GDAL) is not given it.
OPTIONS = ("--decimals", "--baseline", "--columns", "--rows", "--extent", "--labels",
           "--first-column", "--first-row", "--corner", "--order", "--label-centre",
           "--clip", "--clip-mode", "--srs", "--strict", "--progress")

PROGRESS_LINE = re.compile(r"tavimo-export: (\d+)%")
# No console window flashes up under QGIS on Windows.
NO_WINDOW = getattr(subprocess, "CREATE_NO_WINDOW", 0)

_asked = {}


def find_exporter(setting=""):
    """The exporter to run: the one a setting names, else the one beside this
    plugin (the Windows zip puts it there), else the one on PATH."""
    if setting:
        return setting if os.path.isfile(setting) else None
    beside = os.path.join(HERE, PROGRAM)
    if os.path.isfile(beside) and os.access(beside, os.X_OK):
        return beside
    return shutil.which(PROGRAM)


def _run_quietly(args, timeout):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, creationflags=NO_WINDOW)


def _key(exporter):
    try:
        return exporter, os.stat(exporter).st_mtime_ns
    except OSError:
        return exporter, None


def supported_options(exporter):
    """The OPTIONS this exporter's --help lists, asked once per program file."""
    key = ("help",) + _key(exporter)
    if key not in _asked:
        try:
            text = _run_quietly([exporter, "--help"], 30).stdout.decode("utf-8", "replace")
        except (OSError, subprocess.SubprocessError):
            text = ""
        _asked[key] = frozenset(o for o in OPTIONS if re.search(r"(?<![\w-])" + re.escape(o) + r"(?![\w-])", text))
    return _asked[key]


def gis_extension(exporter):
    """The GIS format the exporter writes: a GeoPackage where it has GDAL, else
    its own GeoJSON; None when it writes neither. Found by writing a one-cell
    block of each, once per program file."""
    key = ("format",) + _key(exporter)
    if key not in _asked:
        _asked[key] = None
        folder = tempfile.mkdtemp(prefix="tavimo-")
        try:
            for extension in (".gpkg", ".geojson"):
                probe = [exporter, "--width-total=1", "--height-total=1", "--width-cell=1", "--height-cell=1",
                         os.path.join(folder, "probe" + extension)]
                try:
                    if _run_quietly(probe, 30).returncode == 0:
                        _asked[key] = extension
                        break
                except (OSError, subprocess.SubprocessError):
                    break
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    return _asked[key]


def number_text(value):
    """A number as the exporter reads it: plain decimal digits with a point,
    whatever the locale, the shortest that gives back the same double."""
    text = format(decimal.Decimal(repr(float(value))), "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


class Outcome:
    """How a run ended: its exit status (None when cancelled), the lines it
    wrote to standard error other than progress."""

    def __init__(self, status, messages):
        self.status = status
        self.messages = messages

    @property
    def cancelled(self):
        return self.status is None


def run_exporter(exporter, arguments, on_progress, is_cancelled, on_message=None, poll=0.05):
    """Runs exporter with arguments; on_progress(percent) for each progress
    line, is_cancelled() polled while it runs. A cancel ends the exporter
    (SIGTERM, on which it removes its temporaries; killed if it has not
    ended within five seconds) and waits for it."""
    process = subprocess.Popen([exporter] + list(arguments), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, creationflags=NO_WINDOW)
    lines = queue.Queue()

    def read():
        for raw in process.stderr:
            lines.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        lines.put(None)

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    messages = []
    cancelled = False
    finished = False
    while not finished:
        if not cancelled and is_cancelled():
            cancelled = True
            _stop(process)
        try:
            line = lines.get(timeout=poll)
        except queue.Empty:
            continue
        if line is None:
            finished = True
            continue
        match = PROGRESS_LINE.fullmatch(line.lstrip("\r"))
        if match:
            on_progress(int(match.group(1)))
        elif line:
            messages.append(line)
            if on_message:
                on_message(line)
    status = process.wait()
    reader.join()
    process.stderr.close()
    return Outcome(None if cancelled else status, messages)


def _stop(process):
    process.terminate()
    deadline = time.monotonic() + 5
    while process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.02)
    if process.poll() is None:
        process.kill()
