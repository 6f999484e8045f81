"""The copy of a disc's Tarvolen.ini that ./kit try starts the launcher with.

The launcher runs from C: there, not from the disc, and Wine must not wait
for a click: so the copy differs from the disc's settings in what the try
needs and nothing else, and says each difference in a note."""
import re

# Placeholders in the launcher's order of trying (launcher/command_template.cpp).
PLACEHOLDERS = ["%SRCDIR%", "%WINSYSDIR%", "%WINDIR%", "%PACKAGE%", "%TRANSFORM%"]
# msiexec's own splitting: a quoted stretch belongs to its token.
TOKEN = re.compile(r'(?:"[^"]*"?|[^\s"])+')
UI_OPTION = re.compile(r"^[/-](q[nbrf]?[+!-]*|quiet|passive)$", re.I)
LOG_OPTION = re.compile(r"^[/-](l[iwearucmopvx+!*]*|log)$", re.I)
SETUP_CAPACITY = 1023


class SettingsError(Exception):
    """The disc's settings start nothing."""


class TemplateTooLong(Exception):
    """The template with the try's options is over what the launcher reads."""


def _entries(lines):
    """(section, key, line index, value) of each key=value line, as the profile
    services read them: names without regard to case, blanks trimmed."""
    section = None
    for index, line in enumerate(lines):
        text = line.strip()
        if text.startswith("["):
            section = text[1:text.index("]")].strip().lower() if "]" in text else None
        elif "=" in text and section is not None and not text.startswith(";"):
            key, _, value = text.partition("=")
            value = value.strip()
            if len(value) >= 2 and value[0] == value[-1] and value[0] in "'\"":
                value = value[1:-1]
            yield section, key.strip().lower(), index, value


def value(text, section, key):
    """The first value of KEY in SECTION, or None."""
    for found_section, found_key, _, found in _entries(text.splitlines()):
        if (found_section, found_key) == (section.lower(), key.lower()):
            return found
    return None


def leading_number(text):
    match = re.match(r"\s*([+-]?\d+)", text)
    return int(match.group(1)) if match else 0


def _disc_placeholders(template, transform, drive):
    """[%SRCDIR%] and [%TRANSFORM%] name the launcher's folder: on the disc that
    is its root, so they are written as the disc root they stand for there."""
    out, scan, changed = [], 0, []
    while True:
        open_at = template.find("[", scan)
        close_at = template.find("]", open_at + 1) if open_at >= 0 else -1
        if close_at < 0:
            out.append(template[scan:])
            return "".join(out), sorted(set(changed))
        token = template[open_at + 1:close_at]
        name = next((n for n in PLACEHOLDERS if n.startswith(token)), None)
        out.append(template[scan:open_at])
        if name == "%SRCDIR%":
            out.append(drive)
            changed.append(name)
        elif name == "%TRANSFORM%":
            out.append(drive + transform)
            changed.append(name)
        else:
            out.append(template[open_at:close_at + 1])
        scan = close_at + 1


def _quiet_and_logged(template, log):
    """The template with its UI and log options replaced by /qn and LOG."""
    kept, ui, logs, skip = [], [], [], False
    for token in TOKEN.findall(template):
        if skip:
            logs[-1] += " " + token
            skip = False
        elif UI_OPTION.match(token):
            ui.append(token)
        elif LOG_OPTION.match(token):
            logs.append(token)
            skip = True
        else:
            kept.append(token)
    return " ".join(kept + ["/qn", '/l*v "%s"' % log]), ui, logs


def for_try(text, log, drive="E:\\"):
    """(settings text, Setup template, notes): the disc's settings with the installer's UI
    off, its verbose log written to LOG, the debug box off and the launcher's
    folder read as the disc root."""
    lines = text.splitlines()
    newline = "\r\n" if "\r\n" in text else "\n"
    notes = []
    setup = debug = None
    for section, key, index, found in _entries(lines):
        if (section, key) == ("command", "setup") and setup is None:
            setup = (index, found)
        if (section, key) == ("info", "debug") and debug is None:
            debug = (index, found)
    if setup is None or not setup[1]:
        raise SettingsError("Tarvolen.ini has no Setup in [Command]: the launcher would start nothing")
    if debug is not None and leading_number(debug[1]) != 0:
        lines[debug[0]] = "Debug=0"
        notes.append("Debug=%s set to 0: its message box would wait for a click" % debug[1])
    template, moved = _disc_placeholders(setup[1], value(text, "Command", "Transform") or "", drive)
    if moved:
        notes.append("%s written with %s, the disc root the launcher's folder is when it runs from the disc"
                     % (" and ".join("[%s]" % name for name in moved), drive))
    template, ui, logs = _quiet_and_logged(template, log)
    notes.append("the disc's template: %s" % setup[1])
    if [u.lower() for u in ui] != ["/qn"]:
        notes.append(("%s replaced by /qn" % ", ".join(ui) if ui else "/qn added")
                     + ": under Wine no window may wait for a click")
    notes.append(("%s replaced by the verbose log" % ", ".join(logs) if logs else "verbose log added")
                 + ": it tells each action's result")
    if len(template) > SETUP_CAPACITY:
        raise TemplateTooLong("the Setup template with the log option is %d characters, over the launcher's %d"
                            % (len(template), SETUP_CAPACITY))
    lines[setup[0]] = "Setup=" + template
    return newline.join(lines) + newline, template, notes
