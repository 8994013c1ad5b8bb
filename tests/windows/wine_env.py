"""Running the Windows programs under Wine for the tests: finding Wine,
a prefix of the tests' own, a clear skip when something is missing, and
the check that each program is one file."""

import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests


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


class Wine:
    def __init__(self, prefix):
        self.loader = find_wine()
        if self.loader is None:
            skip("Wine is not installed (scripts/setup installs wine and wine64)")
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all", WINEARCH="win64",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8")
        # No "install Mono/Gecko?" questions: the programs need neither.
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        self.env.pop("DISPLAY", None)
        os.makedirs(prefix, exist_ok=True)
        server = os.path.join(os.path.dirname(self.loader), "wineserver")
        self.server = server if os.access(server, os.X_OK) else shutil.which("wineserver")

    def run(self, program, args, cwd, timeout=120, env=None):
        """Runs a program to its end. Its output goes through files, not
        pipes: Wine's own background processes inherit a pipe and would hold
        it open for seconds after the program ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run([self.loader, program, *args], cwd=cwd, env=dict(self.env, **(env or {})),
                                  timeout=timeout, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(done.args, done.returncode, out.read(), err.read())

    def start(self, program, args, cwd):
        """Starts a program and returns at once; the Wine loader becomes the
        program's own process, so signals sent to it reach the program."""
        return subprocess.Popen([self.loader, program, *args], cwd=cwd, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

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
