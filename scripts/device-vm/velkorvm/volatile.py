"""A disk with a volatile write cache: a power cut loses what the guest wrote and had not flushed.

QEMU's blklogwrites driver passes the guest's writes on to the disk file and records each one, and
each completed flush, in a log in the dm-log-writes format: a superblock (magic, version, the number
of entries, the sector size), then from the second sector one sector per entry (sector, number of
sectors, flags, data length) followed by the written data. QEMU rewrites the superblock after each
completed flush only, so its entry count ends at the last flush. Before a boot the disk is copied as
it stands; after a cut the disk is rebuilt from that copy and the log's entries up to the count, so
a write the guest never flushed is gone, as from a device whose cache lost power.
"""

import os
import pathlib
import struct
import subprocess

MAGIC = 0x6A736677736872
VERSION = 1
SUPER = struct.Struct("<QQQI")
ENTRY = struct.Struct("<QQQQ")
FLUSH_FLAG, DISCARD_FLAG = 1, 4


class VolatileDisk:
    def __init__(self, path):
        self.path = pathlib.Path(path)
        self.flushed = self.path.with_name(self.path.name + ".flushed")
        self.log = self.path.with_name(self.path.name + ".writes")

    def drive_options(self):
        """The -drive options that put the write log between the guest and the disk file."""
        return (f"driver=blklogwrites,file.driver=file,file.filename={self.path},"
                f"log.driver=file,log.filename={self.log}")

    def arm(self):
        """Before a boot: what the disk holds now is what it holds after a cut, until the guest flushes."""
        subprocess.run(["cp", "--sparse=always", "--reflink=auto", str(self.path), str(self.flushed)], check=True)
        self.log.write_bytes(b"")

    def keep_writes(self):
        """After the machine stopped by itself: the guest's shutdown flushed what it wrote."""
        self._forget()

    def lose_unflushed_writes(self):
        """After a cut: the disk as it was at the guest's last completed flush; how many writes stayed."""
        kept = 0
        with open(self.log, "rb") as log, open(self.flushed, "r+b") as disk:
            magic, version, entries, sector = SUPER.unpack(log.read(SUPER.size).ljust(SUPER.size, b"\0"))
            if magic != MAGIC:
                entries = 0  # no flush completed: not even the superblock was written
            elif version != VERSION:
                raise ValueError(f"{self.log}: write log version {version}")
            at = sector
            for _ in range(entries):
                log.seek(at)
                first, count, flags, _ = ENTRY.unpack(log.read(ENTRY.size))
                at += sector
                if flags & (FLUSH_FLAG | DISCARD_FLAG):
                    continue
                log.seek(at)
                disk.seek(first * sector)
                disk.write(log.read(count * sector))
                at += count * sector
                kept += 1
        os.replace(self.flushed, self.path)
        self._forget()
        return kept

    def _forget(self):
        self.flushed.unlink(missing_ok=True)
        self.log.unlink(missing_ok=True)
