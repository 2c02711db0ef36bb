"""Velkor on a booted virtual device: systemd starts it full screen on the frame buffer, the keys come
through the virtual keyboard, the kernel mounts the FAT volumes, the restart reboots the machine, and
the OS and App regions have two slots, which the host's boot loader chooses between before each boot.

Run by `make test-device`, which builds the package and the image and sets VELKOR_VM_IMAGE (the
image's folder) and VELKOR_DEVICE_TOOL (velkor-device, which lays out the cards and makes each
device's boot loader environment).
"""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm"))

from velkorvm.accel import usable_accelerator  # noqa: E402
from velkorvm.bootloader import BootLoader  # noqa: E402
from velkorvm.disks import MIB, DeviceDisks, region_disks  # noqa: E402
from velkorvm.machine import Machine  # noqa: E402
from velkorvm.screen import ORANGE  # noqa: E402

IMAGE = os.environ.get("VELKOR_VM_IMAGE")
DEVICE_TOOL = os.environ.get("VELKOR_DEVICE_TOOL")
# Where the screen dumps of the boot and of the hand-picked update go (docs/ keeps a pair); the
# test's own folder unless VELKOR_VM_SCREENSHOTS names one.
SCREENSHOTS = os.environ.get("VELKOR_VM_SCREENSHOTS")
# Emulation boots the device to Velkor's window in about 40 s here; a loaded machine takes longer.
BOOT_SECONDS = 300
UPDATE_SECONDS = 180
RESTART_SECONDS = 120
# The focus starts on the OS check box, the fourth row (its label framed); a message box stands
# in the middle of the screen, its OK button framed.
OS_ROW_BOX = (0, 220, 90, 265)
MESSAGE_BOX = (250, 140, 550, 340)
# Between the first two rows, where a login prompt on the display's console once drew.
LOGIN_PROMPT_SPOT = (60, 71)
# The OS row's images: velkor-device's sample, and one large enough that writing it to the slowed
# OS slot takes seconds.
LARGE_OS_BYTES = 32 * 1024 * 1024
SLOW_FLASH_BYTES_PER_SECOND = 4 * 1024 * 1024


def framed_in(box):
    def shows(screen):
        frame = screen.bounds_of(ORANGE, box)
        return frame is not None and frame[2] - frame[0] > 8 and frame[3] - frame[1] > 8
    return shows


def velkor_device(*arguments):
    subprocess.run([DEVICE_TOOL, *arguments], check=True, capture_output=True)


def lifted(logo):
    """The second logo as the program leaves it on the data volume: the sample's only zero bytes are
    its black pixels, which the program lifts to 8; the 54 header bytes stay."""
    return logo[:54] + logo[54:].replace(b"\0", b"\x08")


def written_mebibytes(region, image):
    """How many whole MiB at the start of region are already image's."""
    count = 0
    while count * MIB < len(image) and region[count * MIB:(count + 1) * MIB] == image[count * MIB:(count + 1) * MIB]:
        count += 1
    return count


def events(disks):
    return disks.log_file("/velkor/events.log").splitlines()


def event_texts(disks, since=0):
    """events.log's lines from the line numbered since on, without their time stamps."""
    return [line.split(" ", 2)[2] for line in events(disks)[since:] if line.count(" ") >= 2]


@unittest.skipUnless(os.geteuid() == 0 and IMAGE and DEVICE_TOOL and shutil.which("qemu-system-x86_64"),
                     "needs root, QEMU, and the image and velkor-device that make test-device provides")
class BootedDeviceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="velkor-vm-"))
        cls.accelerator = usable_accelerator(pathlib.Path(IMAGE) / "vmlinuz")
        print(f"\nThe virtual device runs with {cls.accelerator}.", file=sys.stderr)
        velkor_device("init", str(cls.work / "sample"), "--screen", "800x480")
        cls.images = cls.work / "sample" / "root" / "StorageCard" / "Images"
        cls.screenshots = pathlib.Path(SCREENSHOTS) if SCREENSHOTS else cls.work

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("VELKOR_VM_KEEP"):
            shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        # A short folder: the machine protocol's socket lies in it, and socket paths are short.
        self.disks = DeviceDisks(tempfile.mkdtemp(dir=self.work, prefix="disks-"), DEVICE_TOOL)
        self.boot_loader = BootLoader(self.disks.fw_config)
        print(f"\n  {self.id().rsplit('.', 1)[-1]}: disks in {self.disks.folder}", file=sys.stderr)
        self.boots = 0

    def tearDown(self):
        # VELKOR_VM_KEEP=1 keeps the disks, consoles and QEMU logs of the test for a look afterwards.
        if not os.environ.get("VELKOR_VM_KEEP"):
            self.disks.delete()

    def boot(self, **options):
        """The next boot, of the slot the boot loader takes."""
        self.boots += 1
        return Machine(IMAGE, self.disks, self.accelerator, f"boot{self.boots}", self.boot_loader.boot(), **options)

    def timed(self, what, started):
        print(f"  {self.id().rsplit('.', 1)[-1]}: {what} {time.monotonic() - started:.0f} s", file=sys.stderr)

    def wait_for_start(self, machine):
        started = time.monotonic()
        self.assertIsNotNone(machine.wait_for_console(r"Started .*velkor\.service", BOOT_SECONDS),
                             "systemd never started velkor.service")
        self.timed("boot to Velkor's start", started)

    def wait_for_window(self, machine):
        self.wait_for_start(machine)
        screen = machine.wait_for_screen(framed_in(OS_ROW_BOX), BOOT_SECONDS)
        self.assertIsNotNone(screen, "Velkor's window never showed its focus on the OS check box")
        return screen

    def finish_update_and_restart(self, machine, screenshot=None):
        """Waits for the final message, closes it with Enter and presses Restart with the keys."""
        started = time.monotonic()
        self.assertIsNotNone(machine.wait_for_screen(framed_in(MESSAGE_BOX), UPDATE_SECONDS),
                             "the final message never showed")
        self.timed("update", started)
        machine.keys("ret")
        screen = machine.wait_for_screen(lambda shown: not framed_in(MESSAGE_BOX)(shown), 30)
        self.assertIsNotNone(screen, "the final message did not close")
        if screenshot:
            machine.save_screen(screenshot)
        machine.keys("left", "left", "ret")
        started = time.monotonic()
        self.assertEqual(machine.wait_until_off(RESTART_SECONDS), "guest-reset", "the device did not restart")
        self.timed("restart", started)
        return screen

    def card(self, name, *rows):
        folder = self.work / f"{self.id().rsplit('.', 1)[-1]}-{name}"
        velkor_device("card", str(folder), *rows, "--screen", "800x480", "--force")
        return folder

    def test_keys_alone_pick_an_os_image_and_write_it_into_the_other_slot(self):
        card = self.work / "manual-card"
        (card / "Images").mkdir(parents=True, exist_ok=True)
        shutil.copy(self.images / "NK.bin", card / "Images" / "NK.bin")
        self.disks.insert_card(card)
        before = self.digests()
        with self.boot() as machine:
            self.assertEqual(machine.slot, "A")
            screen = self.wait_for_window(machine)
            machine.save_screen(self.screenshots / "booted-main-window.png")
            self.assertEqual((screen.width, screen.height), (800, 480), "Velkor is not full screen")
            background = screen.pixel(400, 5)
            # The command buttons stand right-aligned, 15 pixels from the right edge.
            self.assertEqual(screen.pixel(792, 462), background, "something right of the Exit button")
            self.assertNotEqual(screen.pixel(784, 462), background, "no Exit button at the right edge")
            machine.keys("ret", "right", "ret")  # OS ticked, its "..." button, the picker
            machine.keys("down", "down", "ret", "down", "ret")  # the list, Images: in; NK.bin: picked
            machine.keys("down", "down", "down", "down", "ret")  # App "...", Restart, Format, Update: pressed
            done = self.finish_update_and_restart(machine, screenshot=self.screenshots / "booted-hand-picked-update.png")
        self.assertEqual(done.pixel(*LOGIN_PROMPT_SPOT), background, "something drew over the window")

        image = (self.images / "NK.bin").read_bytes()
        self.assertEqual(self.disks.region("os-b")[:len(image)], image)
        # The App the update did not bring is copied from the booted slot, so B boots a whole generation.
        self.assertEqual(self.disks.region("app-b"), self.disks.region("app-a"))
        self.assertUnchanged(before, "boot", "logo", "os-a", "app-a")
        self.assertBootsNext("B")
        texts = event_texts(self.disks)
        for line in ("environment-store BOOT_B_LEFT=0 -> 1",
                     'device-control \\VKRFlash\\Vol: 0x800020DC "\\StorageCard\\Images\\NK.bin" 0 -> 1',
                     "slot-copy app A B -> 1", 'environment-store BOOT_ORDER="B A" BOOT_B_LEFT=3 -> 1'):
            self.assertIn(line, texts)

    def test_a_power_cut_in_the_os_slot_keeps_the_old_slot_and_the_card_then_updates_the_other(self):
        """Steps of one device's life: a power cut while the OS slot is written; the old slot boots and
        the unattended update runs to its end; the new slot boots, is marked good, and refuses a badly copied card."""
        large_os = self.work / "NK.bin"
        large_os.write_bytes(os.urandom(LARGE_OS_BYTES))
        rows = {"logo": self.images / "Logo1.bmp", "logo2": self.images / "logo2.bmp",
                "boot": self.images / "Eboot.nb0", "os": large_os, "app": self.images / "NAPP.bin"}
        self.disks.insert_card(self.card("auto", "--auto", *[part for row, file in rows.items()
                                                              for part in (f"--{row}", str(file))]))
        self.cut_power_while_the_os_slot_is_written(large_os.read_bytes())
        self.update_from_the_old_slot(rows)
        self.boot_the_new_slot_with_a_bad_card()

    def cut_power_while_the_os_slot_is_written(self, image):
        before = self.digests()
        with self.boot(write_limits={"os-b": SLOW_FLASH_BYTES_PER_SECOND}) as machine:
            self.assertEqual(machine.slot, "A")
            self.wait_for_start(machine)
            started = time.monotonic()
            # The slot's tries are taken before its first byte: from this line on, B is being written.
            self.assertIsNotNone(machine.cut_power_when(r"environment-store BOOT_B_LEFT=0 -> 1", UPDATE_SECONDS,
                                                        after_seconds=2),
                                 "the OS row never disarmed slot B")
            self.timed("Velkor's start to the cut", started)
        written = written_mebibytes(self.disks.region("os-b"), image)
        print(f"  after the cut: {written} of the OS image's {len(image) // MIB} MiB reached slot B",
              file=sys.stderr)
        self.assertLess(written, len(image) // MIB, "the OS image was whole before the cut")
        self.assertNotEqual(self.disks.digest("os-b"), before["os-b"], "the cut came before slot B was written")
        self.assertUnchanged(before, "os-a", "app-a", "app-b")
        # Each events.log line reaches the medium before the program goes on, the cut start's too.
        texts = event_texts(self.disks)
        self.assertIn("device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1", texts)
        self.assertIn("environment-store BOOT_B_LEFT=0 -> 1", texts)
        self.assertFalse([text for text in texts if "0x800020DC" in text], "the OS row ended before the cut")
        environment = self.boot_loader.environment()
        self.assertEqual((environment["BOOT_ORDER"], environment["BOOT_B_LEFT"]), ("A B", "0"), environment)
        self.assertGreater(int(environment["BOOT_A_LEFT"]), 0, environment)

    def update_from_the_old_slot(self, rows):
        """The card is still in: the old slot boots and the whole update runs again, to its end."""
        before = self.digests()
        with self.boot() as machine:
            self.assertEqual(machine.slot, "A", "the boot loader did not keep to the old slot")
            self.wait_for_start(machine)
            self.finish_update_and_restart(machine)

        for region, disk in (("boot", "boot"), ("logo", "logo"), ("os", "os-b"), ("app", "app-b")):
            image = rows[region].read_bytes()
            self.assertEqual(self.disks.region(disk)[:len(image)], image, disk)
        self.assertUnchanged(before, "os-a", "app-a")
        self.assertBootsNext("B")
        boot_sector = self.disks.data_boot_sector()
        self.assertEqual(boot_sector[54:62], b"FAT12   ")
        self.assertEqual(int.from_bytes(boot_sector[11:13], "little") * boot_sector[13], 2048, "cluster bytes")
        self.assertEqual(int.from_bytes(boot_sector[17:19], "little"), 512, "root entries")
        self.assertEqual(boot_sector[16], 2, "FATs")
        self.assertTrue(self.disks.data_volume_is_sound())
        self.assertIsNone(self.disks.data_file("/OLD.TXT"), "the data volume was not emptied")
        self.assertEqual(self.disks.data_file("/$MSD$/Logo/Logo.bmp"), lifted(rows["logo2"].read_bytes()))

        texts = event_texts(self.disks)
        for line in ["dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0",
                     "mount DSK2: Part00 -> 1", "device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1",
                     'environment-store BOOT_ORDER="B A" BOOT_B_LEFT=3 -> 1'] + [
                f'device-control \\VKRFlash\\Vol: {code} "\\StorageCard\\AutoUpdate\\{rows[region].name}" 0 -> 1'
                for region, code in (("boot", "0x800020D4"), ("os", "0x800020DC"))]:
            self.assertIn(line, texts)
        self.assertTrue(any(text.startswith("restart") for text in texts), "no restart line in events.log")
        journal = self.disks.journal("velkor.service")
        for line in ("velkor: running on the device that /etc/velkor/target.json describes",
                     "velkor debug: Format succeed", "slot A booted: the update goes into slot B"):
            self.assertIn(line, journal)

    def boot_the_new_slot_with_a_bad_card(self):
        """A badly copied card: one image differs from what the card's manifest lists. It is refused
        before anything happens, so every region, slot and the data volume stay as they were;
        meanwhile mark-good confirms the new slot."""
        card = self.card("bad", "--auto", "--os", str(self.images / "NK.bin"), "--logo2", str(self.images / "logo2.bmp"))
        copied = card / "AutoUpdate" / "NK.bin"
        image = bytearray(copied.read_bytes())
        image[len(image) // 2] ^= 0xFF
        copied.write_bytes(bytes(image))
        self.disks.insert_card(card)
        before = self.digests()
        logo_before = self.disks.data_file("/$MSD$/Logo/Logo.bmp")
        volume_id_before = self.disks.data_boot_sector()[39:43]
        earlier_events = len(events(self.disks))
        machine = self.boot()
        self.assertEqual(machine.slot, "B", "the updated slot did not boot")
        self.assertEqual(self.boot_loader.environment()["BOOT_B_LEFT"], "2", "the boot loader took no try")
        with machine:
            self.wait_for_start(machine)
            self.assertIsNotNone(machine.wait_for_event_line(r"environment-store BOOT_B_LEFT=3 -> 1$", BOOT_SECONDS),
                                 "mark-good never confirmed slot B")
            self.assertIsNotNone(machine.wait_for_event_line(r"card-refused image-changed$", UPDATE_SECONDS),
                                 "the card was not refused")
            self.assertIsNotNone(machine.wait_for_screen(framed_in(MESSAGE_BOX), UPDATE_SECONDS),
                                 "the operator saw no message")
        # The machine is switched off with the message up: nothing was being written.

        self.assertUnchanged(before, *before)
        self.assertBootsNext("B")
        # mkfs.fat gives every volume a new id; the kernel's mount leaves the volume marked dirty at
        # the power-off, so fsck.fat is not asked here.
        self.assertEqual(self.disks.data_boot_sector()[39:43], volume_id_before, "the data volume was formatted")
        self.assertEqual(self.disks.data_file("/$MSD$/Logo/Logo.bmp"), logo_before, "the data volume changed")
        self.assertEqual([text for text in event_texts(self.disks, since=earlier_events)
                          if not text.startswith(("environment-store", "thread-priority"))],
                         ["card-refused image-changed"])

    def digests(self):
        return {disk: self.disks.digest(disk) for disk in region_disks()}

    def assertUnchanged(self, before, *disks):
        for disk in disks:
            self.assertEqual(self.disks.digest(disk), before[disk], f"{disk} changed")

    def assertBootsNext(self, slot):
        """The environment, read from the host, puts slot first with all its tries."""
        environment = self.boot_loader.environment()
        self.assertEqual(environment["BOOT_ORDER"].split()[0], slot, environment)
        self.assertEqual(environment[f"BOOT_{slot}_LEFT"], "3", environment)


if __name__ == "__main__":
    unittest.main()
