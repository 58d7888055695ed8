#!/usr/bin/python3
"""Checks the game's asset pack (the folder holding GameSkin/ and builtin/):

  - every file is there, pictures at the sizes the game window lays them out at;
  - BMPs are 24-bit, uncompressed and bottom-up;
  - the wheel: the disc (2.png) is transparent outside and opaque inside; on each of
    the eight sectors' centre lines (sector s at 45*(s-1) degrees clockwise from 12
    o'clock about the turning centre) one colour covers two radii and both sides of the
    line, the neighbours' colours begin past the 22.5-degree edges, and the eight
    colours differ clearly;
  - the pointer (3.png) points at the turning centre's column and rests on the rim;
  - the sounds are PCM WAV files, audible, not clipped, and the two loops run from
    their last sample into their first without a jump;
  - skin.ini has its five sections, names pictures that exist and keeps every piece
    inside its picture.

Usage: check_assets.py PACK_DIR. Prints each fault and exits 1 when there is one."""
import math
import os
import struct
import sys

from PIL import Image

AREA = (550, 490)
CENTRE = (275, 245)  # the game turns 2.png about its integer half-size

PICTURES = {
    "GameSkin/Wheel/png/1.png": AREA,
    "GameSkin/Wheel/png/2.png": AREA,
    "GameSkin/Wheel/png/3.png": AREA,
    "GameSkin/Wheel/png/img_bottom.jpg": (550, 50),
    "GameSkin/Wheel/png/img_Right.jpg": (200, 540),
    "GameSkin/Wheel/png/start.bmp": (94, 39),
    "GameSkin/Wheel/png/end.bmp": (94, 39),
    "builtin/ImgStart.bmp": (94, 39),
    "builtin/ImgExit.bmp": (93, 39),
    "builtin/ImageList1.bmp": None,  # any small size
}
# (shortest, longest) in seconds, and whether the sound is played as a loop
SOUNDS = {
    "GameSkin/Wheel/sound/back.wav": (2.0, 12.0, True),
    "GameSkin/Wheel/sound/Wheel.wav": (0.3, 1.0, True),
    "GameSkin/Wheel/sound/over_1.wav": (0.4, 2.5, False),
}
SKIN_DIR = "GameSkin/Wheel/FormSkin"
SECTIONS = ("VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS")
REQUIRED_PIECES = ("caption", "border.left", "border.right", "border.bottom", "sysbutton.normal",
                   "minbutton.normal", "checkbox.unchecked", "checkbox.checked", "button.normal")


