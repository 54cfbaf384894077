#!/usr/bin/env python3
"""Draws the two animations of the screens and writes them as looping GIFs.

Run by hand after changing a drawing, from the repository root:
    python3 tools/art/make_gif.py

    ui/image/loading.gif  48x48  spinner of the loading overlay
    ui/image/delete.gif   96x96  a sheet going through a shredder

Only the standard library is used: every frame is sampled from a scene
function (colour at a point, 3x3 samples per pixel), put on a white matte
with a transparent background, quantised to one shared palette and
LZW-encoded.
"""

import math
import struct
from pathlib import Path

IMAGE_DIR = Path(__file__).resolve().parents[2] / "ui" / "image"

ACCENT = (0x1A, 0x66, 0xD9)
ACCENT_TRACK = (0xD6, 0xE4, 0xF8)
WHITE = (0xFF, 0xFF, 0xFF)

SUPERSAMPLE = 3
# Pixels covered less than this stay transparent; the rest are blended on
# white, which suits the light pages the animations sit on.
ALPHA_CUTOFF = 0.35


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


# ----------------------------------------------------------------------------
# Rendering


def render(scene, width, height, t):
    """Samples scene(x, y, t) -> (r, g, b) or None into straight RGBA pixels."""
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n for i in range(n)]
    pixels = []
    for py in range(height):
        for px in range(width):
            r = g = b = covered = 0
            for oy in offsets:
                for ox in offsets:
                    colour = scene(px + ox, py + oy, t)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        covered += 1
            if covered == 0:
                pixels.append((0, 0, 0, 0.0))
            else:
                pixels.append((r / covered, g / covered, b / covered, covered / (n * n)))
    return pixels


def flatten(pixels):
    """Blends covered pixels on the white matte; None marks a transparent one."""
    flat = []
    for r, g, b, a in pixels:
        if a < ALPHA_CUTOFF:
            flat.append(None)
        else:
            flat.append(tuple(round(c * a + 255 * (1 - a)) for c in (r, g, b)))
    return flat


# ----------------------------------------------------------------------------
# Palette


def median_cut(colour_counts, size):
    """Splits the colour set along its widest channel until `size` boxes exist."""
    boxes = [list(colour_counts.items())]
    while len(boxes) < size:
        widest, channel, spread = None, 0, -1
        for box in boxes:
            if len(box) < 2:
                continue
            for c in range(3):
                values = [colour[c] for colour, _ in box]
                if max(values) - min(values) > spread:
                    widest, channel, spread = box, c, max(values) - min(values)
        if widest is None:
            break
        widest.sort(key=lambda item: item[0][channel])
        total = sum(count for _, count in widest)
        running, cut = 0, 1
        for i, (_, count) in enumerate(widest[:-1]):
            running += count
            if running >= total / 2:
                cut = i + 1
                break
        boxes.remove(widest)
        boxes += [widest[:cut], widest[cut:]]
    palette = []
    for box in boxes:
        total = sum(count for _, count in box)
        palette.append(tuple(round(sum(colour[c] * count for colour, count in box) / total)
                             for c in range(3)))
    return palette


def index_frames(frames):
    """Maps every frame to palette indices; the last index is transparent."""
    counts = {}
    for frame in frames:
        for colour in frame:
            if colour is not None:
                counts[colour] = counts.get(colour, 0) + 1
    palette = median_cut(counts, 47)
    nearest = {}
    for colour in counts:
        nearest[colour] = min(range(len(palette)), key=lambda i: sum(
            (palette[i][c] - colour[c]) ** 2 for c in range(3)))
    transparent = len(palette)
    palette.append((0, 0, 0))
    indexed = [[transparent if colour is None else nearest[colour] for colour in frame]
               for frame in frames]
    return palette, transparent, indexed


# ----------------------------------------------------------------------------
# GIF encoding


def lzw_encode(indices, min_code_size):
    """GIF flavour of LZW: variable code width, clear code when the table is full."""
    clear = 1 << min_code_size
    end = clear + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    width = min_code_size + 1
    output = [(clear, width)]
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        output.append((table[current], width))
        if next_code == 4096:
            output.append((clear, width))
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        else:
            table[candidate] = next_code
            # The decoder widens its codes one entry later than we add them.
            if next_code == (1 << width) and width < 12:
                width += 1
            next_code += 1
        current = (index,)
    if current:
        output.append((table[current], width))
    output.append((end, width))

    data = bytearray()
    bits = bit_count = 0
    for code, code_width in output:
        bits |= code << bit_count
        bit_count += code_width
        while bit_count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            bit_count -= 8
    if bit_count:
        data.append(bits & 0xFF)
    blocks = [data[i:i + 255] for i in range(0, len(data), 255)]
    return b"".join(bytes([len(block)]) + bytes(block) for block in blocks) + b"\x00"


def write_gif(path, width, height, frames, delay_cs):
    palette, transparent, indexed = index_frames(frames)
    table_bits = max(1, math.ceil(math.log2(len(palette))))
    palette += [(0, 0, 0)] * ((1 << table_bits) - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | (table_bits - 1), 0, 0)
    out += b"".join(bytes(colour) for colour in palette)
    # Loop forever.
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    min_code_size = max(2, table_bits)
    for frame in indexed:
        # Disposal 2 clears each frame to transparent before the next one.
        out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, (2 << 2) | 1, delay_cs, transparent, 0)
        out += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0)
        out += bytes([min_code_size]) + lzw_encode(frame, min_code_size)
    out += b"\x3B"
    path.write_bytes(out)
    return len(out)


