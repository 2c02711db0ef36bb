"""`velkor-device env-init` keeps the device's environment, judged by the independent reader.

Run by ctest (boot-script.env-init), which sets VELKOR_DEVICE_TOOL to the built velkor-device.
"""

import json
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts" / "device-vm"))

from velkorvm import ubootenv  # noqa: E402

DEVICE_TOOL = os.environ["VELKOR_DEVICE_TOOL"]
ENV_BYTES = 0x2000
BOOT = {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "0"}
OWN = {"bootcmd": "run velkor_boot", "VELKOR_VERSION": "7"}
DEFAULTS = "bootcmd=load mmc 0:1 ${scriptaddr} boot.scr; source ${scriptaddr}\n\nbootdelay=2\n"
FROM_DEFAULTS = {"bootcmd": "load mmc 0:1 ${scriptaddr} boot.scr; source ${scriptaddr}", "bootdelay": "2"}

# (what, "device" or "target", the valid environment there or None, --defaults text or None,
#  exit code, the environment after it or None for the copies' bytes unchanged, what it prints).
ROWS = [
    ("a valid environment keeps every variable", "target", {**OWN, "BOOT_ORDER": "B A"}, None, 0,
     {**OWN, "BOOT_ORDER": "B A", "BOOT_A_LEFT": "3", "BOOT_B_LEFT": "0"}, "Added BOOT_A_LEFT=3 BOOT_B_LEFT=0"),
    ("nothing missing: nothing stored", "device", {**OWN, **BOOT, "BOOT_A_LEFT": "1"}, None, 0, None,
     "nothing added"),
    ("a malformed variable is not changed", "device", {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "10"}, None, 1,
     {"BOOT_ORDER": "A B", "BOOT_A_LEFT": "10", "BOOT_B_LEFT": "0"}, "Added BOOT_B_LEFT=0"),
    ("the defaults are not used over a valid environment", "target", OWN, DEFAULTS, 0, {**OWN, **BOOT},
     "Added BOOT_ORDER"),
    ("no valid copy on a target: refused", "target", None, None, 1, None, "give --defaults FILE"),
    ("no valid copy on a target: from the defaults", "target", None, DEFAULTS, 0, {**FROM_DEFAULTS, **BOOT},
     "(2 variables)"),
    ("no valid copy on a simulated device: the boot variables", "device", None, None, 0, BOOT, "adding BOOT_ORDER"),
    ("defaults that set a boot variable keep it", "device", None, DEFAULTS + "BOOT_A_LEFT=2\n", 0,
     {**FROM_DEFAULTS, **BOOT, "BOOT_A_LEFT": "2"}, "adding BOOT_ORDER=\"A B\" BOOT_B_LEFT=0"),
]

TARGET = {
    "registry": "platform.reg", "folders": {}, "log": "log",
    "flashRegions": {"boot": "boot", "logo": "logo", "os": {"slots": ["os-a", "os-b"]},
                     "app": {"slots": ["app-a", "app-b"]}},
    "bootEnvironment": {"copies": [{"device": "env-1", "offset": 0, "size": ENV_BYTES},
                                   {"device": "env-2", "offset": 0, "size": ENV_BYTES}]}}


def make_target(folder):
    for name in ("boot", "logo", "os-a", "os-b", "app-a", "app-b"):
        (folder / name).write_bytes(b"\0" * 65536)
    (folder / "platform.reg").write_text("")
    (folder / "target.json").write_text(json.dumps(TARGET))
    return ["--target", str(folder / "target.json")], [(folder / "env-1", 0, ENV_BYTES), (folder / "env-2", 0, ENV_BYTES)]


def make_device(folder):
    device = folder / "device"
    subprocess.run([DEVICE_TOOL, "init", str(device)], check=True, capture_output=True)
    config = json.loads((device / "device.json").read_text())
    config["flashRegions"].update({"os": {"slots": [65536, 65536]}, "app": {"slots": [65536, 65536]}})
    config["bootEnvironment"] = {"size": ENV_BYTES}
    (device / "device.json").write_text(json.dumps(config))
    return ["--device", str(device)], [(device / "uboot.env", 0, ENV_BYTES), (device / "uboot-redund.env", 0, ENV_BYTES)]


def run_row(folder, row):
    what, kind, valid, defaults, exit_code, after, says = row
    location, copies = (make_target if kind == "target" else make_device)(folder)
    for index, (path, offset, size) in enumerate(copies):
        path.write_bytes(ubootenv.copy_bytes(valid, 1, size) if valid and index == 0 else b"\xa5" * size)
    before = [path.read_bytes() for path, _, _ in copies]
    arguments = location
    if defaults is not None:
        (folder / "defaults").write_text(defaults)
        arguments = arguments + ["--defaults", str(folder / "defaults")]
    run = subprocess.run([DEVICE_TOOL, "env-init", *arguments], capture_output=True, text=True)
    failures = []
    if run.returncode != exit_code or says not in run.stdout + run.stderr:
        failures.append(f"exited with {run.returncode} and said {run.stdout}{run.stderr}")
    if after is None and [path.read_bytes() for path, _, _ in copies] != before:
        failures.append("changed the copies")
    stored = ubootenv.read_environment(copies)
    if after is not None and stored != after:
        failures.append(f"stored {stored}, expected {after}")
    if after is not None and valid is None and ubootenv.parse_copy(ubootenv.read_copy(*copies[1])) is None:
        failures.append("left the second copy without the new environment")
    return [f"{what}: {failure}" for failure in failures]


def main():
    failures = []
    for index, row in enumerate(ROWS):
        with tempfile.TemporaryDirectory(prefix="velkor-env-init-") as name:
            failures += run_row(pathlib.Path(name), row)
    for failure in failures:
        print("FAILED " + failure)
    print(f"{len(ROWS) - len(failures)} of {len(ROWS)} rows as expected" if not failures else "")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
