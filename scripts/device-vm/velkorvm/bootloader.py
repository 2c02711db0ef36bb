"""The boot loader's part, played by the host before each boot.

QEMU starts the kernel itself (-kernel), so no U-Boot runs in front of it. The host does what the
boot script in docs/target.md does, on the environment disk through fw_printenv and fw_setenv: walk
BOOT_ORDER, take a try from the first slot that has one left, save the environment, and name the
slot on the kernel command line.
"""

import subprocess
import tempfile

SLOTS = ("A", "B")
DEFAULT_ORDER = "A B"
ORDER_VARIABLE = "BOOT_ORDER"
# The host's own spelling of what the device reads from /proc/cmdline.
SLOT_PARAMETER = "velkor.slot="


class NoSlotLeft(RuntimeError):
    """No slot has tries left: the boot script stops at its prompt and nothing boots."""


def tries_variable(slot):
    return f"BOOT_{slot}_LEFT"


def slot_argument(slot):
    return f"{SLOT_PARAMETER}{slot}"


def choose_slot(variables):
    """The slot the boot script boots with these variables and the variables it saves, or None when no
    slot has tries left (it then saves nothing)."""
    order = variables.get(ORDER_VARIABLE) or DEFAULT_ORDER
    for slot in order.split():
        name = tries_variable(slot)
        left = _tries(variables.get(name))
        if slot in SLOTS and left > 0:
            saved = {name: str(left - 1)}
            if not variables.get(ORDER_VARIABLE):
                saved[ORDER_VARIABLE] = order
            return slot, saved
    return None


def _tries(text):
    """A count of tries as U-Boot's test reads it; anything that is not a number counts as none."""
    try:
        return int(text, 16) if text.lower().startswith("0x") else int(text)
    except (AttributeError, ValueError):
        return 0


class BootLoader:
    """The boot loader of one device, whose environment fw_config (an fw_env.config) locates."""

    def __init__(self, fw_config):
        self.fw_config = fw_config

    def environment(self):
        """The environment's variables as fw_printenv reads them."""
        text = subprocess.run(["fw_printenv", "-c", str(self.fw_config)], check=True, capture_output=True,
                              text=True).stdout
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def boot(self):
        """Takes a try as the boot script does; the slot to boot. Raises NoSlotLeft when none has tries."""
        variables = self.environment()
        choice = choose_slot(variables)
        if choice is None:
            raise NoSlotLeft(f"no slot has tries left ({variables}): the boot loader stops for recovery")
        slot, saved = choice
        # One fw_setenv stores every change at once, as the script's one saveenv does.
        with tempfile.NamedTemporaryFile("w", suffix=".env-script") as script:
            script.writelines(f"{name}={value}\n" for name, value in saved.items())
            script.flush()
            subprocess.run(["fw_setenv", "-c", str(self.fw_config), "-s", script.name], check=True,
                           capture_output=True)
        # fw_setenv answers 0 even for a script line it could not take: read the store back.
        stored = self.environment()
        if any(stored.get(name) != value for name, value in saved.items()):
            raise RuntimeError(f"fw_setenv did not store {saved}: the environment holds {stored}")
        return slot
