#!/usr/bin/env python3
"""The fidelity table of scripts/wine-differential: what the same UI scripts changed on the
portable machine and on the Windows build under Wine, compared as changes from each side's
starting state. Usage: differential.py OUT_DIR (as wine-differential leaves it)."""
import hashlib
import os
import re
import subprocess
import sys

ROOT_ALIASES = {"HKEY_CLASSES_ROOT": "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES"}
KEPT_ROOTS = ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER")
SHELL_FOLDERS = "HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS"

# Differences that are known, with why (matched against "KEY\\name" or a file row).
EXPLAINED = [
    (r"^HKEY_(LOCAL_MACHINE|CURRENT_USER)\\SOFTWARE\\WINE\\",
     "Wine's own bookkeeping (fonts, dll overrides, ...), not the program's"),
    (r"PENDINGFILERENAMEOPERATIONS",
     "the NT family's restart deletions (MoveFileExA, MOVEFILE_DELAY_UNTIL_REBOOT) beside WININIT.INI"),
    (r"^HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\",
     "Explorer state Wine's shell keeps while the program runs"),
    (r"^HKEY_LOCAL_MACHINE\\(HARDWARE\\|SYSTEM\\CURRENTCONTROLSET\\(CONTROL\\(CLASS|DEVICECLASSES|VIDEO|SERVICECURRENT)|HARDWARE PROFILES))",
     "Wine's display driver registers the X display when the program's first window opens"),
    (r"TIME ?ZONE|\\SOFTWARE\\CLASSES\\(PAINT\.PICTURE|SOUNDREC)\\",
     "Windows 95's defaults the removal writes back: the fresh portable machine holds them "
     "already (also Wine's 32-bit mirror, Wow6432Node), a fresh Wine has its own"),
    (r"^HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\ZEPSETUP\\",
     "the installation's record of what it replaced: each side's own earlier values, in its "
     "own short names"),
    (r"^file Zepsetup\.exe$",
     "the setup program itself: an ELF program on Linux, a PE program on Windows"),
]


def explain(row):
    for pattern, why in EXPLAINED:
        if re.search(pattern, row, re.IGNORECASE):
            return why
    return None


def read_reg(path):
    raw = open(path, "rb").read()
    utf16 = raw.startswith(b"\xff\xfe")
    text = raw.decode("utf-16") if utf16 else raw.decode("cp1252")
    lines, joined = [], ""
    for line in text.splitlines():
        if joined:
            line = joined + line.strip()
            joined = ""
        if line.endswith("\\") and not line.lstrip().startswith("["):
            joined = line[:-1]
            continue
        lines.append(line)
    values, keys, key = {}, set(), None
    for line in lines:
        if line.startswith("[") and line.rstrip().endswith("]"):
            key = line.strip()[1:-1].upper()
            root, _, rest = key.partition("\\")
            root = ROOT_ALIASES.get(root, root)
            if root == "HKEY_USERS" and rest.startswith("S-1-5-21-"):
                # Wine keeps the current user's hive under the user's SID.
                root, _, rest = "HKEY_CURRENT_USER", _, rest.partition("\\")[2]
            key = root + ("\\" + rest if rest else "")
            if root not in KEPT_ROOTS:
                key = None
            elif rest:
                keys.add(key)
            continue
        if key is None or "=" not in line:
            continue
        if line.startswith("@="):
            name, data = "", line[2:]
        elif line.startswith('"'):
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if not m:
                continue
            name, data = re.sub(r"\\(.)", r"\1", m.group(1)), m.group(2)
        else:
            continue
        values[key + "\\" + (name.lower() or "@")] = decode_value(data, utf16)
    return values, keys


