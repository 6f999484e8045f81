"""How every kit command treats what it is given and what it writes.

Every argument and input is checked before anything is deleted or written. A
command writes only inside its own output: a folder it made itself (it
carries a marker naming the command) or an empty one, and file targets it was
named, none overlapping an input once links are resolved. A file is written
beside its target and renamed into place when complete, and only a regular
file (or nothing) is ever replaced. On a refusal, an I/O error or SIGTERM,
SIGINT or SIGHUP the command says so in one line, exits 2, and what it left
half-made is removed."""
import contextlib
import fcntl
import os
import shutil
import signal
import stat
import sys

MARKER = ".kit-output"


class Refused(Exception):
    """A bad argument or input, or a step that cannot go on: one line, exit 2."""


class Interrupted(Exception):
    pass


def real(path):
    return os.path.realpath(path)


def within(inner, outer):
    """Whether resolved path INNER is OUTER or lies below it."""
    return inner == outer or inner.startswith(outer.rstrip("/") + "/")


def overlap(a, b):
    a, b = real(a), real(b)
    return within(a, b) or within(b, a)


def kind_of(mode):
    for test, name in ((stat.S_ISDIR, "a folder"), (stat.S_ISFIFO, "a FIFO"), (stat.S_ISCHR, "a device"),
                       (stat.S_ISBLK, "a device"), (stat.S_ISSOCK, "a socket"), (stat.S_ISLNK, "a symbolic link")):
        if test(mode):
            return name
    return "a regular file" if stat.S_ISREG(mode) else "not a regular file"


class Rule:
    """The inputs and outputs of one run, checked against each other."""

    def __init__(self):
        self.inputs = []  # (what, resolved path)
        self.partial = []  # paths removed when the run fails

    def input_file(self, what, path):
        """A file the command only reads; a FIFO or device would block or never end."""
        if not path:
            raise Refused("%s is empty" % what)
        try:
            mode = os.stat(path).st_mode
        except OSError as error:
            raise Refused("%s %s: %s" % (what, path, error.strerror))
        if not stat.S_ISREG(mode):
            raise Refused("%s %s is %s, not a regular file" % (what, path, kind_of(mode)))
        if not os.access(path, os.R_OK):
            raise Refused("%s %s cannot be read" % (what, path))
        self.inputs.append((what, real(path)))
        return real(path)

    def input_folder(self, what, path):
        if not path:
            raise Refused("%s is empty" % what)
        if not os.path.isdir(path):
            raise Refused("%s %s is not a folder" % (what, path))
        if not os.access(path, os.R_OK | os.X_OK):
            raise Refused("%s %s cannot be read" % (what, path))
        self.inputs.append((what, real(path)))
        return real(path)

    def clear_of_inputs(self, what, path):
        for name, used in self.inputs:
            if overlap(path, used):
                raise Refused("%s %s overlaps %s %s" % (what, path, name, used))

    def file_target(self, what, path):
        """A file the command will write: nothing there yet, or a regular file
        (a link to one is replaced by the file, its target left alone)."""
        if not path:
            raise Refused("%s is empty" % what)
        if path.endswith("/"):
            raise Refused("%s %s names a folder, not a file" % (what, path))
        if os.path.lexists(path):
            try:
                mode = os.stat(path).st_mode
            except OSError:
                mode = os.lstat(path).st_mode
            if not stat.S_ISREG(mode):
                raise Refused("%s %s is %s; only a regular file is replaced" % (what, path, kind_of(mode)))
        self.clear_of_inputs(what, path)
        self.clear_of_inputs(what, os.path.abspath(path))
        parent = os.path.dirname(os.path.abspath(path))
        existing = parent
        while not os.path.lexists(existing):
            existing = os.path.dirname(existing)
        if not os.path.isdir(existing):
            raise Refused("%s %s: %s is not a folder" % (what, path, existing))
        return os.path.abspath(path)

    def output_folder(self, what, path, command):
        """A folder the command owns: absent, empty, or marked as made by COMMAND."""
        if not path:
            raise Refused("%s is empty" % what)
        self.clear_of_inputs(what, path)
        if os.path.lexists(path):
            if not os.path.isdir(path):
                raise Refused("%s %s is not a folder" % (what, path))
            names = os.listdir(path)
            if names and not owned(path, command):
                raise Refused("%s %s holds files %s did not make; give a new or empty folder"
                              % (what, path, command))
        return real(path)

    def claim(self, folder, command):
        """Makes FOLDER the run's own and empties it (the marker stays)."""
        made = not os.path.exists(folder)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name != MARKER:
                remove(os.path.join(folder, name))
        try:
            with open(os.path.join(folder, MARKER), "w") as f:
                f.write("made by %s; emptied by its next run\n" % command)
        except OSError as error:
            if made:
                remove(folder)
            raise OSError(error.errno, error.strerror, error.filename or os.path.join(folder, MARKER)) from None

    def failed(self):
        for path in reversed(self.partial):
            with contextlib.suppress(OSError):
                remove(path)
        self.partial = []


