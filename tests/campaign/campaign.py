#!/usr/bin/env python3
"""The damage campaign: the demo installer, whole and split over disks,
spoiled in many ways, each mutant run under Wine in automatic mode.

Every run must end in one of the designed outcomes: a report of a corrupt
archive with its code, the decoder's report, the report of a missing
archive, of an empty disk, of memory, the "Insert Disk" box (answered with
Cancel and then Yes, which aborts), or an installation. No crash, no hang,
and nothing written outside what the header that the installer loaded
allows (its installation folder, shared folder, the Fonts folder and value,
its shortcut folders, the SharedDLLs values, its product keys and its
uninstall key), beyond what a bare Wine run writes anyway.

Flips in the program's own code are left out: no program can check its code
before that code runs. Flips in the rest of the image (its data, its
padding) are in, and meet the image's checksum.

    campaign.py --sea SEA --stub STUB --robot ROBOT --template DIR --work DIR
                --manifest DEMO.toml --programs DIR [--mutants N] [--seed S] [--sample N]

The table at the end gives each kind of damage with its outcomes. The exit
status is 1 when any run ended otherwise.
"""

import argparse
import collections
import concurrent.futures
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import run_scenarios  # noqa: E402  (the sandbox, the robot and the X server)

SANDBOX = run_scenarios.SANDBOX

# The robot's script: automatic mode, and whatever box comes is answered so
# that the run ends (Cancel then Yes for a missing disk, OK for a report).
SCRIPT = [
    "pass Installing...",
    'run "C:\\\\m\\\\setup.exe /a"',
    "expect", "press Cancel|OK|Yes",
    "expect", "press Yes|OK|Cancel",
    "expect", "press Yes|OK|Cancel",
]


# ---------------------------------------------------------------- mutants

class Installer:
    """A built installer: its files, and the offsets of its structure."""

    def __init__(self, folder, sea):
        self.folder = folder
        self.files = {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}
        exe = self.files["setup.exe"]
        self.archive = int.from_bytes(exe[-4:], "little")
        header_length = int.from_bytes(exe[self.archive + 4:self.archive + 8], "little")
        self.payload = self.archive + 12 + header_length
        # The image's code ends where its last section of code ends; what
        # follows (data, resources, padding) may be flipped.
        self.code_end = code_end(exe)


def code_end(exe):
    pe = int.from_bytes(exe[0x3C:0x40], "little")
    sections = int.from_bytes(exe[pe + 6:pe + 8], "little")
    optional = int.from_bytes(exe[pe + 20:pe + 22], "little")
    table = pe + 24 + optional
    end = 0
    for i in range(sections):
        entry = table + 40 * i
        raw_size = int.from_bytes(exe[entry + 16:entry + 20], "little")
        raw_start = int.from_bytes(exe[entry + 20:entry + 24], "little")
        characteristics = int.from_bytes(exe[entry + 36:entry + 40], "little")
        if characteristics & 0x20000000:  # executable
            end = max(end, raw_start + raw_size)
    return end


def flip(data, at, bit):
    data = bytearray(data)
    data[at] ^= 1 << bit
    return bytes(data)


