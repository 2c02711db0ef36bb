#!/usr/bin/env python3
"""Boots the virtual device for a person: the image from build-image.sh, new disks in a folder (the
boot loader's environment made by velkor-device env-init), and a storage card holding CARD_FOLDER.
Before each boot the host plays the boot loader and names the slot it took on the kernel command
line. The display is served over VNC on 127.0.0.1; a restart boots the device again, until it powers
off or Ctrl-C. The disks stay for a look afterwards."""

import argparse
import pathlib
import tempfile

from velkorvm.accel import usable_accelerator
from velkorvm.bootloader import BootLoader, NoSlotLeft
from velkorvm.disks import DeviceDisks
from velkorvm.machine import Machine
from velkorvm.signing import CardSigner

REPOSITORY = pathlib.Path(__file__).resolve().parents[2]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image", type=pathlib.Path, help="the folder build-image.sh printed")
    parser.add_argument("card", type=pathlib.Path, help="what the storage card holds, such as velkor-device card made")
    parser.add_argument("--sign", action="store_true",
                        help="sign the card's manifest (velkor-device card --compatible velkor-vm --version N) "
                             "for the trusted releases 2, 3 and 3b: writes CARD/velkor-manifest.json.sig")
    parser.add_argument("--vnc", type=int, default=0, help="VNC display number (0 is port 5900)")
    parser.add_argument("--device-tool", type=pathlib.Path,
                        default=REPOSITORY / "build" / "tools" / "velkor-device" / "velkor-device",
                        help="the velkor-device that makes the boot loader's environment")
    arguments = parser.parse_args()

    disks = DeviceDisks(tempfile.mkdtemp(prefix="velkor-device-"), arguments.device_tool, arguments.image)
    if arguments.sign:
        CardSigner(arguments.image, disks.folder / "signer").sign(arguments.card)
    disks.insert_card(arguments.card)
    boot_loader = BootLoader(disks.environment_copies)
    accelerator = usable_accelerator(arguments.image / "vmlinuz")
    print(f"Connect a VNC viewer to 127.0.0.1:{5900 + arguments.vnc}.")
    reason = "guest-reset"
    boots = 0
    try:
        while reason == "guest-reset":
            boots += 1
            reason = boot_once(arguments, disks, boot_loader, accelerator, f"boot{boots}")
    except NoSlotLeft as stop:
        reason = str(stop)
    except KeyboardInterrupt:
        reason = "interrupted"
    print(f"The machine stopped ({reason}); its disks are in {disks.folder}.")


def boot_once(arguments, disks, boot_loader, accelerator, name):
    slot = boot_loader.boot()
    machine = Machine(arguments.image, disks, accelerator, name, slot, vnc=arguments.vnc)
    print(f"Booting slot {slot} ({boot_loader.environment()} after the boot loader's try); the console is "
          f"{machine.console_path}:\n{' '.join(machine.command_line())}")
    with machine:
        reason = None
        while reason is None:
            reason = machine.wait_until_off(3600)
    return reason


if __name__ == "__main__":
    main()
