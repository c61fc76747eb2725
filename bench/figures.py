"""The benchmark's figures: the names of the timed commands, and the markdown table made of
their runs. bench/README.md says what each figure means."""

import statistics
from dataclasses import dataclass

from shoot import FOLDER, GIB, KIB, MIB

WARM = "warm"
COLD = "cold"
FLOOR = "floor: copy_file_range, no read-back"
VERIFY_FLOOR = "verify floor: copy_file_range, syncfs, read-back"
COLLECT = "marlowin-collect (verified)"
NO_VERIFY = "marlowin-collect --no-verify"
NO_HISTORY = "marlowin-collect --no-history"
PLAIN_NO_HISTORY = "marlowin-collect --no-verify --no-history"
SHELL = "coreutils script (bench/collect.sh)"
RERUN = "rerun over the collected shoot"
CHECK = "marlowin-collect --check"
XXHSUM = "xxhsum -H2"
PLAN = "marlowin-collect -n"
SCALE = "scale"
CARD_FLOOR = "card floor: read every clip once"
CARD_PASS = "marlowin-collect to D (verified)"
CARD_PASS_BACKUP = "marlowin-collect to D --also B (verified)"
CARD_PASS_FREE = "marlowin-collect to D, card not throttled"
CARD_PASS_BACKUP_FREE = "marlowin-collect to D --also B, card not throttled"


@dataclass
class Run:
    seconds: float
    peak_kib: int = 0
    problem: str = ""  # empty when the run exited 0 and left the expected trees
    written: int = 0   # bytes the command wrote, as the kernel counts them
    read: int = 0      # bytes read from the card's device (card mode)


def format_bytes(count):
    for unit, size in (("GiB", GIB), ("MiB", MIB), ("KiB", KIB)):
        if count >= size:
            return f"{count / size:.3g} {unit}"
    return f"{count} B"


def plural(count, noun):
    return f"{count:,} {noun}" + ("" if count == 1 else "s")


def describe(size):
    return f"{size.shots:,} shots x {size.clips} clips x {format_bytes(size.clip_bytes)}"


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
    """Median seconds (min-max) and their ratio against the reference's median."""
    if failure(runs):
        return failure(runs)
    if failure(reference_runs):
        return f"not comparable: the {reference_name} failed"
    ratio = median_seconds(runs) / median_seconds(reference_runs)
    text = f"{seconds_cell(runs)}, {ratio:.2f} x {reference_name}"
    # The two ran in every round within minutes of each other: the ratio round by round shows
    # how far the disk's spells reach, and its median is a second reading of the same figure.
    if len(runs) > 1 and len(runs) == len(reference_runs):
        per_round = [a.seconds / b.seconds for a, b in zip(runs, reference_runs)]
        text += (f"; per round {statistics.median(per_round):.2f} x "
                 f"({min(per_round):.2f}-{max(per_round):.2f})")
    return text


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


