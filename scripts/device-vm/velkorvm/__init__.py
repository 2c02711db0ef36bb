"""The virtual device that Velkor is tried on: its image, disks, machine and screen."""
