#!/usr/bin/env python3
"""Boots the virtual device for a person: the image from build-image.sh, new disks in a folder, and
a storage card holding CARD_FOLDER. The display is served over VNC on 127.0.0.1; the machine runs
until it powers off or restarts, or Ctrl-C. The disks stay for a look afterwards."""

import argparse
import pathlib
import tempfile

from velkorvm.accel import usable_accelerator
from velkorvm.disks import DeviceDisks
from velkorvm.machine import Machine


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image", type=pathlib.Path, help="the folder build-image.sh printed")
    parser.add_argument("card", type=pathlib.Path, help="what the storage card holds, such as velkor-device card made")
    parser.add_argument("--vnc", type=int, default=0, help="VNC display number (0 is port 5900)")
    arguments = parser.parse_args()

    disks = DeviceDisks(tempfile.mkdtemp(prefix="velkor-device-"))
    disks.insert_card(arguments.card)
    machine = Machine(arguments.image, disks, usable_accelerator(arguments.image / "vmlinuz"), "boot",
                      vnc=arguments.vnc)
    print(" ".join(machine.command_line()))
    print(f"Connect a VNC viewer to 127.0.0.1:{5900 + arguments.vnc}; the console is {machine.console_path}.")
    with machine:
        try:
            reason = None
            while reason is None:
                reason = machine.wait_until_off(3600)
        except KeyboardInterrupt:
            reason = "interrupted"
    print(f"The machine stopped ({reason}); its disks are in {disks.folder}.")


if __name__ == "__main__":
    main()
