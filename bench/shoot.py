"""The benchmark's synthetic shoot, and what one pass over it leaves behind.

Used by collect_bench.py (to make the shoot and check every run) and by floors.py (which writes
exactly the final tree). Python 3 standard library only.
"""

import os
import struct
from dataclasses import dataclass

CLIP_FOLDER = "MP4 HIGH RES"
FOLDER = "folder"  # the "size" of a folder in a tree listing
HISTORY = "ascmhl"  # the history folder marlowin-collect keeps in the destination
HISTORY_CHAIN = "ascmhl_chain.xml"

KIB = 1024
MIB = 1024 * KIB
GIB = 1024 * MIB
BLOCK_SIZE = MIB  # a clip repeats one random block of this size, each repeat stamped apart

# What a run must leave of the history folder.
HISTORY_EXPECTED = "expected"  # ascmhl/ with at least one .mhl and ascmhl_chain.xml
HISTORY_ABSENT = "absent"  # no ascmhl/
HISTORY_EITHER = "either"  # not looked at


@dataclass
class ShootSize:
    shots: int
    clips: int  # per shot
    clip_bytes: int

    def clip_count(self):
        return self.shots * self.clips


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
    start: dict  # relative path -> size (or FOLDER), of the starting folder after the run
    dest: dict  # the same, of the destination folder, without the history folder
    bytes_written: int

    def copies(self):
        return sorted(path for path, size in self.dest.items() if size != FOLDER)


def expected_trees(start):
    expected = Expected({}, {}, 0)
    for clip in plan_pass(start):
        size = os.path.getsize(os.path.join(start, clip.source))
        add_file(expected.start, clip.renamed, size)
        for copy in clip.copies:
            add_file(expected.dest, copy, size)
            expected.bytes_written += size
    return expected


def unchanged_trees(start):
    """What a run that changes nothing (a dry run) leaves: the shoot as it is, no destination."""
    return Expected(list_tree(start), {}, 0)


def add_file(tree, path, size):
    tree[path] = size
    folder = os.path.dirname(path)
    while folder:
        tree[folder] = FOLDER
        folder = os.path.dirname(folder)


def list_tree(root, leave_out=()):
    """relative path -> size (or FOLDER) of everything under root but the top-level folders
    named in leave_out."""
    tree = {}
    for folder, folders, files in os.walk(root):
        relative = os.path.relpath(folder, root)
        if relative == ".":
            folders[:] = [name for name in folders if name not in leave_out]
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


def trees_problem(start, dest, expected, history):
    """An empty string when the starting and destination folders hold what expected says and
    the destination's history folder is as history (HISTORY_...) wants, else what is wrong."""
    problem = tree_difference(expected.start, list_tree(start))
    if problem:
        return "starting folder: " + problem
    problem = tree_difference(expected.dest, list_tree(dest, leave_out=(HISTORY,)))
    if problem:
        return "destination: " + problem
    return history_problem(os.path.join(dest, HISTORY), history)


def history_problem(folder, history):
    if history == HISTORY_EITHER:
        return ""
    present = os.path.lexists(folder)
    if history == HISTORY_ABSENT:
        return f"destination: {HISTORY}/ was written" if present else ""
    if not os.path.isdir(folder):
        return f"destination: no {HISTORY}/ folder"
    names = os.listdir(folder)
    lacking = [what for what, found in (
        ("a .mhl file", any(name.endswith(".mhl") for name in names)),
        (HISTORY_CHAIN, HISTORY_CHAIN in names)) if not found]
    return f"destination: {HISTORY}/ holds no " + " and no ".join(lacking) if lacking else ""
