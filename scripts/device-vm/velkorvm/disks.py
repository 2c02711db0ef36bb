"""The virtual device's disks, raw image files in one folder, and how the host reads them afterwards.

Each disk reaches the guest as a virtio disk whose serial number is its name, so the guest finds it
as /dev/disk/by-id/virtio-NAME, as the target file and fstab in guest/ say.
"""

import pathlib
import shutil
import subprocess
import tempfile

MIB = 1024 * 1024
# The flash regions, as large as velkor-device's own devices have them, so a card it lays out fits.
REGIONS = {"boot": 1 * MIB, "logo": 16 * MIB, "os": 64 * MIB, "app": 64 * MIB}
# The data partition: FAT12 with the program's parameters (2048-byte clusters, 512 root entries,
# 2 FATs), small enough for FAT12.
DATA_BYTES = 6 * MIB
DATA_FORMAT = ["mkfs.fat", "-F", "12", "-S", "512", "-s", "4", "-r", "512", "-f", "2"]
LOG_BYTES = 64 * MIB
# What a region holds before the first update, so that a region left alone can be told apart.
OLD_CONTENT_BYTES = 1 * MIB
CARD_SPARE_BYTES = 8 * MIB


def run(*command, stdin=None):
    return subprocess.run(command, input=stdin, check=True, capture_output=True).stdout


class DeviceDisks:
    """The disks of one virtual device: its four regions, data partition, log disk and storage card."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        for name, size in REGIONS.items():
            with open(self.path(name), "wb") as region:
                region.write(old_region_content(name))
                region.truncate(size)
        _make_file(self.path("data"), DATA_BYTES)
        run(*DATA_FORMAT, "-n", "VELKORDATA", str(self.path("data")))
        run("mcopy", "-i", str(self.path("data")), "-", "::/OLD.TXT", stdin=b"what the data volume held\n")
        with tempfile.TemporaryDirectory() as empty:
            run("mkfs.ext4", "-q", "-L", "velkor-log", "-d", empty, str(self.path("log")), f"{LOG_BYTES // MIB}M")

    def path(self, name):
        return self.folder / f"{name}.img"

    def names(self):
        """The disks the machine gets, the storage card only while one is inserted."""
        names = [*REGIONS, "data", "log"]
        return names + ["card"] if self.path("card").exists() else names

    def insert_card(self, card_folder):
        """Makes the storage card a FAT disk holding what card_folder holds."""
        self.remove_card()
        content = sum(f.stat().st_size for f in pathlib.Path(card_folder).rglob("*") if f.is_file())
        _make_file(self.path("card"), content + CARD_SPARE_BYTES)
        run("mkfs.fat", "-n", "VELKORCARD", str(self.path("card")))
        entries = [str(entry) for entry in sorted(pathlib.Path(card_folder).iterdir())]
        if entries:
            run("mcopy", "-s", "-i", str(self.path("card")), *entries, "::/")

    def remove_card(self):
        self.path("card").unlink(missing_ok=True)

    def region(self, name):
        return self.path(name).read_bytes()

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
        """A file of the log disk (the guest's /var/log) as text; empty when it is not there."""
        return run("debugfs", "-R", f"cat {path}", str(self.path("log"))).decode(errors="replace")

    def journal(self, unit):
        """The messages the journal on the log disk kept for unit, one a line."""
        with tempfile.TemporaryDirectory() as copy:
            run("debugfs", "-R", f"rdump /journal {copy}", str(self.path("log")))
            return run("journalctl", "--directory", f"{copy}/journal", "--unit", unit, "--output", "cat",
                       "--no-pager").decode(errors="replace")

    def delete(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def old_region_content(name):
    pattern = f"the {name} region before the update ".encode()
    return (pattern * (OLD_CONTENT_BYTES // len(pattern) + 1))[:OLD_CONTENT_BYTES]


def _make_file(path, size):
    with open(path, "wb") as disk:
        disk.truncate(size)
