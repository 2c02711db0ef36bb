"""The boot loader's part, played by the host before each boot.

QEMU starts the kernel itself (-kernel), so no U-Boot runs in front of it. The host decides as the
shipped boot script (examples/velkor-boot.cmd) does, reading and storing the environment disk with
the independent reader of ubootenv (never libubootenv, which Velkor writes with): BOOT_ORDER exactly
"A B" or "B A", each count one decimal digit, nothing defaulted; the first slot of the order with a
try left loses one, the environment is stored, and only then is that slot booted.
"""

from . import ubootenv

SLOTS = ("A", "B")
ORDER_VARIABLE = "BOOT_ORDER"
ORDERS = ("A B", "B A")
DIGITS = "0123456789"
# The host's own spelling of what the device reads from /proc/cmdline.
SLOT_PARAMETER = "velkor.slot="


class NoSlotLeft(RuntimeError):
    """The boot script boots nothing: stopped for recovery, the environment unchanged."""


def tries_variable(slot):
    return f"BOOT_{slot}_LEFT"


def slot_argument(slot):
    return f"{SLOT_PARAMETER}{slot}"


def choose_slot(variables):
    """The slot the boot script boots with these variables and the variables it changes, or None when
    it boots nothing (a malformed order or count, or no try left): it then stores nothing."""
    order = variables.get(ORDER_VARIABLE)
    counts = {slot: variables.get(tries_variable(slot)) for slot in SLOTS}
    if order not in ORDERS or any(count is None or len(count) != 1 or count not in DIGITS
                                  for count in counts.values()):
        return None
    for slot in order.split():
        if counts[slot] != "0":
            return slot, {tries_variable(slot): str(int(counts[slot]) - 1)}
    return None


class BootLoader:
    """The boot loader of one device, whose environment lies in copies: two (path, offset, size)."""

    def __init__(self, copies):
        self.copies = copies

    def environment(self):
        """The variables U-Boot would load; None when neither copy is right."""
        return ubootenv.read_environment(self.copies)

    def boot(self):
        """Takes a try as the boot script does; the slot to boot. Raises NoSlotLeft when it boots nothing."""
        variables = self.environment() or {}
        choice = choose_slot(variables)
        if choice is None:
            raise NoSlotLeft(f"no slot can boot ({variables}): the boot loader stops for recovery")
        slot, changed = choice
        if not ubootenv.save_environment(self.copies, {**variables, **changed}):
            raise NoSlotLeft("the environment cannot be stored: the boot loader stops for recovery")
        return slot