class Figures:
    """Turns the runs ({key: [Run]}; keys (mode, label), and (SCALE, shots)) into table rows.
    not_run tells, by mode or label, why something was not run."""

    def __init__(self, table, results, not_run):
        self.table = table
        self.results = results
        self.not_run = not_run

    def runs(self, mode, label):
        return self.results.get((mode, label))

    def row(self, name, make_cell, label, modes=(WARM, COLD)):
        """A row with a cell per cache mode: make_cell(mode, label), or why it was not run."""
        cells = []
        for mode in (WARM, COLD):
            if mode not in modes:
                cells.append(f"not run ({'cold' if mode == WARM else 'warm'} only)")
            elif mode in self.not_run:
                cells.append(self.not_run[mode])
            elif label in self.not_run:
                cells.append(self.not_run[label])
            elif self.runs(mode, label) is None:
                cells.append("not run")
            else:
                cells.append(make_cell(mode, label))
        self.table.add(name, *cells)

    def against(self, reference, reference_name):
        return lambda mode, label: ratio_cell(self.runs(mode, label), self.runs(mode, reference),
                                              reference_name)

    def main_shoot(self, size, rounds, expected):
        copies = sum(1 for size_ in expected.dest.values() if size_ != FOLDER)
        self.table.add("shoot", f"{describe(size)} = {format_bytes(size.clip_count() * size.clip_bytes)}; "
                       f"final tree {copies} copies = {format_bytes(expected.bytes_written)}; "
                       f"median (min-max) of {plural(rounds, 'round')}, the commands in an order drawn anew each round, "
                       "each command followed by sync")

        def floor_cell(mode, label):
            runs = self.runs(mode, label)
            if failure(runs):
                return failure(runs)
            rate = expected.bytes_written / median_seconds(runs) / MIB
            return f"{seconds_cell(runs)}, {rate:.0f} MiB/s written"

        self.row(FLOOR, floor_cell, FLOOR)
        self.row(VERIFY_FLOOR, self.against(FLOOR, "floor"), VERIFY_FLOOR)
        self.row(COLLECT, self.against(VERIFY_FLOOR, "verify floor"), COLLECT)
        self.row(NO_VERIFY, self.against(FLOOR, "floor"), NO_VERIFY)
        self.row(NO_HISTORY, self.against(VERIFY_FLOOR, "verify floor"), NO_HISTORY)
        self.row(PLAIN_NO_HISTORY, self.against(FLOOR, "floor"), PLAIN_NO_HISTORY)
        self.row("cost of the history (verified pass against --no-history)", self.history_cost(COLLECT), NO_HISTORY)
        self.row("cost of the history (--no-verify against --no-verify --no-history)",
                 self.history_cost(NO_VERIFY), PLAIN_NO_HISTORY)
        self.row(SHELL, self.against(FLOOR, "floor"), SHELL)
        self.row(RERUN, self.against(COLLECT, "first pass"), RERUN)
        self.row("peak RSS of marlowin-collect", self.peaks, COLLECT)

    def history_cost(self, with_label):
        """A cell maker: the pass with_label against the same pass without its history."""
        return lambda mode, label: self.history_cost_cell(self.runs(mode, with_label), self.runs(mode, label))

    def history_cost_cell(self, with_history, without):
        if failure(with_history) or failure(without):
            return "not comparable: a run failed"
        cost = median_seconds(with_history) / median_seconds(without) - 1
        # Both ran in every round, one shortly after the other: their ratio per round shows
        # how far the machine's noise reaches.
        per_round = [a.seconds / b.seconds - 1 for a, b in zip(with_history, without)]
        spread = f"; per round {min(per_round):+.0%} to {max(per_round):+.0%}" if len(per_round) > 1 else ""
        text = (f"{cost:+.1%} ({median_seconds(with_history):.2f} s against "
                f"{median_seconds(without):.2f} s{spread})")
        # What the history adds to the disk's work, which the times cannot resolve: the bytes
        # written more than without it, against all the pass wrote.
        written_with = statistics.median(run.written for run in with_history)
        written_without = statistics.median(run.written for run in without)
        if written_with and written_without:
            more = written_with - written_without
            sign = "+" if more >= 0 else "-"
            text += (f"; written {sign}{format_bytes(abs(more))}, {more / written_without:+.3%} "
                     f"of {format_bytes(written_without)}")
        return text

    def peaks(self, mode, label):
        names = {COLLECT: "verified", NO_VERIFY: "--no-verify", NO_HISTORY: "--no-history",
                 PLAIN_NO_HISTORY: "--no-verify --no-history", RERUN: "rerun"}
        return ", ".join(f"{short} {peak_cell(self.runs(mode, name))}"
                         for name, short in names.items() if self.runs(mode, name))

    def check(self, bytes_checked):
        def xxhsum_cell(mode, label):
            runs = self.runs(mode, label)
            if failure(runs):
                return failure(runs)
            return f"{seconds_cell(runs)}, {bytes_checked / median_seconds(runs) / MIB:.0f} MiB/s"

        self.row(f"{CHECK} of a collected destination", self.against(XXHSUM, "xxhsum"), CHECK, modes=(COLD,))
        self.row(f"{XXHSUM} over the same files", xxhsum_cell, XXHSUM, modes=(COLD,))

    def scale(self, sizes, plan_size):
        for size in sizes:
            runs = self.results[(SCALE, size.shots)]
            if failure(runs):
                cell = failure(runs)
            else:
                per_clip = median_seconds(runs) / size.clip_count()
                cell = (f"{per_clip * 1e6:.0f} us per clip; {seconds_cell(runs)} for "
                        f"{size.clip_count():,} clips; peak RSS {peak_cell(runs)}")
            self.table.add(f"scale: marlowin-collect, {describe(size)}", cell, "not run (warm only)")
        if len(sizes) >= 2:
            small, large = sizes[0], sizes[-1]
            runs_small, runs_large = self.results[(SCALE, small.shots)], self.results[(SCALE, large.shots)]
            if failure(runs_small) or failure(runs_large):
                cell = "not comparable: a run failed"
            else:
                ratio = (median_seconds(runs_large) / large.clip_count()) / (
                    median_seconds(runs_small) / small.clip_count())
                cell = f"{ratio:.2f} x"
            self.table.add(f"scale: per-clip time, {large.shots:,} / {small.shots:,} shots", cell,
                           "not run (warm only)")
        if plan_size:
            self.row(f"plan: {PLAN} over {describe(plan_size)} ({plan_size.clip_count():,} clips), "
                     "stdout to /dev/null", lambda mode, label: failure(self.runs(mode, label))
                     or seconds_cell(self.runs(mode, label)), PLAN, modes=(WARM,))

    def card(self, size, rounds, expected, rate, card, backup):
        """The card mode's rows: the floor, the pass to D and to D and B against it, what each read
        from the card, and the peak memory."""
        clip_bytes = size.clip_count() * size.clip_bytes
        copies = sum(1 for size_ in expected.dest.values() if size_ != FOLDER)
        self.table.add("card", f"{card}; the shoot {describe(size)} = {format_bytes(clip_bytes)}")
        self.table.add("D and B", f"D: a folder on the work folder's disk; B: {backup}; "
                       f"final tree {copies} copies = {format_bytes(expected.bytes_written)} in each")
        self.table.add("runs", f"median (min-max) of {plural(rounds, 'round')}, the commands in an "
                       "order drawn anew each round, caches dropped before each, each followed by sync")

        def read_text(runs):
            reads = [run.read for run in runs]
            spread = (f" ({min(reads) / clip_bytes:.3f}-{max(reads) / clip_bytes:.3f})"
                      if len(reads) > 1 else "")
            return (f"read from the card {format_bytes(statistics.median(reads))}, "
                    f"{statistics.median(reads) / clip_bytes:.3f} x the clips{spread}")

        def floor_cell(mode, label):
            runs = self.runs(mode, label)
            if failure(runs):
                return failure(runs)
            achieved = clip_bytes / median_seconds(runs) / MIB
            return f"{seconds_cell(runs)}, {achieved:.1f} MiB/s (throttle {rate:g} MiB/s); {read_text(runs)}"

        def pass_cell(mode, label):
            runs = self.runs(mode, label)
            cell = ratio_cell(runs, self.runs(mode, CARD_FLOOR), "floor")
            return cell if failure(runs) else f"{cell}; {read_text(runs)}"

        # Cold only: a card in the page cache would not be read through its reader.
        self.table.add(CARD_FLOOR, floor_cell(COLD, CARD_FLOOR))
        self.table.add(CARD_PASS, pass_cell(COLD, CARD_PASS))
        self.table.add(CARD_PASS_BACKUP, pass_cell(COLD, CARD_PASS_BACKUP))
        for label in (CARD_PASS_FREE, CARD_PASS_BACKUP_FREE):
            runs = self.runs(COLD, label)
            self.table.add(label, failure(runs) or f"{seconds_cell(runs)}, "
                           f"card read at {clip_bytes / median_seconds(runs) / MIB:.0f} MiB/s on average")
        self.table.add("peak RSS of marlowin-collect", f"to D {peak_cell(self.runs(COLD, CARD_PASS))}, "
                       f"to D and B {peak_cell(self.runs(COLD, CARD_PASS_BACKUP))}")
