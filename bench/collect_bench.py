#!/usr/bin/env python3
"""Times marlowin-collect on a synthetic shoot against two floors and a coreutils script.

usage: python3 bench/collect_bench.py [--binary PATH] [--smoke] [--sshfs] [options]   (see --help)

Every timed command runs on a fresh copy of the shoot and a fresh empty destination, under
/usr/bin/time (for its peak memory), and is followed by `sync` inside the timing. Every run is
checked: exit status 0, and the starting and destination trees (names and sizes) equal to the
ones the floor writes, with marlowin-collect's history folder where it keeps one.
bench/README.md says what each figure means.

Python 3 standard library, /usr/bin/time (Debian package time), coreutils, xxhsum (xxhash) for
the check figures, and sshfs and openssh-server for --sshfs.
"""

import argparse
import contextlib
import mmap
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

from figures import (CARD_FLOOR, CARD_PASS, CARD_PASS_BACKUP, CARD_PASS_BACKUP_FREE, CARD_PASS_FREE,
                     CHECK, COLD, COLLECT, FLOOR, NO_HISTORY, NO_VERIFY, PLAIN_NO_HISTORY, PLAN, RERUN,
                     SCALE, SHELL, VERIFY_FLOOR, WARM, XXHSUM, Figures, Run, Table, describe, failure,
                     format_bytes, plural)
from card_reader import CardError, CardRig
from card_reader import missing_tools as missing_card_tools
from network_drive import DriveError, NetworkDrive, missing_tools
from shoot import (GIB, HISTORY, HISTORY_ABSENT, HISTORY_EITHER, HISTORY_EXPECTED, KIB, MIB, ShootSize,
                   expected_trees, history_problem, list_tree, make_shoot, plan_pass, tree_difference,
                   trees_problem, unchanged_trees)

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
SHELL_PASS = os.path.join(HERE, "collect.sh")
FLOORS = os.path.join(HERE, "floors.py")
DEFAULT_BINARY = os.path.join(REPO, "build", "linux", "cli", "marlowin-collect")
GNU_TIME = "/usr/bin/time"
DROP_CACHES = "/proc/sys/vm/drop_caches"


# What the binary knows.


@dataclass
class Options:
    no_verify: bool
    quiet: bool
    no_history: bool
    check: bool
    dry_run: str  # "-n" or "--dry-run" when known, else ""
    history: bool  # the binary keeps a history (ascmhl/) in the destination

    def describe(self):
        known = {"--no-verify": self.no_verify, "--quiet": self.quiet, "--no-history": self.no_history,
                 "--check": self.check, "-n": bool(self.dry_run)}
        return ", ".join(f"{name}: {'yes' if yes else 'no'}" for name, yes in known.items()) + (
            f"; history {'expected' if self.history else 'not expected'}")


def detect_options(binary):
    """What the binary's --help names (as whole options, not as parts of longer ones)."""
    result = subprocess.run([binary, "--help"], capture_output=True, text=True, errors="replace")
    text = result.stdout + result.stderr

    def knows(option):
        return re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", text) is not None

    no_history = knows("--no-history")
    dry_run = "-n" if knows("-n") else ("--dry-run" if knows("--dry-run") else "")
    return Options(knows("--no-verify"), knows("--quiet"), no_history, knows("--check"), dry_run,
                   history=no_history or "ascmhl" in text)


# Running and timing.


@dataclass
class Command:
    label: str
    argv: list  # the starting and destination folders are appended, then after
    history: str = HISTORY_ABSENT  # what the run must leave of the history folder
    after: tuple = ()


@dataclass
class Workspace:
    root: str
    dest_parent: str = ""  # where the destination lives: root, or a network drive
    start: str = ""
    dest: str = ""
    runs: int = 0
    touch_bytes: int = 0  # memory to fault in before each timed command (touch_memory)

    def __post_init__(self):
        self.start = os.path.join(self.root, "start")
        self.dest = os.path.join(self.dest_parent or self.root, "dest")

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


def meminfo(field):
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * KIB
    return 0


