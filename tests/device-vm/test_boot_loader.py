"""The virtual device's boot loader, played by the host, and the disks it reads: without QEMU or root.

Run by ctest (device-vm.boot-loader), which sets VELKOR_DEVICE_TOOL to the built velkor-device.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm"))

from velkorvm.bootloader import BootLoader, NoSlotLeft, choose_slot  # noqa: E402
from velkorvm.disks import GUEST_DEFAULT_ENVIRONMENT, GUEST_DISK_PREFIX, DeviceDisks  # noqa: E402
from velkorvm.qmp import Qmp  # noqa: E402
from velkorvm.volatile import VolatileDisk  # noqa: E402

DEVICE_TOOL = os.environ.get("VELKOR_DEVICE_TOOL")
GUEST = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm" / "guest"
LOCK = pathlib.Path("/var/lock/fw_printenv.lock")


def environment_lock_usable():
    """libubootenv locks the environment with this file; one another user made is not ours to take."""
    return os.access(LOCK, os.R_OK | os.W_OK) if LOCK.exists() else os.access(LOCK.parent, os.W_OK)


class ChooseSlotTest(unittest.TestCase):
    def test_follows_the_boot_script(self):
        both = {"BOOT_A_LEFT": "3", "BOOT_B_LEFT": "3"}
        cases = [
            ("the first slot of the order", {"BOOT_ORDER": "A B", **both}, ("A", {"BOOT_A_LEFT": "2"})),
            ("the order, not the letters", {"BOOT_ORDER": "B A", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "1"},
             ("B", {"BOOT_B_LEFT": "0"})),
            ("past a slot without tries", {"BOOT_ORDER": "B A", "BOOT_A_LEFT": "2", "BOOT_B_LEFT": "0"},
             ("A", {"BOOT_A_LEFT": "1"})),
            ("tries of 9", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "9", "BOOT_B_LEFT": "0"}, ("A", {"BOOT_A_LEFT": "8"})),
            ("no slot with tries", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "0", "BOOT_B_LEFT": "0"}, None),
            ("no order: nothing defaulted", both, None),
            ("an order of one slot", {"BOOT_ORDER": "A", **both}, None),
            ("an order with a space too many", {"BOOT_ORDER": "A  B", **both}, None),
            ("a hex count", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "0x3", "BOOT_B_LEFT": "3"}, None),
            ("two digits", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "10", "BOOT_B_LEFT": "3"}, None),
            ("a bad count of the slot not taken", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "x"}, None),
            ("a count missing", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "3"}, None),
            ("an empty count", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "", "BOOT_B_LEFT": "3"}, None),
        ]
        for name, variables, expected in cases:
            with self.subTest(name):
                self.assertEqual(choose_slot(variables), expected)


@unittest.skipUnless(DEVICE_TOOL and shutil.which("fw_printenv") and shutil.which("mkfs.fat")
                     and environment_lock_usable(),
                     f"needs velkor-device (VELKOR_DEVICE_TOOL), libubootenv-tool, dosfstools and {LOCK} to lock with")
class DeviceDisksTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="velkor-disks-")
        self.disks = DeviceDisks(self.folder, DEVICE_TOOL)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_every_disk_the_guest_names_is_one_the_machine_gets(self):
        named = set()
        for file in GUEST.rglob("*"):
            if file.is_file():
                named.update(re.findall(re.escape(GUEST_DISK_PREFIX) + r"([\w-]+)", file.read_text()))
        self.assertEqual(named - set(self.disks.names()), set())
        self.assertLessEqual({"env", "os-a", "os-b", "app-a", "app-b"}, named)

    def test_the_made_environment_boots_a_until_its_tries_run_out_then_nothing(self):
        boot_loader = BootLoader(self.disks.environment_copies)
        factory = dict(line.split("=", 1) for line in GUEST_DEFAULT_ENVIRONMENT.read_text().splitlines())
        self.assertEqual(boot_loader.environment(),
                         {**factory, "BOOT_ORDER": "A B", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "0"})
        self.assertEqual([boot_loader.boot() for _ in range(3)], ["A", "A", "A"])
        spent = self.disks.region("env")
        with self.assertRaises(NoSlotLeft):
            boot_loader.boot()
        self.assertEqual(self.disks.region("env"), spent, "a refused boot changed the environment")
        self.assertEqual(boot_loader.environment()["BOOT_A_LEFT"], "0")
        # What the host stored is U-Boot's format as libubootenv, which Velkor uses, reads it too.
        printed = subprocess.run(["fw_printenv", "-c", str(self.disks.fw_config)], check=True, capture_output=True,
                                 text=True).stdout
        self.assertEqual(dict(line.split("=", 1) for line in printed.splitlines()), boot_loader.environment())


@unittest.skipUnless(shutil.which("qemu-system-x86_64"), "needs qemu-system-x86_64")
class VolatileDiskTest(unittest.TestCase):
    def test_a_cut_loses_the_writes_after_the_last_flush(self):
        """QEMU's own I/O (qemu-io) on the disk as the machine attaches it, then a SIGKILL."""
        with tempfile.TemporaryDirectory(prefix="velkor-cut-") as folder:
            path = pathlib.Path(folder) / "slot.img"
            path.write_bytes(b"\x11" * 256 * 1024)
            disk = VolatileDisk(path)
            disk.arm()
            socket = pathlib.Path(folder) / "qmp.sock"
            qemu = subprocess.Popen(["qemu-system-x86_64", "-machine", "none", "-nodefaults", "-display", "none",
                                     "-drive", f"{disk.drive_options()},if=none,id=slot",
                                     "-qmp", f"unix:{socket},server=on,wait=off"],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            try:
                qmp = Qmp(socket)
                for step in ("write -P 0x22 0 64k", "flush", "write -P 0x33 64k 64k", "write -P 0x44 0 4k"):
                    qmp.command("human-monitor-command", **{"command-line": f'qemu-io slot "{step}"'})
                written = path.read_bytes()
                qmp.close()
            finally:
                qemu.kill()
                qemu.wait()
            self.assertEqual(written[:4096] + written[65536:65537], b"\x44" * 4096 + b"\x33", "QEMU did not write")
            self.assertEqual(disk.lose_unflushed_writes(), 1)
            self.assertEqual(path.read_bytes(), b"\x22" * 65536 + b"\x11" * (256 - 64) * 1024)


if __name__ == "__main__":
    unittest.main()
