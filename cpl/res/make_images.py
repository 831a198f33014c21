#!/usr/bin/env python3
"""Draws the control panel's icons and command-bar bitmap.

The images are plain geometric shapes, rendered with 4x4 supersampling into
32-bit icons (16, 32 and 48 pixels; alpha plus the AND mask older code paths
read) and one 24-bit toolbar strip. Run it from anywhere; it writes next to
itself. The generated files are committed, so a build never needs Python.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4


def rgba(hex_colour, alpha=255):
    value = int(hex_colour.lstrip("#"), 16)
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255, alpha)


# Shapes: each is (colour, inside(x, y)) with x, y in 0..1 from the top left.
def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def diamond(cx, cy, r):
    return lambda x, y: abs(x - cx) + abs(y - cy) <= r


def render(shapes, size):
    """Composites the shapes (later ones on top) into size x size RGBA."""
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for fill, inside in shapes:
                        if inside(x, y):
                            colour = fill
                    if colour:
                        a = colour[3] / 255.0
                        for i in range(3):
                            acc[i] += colour[i] * a
                        acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3] > 0:
                line.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(alpha * 255)),))
            else:
                line.append((0, 0, 0, 0))
        pixels.append(line)
    return pixels


def icon_image(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(struct.pack("BBBB", p[2], p[1], p[0], p[3])
                      for row in reversed(pixels) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for col, p in enumerate(row):
            if p[3] == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(bits)
    return header + colour + mask


def write_icon(name, shapes, sizes=(16, 32, 48)):
    images = [icon_image(render(shapes, s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(images))


def write_toolbar(name, strips, width=16, height=15, background=(192, 192, 192)):
    """One 24-bit bitmap with the images side by side on the grey the
    command bar treats as transparent."""
    full = len(strips) * width
    stride = (full * 3 + 3) & ~3
    rows = []
    images = [render(shapes, width) for shapes in strips]
    for row in range(height):
        line = bytearray()
        for image in images:
            for col in range(width):
                p = image[row][col]
                a = p[3] / 255.0
                mixed = [int(round(p[i] * a + background[i] * (1 - a))) for i in range(3)]
                line += bytes((mixed[2], mixed[1], mixed[0]))
        line += bytes(stride - len(line))
        rows.append(bytes(line))
    bits = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, full, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + info + bits)


BLUE, WHITE, DARK, GREY = rgba("#2458a6"), rgba("#ffffff"), rgba("#30343a"), rgba("#9aa3ad")
GREEN, YELLOW, RED = rgba("#2fa84f"), rgba("#e8c12c"), rgba("#c83a32")


def waveform():
    """Blue tile with a white bar-graph waveform: the application."""
    shapes = [(BLUE, rounded_rect(0.04, 0.04, 0.96, 0.96, 0.18))]
    for i in range(7):
        h = 0.12 + 0.30 * abs(math.sin(0.9 * i + 0.6))
        x = 0.16 + i * 0.1
        shapes.append((WHITE, rect(x, 0.5 - h, x + 0.06, 0.5 + h)))
    return shapes


def chip():
    """A chip with pins: the driver."""
    shapes = [(DARK, rounded_rect(0.22, 0.22, 0.78, 0.78, 0.06))]
    for i in range(4):
        p = 0.28 + i * 0.13
        shapes += [(GREY, rect(p, 0.08, p + 0.07, 0.22)), (GREY, rect(p, 0.78, p + 0.07, 0.92)),
                   (GREY, rect(0.08, p, 0.22, p + 0.07)), (GREY, rect(0.78, p, 0.92, p + 0.07))]
    shapes.append((BLUE, circle(0.5, 0.5, 0.1)))
    return shapes


def meters():
    """Three level meters: the channel lists."""
    shapes = []
    for i, h in enumerate((0.55, 0.8, 0.4)):
        x = 0.12 + i * 0.28
        shapes.append((GREY, rect(x, 0.08, x + 0.2, 0.92)))
        shapes.append((GREEN, rect(x, 0.92 - h, x + 0.2, 0.92)))
        if h > 0.7:
            shapes.append((YELLOW, rect(x, 0.92 - h, x + 0.2, 0.92 - h + 0.15)))
    return shapes


def interface_box():
    """An audio interface with two knobs: the devices."""
    return [(DARK, rounded_rect(0.06, 0.24, 0.94, 0.76, 0.08)),
            (WHITE, ring(0.3, 0.5, 0.15, 0.06)), (WHITE, ring(0.62, 0.5, 0.15, 0.06)),
            (GREEN, circle(0.85, 0.36, 0.05))]


def spare_dot():
    return [(rgba("#e08a1e"), circle(0.5, 0.5, 0.36))]


def spare_diamond():
    return [(rgba("#7a4fb0"), diamond(0.5, 0.5, 0.4))]


def sliders():
    """Two faders on their tracks: the settings."""
    return [(GREY, rect(0.1, 0.27, 0.9, 0.35)), (GREY, rect(0.1, 0.65, 0.9, 0.73)),
            (BLUE, rounded_rect(0.56, 0.14, 0.72, 0.48, 0.04)),
            (BLUE, rounded_rect(0.24, 0.52, 0.4, 0.86, 0.04))]


def exit_cross():
    return [(RED, rounded_rect(0.1, 0.1, 0.9, 0.9, 0.14)),
            (WHITE, lambda x, y: abs(x - y) < 0.08 and 0.25 < x < 0.75),
            (WHITE, lambda x, y: abs(x + y - 1) < 0.08 and 0.25 < x < 0.75)]


def info_mark():
    return [(BLUE, circle(0.5, 0.5, 0.42)), (WHITE, circle(0.5, 0.28, 0.08)),
            (WHITE, rect(0.43, 0.42, 0.57, 0.78))]


if __name__ == "__main__":
    write_icon("quillocpl.ico", waveform())
    write_icon("tree_driver.ico", chip(), (16, 32))
    write_icon("tree_channels.ico", meters(), (16, 32))
    write_icon("tree_devices.ico", interface_box(), (16, 32))
    write_icon("tree_spare1.ico", spare_dot(), (16, 32))
    write_icon("tree_spare2.ico", spare_diamond(), (16, 32))
    write_icon("tree_settings.ico", sliders(), (16, 32))
    # Order of the images = order of the buttons in the TOOLBAR resource.
    write_toolbar("toolbar.bmp", [exit_cross(), info_mark()])