class Check:
    def __init__(self, root):
        self.root = root
        self.faults = []
        self.passed = 0

    def path(self, rel):
        return os.path.join(self.root, *rel.split("/"))

    def expect(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.faults.append(what)
        return ok


def distance(a, b):
    return math.sqrt(sum((int(x) - int(y)) ** 2 for x, y in zip(a[:3], b[:3])))


# ---------------------------------------------------------------- BMP


def bmp_header(data):
    """(width, height, bits, compression) of a BMP with a BITMAPINFOHEADER, or None."""
    if len(data) < 54 or data[:2] != b"BM":
        return None
    size, = struct.unpack_from("<I", data, 14)
    if size < 40:
        return None
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    return width, height, bits, compression


def check_bmp(c, rel, data):
    h = bmp_header(data)
    if not c.expect(h is not None, "%s: not a BMP with an info header" % rel):
        return
    width, height, bits, compression = h
    c.expect(bits == 24 and compression == 0, "%s: %d-bit, compression %d (want 24-bit uncompressed)"
             % (rel, bits, compression))
    c.expect(height > 0, "%s: rows stored top-down (want bottom-up)" % rel)
    offset, = struct.unpack_from("<I", data, 10)
    row = (width * 3 + 3) & ~3
    c.expect(len(data) >= offset + row * abs(height), "%s: pixel data shorter than %d rows" % (rel, abs(height)))


# ---------------------------------------------------------------- pictures


def check_pictures(c):
    images = {}
    for rel, size in PICTURES.items():
        p = c.path(rel)
        if not c.expect(os.path.isfile(p), "%s: missing" % rel):
            continue
        if rel.endswith(".bmp"):
            with open(p, "rb") as f:
                check_bmp(c, rel, f.read())
        try:
            img = Image.open(p)
            img.load()
        except Exception as e:  # any unreadable picture is a fault to report
            c.expect(False, "%s: cannot be read (%s)" % (rel, e))
            continue
        if size is not None:
            c.expect(img.size == size, "%s: %dx%d, want %dx%d" % (rel, img.size[0], img.size[1], size[0], size[1]))
        images[rel] = img
    return images


def check_backdrop(c, img):
    if img.mode in ("RGBA", "LA") or "transparency" in img.info:
        lo, _ = img.convert("RGBA").getchannel("A").getextrema()
        c.expect(lo == 255, "1.png: has see-through pixels (the backdrop must be opaque)")


def disc_radius(alpha):
    """The disc's radius: the farthest opaque point below the centre."""
    cx, cy = CENTRE
    r = 0
    while cy + r + 1 < alpha.size[1] and alpha.getpixel((cx, cy + r + 1)) >= 128:
        r += 1
    return r


def at(img, radius, deg):
    """The pixel at `radius`, `deg` clockwise from 12 o'clock about the centre."""
    a = math.radians(deg)
    x = CENTRE[0] + radius * math.sin(a)
    y = CENTRE[1] - radius * math.cos(a)
    return img.getpixel((int(round(x)), int(round(y))))


def check_disc(c, img):
    if not c.expect(img.mode == "RGBA", "2.png: mode %s, want RGBA with alpha" % img.mode):
        return
    alpha = img.getchannel("A")
    w, h = img.size
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        c.expect(alpha.getpixel((x, y)) == 0, "2.png: corner (%d,%d) not transparent" % (x, y))
    c.expect(alpha.getpixel(CENTRE) == 255, "2.png: the centre is not opaque")
    radius = disc_radius(alpha)
    if not c.expect(150 <= radius <= 240, "2.png: disc radius %d below the centre (want 150..240)" % radius):
        return
    # nothing of the disc beyond its rim, all the way round
    stray = [d for d in range(360) if at(alpha, radius + 3, d) != 0]
    c.expect(not stray, "2.png: not transparent just outside the disc at %s degrees" % stray[:8])
    holes = [d for d in range(360) if at(alpha, radius * 0.5, d) != 255]
    c.expect(not holes, "2.png: see-through inside the disc at %s degrees" % holes[:8])

    r_in, r_out = radius * 0.6, radius * 0.72
    colours = []
    for s in range(1, 9):
        mid = 45 * (s - 1)
        samples = {
            "%.0f%% radius" % 60: at(img, r_in, mid),
            "%.0f%% radius" % 72: at(img, r_out, mid),
            "18 degrees anticlockwise": at(img, r_out, mid - 18),
            "18 degrees clockwise": at(img, r_out, mid + 18),
        }
        own = samples["60% radius"]
        colours.append(own)
        for where, px in samples.items():
            c.expect(distance(px, own) <= 12,
                     "sector %d: colour %s at %s differs from %s on its centre line" % (s, px[:3], where, own[:3]))
    for s in range(8):
        mid = 45 * s
        after = at(img, r_out, mid + 27)
        before = at(img, r_out, mid - 27)
        c.expect(distance(after, colours[(s + 1) % 8]) <= 12,
                 "sector %d: 27 degrees clockwise of it is %s, not sector %d's colour %s"
                 % (s + 1, after[:3], (s + 1) % 8 + 1, colours[(s + 1) % 8][:3]))
        c.expect(distance(before, colours[(s - 1) % 8]) <= 12,
                 "sector %d: 27 degrees anticlockwise of it is %s, not sector %d's colour %s"
                 % (s + 1, before[:3], (s - 1) % 8 + 1, colours[(s - 1) % 8][:3]))
    for i in range(8):
        for j in range(i + 1, 8):
            c.expect(distance(colours[i], colours[j]) > 40, "sectors %d and %d look alike: %s and %s"
                     % (i + 1, j + 1, colours[i][:3], colours[j][:3]))
    return radius


def check_pointer(c, img, radius):
    if not c.expect(img.mode == "RGBA", "3.png: mode %s, want RGBA with alpha" % img.mode):
        return
    alpha = img.getchannel("A")
    cx, cy = CENTRE
    # the pointer lies above the disc's inner part; the hub cap may cover the centre
    band = cy - radius // 2
    opaque = [(x, y) for y in range(band) for x in range(img.size[0]) if alpha.getpixel((x, y)) >= 128]
    if not c.expect(opaque, "3.png: no pointer above the disc"):
        return
    tip_y = max(y for _, y in opaque)
    tip_cols = [x for x, y in opaque if y == tip_y]
    tip_x = sum(tip_cols) / len(tip_cols)
    c.expect(abs(tip_x - cx) <= 0.5, "3.png: the pointer's tip is at column %.1f, want %d" % (tip_x, cx))
    left, right = min(x for x, _ in opaque), max(x for x, _ in opaque)
    c.expect(abs((left + right) / 2 - cx) <= 0.5, "3.png: the pointer spans columns %d..%d, not centred on %d"
             % (left, right, cx))
    top_of_disc = cy - radius
    c.expect(top_of_disc - 2 <= tip_y <= top_of_disc + radius * 0.12,
             "3.png: the tip is at row %d, not on the disc's rim (its top is row %d)" % (tip_y, top_of_disc))
    covered = [d for d in range(0, 360, 3) if at(alpha, radius * 0.6, d) != 0]
    c.expect(not covered, "3.png: covers the sectors at %s degrees" % covered[:8])


def check_mask_glyph(c, img):
    rgb = img.convert("RGB")
    w, h = rgb.size
    c.expect(w <= 32 and h <= 32, "builtin/ImageList1.bmp: %dx%d, want a small glyph" % (w, h))
    c.expect(rgb.getpixel((0, 0)) == (255, 0, 255), "builtin/ImageList1.bmp: background is not magenta FF00FF")
    ink = sum(1 for px in rgb.getdata() if px != (255, 0, 255))
    c.expect(ink >= 10, "builtin/ImageList1.bmp: no glyph on the magenta")


# ---------------------------------------------------------------- sounds


def read_wav(data):
    """(channels, rate, bits, samples of the first channel) of a RIFF WAVE PCM file;
    raises ValueError saying what is wrong."""
    if len(data) < 12 or data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not a RIFF WAVE file")
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = struct.unpack_from("<4sI", data, pos)
        chunk = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", chunk)
        elif cid == b"data":
            body = chunk
        pos += 8 + size + (size & 1)
    if fmt is None or body is None:
        raise ValueError("no fmt or data chunk")
    tag, channels, rate, _, block, bits = fmt
    if tag != 1:
        raise ValueError("format tag %d, not PCM" % tag)
    if bits not in (8, 16):
        raise ValueError("%d bits per sample, want 8 or 16" % bits)
    if channels < 1 or block != channels * bits // 8:
        raise ValueError("inconsistent block size")
    count = len(body) // block
    if bits == 16:
        raw = struct.unpack("<%dh" % (count * channels), body[:count * block])
    else:
        raw = [b - 128 for b in body[:count * block]]
    return channels, rate, bits, list(raw[::channels])


def check_sound(c, rel, shortest, longest, loop):
    p = c.path(rel)
    if not c.expect(os.path.isfile(p), "%s: missing" % rel):
        return
    with open(p, "rb") as f:
        data = f.read()
    try:
        channels, rate, bits, s = read_wav(data)
    except (ValueError, struct.error) as e:
        c.expect(False, "%s: %s" % (rel, e))
        return
    c.expect(channels == 1, "%s: %d channels, want mono" % (rel, channels))
    if not c.expect(len(s) > 2 and rate > 0, "%s: no samples" % rel):
        return
    seconds = len(s) / rate
    c.expect(shortest <= seconds <= longest, "%s: %.2f s long, want %.1f..%.1f s" % (rel, seconds, shortest, longest))
    full = 32768 if bits == 16 else 128
    peak = max(abs(v) for v in s)
    rms = math.sqrt(sum(v * v for v in s) / len(s))
    c.expect(rms >= 0.01 * full, "%s: nearly silent (RMS %.4f of full scale)" % (rel, rms / full))
    c.expect(peak <= 0.9 * full, "%s: peak %.3f of full scale, too close to clipping" % (rel, peak / full))
    if loop and peak:
        # Played round and round: the first sample must follow on from the last as the
        # samples before the end follow each other.
        jump = abs(s[0] - s[-1])
        local = max(abs(s[i + 1] - s[i]) for i in list(range(16)) + list(range(len(s) - 17, len(s) - 1)))
        c.expect(jump <= max(0.02 * peak, 1.5 * local),
                 "%s: jumps by %d from its last sample to its first (peak %d, neighbouring steps up to %d)"
                 % (rel, jump, peak, local))
        predicted = 2 * s[-1] - s[-2]
        c.expect(abs(s[0] - predicted) <= 0.02 * peak,
                 "%s: the first sample %d does not continue the end (%d, %d leads to %d; peak %d)"
                 % (rel, s[0], s[-2], s[-1], predicted, peak))


# ---------------------------------------------------------------- skin.ini


def read_ini(text):
    """Sections by upper-case name, each a dict of lower-case key -> (value, line); as the
    toolkit reads them: ';' lines are comments, a value's ';' starts a comment."""
    sections, current = {}, None
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1:line.index("]")].strip().upper(), {})
        elif current is not None and line and not line.startswith(";") and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), (value.split(";", 1)[0].strip(), number))
    return sections


