#!/usr/bin/env python3
"""The benchmark's two floors: the quickest way we know to leave the final tree of a pass.

usage: python3 bench/floors.py plain START DEST
       python3 bench/floors.py verify START DEST [ALSO_SYNC]
       python3 bench/floors.py read START

plain:  writes every copy of the final tree from its clip with os.copy_file_range (the kernel's
        own copy; reads and writes of 4 MiB where the two file systems have none) and gives the
        source clips their _hires names. Nothing a pass without read-back can do in less time.
verify: writes the same copies, makes them durable with one syncfs of DEST's file system (and
        of ALSO_SYNC's, the folder behind a network drive), reads every written byte back past
        the cache (POSIX_FADV_DONTNEED on each file, then reads of 4 MiB) and then renames the
        source clips. Nothing a pass that reads its copies back from the disk can do in less
        time. Exits 1 when it read back another count of bytes than it wrote.
read:   reads every clip of the shoot once, in reads of 4 MiB, and writes nothing: the floor of
        the card mode, where reading the card is what a pass cannot do in less time.

collect_bench.py runs each as a process of its own, like marlowin-collect, and times it with the
`sync` after it. Python 3 standard library only.
"""

import ctypes
import errno
import os
import sys

from shoot import GIB, MIB, plan_pass

BUFFER_SIZE = 4 * MIB  # of the reads back, and of the copies where the kernel cannot copy


def copy_file(source, target, buffer):
    """The kernel's own copy; between two file systems that have none (the local disk and a
    network drive), reads and writes of the buffer's size."""
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(source, "rb", buffering=0) as inp, open(target, "wb", buffering=0) as out:
        try:
            while os.copy_file_range(inp.fileno(), out.fileno(), GIB) > 0:
                pass
            return
        except OSError as error:
            if error.errno not in (errno.EXDEV, errno.EINVAL, errno.ENOSYS, errno.EOPNOTSUPP):
                raise
        # From where copy_file_range stopped, which moved both offsets alike.
        view = memoryview(buffer)
        while (n := inp.readinto(buffer)) > 0:
            done = 0
            while done < n:  # a raw write may take less than it was given
                done += out.write(view[done:n])


def write_copies(start, dest, clip, buffer):
    """The clip's copies, each from the clip (the first copy brings it into the cache).
    Returns their paths. (On a network drive a copy from the first copy, which sshfs lets the
    server make, took three times as long as writing the cached clip again.)"""
    written = []
    for copy in clip.copies:
        written.append(os.path.join(dest, copy))
        copy_file(os.path.join(start, clip.source), written[-1], buffer)
    return written


def plain_floor(start, dest):
    buffer = bytearray(BUFFER_SIZE)
    for clip in plan_pass(start):
        write_copies(start, dest, clip, buffer)
        os.rename(os.path.join(start, clip.source), os.path.join(start, clip.renamed))
    return 0


def syncfs(folder):
    """syncfs(2), which Python's os does not offer."""
    libc = ctypes.CDLL(None, use_errno=True)
    fd = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    try:
        if libc.syncfs(fd) != 0:
            error = ctypes.get_errno()
            raise OSError(error, os.strerror(error), folder)
    finally:
        os.close(fd)


def read_back(path, buffer):
    """Reads the file from the disk (its cached pages dropped first); returns the bytes read."""
    fd = os.open(path, os.O_RDONLY)
    total = 0
    try:
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        while (n := os.readv(fd, [buffer])) > 0:
            total += n
    finally:
        os.close(fd)
    return total


def verify_floor(start, dest, also_sync=None):
    plan = plan_pass(start)
    buffer = bytearray(BUFFER_SIZE)
    written = [path for clip in plan for path in write_copies(start, dest, clip, buffer)]
    syncfs(dest)
    if also_sync:
        syncfs(also_sync)
    expected = sum(os.path.getsize(path) for path in written)
    total = sum(read_back(path, buffer) for path in written)
    if total != expected:
        print(f"floors: read back {total} bytes of {expected} written", file=sys.stderr)
        return 1
    for clip in plan:
        os.rename(os.path.join(start, clip.source), os.path.join(start, clip.renamed))
    return 0


def read_clips(start):
    """Reads every clip once, as a pass does (sequential advice, which widens the read-ahead)."""
    buffer = bytearray(BUFFER_SIZE)
    for clip in plan_pass(start):
        fd = os.open(os.path.join(start, clip.source), os.O_RDONLY)
        try:
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_SEQUENTIAL)
            while os.readv(fd, [buffer]) > 0:
                pass
        finally:
            os.close(fd)
    return 0


def main(argv):
    if len(argv) == 3 and argv[0] == "plain":
        return plain_floor(argv[1], argv[2])
    if len(argv) in (3, 4) and argv[0] == "verify":
        return verify_floor(*argv[1:])
    if len(argv) == 2 and argv[0] == "read":
        return read_clips(argv[1])
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
