"""The shipped boot script, run by Debian's U-Boot under QEMU, decides as `velkor-device boot` does.

Each row is an environment: its two redundant copies are written with the independent writer of
velkorvm.ubootenv. `velkor-device boot` runs on a simulated device holding them; the independent
reader gives what it stored. The same copies, read by that reader, are imported into U-Boot (`env
import -d -t`: U-Boot's default environment when neither copy is valid), and the shipped script runs
with `source`, every row in one U-Boot. QEMU's emulated flash cannot take U-Boot's buffered writes
(saveenv fails on Debian's QEMU 7.2), so for the rows that store, `saveenv` is replaced by `printenv`,
which succeeds and prints what would be stored; one row runs the script as shipped and shows that a
failed saveenv boots nothing. Exits with 77 (skipped) without qemu-system-aarch64, U-Boot or mkimage.
"""

import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts" / "device-vm"))

from velkorvm import ubootenv  # noqa: E402

SCRIPT = ROOT / "examples" / "velkor-boot.cmd"
UBOOT = pathlib.Path("/usr/lib/u-boot/qemu_arm64/u-boot.bin")
QEMU = shutil.which("qemu-system-aarch64")
MKIMAGE = shutil.which("mkimage")
DEVICE_TOOL = os.environ.get("VELKOR_DEVICE_TOOL")
ENV_BYTES = 0x2000
SCRIPT_ADDRESS = 0x41000000  # where each boot.scr is placed in the emulated RAM
ROWS_ADDRESS = 0x42000000    # the rows' variables, one 64 KiB slot each
ROW_STRIDE = 0x10000
TIME_LIMIT = 90              # seconds for the whole U-Boot run

ORDER, A, B = "BOOT_ORDER", "BOOT_A_LEFT", "BOOT_B_LEFT"
RELEASE = {"VELKOR_VERSION": "7", "VELKOR_MANIFEST_SHA256": "ab" * 32, "bootcmd": "run velkor_boot"}


def env(order=None, a=None, b=None, **more):
    values = {name: value for name, value in ((ORDER, order), (A, a), (B, b)) if value is not None}
    return {**values, **more}


# (what the row is, copy 1, copy 2, the slot that boots or None, the variables the boot changes).
# A copy is (variables, flags byte) or None for a corrupt one. "shipped": the script unchanged.
ROWS = [
    ("the first slot of the order", (env("A B", "3", "0"), 1), None, "A", {A: "2"}),
    ("the order, not the letters", (env("B A", "3", "1"), 1), None, "B", {B: "0"}),
    ("past a slot without tries", (env("B A", "2", "0"), 1), None, "A", {A: "1"}),
    ("its last try", (env("A B", "1", "3"), 1), None, "A", {A: "0"}),
    ("tries of 9", (env("B A", "0", "9"), 1), None, "B", {B: "8"}),
    ("no slot has tries", (env("A B", "0", "0"), 1), None, None, {}),
    ("BOOT_A_LEFT unset", (env("A B", None, "3"), 1), None, None, {}),
    ("BOOT_B_LEFT unset", (env("A B", "3"), 1), None, None, {}),
    ("BOOT_ORDER unset", (env(None, "3", "0"), 1), None, None, {}),
    ("tries of 10", (env("A B", "10", "0"), 1), None, None, {}),
    ("tries in hex", (env("A B", "0x3", "0"), 1), None, None, {}),
    ("negative tries", (env("A B", "-1", "2"), 1), None, None, {}),
    ("an order of one slot", (env("A A", "3", "3"), 1), None, None, {}),
    ("a slot that does not exist", (env("A C", "3", "3"), 1), None, None, {}),
    ("the release kept", (env("B A", "3", "3", **RELEASE), 1), None, "B", {B: "2"}),
    ("copy 1 corrupt", None, (env("B A", "1", "2"), 4), "B", {B: "1"}),
    ("copy 2 corrupt", (env("A B", "2", "2"), 4), None, "A", {A: "1"}),
    ("the newer copy", (env("A B", "3", "0"), 6), (env("B A", "3", "3"), 7), "B", {B: "2"}),
    ("255 then 0", (env("A B", "3", "0"), 255), (env("B A", "3", "3"), 0), "B", {B: "2"}),
    ("both corrupt: U-Boot's default", None, None, None, {}),
    ("shipped: saveenv fails", (env("A B", "3", "0"), 1), None, None, {}),
]


def copies_of(device):
    return [(device / "uboot.env", 0, ENV_BYTES), (device / "uboot-redund.env", 0, ENV_BYTES)]


def write_copies(device, row):
    for (path, offset, size), copy in zip(copies_of(device), row[1:3]):
        data = ubootenv.copy_bytes(*copy, size) if copy else b"\xa5" * size
        ubootenv.write_copy(path, offset, size, data)


def make_device(folder):
    device = folder / "device"
    subprocess.run([DEVICE_TOOL, "init", str(device)], check=True, capture_output=True)
    config_file = device / "device.json"
    config = json.loads(config_file.read_text())
    config["flashRegions"]["os"] = {"slots": [65536, 65536]}
    config["flashRegions"]["app"] = {"slots": [65536, 65536]}
    config["bootEnvironment"] = {"size": ENV_BYTES}
    config_file.write_text(json.dumps(config))
    for path, _, size in copies_of(device):
        path.write_bytes(b"\0" * size)
    return device


def velkor_boots(device, row):
    """The slot `velkor-device boot` booted (or None) and the environment it left."""
    write_copies(device, row)
    (device / "cmdline").unlink(missing_ok=True)
    run = subprocess.run([DEVICE_TOOL, "boot", str(device)], capture_output=True, text=True)
    booted = re.search(r"^Booted slot ([AB])", run.stdout, re.M)
    if (run.returncode == 0) != bool(booted):
        raise AssertionError(f"velkor-device boot exited with {run.returncode}: {run.stdout}{run.stderr}")
    return booted and booted.group(1), ubootenv.read_environment(copies_of(device))


