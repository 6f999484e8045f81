"""The disc's own 32-bit programs under the i686 lane's Wine: its Tarvolen.exe
started from CD-ROM drive E: with the disc's own Tarvolen.ini, the Intel
setup.msi it finds there, the 32-bit Vesmark.dll in the installer's 32-bit
custom-action server.

Wine's installer honours no logging policy (seen: the Logging value under
HKLM\\Software\\Policies\\Microsoft\\Windows\\Installer writes no log), and the
disc's Tarvolen.ini cannot change without failing the listing check. So the
prefix's 32-bit msiexec.exe, which the launcher starts by name, is a front
(tools/try_watch/logged_msiexec.c) that puts Wine's own (kept beside it as
kitmsiexec.exe) back and starts it with the launcher's command line and a
verbose log added."""
import os
import shutil
import subprocess

import output
import try_settings
from try_outcome import shown

HERE = os.path.dirname(os.path.realpath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
ENV_SH = os.path.join(SOURCE_DIR, "tools", "wine32", "env.sh")
RUN = os.path.join(SOURCE_DIR, "tools", "wine32", "wine32-run.sh")
WATCH_SOURCE = os.path.join(SOURCE_DIR, "tools", "try_watch", "logged_msiexec.c")
WATCH_BUILT = os.path.join(SOURCE_DIR, "build", "try-watch", "MSIEXEC.EXE")
SYSWOW64 = "C:\\windows\\syswow64"
WINE_MSIEXEC = "kitmsiexec.exe"
COMPILER = "i686-w64-mingw32-gcc"


def missing():
    """Why the lane cannot run here, in one line; "" when it can."""
    done = subprocess.run(["bash", "-c", 'source "$0" && wine32_missing', ENV_SH],
                          env=dict(os.environ, KIT_ROOT=SOURCE_DIR), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
    return done.stdout.strip() if done.returncode == 0 else "tools/wine32/env.sh failed: " + done.stdout.strip()


def check_settings(text):
    """What the disc's own settings must allow for a try that no one watches."""
    debug = try_settings.value(text, "Info", "Debug")
    if debug is not None and try_settings.leading_number(debug) != 0:
        raise output.Refused("the disc's Tarvolen.ini sets Debug=%s: its message box would wait for a click "
                             "that never comes under Wine (master with Debug=0, or try with --twin)" % debug)
    if not try_settings.value(text, "Command", "Setup"):
        raise output.Refused("the disc's Tarvolen.ini has no Setup in [Command]: the launcher would start nothing")


def watch_program(log):
    """The logging MSIEXEC.EXE, compiled once into the build folder."""
    if not os.path.isfile(WATCH_BUILT) or os.path.getmtime(WATCH_BUILT) < os.path.getmtime(WATCH_SOURCE):
        if shutil.which(COMPILER) is None:
            raise output.Refused("%s is not installed (./kit deps installs it)" % COMPILER)
        os.makedirs(os.path.dirname(WATCH_BUILT), exist_ok=True)
        part = "%s.%d" % (WATCH_BUILT, os.getpid())
        with open(log, "a") as out:
            done = subprocess.run([COMPILER, "-municode", "-mwindows", "-O2", "-s", "-o", part, WATCH_SOURCE],
                                  stdout=out, stderr=out)
        if done.returncode != 0:
            output.remove(part)
            raise output.Refused("%s could not compile %s (its words in %s)" % (COMPILER, WATCH_SOURCE, shown(log)))
        os.replace(part, WATCH_BUILT)
    return WATCH_BUILT


class Lane:
    """One prefix of the lane's Wine, each call bounded by the try's time limit."""

    def __init__(self, wine):
        self.wine = wine

    def run(self, *args, cwd=None):
        env = dict(self.wine.env, KIT_ROOT=SOURCE_DIR, WINE32_TIMEOUT=str(self.wine.seconds))
        with open(self.wine.log, "a") as out:
            done = subprocess.run([RUN, "--prefix", self.wine.prefix, *args], env=env, cwd=cwd,
                                  stdout=out, stderr=out)
        if done.returncode == 124:
            self.wine.stop()
            raise self.wine.timed_out(args[0] if args else "making the prefix")
        return done.returncode

    def make_prefix(self):
        """A new prefix: the lane copies the booted one it keeps (booting under
        the emulator takes most of a minute)."""
        output.remove(self.wine.prefix)
        if self.run() != 0:
            raise output.Refused("the lane's Wine could not make a prefix (its output: %s)" % shown(self.wine.log))

    def start_disc_launcher(self, log_windows_path):
        """E:\\Tarvolen.exe from the disc; waits for all it started. The front puts
        Wine's msiexec.exe back when it starts it."""
        system = self.wine.host_path(SYSWOW64)
        os.makedirs(os.path.dirname(self.wine.host_path(log_windows_path)), exist_ok=True)
        os.replace(os.path.join(system, "msiexec.exe"), os.path.join(system, WINE_MSIEXEC))
        shutil.copyfile(watch_program(self.wine.log), os.path.join(system, "msiexec.exe"))
        self.wine.env["KIT_TRY_LOG"] = log_windows_path
        rc = self.run("E:\\Tarvolen.exe")
        # The launcher does not wait for the installer: the try does.
        if self.wine('timeout "$1" wineserver -w', str(self.wine.seconds)) != 0:
            self.wine.stop()
            raise self.wine.timed_out("the installer")
        return rc