def decode_value(data, utf16):
    if data.startswith('"'):
        return ("REG_SZ", re.sub(r"\\(.)", r"\1", data[1:-1]))
    if data.startswith("dword:"):
        return ("REG_DWORD", str(int(data[6:], 16)))
    m = re.match(r"hex(?:\((\w+)\))?:(.*)$", data)
    if not m:
        return ("?", data)
    kind = int(m.group(1) or "3", 16)
    raw = bytes(int(b, 16) for b in m.group(2).replace(" ", "").split(",") if b)
    if kind in (2, 7):
        text = raw.decode("utf-16-le" if utf16 else "cp1252").rstrip("\0")
        return ("REG_EXPAND_SZ" if kind == 2 else "REG_MULTI_SZ", text.replace("\0", "|"))
    if kind == 1:
        return ("REG_SZ", raw.decode("utf-16-le" if utf16 else "cp1252").rstrip("\0"))
    if kind == 4:
        return ("REG_DWORD", str(int.from_bytes(raw, "little")))
    return ("hex(%x)" % kind, raw.hex())


class Side:
    def __init__(self, folder):
        self.folder = folder
        self.before, self.before_keys = read_reg(os.path.join(folder, "before.reg"))
        self.names = {}
        for name, (_, value) in self.before.items():
            if name.startswith(SHELL_FOLDERS + "\\") and re.match(r"^[A-Za-z]:\\", value):
                self.names[value] = "<" + name[len(SHELL_FOLDERS) + 1:] + ">"
        for name in ("programfilesdir",):
            v = self.before.get("HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\" + name)
            if v:
                self.names[v[1]] = "<programfiles>"
        self.names["C:\\WINDOWS\\SYSTEM32"] = "<system>"  # the NT family's system folder
        self.names["C:\\WINDOWS\\SYSTEM"] = "<system>"
        self.names["C:\\WINDOWS"] = "<windows>"
        self.before_norm = {self.norm(n): "= " + v[0] + " " + self.norm(v[1])
                            for n, v in self.before.items()}

    def given_back(self, row, change):
        """Whether the removal left the row as this side held it before the installation."""
        return change == self.before_norm.get(row) or (change == "deleted" and row not in self.before_norm)

    def norm(self, text):
        for long, tag in sorted(self.names.items(), key=lambda kv: -len(kv[0])):
            text = re.sub(re.escape(long), tag, text, flags=re.IGNORECASE)
        # 8.3 aliases: Windows 95 numbers them, Wine hashes the long name.
        text = re.sub(r"[^\\/\"=,;:<>\s|]*~[^\\/\"=,;:<>\s|]*", "<short>", text)
        return text.upper()

    def changes(self, phase):
        # "cycle": what the installation and the removal together left changed.
        after, keys = read_reg(os.path.join(self.folder, ("removed" if phase == "cycle" else phase) + ".reg"))
        base, base_keys = (self.before, self.before_keys) if phase in ("installed", "cycle") else \
            read_reg(os.path.join(self.folder, "installed.reg"))
        out = {}
        self.base = {self.norm(n): "= " + v[0] + " " + self.norm(v[1]) for n, v in base.items()}
        for name, value in after.items():
            if base.get(name) != value:
                out[self.norm(name)] = "= " + value[0] + " " + self.norm(value[1])
        for name in base:
            if name not in after:
                out[self.norm(name)] = "deleted"
        # Keys are not compared by themselves: which exist beforehand differs between a
        # fresh Windows 95 and a fresh Wine; the values in them are what the program wrote.
        return out

    def files(self, phase):
        folder = os.path.join(self.folder, phase, "program")
        rows = {}
        for dirpath, _, files in os.walk(folder):
            for f in files:
                p = os.path.join(dirpath, f)
                rel = os.path.relpath(p, folder)
                rows[rel.upper()] = hashlib.sha256(open(p, "rb").read()).hexdigest()[:16]
        return rows

    def links(self, phase):
        base = os.path.join(self.folder, phase, "lnk")
        before = set()
        for dirpath, _, files in os.walk(os.path.join(self.folder, "before", "lnk")):
            before |= {os.path.relpath(os.path.join(dirpath, f), os.path.join(self.folder, "before", "lnk")) for f in files}
        rows = {}
        for dirpath, _, files in os.walk(base):
            for f in files:
                rel = os.path.relpath(os.path.join(dirpath, f), base)
                if rel in before:
                    continue
                info = subprocess.run(["lnkinfo", os.path.join(dirpath, f)], capture_output=True,
                                      text=True, errors="replace").stdout
                m = re.search(r"Local path\s*: (.*)", info)
                name = "/".join(rel.split("/")[-2:])
                rows[name.upper()] = self.norm(m.group(1).strip() if m else "?")
        return rows

    def wininit(self, phase):
        path = os.path.join(self.folder, phase, "WININIT.INI")
        if not os.path.exists(path):
            return []
        return [self.norm(l) for l in open(path, encoding="cp1252").read().splitlines() if l.strip()]


def starting_state(a, b, portable_base):
    """A change on one side only that leaves both sides alike: the program wrote (or
    deleted) a Windows 95 default that the fresh portable machine already had (lacked)."""
    if a is None and b is not None and portable_base is not None:
        if b == portable_base.get(row_key[0]) or (b == "deleted" and row_key[0] not in portable_base):
            return ("the program writes Windows 95's value, which the fresh portable machine "
                    "already holds and a fresh Wine does not")
    return None


row_key = [None]


def given_back(a, b, sides):
    """Both sides hold again what each held before the installation: the removal gave back
    each machine's own value, and the two machines started out different."""
    if sides and sides[0].given_back(row_key[0], a) and sides[1].given_back(row_key[0], b):
        return "given back as each machine held it before the installation (the machines differ)"
    return None


def table(title, left, right, rows_out, portable_base=None, sides=None):
    same = diff = 0
    for row in sorted(set(left) | set(right)):
        a, b = left.get(row), right.get(row)
        if a == b:
            same += 1
            continue
        diff += 1
        row_key[0] = row
        why = explain(row) or explain("file " + row.split("\\")[-1]) or \
            given_back(a, b, sides) or starting_state(a, b, portable_base)
        rows_out.append((title, row, a, b, why))
    return same, diff


def main():
    out = sys.argv[1]
    p, w = Side(os.path.join(out, "portable")), Side(os.path.join(out, "wine"))
    failures = 0
    print("Transcripts and exit statuses")
    for run in ("install", "remove"):
        a = open(os.path.join(out, "portable", run + ".log"), encoding="utf-8").read()
        b = open(os.path.join(out, "wine", run + ".log"), encoding="utf-8", errors="replace").read()
        sa = open(os.path.join(out, "portable", run + ".status")).read().strip()
        sb = open(os.path.join(out, "wine", run + ".status")).read().strip()
        ok = a == b and sa == sb
        failures += not ok
        print("  %-8s %4d lines  exit %s / %s  %s" % (run, len(a.splitlines()), sa, sb,
                                                     "same" if ok else "DIFFERENT"))
    rows = []
    print("\n| what | phase | same | different |\n|---|---|---|---|")
    for phase in ("installed", "removed", "cycle"):
        pc, wc = p.changes(phase), w.changes(phase)
        s, d = table("registry " + phase, pc, wc, rows, p.base,
                     (p, w) if phase == "removed" else None)
        print("| %s | %s | %d | %d |" % ("registry", phase, s, d))
        if phase == "cycle":
            cycle = (pc, wc)
            continue
        for title, left, right in (
                ("program folder", p.files(phase), w.files(phase)),
                ("shortcuts", p.links(phase), w.links(phase)),
                ("WININIT.INI", {l: "line" for l in p.wininit(phase)},
                 {l: "line" for l in w.wininit(phase)})):
            s, d = table(title + " " + phase, left, right, rows)
            print("| %s | %s | %d | %d |" % (title, phase, s, d))
    # What a whole cycle left changed on each side: nothing of the machine's own, only what
    # the removal writes whatever the machine held (Windows 95's settings it takes back).
    print("\nLeft changed by the whole cycle (portable | Wine):")
    for row in sorted(set(cycle[0]) | set(cycle[1])):
        if not re.search(EXPLAINED[0][0], row, re.IGNORECASE):
            print("  %s\n      %s | %s" % (row, cycle[0].get(row, "-"), cycle[1].get(row, "-")))
    unexplained = [r for r in rows if not r[4]]
    print("\nDifferences (portable | Wine | why):")
    for title, row, a, b, why in rows:
        print("  [%s] %s\n      %s | %s\n      %s" % (title, row, a, b, why or "UNEXPLAINED"))
    print("\n%d differences, %d explained, %d unexplained" % (len(rows), len(rows) - len(unexplained),
                                                           len(unexplained)))
    return 1 if failures or unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
