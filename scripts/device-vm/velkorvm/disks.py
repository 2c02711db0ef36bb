"""The virtual device's disks, raw image files in one folder, and how the host reads them afterwards.

Each of the device's own disks reaches the guest as a virtio disk whose serial number is its name, so
the guest finds it as /dev/disk/by-id/virtio-NAME, as the target file and fstab in guest/ say. The
storage card is a USB disk labelled VELKORCARD, which the machine can plug in and pull while it runs.
"""

import hashlib
import json
import pathlib
import shutil
import subprocess
import tempfile

from .bootloader import SLOTS
from .volatile import VolatileDisk

MIB = 1024 * 1024
GUEST_TARGET = pathlib.Path(__file__).resolve().parents[1] / "guest" / "etc" / "velkor" / "target.json"
# What the factory gives env-init as U-Boot's default environment: the virtual device has no U-Boot of its
# own (the host plays it), so only what a real one would keep beside the boot variables.
GUEST_DEFAULT_ENVIRONMENT = pathlib.Path(__file__).resolve().parents[1] / "u-boot-initial-env"
GUEST_DISK_PREFIX = "/dev/disk/by-id/virtio-"
# The flash regions, as large as velkor-device's own devices have them, so a card it lays out fits;
# the OS slots grow to hold the largest release's root file system.
REGION_BYTES = {"boot": 1 * MIB, "logo": 16 * MIB, "os": 64 * MIB, "app": 64 * MIB}
# The regions with two slots, as the guest's target file has them: each slot is a disk of its own.
TWO_SLOT_REGIONS = ("os", "app")
# The boot loader's environment: room for its two copies at the offsets the target file gives.
ENVIRONMENT_BYTES = 1 * MIB
# The data partition: FAT12 with the program's parameters (2048-byte clusters, 512 root entries,
# 2 FATs), small enough for FAT12. The program formats a volume with the parameters it has and a new
# volume id, so the factory's id, fixed, tells whether it formatted.
DATA_BYTES = 6 * MIB
FACTORY_VOLUME_ID = "11223344"
DATA_FORMAT = ["mkfs.fat", "-F", "12", "-S", "512", "-s", "4", "-r", "512", "-f", "2", "-i", FACTORY_VOLUME_ID]
LOG_BYTES = 64 * MIB
# What a region holds before the first update, so that a region left alone can be told apart.
OLD_CONTENT_BYTES = 1 * MIB
CARD_SPARE_BYTES = 8 * MIB
# e2fsck's exit codes for a file system left sound: untouched, or mended (here: its journal replayed).
E2FSCK_SOUND = (0, 1)


def slot_disk(region, slot):
    return f"{region}-{slot.lower()}"


def region_disks(os_bytes=REGION_BYTES["os"]):
    """Each region's disk and its size: one for a region written in place, one per slot otherwise."""
    disks = {}
    for region, size in {**REGION_BYTES, "os": os_bytes}.items():
        names = [slot_disk(region, slot) for slot in SLOTS] if region in TWO_SLOT_REGIONS else [region]
        disks.update((name, size) for name in names)
    return disks


def run(*command, stdin=None):
    return subprocess.run(command, input=stdin, check=True, capture_output=True).stdout


def release_image(image, release):
    """The root file system of a release that build-image.sh made in the image folder."""
    return pathlib.Path(image) / f"release-{release}.img"


