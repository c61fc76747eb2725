"""A real network drive for the benchmark: an sshfs mount, over 127.0.0.1, of a folder on the
local disk, served by an sshd of its own.

Everything it needs lives in one folder that the caller gives (and removes afterwards): its own
host key, client key, authorized key, known hosts, sshd configuration, pid file and logs, the
served folder (`served/`) and the mount point (`drive/`). The machine's ssh setup is not read or
changed (sshd runs with -f of its own configuration, ssh with -F /dev/null); the one thing
outside that folder is /run/sshd, the empty folder sshd insists on, which is made only when it
is missing and removed again. Needs root, sshfs and openssh-server (Debian 12 packages).
"""

import os
import shutil
import signal
import socket
import subprocess
import time

SSHD = "/usr/sbin/sshd"
PRIVILEGE_SEPARATION = "/run/sshd"
START_SECONDS = 15


class DriveError(Exception):
    pass


def missing_tools():
    """What stands in the way of a network drive here, or an empty string."""
    if os.geteuid() != 0:
        return "--sshfs needs root (it runs an sshd of its own)"
    lacking = [name for name, found in (
        ("sshfs", shutil.which("sshfs")), ("openssh-server", os.access(SSHD, os.X_OK)),
        ("ssh-keygen", shutil.which("ssh-keygen")),
        ("fusermount", shutil.which("fusermount3") or shutil.which("fusermount"))) if not found]
    if lacking:
        return (f"--sshfs needs {', '.join(lacking)} (Debian packages sshfs and openssh-server; "
                "sh scripts/install-deps.sh)")
    return ""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def tail(path, lines=3):
    try:
        with open(path, errors="replace") as f:
            return " / ".join(line.strip() for line in f.read().splitlines()[-lines:] if line.strip())
    except OSError:
        return ""


def is_mounted(point):
    with open("/proc/self/mounts") as mounts:
        return any(line.split()[1].replace("\\040", " ") == point for line in mounts)


