"""Running the Windows programs under Wine for the tests: finding Wine,
a prefix and a wineserver of each test run's own, a clear skip when
something is missing, the words for a failed run, and the check that each
program is one file."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests
# Enough of a program's output to say why it failed, not a whole log.
OUTPUT_SHOWN = 4000
BOOT_TIMEOUT = 300  # seconds; a new prefix takes ~20 on an idle machine


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def find_wine():
    """The 64-bit Wine loader: Debian's wine64 package keeps it out of PATH."""
    for candidate in (shutil.which("wine64"), "/usr/lib/wine/wine64", shutil.which("wine")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    return None


def require_program(path, what):
    if not os.path.isfile(path):
        skip(f"{what} not found at {path}: build it with `make windows`")


def _text(data):
    text = (data or b"").decode(errors="replace").strip()
    return text if len(text) <= OUTPUT_SHOWN else "..." + text[-OUTPUT_SHOWN:]


def described(done, stdout=False):
    """How a run ended, for a failure message: "exit N; stderr: ..." (and its
    standard output when asked). A program that Wine ends (`wineserver -k`)
    exits 0 or 1 and says nothing, which an empty stderr shows; a failed
    save says why."""
    ending = "no exit (timed out)" if done.returncode is None else f"exit {done.returncode}"
    parts = [ending, f"stderr: {_text(done.stderr) or '(empty)'}"]
    if stdout:
        parts.append(f"stdout: {_text(done.stdout) or '(empty)'}")
    return "; ".join(parts)


def _raise_exit(signum, frame):
    # A TERM ends the test through its finally blocks: the wineserver goes too.
    raise SystemExit(128 + signum)


class Running:
    """A Windows program started and not yet waited for; its output goes to
    files, as in Wine.run."""

    def __init__(self, args, cwd, env):
        self._out, self._err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        self.process = subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                        stdout=self._out, stderr=self._err)

    def wait(self, timeout):
        """The ended run, its output read; returncode None when it did not end
        within `timeout` seconds (it is killed then)."""
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            code = None
        outputs = []
        for f in (self._out, self._err):
            f.seek(0)
            outputs.append(f.read())
            f.close()
        return subprocess.CompletedProcess(self.process.args, code, *outputs)


class Wine:
    """A prefix made for this run alone, under `parent`, and a wineserver of
    its own: nothing another test or program does in its prefix reaches this
    run (a `wineserver -k` ends every program of a prefix, each then exiting
    0 or 1 without a word). Use as a context manager: at its end the server
    is killed and the prefix removed, whatever happened."""

    def __init__(self, parent):
        self.loader = find_wine()
        if self.loader is None:
            skip("Wine is not installed (scripts/setup installs wine and wine64)")
        server = os.path.join(os.path.dirname(self.loader), "wineserver")
        self.server = server if os.access(server, os.X_OK) else shutil.which("wineserver")
        if self.server is None:
            skip("wineserver is not installed (scripts/setup installs wine and wine64)")
        self.parent = parent
        self.prefix = None
        self.env = dict(os.environ)
        # Wine's own errors only: they may say why a run failed.
        self.env.update(WINEDEBUG="-all,err+all", WINEARCH="win64", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        # No "install Mono/Gecko?" questions: the programs need neither.
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        self.env.pop("DISPLAY", None)

    def __enter__(self):
        signal.signal(signal.SIGTERM, _raise_exit)
        os.makedirs(self.parent, exist_ok=True)
        self.prefix = tempfile.mkdtemp(prefix="wine-prefix-", dir=self.parent)
        self.env["WINEPREFIX"] = self.prefix
        try:
            self._boot()
        except BaseException:
            self._end()
            raise
        return self

    def __exit__(self, *exc):
        self._end()
        return False

    def _boot(self):
        """Makes the prefix and lets it settle: wineboot and the services it
        started are done before the first program starts, and the server that
        booted them is gone. Then one server for the whole run:
        each program starts in well under a second instead of seconds."""
        boot = self.run("wineboot", ["--init"], cwd=self.prefix, timeout=BOOT_TIMEOUT)
        if boot.returncode != 0:
            sys.exit(f"FAIL: making the Wine prefix {self.prefix}: {described(boot, stdout=True)}")
        settle = self._server(["-w"], timeout=BOOT_TIMEOUT)
        if settle.returncode != 0:
            sys.exit(f"FAIL: waiting for the new prefix's wineserver to end: {described(settle)}")
        # Persistent for a minute past the last program: should this script be
        # killed before its end, the server still goes on its own.
        started = self._server(["-p60"], timeout=60)
        if started.returncode != 0:
            sys.exit(f"FAIL: starting the wineserver: {described(started)}")

    def _server(self, args, timeout):
        return Running([self.server, *args], cwd=self.prefix, env=self.env).wait(timeout)

    def _end(self):
        if self.prefix is None:
            return
        stopped = self._server(["-k"], timeout=60)
        if stopped.returncode not in (0, 1):  # 1: no server was running
            print(f"warning: wineserver -k: {described(stopped)}")
        # Debian's Wine keeps the server's socket in a folder of /tmp that the
        # prefix names; it is this server's alone.
        try:
            with open(os.path.join(self.prefix, "wineserver")) as f:
                name = f.read().strip()
            if name.startswith("wine-") and "/" not in name:
                shutil.rmtree(os.path.join(tempfile.gettempdir(), name), ignore_errors=True)
        except OSError:
            pass
        shutil.rmtree(self.prefix, ignore_errors=True)  # some 700 MB
        self.prefix = None

    def run(self, program, args, cwd, timeout=120, env=None):
        """Runs a program to its end; returncode None when it did not end in
        time. Its output goes through files, not pipes: Wine's own background
        processes inherit a pipe and would hold it open for seconds after the
        program ended."""
        return self.start(program, args, cwd, env).wait(timeout)

    def start(self, program, args, cwd, env=None):
        """Starts a program and returns at once; the Wine loader becomes the
        program's own process, so signals sent to it reach the program."""
        return Running([self.loader, program, *args], cwd=cwd, env=dict(self.env, **(env or {})))


# The DLLs every Windows 10 and 11 has; anything else would have to be shipped.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comdlg32.dll", "comctl32.dll", "shell32.dll",
               "ole32.dll", "advapi32.dll", "msvcrt.dll", "bcrypt.dll", "uxtheme.dll", "shlwapi.dll"}


def check_imports(programs):
    """Each program is one file: it may import only the system's DLLs."""
    objdump = shutil.which("x86_64-w64-mingw32-objdump")
    if objdump is None:
        return ["x86_64-w64-mingw32-objdump is missing (scripts/setup installs the cross tools)"]
    failures = []
    for program in programs:
        listing = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
        imported = {line.split(":", 1)[1].strip().lower() for line in listing.splitlines() if "DLL Name:" in line}
        if imported - SYSTEM_DLLS:
            failures.append(f"{os.path.basename(program)} needs {sorted(imported - SYSTEM_DLLS)}")
    return failures
