"""A camera card behind a slow reader, for the benchmark's card mode (--card).

The card is an ext4 image on a loop device whose reads are throttled by a blkio cgroup (cgroup
v1, blkio.throttle.read_bps_device): only the processes put into that cgroup (the timed
commands) read the card at the reader's rate. A second image on its own loop device, not
throttled, holds the backup folder. Both images, their mount points and the cgroup belong to
this run; stop() undoes all of it, also after Ctrl+C. Needs root, losetup, mkfs.ext4, mount.
"""

import os
import shutil
import signal
import subprocess
import time

from shoot import MIB

BLKIO = "/sys/fs/cgroup/blkio"


class CardError(Exception):
    pass


def missing_tools():
    """What stands in the way of a throttled card here, or an empty string."""
    if os.geteuid() != 0:
        return "--card needs root (it mounts loop devices and throttles one with a blkio cgroup)"
    lacking = [name for name in ("losetup", "mkfs.ext4", "mount", "umount", "blockdev")
               if not shutil.which(name)]
    if lacking:
        return f"--card needs {', '.join(lacking)} (Debian packages mount, e2fsprogs, util-linux)"
    if not os.path.exists(os.path.join(BLKIO, "blkio.throttle.read_bps_device")):
        return f"--card needs the cgroup v1 blkio controller with throttling at {BLKIO}"
    return ""


def run(argv):
    result = subprocess.run(argv, capture_output=True, text=True)
    if result.returncode != 0:
        raise CardError(f"{' '.join(argv)}: {(result.stderr or result.stdout).strip()}")
    return result.stdout.strip()


def is_mounted(point):
    with open("/proc/self/mounts") as mounts:
        return any(line.split()[1].replace("\\040", " ") == point for line in mounts)


class LoopImage:
    """An ext4 image of `size` bytes, on a loop device, mounted at `mount_point`."""

    def __init__(self, image, mount_point, size):
        self.image = image
        self.mount_point = mount_point
        self.size = size
        self.device = ""
        self.direct_io = False

    def start(self):
        with open(self.image, "wb") as f:
            f.truncate(self.size)
        # Inode tables and journal written now: ext4's lazy init would write them in the
        # background during the timed runs.
        run(["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0", self.image])
        # Direct I/O keeps the card's bytes out of the page cache a second time (as the image
        # file's); the throttle held with and without it.
        try:
            self.device = run(["losetup", "--find", "--show", "--direct-io=on", self.image])
            self.direct_io = True
        except CardError:
            self.device = run(["losetup", "--find", "--show", self.image])
        os.makedirs(self.mount_point, exist_ok=True)
        run(["mount", self.device, self.mount_point])

    def name(self):
        return os.path.basename(self.device)

    def major_minor(self):
        with open(f"/sys/block/{self.name()}/dev") as f:
            return f.read().strip()

    def bytes_read(self):
        """Bytes read from the device since it was set up (the kernel's sectors of 512)."""
        with open(f"/sys/block/{self.name()}/stat") as f:
            return int(f.read().split()[2]) * 512

    def flush(self):
        subprocess.run(["blockdev", "--flushbufs", self.device], stderr=subprocess.DEVNULL)

    def stop(self):
        problems = []
        if is_mounted(self.mount_point):
            for _ in range(20):  # busy while a killed command's files are being closed
                if subprocess.run(["umount", self.mount_point], stderr=subprocess.DEVNULL).returncode == 0:
                    break
                time.sleep(0.25)
            else:
                subprocess.run(["umount", "-l", self.mount_point], stderr=subprocess.DEVNULL)
            if is_mounted(self.mount_point):
                problems.append(f"{self.mount_point} still mounted")
        if self.device:
            # Detaching a device still held sets it to go once released.
            if subprocess.run(["losetup", "-d", self.device], stderr=subprocess.DEVNULL).returncode != 0:
                problems.append(f"cannot detach {self.device}")
            self.device = ""
        return problems


class CardRig:
    """The throttled card and the backup image, under root (a folder of this run)."""

    def __init__(self, root, card_bytes, backup_bytes, read_bps, card_folder=None):
        """card_folder: where the card's image file lies (root when None); in memory (a tmpfs),
        the card's reads reach no disk but through its throttled loop device, as a reader's own
        bus: on the destinations' disk they would wait behind D's and B's writes there."""
        self.read_bps = read_bps
        self.card_folder = card_folder
        self.card = LoopImage(os.path.join(card_folder or root, f"marlowin-bench-card-{os.getpid()}.img"),
                              os.path.join(root, "card"), card_bytes)
        self.backup = LoopImage(os.path.join(root, "backup.img"), os.path.join(root, "backup"), backup_bytes)
        self.cgroup = os.path.join(BLKIO, f"marlowin-bench-{os.getpid()}")
        self.made_cgroup = False

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.report(self.stop())
            raise
        return self

    def __exit__(self, *exc):
        self.report(self.stop())

    @staticmethod
    def report(problems):
        for problem in problems:
            print(f"card: {problem}", flush=True)

    def start(self):
        self.card.start()
        self.backup.start()
        os.mkdir(self.cgroup)
        self.made_cgroup = True
        with open(os.path.join(self.cgroup, "blkio.throttle.read_bps_device"), "w") as f:
            f.write(f"{self.card.major_minor()} {self.read_bps}\n")

    def join(self):
        """Puts the calling process into the throttled cgroup: the preexec_fn of a timed command,
        so that it and all it starts read the card at the reader's rate (and nothing else does)."""
        with open(os.path.join(self.cgroup, "cgroup.procs"), "w") as f:
            f.write(f"{os.getpid()}\n")

    def flush(self):
        self.card.flush()
        self.backup.flush()

    def stop(self):
        """Unmounts and detaches both images and removes the cgroup; returns what could not be
        undone. A second Ctrl+C does not break it off."""
        interrupt = signal.signal(signal.SIGINT, signal.SIG_IGN)
        problems = []
        try:
            problems += self.card.stop()
            problems += self.backup.stop()
            if self.card_folder and os.path.exists(self.card.image):
                os.remove(self.card.image)  # outside the run's folder, which goes as a whole
            if self.made_cgroup:
                for _ in range(20):  # a killed command may still be leaving the cgroup
                    try:
                        os.rmdir(self.cgroup)
                        self.made_cgroup = False
                        break
                    except OSError:
                        time.sleep(0.25)
                else:
                    problems.append(f"cannot remove the cgroup {self.cgroup}")
        finally:
            signal.signal(signal.SIGINT, interrupt)
        return problems

    def describe(self):
        where = "in memory (tmpfs)" if self.card_folder else "on the work folder's disk"
        return (f"ext4 image {where} on {self.card.device}{' (direct I/O)' if self.card.direct_io else ''}, "
                f"reads throttled to {self.read_bps / MIB:.0f} MiB/s (blkio cgroup, "
                f"read_bps_device {self.card.major_minor()})")

    def describe_backup(self):
        return (f"ext4 image on {self.backup.device}{' (direct I/O)' if self.backup.direct_io else ''}, "
                "not throttled, its file on the work folder's disk")
