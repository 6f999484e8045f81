"""Authenticode signatures (SHA-256) on the kit's programs and packages,
made and read with osslsigncode; the key's pass phrase is read from a file by
openssl and osslsigncode themselves, so it is never on a command line.

A signature carries a signing time: it is the time the run dates everything
by (SOURCE_DATE_EPOCH or the inputs'), so the same inputs give the same
signed bytes. A time stamp from a server (--timestamp URL) is the server's
time and makes each run's bytes differ."""
import collections
import os
import re
import shutil
import subprocess
import tempfile

import output

OSSLSIGNCODE = "osslsigncode"


class SigningError(Exception):
    pass


Signature = collections.namedtuple(
    "Signature", "signer issuer valid_from valid_to digest signing_time timestamp intact verified reason")


def _openssl_pkcs12(pfx, password_file, *args):
    """openssl pkcs12 on PFX; an older container's ciphers need the legacy provider."""
    command = ["openssl", "pkcs12", "-in", pfx, "-passin", "file:" + password_file, *args]
    done = subprocess.run(command, capture_output=True, text=True, errors="replace")
    if done.returncode != 0 and "unsupported" in done.stderr.lower():
        done = subprocess.run(command + ["-legacy"], capture_output=True, text=True, errors="replace")
    return done


def _certificate_field(pem, option):
    done = subprocess.run(["openssl", "x509", "-noout", option, "-nameopt", "compat"], input=pem,
                          capture_output=True, text=True)
    return done.stdout.strip().partition("=")[2]


class Signer:
    """The certificate and key of --sign, opened with the pass phrase of --sign-password-file."""

    def __init__(self, pfx, password_file, timestamp):
        self.pfx, self.password_file, self.timestamp = pfx, password_file, timestamp
        self.subject = ""

    def open(self, shown_pfx, shown_password):
        for tool in ("openssl", OSSLSIGNCODE):
            if shutil.which(tool) is None:
                raise SigningError("%s is not installed (./kit deps installs it)" % tool)
        with open(self.password_file, "rb") as f:
            if not f.readline().rstrip(b"\r\n"):
                raise SigningError("--sign-password-file %s holds no pass phrase on its first line" % shown_password)
        # -info names the bags on stderr without writing out the key.
        done = _openssl_pkcs12(self.pfx, self.password_file, "-noout", "-info")
        if done.returncode != 0:
            said = done.stderr.lower()
            if "mac verify" in said or "invalid password" in said:
                raise SigningError("--sign %s: the pass phrase in %s does not open it" % (shown_pfx, shown_password))
            raise SigningError("--sign %s is not a PKCS#12 (.pfx) file openssl can read" % shown_pfx)
        has_key = re.search(r"key ?bag", done.stderr, re.I) is not None
        certificate = _openssl_pkcs12(self.pfx, self.password_file, "-nokeys", "-clcerts")
        pem = certificate.stdout[certificate.stdout.find("-----BEGIN CERTIFICATE"):]
        if "BEGIN CERTIFICATE" not in certificate.stdout or not has_key:
            raise SigningError("--sign %s holds no %s" % (shown_pfx, "certificate" if has_key else "private key"))
        if subprocess.run(["openssl", "x509", "-noout", "-checkend", "0"], input=pem, text=True,
                          capture_output=True).returncode != 0:
            raise SigningError("--sign %s: its certificate expired on %s"
                               % (shown_pfx, _certificate_field(pem, "-enddate")))
        self.subject = _certificate_field(pem, "-subject")
        return self

    def sign(self, path, seconds, log=None):
        """Signs PATH in place (through a file beside it), its signing time SECONDS."""
        command = [OSSLSIGNCODE, "sign", "-pkcs12", self.pfx, "-readpass", self.password_file, "-h", "sha256",
                   "-time", str(int(seconds))]
        if self.timestamp:
            command += ["-ts", self.timestamp]
        path = os.path.abspath(path)
        mode = os.stat(path).st_mode & 0o7777
        with output.replacing(path) as part:
            done = subprocess.run(command + ["-in", path, "-out", part], capture_output=True, text=True,
                                  errors="replace")
            if log is not None:
                with open(log, "a") as f:
                    f.write(done.stdout + done.stderr)
            if done.returncode != 0 or not os.path.isfile(part):
                said = [line.strip() for line in (done.stderr + done.stdout).splitlines() if line.strip()]
                reasons = [line for line in said if "error" in line.lower() or "failed" in line.lower()]
                raise SigningError("osslsigncode could not sign %s: %s"
                                   % (os.path.basename(path), (reasons or said or ["exit %d" % done.returncode])[0]))
            os.chmod(part, mode)

    def said(self):
        return "signed by %s (Authenticode, SHA-256)%s" % (
            self.subject, ", time-stamped by " + self.timestamp if self.timestamp else "")


def signer_from(rule, pfx, password_file, timestamp):
    """The Signer the options name, checked before anything is written; None without --sign."""
    if pfx is None:
        for option, value in (("--sign-password-file", password_file), ("--timestamp", timestamp)):
            if value is not None:
                raise SigningError("%s needs --sign CERT.pfx" % option)
        return None
    if password_file is None:
        raise SigningError("--sign %s needs --sign-password-file FILE, which holds its pass phrase" % pfx)
    if timestamp is not None and not re.fullmatch(r"https?://[^\s/]+\S*", timestamp):
        raise SigningError("--timestamp needs the http:// or https:// URL of an RFC 3161 time-stamping "
                           "server, not '%s'" % timestamp)
    signer = Signer(rule.input_file("--sign", pfx), rule.input_file("--sign-password-file", password_file),
                    timestamp)
    return signer.open(pfx, password_file)


