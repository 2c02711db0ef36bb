"""Velkor on a booted virtual device: systemd starts it full screen on the frame buffer, the keys come
through the virtual keyboard, the kernel mounts the FAT volumes, and the restart reboots the machine.

Run by `make test-device`, which builds the package and the image and sets VELKOR_VM_IMAGE (the
image's folder) and VELKOR_DEVICE_TOOL (velkor-device, which lays out the cards).
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
from velkorvm.disks import MIB, REGIONS, DeviceDisks, old_region_content  # noqa: E402
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
# OS disk takes seconds.
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


def event_texts(disks):
    """events.log's lines without their time stamps."""
    return [line.split(" ", 2)[2] for line in events(disks) if line.count(" ") >= 2]


@unittest.skipUnless(os.geteuid() == 0 and IMAGE and DEVICE_TOOL and shutil.which("qemu-system-x86_64"),
                     "needs root, QEMU, and the image and velkor-device that make test-device provides")
class BootedDeviceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="velkor-vm-"))
        cls.accelerator = usable_accelerator(pathlib.Path(IMAGE) / "vmlinuz")
        print(f"\nThe virtual device runs with {cls.accelerator}.", file=sys.stderr)
        velkor_device("init", str(cls.work / "sample"), "--screen", "800x480")
        velkor_device("init", str(cls.work / "small-screen"), "--screen", "640x480")
        cls.images = cls.work / "sample" / "root" / "StorageCard" / "Images"
        cls.screenshots = pathlib.Path(SCREENSHOTS) if SCREENSHOTS else cls.work

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("VELKOR_VM_KEEP"):
            shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        # A short folder: the machine protocol's socket lies in it, and socket paths are short.
        self.disks = DeviceDisks(tempfile.mkdtemp(dir=self.work, prefix="disks-"))
        print(f"\n  {self.id().rsplit('.', 1)[-1]}: disks in {self.disks.folder}", file=sys.stderr)
        self.boots = 0

    def tearDown(self):
        # VELKOR_VM_KEEP=1 keeps the disks, consoles and QEMU logs of the test for a look afterwards.
        if not os.environ.get("VELKOR_VM_KEEP"):
            self.disks.delete()

    def boot(self, **options):
        self.boots += 1
        return Machine(IMAGE, self.disks, self.accelerator, f"boot{self.boots}", **options)

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

    def card(self, name, *rows, screen="800x480"):
        folder = self.work / f"{self.id().rsplit('.', 1)[-1]}-{name}"
        velkor_device("card", str(folder), *rows, "--screen", screen, "--force")
        return folder

    def test_keys_alone_pick_an_os_image_and_write_it(self):
        card = self.work / "manual-card"
        (card / "Images").mkdir(parents=True, exist_ok=True)
        shutil.copy(self.images / "NK.bin", card / "Images" / "NK.bin")
        self.disks.insert_card(card)
        with self.boot() as machine:
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
        self.assertEqual(self.disks.region("os")[:len(image)], image)
        for region in ("boot", "logo", "app"):
            self.assertTrue(self.disks.region(region).startswith(old_region_content(region)), region)
        self.assertIn('device-control \\VKRFlash\\Vol: 0x800020DC "\\StorageCard\\Images\\NK.bin" 0 -> 1',
                      event_texts(self.disks))

    def test_an_unattended_update_from_the_card_writes_every_region_and_restarts(self):
        rows = {"logo": "Logo1.bmp", "logo2": "logo2.bmp", "boot": "Eboot.nb0", "os": "NK.bin", "app": "NAPP.bin"}
        card = self.card("auto", "--auto", *[part for row, file in rows.items()
                                              for part in (f"--{row}", str(self.images / file))])
        self.disks.insert_card(card)
        with self.boot() as machine:
            self.wait_for_start(machine)
            self.finish_update_and_restart(machine)

        for region in REGIONS:
            image = (self.images / rows[region]).read_bytes()
            self.assertEqual(self.disks.region(region)[:len(image)], image, region)
        boot_sector = self.disks.data_boot_sector()
        self.assertEqual(boot_sector[54:62], b"FAT12   ")
        self.assertEqual(int.from_bytes(boot_sector[11:13], "little") * boot_sector[13], 2048, "cluster bytes")
        self.assertEqual(int.from_bytes(boot_sector[17:19], "little"), 512, "root entries")
        self.assertEqual(boot_sector[16], 2, "FATs")
        self.assertTrue(self.disks.data_volume_is_sound())
        self.assertIsNone(self.disks.data_file("/OLD.TXT"), "the data volume was not emptied")
        self.assertEqual(self.disks.data_file("/$MSD$/Logo/Logo.bmp"), lifted((self.images / "logo2.bmp").read_bytes()))

        texts = event_texts(self.disks)
        for line in ["dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0",
                     "mount DSK2: Part00 -> 1", "device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1"] + [
                f'device-control \\VKRFlash\\Vol: {code} "\\StorageCard\\AutoUpdate\\{rows[region]}" 0 -> 1'
                for region, code in (("boot", "0x800020D4"), ("os", "0x800020DC"))]:
            self.assertIn(line, texts)
        self.assertTrue(any(text.startswith("restart") for text in texts), "no restart line in events.log")
        journal = self.disks.journal("velkor.service")
        for line in ("velkor: running on the device that /etc/velkor/target.json describes",
                     "velkor debug: Format succeed"):
            self.assertIn(line, journal)

    def test_a_card_with_a_second_logo_for_another_screen_leaves_the_regions_as_they_were(self):
        small_logo = self.work / "small-screen" / "root" / "StorageCard" / "Images" / "logo2.bmp"
        self.disks.insert_card(self.card("bad", "--auto", "--logo2", str(small_logo), screen="640x480"))
        before = {region: self.disks.region(region) for region in REGIONS}
        with self.boot() as machine:
            self.wait_for_start(machine)
            self.finish_update_and_restart(machine)

        for region in REGIONS:
            self.assertEqual(self.disks.region(region), before[region], region)
        self.assertIsNone(self.disks.data_file("/$MSD$/Logo/Logo.bmp"), "the wrong second logo reached the data volume")
        self.assertTrue(self.disks.data_volume_is_sound())
        self.assertFalse([text for text in event_texts(self.disks) if "StorageCard" in text],
                         "a region was written from the card")

    def test_a_power_cut_while_the_os_region_is_written_leaves_it_unfinished_until_the_card_runs_again(self):
        large_os = self.work / "NK.bin"
        large_os.write_bytes(os.urandom(LARGE_OS_BYTES))
        # The boot image brings the reset row, which runs just before the OS row.
        self.disks.insert_card(self.card("large", "--auto", "--os", str(large_os),
                                         "--boot", str(self.images / "Eboot.nb0"),
                                         "--logo2", str(self.images / "logo2.bmp")))
        slow_os = {"os": SLOW_FLASH_BYTES_PER_SECOND}
        with self.boot(write_limits=slow_os) as machine:
            self.wait_for_start(machine)
            # The reset row's line means the OS image is on its way.
            self.assertIsNotNone(machine.cut_power_when(r"0x800020E0 null 0 -> 1", UPDATE_SECONDS, after_seconds=2),
                                 "the reset row never ran")
        image = large_os.read_bytes()
        region = self.disks.region("os")
        self.assertNotEqual(region[:len(image)], image, "the OS image was whole before the cut")
        print(f"  after the cut: {written_mebibytes(region, image)} of the OS image's {len(image) // MIB} MiB "
              "reached the region", file=sys.stderr)

        # One slot: nothing brings the old OS image back, but the card is still in, so the next start
        # runs the whole update again, and this time it ends.
        with self.boot(write_limits=slow_os) as machine:
            self.wait_for_start(machine)
            self.finish_update_and_restart(machine)
        self.assertEqual(self.disks.region("os")[:len(image)], image)
        self.assertTrue(self.disks.data_volume_is_sound())
        # events.log kept what the first start did up to the cut, the OS row unfinished.
        texts = event_texts(self.disks)
        self.assertEqual(texts.count("device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1"), 2, texts)
        self.assertEqual(texts.count('device-control \\VKRFlash\\Vol: 0x800020DC '
                                     '"\\StorageCard\\AutoUpdate\\NK.bin" 0 -> 1'), 1, texts)


if __name__ == "__main__":
    unittest.main()
