"""U-Boot's redundant environment, read and written from its documented on-disk format alone.

Each copy is `size` bytes: a CRC32 (little endian) of the rest of the copy after the flags byte, a
flags byte that counts the copy's stores (255 wraps to 0), then the variables as `name=value`
strings, each ended by a NUL, the list ended by a second NUL, and the remainder padding. U-Boot
takes a copy whose CRC is right; of two, the one whose flags byte is one store ahead, 0 being ahead
of 255, and the first copy when they are equal. Neither copy right means U-Boot's built-in default.

This reader shares no code with libubootenv, which Velkor writes the environment with, so the tests
judge what Velkor stored by something independent of it.
"""

import struct
import zlib

HEADER_BYTES = 5  # CRC32 and the flags byte


def parse_copy(data):
    """The variables of one copy's bytes and its flags byte, or None when its CRC is wrong."""
    if len(data) <= HEADER_BYTES:
        return None
    (crc,) = struct.unpack_from("<I", data, 0)
    body = data[HEADER_BYTES:]
    if zlib.crc32(body) != crc:
        return None
    variables = {}
    for entry in body.split(b"\0\0", 1)[0].split(b"\0"):
        name, equals, value = entry.partition(b"=")
        if equals:
            variables[name.decode("latin-1")] = value.decode("latin-1")
    return variables, data[4]


def newer(first_flags, second_flags):
    """True when the second copy is the newer one: one store ahead, 0 after 255."""
    if first_flags == 255 and second_flags == 0:
        return True
    if first_flags == 0 and second_flags == 255:
        return False
    return second_flags > first_flags


def active(first, second):
    """The index (0 or 1) of the copy U-Boot loads of two parsed copies, or None when neither is right."""
    if first is None or second is None:
        return None if first is None and second is None else (0 if second is None else 1)
    return 1 if newer(first[1], second[1]) else 0


def choose(first, second):
    """The variables U-Boot uses of two parsed copies (each None or (variables, flags)), or None."""
    index = active(first, second)
    return None if index is None else (first, second)[index][0]


def read_copy(path, offset, size):
    with open(path, "rb") as stream:
        stream.seek(offset)
        return stream.read(size)


def read_environment(copies):
    """copies: two (path, offset, size). The variables U-Boot would load, or None for its default."""
    return choose(*(parse_copy(read_copy(*copy)) for copy in copies))


def copy_bytes(variables, flags, size):
    """One copy of `size` bytes holding `variables` (a dict, in its order) with that flags byte."""
    text = b"".join(f"{name}={value}".encode("latin-1") + b"\0" for name, value in variables.items()) + b"\0"
    if len(text) > size - HEADER_BYTES:
        raise ValueError(f"{len(text)} bytes of variables do not fit a copy of {size} bytes")
    body = text + b"\0" * (size - HEADER_BYTES - len(text))
    return struct.pack("<IB", zlib.crc32(body), flags) + body


def write_copy(path, offset, size, data):
    with open(path, "r+b") as stream:
        stream.seek(offset)
        stream.write(data[:size])


def save_environment(copies, variables):
    """Stores variables as U-Boot's saveenv does: into the copy it did not load, one store ahead of the
    loaded one, and sorted by name as its export is. False when neither copy is right (U-Boot would be
    on its default environment, which this harness never saves)."""
    parsed = [parse_copy(read_copy(*copy)) for copy in copies]
    loaded = active(*parsed)
    if loaded is None:
        return False
    path, offset, size = copies[1 - loaded]
    flags = (parsed[loaded][1] + 1) % 256
    write_copy(path, offset, size, copy_bytes(dict(sorted(variables.items())), flags, size))
    return True


def as_text(variables):
    """The variables as `env import -t` takes them: one `name=value` a line."""
    return "".join(f"{name}={value}\n" for name, value in variables.items())
