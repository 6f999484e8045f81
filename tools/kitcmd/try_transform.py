"""The proof that the installer applied the transform a disc's settings ask
for: msiexec's verbose log names it in TRANSFORMS, and each property the
transform changes or adds has its transformed value in the log's closing
dump. What the transform changes is learnt by applying it to a copy of the
installed package with tools/msi_transform (the installer's own functions,
under 64-bit Wine) and comparing the two Property tables."""
import os
import re
import subprocess

import msi_package
import try_settings
import vesmark_package

HERE = os.path.dirname(os.path.realpath(__file__))
MSI_TRANSFORM = os.path.join(os.path.dirname(HERE), "msi_transform", "msi_transform.sh")
TRANSFORMS_OPTION = re.compile(r"(?:^|\s)TRANSFORMS=", re.I)
# Building msi_transform and booting its prefix the first time included.
APPLY_SECONDS = 600
# Values never said in a report.
SECRET = {"ProductNameShort"}


def wanted(disc_settings):
    """The transform file name the settings give (Transform in [Command]), ''
    when they name none but the template still sets TRANSFORMS=, None when
    they ask for no transform at all."""
    name = try_settings.value(disc_settings, "Command", "Transform") or ""
    template = try_settings.value(disc_settings, "Command", "Setup") or ""
    if name or TRANSFORMS_OPTION.search(template):
        return name
    return None


def logged_transforms(log):
    """The transforms msiexec's log says it applied: its TRANSFORMS property, split at ';'."""
    found = re.findall(r"^Property\([SC]\): TRANSFORMS = (.*?)\r?$", log, re.M)
    return [t.strip().strip('"') for t in found[-1].split(";") if t.strip()] if found else []


def property_dump(log):
    """NAME -> VALUE of the log's last property dump of the installation itself."""
    return dict(re.findall(r"^Property\(S\): (\S+) = (.*?)\r?$", log, re.M))


def changed_properties(package, transformed):
    """{name: (before or None, after)} for each property TRANSFORMED changes or adds."""
    before, after = vesmark_package.properties(package), vesmark_package.properties(transformed)
    return {name: (before.get(name), value) for name, value in sorted(after.items()) if before.get(name) != value}


def apply(package, transform, target, log):
    """Applies TRANSFORM to a copy of PACKAGE at TARGET; None, or why it could not."""
    with open(log, "a") as out:
        try:
            done = subprocess.run([MSI_TRANSFORM, "apply", os.path.abspath(package), os.path.abspath(transform),
                                   os.path.abspath(target)], stdout=out, stderr=subprocess.PIPE, text=True,
                                  timeout=APPLY_SECONDS)
        except subprocess.TimeoutExpired:
            return "msi_transform did not finish within %d s" % APPLY_SECONDS
        out.write(done.stderr)
    if done.returncode != 0 or not os.path.isfile(target):
        said = [line for line in done.stderr.splitlines() if line.strip()]
        ours = [line[len("msi_transform: "):] for line in said if line.startswith("msi_transform: ")]
        return (ours or said or ["exit %d" % done.returncode])[-1]
    return None


def shown_value(name, value):
    return "(hidden)" if name in SECRET else "'%s'" % value


def prove(log, disc_settings, package, host_path, work, say):
    """Failures of the proof that the transform the settings ask for was applied,
    saying each step with SAY. LOG is msiexec's verbose log as text, PACKAGE the
    package it installed, HOST_PATH maps a Windows path of the installation to
    this machine's, WORK a folder the proof may write in. [] when the settings
    ask for no transform."""
    name = wanted(disc_settings)
    if name is None:
        return []
    applied = logged_transforms(log)
    if not applied:
        return ["the settings ask for a transform%s, but msiexec's log names none in TRANSFORMS"
                % (" (%s)" % name if name else "")]
    say("transform: msiexec's log names TRANSFORMS = %s" % ";".join(applied))
    ours = [t for t in applied if name and re.split(r"[\\/]", t)[-1].lower() == name.lower()]
    if name and not ours:
        return ["the log's TRANSFORMS does not name %s, the settings' Transform" % name]
    failures = []
    dump = property_dump(log)
    source = dump.get("SourceDir", "")
    for index, entry in enumerate(ours or applied):
        if entry.startswith(":"):
            failures.append("%s is a transform inside the package: it is not proven here" % entry)
            continue
        windows = entry if re.match(r"^[A-Za-z]:[\\/]", entry) else source.rstrip("\\") + "\\" + entry
        host = host_path(windows)
        if not os.path.isfile(host):
            failures.append("%s: no such file where the installer looked (%s)" % (entry, windows))
            continue
        with open(host, "rb") as f:
            if f.read(len(msi_package.OLE_SIGNATURE)) != msi_package.OLE_SIGNATURE:
                failures.append("%s is not a transform (not an OLE compound file): the installer cannot "
                                "have applied it" % entry)
                continue
        transformed = os.path.join(work, "transformed-%d.msi" % index)
        why = apply(package, host, transformed, os.path.join(work, "msi_transform.log"))
        if why is not None:
            failures.append("%s cannot be applied to the package: %s" % (entry, why))
            continue
        changes = changed_properties(package, transformed)
        os.remove(transformed)
        if not changes:
            say("transform %s changes no property: its other changes are not proven" % entry)
        for prop, (before, after) in changes.items():
            seen = dump.get(prop)
            what = "%s %s -> %s" % (prop, "(new)" if before is None else shown_value(prop, before),
                                    shown_value(prop, after))
            if seen == after:
                say("transform %s applied: %s, as the log's property dump gives it" % (entry, what))
            else:
                failures.append("transform %s: %s, but the log gives %s" % (
                    entry, what, "no value" if seen is None else shown_value(prop, seen)))
    return failures
