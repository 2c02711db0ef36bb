"""Chooses KVM when it really runs guests here, emulation (TCG) otherwise."""

import os
import subprocess
import tempfile
import time

# A kernel that runs prints its banner within a second or two under KVM.
PROBE_SECONDS = 15


def usable_accelerator(kernel, qemu="qemu-system-x86_64"):
    forced = os.environ.get("VELKOR_VM_ACCEL")
    if forced:
        return forced
    if not os.access("/dev/kvm", os.R_OK | os.W_OK):
        return "tcg"
    # /dev/kvm can open while guests still do not run: boot the device's kernel and watch for its banner.
    with tempfile.TemporaryDirectory() as folder:
        console = os.path.join(folder, "console.log")
        probe = subprocess.Popen(
            [qemu, "-accel", "kvm", "-nodefaults", "-display", "none", "-no-reboot", "-m", "256",
             "-kernel", str(kernel), "-append", "console=ttyS0 panic=-1", "-serial", f"file:{console}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            return "kvm" if _banner_seen(console, probe) else "tcg"
        finally:
            probe.kill()
            probe.wait()


def _banner_seen(console, probe):
    deadline = time.monotonic() + PROBE_SECONDS
    while time.monotonic() < deadline:
        if os.path.exists(console):
            with open(console, "rb") as text:
                if b"Linux version" in text.read():
                    return True
        if probe.poll() is not None:
            return False
        time.sleep(0.2)
    return False