def stop_process(process):
    """Ends a process this module started, by its id: SIGTERM, then SIGKILL after 5 s."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class NetworkDrive:
    def __init__(self, root):
        self.root = root
        self.ssh = os.path.join(root, "ssh")
        self.served = os.path.join(root, "served")  # the "server's" folder, on the local disk
        self.mount_point = os.path.join(root, "drive")
        self.port = 0
        self.sshd = None
        self.sshfs = None
        self.made_privilege_folder = False

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        problems = self.stop()
        for problem in problems:
            print(f"network drive: {problem}", flush=True)

    def path(self, name):
        return os.path.join(self.ssh, name)

    def start(self):
        os.makedirs(self.ssh, mode=0o700)
        os.makedirs(self.served)
        os.makedirs(self.mount_point)
        for key in ("host_key", "client_key"):
            subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "marlowin-bench",
                            "-f", self.path(key)], check=True)
        shutil.copyfile(self.path("client_key.pub"), self.path("authorized_keys"))
        if not os.path.isdir(PRIVILEGE_SEPARATION):
            os.mkdir(PRIVILEGE_SEPARATION, 0o755)
            self.made_privilege_folder = True
        for _ in range(3):  # another program may take the free port before sshd does
            if self.start_sshd(free_port()):
                break
        else:
            raise DriveError(f"sshd did not start: {tail(self.path('sshd.log'))}")
        with open(self.path("host_key.pub")) as key:
            kind, value = key.read().split()[:2]
        with open(self.path("known_hosts"), "w") as known:
            known.write(f"[127.0.0.1]:{self.port} {kind} {value}\n")
        self.mount()

    def start_sshd(self, port):
        """True when sshd listens on port; False when the port was taken."""
        for name in ("sshd.pid", "sshd.log"):
            if os.path.exists(self.path(name)):
                os.remove(self.path(name))
        with open(self.path("sshd_config"), "w") as config:
            config.write("\n".join([
                f"Port {port}", "ListenAddress 127.0.0.1", f"HostKey {self.path('host_key')}",
                f"AuthorizedKeysFile {self.path('authorized_keys')}", f"PidFile {self.path('sshd.pid')}",
                "PermitRootLogin prohibit-password", "PubkeyAuthentication yes",
                "PasswordAuthentication no", "KbdInteractiveAuthentication no", "UsePAM no",
                "StrictModes no",  # the keys lie below the work folder, not in a home folder
                "X11Forwarding no", "AllowTcpForwarding no", "PrintMotd no",
                "Subsystem sftp internal-sftp", ""]))
        with open(self.path("sshd.log"), "wb") as log:
            # A session of its own: Ctrl+C in the terminal must not end it before the mount.
            self.sshd = subprocess.Popen([SSHD, "-D", "-e", "-f", self.path("sshd_config")],
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
        deadline = time.monotonic() + START_SECONDS
        while time.monotonic() < deadline:
            if os.path.exists(self.path("sshd.pid")):  # written once it listens
                self.port = port
                return True
            if self.sshd.poll() is not None:
                self.sshd = None
                if "Address already in use" in tail(self.path("sshd.log"), 20):
                    return False
                raise DriveError(f"sshd exited: {tail(self.path('sshd.log'))}")
            time.sleep(0.05)
        raise DriveError(f"sshd did not start within {START_SECONDS} s: {tail(self.path('sshd.log'))}")

    def mount(self):
        options = ",".join([
            f"port={self.port}", f"IdentityFile={self.path('client_key')}", "IdentitiesOnly=yes",
            f"UserKnownHostsFile={self.path('known_hosts')}", "GlobalKnownHostsFile=/dev/null",
            "StrictHostKeyChecking=yes", "BatchMode=yes"])
        with open(self.path("sshfs.log"), "wb") as log:
            self.sshfs = subprocess.Popen(
                ["sshfs", "-f", "-F", "/dev/null", "-o", options, f"root@127.0.0.1:{self.served}",
                 self.mount_point], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                start_new_session=True)
        deadline = time.monotonic() + START_SECONDS
        while not is_mounted(self.mount_point):
            if self.sshfs.poll() is not None:
                raise DriveError(f"sshfs exited: {tail(self.path('sshfs.log'))}")
            if time.monotonic() > deadline:
                raise DriveError(f"sshfs did not mount within {START_SECONDS} s: {tail(self.path('sshfs.log'))}")
            time.sleep(0.05)

    def unmount(self):
        fusermount = shutil.which("fusermount3") or shutil.which("fusermount")
        for _ in range(20):  # busy while a killed command's files are being closed
            if not is_mounted(self.mount_point):
                return ""
            subprocess.run([fusermount, "-u", self.mount_point], stderr=subprocess.DEVNULL)
            if is_mounted(self.mount_point):
                time.sleep(0.25)
        subprocess.run(["umount", "-l", self.mount_point], stderr=subprocess.DEVNULL)
        return f"{self.mount_point} still mounted" if is_mounted(self.mount_point) else ""

    def stop(self):
        """Unmounts, ends sshfs and sshd, removes /run/sshd when it was made here. Returns what
        could not be undone. A second Ctrl+C does not break it off."""
        interrupt = signal.signal(signal.SIGINT, signal.SIG_IGN)
        problems = []
        try:
            if os.path.isdir(self.mount_point):
                problem = self.unmount()
                if problem:
                    problems.append(problem)
            stop_process(self.sshfs)
            stop_process(self.sshd)
            if self.made_privilege_folder:
                try:
                    os.rmdir(PRIVILEGE_SEPARATION)
                except OSError as error:
                    problems.append(f"cannot remove {PRIVILEGE_SEPARATION}: {error.strerror}")
                self.made_privilege_folder = False
        finally:
            signal.signal(signal.SIGINT, interrupt)
        return problems

    def still_mounted(self):
        return is_mounted(self.mount_point)

    def describe(self):
        ssh = subprocess.run(["ssh", "-V"], capture_output=True, text=True).stderr.strip()
        sshfs = subprocess.run(["sshfs", "--version"], capture_output=True, text=True)
        version = next((line.strip() for line in (sshfs.stdout + sshfs.stderr).splitlines()
                        if line.startswith("SSHFS version")), "sshfs")
        return (f"sshfs over ssh to 127.0.0.1:{self.port} (a private sshd, sftp), "
                f"{version}, {ssh.split(',')[0]}")
