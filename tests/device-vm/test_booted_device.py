"""Velkor on a booted virtual device, through one device's life: each boot boots the OS slot the boot
loader chose, a read-only root file system that Velkor wrote there (release 1 from the factory in
A, releases 2 and 3 from cards), and tells on the console which release runs and how it was booted.
A power cut loses what the guest had not flushed to the slot and environment disks.

Run by `make test-device`, which builds the package and the image and sets VELKOR_VM_IMAGE (the
image's folder), VELKOR_DEVICE_TOOL (velkor-device, which lays out the cards and makes each device's
boot loader environment) and VELKOR_VM_REQUIRED (a test that cannot run fails instead of skipping).
"""

import contextlib
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "device-vm"))

from velkorvm.accel import usable_accelerator  # noqa: E402
from velkorvm.bootloader import BootLoader  # noqa: E402
from velkorvm.disks import FACTORY_VOLUME_ID, MIB, DeviceDisks, release_image  # noqa: E402
from velkorvm.machine import Machine  # noqa: E402
from velkorvm.screen import ORANGE  # noqa: E402
from velkorvm.signing import COMPATIBLE, MANIFEST, CardSigner  # noqa: E402

IMAGE = os.environ.get("VELKOR_VM_IMAGE")
DEVICE_TOOL = os.environ.get("VELKOR_DEVICE_TOOL")
REQUIRED = os.environ.get("VELKOR_VM_REQUIRED")
# Where the screen dumps of the boot and of the hand-picked update go (docs/ keeps a pair); the
# test's own folder unless VELKOR_VM_SCREENSHOTS names one.
SCREENSHOTS = os.environ.get("VELKOR_VM_SCREENSHOTS")
BOOT_SECONDS = 300
UPDATE_SECONDS = 300
RESTART_SECONDS = 120
# The focus starts on the OS check box, the fourth row (its label framed); a message box stands
# in the middle of the screen, its OK button framed.
OS_ROW_BOX = (0, 220, 90, 265)
MESSAGE_BOX = (250, 140, 550, 340)
# Between the first two rows, where a login prompt on the display's console once drew.
LOGIN_PROMPT_SPOT = (60, 71)
# What the guest prints on the console once it runs (the unit velkor-release-console).
RELEASE_LINE = r"velkor-vm: release (\S+) booted with (.*)"
# The slot being written while a cut is due is slowed, as a slow flash medium would be, so that the
# write lasts long enough for the host to cut in its middle.
SLOW_FLASH_BYTES_PER_SECOND = 8 * MIB
# The console's line once the guest mounted a storage card put in while it runs.
CARD_MOUNTED = r"Mounted .*media-sdcard\.mount"
# Messages the operator is shown, as debug.log has them (a line feed shows as \n).
FINAL_MESSAGE = "升级完成,请拔出SD卡后重启系统"
NOT_USED = r"\nThe card was not used; nothing on the device has changed."
# The OS row's line once it wrote the auto-update card's image.
OS_ROW_DONE = 'device-control \\VKRFlash\\Vol: 0x800020DC "\\StorageCard\\AutoUpdate\\NK.bin" 0 -> 1'


def framed_in(box):
    def shows(screen):
        frame = screen.bounds_of(ORANGE, box)
        return frame is not None and frame[2] - frame[0] > 8 and frame[3] - frame[1] > 8
    return shows


def velkor_device(*arguments):
    subprocess.run([DEVICE_TOOL, *arguments], check=True, capture_output=True)


def events(disks):
    return disks.log_file("/velkor/events.log").splitlines()


def event_texts(disks, since=0):
    """events.log's lines from the line numbered since on, without their time stamps."""
    return [line.split(" ", 2)[2] for line in events(disks)[since:] if line.count(" ") >= 2]


def volume_id(disks):
    """The data volume's id, which every format by mkfs.fat changes."""
    return disks.data_boot_sector()[39:43][::-1].hex()


def missing_prerequisite():
    if os.geteuid() != 0:
        return "needs root"
    if not (IMAGE and DEVICE_TOOL):
        return "needs the image and velkor-device that make test-device provides"
    if not shutil.which("qemu-system-x86_64"):
        return "needs qemu-system-x86_64"
    return None


class BootedDeviceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = missing_prerequisite()
        if missing and REQUIRED:
            raise AssertionError(f"the booted device cannot run: {missing}")
        if missing:
            raise unittest.SkipTest(missing)
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="velkor-vm-"))
        cls.accelerator = usable_accelerator(pathlib.Path(IMAGE) / "vmlinuz")
        print(f"\nThe virtual device runs with {cls.accelerator}.", file=sys.stderr)
        velkor_device("init", str(cls.work / "sample"), "--screen", "800x480")
        cls.images = cls.work / "sample" / "root" / "StorageCard" / "Images"
        cls.signer = CardSigner(IMAGE, cls.work / "signer")
        cls.screenshots = pathlib.Path(SCREENSHOTS) if SCREENSHOTS else cls.work

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("VELKOR_VM_KEEP"):
            shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        # A short folder: the machine protocol's socket lies in it, and socket paths are short.
        self.disks = DeviceDisks(tempfile.mkdtemp(dir=self.work, prefix="disks-"), DEVICE_TOOL, IMAGE)
        self.boot_loader = BootLoader(self.disks.environment_copies)
        print(f"\n  {self.id().rsplit('.', 1)[-1]}: disks in {self.disks.folder}", file=sys.stderr)
        self.boots = 0

    def tearDown(self):
        # VELKOR_VM_KEEP=1 keeps the disks, consoles and QEMU logs of the test for a look afterwards.
        if not os.environ.get("VELKOR_VM_KEEP"):
            self.disks.delete()

    def test_the_devices_life(self):
        self.update_slot_b_by_keys_alone()
        card = self.signed_card("release-3", 3, "--auto", "--os", str(release_image(IMAGE, 3)),
                                "--logo2", str(self.images / "logo2.bmp"))
        self.disks.insert_card(card)
        self.cut_while_slot_a_is_written()
        self.cut_at_the_switch_to_slot_a(card)
        self.refuse_cards_on_release_3()
        self.fall_back_from_unconfirmed_release_3b()

    @contextlib.contextmanager
    def booted(self, slot, release, **options):
        """The next boot, which must be of slot and, judged inside the guest, run release from it."""
        self.boots += 1
        started = time.monotonic()
        with Machine(IMAGE, self.disks, self.accelerator, f"boot{self.boots}", self.boot_loader.boot(),
                     **options) as machine:
            self.assertEqual(machine.slot, slot, "the boot loader chose the other slot")
            line = machine.wait_for_console(RELEASE_LINE, BOOT_SECONDS)
            self.assertIsNotNone(line, f"slot {slot} did not boot a release")
            running, command_line = re.search(RELEASE_LINE, line).groups()
            self.assertEqual(running, str(release), f"slot {slot} runs another release")
            self.assertIn(f"root={machine.root_device()} ", command_line + " ")
            self.assertIn(f"velkor.slot={slot}", command_line.split())
            self.timed(f"boot {self.boots} to release {release} from {slot}", started)
            yield machine

    def timed(self, what, started):
        print(f"  {what}: {time.monotonic() - started:.0f} s", file=sys.stderr)

    def assertEnvironment(self, order, a_left, b_left):
        """Both slots' tries and the order, as the independent reader finds them on the environment disk."""
        environment = self.boot_loader.environment()
        self.assertEqual((environment.get("BOOT_ORDER"), environment.get("BOOT_A_LEFT"), environment.get("BOOT_B_LEFT")),
                         (order, str(a_left), str(b_left)), environment)

    def assertSlotHolds(self, disk, release, before):
        """The whole slot: the release's root file system, and beyond it what the slot held."""
        image = release_image(IMAGE, release).read_bytes()
        slot = self.disks.region(disk)
        self.assertTrue(slot[:len(image)] == image, f"{disk} does not hold release {release}")
        self.assertTrue(slot[len(image):] == before[len(image):], f"{disk} changed beyond release {release}")

    def wait_for_window(self, machine):
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
        velkor_device("card", str(folder), *rows, "--screen", "800x480", "--force",
                      "--target", str(self.disks.folder / "host-target.json"))
        return folder

    def signed_card(self, name, version, *rows):
        """A card for the trusted releases at version, its manifest signed."""
        folder = self.card(name, *rows, "--compatible", COMPATIBLE, "--version", str(version))
        self.signer.sign(folder)
        return folder

    def assertMessagesShown(self, *messages):
        """The last messages the operator was shown, as debug.log tells them once the machine is off."""
        shown = [line.split(" Message: ", 1)[1] for line in self.disks.log_file("/velkor/debug.log").splitlines()
                 if " Message: " in line]
        self.assertEqual(shown[-len(messages):], list(messages))

    def update_slot_b_by_keys_alone(self):
        """Release 1 from A; the keys pick release 2's image on a card and Velkor writes it into B."""
        card = self.work / "manual-card"
        (card / "Images").mkdir(parents=True)
        shutil.copy(release_image(IMAGE, 2), card / "Images" / "NK.bin")
        self.disks.insert_card(card)
        before = {disk: self.disks.region(disk) for disk in self.disks.regions}
        with self.booted("A", 1) as machine:
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
        self.assertMessagesShown(FINAL_MESSAGE)

        self.assertSlotHolds("os-b", 2, before["os-b"])
        # The App the update did not bring is copied from the booted slot, so B boots a whole generation.
        self.assertTrue(self.disks.region("app-b") == self.disks.region("app-a"), "app-b is not app-a")
        for disk in ("boot", "logo", "os-a", "app-a"):
            self.assertTrue(self.disks.region(disk) == before[disk], f"{disk} changed")
        self.assertEnvironment("B A", 3, 3)
        self.assertNotEqual(volume_id(self.disks), FACTORY_VOLUME_ID, "Velkor never formatted the data volume")
        # The restart is clean: systemctl reaches logind, and the unit's stop is no failure.
        journal = self.disks.journal("velkor.service")
        for failure in ("Failed to connect to bus", "Failed with result"):
            self.assertNotIn(failure, journal)
        texts = event_texts(self.disks)
        for line in ("environment-store BOOT_A_LEFT=3 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0", "environment-store BOOT_B_LEFT=0 -> 1",
                     'device-control \\VKRFlash\\Vol: 0x800020DC "\\StorageCard\\Images\\NK.bin" 0 -> 1',
                     "slot-copy app A B -> 1", 'environment-store BOOT_ORDER="B A" BOOT_B_LEFT=3 -> 1'):
            self.assertIn(line, texts)

    def cut_while_slot_a_is_written(self):
        """Release 2 from B, confirmed; the card's release 3 goes into A, the other direction, and the
        power is cut while A is written. B still runs release 2."""
        image = release_image(IMAGE, 3).read_bytes()
        with self.booted("B", 2, write_limits={"os-a": SLOW_FLASH_BYTES_PER_SECOND}) as machine:
            self.assertIsNotNone(machine.wait_for_event_line(r"environment-store BOOT_B_LEFT=3 -> 1$", BOOT_SECONDS),
                                 "mark-good never confirmed slot B")
            started = time.monotonic()
            # A's tries are taken before its first byte: from this line on, A is being written.
            self.assertIsNotNone(machine.cut_power_when(r"environment-store BOOT_A_LEFT=0 -> 1$", UPDATE_SECONDS,
                                                        after_seconds=3),
                                 "the OS row never disarmed slot A")
            self.timed("Velkor's start to the cut", started)
        self.assertFalse(self.disks.region("os-a")[:len(image)] == image, "release 3 was whole before the cut")
        self.assertEnvironment("B A", 0, 3)
        texts = event_texts(self.disks)
        self.assertNotIn(OS_ROW_DONE, texts, "the OS row ended before the cut")

    def cut_at_the_switch_to_slot_a(self, card):
        """Release 2 from B again, the signed card still in: the update runs again, and the power is cut
        as soon as its switch to A is stored, in one store with the card's release. A was flushed
        before the switch, so A runs release 3."""
        before = self.disks.region("os-a")
        formatted_before = volume_id(self.disks)
        earlier = len(events(self.disks))
        manifest = hashlib.sha256((card / MANIFEST).read_bytes()).hexdigest()
        switch = f'environment-store BOOT_ORDER="A B" BOOT_A_LEFT=3 VELKOR_VERSION=3 VELKOR_MANIFEST_SHA256={manifest} -> 1'
        with self.booted("B", 2, write_limits={"os-a": SLOW_FLASH_BYTES_PER_SECOND}) as machine:
            started = time.monotonic()
            self.assertIsNotNone(machine.cut_power_when(re.escape(switch) + "$", UPDATE_SECONDS),
                                 "the update never switched to slot A with the card's release")
            self.timed("Velkor's start to the switch", started)
        self.assertSlotHolds("os-a", 3, before)
        self.assertTrue(self.disks.region("app-a") == self.disks.region("app-b"), "app-a is not app-b")
        self.assertEnvironment("A B", 3, 3)
        environment = self.boot_loader.environment()
        self.assertEqual((environment.get("VELKOR_VERSION"), environment.get("VELKOR_MANIFEST_SHA256")), ("3", manifest))
        texts = event_texts(self.disks, since=earlier)
        for line in ["format DSK2: Part00 2048 512 12 2 3 -> 0", OS_ROW_DONE, "slot-copy app B A -> 1"]:
            self.assertIn(line, texts)
        self.assertNotEqual(volume_id(self.disks), formatted_before, "Velkor did not format the data volume")

    def refuse_cards_on_release_3(self):
        """Release 3 from A, confirmed, with a signed card of release 2: lower than the installed 3, it is
        refused before anything happens. While the device runs, the card is pulled and a badly copied
        one put in (one image differs from what its manifest lists), and Update is pressed by keys: it
        is refused too. Every disk stays as it was, the environment's bytes included once mark-good
        stored its confirmation."""
        older = self.signed_card("older", 2, "--auto", "--os", str(release_image(IMAGE, 2)))
        bad = self.signed_card("bad", 4, "--auto", "--os", str(self.images / "NK.bin"),
                               "--logo2", str(self.images / "logo2.bmp"))
        copied = bad / "AutoUpdate" / "NK.bin"
        image = bytearray(copied.read_bytes())
        image[len(image) // 2] ^= 0xFF
        copied.write_bytes(bytes(image))
        self.disks.insert_card(older)
        earlier = len(events(self.disks))
        with self.booted("A", 3) as machine:
            self.assertIsNotNone(machine.wait_for_event_line(r"environment-store BOOT_A_LEFT=3 -> 1$", BOOT_SECONDS),
                                 "mark-good never confirmed slot A")
            # The card and the log disk are the guest's to write; the rest is Velkor's alone.
            before = {name: self.disks.digest(name) for name in [*self.disks.regions, "env", "data"]}
            self.assertIsNotNone(machine.wait_for_event_line(r"card-refused older-version$", UPDATE_SECONDS),
                                 "the older card was not refused")
            self.assertIsNotNone(machine.wait_for_screen(framed_in(MESSAGE_BOX), UPDATE_SECONDS),
                                 "the operator saw no message")
            machine.keys("ret")
            self.assertIsNotNone(machine.wait_for_screen(framed_in(OS_ROW_BOX), 30),
                                 "the focus did not go back to the OS check box")
            mounts = machine.change_card(bad)
            self.assertIsNotNone(machine.wait_for_console(CARD_MOUNTED, UPDATE_SECONDS, skip=mounts),
                                 "the card put in was never mounted")
            machine.keys("right", "down", "down", "down", "down", "ret")  # OS "...", App "...", Restart, Format, Update
            self.assertIsNotNone(machine.wait_for_event_line(r"card-refused image-changed$", UPDATE_SECONDS),
                                 "the badly copied card was not refused")
            self.assertIsNotNone(machine.wait_for_screen(framed_in(MESSAGE_BOX), UPDATE_SECONDS),
                                 "the operator saw no message")
        # The machine is switched off with the message up: nothing was being written.
        for name, digest in before.items():
            self.assertEqual(self.disks.digest(name), digest, f"{name} changed")
        self.assertEnvironment("A B", 3, 3)
        self.assertMessagesShown("The card holds an older version than the device has." + NOT_USED,
                                 "An image on the card does not match the card's manifest." + NOT_USED)
        self.assertEqual([text for text in event_texts(self.disks, since=earlier)
                          if not text.startswith("thread-priority")],
                         ["environment-store BOOT_A_LEFT=3 -> 1", "card-refused older-version",
                          "card-refused image-changed"])

    def fall_back_from_unconfirmed_release_3b(self):
        """Release 3 writes release 3b, whose mark-good is disabled, into B. Without a card, B boots three
        times unconfirmed, each cut once it runs; then the boot loader falls back to A, which runs release 3."""
        self.disks.insert_card(self.signed_card("release-3b", 4, "--auto", "--os", str(release_image(IMAGE, "3b"))))
        with self.booted("A", 3) as machine:
            self.finish_update_and_restart(machine)
        self.assertMessagesShown(FINAL_MESSAGE)
        self.assertEnvironment("B A", 3, 3)
        self.disks.remove_card()
        for left in (2, 1, 0):
            with self.booted("B", "3b"):
                pass  # running release 3b is all this boot has to show: the power goes off
            self.assertEnvironment("B A", 3, left)
        with self.booted("A", 3) as machine:
            # No card: the card's mount gives up and Velkor starts all the same.
            self.assertIsNotNone(machine.wait_for_console(r"Started .*velkor\.service", BOOT_SECONDS),
                                 "without a card Velkor never started")
            self.assertIsNotNone(machine.wait_for_event_line(r"environment-store BOOT_A_LEFT=3 -> 1$", BOOT_SECONDS),
                                 "mark-good never confirmed slot A")
        self.assertEnvironment("B A", 3, 0)


if __name__ == "__main__":
    unittest.main()
