#!/usr/bin/env python3
"""Runs tables of robot scenarios under Wine and compares transcripts.

A table is a text file of scenarios. Each scenario starts with a line
"=== NAME"; its script (the robot's steps, see tools/robot/robot.cpp) runs up
to a line "---", and the expected transcript follows. Lines starting with "@"
in the script prepare the sandbox on the host side and are not given to the
robot:

    @stub C:\\PATH\\FILE.exe      put the installer stub there
    @program NAME C:\\PATH\\FILE.exe   put the test program NAME.exe there
    @file C:\\PATH\\FILE TEXT     write a file (TEXT in C notation, may be empty)
    @installer NAME C:\\PATH\\FILE.exe   put the prebuilt installer NAME there
                                  (NAME/setup.exe of --installers), with its
                                  disk files Disk2.SEA... beside it
    @damage C:\\PATH\\FILE.exe PLACE   spoil an installer there (sea damage)
    @move C:\\FROM C:\\TO           move a file
    @before COMMAND               before the run, a command of the inspector
                                  (set, setdword, mkdir, touch)
    @after COMMAND                once the robot is done, run a command of the
                                  inspector (tools/inspect/inspect.cpp) in the
                                  sandbox; its findings join the transcript
    @then                         what follows is a further run in the same
                                  prefix, with its own robot script,
                                  preparations and inspections, once the
                                  inspections before it are done; its
                                  transcript follows the one before

The robot step "env SEA_FAULTS=RULES" makes the programs that the script
starts later fail the system calls that RULES name, when they are the
fault-test stub (installers NAME-faults of --installers are built on it; the
rules are described in platform/faults.cpp). The variable does not reach the
runs after "@then" unless their script sets it again.

A preparation that follows an "expect" step runs while the program runs:
as soon as the robot has recorded the window of every "expect" before it
(a "sleep" step after it gives the host the time it needs). This is how a
scenario supplies a file that the program asks for.

Rows. Cases that differ only in a few words are one template and a table,
so that a case is one line. Lines starting with "|" in a scenario's script
are its table: the first names the columns, each further one is a row.

    === {what} is code {code}
    | what                       | place            | code |
    | a wrong magic              | magic            | 20   |
    | a header length of 0       | header-length    | 22   |
    @installer small C:\\demo\\setup.exe
    @damage C:\\demo\\setup.exe {place}
    ...
    ---
    ...
      text "${CORRUPT} {code}"

Each row is a scenario of its own: "{COLUMN}" in the name, the script and
the expected transcript stands for that row's cell, with its blanks around
it trimmed (a cell may be empty; it cannot hold "|"). Every row needs a cell
for each column, every "{COLUMN}" must name a column, and the names that the
rows give must differ. A failing row is reported with its own line.

Before the first scenario a table may set values with "@set NAME TEXT"; the
expected transcripts use them as ${NAME}, cells included, and so may the
values set after it. Every scenario
runs in a pristine copy of the template prefix, and one private X server
serves the whole run.

A scenario passes only when its first run gives the expected transcript:
nothing is tried again. The robot waits for each window and for the end of
the program up to --timeout seconds; a time-out, an early end or an
unexpected window is an "error" line of the transcript, which names what was
awaited and is printed with the failure.
"""

import argparse
import concurrent.futures
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
SANDBOX = os.path.join(HERE, "..", "..", "tools", "wine-sandbox")


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1").decode("latin-1")


class Scenario:
    def __init__(self, name, script, expected, source):
        self.name = name
        self.script = script
        self.expected = expected
        self.source = source


# Values that every table may use, known only when the run starts.
STUB_VALUES = {}


PLACEHOLDER = re.compile(r"(?<!\$)\{(\w+)\}")


def cells_of(line):
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


def expand_rows(template, table):
    """The scenarios of one template: one for each row of its table, or the
    template itself when it has none."""
    if not table:
        return [template]
    (header_source, header), rows = table[0], table[1:]
    columns = cells_of(header)
    if not rows:
        raise SystemExit(f"{header_source}: a table without rows")
    for line in [template.name] + template.script + template.expected:
        for name in PLACEHOLDER.findall(line):
            if name not in columns:
                raise SystemExit(f"{template.source}: {{{name}}} names no column of the table")
    scenarios = []
    for source, line in rows:
        cells = cells_of(line)
        if len(cells) != len(columns):
            raise SystemExit(f"{source}: {len(cells)} cells for {len(columns)} columns")
        row = dict(zip(columns, cells))
        fill = lambda text: PLACEHOLDER.sub(lambda m: row[m.group(1)], text)
        scenarios.append(Scenario(fill(template.name), [fill(l) for l in template.script],
                                  [fill(l) for l in template.expected], source))
    return scenarios


