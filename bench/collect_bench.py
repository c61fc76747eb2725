#!/usr/bin/env python3
"""Times marlowin-collect on a synthetic shoot against a floor and a coreutils script.

usage: python3 bench/collect_bench.py [--binary PATH] [--smoke] [options]   (see --help)

Every timed command runs on a fresh copy of the shoot and a fresh empty destination, under
/usr/bin/time (for its peak memory), and is followed by `sync` inside the timing. Every run is
checked: exit status 0, and the starting and destination trees (names and sizes) equal to the
ones the floor writes. bench/README.md says what each figure means.

Python 3 standard library, /usr/bin/time (Debian package time) and coreutils only.
`collect_bench.py floor-pass START DEST` is the floor itself, which the benchmark runs as a
process of its own.
"""

import argparse
import os
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
SHELL_PASS = os.path.join(HERE, "collect.sh")
DEFAULT_BINARY = os.path.join(REPO, "build", "linux", "cli", "marlowin-collect")
GNU_TIME = "/usr/bin/time"
DROP_CACHES = "/proc/sys/vm/drop_caches"
CLIP_FOLDER = "MP4 HIGH RES"
FOLDER = "folder"  # the "size" of a folder in a tree listing

KIB = 1024
MIB = 1024 * KIB
GIB = 1024 * MIB
BLOCK_SIZE = MIB  # a clip repeats one random block of this size, each repeat stamped apart

WARM = "warm"
COLD = "cold"
FLOOR = "floor: copy_file_range, one process"
COLLECT = "marlowin-collect (verified)"
NO_VERIFY = "marlowin-collect --no-verify"
SHELL = "coreutils script (bench/collect.sh)"
RERUN = "rerun over the collected shoot"
COLD_READ = "cold read of the final tree"


# The synthetic shoot.


@dataclass
class ShootSize:
    shots: int
    clips: int  # per shot
    clip_bytes: int

    def clip_count(self):
        return self.shots * self.clips

    def describe(self):
        return f"{self.shots:,} shots x {self.clips} clips x {format_bytes(self.clip_bytes)}"


def shot_name(index):
    return f"s{index:05d}_dawn_wide"


def make_shoot(root, size):
    clip_id = 0
    for shot in range(1, size.shots + 1):
        folder = os.path.join(root, shot_name(shot), CLIP_FOLDER)
        os.makedirs(folder)
        for clip in range(1, size.clips + 1):
            clip_id += 1
            write_clip(os.path.join(folder, f"v{clip:02d}.mp4"), size.clip_bytes, clip_id)


def write_clip(path, size, clip_id):
    """Incompressible and distinct per clip: a random block of its own, written over and over,
    each repeat starting with the clip's id and the repeat's index."""
    block = bytearray(os.urandom(min(size, BLOCK_SIZE)))
    with open(path, "wb") as out:
        for index, offset in enumerate(range(0, size, len(block))):
            struct.pack_into("<QQ", block, 0, clip_id, index)
            out.write(memoryview(block)[: size - offset])


# The final tree of one pass.


@dataclass
class PlannedClip:
    source: str  # relative to the starting folder
    renamed: str  # the source clip's name after the pass, relative to the starting folder
    copies: list  # the copies the final tree holds, relative to the destination folder


def plan_pass(start):
    """What one pass over a synthetic shoot leaves behind. It knows only the names that
    make_shoot gives: three-word shot folders with clips v01.mp4, v02.mp4, ..."""
    plan = []
    for shot in sorted(os.listdir(start)):
        first, second, last = shot.split("_")
        clip_folder = f"{shot}/{CLIP_FOLDER}"
        clips = sorted(os.listdir(os.path.join(start, clip_folder)))
        for clip in clips:
            number = clip[1:3]
            new_name = clip.replace(".mp4", "_hires.mp4")
            copies = [f"{first}_{second}_adl_{last}/video/{new_name}"]
            if number != "01" and clip != clips[-1]:  # the greatest clip's int copy goes again
                copies.append(f"{first}_{second}_int_{last}__m{number}/video/{new_name}")
            plan.append(PlannedClip(f"{clip_folder}/{clip}", f"{clip_folder}/{new_name}", copies))
    return plan


@dataclass
class Expected:
    start: dict  # relative path -> size (or FOLDER), of the starting folder after the pass
    dest: dict  # the same, of the destination folder
    bytes_written: int