def animate(name, scene, width, height, frame_count, delay_cs):
    frames = [flatten(render(scene, width, height, i / frame_count)) for i in range(frame_count)]
    size = write_gif(IMAGE_DIR / name, width, height, frames, delay_cs)
    print(f"{name}: {width}x{height}, {frame_count} frames, {size} bytes")


# ----------------------------------------------------------------------------
# Scenes: colour at (x, y) at loop position t in [0, 1), or None for nothing.


def spinner(x, y, t):
    """An accent arc running round a pale track; the arc grows and shrinks."""
    cx = cy = 24
    radius, half_width = 17, 3.2
    dx, dy = x - cx, y - cy
    distance = math.hypot(dx, dy)
    swing = (1 - math.cos(2 * math.pi * t)) / 2
    head = 360 * t + 35 + 70 * swing
    tail = 360 * t - 35 - 70 * swing

    def on_ring():
        return abs(distance - radius) <= half_width

    def in_arc():
        angle = math.degrees(math.atan2(dy, dx))
        if on_ring() and (angle - tail) % 360 <= head - tail:
            return True
        for end in (head, tail):
            ex = cx + radius * math.cos(math.radians(end))
            ey = cy + radius * math.sin(math.radians(end))
            if math.hypot(x - ex, y - ey) <= half_width:
                return True
        return False

    if in_arc():
        return ACCENT
    if on_ring():
        return ACCENT_TRACK
    return None


SLATE_DARK = hex_colour("#334155")
SLATE = hex_colour("#475569")
SLATE_LIGHT = hex_colour("#64748b")
SLOT = hex_colour("#1e293b")
LED = hex_colour("#34d399")
PAPER = hex_colour("#ffffff")
PAPER_SHADE = hex_colour("#eef2f7")
PAPER_EDGE = hex_colour("#b6c2d1")
TEXT_LINE = hex_colour("#94a3b8")
HEADER = hex_colour("#6b9be6")

SHEET_LEFT, SHEET_WIDTH, SHEET_HEIGHT = 30, 36, 44
SHEET_PERIOD = 58          # sheet plus the gap to the next one
BODY_TOP, BODY_BOTTOM = 40, 62
SLOT_Y = 44                # where the sheet disappears into the machine
STRIP_WIDTH = 4.5
STRIP_COUNT = 8
CANVAS = 96


def sheet_colour(u, v):
    """The page being shredded, in its own coordinates (0..36 x 0..44)."""
    if not (0 <= u < SHEET_WIDTH and 0 <= v < SHEET_HEIGHT):
        return None
    if u < 1 or u >= SHEET_WIDTH - 1 or v < 1 or v >= SHEET_HEIGHT - 1:
        return PAPER_EDGE
    if 5 <= u < 20 and 5 <= v < 9:
        return HEADER
    for row, length in ((14, 26), (20, 22), (26, 26), (32, 17), (38, 24)):
        if row <= v < row + 2 and 5 <= u < 5 + length:
            return TEXT_LINE
    return PAPER


def rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return math.hypot(x - cx, y - cy) <= radius


def shredder(x, y, t):
    """Sheets follow each other into the slot and leave below as fanned strips."""
    travel = SHEET_PERIOD * t

    # The sheet above the slot, lying over the top of the machine.
    if y < SLOT_Y - 1:
        colour = sheet_colour(x - SHEET_LEFT, (y - 6 - travel) % SHEET_PERIOD)
        if colour is not None:
            return colour

    # The machine, hiding what passes through it.
    if rounded_rect(x, y, 10, BODY_TOP, 86, BODY_BOTTOM, 5):
        if abs(y - SLOT_Y) < 1.6 and 18 <= x < 78:
            return SLOT
        if math.hypot(x - 77, y - 53) <= 2.2:
            return LED
        if y < SLOT_Y + 3:
            return SLATE_LIGHT
        return SLATE if y < BODY_BOTTOM - 4 else SLATE_DARK

    # Strips below the machine, spreading a little as they fall.
    if y >= BODY_BOTTOM:
        fall = y - BODY_BOTTOM
        centre = (STRIP_COUNT - 1) / 2
        for strip in range(STRIP_COUNT):
            spread = (strip - centre) * 0.06 * fall
            left = SHEET_LEFT + strip * STRIP_WIDTH + spread
            u = x - left
            if not (0.4 <= u < STRIP_WIDTH - 0.4):
                continue
            # Neighbouring strips lag each other slightly.
            lag = 1.5 if strip % 2 else 0
            v = (y - 6 - travel - lag) % SHEET_PERIOD
            colour = sheet_colour(strip * STRIP_WIDTH + u, v)
            if colour is None:
                return None
            if u < 0.9 or u >= STRIP_WIDTH - 0.9:
                return PAPER_EDGE
            return PAPER_SHADE if colour == PAPER and strip % 2 else colour
    return None


if __name__ == "__main__":
    animate("loading.gif", spinner, 48, 48, frame_count=30, delay_cs=4)
    animate("delete.gif", shredder, CANVAS, CANVAS, frame_count=24, delay_cs=6)