def _field(block, name):
    match = re.search(r"^\s*%s\s*:\s*(.*?)\s*$" % re.escape(name), block, re.M)
    return match.group(1) if match else ""


def _extracted(path):
    """(subject, issuer, not before, not after, signing time) of the signature's
    first certificate, read without verifying: osslsigncode names no signer of
    a file whose digest no longer matches."""
    with tempfile.TemporaryDirectory(prefix="kit-signature.") as scratch:
        der = os.path.join(scratch, "signature.der")
        subprocess.run([OSSLSIGNCODE, "extract-signature", "-in", path, "-out", der], capture_output=True)
        if not os.path.isfile(der):
            return ("",) * 5
        pems = subprocess.run(["openssl", "pkcs7", "-inform", "DER", "-in", der, "-print_certs"],
                              capture_output=True, text=True, errors="replace").stdout
        fields = subprocess.run(["openssl", "x509", "-noout", "-subject", "-issuer", "-startdate", "-enddate",
                                 "-nameopt", "compat"], input=pems, capture_output=True, text=True,
                                errors="replace").stdout
        printed = subprocess.run(["openssl", "pkcs7", "-inform", "DER", "-in", der, "-print"],
                                 capture_output=True, text=True, errors="replace").stdout
    values = dict(line.partition("=")[::2] for line in fields.splitlines())
    signed_at = re.search(r"signingTime .*\n.*\n\s*UTCTIME:(.*)", printed)
    return (values.get("subject", ""), values.get("issuer", ""), values.get("notBefore", ""),
            values.get("notAfter", ""), signed_at.group(1).strip() if signed_at else "")


def read(path, ca=None):
    """The signatures of PATH, first the primary one; empty when it carries none.
    Each is verified against CA (a PEM file) or the system's certificates;
    revocation is not checked, as nothing may be fetched."""
    if shutil.which(OSSLSIGNCODE) is None:
        raise SigningError("osslsigncode is not installed (./kit deps installs it)")
    command = [OSSLSIGNCODE, "verify", "-ignore-crl", "-in", path]
    if ca:
        command += ["-CAfile", ca]
    done = subprocess.run(command, capture_output=True, text=True, errors="replace")
    said = done.stdout + "\n" + done.stderr
    if "No signature found" in said or "Signature Index:" not in said:
        return []
    found = []
    for block in re.split(r"^Signature Index: ", said, flags=re.M)[1:]:
        signer_part = block.partition("Signer's certificate:")[2]
        signing_time = _field(block, "Signing time")
        timestamp = _field(block, "Timestamp time") or None
        intact = "MISMATCH" not in block and "Calculated message digest" in block
        verified = done.returncode == 0 and re.search(r"^Signature verification: ok", block, re.M) is not None
        stamp_failed = re.search(r"^Timestamp Server Signature verification: failed", block, re.M) is not None
        errors = re.findall(r"^\s*Error: (.*)$", block, re.M)
        if not intact:
            reason = "the file's digest differs from the signed one: it changed after it was signed"
        elif not verified:
            reason = ("its certificate chain does not verify" + (" against %s" % ca if ca else
                                                               " against this machine's certificates")
                      + (": " + errors[0] if errors else ""))
        elif stamp_failed:
            verified = False
            reason = "its time stamp does not verify" + (": " + errors[0] if errors else "")
        else:
            reason = "verifies" + (" against " + ca if ca else " against this machine's certificates")
        digest = _field(block, "Message digest algorithm").replace("SHA256", "SHA-256")
        certificate = tuple(_field(signer_part, name) for name in ("Subject", "Issuer", "notBefore", "notAfter"))
        if not certificate[0]:
            *certificate, extracted_time = _extracted(path)
            signing_time = signing_time or extracted_time
        found.append(Signature(*certificate, digest, signing_time, timestamp, intact, intact and verified, reason))
    return found


def read_bytes(data, ca=None):
    """The signatures of a file held in DATA (the library inside a package)."""
    with tempfile.NamedTemporaryFile(prefix="kit-signed.") as f:
        f.write(data)
        f.flush()
        return read(f.name, ca)


def lines(signatures):
    """What ./kit inspect and ./kit try say of a file's signatures, one per line and two below it."""
    if not signatures:
        return ["signature: none (unsigned)"]
    said = []
    for number, s in enumerate(signatures):
        said.append("signature%s: %s, issued by %s" % ("" if number == 0 else " %d (nested)" % number,
                                                       s.signer or "(no subject)", s.issuer or "(no issuer)"))
        said.append("  %s; certificate valid %s to %s; signing time %s; %s"
                    % (s.digest or "digest unknown", s.valid_from or "?", s.valid_to or "?", s.signing_time or "none",
                       "time-stamped " + s.timestamp if s.timestamp else "no time stamp"))
        said.append("  " + (s.reason + " (revocation not checked)" if s.verified else "does not verify: " + s.reason))
    return said


def faults(signatures):
    """Why the signatures of a file do not verify; empty when they do, or there are none."""
    return [s.reason for s in signatures if not s.verified]