def expected_trees(start):
    expected = Expected({}, {}, 0)
    for clip in plan_pass(start):
        size = os.path.getsize(os.path.join(start, clip.source))
        add_file(expected.start, clip.renamed, size)
        for copy in clip.copies:
            add_file(expected.dest, copy, size)
            expected.bytes_written += size
    return expected


def add_file(tree, path, size):
    tree[path] = size
    folder = os.path.dirname(path)
    while folder:
        tree[folder] = FOLDER
        folder = os.path.dirname(folder)


def list_tree(root):
    tree = {}
    for folder, folders, files in os.walk(root):
        relative = os.path.relpath(folder, root)
        for name in folders:
            tree[os.path.normpath(os.path.join(relative, name))] = FOLDER
        for name in files:
            path = os.path.join(folder, name)
            tree[os.path.normpath(os.path.join(relative, name))] = os.lstat(path).st_size
    return tree


def tree_difference(expected, actual):
    """An empty string when both trees hold the same names and sizes, else what differs."""
    missing = sorted(set(expected) - set(actual))
    extra = sorted(set(actual) - set(expected))
    resized = sorted(p for p in set(expected) & set(actual) if expected[p] != actual[p])
    problems = []
    for what, paths in (("missing", missing), ("unexpected", extra), ("of wrong size", resized)):
        if paths:
            problems.append(f"{len(paths)} {what} (first: {paths[0]})")
    return ", ".join(problems)


# The floor: the final tree's bytes written by one process, nothing more.


def floor_pass(start, dest):
    for clip in plan_pass(start):
        for copy in clip.copies:
            copy_file(os.path.join(start, clip.source), os.path.join(dest, copy))
        os.rename(os.path.join(start, clip.source), os.path.join(start, clip.renamed))