def set_values(text, values, source):
    try:
        return re.sub(r"\$\{(\w+)\}", lambda m: values[m.group(1)], text)
    except KeyError as error:
        raise SystemExit(f"{source}: no @set for {error}")


def parse_table(path):
    values = dict(STUB_VALUES)
    templates = []  # (scenario, its table lines)
    current = None
    in_expected = False
    with open(path, encoding="latin-1") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if line.startswith("=== "):
                current = Scenario(line[4:].strip(), [], [], f"{path}:{number}")
                templates.append((current, []))
                in_expected = False
            elif current is None:
                match = re.match(r"@set (\w+) (.*)$", line)
                if match:
                    values[match.group(1)] = set_values(match.group(2), values, f"{path}:{number}")
                elif line.strip() and not line.startswith("#"):
                    raise SystemExit(f"{path}:{number}: text before the first scenario")
            elif line == "---" and not in_expected:
                in_expected = True
            elif in_expected:
                current.expected.append(line)
            elif line.startswith("|"):
                templates[-1][1].append((f"{path}:{number}", line))
            else:
                current.script.append(line)
    scenarios = [s for template, rows in templates for s in expand_rows(template, rows)]
    names = set()
    for scenario in scenarios:
        if scenario.name in names:
            raise SystemExit(f"{scenario.source}: a second scenario named \"{scenario.name}\"")
        names.add(scenario.name)
        scenario.script = [set_values(line, values, scenario.source) if line.startswith("@") else line
                           for line in scenario.script]
        scenario.expected = set_values("\n".join(scenario.expected).strip("\n"), values, scenario.source)
    return scenarios


def windows_to_host(prefix, windows_path):
    drive, _, rest = windows_path.partition(":")
    if drive.lower() != "c":
        raise ValueError(f"only drive C: is in the sandbox: {windows_path}")
    parts = [p for p in rest.split("\\") if p]
    return os.path.join(prefix, "drive_c", *parts)


