"""The virtual device's boot loader, played by the host, and the disks it reads: without QEMU or root.

Run by ctest (device-vm.boot-loader), which sets VELKOR_DEVICE_TOOL to the built velkor-device.
"""

import os
import pathlib
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm"))

from velkorvm.bootloader import BootLoader, NoSlotLeft, choose_slot  # noqa: E402
from velkorvm.disks import GUEST_DEFAULT_ENVIRONMENT, GUEST_DISK_PREFIX, DeviceDisks  # noqa: E402

DEVICE_TOOL = os.environ.get("VELKOR_DEVICE_TOOL")
GUEST = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm" / "guest"
LOCK = pathlib.Path("/var/lock/fw_printenv.lock")


def environment_lock_usable():
    """libubootenv locks the environment with this file; one another user made is not ours to take."""
    return os.access(LOCK, os.R_OK | os.W_OK) if LOCK.exists() else os.access(LOCK.parent, os.W_OK)


class ChooseSlotTest(unittest.TestCase):
    def test_follows_the_boot_script(self):
        cases = [
            ("the first slot of the order with tries", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "3"},
             ("A", {"BOOT_A_LEFT": "2"})),
            ("the order, not the letters", {"BOOT_ORDER": "B A", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "1"},
             ("B", {"BOOT_B_LEFT": "0"})),
            ("past a slot without tries", {"BOOT_ORDER": "B A", "BOOT_A_LEFT": "2", "BOOT_B_LEFT": "0"},
             ("A", {"BOOT_A_LEFT": "1"})),
            ("no order: A B, saved", {"BOOT_A_LEFT": "0", "BOOT_B_LEFT": "1"},
             ("B", {"BOOT_B_LEFT": "0", "BOOT_ORDER": "A B"})),
            ("a hex count", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "0x10"}, ("A", {"BOOT_A_LEFT": "15"})),
            ("a count that is no number is none", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "three", "BOOT_B_LEFT": "1"},
             ("B", {"BOOT_B_LEFT": "0"})),
            ("a slot that does not exist is passed over", {"BOOT_ORDER": "C A", "BOOT_C_LEFT": "3", "BOOT_A_LEFT": "1"},
             ("A", {"BOOT_A_LEFT": "0"})),
            ("no slot with tries: nothing boots", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "0", "BOOT_B_LEFT": "0"}, None),
            ("no tries variables", {"BOOT_ORDER": "A B"}, None),
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
        card = pathlib.Path(self.folder) / "card-content"
        card.mkdir()
        self.disks.insert_card(card)
        named = set()
        for file in GUEST.rglob("*"):
            if file.is_file():
                named.update(re.findall(re.escape(GUEST_DISK_PREFIX) + r"([\w-]+)", file.read_text()))
        self.assertEqual(named - set(self.disks.names()), set())
        self.assertLessEqual({"env", "os-a", "os-b", "app-a", "app-b"}, named)

    def test_the_made_environment_boots_a_until_its_tries_run_out_then_nothing(self):
        boot_loader = BootLoader(self.disks.fw_config)
        factory = dict(line.split("=", 1) for line in GUEST_DEFAULT_ENVIRONMENT.read_text().splitlines())
        self.assertEqual(boot_loader.environment(),
                         {**factory, "BOOT_ORDER": "A B", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "0"})
        self.assertEqual([boot_loader.boot() for _ in range(3)], ["A", "A", "A"])
        spent = self.disks.region("env")
        with self.assertRaises(NoSlotLeft):
            boot_loader.boot()
        self.assertEqual(self.disks.region("env"), spent, "a refused boot changed the environment")
        self.assertEqual(boot_loader.environment()["BOOT_A_LEFT"], "0")


if __name__ == "__main__":
    unittest.main()