class Console:
    """QEMU's serial console over pipes, read by a thread, every wait bounded by the time limit."""

    def __init__(self, command):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        self.text = ""
        self.deadline = time.monotonic() + TIME_LIMIT
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for chunk in iter(lambda: self.process.stdout.read1(4096), b""):
            with self.lock:
                self.text += chunk.decode("latin-1").replace("\r", "")

    def wait_for(self, marker, start):
        while time.monotonic() < self.deadline:
            with self.lock:
                found = self.text.find(marker, start)
            if found >= 0:
                return found + len(marker)
            time.sleep(0.05)
        raise AssertionError(f"U-Boot did not print {marker!r} in time; it printed:\n{self.text[-3000:]}")

    def send(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def close(self):
        self.process.kill()
        self.process.wait()


def uboot_boots(folder, rows):
    """For each row: the slot the script booted (or None) and what it stored (None: nothing)."""
    scripts = []
    for index, text in enumerate([SCRIPT.read_text().replace("elif saveenv;", "elif printenv;"), SCRIPT.read_text()]):
        source, image = folder / f"script{index}.cmd", folder / f"script{index}.scr"
        source.write_text(text)
        subprocess.run([MKIMAGE, "-A", "arm64", "-O", "linux", "-T", "script", "-C", "none", "-n", "velkor",
                        "-d", str(source), str(image)], check=True, capture_output=True)
        scripts.append(image)
    if "elif printenv;" not in scripts[0].with_suffix(".cmd").read_text():
        raise AssertionError("the script no longer stores with `elif saveenv;`: the test cannot watch its store")
    loaders = [f"loader,file={image},addr={SCRIPT_ADDRESS + index * ROW_STRIDE:#x},force-raw=on"
               for index, image in enumerate(scripts)]
    commands = []
    for index, row in enumerate(rows):
        variables = ubootenv.choose(*(copy and (dict(copy[0]), copy[1]) for copy in row[1:3]))
        script = SCRIPT_ADDRESS + (ROW_STRIDE if row[0].startswith("shipped") else 0)
        load = ""
        if variables is not None:
            text = folder / f"row{index}.txt"
            text.write_text(ubootenv.as_text(variables))
            address = ROWS_ADDRESS + index * ROW_STRIDE
            loaders.append(f"loader,file={text},addr={address:#x},force-raw=on")
            load = f"env import -d -t {address:#x} {text.stat().st_size}; "
        commands.append(f"env default -a -f; {load}echo velkor-row-{index}; source {script:#x}; echo velkor-done-{index}")
    console = Console([QEMU, "-machine", "virt", "-cpu", "cortex-a57", "-m", "256", "-nographic", "-nodefaults",
                       "-serial", "stdio", "-no-reboot", "-bios", str(UBOOT)]
                      + [argument for loader in loaders for argument in ("-device", loader)])
    try:
        position = console.wait_for("Hit any key to stop autoboot", 0)
        console.send("")
        position = console.wait_for("=> ", position)
        results = []
        for index, command in enumerate(commands):
            console.send(command)
            begin = console.wait_for(f"\nvelkor-row-{index}", position)
            position = console.wait_for(f"\nvelkor-done-{index}", begin)
            results.append(parse_row(console.text[begin:position]))
        return results
    finally:
        console.close()


def parse_row(output):
    booted = re.search(r"^Velkor: booting slot ([AB])$", output, re.M)
    if "\nEnvironment size:" not in output:
        return booted and booted.group(1), None
    printed = output.split("## Executing script", 1)[1].split("\nEnvironment size:", 1)[0]
    stored = dict(line.split("=", 1) for line in printed.splitlines() if re.match(r"^[A-Za-z_][\w.]*=", line))
    return booted and booted.group(1), stored


def main():
    missing = [name for name, there in (("qemu-system-aarch64", QEMU), (str(UBOOT), UBOOT.exists()),
                                        ("mkimage", MKIMAGE), ("VELKOR_DEVICE_TOOL", DEVICE_TOOL)) if not there]
    if missing:
        print("skipped: no " + ", ".join(missing))
        return 77
    failures = []
    with tempfile.TemporaryDirectory(prefix="velkor-boot-script-") as name:
        folder = pathlib.Path(name)
        device = make_device(folder)
        uboot = uboot_boots(folder, ROWS)
        for row, (uboot_slot, uboot_stored) in zip(ROWS, uboot):
            what, first, second, slot, changes = row
            before = ubootenv.choose(*(copy and (dict(copy[0]), copy[1]) for copy in (first, second)))
            expected_store = {**before, **changes} if slot else None
            seen = {"U-Boot": (uboot_slot, uboot_stored)}
            if not what.startswith("shipped"):
                velkor_slot, velkor_env = velkor_boots(device, row)
                # Velkor stores nothing when it boots nothing: its environment is as it was.
                seen["velkor-device boot"] = (velkor_slot, velkor_env if velkor_slot else None)
                if not velkor_slot and velkor_env != before:
                    failures.append(f"{what}: velkor-device boot changed the environment to {velkor_env}")
            for who, got in seen.items():
                if got != (slot, expected_store):
                    failures.append(f"{what}: {who} booted {got[0]} and stored {got[1]}; "
                                    f"expected {slot} and {expected_store}")
            print(what + ": " + ", ".join(f"{who} booted {got[0] or 'nothing'}" for who, got in seen.items()))
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