def check_skin(c):
    rel = SKIN_DIR + "/skin.ini"
    p = c.path(rel)
    if not c.expect(os.path.isfile(p), "%s: missing" % rel):
        return
    with open(p, "rb") as f:
        raw = f.read()
    if not c.expect(all(b < 128 for b in raw), "%s: not plain ASCII" % rel):
        return
    ini = read_ini(raw.decode("ascii"))
    for name in SECTIONS:
        c.expect(name in ini, "%s: no [%s] section" % (rel, name))
    if any(name not in ini for name in SECTIONS):
        return

    pics = []
    keys = ["picture"] + ["picture%d" % i for i in range(1, 100)]
    for key in keys:
        if key not in ini["PICTURES"]:
            break
        name, line = ini["PICTURES"][key]
        pp = os.path.join(os.path.dirname(p), name)
        if not c.expect(os.path.isfile(pp), "%s line %d: %s names %s, which is not there" % (rel, line, key, name)):
            pics.append(None)
            continue
        img = Image.open(pp)
        if name.lower().endswith(".bmp"):
            with open(pp, "rb") as f:
                check_bmp(c, SKIN_DIR + "/" + name, f.read())
        pics.append(img)
    if not c.expect(pics, "%s: names no main picture" % rel):
        return

    def colour(key):
        if key not in ini["FORMINFO"]:
            return None
        v, line = ini["FORMINFO"][key]
        ok = len(v) == 6 and all(ch in "0123456789abcdefABCDEF" for ch in v)
        c.expect(ok, "%s line %d: %s=%s is not a colour RRGGBB" % (rel, line, key, v))
        return tuple(int(v[i:i + 2], 16) for i in (0, 2, 4)) if ok else None

    for key in ("captioncolor", "captionshadowcolor", "captioninactivecolor", "bodycolor", "textcolor",
                "buttontextcolor"):
        colour(key)
    for key in ("captionheight", "borderwidth", "captiontextleft", "captionfontheight"):
        if key in ini["FORMINFO"]:
            v, line = ini["FORMINFO"][key]
            c.expect(v.isdigit(), "%s line %d: %s=%s is not a number" % (rel, line, key, v))
    body = colour("bodycolor")
    main = pics[0]
    if main is not None and body is not None and main.size[0] > 50 and main.size[1] > 50:
        panel = main.convert("RGB").getpixel((50, 50))
        c.expect(distance(panel, body) <= 30, "%s: pixel (50,50) of the main picture is %s, far from BodyColor %s"
                 % (rel, panel, body))

    seen = set()
    for section in ("SKINOBJECTS", "SKINCONTROLS"):
        for key, (value, line) in ini[section].items():
            seen.add(key)
            parts = [v.strip() for v in value.split(",")]
            where = "%s line %d: %s" % (rel, line, key)
            if not c.expect(len(parts) in (5, 9) and all(v.lstrip("-").isdigit() for v in parts),
                            "%s=%s needs picture,left,top,width,height[,four margins]" % (where, value)):
                continue
            n = [int(v) for v in parts]
            if not c.expect(0 <= n[0] < len(pics), "%s names picture %d, which the skin lacks" % (where, n[0])):
                continue
            img = pics[n[0]]
            if img is None:
                continue
            left, top, width, height = n[1:5]
            c.expect(left >= 0 and top >= 0 and width > 0 and height > 0 and left + width <= img.size[0]
                     and top + height <= img.size[1],
                     "%s: rectangle %d,%d %dx%d is not inside picture %d (%dx%d)"
                     % (where, left, top, width, height, n[0], img.size[0], img.size[1]))
            if len(n) == 9:
                ml, mt, mr, mb = n[5:]
                c.expect(min(ml, mt, mr, mb) >= 0 and ml + mr <= width and mt + mb <= height,
                         "%s: margins larger than its rectangle" % where)
    for name in REQUIRED_PIECES:
        c.expect(name in seen, "%s: has no %s piece" % (rel, name))


def main(argv):
    if len(argv) != 2:
        print("usage: check_assets.py PACK_DIR", file=sys.stderr)
        return 2
    c = Check(argv[1])
    images = check_pictures(c)
    wheel = "GameSkin/Wheel/png/"
    if wheel + "1.png" in images:
        check_backdrop(c, images[wheel + "1.png"])
    radius = None
    if wheel + "2.png" in images:
        radius = check_disc(c, images[wheel + "2.png"])
    if wheel + "3.png" in images and radius:
        check_pointer(c, images[wheel + "3.png"], radius)
    if "builtin/ImageList1.bmp" in images:
        check_mask_glyph(c, images["builtin/ImageList1.bmp"])
    for rel, (shortest, longest, loop) in SOUNDS.items():
        check_sound(c, rel, shortest, longest, loop)
    check_skin(c)
    for fault in c.faults:
        print("FAIL: " + fault)
    if c.faults:
        print("%d of %d checks failed" % (len(c.faults), len(c.faults) + c.passed))
        return 1
    print("asset pack OK: %d checks passed" % c.passed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
