"""What a user does with the product after a try installed it, run with the
installer directly in the same prefix: repairs, a change of features and the
removal with the disc gone (--maintenance), and the major upgrade from an
earlier image of the product (--upgrade-from). Each run's result comes from
its verbose log; after each run that installs files, every range of "Files"
must decrypt back from a file encrypted exactly once, and every other
installed file must equal the disc's."""
import filecmp
import os

import build_package
import msi_package
import output
import try_outcome
import vesmark_package
from try_outcome import TryFailed, say, shown

OLD_LOG = "C:\\kit\\old-install.log"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
DISALLOW_ABSENT = 16  # msidbFeatureAttributesUIDisallowAbsent
ONLY_DETECT = 2  # msidbUpgradeAttributesOnlyDetect
MIN_INCLUSIVE, MAX_INCLUSIVE = 256, 512


def check_old(path, rule):
    """The earlier image or disc folder --upgrade-from names, read only."""
    if not path or not os.path.exists(path):
        raise output.Refused("--upgrade-from: no earlier disc at %s" % path)
    if os.path.isdir(path):
        return rule.input_folder("--upgrade-from", path)
    return rule.input_file("--upgrade-from", path)


def version(text):
    """A ProductVersion as the installer compares it: its first three fields."""
    try:
        return tuple(int(part) for part in (text.split(".") + ["0", "0"])[:3])
    except ValueError:
        return None


def upgrade_gap(old_package, package):
    """Why PACKAGE does not replace OLD_PACKAGE's product as a major upgrade; "" when it does."""
    old, new = vesmark_package.properties(old_package), vesmark_package.properties(package)
    code, old_version = old.get("UpgradeCode", ""), version(old.get("ProductVersion", ""))
    if not code or code.upper() != new.get("UpgradeCode", "").upper():
        return "the earlier package's UpgradeCode %s is not this one's %s" % (code or "(none)",
                                                                             new.get("UpgradeCode") or "(none)")
    if old_version is None or version(new.get("ProductVersion", "")) is None or \
            old_version >= version(new["ProductVersion"]):
        return "the earlier ProductVersion %s is not lower than %s" % (old.get("ProductVersion"),
                                                                      new.get("ProductVersion"))
    if old.get("ProductCode", "").upper() == new.get("ProductCode", "").upper():
        return "both packages carry the ProductCode %s" % new.get("ProductCode")
    rows = msi_package.rows(package, "Upgrade") if "Upgrade" in msi_package.tables(package) else []
    for row in rows:
        attributes = int(row["Attributes"] or 0)
        low, high = version(row["VersionMin"]) if row["VersionMin"] else None, \
            version(row["VersionMax"]) if row["VersionMax"] else None
        if row["UpgradeCode"].upper() != code.upper() or attributes & ONLY_DETECT:
            continue
        if low is not None and (old_version < low or old_version == low and not attributes & MIN_INCLUSIVE):
            continue
        if high is not None and (old_version > high or old_version == high and not attributes & MAX_INCLUSIVE):
            continue
        return ""
    return "its Upgrade table removes no version %s of UpgradeCode %s" % (old.get("ProductVersion"), code)


def optional_feature(package):
    """A feature the user may leave out, whose components hold none of the encrypted files; None when none."""
    features = msi_package.rows(package, "Feature")
    holding = {}
    for row in msi_package.rows(package, "FeatureComponents"):
        holding.setdefault(row["Feature_"], set()).add(row["Component_"])
    for row in features:
        if int(row["Level"] or 0) > 0 and not int(row["Attributes"] or 0) & DISALLOW_ABSENT and \
                holding.get(row["Feature"]) and "VesmarkEncryptedFiles" not in holding[row["Feature"]]:
            return row["Feature"], holding[row["Feature"]]
    return None