def mutants(single, split, count, rng, sea):
    """(kind, name, files, damage place or None) for each mutant."""
    out = []

    def add(kind, name, base, changes=None, place=None):
        files = dict(base.files)
        files.update(changes or {})
        files = {k: v for k, v in files.items() if v is not None}
        out.append((kind, name, files, place))

    exe = single.files["setup.exe"]
    # Truncations at every boundary of the structure, and a byte either side.
    bounds = {single.archive, single.archive + 4, single.archive + 8, single.archive + 12, single.payload,
              len(exe) - 4, len(exe) - 1, len(exe) // 2, 64, single.code_end}
    for bound in sorted(bounds):
        for at in (bound - 1, bound, bound + 1):
            if 0 < at < len(exe):
                add("truncation", f"cut at {at}", single, {"setup.exe": exe[:at]})
    # Every damage place of the sea tool, on both installers (header fields
    # sealed again among them).
    places = subprocess.run([sea, "damage", "--list"], capture_output=True, text=True, check=True).stdout.split("\n")
    places = [line.split()[0] for line in places if line.strip()]
    for place in places:
        if place == "payload-byte":
            continue  # the demo's payload is compressed: same as the others, kept in
        add("header field" if place.startswith("field-") else "named place", place, single, place=place)
        add("header field" if place.startswith("field-") else "named place", place + " (split)", split, place=place)
    # Disks: missing, swapped, cut, empty, spoiled, grown.
    disks = sorted(name for name in split.files if name.startswith("Disk"))
    for disk in disks:
        add("disk", f"{disk} missing", split, {disk: None})
        add("disk", f"{disk} empty", split, {disk: b""})
        add("disk", f"{disk} cut in half", split, {disk: split.files[disk][:len(split.files[disk]) // 2]})
        add("disk", f"{disk} one byte longer", split, {disk: split.files[disk] + b"\0"})
    if len(disks) >= 2:
        add("disk", "disks swapped", split, {disks[0]: split.files[disks[1]], disks[1]: split.files[disks[0]]})
        add("disk", "first disk given twice", split, {disks[1]: split.files[disks[0]]})
    fixed = len(out)
    rest = max(0, count - fixed)
    for i in range(rest):
        choice = i % 10
        base = split if choice >= 8 else single
        target = "setup.exe"
        if choice == 9 and disks:
            target = rng.choice(disks)
        data = base.files[target]
        start = base.code_end if target == "setup.exe" else 0
        if choice < 5 or choice == 9:
            at = rng.randrange(start, len(data))
            bit = rng.randrange(8)
            add("bit flip" if target == "setup.exe" else "disk bit flip", f"{target} bit {bit} of byte {at}", base,
                {target: flip(data, at, bit)})
        elif choice < 8:
            at = rng.randrange(start, len(data))
            length = rng.choice([1, 2, 4, 8, 16, 64, 512])
            fill = rng.choice([b"\0", b"\xff", None])
            run = bytes(rng.randrange(256) for _ in range(length)) if fill is None else fill * length
            changed = data[:at] + run[:len(data) - at] + data[at + length:]
            add("byte run", f"{length} bytes at {at}", base, {target: changed})
        else:
            at = rng.randrange(start, len(data))
            bit = rng.randrange(8)
            add("bit flip (split)", f"bit {bit} of byte {at}", base, {target: flip(data, at, bit)})
    return out


# -------------------------------------------------------------- snapshots

def take_snapshot(prefix):
    entries = {}
    drive = os.path.join(prefix, "drive_c")
    for root, dirs, files in os.walk(drive):
        for name in dirs + files:
            path = os.path.join(root, name)
            windows = "C:\\" + os.path.relpath(path, drive).replace("/", "\\")
            if os.path.islink(path) or os.path.isdir(path):
                entries[windows.lower()] = "folder"
            else:
                status = os.stat(path)
                entries[windows.lower()] = f"{status.st_size} {int(status.st_mtime)}"
    for file, root in (("system.reg", "hklm"), ("user.reg", "hkcu")):
        key = None
        with open(os.path.join(prefix, file), encoding="latin-1") as text:
            for line in text:
                line = line.rstrip("\n")
                if line.startswith("["):
                    key = root + "\\" + line[1:line.rfind("]")].replace("\\\\", "\\").lower()
                    entries[key] = "key"
                elif key and (line.startswith('"') or line.startswith("@")):
                    name, _, data = line.partition("=")
                    entries[key + " > " + name.strip('"').replace("\\\\", "\\").lower()] = data
    return entries


def header_of(sea, path):
    """The fields of the header that sea info reads, or None."""
    result = subprocess.run([sea, "info", path], capture_output=True, text=True, encoding="latin-1")
    if result.returncode != 0:
        return None
    fields = {}
    for line in result.stdout.split("\n"):
        match = re.match(r"(\w[\w ]*?)\s{2,}(.*)", line)
        if match:
            value = match.group(2)
            if value.startswith('"'):
                value = value[1:-1].replace("\\\\", "\\").replace('\\"', '"')
            fields[match.group(1)] = value
    return fields


def allowed_places(header):
    """The entries (lower case) below which a run of this header may write."""
    if header is None:
        return []
    name = header.get("product name", "")
    publisher = header.get("publisher", "")
    menu = header.get("start menu folder", "")
    registry = header.get("product registry", "")
    user = "c:\\users\\root"
    start = user + "\\appdata\\roaming\\microsoft\\windows\\start menu\\programs"
    # The installer completes the default directory: empty, it is the
    # product's name; relative, it lies below Program Files.
    directory = header.get("default directory", "") or name
    if not re.match(r"^[a-zA-Z]:", directory):
        directory = ("c:" if directory.startswith("\\") else "c:\\program files\\") + directory
    places = [
        directory.lower(),
        ("c:\\program files\\common files\\" + publisher).rstrip("\\").lower(),
        "c:\\windows\\fonts",
        "hklm\\software\\microsoft\\windows nt\\currentversion\\fonts",
        user + "\\desktop",
        start + "\\startup",
        (start + "\\" + (menu if menu else (publisher + "\\" if publisher else "") + name)).lower(),
        "hklm\\software\\microsoft\\windows\\currentversion\\shareddlls",
        "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\" + name.lower(),
    ]
    if registry:
        places += ["hklm\\software\\" + registry.lower(), "hkcu\\software\\" + registry.lower()]
    return [p for p in places if p]


# Wine's own bookkeeping of devices, which it may redo at any start of a
# prefix's session (a display's or a network card's class key, its driver
# date): no installer writes there, and a bare run does not always show it.
WINE_HARDWARE = ("hklm\\system\\currentcontrolset\\control\\class\\",
                 "hklm\\system\\currentcontrolset\\enum\\",
                 "hklm\\software\\microsoft\\windows nt\\currentversion\\networkcards")


def stray_writes(before, after, noise, allowed):
    stray = []
    for entry in sorted(set(before) | set(after)):
        if before.get(entry) == after.get(entry) or entry in noise or entry.startswith(WINE_HARDWARE):
            continue
        path = entry.split(" > ")[0]
        if any(path == place or path.startswith(place + "\\") or place.startswith(path + "\\")
               for place in allowed):
            continue
        stray.append(entry)
    return stray


# ----------------------------------------------------------------- runs

def classify(transcript):
    windows = re.findall(r'^window "([^"]*)"\n((?:  .*\n)*)', transcript + "\n", re.M)
    errors = [line for line in transcript.split("\n") if line.startswith("error ")]
    exits = re.findall(r"^exit (\d+)", transcript, re.M)
    if any("timeout" in e for e in errors) and not windows:
        return "HANG"
    if exits and int(exits[-1]) >= 0xC0000000:
        return "CRASH (exit 0x%X)" % int(exits[-1])
    if not windows:
        return "installed, no box" if not any("timeout" in e for e in errors) else "HANG"
    title, body = windows[0]
    text = " ".join(re.findall(r'text "(.*)"', body))
    code = re.search(r"Error code: ?(\d+)", text)
    if title == "FATAL ERROR" and code:
        return f"corrupt archive, code {code.group(1)}"
    if "no installation archive" in text:
        return "no archive"
    if "Decompress" in text:
        return "decoder report"
    if re.search(r"The file .* is empty", text):
        return "empty disk"
    if title == "Insert Disk":
        return "Insert Disk, aborted"
    if re.fullmatch(r"\S+\.cpp \d+", text):
        return "internal check"  # the foundation's check, naming its source line
    if "memory" in text.lower():
        return "out of memory"
    return f'OTHER: "{title}" {text[:80]}'


DESIGNED = re.compile(r"^(corrupt archive, code \d+|no archive|decoder report|Insert Disk, aborted|out of memory|"
                      r"installed, no box|empty disk|internal check)")


def main():
    parser = argparse.ArgumentParser()
    for name in ("sea", "stub", "robot", "template", "work", "manifest", "programs"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--mutants", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=int, default=30)
    parser.add_argument("--jobs", type=int, default=6, help="prefixes run side by side")
    parser.add_argument("--disk-size", default="200KB")
    parser.add_argument("--only", help="run only the mutants whose name holds this text")
    parser.add_argument("--sample", type=int, default=0,
                        help="run every named place and header field of the whole installer, and mutants of "
                             "every kind up to this many in all (the test command's sample)")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    os.makedirs(args.work, exist_ok=True)
    work = tempfile.mkdtemp(dir=args.work)
    env = dict(os.environ, SEA_DEMO_PROGRAMS=args.programs)
    for name, extra in (("single", []), ("split", ["--disk-size", args.disk_size])):
        os.makedirs(os.path.join(work, name))
        subprocess.run([args.sea, "build", args.manifest, "-o", os.path.join(work, name, "setup.exe"),
                        "--stub", args.stub] + extra, env=env, check=True, stdout=subprocess.DEVNULL)
    single = Installer(os.path.join(work, "single"), args.sea)
    split = Installer(os.path.join(work, "split"), args.sea)
    cases = mutants(single, split, args.mutants, rng, args.sea)
    if args.only:
        cases = [case for case in cases if args.only in case[1]]
    if args.sample:
        # Every named place and header field of the whole installer, where
        # each check of the installer is met once, and then mutants taken
        # from every kind in turn.
        picked = [case for case in cases if case[0] in ("named place", "header field") and
                  not case[1].endswith("(split)")]
        kinds = collections.defaultdict(list)
        for case in cases:
            if case not in picked:
                kinds[case[0]].append(case)
        while len(picked) < args.sample and any(kinds.values()):
            for kind in sorted(kinds):
                if kinds[kind] and len(picked) < args.sample:
                    picked.append(kinds[kind].pop(rng.randrange(len(kinds[kind]))))
        cases = picked

    subprocess.run([SANDBOX, "template", args.template], check=True)
    server, display = run_scenarios.start_display()
    os.environ["DISPLAY"] = display
    robot_args = argparse.Namespace(timeout=args.timeout)
    bare = ['run "C:\\\\windows\\\\system32\\\\cmd.exe /c exit 0"']

    def fresh_prefix(prefix):
        subprocess.run([SANDBOX, "remove", prefix], check=False)
        subprocess.run([SANDBOX, "clone", args.template, prefix], check=True, stdout=subprocess.DEVNULL)
        tools = os.path.join(prefix, "drive_c", "sea-tools")
        os.makedirs(tools, exist_ok=True)
        shutil.copyfile(args.robot, os.path.join(tools, "robot.exe"))
        os.makedirs(os.path.join(prefix, "drive_c", "m"), exist_ok=True)
        run_scenarios.run_robot(prefix, bare, [], robot_args)
        subprocess.run([SANDBOX, "wait", prefix], check=False)

    table = collections.defaultdict(collections.Counter)
    failures = []
    lock = threading.Lock()
    pending = list(enumerate(cases, 1))

    def worker(prefix):
        """Runs mutants one after another in a prefix of its own; Wine's
        start-up mostly waits, so several workers share the cores well."""
        fresh_prefix(prefix)
        clean = take_snapshot(prefix)
        # What Wine writes by itself when a program starts, once the
        # prefix's first start is behind it.
        run_scenarios.run_robot(prefix, bare, [], robot_args)
        subprocess.run([SANDBOX, "wait", prefix], check=False)
        second = take_snapshot(prefix)
        noise = {e for e in set(clean) | set(second) if clean.get(e) != second.get(e)}
        while True:
            with lock:
                if not pending:
                    return
                number, (kind, name, files, place) = pending.pop(0)
            folder = os.path.join(prefix, "drive_c", "m")
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            for file, data in files.items():
                with open(os.path.join(folder, file), "wb") as out:
                    out.write(data)
            if place:
                subprocess.run([args.sea, "damage", os.path.join(folder, "setup.exe"), place],
                               check=False, capture_output=True)
            header = header_of(args.sea, os.path.join(folder, "setup.exe"))
            before = take_snapshot(prefix)
            transcript, _ = run_scenarios.run_robot(prefix, SCRIPT, [], robot_args)
            subprocess.run([SANDBOX, "wait", prefix], check=False)
            outcome = classify(transcript)
            after = take_snapshot(prefix)
            stray = [s for s in stray_writes(before, after, noise, allowed_places(header))
                     if not s.startswith("c:\\m\\")]
            if stray:
                outcome = "STRAY WRITE"
            with lock:
                table[kind][outcome] += 1
                if not DESIGNED.match(outcome):
                    failures.append((kind, name, outcome))
                    print(f"FAIL {kind}: {name}: {outcome}", flush=True)
                    for line in transcript.split("\n"):
                        print("    " + line)
                    for entry in stray[:10]:
                        print("    stray: " + entry)
                done = sum(sum(c.values()) for c in table.values())
                if done % 50 == 0:
                    print(f"{done} of {len(cases)} run", flush=True)
            # An installation changes the prefix: the next mutant gets a
            # fresh one.
            if after != before:
                fresh_prefix(prefix)

    prefixes = [os.path.join(work, f"prefix{i}") for i in range(min(args.jobs, len(cases)))]
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=len(prefixes)) as pool:
            for result in [pool.submit(worker, prefix) for prefix in prefixes]:
                result.result()
    finally:
        server.terminate()
        server.wait()
        for prefix in prefixes:
            subprocess.run([SANDBOX, "remove", prefix], check=False)
        shutil.rmtree(work, ignore_errors=True)

    outcomes = sorted({o for counts in table.values() for o in counts})
    width = max([len(k) for k in table] + [14])
    print()
    print(f"{len(cases)} mutants of the demo installer (whole, and over {len(split.files)} files)")
    for kind in sorted(table):
        print(f"{kind:<{width}}  " + ", ".join(f"{table[kind][o]} {o}" for o in outcomes if table[kind][o]))
    print(f"{len(failures)} ended outside the designed outcomes")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