def copy_file(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(source, "rb") as inp, open(target, "wb") as out:
        while os.copy_file_range(inp.fileno(), out.fileno(), GIB) > 0:
            pass


# Running and timing.


@dataclass
class Run:
    seconds: float
    peak_kib: int = 0
    problem: str = ""  # empty when the run exited 0 and left the expected trees


@dataclass
class Command:
    label: str
    argv: list  # the starting and destination folders are appended


@dataclass
class Workspace:
    root: str
    start: str = ""
    dest: str = ""
    runs: int = 0

    def __post_init__(self):
        self.start = os.path.join(self.root, "start")
        self.dest = os.path.join(self.root, "dest")

    def next_log(self):
        self.runs += 1
        return os.path.join(self.root, f"run{self.runs:04d}.log")


def sync():
    subprocess.run(["sync"], check=True)


def drop_caches():
    sync()
    with open(DROP_CACHES, "w") as control:
        control.write("3\n")


def remove(path):
    if os.path.lexists(path):
        shutil.rmtree(path)


def prepare(ws, master, cold):
    """A fresh copy of the shoot and an empty destination, on disk, and out of the page cache
    when cold (outside the timing)."""
    remove(ws.start)
    remove(ws.dest)
    subprocess.run(["cp", "-a", master, ws.start], check=True)
    os.mkdir(ws.dest)
    if cold:
        drop_caches()
    else:
        sync()


def time_command(argv, log_path):
    """Runs argv under /usr/bin/time, then `sync`; returns (seconds, exit status, peak KiB)."""
    rss_path = log_path + ".rss"
    with open(log_path, "wb") as log:
        started = time.perf_counter()
        status = subprocess.run(
            [GNU_TIME, "-f", "%M", "-o", rss_path] + argv, stdout=log, stderr=subprocess.STDOUT
        ).returncode
        sync()
        seconds = time.perf_counter() - started
    return seconds, status, read_peak_kib(rss_path)


def read_peak_kib(rss_path):
    """The last line of /usr/bin/time's output (a failed command gets a line before it)."""
    with open(rss_path) as f:
        lines = f.read().split()
    return int(lines[-1]) if lines and lines[-1].isdigit() else 0


def last_line(path):
    with open(path, errors="replace") as f:
        lines = [line.strip() for line in f.read().replace("\r", "\n").splitlines() if line.strip()]
    return lines[-1] if lines else "no output"


def measure(ws, command, expected):
    log_path = ws.next_log()
    seconds, status, peak = time_command(command.argv + [ws.start, ws.dest], log_path)
    if status != 0:
        problem = f"exit status {status} ({last_line(log_path)})"
    else:
        problem = tree_difference(expected.start, list_tree(ws.start))
        problem = problem and "starting folder: " + problem
        if not problem:
            problem = tree_difference(expected.dest, list_tree(ws.dest))
            problem = problem and "destination: " + problem
    return Run(seconds, peak, problem)


def cold_read(folder):
    """Reads every file of folder from disk; returns the Run and the bytes read."""
    drop_caches()
    buffer = bytearray(8 * MIB)
    total = 0
    started = time.perf_counter()
    for parent, _, files in os.walk(folder):
        for name in files:
            with open(os.path.join(parent, name), "rb", buffering=0) as f:
                while (n := f.readinto(buffer)) > 0:
                    total += n
    return Run(time.perf_counter() - started), total


def record(results, key, run, progress, label):
    """Keeps the run under key and prints a line for it; progress tells the round and cache."""
    results.setdefault(key, []).append(run)
    verdict = "ok" if not run.problem else "FAILED: " + run.problem
    peak = f"  peak {format_bytes(run.peak_kib * KIB)}" if run.peak_kib else ""
    print(f"  {progress} {label:38} {run.seconds:8.2f} s{peak}  {verdict}", flush=True)


# The main shoot and the scale run.


def time_main_shoot(args, ws, commands, modes):
    """Rounds of every command in every cache mode; returns {(mode, label): [Run]}."""
    master = os.path.join(ws.root, "master")
    make_shoot(master, args.size)
    expected = expected_trees(master)
    results = {}
    for round_number in range(1, args.rounds + 1):
        for mode in modes:
            progress = f"round {round_number}/{args.rounds} {mode}"
            # Each round starts with the next command, so that no command always comes first
            # after the other mode (the first run after a change of mode is often different).
            shift = (round_number - 1) % len(commands)
            for command in commands[shift:] + commands[:shift]:
                prepare(ws, master, cold=(mode == COLD))
                run = measure(ws, command, expected)
                record(results, (mode, command.label), run, progress, command.label)
                if command.label == COLLECT:  # again over the same folders
                    if mode == COLD:
                        drop_caches()
                    run = measure(ws, command, expected)
                    record(results, (mode, RERUN), run, progress, RERUN)
        if COLD in modes:  # the destination the last command left, checked above
            run, total = cold_read(ws.dest)
            if total != expected.bytes_written:
                run.problem = f"read {total} bytes, expected {expected.bytes_written}"
            record(results, (COLD, COLD_READ), run, f"round {round_number}/{args.rounds} cold", COLD_READ)
    remove(master)
    return results, expected


def time_scale(args, ws, collect):
    """Rounds of marlowin-collect over shoots of many small clips; returns {shots: [Run]}."""
    sizes = [ShootSize(shots, args.scale_clips, args.scale_clip_bytes) for shots in args.scale]
    masters = {}
    for size in sizes:
        masters[size.shots] = os.path.join(ws.root, f"master-{size.shots}")
        make_shoot(masters[size.shots], size)
    expected = {shots: expected_trees(master) for shots, master in masters.items()}
    results = {}
    for round_number in range(1, args.scale_rounds + 1):
        progress = f"round {round_number}/{args.scale_rounds} {WARM}"
        for size in sizes:
            prepare(ws, masters[size.shots], cold=False)
            run = measure(ws, collect, expected[size.shots])
            record(results, size.shots, run, progress, f"scale: {size.shots:,} shots")
    for master in masters.values():
        remove(master)
    return results, sizes


# The machine.


def mount_of(path):
    """(device, mount point, file system type) of the mount that holds path."""
    best = ("?", "/", "?")
    with open("/proc/self/mounts") as mounts:
        for line in mounts:
            device, target, fstype = line.split()[:3]
            target = target.replace("\\040", " ")
            inside = path == target or path.startswith(target.rstrip("/") + "/")
            if inside and len(target) >= len(best[1]):
                best = (device, target, fstype)
    return best


def memory_total():
    with open("/proc/meminfo") as meminfo:
        for line in meminfo:
            if line.startswith("MemTotal:"):
                return int(line.split()[1]) * KIB
    return 0


def cold_cache_unavailable():
    """Why cold-cache runs cannot be made here, or an empty string when they can."""
    if os.geteuid() != 0:
        return "needs root"
    try:
        drop_caches()
    except OSError as error:
        return f"cannot write {DROP_CACHES}: {error.strerror}"
    return ""


def detect_options(binary):
    """(knows --no-verify, knows --quiet), read from the binary's --help."""
    result = subprocess.run([binary, "--help"], capture_output=True, text=True, errors="replace")
    text = result.stdout + result.stderr
    return "--no-verify" in text, "--quiet" in text


# Figures and the table.


def format_bytes(count):
    for unit, size in (("GiB", GIB), ("MiB", MIB), ("KiB", KIB)):
        if count >= size:
            return f"{count / size:.3g} {unit}"
    return f"{count} B"


def plural(count, noun):
    return f"{count:,} {noun}" + ("" if count == 1 else "s")


def median_seconds(runs):
    return statistics.median(run.seconds for run in runs)


def failure(runs):
    problems = [run.problem for run in runs if run.problem]
    return f"FAILED in {len(problems)} of {len(runs)} runs: {problems[0]}" if problems else ""


def seconds_cell(runs):
    text = f"{median_seconds(runs):.2f} s"
    if len(runs) > 1:
        text += f" ({min(r.seconds for r in runs):.2f}-{max(r.seconds for r in runs):.2f})"
    return text


def ratio_cell(runs, reference_runs, reference_name):
    """Median seconds and their ratio against the reference's median."""
    if failure(runs):
        return failure(runs)
    if failure(reference_runs):
        return f"not comparable: the {reference_name} failed"
    ratio = median_seconds(runs) / median_seconds(reference_runs)
    return f"{seconds_cell(runs)}, {ratio:.2f} x {reference_name}"


def peak_cell(runs):
    return format_bytes(max(run.peak_kib for run in runs) * KIB)


class Table:
    def __init__(self, columns):
        self.columns = columns
        self.rows = []

    def add(self, *cells):
        self.rows.append(list(cells) + [""] * (len(self.columns) - len(cells)))

    def markdown(self):
        lines = ["| " + " | ".join(self.columns) + " |", "|" + "---|" * len(self.columns)]
        for row in self.rows:
            lines.append("| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |")
        return "\n".join(lines)


def machine_rows(table, args, options):
    uname = os.uname()
    device, mount_point, fstype = mount_of(os.path.realpath(args.work))
    table.add("machine", f"Linux {uname.release} {uname.machine}, {os.cpu_count()} CPUs, "
              f"{format_bytes(memory_total())} RAM, load {args.load_at_start:.2f} at the start, "
              f"{os.getloadavg()[0]:.2f} at the end")
    table.add("file system", f"{fstype} on {device} (mounted at {mount_point}), work folder {args.work}")
    table.add("command", "`" + shlex.join(["python3"] + sys.argv) + "`")
    knows_no_verify, knows_quiet = options
    table.add("marlowin-collect", f"{args.binary} (--no-verify: {'yes' if knows_no_verify else 'no'}, "
              f"--quiet: {'yes' if knows_quiet else 'no'})")


def main_shoot_rows(table, args, results, expected, modes, not_run):
    size = args.size
    copies = sum(1 for size_ in expected.dest.values() if size_ != FOLDER)
    table.add("shoot", f"{size.describe()} = {format_bytes(size.clip_count() * size.clip_bytes)}; "
              f"final tree {copies} copies = {format_bytes(expected.bytes_written)}; "
              f"median (min-max) of {plural(args.rounds, 'round')}, each command followed by sync")

    def cells(make_cell, label):
        return [make_cell(mode, label) if mode in modes else not_run[mode] for mode in (WARM, COLD)]

    def against_floor(mode, label):
        runs = results.get((mode, label))
        if runs is None:
            return not_run[label]
        return ratio_cell(runs, results[(mode, FLOOR)], "floor")

    def floor_cell(mode, label):
        runs = results[(mode, label)]
        if failure(runs):
            return failure(runs)
        rate = expected.bytes_written / median_seconds(runs) / MIB
        return f"{seconds_cell(runs)}, {rate:.0f} MiB/s written"

    def rerun_cell(mode, label):
        return ratio_cell(results[(mode, label)], results[(mode, COLLECT)], "first pass")

    def verified_vs_bound(mode, label):
        reads = results.get((COLD, COLD_READ))
        if reads is None:
            return not_run[COLD]
        bound = median_seconds(results[(mode, FLOOR)]) + median_seconds(reads)
        if failure(results[(mode, COLLECT)]) or failure(results[(mode, FLOOR)]) or failure(reads):
            return "not comparable: a run failed"
        ratio = median_seconds(results[(mode, COLLECT)]) / bound
        return f"{ratio:.2f} x ({median_seconds(results[(mode, COLLECT)]):.2f} s against {bound:.2f} s)"

    def peaks(mode, label):
        names = {COLLECT: "verified", NO_VERIFY: "--no-verify", RERUN: "rerun"}
        return ", ".join(f"{short} {peak_cell(results[(mode, name)])}"
                         for name, short in names.items() if (mode, name) in results)

    table.add(FLOOR, *cells(floor_cell, FLOOR))
    for label in (COLLECT, NO_VERIFY, SHELL):
        table.add(label, *cells(against_floor, label))
    table.add(RERUN, *cells(rerun_cell, RERUN))
    reads = results.get((COLD, COLD_READ))
    if reads:
        rate = expected.bytes_written / median_seconds(reads) / MIB
        read_cell = failure(reads) or f"{seconds_cell(reads)}, {rate:.0f} MiB/s"
    else:
        read_cell = not_run[COLD]
    table.add(COLD_READ + " (dropped caches, then every file)", "-", read_cell)
    table.add("verified pass / (floor + one cold read)", *cells(verified_vs_bound, COLLECT))
    table.add("peak RSS of marlowin-collect", *cells(peaks, COLLECT))


def scale_rows(table, results, sizes):
    for size in sizes:
        runs = results[size.shots]
        if failure(runs):
            cell = failure(runs)
        else:
            per_clip = median_seconds(runs) / size.clip_count()
            cell = (f"{per_clip * 1e6:.0f} us per clip; {seconds_cell(runs)} for "
                    f"{size.clip_count():,} clips; peak RSS {peak_cell(runs)}")
        table.add(f"scale: marlowin-collect, {size.describe()}", cell, "not run (warm only)")
    if len(sizes) >= 2:
        small, large = sizes[0], sizes[-1]
        runs_small, runs_large = results[small.shots], results[large.shots]
        if failure(runs_small) or failure(runs_large):
            cell = "not comparable: a run failed"
        else:
            ratio = (median_seconds(runs_large) / large.clip_count()) / (
                median_seconds(runs_small) / small.clip_count())
            cell = f"{ratio:.2f} x"
        table.add(f"scale: per-clip time, {large.shots:,} / {small.shots:,} shots", cell,
                  "not run (warm only)")


# The command line.


def parse_size(text):
    """A byte count such as 40M, 4K, 1G or 512 (K, M and G are powers of 1024)."""
    units = {"K": KIB, "M": MIB, "G": GIB}
    text = text.strip().upper().removesuffix("IB").removesuffix("B")
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def parse_counts(text):
    return [int(part) for part in text.split(",") if part.strip()]


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Times marlowin-collect against a floor and a coreutils script (bench/README.md).")
    parser.add_argument("--binary", default=DEFAULT_BINARY,
                        help="the marlowin-collect to time (default: build/linux/cli/marlowin-collect)")
    parser.add_argument("--work", default="/var/tmp/marlowin-bench",
                        help="folder on the disk to measure (default: /var/tmp/marlowin-bench)")
    parser.add_argument("--allow-tmpfs", action="store_true", help="run even when --work is on tmpfs")
    parser.add_argument("--shots", type=int, default=8, help="shot folders (default 8)")
    parser.add_argument("--clips", type=int, default=6, help="clips per shot, at most 99 (default 6)")
    parser.add_argument("--clip-size", type=parse_size, default=40 * MIB, help="bytes per clip (default 40M)")
    parser.add_argument("--rounds", type=int, default=5, help="rounds of all commands (default 5)")
    parser.add_argument("--scale", type=parse_counts, default=[100, 10000],
                        help="shot counts of the scale run, comma-separated (default 100,10000)")
    parser.add_argument("--scale-rounds", type=int, default=3,
                        help="rounds of the scale run, which takes minutes per round at 10,000 shots (default 3)")
    parser.add_argument("--no-scale", action="store_true", help="leave out the scale run")
    parser.add_argument("--scale-clips", type=int, default=6, help="clips per shot of the scale run (default 6)")
    parser.add_argument("--scale-clip-size", type=parse_size, default=4 * KIB,
                        help="bytes per clip of the scale run (default 4K)")
    parser.add_argument("--smoke", action="store_true",
                        help="a check that the script works, in seconds: 2 shots x 4 clips x 256K, 1 round, "
                             "scale 5,50 shots (overrides the size options)")
    parser.add_argument("--keep", action="store_true", help="keep this run's work folder")
    args = parser.parse_args(argv)
    if args.smoke:
        args.shots, args.clips, args.clip_size, args.rounds = 2, 4, 256 * KIB, 1
        args.scale, args.scale_clips, args.scale_clip_size, args.scale_rounds = [5, 50], 6, 4 * KIB, 1
    if args.no_scale:
        args.scale = []
    for name in ("shots", "rounds", "scale_clips", "scale_rounds"):
        if getattr(args, name) < 1:
            parser.error(f"--{name.replace('_', '-')} must be at least 1")
    if not 1 <= args.clips <= 99 or not 1 <= args.scale_clips <= 99:
        parser.error("clips per shot must be from 1 to 99")
    if min([args.clip_size, args.scale_clip_size]) < 16:
        parser.error("clips must hold at least 16 bytes")
    args.size = ShootSize(args.shots, args.clips, args.clip_size)
    args.scale_clip_bytes = args.scale_clip_size
    args.load_at_start = os.getloadavg()[0]
    args.binary = os.path.abspath(args.binary)
    args.work = os.path.abspath(args.work)
    return args


def refuse(message):
    print(f"collect_bench: {message}", file=sys.stderr)
    return 2


def run_benchmark(args):
    if not os.access(GNU_TIME, os.X_OK):
        return refuse(f"{GNU_TIME} is missing (Debian package time; sh scripts/install-deps.sh)")
    if not os.access(args.binary, os.X_OK):
        return refuse(f"{args.binary} is not an executable (build it first)")
    os.makedirs(args.work, exist_ok=True)
    _, mount_point, fstype = mount_of(os.path.realpath(args.work))
    if fstype in ("tmpfs", "ramfs") and not args.allow_tmpfs:
        return refuse(f"{args.work} is on {fstype} (at {mount_point}), which is memory, not a disk: "
                      "choose --work on a real disk, or pass --allow-tmpfs")

    knows_no_verify, knows_quiet = detect_options(args.binary)
    quiet = ["--quiet"] if knows_quiet else []
    commands = [Command(FLOOR, [sys.executable, os.path.abspath(__file__), "floor-pass"]),
                Command(COLLECT, [args.binary] + quiet)]
    not_run = {}  # why a cache mode or a command was left out, by its name
    if knows_no_verify:
        commands.append(Command(NO_VERIFY, [args.binary, "--no-verify"] + quiet))
    else:
        not_run[NO_VERIFY] = "skipped: this marlowin-collect has no --no-verify"
        print("note: --no-verify is not in marlowin-collect --help: its runs are skipped")
    if not knows_quiet:
        print("note: --quiet is not in marlowin-collect --help: runs without it (output goes to a log)")
    commands.append(Command(SHELL, ["sh", SHELL_PASS]))

    modes = [WARM]
    why_not_cold = cold_cache_unavailable()
    if why_not_cold:
        not_run[COLD] = f"skipped ({why_not_cold})"
        print(f"cold cache: skipped ({why_not_cold})")
    else:
        modes.append(COLD)

    ws = Workspace(tempfile.mkdtemp(prefix="run-", dir=args.work))
    try:
        print(f"shoot: {args.size.describe()}, {plural(args.rounds, 'round')}, in {ws.root}", flush=True)
        results, expected = time_main_shoot(args, ws, commands, modes)
        scale_results, sizes = ({}, [])
        if args.scale:
            print(f"scale run: {', '.join(f'{n:,}' for n in args.scale)} shots "
                  f"x {args.scale_clips} clips x {format_bytes(args.scale_clip_bytes)}, "
                  f"{plural(args.scale_rounds, 'round')}", flush=True)
            scale_results, sizes = time_scale(args, ws, commands[1])
    finally:
        if args.keep:
            print(f"kept {ws.root}")
        else:
            remove(ws.root)

    table = Table(["figure", "warm cache", "cold cache"])
    machine_rows(table, args, (knows_no_verify, knows_quiet))
    main_shoot_rows(table, args, results, expected, modes, not_run)
    scale_rows(table, scale_results, sizes)
    print()
    print(table.markdown())
    all_runs = list(results.values()) + list(scale_results.values())
    return 1 if any(failure(runs) for runs in all_runs) else 0


def main(argv):
    if argv[:1] == ["floor-pass"] and len(argv) == 3:
        floor_pass(argv[1], argv[2])
        return 0
    return run_benchmark(parse_arguments(argv))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
