"""What the virtual device's display shows, read from a screen dump in PPM (P6) form."""

ORANGE = (255, 128, 0)  # the focus frame's colour


class Screen:
    def __init__(self, width, height, pixels):
        self.width = width
        self.height = height
        self._pixels = pixels

    @classmethod
    def from_ppm(cls, data):
        fields = []
        at = 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        magic, width, height, maximum = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
        if magic != b"P6" or maximum != 255:
            raise ValueError("not an 8-bit binary PPM screen dump")
        pixels = data[at + 1:at + 1 + width * height * 3]
        if len(pixels) != width * height * 3:
            raise ValueError("the screen dump is cut short")
        return cls(width, height, pixels)

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self._pixels[at:at + 3])

    def bounds_of(self, colour, box=None):
        """The smallest (left, top, right, bottom) holding every pixel of colour inside box; None if none."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        wanted = bytes(colour)
        xs, ys = [], []
        for y in range(top, bottom):
            for x in range(left, right):
                at = (y * self.width + x) * 3
                if self._pixels[at:at + 3] == wanted:
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None