def owned(folder, command):
    try:
        with open(os.path.join(folder, MARKER)) as f:
            return f.read().startswith("made by %s;" % command)
    except OSError:
        return False


def remove(path):
    """Removes a file, a link or a tree, read-only ones too; never follows a link."""
    try:
        mode = os.lstat(path).st_mode
    except FileNotFoundError:
        return
    if not stat.S_ISDIR(mode):
        os.unlink(path)
        return
    os.chmod(path, stat.S_IMODE(mode) | 0o700)
    for name in os.listdir(path):
        remove(os.path.join(path, name))
    os.rmdir(path)


def chmod_tree(path, clear):
    """Clears the mode bits CLEAR on every file and folder of a tree, never through a link."""
    for folder, folders, files in os.walk(path):
        for name in folders + files:
            entry = os.path.join(folder, name)
            mode = os.lstat(entry).st_mode
            if not stat.S_ISLNK(mode):
                os.chmod(entry, stat.S_IMODE(mode) & ~clear)


def temporary_beside(target):
    folder, name = os.path.split(target)
    return os.path.join(folder, ".%s.%d.part" % (name, os.getpid()))


@contextlib.contextmanager
def replacing(target, rule=None):
    """Yields a path beside TARGET to write; renames it into place when the
    block ends without an error, removes it otherwise."""
    part = temporary_beside(target)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    remove(part)
    try:
        yield part
        # Checked again: what was a file (or nothing) when the run began may not be now.
        mode = os.lstat(target).st_mode if os.path.lexists(target) else stat.S_IFREG
        if not (stat.S_ISREG(mode) or stat.S_ISLNK(mode)):
            raise Refused("%s became %s while it was written; left alone" % (target, kind_of(mode)))
        os.replace(part, target)
    finally:
        with contextlib.suppress(OSError):
            remove(part)


@contextlib.contextmanager
def held(lock_path):
    """Holds an exclusive lock on LOCK_PATH for the block: a build folder the
    kit's commands share is used by one of them at a time."""
    os.makedirs(os.path.dirname(lock_path), exist_ok=True)
    with open(lock_path, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def copy_file(source, target):
    """Copies SOURCE to TARGET through a file beside it."""
    with replacing(target) as part:
        try:
            with open(source, "rb") as a, open(part, "xb") as b:
                shutil.copyfileobj(a, b, 1 << 20)
        except OSError as error:
            # A full disk names no file: say which one was being written.
            raise OSError(error.errno, error.strerror, error.filename or target) from None


def descendants(pid):
    """The processes PID started, and theirs, as Linux lists them."""
    found = []
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return found
    for task in tasks:
        try:
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                children = [int(child) for child in f.read().split()]
        except OSError:
            continue
        for child in children:
            found += [child] + descendants(child)
    return found


def _interrupt(number, _frame):
    # The tools the run started stop with it: none goes on writing once the
    # run has said it removed what it left half-made.
    for pid in descendants(os.getpid()):
        with contextlib.suppress(OSError):
            os.kill(pid, signal.SIGTERM)
    raise Interrupted(signal.Signals(number).name)


def main(command, body, rule=None):
    """Runs BODY() as COMMAND and returns its exit status: a refusal, an I/O
    error, an interruption or any other fault becomes one line and exit 2,
    after RULE removed what the run left half-made."""
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, _interrupt)
    try:
        return body()
    except BrokenPipeError:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0
    except Exception as error:  # noqa: BLE001 - one line, never a traceback
        if rule is not None:
            rule.failed()
        if isinstance(error, Interrupted):
            message = "interrupted by %s; what this run left half-made was removed" % error
        elif isinstance(error, OSError):
            where = error.filename or ""
            message = "%s%s%s" % (where, ": " if where else "", error.strerror or error)
        elif isinstance(error, (Refused, UnicodeError)):
            message = str(error)
        else:
            message = "unexpected %s: %s" % (type(error).__name__, error)
        sys.stdout.flush()
        print("%s: %s" % (command, "; ".join(line.strip() for line in message.splitlines() if line.strip())),
              file=sys.stderr)
        return 2
