"""The virtual device: QEMU booting the image's kernel on the device's disks, with its display,
keyboard and power switch in the host's hands."""

import ctypes
import json
import os
import pathlib
import re
import signal
import string
import subprocess
import sys
import time

from .bootloader import slot_argument
from .disks import slot_disk
from .qmp import Qmp
from .screen import Screen

SCREEN_WIDTH, SCREEN_HEIGHT = 800, 480
MEMORY_MIB = 1024
KERNEL_ARGUMENTS = "ro rootfstype=squashfs console=ttyS0 systemd.show_status=1"
EVENTS_LOG = "/velkor/events.log"
PR_SET_PDEATHSIG = 1
# The storage card's reader, a USB disk on the machine's USB bus, and the card in it.
USB_BUS = "usb"
CARD_NODE = "card"
CARD_READER = {"driver": "usb-storage", "bus": f"{USB_BUS}.0", "drive": CARD_NODE, "id": "card-reader"}
# How long the guest may take to let go of a card pulled.
CARD_SECONDS = 30


class MachineError(RuntimeError):
    pass


class Machine:
    """One boot of the device, of the slot the boot loader chose (BootLoader.boot): the kernel mounts
    that OS slot as its root, and the command line names the slot. The console and the events.log
    copy are read from the two serial ports. The slot and environment disks lose at a power cut what
    the guest had not flushed (VolatileDisk).

    `write_limits` slows a disk's writes (bytes per second), as a slow flash medium would.
    `vnc` serves the display on 127.0.0.1 (display number) for a person to watch.
    """

    def __init__(self, image, disks, accelerator, boot_name, slot, write_limits=None, vnc=None):
        self.image = pathlib.Path(image)
        self.slot = slot
        self.disks = disks
        self.accelerator = accelerator
        self.console_path = disks.folder / f"{boot_name}-console.log"
        self.events_path = disks.folder / f"{boot_name}-events.log"
        self.qemu_log_path = disks.folder / f"{boot_name}-qemu.log"
        self._socket = disks.folder / f"{boot_name}-qmp.sock"
        self._write_limits = write_limits or {}
        self._vnc = vnc
        self._process = None
        self._volatile = disks.volatile()
        self._earlier_events = 0
        self.qmp = None

    def root_device(self):
        """The booted slot's disk as the guest's kernel names it: virtio disks take letters in the
        order of their PCI slots, which is the order of the command line."""
        return f"/dev/vd{string.ascii_lowercase[self.disks.names().index(slot_disk('os', self.slot))]}"

    def command_line(self):
        command = [
            "qemu-system-x86_64", "-accel", self.accelerator, "-m", str(MEMORY_MIB), "-smp", "1",
            "-nodefaults", "-no-reboot", "-nic", "none",
            "-kernel", str(self.image / "vmlinuz"), "-initrd", str(self.image / "initrd.img"),
            "-append", f"root={self.root_device()} {KERNEL_ARGUMENTS} {slot_argument(self.slot)}",
        ]
        for name in self.disks.names():
            limit = self._write_limits.get(name)
            throttle = f",throttling.bps-write={limit}" if limit else ""
            volatile = self._volatile.get(name)
            source = volatile.drive_options() if volatile else f"file={self.disks.path(name)},format=raw"
            command += ["-drive", f"{source},if=none,id={name}{throttle}",
                        "-device", f"virtio-blk-pci,drive={name},serial={name}"]
        command += ["-device", f"qemu-xhci,id={USB_BUS}"]
        if self.disks.has_card():
            command += ["-blockdev", json.dumps(self._card_node()), "-device", json.dumps(CARD_READER)]
        command += [
            "-device", f"VGA,xres={SCREEN_WIDTH},yres={SCREEN_HEIGHT}",
            "-display", f"vnc=127.0.0.1:{self._vnc}" if self._vnc is not None else "none",
            "-serial", f"file:{self.console_path}", "-serial", f"file:{self.events_path}",
            "-qmp", f"unix:{self._socket},server=on,wait=off",
        ]
        return command

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_):
        self.cut_power()

    def start(self):
        self._socket.unlink(missing_ok=True)
        # The events port copies events.log from its first line: this boot's lines come after these.
        self._earlier_events = len(self.disks.log_file(EVENTS_LOG).splitlines())
        for disk in self._volatile.values():
            disk.arm()
        with open(self.qemu_log_path, "wb") as qemu_log:
            self._process = subprocess.Popen(self.command_line(), stdin=subprocess.DEVNULL, stdout=qemu_log,
                                             stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        try:
            self.qmp = Qmp(self._socket)
        except OSError:
            self.cut_power()
            raise MachineError(f"QEMU did not start: {self.qemu_log_path.read_text(errors='replace')}")

    def running(self):
        return self._process is not None and self._process.poll() is None

    def cut_power(self):
        """Stops the machine at once, as pulling its plug would: nothing is flushed or shut down, and
        the slot and environment disks lose what the guest had not flushed."""
        if not self.running():
            self._finish()
            return
        self._process.send_signal(signal.SIGKILL)
        self._finish()
        kept = {name: disk.lose_unflushed_writes() for name, disk in self._volatile.items()}
        print(f"  the cut kept these flushed writes: {kept}", file=sys.stderr)

    def wait_until_off(self, timeout):
        """Waits for the machine to stop by itself; the reason QEMU gave ("guest-reset" for a restart,
        "guest-shutdown" for a power-off), or None when it still runs after timeout seconds."""
        event = self.qmp.wait_for_event("SHUTDOWN", timeout)
        if event is None:
            return None
        self._process.wait(timeout=30)
        self._finish()
        for disk in self._volatile.values():
            disk.keep_writes()
        return event["data"]["reason"]

    def wait_for_console(self, pattern, timeout, skip=0):
        """The first console line matching pattern after the first skip lines; None after timeout."""
        return _wait_for_line(self.console_path, pattern, timeout, self, skip=skip)

    def wait_for_event_line(self, pattern, timeout):
        """The first events.log line of this boot matching pattern, as the guest writes it; None after
        timeout. The verdict is the log disk's, read after the machine stopped."""
        return _wait_for_line(self.events_path, pattern, timeout, self, skip=self._earlier_events)

    def cut_power_when(self, pattern, timeout, after_seconds=0.0):
        """Cuts the power after_seconds after an events.log line matches pattern; the line, or None
        when it did not come (the machine then runs on)."""
        line = self.wait_for_event_line(pattern, timeout)
        if line is not None:
            time.sleep(after_seconds)
            self.cut_power()
        return line

    def change_card(self, card_folder):
        """Pulls the storage card while the machine runs and puts in one holding what card_folder
        holds; the console's line number before the change, from which the guest's mount of the new
        card shows."""
        if self.disks.has_card():
            self.qmp.command("device_del", id=CARD_READER["id"])
            if self.qmp.wait_for_event("DEVICE_DELETED", CARD_SECONDS, data={"device": CARD_READER["id"]}) is None:
                raise MachineError(f"the guest did not let go of the card within {CARD_SECONDS} s")
            self.qmp.command("blockdev-del", **{"node-name": CARD_NODE})
        mounts_before = len(read_lines(self.console_path))
        self.disks.insert_card(card_folder)
        self.qmp.command("blockdev-add", **self._card_node())
        self.qmp.command("device_add", **CARD_READER)
        return mounts_before

    def _card_node(self):
        return {"driver": "raw", "node-name": CARD_NODE,
                "file": {"driver": "file", "filename": str(self.disks.path("card"))}}

    def screen(self):
        dump = self.disks.folder / "screen.ppm"
        self.qmp.screendump(dump, "ppm")
        return Screen.from_ppm(dump.read_bytes())

    def save_screen(self, path):
        self.qmp.screendump(pathlib.Path(path).resolve(), "png")

    def wait_for_screen(self, shows, timeout, interval=1.0):
        """The first screen for which shows(screen) holds; None after timeout seconds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.running():
            screen = self.screen()
            if shows(screen):
                return screen
            time.sleep(interval)
        return None

    def keys(self, *keys):
        self.qmp.send_keys(*keys)

    def _finish(self):
        if self._process is None:
            return
        self._process.wait()
        if self.qmp is not None:
            self.qmp.close()
        self._process = None
        self.qmp = None
        self._socket.unlink(missing_ok=True)


def _die_with_parent():
    """A harness that is killed takes its machine with it instead of leaving QEMU running."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _wait_for_line(path, pattern, timeout, machine, skip=0):
    expression = re.compile(pattern)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for line in read_lines(path)[skip:]:
            if expression.search(line):
                return line
        if not machine.running():
            return None
        time.sleep(0.1)
    return None


def read_lines(path):
    """The lines of path the writer has ended so far: the one it is still writing waits for a later read."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as text:
        return [line.rstrip("\r") for line in text.read().decode(errors="replace").split("\n")[:-1]]