class Installer:
    """Wine's msiexec in the prefix, as the launcher's start reaches it: under the lane's Wine
    (its 32-bit custom-action server runs the disc's library), or for the twin the system's."""

    def __init__(self, wine, lane, work, page):
        self.wine, self.lane, self.work, self.page = wine, lane, work, page

    def run(self, name, *args):
        """Runs msiexec ARGS /qn with a verbose log C:\\kit\\NAME.log; {action: result} from it."""
        log = "C:\\kit\\%s.log" % name
        host_log = self.wine.host_path(log)
        output.remove(host_log)
        say("msiexec %s /qn /l*v %s" % (" ".join(args), log))
        command = list(args) + ["/qn", "/l*v", log]
        if self.lane is not None:
            self.lane.run("msiexec", *command)
            if self.wine('timeout "$1" wineserver -w', str(self.wine.seconds)) != 0:
                self.wine.stop()
                raise self.wine.timed_out("msiexec " + " ".join(args))
        else:
            self.wine('wine_run msiexec "$@"', *command)
        if not os.path.isfile(host_log):
            raise TryFailed("%s: msiexec wrote no log" % name)
        output.copy_file(host_log, os.path.join(self.work, name + ".log"))
        with open(host_log, encoding="cp%d" % self.page, errors="replace") as f:
            text = f.read()
        results = dict(try_outcome.ACTION_ENDED.findall(text))
        words = {"1": "succeeded", "0": "failed"}
        say("%s: %s (Action ended ...: INSTALL. Return value %s)"
            % (name, words.get(results.get("INSTALL"), "did not end"), results.get("INSTALL", "-")))
        if results.get("INSTALL") != "1":
            raise TryFailed("the %s failed (its log: %s)" % (name, shown(os.path.join(self.work, name + ".log"))))
        ran = [a for a in ("ResolveSource",) + try_outcome.CHECKS if a in results]
        if ran:
            raise TryFailed("the %s ran %s: maintenance must not check the disc" % (name, " and ".join(ran)))
        return results

    def registered(self, product_code):
        """The views of the registry that still carry the product's Uninstall key."""
        return [view for view in ("/reg:32", "/reg:64")
                if self.wine('"$WINE64" reg query "$1" "$2"', UNINSTALL_KEY + product_code, view) == 0]

    def remove_disc(self):
        """Takes the disc out of E:: its link and drive type go, and Wine reads the drives again."""
        link = os.path.join(self.wine.prefix, "dosdevices", "e:")
        if os.path.lexists(link):
            os.unlink(link)
        self.wine('"$WINE64" reg delete "HKLM\\Software\\Wine\\Drives" /v e: /f')
        self.wine.stop()
        say("took the disc out of E: (its dosdevices link and drive type removed)")


class Proof:
    """The installed files against the disc: the ranges encrypted once, the rest equal."""

    def __init__(self, outcome, folder):
        self.outcome, self.folder = outcome, folder
        self.root = outcome.wine.host_path(folder)
        package = outcome.package
        self.listed = vesmark_package.files_to_encrypt(package, outcome.values.get("Files", ""))
        self.span = vesmark_package.encryption_range(outcome.values.get("RectPyrc", ""))

    def check(self, run, absent=()):
        """Failures after RUN, the files of ABSENT (target paths) expected gone; TryFailed on any."""
        failures = []
        for target, disc_parts in vesmark_package.installed_files(self.outcome.package):
            path = build_package.find_on_disc(self.root, target)
            name = "\\".join(target)
            if tuple(target) in absent:
                if path is not None:
                    failures.append("%s: still installed, though its feature was removed" % name)
                continue
            if path is None or not os.path.isfile(path):
                failures.append("%s: not installed" % name)
                continue
            lowered = tuple(p.lower() for p in target)
            if any(tuple(p.lower() for p in n.replace("/", "\\").split("\\")) == lowered for n, _ in self.listed):
                continue
            original = build_package.find_on_disc(self.outcome.disc, disc_parts)
            if original is None or not filecmp.cmp(original, path, shallow=False):
                failures.append("%s: not in Files, yet it differs from the disc's" % name)
        if self.span is None or not self.listed:
            failures.append("Files and RectPyrc give nothing to encrypt: there is no range to prove")
        for name, disc_parts in self.listed:
            failure = self.outcome.prove_file(name, disc_parts, self.root, self.span) if self.span else None
            if failure:
                failures.append("%s: %s" % (name, failure))
        for failure in failures:
            say("FAIL: %s" % failure)
        if failures:
            raise TryFailed("after the %s, %d proof(s) of the installed files failed" % (run, len(failures)))
        say("after the %s: every range of Files encrypted once and decrypting back; %s"
            % (run, "the other files as on the disc" if not absent else
               "the other files as on the disc, the removed feature's %d gone" % len(absent)))


