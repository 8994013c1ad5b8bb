"""Running the Windows programs under Wine for the tests: finding Wine,
a prefix of the tests' own, a clear skip when something is missing, the
words for a failed run, and the check that each program is one file."""

import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests
# Enough of a program's output to say why it failed, not a whole log.
OUTPUT_SHOWN = 4000


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
    def __init__(self, prefix):
        self.loader = find_wine()
        if self.loader is None:
            skip("Wine is not installed (scripts/setup installs wine and wine64)")
        self.env = dict(os.environ)
        # Wine's own errors only: they may say why a run failed.
        self.env.update(WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all,err+all", WINEARCH="win64",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8")
        # No "install Mono/Gecko?" questions: the programs need neither.
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        self.env.pop("DISPLAY", None)
        os.makedirs(prefix, exist_ok=True)
        server = os.path.join(os.path.dirname(self.loader), "wineserver")
        self.server = server if os.access(server, os.X_OK) else shutil.which("wineserver")

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

    def keep_server(self):
        """Keeps one wineserver for the whole test: each program then starts in
        well under a second instead of seconds."""
        if self.server:
            subprocess.run([self.server, "-p60"], env=self.env, check=False)

    def stop_server(self):
        if self.server:
            subprocess.run([self.server, "-k"], env=self.env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


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