def touch_memory(size):
    """Faults in up to `size` bytes of memory and frees them again, outside the timing.

    A virtual machine that hands its free memory back to the host (free page reporting, as
    Firecracker's guests do) pays a fault in the host for every page it takes again: on the
    development machine a command that started after 8 idle seconds took twice as long as one
    that started at once, the floor as much as any. Memory touched just before a command is
    backed again when the command takes it for its page cache, as a real machine's always is.
    Only free memory is touched (with a margin), so the page cache of a warm run stays."""
    size = min(size, meminfo("MemFree") - max(GIB, memory_total() // 20))
    if size < 64 * MIB:
        return
    with mmap.mmap(-1, size, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS | mmap.MAP_POPULATE):
        pass


def time_command(argv, log_path, quiet_stdout=False, touch_bytes=0, preexec=None):
    """Runs argv under /usr/bin/time, then `sync`; returns (seconds, exit status, peak KiB,
    bytes written). Its output goes to the log (stdout to /dev/null when quiet_stdout). First
    touches touch_bytes of memory (touch_memory). preexec runs in the child before /usr/bin/time
    starts (the card mode puts it into the throttled cgroup there)."""
    rss_path = log_path + ".rss"
    with open(log_path, "wb") as log:
        stdout, stderr = (subprocess.DEVNULL, log) if quiet_stdout else (log, subprocess.STDOUT)
        touch_memory(touch_bytes)
        started = time.perf_counter()
        # %O: the blocks of 512 bytes the command wrote (the kernel's count, copy_file_range's included)
        status = subprocess.run([GNU_TIME, "-f", "%M %O", "-o", rss_path] + argv,
                                stdout=stdout, stderr=stderr, preexec_fn=preexec).returncode
        sync()
        seconds = time.perf_counter() - started
    return (seconds, status) + read_peak_and_written(rss_path)


def read_peak_and_written(rss_path):
    """Peak KiB and bytes written from the last line of /usr/bin/time's output (a failed command
    gets a line before it)."""
    with open(rss_path) as f:
        lines = f.read().splitlines()
    words = lines[-1].split() if lines else []
    if len(words) != 2 or not all(word.isdigit() for word in words):
        return 0, 0
    return int(words[0]), int(words[1]) * 512


def log_lines(path):
    with open(path, errors="replace") as f:
        return [line.strip() for line in f.read().replace("\r", "\n").splitlines() if line.strip()]


def hash_lines(lines):
    """The lines that give a file's hash as xxhsum -H2 prints it (its progress on stderr is none)."""
    return sum(1 for line in lines if re.match(r"[0-9a-f]{32}  ", line))


def run_checked(ws, argv, expected, history, quiet_stdout=False, output_lines=None):
    """Times argv; the Run carries what was wrong: its exit status, the trees it left, or
    (output_lines) another count of lines than it should print."""
    log_path = ws.next_log()
    seconds, status, peak, written = time_command(argv, log_path, quiet_stdout, ws.touch_bytes)
    lines = log_lines(log_path)
    if status != 0:
        problem = f"exit status {status} ({lines[-1] if lines else 'no output'})"
    elif output_lines is not None and hash_lines(lines) != output_lines:
        problem = f"printed {hash_lines(lines)} hash lines, expected {output_lines}"
    else:
        problem = trees_problem(ws.start, ws.dest, expected, history)
    return Run(seconds, peak, problem, written)


def measure(ws, command, expected):
    return run_checked(ws, command.argv + [ws.start, ws.dest] + list(command.after), expected,
                       command.history)


def record(results, key, run, progress, label):
    """Keeps the run under key and prints a line for it; progress tells the round and cache."""
    results.setdefault(key, []).append(run)
    verdict = "ok" if not run.problem else "FAILED: " + run.problem
    peak = f"  peak {format_bytes(run.peak_kib * KIB)}" if run.peak_kib else ""
    print(f"  {progress} {label:50} {run.seconds:8.2f} s{peak}  {verdict}", flush=True)


def taking_turns(items, round_number):
    """Each round starts with the next item, so that none always comes first (the first run
    after a change of cache mode is often different)."""
    shift = (round_number - 1) % len(items)
    return items[shift:] + items[:shift]


def round_order(items, round_number, seed):
    """The main shoot's commands in an order of their own each round, drawn from the seed (so a
    run can be repeated): none always comes first, and none always follows the same command.
    On the virtual disk measured, what ran just before moved the next command's time by a tenth
    or more, and a fixed rotation kept every command behind the same neighbour."""
    order = list(items)
    random.Random(f"{seed}/{round_number}").shuffle(order)
    return order


# The main shoot, the check of a collected destination, the scale run.


def time_main_shoot(args, ws, master, expected, commands, modes, results):
    """Rounds of every command in every cache mode, into results[(mode, label)]."""
    for round_number in range(1, args.rounds + 1):
        for mode in modes:
            progress = f"round {round_number}/{args.rounds} {mode}"
            for command in round_order(commands, round_number, args.seed):
                prepare(ws, master, cold=(mode == COLD))
                record(results, (mode, command.label), measure(ws, command, expected), progress, command.label)
                if command.label == COLLECT:  # again over the same folders
                    if mode == COLD:
                        drop_caches()
                    record(results, (mode, RERUN), measure(ws, command, expected), progress, RERUN)


def time_check(args, ws, master, expected, collect, options, results):
    """marlowin-collect --check of a collected destination against xxhsum -H2 over its copies,
    taking turns, each with a cold cache, into results[(COLD, CHECK or XXHSUM)]."""
    prepare(ws, master, cold=False)
    run = measure(ws, collect, expected)
    if run.problem:
        run.problem = "collecting the destination to check: " + run.problem
        results[(COLD, CHECK)] = [run]
        return
    history = HISTORY_EXPECTED if options.history else HISTORY_EITHER
    copies = [os.path.join(ws.dest, copy) for copy in expected.copies()]
    quiet = ["--quiet"] if options.quiet else []
    runs = [(CHECK, [args.binary] + quiet + ["--check", ws.dest], None),
            (XXHSUM, ["xxhsum", "-H2"] + copies, len(copies))]
    for round_number in range(1, args.rounds + 1):
        for label, argv, output_lines in taking_turns(runs, round_number):
            drop_caches()
            run = run_checked(ws, argv, expected, history, output_lines=output_lines)
            record(results, (COLD, label), run, f"round {round_number}/{args.rounds} cold", label)


def memory_to_touch(size, expected):
    """What a command of the shoot can take anew for the page cache: the clips read, the copies
    written and the copies read back."""
    return size.clip_count() * size.clip_bytes + 2 * expected.bytes_written


def time_scale(args, ws, collect, plan, results):
    """Rounds of marlowin-collect over shoots of many small clips into results[(SCALE, shots)];
    on the largest, first the plan (plan: the dry-run Command, or None) into results[(WARM, PLAN)]."""
    sizes = [ShootSize(shots, args.scale_clips, args.scale_clip_bytes) for shots in args.scale]
    masters = {}
    for size in sizes:
        masters[size.shots] = os.path.join(ws.root, f"master-{size.shots}")
        make_shoot(masters[size.shots], size)
    expected = {shots: expected_trees(master) for shots, master in masters.items()}
    largest = sizes[-1]
    ws.touch_bytes = memory_to_touch(largest, expected[largest.shots])
    unchanged = unchanged_trees(masters[largest.shots]) if plan else None
    for round_number in range(1, args.scale_rounds + 1):
        progress = f"round {round_number}/{args.scale_rounds} {WARM}"
        for size in sizes:
            prepare(ws, masters[size.shots], cold=False)
            if plan and size is largest:  # a dry run changes nothing: the pass follows on the same copy
                run = run_checked(ws, plan.argv + [ws.start, ws.dest], unchanged, plan.history, quiet_stdout=True)
                record(results, (WARM, PLAN), run, progress, f"plan: {size.shots:,} shots")
            run = measure(ws, collect, expected[size.shots])
            record(results, (SCALE, size.shots), run, progress, f"scale: {size.shots:,} shots")
    for master in masters.values():
        remove(master)
    return sizes


# The card mode.


def restore_shoot(start, plan, listing, size):
    """Gives the clips on the card their names from before the pass (their bytes are the
    same), so each run reads the same shoot without writing it to the card anew. Makes the
    shoot again when something else changed (a failed run). Returns the listing."""
    for clip in plan:
        renamed, source = os.path.join(start, clip.renamed), os.path.join(start, clip.source)
        if os.path.exists(renamed) and not os.path.exists(source):
            os.rename(renamed, source)
    if list_tree(start) != listing:
        remove(start)
        make_shoot(start, size)
        listing = list_tree(start)
    return listing


def empty_folder(path):
    remove(path)
    os.mkdir(path)


def card_problem(status, log_path, start, listing, dest, backup, expected, history, with_backup):
    """What was wrong with a run of the card mode, or an empty string. expected is None for the
    floor, which must leave the card as it was and write nothing; the backup folder must hold
    the destination's tree with_backup, else nothing."""
    if status != 0:
        lines = log_lines(log_path)
        return f"exit status {status} ({lines[-1] if lines else 'no output'})"
    if expected is None:
        if list_tree(start) != listing:
            return "the card was changed"
        return "wrote to a destination" if os.listdir(dest) or os.listdir(backup) else ""
    problem = trees_problem(start, dest, expected, history)
    if problem:
        return problem
    if not with_backup:
        return "wrote to the backup folder" if os.listdir(backup) else ""
    problem = tree_difference(expected.dest, list_tree(backup, leave_out=(HISTORY,)))
    if problem:
        return "backup: " + problem
    return history_problem(os.path.join(backup, HISTORY), history).replace("destination:", "backup:")


def time_card(args, ws, rig, options, results):
    """Rounds of the card's floor, the pass to D and the pass to D and B, each cold, with the card
    read through the throttled reader, and the two passes again with the card not throttled, into
    results[(COLD, label)]; returns the Expected trees."""
    start = os.path.join(rig.card.mount_point, "start")
    backup = os.path.join(rig.backup.mount_point, "backup")
    make_shoot(start, args.size)
    plan, expected, listing = plan_pass(start), expected_trees(start), list_tree(start)
    quiet = ["--quiet"] if options.quiet else []
    history = HISTORY_EXPECTED if options.history else HISTORY_EITHER
    to_d = [args.binary] + quiet + [start, ws.dest]
    to_both = [args.binary] + quiet + ["--also", backup, start, ws.dest]
    # The last two read the card at the disk's speed: what the destinations' side of each pass
    # takes when the card does not set the pace.
    commands = {CARD_FLOOR: ([sys.executable, FLOORS, "read", start], None, False, True),
                CARD_PASS: (to_d, expected, False, True),
                CARD_PASS_BACKUP: (to_both, expected, True, True),
                CARD_PASS_FREE: (to_d, expected, False, False),
                CARD_PASS_BACKUP_FREE: (to_both, expected, True, False)}
    # The clips read, and the copies of both destinations written and read back.
    touch_bytes = memory_to_touch(args.size, expected) + 2 * expected.bytes_written
    for round_number in range(1, args.rounds + 1):
        progress = f"round {round_number}/{args.rounds} {COLD}"
        for label in round_order(list(commands), round_number, args.seed):
            argv, wanted, with_backup, throttled = commands[label]
            listing = restore_shoot(start, plan, listing, args.size)
            empty_folder(ws.dest)
            empty_folder(backup)
            drop_caches()
            rig.flush()
            log_path = ws.next_log()
            read_before = rig.card.bytes_read()
            seconds, status, peak, written = time_command(argv, log_path, touch_bytes=touch_bytes,
                                                          preexec=rig.join if throttled else None)
            read = rig.card.bytes_read() - read_before
            problem = card_problem(status, log_path, start, listing, ws.dest, backup, wanted, history,
                                   with_backup)
            run = Run(seconds, peak, problem, written, read)
            record(results, (COLD, label), run, progress, label)
            print(f"  {'':{len(progress)}} {'read from the card':50} {format_bytes(read):>10}", flush=True)
    return expected


def card_image_folder(args, card_bytes):
    """Where the card's image goes: in memory when there is room for it and 2 GiB besides, as a
    reader's own bus; None (the work folder's disk) with --card-on-disk or without the room."""
    if args.card_on_disk or not os.path.isdir("/dev/shm"):
        return None
    room = os.statvfs("/dev/shm")
    if room.f_bavail * room.f_frsize < card_bytes or meminfo("MemAvailable") < card_bytes + 2 * GIB:
        print("card: not room enough in memory for the card's image: it goes on the work folder's disk", flush=True)
        return None
    return "/dev/shm"


def run_card(args, options):
    """The card mode: its own rig and rounds, and a table of its own."""
    if missing_card_tools():
        return refuse(missing_card_tools())
    if cold_cache_unavailable():
        return refuse(f"--card runs cold only, and cold cache is not to be had: {cold_cache_unavailable()}")
    started = time.monotonic()
    root = tempfile.mkdtemp(prefix="run-", dir=args.work)
    shoot_bytes = args.size.clip_count() * args.size.clip_bytes
    # Room for the shoot, and for the final tree (about 1.7 x the shoot) with its history, and
    # ext4's own (journal, inode tables).
    card_bytes = shoot_bytes + shoot_bytes // 10 + 256 * MIB
    backup_bytes = 2 * shoot_bytes + shoot_bytes // 2 + 256 * MIB
    card_folder = card_image_folder(args, card_bytes)
    rig = CardRig(os.path.join(root, "images"), card_bytes, backup_bytes, int(args.card_rate * MIB), card_folder)
    os.makedirs(os.path.join(root, "images"))
    results, expected = {}, None
    try:
        with rig:
            print(f"card: {rig.card.mount_point}: {rig.describe()}", flush=True)
            print(f"backup: {rig.backup.mount_point}: {rig.describe_backup()}", flush=True)
            print(f"shoot: {describe(args.size)} on the card, {plural(args.rounds, 'round')}, "
                  f"destination in {root}", flush=True)
            ws = Workspace(root)
            os.mkdir(ws.dest)
            expected = time_card(args, ws, rig, options, results)
            card, backup = rig.describe(), rig.describe_backup()
    finally:
        if args.keep:
            print(f"kept {root} (the images are no longer mounted)")
        else:
            remove(root)
    table = Table(["figure", "cold cache"])
    machine_rows(table, args, options, "", time.monotonic() - started)
    Figures(table, results, {}).card(args.size, args.rounds, expected, args.card_rate, card, backup)
    print()
    print(table.markdown())
    return 1 if any(failure(runs) for runs in results.values()) else 0


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
    return meminfo("MemTotal")


def cold_cache_unavailable():
    """Why cold-cache runs cannot be made here, or an empty string when they can."""
    if os.geteuid() != 0:
        return "needs root"
    try:
        drop_caches()
    except OSError as error:
        return f"cannot write {DROP_CACHES}: {error.strerror}"
    return ""


def machine_rows(table, args, options, drive, seconds):
    uname = os.uname()
    device, mount_point, fstype = mount_of(os.path.realpath(args.work))
    table.add("machine", f"Linux {uname.release} {uname.machine}, {os.cpu_count()} CPUs, "
              f"{format_bytes(memory_total())} RAM, load {args.load_at_start:.2f} at the start, "
              f"{os.getloadavg()[0]:.2f} at the end")
    table.add("file system", f"{fstype} on {device} (mounted at {mount_point}), work folder {args.work}")
    if drive:
        table.add("destination", f"a network drive: {drive}; the folder it serves is on the "
                  "same disk as the work folder (and the shoot)")
    took = f"{seconds:.0f} s" if seconds < 90 else f"{seconds / 60:.0f} min"
    table.add("command", "`" + shlex.join(["python3"] + sys.argv) + f"`, took {took}")
    table.add("marlowin-collect", f"{args.binary} ({options.describe()})")


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
        description="Times marlowin-collect against two floors and a coreutils script (bench/README.md).")
    parser.add_argument("--binary", default=DEFAULT_BINARY,
                        help="the marlowin-collect to time (default: build/linux/cli/marlowin-collect)")
    parser.add_argument("--work", default="/var/tmp/marlowin-bench",
                        help="folder on the disk to measure (default: /var/tmp/marlowin-bench)")
    parser.add_argument("--allow-tmpfs", action="store_true", help="run even when --work is on tmpfs")
    parser.add_argument("--sshfs", action="store_true",
                        help="put every destination on a network drive: an sshfs mount over 127.0.0.1 of a "
                             "folder in --work, with an sshd of its own (needs root, sshfs, openssh-server)")
    parser.add_argument("--card", action="store_true",
                        help="card mode: the shoot on a loop-mounted image read through a throttled reader "
                             "(blkio cgroup), the destination on the work folder's disk, a backup on a second "
                             "image; times reading the card, the pass, and the pass with --also (needs root)")
    parser.add_argument("--card-on-disk", action="store_true",
                        help="with --card, the card's image on the work folder's disk (where D and B's image are) "
                             "instead of in memory: its reads then wait behind the destinations' writes")
    parser.add_argument("--card-rate", type=float, default=90,
                        help="the card reader's rate in MiB/s with --card (default 90, a UHS-I reader)")
    parser.add_argument("--shots", type=int, default=None, help="shot folders (default 8; 4 with --card)")
    parser.add_argument("--clips", type=int, default=6, help="clips per shot, at most 99 (default 6)")
    parser.add_argument("--clip-size", type=parse_size, default=40 * MIB, help="bytes per clip (default 40M)")
    parser.add_argument("--rounds", type=int, default=5,
                        help="rounds of all commands, and of the check figures (default 5)")
    parser.add_argument("--seed", type=int, default=1,
                        help="draws the order of the commands in each round (default 1)")
    parser.add_argument("--no-check", action="store_true", help="leave out the check figures")
    parser.add_argument("--scale", type=parse_counts, default=None,
                        help="shot counts of the scale run, comma-separated; the plan is timed on the "
                             "largest (default 100,10000; none with --sshfs)")
    parser.add_argument("--scale-rounds", type=int, default=3,
                        help="rounds of the scale run, which takes minutes per round at 10,000 shots (default 3)")
    parser.add_argument("--no-scale", action="store_true", help="leave out the scale run and the plan")
    parser.add_argument("--no-main", action="store_true",
                        help="leave out the main shoot's rounds and the check figures (only the scale run and plan)")
    parser.add_argument("--scale-clips", type=int, default=6, help="clips per shot of the scale run (default 6)")
    parser.add_argument("--scale-clip-size", type=parse_size, default=4 * KIB,
                        help="bytes per clip of the scale run (default 4K)")
    parser.add_argument("--smoke", action="store_true",
                        help="a check that the script works, in seconds: 2 shots x 4 clips x 256K, 1 round, "
                             "scale 5,50 shots (overrides the size options)")
    parser.add_argument("--keep", action="store_true", help="keep this run's work folder")
    args = parser.parse_args(argv)
    if args.shots is None:  # 4 shots x 6 clips x 40 MiB: about 11 s a run at 90 MiB/s
        args.shots = 4 if args.card else 8
    if args.card and args.card_rate <= 0:
        parser.error("--card-rate must be above 0")
    if args.card and args.sshfs:
        parser.error("--card and --sshfs do not go together")
    if args.smoke:
        args.shots, args.clips, args.clip_size, args.rounds = 2, 4, 256 * KIB, 1
        args.scale, args.scale_clips, args.scale_clip_size, args.scale_rounds = [5, 50], 6, 4 * KIB, 1
    if args.scale is None:  # over a network drive, 60,000 clips take 15 to 20 minutes a round
        args.scale = [] if args.sshfs else [100, 10000]
    if args.no_scale:
        args.scale = []
    args.scale = sorted(set(args.scale))
    for name in ("shots", "rounds", "scale_clips", "scale_rounds"):
        if getattr(args, name) < 1:
            parser.error(f"--{name.replace('_', '-')} must be at least 1")
    if not 1 <= args.clips <= 99 or not 1 <= args.scale_clips <= 99:
        parser.error("clips per shot must be from 1 to 99")
    if min([args.clip_size, args.scale_clip_size]) < 16:
        parser.error("clips must hold at least 16 bytes")
    if args.no_main and not args.scale:
        parser.error("--no-main with --no-scale leaves nothing to time")
    args.size = ShootSize(args.shots, args.clips, args.clip_size)
    args.scale_clip_bytes = args.scale_clip_size
    args.load_at_start = os.getloadavg()[0]
    args.binary = os.path.abspath(args.binary)
    args.work = os.path.abspath(args.work)
    return args


def refuse(message):
    print(f"collect_bench: {message}", file=sys.stderr)
    return 2


def commands_for(args, options, not_run, also_sync):
    """The main shoot's commands that this binary can run; the others' reasons into not_run."""
    quiet = ["--quiet"] if options.quiet else []
    history = HISTORY_EXPECTED if options.history else HISTORY_EITHER
    floors = [sys.executable, FLOORS]
    commands = [Command(FLOOR, floors + ["plain"]),
                Command(VERIFY_FLOOR, floors + ["verify"], after=also_sync),
                Command(COLLECT, [args.binary] + quiet, history)]
    # Unverified, a pass may or may not keep its history; without it, it must keep none. The
    # plain pass without its history shows what its hashing for the history costs.
    known = {"--no-verify": options.no_verify, "--no-history": options.no_history}
    for label, chosen, kept in ((NO_VERIFY, ["--no-verify"], HISTORY_EITHER),
                                (NO_HISTORY, ["--no-history"], HISTORY_ABSENT),
                                (PLAIN_NO_HISTORY, ["--no-verify", "--no-history"], HISTORY_ABSENT)):
        missing = [option for option in chosen if not known[option]]
        if missing:
            not_run[label] = f"skipped: this marlowin-collect has no {' or '.join(missing)}"
        else:
            commands.append(Command(label, [args.binary] + chosen + quiet, kept))
    commands.append(Command(SHELL, ["sh", SHELL_PASS]))
    if not options.check:
        not_run[CHECK] = not_run[XXHSUM] = "skipped: this marlowin-collect has no --check"
    elif not shutil.which("xxhsum"):
        not_run[CHECK] = not_run[XXHSUM] = "skipped: no xxhsum (Debian package xxhash)"
    if not options.dry_run:
        not_run[PLAN] = "skipped: this marlowin-collect has no -n"
    plan = Command(PLAN, [args.binary, options.dry_run] + quiet) if options.dry_run else None
    return commands, plan


@dataclass
class Phases:
    """What the run_phases leave for the table."""
    drive: str = ""  # the network drive, described, when there is one
    expected: object = None  # the main shoot's Expected trees, once it ran
    sizes: list = field(default_factory=list)  # the scale run's shoot sizes


def run_phases(args, ws, commands, plan, options, modes, not_run, results, phases):
    """The main shoot, the check figures and the scale run, as the arguments ask."""
    collect = next(command for command in commands if command.label == COLLECT)
    if not args.no_main:
        print(f"shoot: {describe(args.size)}, {plural(args.rounds, 'round')}, in {ws.root}"
              f"{', destination on the network drive' if ws.dest_parent else ''}", flush=True)
        master = os.path.join(ws.root, "master")
        make_shoot(master, args.size)
        phases.expected = expected_trees(master)
        ws.touch_bytes = memory_to_touch(args.size, phases.expected)
        time_main_shoot(args, ws, master, phases.expected, commands, modes, results)
        if COLD in modes and CHECK not in not_run and not args.no_check:
            print(f"check: {CHECK} against {XXHSUM}, cold, {plural(args.rounds, 'round')}", flush=True)
            time_check(args, ws, master, phases.expected, collect, options, results)
        remove(master)
    if args.scale:
        print(f"scale run: {', '.join(f'{n:,}' for n in args.scale)} shots "
              f"x {args.scale_clips} clips x {format_bytes(args.scale_clip_bytes)}, "
              f"{plural(args.scale_rounds, 'round')}", flush=True)
        phases.sizes = time_scale(args, ws, collect, plan, results)


def run_benchmark(args):
    if not os.access(GNU_TIME, os.X_OK):
        return refuse(f"{GNU_TIME} is missing (Debian package time; sh scripts/install-deps.sh)")
    if not os.access(args.binary, os.X_OK):
        return refuse(f"{args.binary} is not an executable (build it first)")
    if args.sshfs and missing_tools():
        return refuse(missing_tools())
    if args.card and missing_card_tools():
        return refuse(missing_card_tools())
    os.makedirs(args.work, exist_ok=True)
    _, mount_point, fstype = mount_of(os.path.realpath(args.work))
    if fstype in ("tmpfs", "ramfs") and not args.allow_tmpfs:
        return refuse(f"{args.work} is on {fstype} (at {mount_point}), which is memory, not a disk: "
                      "choose --work on a real disk, or pass --allow-tmpfs")
    if args.card:
        return run_card(args, detect_options(args.binary))

    options = detect_options(args.binary)
    for option, known in (("--no-verify", options.no_verify), ("--no-history", options.no_history),
                          ("--check", options.check), ("-n", options.dry_run)):
        if not known:
            print(f"note: {option} is not in marlowin-collect --help: its figures are skipped")
    if not options.quiet:
        print("note: --quiet is not in marlowin-collect --help: runs without it (output goes to a log)")
    not_run = {}  # why a cache mode or a command was left out, by its name
    modes = [WARM]
    why_not_cold = cold_cache_unavailable()
    if why_not_cold:
        not_run[COLD] = f"skipped ({why_not_cold})"
        print(f"cold cache: skipped ({why_not_cold})")
    else:
        modes.append(COLD)

    started = time.monotonic()
    root = tempfile.mkdtemp(prefix="run-", dir=args.work)
    drive = NetworkDrive(os.path.join(root, "network")) if args.sshfs else None
    results, phases = {}, Phases()
    try:
        with drive or contextlib.nullcontext():
            if drive:
                phases.drive = drive.describe()
                print(f"network drive: {drive.mount_point}: {phases.drive}", flush=True)
            ws = Workspace(root, drive.mount_point if drive else "")
            commands, plan = commands_for(args, options, not_run, (drive.served,) if drive else ())
            run_phases(args, ws, commands, plan, options, modes, not_run, results, phases)
    finally:
        leftover = drive is not None and drive.still_mounted()
        if args.keep or leftover:
            print(f"kept {root}" + (" (the network drive is still mounted in it)" if leftover else ""))
        else:
            remove(root)

    table = Table(["figure", "warm cache", "cold cache"])
    machine_rows(table, args, options, phases.drive, time.monotonic() - started)
    figures = Figures(table, results, not_run)
    if phases.expected:
        figures.main_shoot(args.size, args.rounds, phases.expected)
        if not args.no_check:
            figures.check(phases.expected.bytes_written)
    if phases.sizes:
        figures.scale(phases.sizes, phases.sizes[-1])
    print()
    print(table.markdown())
    return 1 if any(failure(runs) for runs in results.values()) else 0


def stop_on_terminate(signal_number, frame):
    raise KeyboardInterrupt


def main(argv):
    args = parse_arguments(argv)
    signal.signal(signal.SIGTERM, stop_on_terminate)
    signal.signal(signal.SIGHUP, stop_on_terminate)
    try:
        return run_benchmark(args)
    except KeyboardInterrupt:
        print("collect_bench: stopped", file=sys.stderr)
        return 130
    except DriveError as error:
        return refuse(f"the network drive could not be set up: {error}")
    except CardError as error:
        return refuse(f"the card could not be set up: {error}")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
