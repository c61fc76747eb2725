#!/usr/bin/env python3
"""The benchmark's two floors: the least work that leaves the final tree of a pass.

usage: python3 bench/floors.py plain START DEST
       python3 bench/floors.py verify START DEST [ALSO_SYNC]

plain:  writes every copy of the final tree with os.copy_file_range (the kernel's own copy;
        sendfile where the two file systems have none) and gives the source clips their _hires
        names. Nothing a pass without read-back can do in fewer bytes.
verify: writes the same copies, makes them durable with one syncfs of DEST's file system (and
        of ALSO_SYNC's, the folder behind a network drive), reads every written byte back past
        the cache (POSIX_FADV_DONTNEED on each file, then reads of 4 MiB) and then renames the
        source clips. Nothing a pass that reads its copies back from the disk can do in fewer
        bytes. Exits 1 when it read back another count of bytes than it wrote.

collect_bench.py runs each as a process of its own, like marlowin-collect, and times it with the
`sync` after it. Python 3 standard library only.
"""

import ctypes
import errno
import os
import sys

from shoot import GIB, MIB, plan_pass

READ_SIZE = 4 * MIB


def copy_file(source, target):
    """The kernel's own copy; between two file systems that have none (a network drive),
    sendfile, which copies in the kernel all the same."""
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(source, "rb") as inp, open(target, "wb") as out:
        try:
            while os.copy_file_range(inp.fileno(), out.fileno(), GIB) > 0:
                pass
            return
        except OSError as error:
            if error.errno not in (errno.EXDEV, errno.EINVAL, errno.ENOSYS, errno.EOPNOTSUPP):
                raise
        offset = os.lseek(out.fileno(), 0, os.SEEK_CUR)  # where copy_file_range stopped
        while (n := os.sendfile(out.fileno(), inp.fileno(), offset, GIB)) > 0:
            offset += n


def plain_floor(start, dest):
    for clip in plan_pass(start):
        for copy in clip.copies:
            copy_file(os.path.join(start, clip.source), os.path.join(dest, copy))
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
    written = []
    for clip in plan:
        for copy in clip.copies:
            target = os.path.join(dest, copy)
            copy_file(os.path.join(start, clip.source), target)
            written.append(target)
    syncfs(dest)
    if also_sync:
        syncfs(also_sync)
    buffer = bytearray(READ_SIZE)
    expected = sum(os.path.getsize(path) for path in written)
    total = sum(read_back(path, buffer) for path in written)
    if total != expected:
        print(f"floors: read back {total} bytes of {expected} written", file=sys.stderr)
        return 1
    for clip in plan:
        os.rename(os.path.join(start, clip.source), os.path.join(start, clip.renamed))
    return 0


def main(argv):
    if len(argv) == 3 and argv[0] == "plain":
        return plain_floor(argv[1], argv[2])
    if len(argv) in (3, 4) and argv[0] == "verify":
        return verify_floor(*argv[1:])
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