def prepare(prefix, line, args):
    verb, _, rest = line[1:].partition(" ")
    if verb == "stub":
        target = windows_to_host(prefix, rest.strip())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(args.stub, target)
    elif verb == "program":
        name, _, path = rest.strip().partition(" ")
        target = windows_to_host(prefix, path.strip())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(args.programs, name + ".exe"), target)
    elif verb == "file":
        path, _, text = rest.strip().partition(" ")
        target = windows_to_host(prefix, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(unescape(text).encode("latin-1"))
    elif verb == "installer":
        name, _, path = rest.strip().partition(" ")
        if not args.installers:
            raise ValueError("@installer needs --installers")
        target = windows_to_host(prefix, path.strip())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        source = os.path.join(args.installers, name)
        shutil.copyfile(os.path.join(source, "setup.exe"), target)
        for disk in sorted(os.listdir(source)):
            if re.fullmatch(r"Disk\d+\.SEA", disk):
                shutil.copyfile(os.path.join(source, disk), os.path.join(os.path.dirname(target), disk))
    elif verb == "damage":
        path, _, place = rest.strip().rpartition(" ")
        if not args.sea:
            raise ValueError("@damage needs --sea")
        subprocess.run([args.sea, "damage", windows_to_host(prefix, path), place], check=True)
    elif verb == "move":
        source, _, target = rest.strip().partition(" ")
        target = windows_to_host(prefix, target.strip())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.move(windows_to_host(prefix, source), target)
    else:
        raise ValueError(f"unknown preparation: {line}")


def run_robot(prefix, steps, during, args):
    """Runs the robot on the steps and reads its transcript as it comes, so
    that the preparations in `during` run once their windows are recorded."""
    robot = subprocess.Popen(
        [SANDBOX, "run", prefix, "C:\\sea-tools\\robot.exe", "--timeout", str(args.timeout)],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, encoding="latin-1")
    robot.stdin.write("\n".join(steps) + "\n")
    robot.stdin.close()
    errors = []
    drain = threading.Thread(target=lambda: errors.append(robot.stderr.read()))
    drain.start()
    lines = []

    def read():
        windows = 0
        pending = list(during)
        for line in robot.stdout:
            lines.append(line)
            windows += line.startswith("window ")
            while pending and pending[0][0] <= windows:
                line = pending.pop(0)[1]
                try:
                    prepare(prefix, line, args)
                except Exception as error:  # shows in the transcript, which then differs
                    lines.append(f"error in {line}: {error}\n")

    reader = threading.Thread(target=read)
    reader.start()
    # The robot ends itself when a step times out; this limit is only for a
    # robot (or Wine) that hangs, and it says so in the transcript.
    limit = args.timeout * (len(steps) + 2) + 60
    try:
        robot.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        robot.kill()
        robot.wait()
        lines.append(f"error the robot did not end within {limit} s; it was given {len(steps)} steps\n")
    reader.join()
    drain.join()
    return "".join(lines).replace("\r\n", "\n").strip("\n"), "".join(errors)


def mask_today(transcript):
    """Dates of today (the time of the run: a log's date, a shortcut's, the
    test stub's) read as <now>, so that transcripts do not depend on when
    they were made."""
    import datetime
    days = {datetime.date.today(), datetime.date.today() - datetime.timedelta(days=1)}

    def us(match):
        month, day, year = (int(match.group(i)) for i in (1, 2, 3))
        return "<now>" if (year, month, day) in {(d.year, d.month, d.day) for d in days} else match.group(0)

    def iso(match):
        year, month, day = (int(match.group(i)) for i in (1, 2, 3))
        return "<now>" if (year, month, day) in {(d.year, d.month, d.day) for d in days} else match.group(0)

    transcript = re.sub(r"\b(\d{1,2})/(\d{1,2})/(\d{4}) \d{1,2}:\d\d:\d\d[ap]", us, transcript)
    transcript = re.sub(r"\b(\d{4})-(\d\d)-(\d\d) \d\d:\d\d:\d\d", iso, transcript)
    # A log written today holds the clock's text, whose length changes with
    # the date and the hour (9:05 against 10:05), so its size reads <size>;
    # scenarios that care read the log's text back.
    return re.sub(r"(\bfile \S+\.LOG )\d+( bytes <now>)", r"\1<size>\2", transcript)


def inspect(prefix, commands, args):
    """Reads back files, keys and shortcuts in the sandbox once the run is
    over, through the inspector running in it."""
    shutil.copyfile(args.inspect, os.path.join(prefix, "drive_c", "sea-tools", "inspect.exe"))
    subprocess.run([SANDBOX, "wait", prefix], check=False)
    result = subprocess.run([SANDBOX, "run", prefix, "C:\\sea-tools\\inspect.exe"],
                            input="\n".join(commands) + "\n", capture_output=True, text=True,
                            encoding="latin-1", timeout=120)
    return result.stdout.replace("\r\n", "\n").strip("\n")


def run_segment(prefix, script, args):
    """One robot run with its preparations and inspections; its transcript,
    the inspector's findings included, and the robot's errors."""
    steps = []
    during = []  # (windows recorded before it runs, preparation)
    before = []  # inspector commands
    after = []
    expects = 0
    for line in script:
        if line.startswith("@before "):
            before.append(line[len("@before "):])
        elif line.startswith("@after "):
            after.append(line[len("@after "):])
        elif line.startswith("@") and expects:
            during.append((expects, line))
        elif line.startswith("@"):
            prepare(prefix, line, args)
        else:
            steps.append(line)
            expects += line.strip() == "expect"
    if before:
        found = inspect(prefix, before, args)
        if "  failed" in found or "  unknown command" in found:
            return f"error in the preparation:\n{found}", ""
    transcript, errors = run_robot(prefix, steps, during, args)
    if after:
        transcript += "\n" + inspect(prefix, after, args)
    return transcript, errors


def run_scenario(scenario, args, work):
    # Rows of one template share the start of their names: the folder's
    # random part keeps their prefixes apart.
    prefix = os.path.join(tempfile.mkdtemp(dir=work, prefix=re.sub(r"[^\w]+", "-", scenario.name)[:40] + "-"),
                          "prefix")
    subprocess.run([SANDBOX, "clone", args.template, prefix], check=True)
    try:
        tools = os.path.join(prefix, "drive_c", "sea-tools")
        os.makedirs(tools, exist_ok=True)
        shutil.copyfile(args.robot, os.path.join(tools, "robot.exe"))
        # "@then" starts a further robot run in the same prefix, after the
        # inspections of the one before: a run that meets a fault, then the
        # run that finds the fault gone.
        segments = [[]]
        for line in scenario.script:
            if line.strip() == "@then":
                segments.append([])
            else:
                segments[-1].append(line)
        transcripts, all_errors = [], []
        for segment in segments:
            transcript, errors = run_segment(prefix, segment, args)
            transcripts.append(transcript)
            all_errors.append(errors)
            if transcript.startswith("error in the preparation"):
                break
        return mask_today("\n".join(transcripts)), "".join(all_errors)
    finally:
        subprocess.run([SANDBOX, "remove", prefix], check=False)


def start_display():
    """A private X server for the whole run; its display number comes back
    through a pipe, so parallel runs never race for one."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise SystemExit("Xvfb did not start")
    return server, ":" + number


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--template", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--robot", required=True)
    parser.add_argument("--inspect", help="the inspector (default: beside the robot's folder)")
    parser.add_argument("--programs", help="folder of the test programs")
    parser.add_argument("--installers", help="folder of prebuilt installers, one folder NAME each")
    parser.add_argument("--sea", help="the sea tool, for @damage")
    parser.add_argument("--timeout", type=int, default=60,
                        help="seconds the robot waits for a window or for the end of the program")
    # A run spends most of its time waiting on Wine (its start-up, the
    # server's linger, windows withdrawn), so several prefixes share two
    # cores; with six, Wine once failed to start a program (error 1359).
    parser.add_argument("--jobs", type=int, default=4, help="prefixes run side by side")
    parser.add_argument("--only", help="run the scenarios whose name holds this text")
    parser.add_argument("--show", action="store_true", help="print every transcript")
    parser.add_argument("tables", nargs="+")
    args = parser.parse_args()
    if not args.inspect:
        args.inspect = os.path.join(os.path.dirname(os.path.dirname(args.robot)), "inspect", "inspect.exe")

    # The installer's own size, which its uninstaller copy shows.
    STUB_VALUES["STUB_SIZE"] = str(os.path.getsize(args.stub))
    # The demo's programs, whose sizes are those of the stub's tree (i686 or
    # x86-64).
    for program in ("hello", "clock"):
        path = os.path.join(os.path.dirname(os.path.dirname(args.stub)), "examples", "demo", program + ".exe")
        if os.path.exists(path):
            STUB_VALUES[program.upper() + "_SIZE"] = str(os.path.getsize(path))
    # And that of the fault-test stub beside it, which NAME-faults carry.
    faults_stub = os.path.join(os.path.dirname(args.stub), "sea-stub-faults.exe")
    if os.path.exists(faults_stub):
        STUB_VALUES["FAULTS_STUB_SIZE"] = str(os.path.getsize(faults_stub))
    scenarios = [s for table in args.tables for s in parse_table(table)]
    if args.only:
        scenarios = [s for s in scenarios if args.only in s.name]
    subprocess.run([SANDBOX, "template", args.template], check=True)
    os.makedirs(args.work, exist_ok=True)
    work = tempfile.mkdtemp(dir=args.work)
    server, display = start_display()
    os.environ["DISPLAY"] = display
    lock = threading.Lock()
    failures = []

    def one(scenario):
        try:
            actual, errors = run_scenario(scenario, args, work)
        except Exception as error:  # a broken scenario counts as a failure
            actual, errors = f"error {error}", ""
        with lock:
            if args.show:
                print(f"--- {scenario.name}")
                print("    " + actual.replace("\n", "\n    "))
            if actual == scenario.expected:
                print(f"PASS {scenario.name}", flush=True)
                return
            failures.append(scenario.name)
            # What the robot awaited when it gave up comes first, not only
            # somewhere in the difference.
            awaited = [line for line in actual.split("\n") if line.startswith("error ")]
            print(f"FAIL {scenario.name} ({scenario.source})" + (f": {awaited[-1]}" if awaited else ""))
            for line in difflib.unified_diff(scenario.expected.split("\n"), actual.split("\n"),
                                             "expected", "actual", lineterm=""):
                print("    " + line)
            if errors.strip():
                print("    stderr: " + errors.strip().replace("\n", "\n    stderr: "))
            sys.stdout.flush()

    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            list(pool.map(one, scenarios))
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(work, ignore_errors=True)
    passed = len(scenarios) - len(failures)
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures or not scenarios else 0


if __name__ == "__main__":
    sys.exit(main())