def os_slot_bytes(image):
    """An OS slot as large as the largest release (whole MiB), and no smaller than velkor-device's."""
    largest = max((path.stat().st_size for path in pathlib.Path(image).glob("release-*.img")), default=0) if image else 0
    return max(REGION_BYTES["os"], -(-largest // MIB) * MIB)


class DeviceDisks:
    """The disks of one virtual device: its regions and slots, boot loader environment, data partition,
    log disk and storage card. The environment is made as at the factory, by `velkor-device env-init
    --target` (device_tool) on the guest's target file with each disk named as the host sees it. Given
    the image folder, slot A of the OS holds release 1 as from the factory; every other region disk
    holds a known "old" pattern of its own."""

    def __init__(self, folder, device_tool, image=None):
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.regions = region_disks(os_slot_bytes(image))
        factory = {slot_disk("os", "A"): release_image(image, 1)} if image else {}
        for name, size in self.regions.items():
            with open(self.path(name), "wb") as region:
                region.write(factory[name].read_bytes() if name in factory else old_region_content(name))
                region.truncate(size)
        _make_file(self.path("data"), DATA_BYTES)
        run(*DATA_FORMAT, "-n", "VELKORDATA", str(self.path("data")))
        run("mcopy", "-i", str(self.path("data")), "-", "::/OLD.TXT", stdin=b"what the data volume held\n")
        with tempfile.TemporaryDirectory() as empty:
            run("mkfs.ext4", "-q", "-L", "velkor-log", "-d", empty, str(self.path("log")), f"{LOG_BYTES // MIB}M")
        self.fw_config = self.folder / "fw_env.config"
        self._make_environment(device_tool)

    def path(self, name):
        return self.folder / f"{name}.img"

    def names(self):
        """The device's own disks, which the machine gets as virtio disks."""
        return [*self.regions, "env", "data", "log"]

    def has_card(self):
        return self.path("card").exists()

    def insert_card(self, card_folder):
        """Makes the storage card a FAT disk holding what card_folder holds (Machine.change_card
        while the machine runs)."""
        self.remove_card()
        content = sum(f.stat().st_size for f in pathlib.Path(card_folder).rglob("*") if f.is_file())
        _make_file(self.path("card"), content + CARD_SPARE_BYTES)
        run("mkfs.fat", "-n", "VELKORCARD", str(self.path("card")))
        entries = [str(entry) for entry in sorted(pathlib.Path(card_folder).iterdir())]
        if entries:
            run("mcopy", "-s", "-i", str(self.path("card")), *entries, "::/")

    def remove_card(self):
        self.path("card").unlink(missing_ok=True)

    def volatile(self):
        """The disks whose unflushed writes a power cut loses: the slots and the environment."""
        slots = [slot_disk(region, slot) for region in TWO_SLOT_REGIONS for slot in SLOTS]
        return {name: VolatileDisk(self.path(name)) for name in [*slots, "env"]}

    def region(self, name):
        return self.path(name).read_bytes()

    def digest(self, name):
        """The SHA-256 of a whole disk, as a host compares a slot before and after."""
        with open(self.path(name), "rb") as disk:
            return hashlib.file_digest(disk, "sha256").hexdigest()

    def _make_environment(self, device_tool):
        """The environment disk with A to boot, and the fw_env.config that the host's fw_printenv reads
        it through, both from the copies the target file gives."""
        _make_file(self.path("env"), ENVIRONMENT_BYTES)
        target = self._write_host_target()
        run(str(device_tool), "env-init", "--target", str(target), "--defaults", str(GUEST_DEFAULT_ENVIRONMENT))
        copies = json.loads(target.read_text())["bootEnvironment"]["copies"]
        self.environment_copies = [(copy["device"], _number(copy["offset"]), _number(copy["size"]))
                                   for copy in copies]
        self.fw_config.write_text("".join(f"{path} {offset:#x} {size:#x}\n"
                                          for path, offset, size in self.environment_copies))

    def _write_host_target(self):
        """The guest's target file with its disks named as the host sees them. Its log folder keeps the
        events.log lines of what the host did to the disks."""
        def as_host(value):
            if isinstance(value, dict):
                return {key: as_host(item) for key, item in value.items()}
            if isinstance(value, list):
                return [as_host(item) for item in value]
            if isinstance(value, str) and value.startswith(GUEST_DISK_PREFIX):
                return str(self.path(value[len(GUEST_DISK_PREFIX):]))
            return value

        target = as_host(json.loads(GUEST_TARGET.read_text()))
        # The guest's registry, and its folders as empty ones of the host's: velkor-device card checks them.
        target["registry"] = str(GUEST_TARGET.parent / pathlib.Path(target["registry"]).name)
        folders = [(target["folders"], name) for name in target["folders"]] + [
            (partition, "mountPoint") for store in target["stores"] for partition in store["partitions"]]
        for holder, key in folders:
            holder[key] = str(self.folder / "folders" / holder[key].strip("/").replace("/", "-"))
            pathlib.Path(holder[key]).mkdir(parents=True, exist_ok=True)
        target["log"] = str(self.folder / "factory")
        # velkor-device drops its events.log lines when the folder is missing.
        (self.folder / "factory").mkdir(exist_ok=True)
        path = self.folder / "host-target.json"
        path.write_text(json.dumps(target, indent=4))
        return path

    def data_boot_sector(self):
        with open(self.path("data"), "rb") as data:
            return data.read(512)

    def data_file(self, fat_path):
        """A file of the data volume, or None when it is not there."""
        result = subprocess.run(["mcopy", "-n", "-i", str(self.path("data")), f"::{fat_path}", "-"],
                                capture_output=True)
        return result.stdout if result.returncode == 0 else None

    def data_volume_is_sound(self):
        return subprocess.run(["fsck.fat", "-n", str(self.path("data"))], capture_output=True).returncode == 0

    def log_file(self, path):
        """A file of the log disk (the guest's /var/log) as text; empty when it is not there. Only while
        no machine runs: replaying the journal writes the disk under the guest's file system."""
        self._replay_log_journal()
        return run("debugfs", "-R", f"cat {path}", str(self.path("log"))).decode(errors="replace")

    def journal(self, unit):
        """The messages the journal on the log disk kept for unit, one a line."""
        self._replay_log_journal()
        with tempfile.TemporaryDirectory() as copy:
            run("debugfs", "-R", f"rdump /journal {copy}", str(self.path("log")))
            return run("journalctl", "--directory", f"{copy}/journal", "--unit", unit, "--output", "cat",
                       "--no-pager").decode(errors="replace")

    def _replay_log_journal(self):
        """After a power cut what the guest synced may still be only in the log disk's ext4 journal,
        which debugfs does not read: replay it, as the guest's next mount would."""
        replay = subprocess.run(["e2fsck", "-E", "journal_only", "-p", str(self.path("log"))], capture_output=True)
        if replay.returncode not in E2FSCK_SOUND:
            raise RuntimeError(f"e2fsck could not replay the log disk's journal: {replay.stdout + replay.stderr}")

    def delete(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def old_region_content(name):
    pattern = f"the {name} region before the update ".encode()
    return (pattern * (OLD_CONTENT_BYTES // len(pattern) + 1))[:OLD_CONTENT_BYTES]


def _number(value):
    """An offset or size of the target file: a number, or a hex string."""
    return value if isinstance(value, int) else int(value, 16)


def _make_file(path, size):
    with open(path, "wb") as disk:
        disk.truncate(size)