def maintain(outcome, installer):
    """Repairs, a change of features and the removal without the disc, each proved."""
    with open(outcome.log_path, encoding="cp%d" % outcome.page, errors="replace") as f:
        folder = try_outcome.property_logged(f.read(), "_DBASE_")
    package = outcome.package
    product = outcome.values.get("ProductCode", "")
    proof = Proof(outcome, folder)
    print("==> maintenance of %s with msiexec" % product, flush=True)
    for mode in ("omus", "amus"):
        installer.run("repair-" + mode, "/i", "E:\\setup.msi", "REINSTALL=ALL", "REINSTALLMODE=" + mode)
        proof.check("repair with REINSTALLMODE=" + mode)
    optional = optional_feature(package)
    if optional is None:
        say("modify: skipped, every feature holding files is one the user may not leave out")
    else:
        feature, components = optional
        absent = {tuple(t) for t, _ in vesmark_package.installed_files(package, components=components)}
        installer.run("modify-remove", "/i", "E:\\setup.msi", "REMOVE=" + feature)
        proof.check("removal of feature %s" % feature, absent)
        installer.run("modify-add", "/i", "E:\\setup.msi", "ADDLOCAL=" + feature)
        proof.check("addition of feature %s" % feature)
    if not installer.registered(product):
        raise TryFailed("the installed product %s is not found under %s: its removal could not be proved"
                        % (product, UNINSTALL_KEY))
    installer.remove_disc()
    installer.run("uninstall", "/x", product)
    left = [t for t, _ in vesmark_package.installed_files(package)
            if build_package.find_on_disc(proof.root, t) is not None]
    if left:
        raise TryFailed("the uninstall left %s installed" % ", ".join("\\".join(t) for t in left))
    if os.path.isdir(proof.root) and os.listdir(proof.root):
        raise TryFailed("the uninstall left %s holding %s" % (folder, " ".join(sorted(os.listdir(proof.root)))))
    views = installer.registered(product)
    if views:
        raise TryFailed("after the uninstall %s is still registered (%s %s)" % (product, UNINSTALL_KEY + product,
                                                                                 " ".join(views)))
    say("after the uninstall: no file of the product left, %s %s, %s%s not registered"
        % (folder, "empty" if os.path.isdir(proof.root) else "gone", UNINSTALL_KEY, product))


def check_old_registered(old_package, installer):
    """The earlier version is registered once installed, so that its absence later means something."""
    old = vesmark_package.properties(old_package).get("ProductCode", "")
    if not installer.registered(old):
        raise TryFailed("the earlier version %s is not found under %s once installed" % (old, UNINSTALL_KEY))
    say("the earlier version %s is registered" % old)


def check_upgraded(old_package, installer):
    """The earlier version's product is no longer registered after the upgrade."""
    old = vesmark_package.properties(old_package).get("ProductCode", "")
    views = installer.registered(old)
    if views:
        raise TryFailed("after the upgrade the earlier version %s is still registered (%s)" % (old, " ".join(views)))
    say("the earlier version %s is no longer registered" % old)
