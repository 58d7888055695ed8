#!/usr/bin/python3
"""Draws and synthesises the game's default asset pack under assets/gyrelot/:

  GameSkin/Wheel/FormSkin/skin.ini    the window skin description
  GameSkin/Wheel/FormSkin/frame.bmp   caption, borders and panel colour (24-bit BMP)
  GameSkin/Wheel/FormSkin/parts.png   caption buttons, loudspeaker check box, push button
  GameSkin/Wheel/png/1.png            550 x 490 backdrop of the wheel area
  GameSkin/Wheel/png/2.png            550 x 490 wheel disc (centre 275,245; turned by the game)
  GameSkin/Wheel/png/3.png            550 x 490 pointer and hub cap (not turned)
  GameSkin/Wheel/png/img_bottom.jpg   550 x 50 strip under the wheel
  GameSkin/Wheel/png/img_Right.jpg    200 x 540 right-hand panel
  GameSkin/Wheel/png/start.bmp        94 x 39 start button face, "开始"
  GameSkin/Wheel/png/end.bmp          94 x 39 the same button while a spin runs, "停止"
  GameSkin/Wheel/sound/back.wav       calm background loop
  GameSkin/Wheel/sound/Wheel.wav      ticking loop while the wheel turns
  GameSkin/Wheel/sound/over_1.wav     chime when the wheel stops
  builtin/ImgStart.bmp                94 x 39 start button face compiled into the program
  builtin/ImgExit.bmp                 93 x 39 exit button face, "退出"
  builtin/ImageList1.bmp              20 x 20 music note on magenta (the mask colour)

Run it again after changing the drawing or the sounds:

  /usr/bin/python3 assets/generate_gyrelot_assets.py

It needs Debian's python3-pil and the font of fonts-wqy-microhei. The output is
deterministic (no time stamps, seeded noise), so an unchanged drawing rewrites
byte-identical files. The files are kept in the repository so the build needs no Python.

Pictures are drawn at SCALE times their size and reduced, which gives every edge and
every text anti-aliasing."""
import math
import os
import random
import struct
import wave

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "gyrelot")
FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SCALE = 4

# The wheel area, and the disc's centre: the game turns 2.png about its integer
# half-size, so the disc is centred on pixel (275, 245).
AREA_W, AREA_H = 550, 490
CX, CY = 275, 245
SECTOR_R = 200  # the coloured sectors end here
RIM_R = 214  # the gold rim around them; nothing of the disc lies beyond
POINTER_TIP_Y = 47  # rests on the rim, its point just touching the sectors

# Sector s (1..8) is centred 45*(s-1) degrees clockwise from 12 o'clock and shows the
# server's default prize for it.
SECTOR_PRIZES = [0, 5, 10, 20, 50, 100, 200, 500]
SECTOR_COLOURS = [
    (214, 48, 52),  # red
    (244, 142, 30),  # orange
    (247, 206, 52),  # yellow
    (78, 178, 62),  # green
    (24, 168, 196),  # teal
    (46, 96, 208),  # blue
    (134, 70, 200),  # purple
    (222, 58, 148),  # pink
]

# Theme colours.
GOLD_LIGHT = (255, 238, 170)
GOLD = (238, 192, 84)
GOLD_MID = (206, 150, 48)
GOLD_DARK = (122, 82, 22)
FELT_LIGHT = (26, 110, 56)
FELT = (12, 70, 34)
FELT_DARK = (4, 34, 16)
FIELD = (3, 26, 12)  # calm dark fields the program writes on
PANE = (0, 64, 0)  # the message pane's own background
CYAN = (0, 234, 255)
BODY = (16, 48, 28)  # skinned panels, message boxes and dialogs
MAGENTA = (255, 0, 255)


# ---------------------------------------------------------------- small helpers


def font(px):
    return ImageFont.truetype(FONT_FILE, int(round(px)), index=0)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def scaled(c, k):
    return tuple(max(0, min(255, int(round(v * k)))) for v in c[:3])


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


def canvas(w, h, fill=(0, 0, 0, 0)):
    """A transparent drawing surface SCALE times the size of a w x h picture."""
    return Image.new("RGBA", (w * SCALE, h * SCALE), fill)


def reduce(img):
    """The SCALE-times picture at its real size; box filtering gives exact coverage
    anti-aliasing and no ringing around transparent edges."""
    w, h = img.size
    return img.resize((w // SCALE, h // SCALE), Image.Resampling.BOX)


def over(base, layer, x=0, y=0):
    """`layer` composited over `base` at (x, y); parts outside `base` are cut off."""
    full = Image.new("RGBA", base.size, (0, 0, 0, 0))
    full.paste(layer, (int(round(x)), int(round(y))))
    return Image.alpha_composite(base, full)


def over_centred(base, layer, cx, cy):
    return over(base, layer, cx - layer.size[0] / 2, cy - layer.size[1] / 2)


def vgradient(w, h, stops):
    """A w x h RGBA picture shaded top to bottom through `stops` [(t, colour), ...]."""
    img = Image.new("RGBA", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t0 <= t <= t1:
                c = mix(c0, c1, (t - t0) / max(1e-9, t1 - t0))
                break
        d.line([(0, y), (w, y)], fill=rgba(c[:3], c[3] if len(c) > 3 else 255))
    return img


def shape_fill(mask, fill):
    """`fill` (a colour or a picture of the mask's size) wherever `mask` covers."""
    if isinstance(fill, Image.Image):
        src = fill
    else:
        src = Image.new("RGBA", mask.size, rgba(fill))
    out = Image.new("RGBA", mask.size, (0, 0, 0, 0))
    out.paste(src, (0, 0), mask)
    return out


def mask_of(size, draw_fn):
    m = Image.new("L", size, 0)
    draw_fn(ImageDraw.Draw(m))
    return m


def text_image(text, px, fill, outline=None, outline_px=0.0, bold_px=0.0, pad=None):
    """Text drawn at SCALE times `px` on a transparent picture whose centre is the centre
    of the ink. `fill` is a colour or a list of gradient stops (top to bottom);
    `outline` a colour drawn `outline_px` (real pixels) around the glyphs."""
    f = font(px * SCALE)
    bold = int(round(bold_px * SCALE))
    ring = bold + int(round(outline_px * SCALE))
    left, top, right, bottom = f.getbbox(text, anchor="ls", stroke_width=ring)
    if pad is None:
        pad = 2 * SCALE
    w, h = right - left + 2 * pad, bottom - top + 2 * pad
    origin = (pad - left, pad - top)
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    if outline is not None and ring > bold:
        m = mask_of((w, h), lambda d: d.text(origin, text, font=f, fill=255, anchor="ls",
                                            stroke_width=ring, stroke_fill=255))
        img = Image.alpha_composite(img, shape_fill(m, outline))
    m = mask_of((w, h), lambda d: d.text(origin, text, font=f, fill=255, anchor="ls",
                                        stroke_width=bold, stroke_fill=255))
    if isinstance(fill, list):
        # the gradient runs over the ink's own height
        ink = m.getbbox() or (0, 0, w, h)
        grad = Image.new("RGBA", (w, h), rgba(fill[-1][1]))
        grad.paste(vgradient(w, ink[3] - ink[1], fill), (0, ink[1]))
        top_row = Image.new("RGBA", (w, ink[1]), rgba(fill[0][1])) if ink[1] > 0 else None
        if top_row:
            grad.paste(top_row, (0, 0))
        img = Image.alpha_composite(img, shape_fill(m, grad))
    else:
        img = Image.alpha_composite(img, shape_fill(m, fill))
    return img


def soft_shadow(layer, radius_px, alpha, colour=(0, 0, 0)):
    """A blurred dark copy of `layer`'s coverage (SCALE-times pictures)."""
    a = layer.getchannel("A").filter(ImageFilter.GaussianBlur(radius_px * SCALE))
    a = a.point(lambda v: v * alpha // 255)
    sh = Image.new("RGBA", layer.size, rgba(colour, 0))
    sh.putalpha(a)
    return sh


def felt(w, h, top, bottom, seed, grain=3.0):
    """Real-size felt: a vertical shade with a fine deterministic grain."""
    rnd = random.Random(seed)
    px = []
    for y in range(h):
        c = mix(top, bottom, y / max(1, h - 1))
        for _ in range(w):
            n = rnd.uniform(-grain, grain)
            px.append((int(c[0] + n * 0.6), int(c[1] + n), int(c[2] + n * 0.7), 255))
    img = Image.new("RGBA", (w, h))
    img.putdata([tuple(max(0, min(255, v)) for v in p) for p in px])
    return img


# ---------------------------------------------------------------- file writers


def ensure_dir(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)


def write_bmp(path, img):
    """A 24-bit uncompressed bottom-up BMP of `img` (RGB)."""
    img = img.convert("RGB")
    w, h = img.size
    row_size = (w * 3 + 3) & ~3
    raw = img.tobytes("raw", "BGR")
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = raw[y * w * 3:(y + 1) * w * 3]
        data += row + b"\0" * (row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    ensure_dir(path)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, img):
    ensure_dir(path)
    img.save(path, format="PNG", compress_level=9)


def write_jpg(path, img):
    ensure_dir(path)
    img.convert("RGB").save(path, format="JPEG", quality=92, subsampling=0, optimize=False)


def write_wav(path, samples, rate):
    ensure_dir(path)
    frames = struct.pack("<%dh" % len(samples), *samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)


def write_text(path, text):
    ensure_dir(path)
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write(text)


# ---------------------------------------------------------------- the wheel area


def polar(r, deg, cx=CX + 0.5, cy=CY + 0.5, s=SCALE):
    """The point at radius r (real pixels), `deg` clockwise from 12 o'clock, in the
    SCALE-times picture. The centre is pixel (CX, CY)'s middle."""
    a = math.radians(deg)
    return ((cx + r * math.sin(a)) * s, (cy - r * math.cos(a)) * s)


def circle_box(r, cx=CX + 0.5, cy=CY + 0.5, s=SCALE):
    return [(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s]


def backdrop():
    """1.png: green felt lit from behind the wheel, soft rays, a ring of lights."""
    w, h = AREA_W, AREA_H
    rnd = random.Random(11)
    px = []
    for y in range(h):
        for x in range(w):
            dx, dy = x - CX, y - CY
            d = math.hypot(dx, dy)
            t = min(1.0, d / 330.0)
            c = mix((30, 118, 60), (3, 30, 14), t ** 1.2)
            # a sunburst of 16 soft rays, strongest just outside the disc
            ang = math.atan2(dx, -dy)
            ray = 0.5 + 0.5 * math.cos(16 * ang)
            glow = max(0.0, 1.0 - abs(d - 250) / 140.0)
            k = 1.0 + 0.16 * ray * glow
            n = rnd.uniform(-2.5, 2.5)
            px.append((int(c[0] * k + n * 0.5), int(c[1] * k + n), int(c[2] * k + n * 0.6), 255))
    base = Image.new("RGBA", (w, h))
    base.putdata([tuple(max(0, min(255, v)) for v in p) for p in px])

    hi = canvas(w, h)
    # a dark halo under the ring of lights
    halo = canvas(w, h)
    ImageDraw.Draw(halo).ellipse(circle_box(242), fill=(0, 0, 0, 150))
    halo = halo.filter(ImageFilter.GaussianBlur(6 * SCALE))
    hi = Image.alpha_composite(hi, halo)
    d = ImageDraw.Draw(hi)
    # the ring: dark gold metal with bright edges
    d.ellipse(circle_box(238), fill=rgba(GOLD_DARK))
    d.ellipse(circle_box(236.5), fill=rgba(GOLD))
    d.ellipse(circle_box(234), fill=rgba((150, 100, 30)))
    d.ellipse(circle_box(220), fill=rgba(GOLD_MID))
    d.ellipse(circle_box(218), fill=rgba((40, 24, 6)))
    d.ellipse(circle_box(215), fill=(0, 0, 0, 0))
    # the lights: 32 bulbs, warm white and amber by turns, each with a glow
    glow = canvas(w, h)
    gd = ImageDraw.Draw(glow)
    bulbs = []
    for i in range(32):
        deg = i * 360 / 32 + 360 / 64
        colour = (255, 250, 214) if i % 2 == 0 else (255, 196, 72)
        bulbs.append((polar(226.5, deg), colour))
        x, y = polar(226.5, deg)
        r = 9 * SCALE
        gd.ellipse([x - r, y - r, x + r, y + r], fill=rgba(colour, 150))
    glow = glow.filter(ImageFilter.GaussianBlur(4 * SCALE))
    hi = Image.alpha_composite(hi, glow)
    d = ImageDraw.Draw(hi)
    for (x, y), colour in bulbs:
        r = 5.2 * SCALE
        d.ellipse([x - r, y - r, x + r, y + r], fill=rgba((110, 70, 20)))
        r = 4.2 * SCALE
        d.ellipse([x - r, y - r, x + r, y + r], fill=rgba(colour))
        r = 1.6 * SCALE
        d.ellipse([x - r - 1.2 * SCALE, y - r - 1.2 * SCALE, x + r - 1.2 * SCALE, y + r - 1.2 * SCALE],
                  fill=(255, 255, 255, 230))
    # corner ornaments: a gold bracket and a diamond in each corner
    for sx, sy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        corner = canvas(60, 60)
        cd = ImageDraw.Draw(corner)
        S = SCALE
        for off, col, wd in ((8, GOLD_MID, 2.2), (14, (150, 110, 40), 1.2)):
            cd.line([(off * S, 52 * S), (off * S, off * S), (52 * S, off * S)], fill=rgba(col), width=int(wd * S),
                    joint="curve")
        cx0, cy0, r = 24 * S, 24 * S, 5 * S
        cd.polygon([(cx0, cy0 - r), (cx0 + r, cy0), (cx0, cy0 + r), (cx0 - r, cy0)], fill=rgba(GOLD))
        cd.polygon([(cx0, cy0 - r * 0.45), (cx0 + r * 0.45, cy0), (cx0, cy0 + r * 0.45), (cx0 - r * 0.45, cy0)],
                   fill=rgba(GOLD_LIGHT))
        if sx:
            corner = corner.transpose(Image.Transpose.FLIP_LEFT_RIGHT)
        if sy:
            corner = corner.transpose(Image.Transpose.FLIP_TOP_BOTTOM)
        hi = over(hi, corner, sx * (w - 60) * SCALE, sy * (h - 60) * SCALE)
    return Image.alpha_composite(base, reduce(hi)).convert("RGB")


def disc():
    """2.png: the eight prize sectors with their labels, a gold rim with pegs and an
    inner hub ring; transparent outside the rim."""
    w, h = AREA_W, AREA_H
    S = SCALE
    hi = canvas(w, h)
    d = ImageDraw.Draw(hi)
    # rim: dark edge, bright band, shaded inner edge
    d.ellipse(circle_box(RIM_R), fill=rgba((96, 60, 14)))
    d.ellipse(circle_box(RIM_R - 1.2), fill=rgba(GOLD_MID))
    d.ellipse(circle_box(RIM_R - 3.5), fill=rgba(GOLD))
    d.ellipse(circle_box(RIM_R - 6), fill=rgba(GOLD_LIGHT))
    d.ellipse(circle_box(RIM_R - 8.5), fill=rgba(GOLD))
    d.ellipse(circle_box(SECTOR_R + 2), fill=rgba((110, 70, 16)))
    # sectors: PIL's angles run clockwise from 3 o'clock, ours from 12 o'clock
    for s, colour in enumerate(SECTOR_COLOURS):
        mid = 45 * s
        d.pieslice(circle_box(SECTOR_R), mid - 22.5 - 90, mid + 22.5 - 90, fill=rgba(colour))
    # a thin darker band along the rim gives the sectors depth
    shade = canvas(w, h)
    sd = ImageDraw.Draw(shade)
    sd.ellipse(circle_box(SECTOR_R), fill=(0, 0, 0, 70))
    sd.ellipse(circle_box(SECTOR_R - 4), fill=(0, 0, 0, 0))
    hi = Image.alpha_composite(hi, shade)
    d = ImageDraw.Draw(hi)
    # separators between sectors, gold with a dark core
    for s in range(8):
        edge = 45 * s + 22.5
        a = polar(44, edge)
        b = polar(SECTOR_R, edge)
        d.line([a, b], fill=rgba(GOLD_DARK), width=int(4 * S))
        d.line([a, b], fill=rgba(GOLD), width=int(2.2 * S))
    # pegs on the rim: at every separator and between them
    for i in range(16):
        x, y = polar(RIM_R - 7, i * 22.5 + 22.5)
        for r, col in ((3.4, (90, 56, 12)), (2.7, (255, 246, 214)), (1.3, (255, 255, 255))):
            d.ellipse([x - r * S, y - r * S, x + r * S, y + r * S], fill=rgba(col))
    # labels: the prize large near the rim, a small word nearer the hub; each text's
    # top faces outwards so the sector under the pointer reads upright
    for s, prize in enumerate(SECTOR_PRIZES):
        deg = 45 * s
        base = SECTOR_COLOURS[s]
        dark = scaled(base, 0.42)
        big = text_image(str(prize), 40, (255, 255, 255), outline=dark, outline_px=2.2, bold_px=0.6)
        small = text_image("谢谢参与" if prize == 0 else "金币", 14, (255, 252, 235), outline=dark,
                           outline_px=1.6, bold_px=0.25)
        for img, r in ((big, 175), (small, 103)):
            shadow = soft_shadow(img, 1.2, 110)
            rot_sh = shadow.rotate(-deg, resample=Image.Resampling.BICUBIC, expand=True)
            rot = img.rotate(-deg, resample=Image.Resampling.BICUBIC, expand=True)
            x, y = polar(r, deg)
            dx, dy = 0.8 * S * math.cos(math.radians(deg)), 0.8 * S * math.sin(math.radians(deg))
            hi = over_centred(hi, rot_sh, x + dx, y + dy)
            hi = over_centred(hi, rot, x, y)
    # hub ring: under the pointer's cap, it shows turning studs around it
    d = ImageDraw.Draw(hi)
    d.ellipse(circle_box(46), fill=rgba((96, 60, 14)))
    d.ellipse(circle_box(44.5), fill=rgba(GOLD))
    d.ellipse(circle_box(41), fill=rgba(GOLD_MID))
    d.ellipse(circle_box(37), fill=rgba((60, 36, 8)))
    for i in range(8):
        x, y = polar(41.5 - 1.5, i * 45 + 22.5)
        r = 2.0 * S
        d.ellipse([x - r, y - r, x + r, y + r], fill=rgba(GOLD_LIGHT))
    out = reduce(hi)
    return out


def pointer_layer():
    """3.png: a gold pointer on the rim pointing down at the disc, and the hub cap."""
    w, h = AREA_W, AREA_H
    S = SCALE
    cx = (CX + 0.5) * S  # the middle of column CX
    tip = POINTER_TIP_Y * S
    head_y, head_r = 20 * S, 17.5 * S
    hi = canvas(w, h)

    def pointer_mask(grow):
        g = grow * S

        def draw(d):
            d.ellipse([cx - head_r - g, head_y - head_r - g, cx + head_r + g, head_y + head_r + g], fill=255)
            d.polygon([(cx - 14.5 * S - g, head_y + 7 * S), (cx + 14.5 * S + g, head_y + 7 * S),
                       (cx, tip + g * 1.6)], fill=255)

        return mask_of(hi.size, draw)

    # a soft shadow straight below, so the shape stays symmetric
    sh = shape_fill(pointer_mask(0.5), (0, 0, 0)).filter(ImageFilter.GaussianBlur(2.5 * S))
    sh.putalpha(sh.getchannel("A").point(lambda v: v * 120 // 255))
    hi = over(hi, sh, 0, 2 * S)
    hi = Image.alpha_composite(hi, shape_fill(pointer_mask(1.3), (84, 50, 8)))
    body = Image.new("RGBA", hi.size, (0, 0, 0, 0))
    body.paste(vgradient(w * S, 48 * S, [(0.0, GOLD_LIGHT), (0.45, GOLD), (1.0, GOLD_MID)]), (0, 0))
    hi = Image.alpha_composite(hi, shape_fill(pointer_mask(0), body))
    d = ImageDraw.Draw(hi)
    # a ridge down the middle of the point
    d.polygon([(cx - 2.2 * S, head_y + 8 * S), (cx + 2.2 * S, head_y + 8 * S), (cx, tip - 5 * S)],
              fill=rgba(GOLD_LIGHT, 200))
    # a ruby in the head
    for r, col in ((9.5, (110, 20, 20)), (8.2, (200, 30, 40)), (5.0, (240, 70, 80))):
        d.ellipse([cx - r * S, head_y - r * S, cx + r * S, head_y + r * S], fill=rgba(col))
    r = 2.0 * S
    d.ellipse([cx - r, head_y - 4 * S - r, cx + r, head_y - 4 * S + r], fill=(255, 230, 230, 230))

    # make the pointer exactly symmetric about column CX (its tip stays on that column)
    top = reduce(hi)
    band = 80
    left = top.crop((0, 0, CX + 1, band))
    mirrored = left.transpose(Image.Transpose.FLIP_LEFT_RIGHT)
    top.paste(mirrored.crop((1, 0, CX + 1, band)), (CX + 1, 0))

    # the hub cap over the disc's centre
    cap = canvas(w, h)
    cap_sh = canvas(w, h)
    ImageDraw.Draw(cap_sh).ellipse(circle_box(33, cy=CY + 2.5), fill=(0, 0, 0, 140))
    cap = Image.alpha_composite(cap, cap_sh.filter(ImageFilter.GaussianBlur(3 * S)))
    cd = ImageDraw.Draw(cap)
    cd.ellipse(circle_box(32), fill=rgba((84, 50, 8)))
    dome = canvas(w, h)
    dd = ImageDraw.Draw(dome)
    # a dome lit from the upper left: rings of growing brightness shifted towards it
    steps = 24
    for i in range(steps):
        t = i / (steps - 1)
        r = 30.5 * (1 - t) + 3 * t
        off = 9 * t
        dd.ellipse(circle_box(r, cx=CX + 0.5 - off, cy=CY + 0.5 - off), fill=rgba(mix(GOLD_MID, GOLD_LIGHT, t ** 0.8)))
    dome_mask = mask_of(cap.size, lambda dr: dr.ellipse(circle_box(30.5), fill=255))
    cap = Image.alpha_composite(cap, shape_fill(dome_mask, dome))
    cd = ImageDraw.Draw(cap)
    cd.ellipse(circle_box(21), fill=rgba((120, 80, 16)))
    cd.ellipse(circle_box(19.8), fill=rgba((18, 84, 42)))
    cd.ellipse(circle_box(17.5), fill=rgba((10, 60, 30)))
    # a five-pointed star in the middle
    pts = []
    for i in range(10):
        r = 13 if i % 2 == 0 else 5.3
        pts.append(polar(r, i * 36, cy=CY + 1.5))
    cd.polygon(pts, fill=rgba(GOLD_LIGHT))
    out = Image.alpha_composite(top, reduce(cap))
    return out


# ---------------------------------------------------------------- strips and panel


def caption_text(text, px, colour=GOLD, outline=(20, 12, 0)):
    return text_image(text, px, [(0.0, GOLD_LIGHT), (1.0, colour)], outline=outline, outline_px=1.1, bold_px=0.35)


def inset_field(hi, box, radius=4):
    """A calm dark field sunk into the surface, with a fine gold edge (SCALE-times box in
    real pixels)."""
    S = SCALE
    x0, y0, x1, y1 = box
    d = ImageDraw.Draw(hi)
    d.rounded_rectangle([x0 * S, y0 * S, x1 * S, y1 * S], radius=radius * S, fill=rgba((150, 112, 40)))
    d.rounded_rectangle([(x0 + 1) * S, (y0 + 1) * S, (x1 - 1) * S, (y1 - 1) * S], radius=(radius - 1) * S,
                        fill=rgba((0, 12, 4)))
    d.rounded_rectangle([(x0 + 1) * S, (y0 + 2) * S, (x1 - 1) * S, (y1 - 1) * S], radius=(radius - 1) * S,
                        fill=rgba(FIELD))


def coin_icon(size):
    """A gold coin, SCALE-times, `size` real pixels across."""
    S = SCALE
    img = Image.new("RGBA", (size * S, size * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    n = size * S
    d.ellipse([0, 0, n - 1, n - 1], fill=rgba((110, 70, 12)))
    d.ellipse([S, S, n - 1 - S, n - 1 - S], fill=rgba(GOLD))
    d.ellipse([2.6 * S, 2.6 * S, n - 1 - 2.6 * S, n - 1 - 2.6 * S], fill=rgba(GOLD_MID))
    d.ellipse([3.4 * S, 3.4 * S, n - 1 - 3.4 * S, n - 1 - 3.4 * S], fill=rgba(GOLD))
    mark = text_image("¥", size * 0.62, (150, 96, 14), pad=0)
    img = over_centred(img, mark, n / 2, n / 2)
    d = ImageDraw.Draw(img)
    d.arc([1.5 * S, 1.5 * S, n - 1.5 * S, n - 1.5 * S], 200, 260, fill=rgba(GOLD_LIGHT), width=int(1.2 * S))
    return img


def chip_icon(size):
    """A casino chip, SCALE-times."""
    S = SCALE
    n = size * S
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    c = n / 2
    d.ellipse([0, 0, n - 1, n - 1], fill=rgba((90, 10, 14)))
    d.ellipse([S * 0.8, S * 0.8, n - 1 - S * 0.8, n - 1 - S * 0.8], fill=rgba((200, 36, 44)))
    for i in range(6):
        a = i * 60
        d.pieslice([S * 0.8, S * 0.8, n - 1 - S * 0.8, n - 1 - S * 0.8], a - 9, a + 9, fill=rgba((250, 246, 236)))
    r = n * 0.33
    d.ellipse([c - r, c - r, c + r, c + r], fill=rgba((150, 20, 28)))
    r = n * 0.27
    d.ellipse([c - r, c - r, c + r, c + r], fill=rgba((214, 46, 54)))
    r = n * 0.12
    d.ellipse([c - r, c - r, c + r, c + r], fill=rgba(GOLD))
    return img


def bottom_strip():
    """img_bottom.jpg: the strip under the wheel with two sunk fields for the program's
    coin and stake values at (144,18) and (372,18), 101 x 13, and their captions."""
    w, h = 550, 50
    S = SCALE
    base = felt(w, h, (14, 72, 36), (4, 34, 16), seed=21)
    hi = canvas(w, h)
    d = ImageDraw.Draw(hi)
    # a gold edge against the wheel area, a darker one at the foot
    d.rectangle([0, 0, w * S, 1 * S], fill=rgba(GOLD_DARK))
    d.rectangle([0, 1 * S, w * S, 2.2 * S], fill=rgba(GOLD))
    d.rectangle([0, 2.2 * S, w * S, 3 * S], fill=rgba((60, 40, 10)))
    d.rectangle([0, (h - 1) * S, w * S, h * S], fill=rgba((2, 16, 6)))
    for box in ((139, 13, 250, 36), (367, 13, 478, 36)):
        inset_field(hi, box)
    hi = over_centred(hi, coin_icon(20), 22 * S, 24.5 * S)
    cap1 = caption_text("我的金币:", 15)
    hi = over(hi, cap1, 135 * S - cap1.size[0], 24.5 * S - cap1.size[1] / 2)
    hi = over_centred(hi, chip_icon(20), 268 * S, 24.5 * S)
    cap2 = caption_text("每次押注:", 15)
    hi = over(hi, cap2, 363 * S - cap2.size[0], 24.5 * S - cap2.size[1] / 2)
    # a small ornament on the far right
    d = ImageDraw.Draw(hi)
    for i, x in enumerate((498, 514, 530)):
        r = (4.5 if i == 1 else 3.2) * S
        y = 24.5 * S
        d.polygon([(x * S, y - r), (x * S + r, y), (x * S, y + r), (x * S - r, y)], fill=rgba(GOLD if i == 1 else GOLD_MID))
    return Image.alpha_composite(base, reduce(hi)).convert("RGB")


def title_logo():
    """The game's name as a gold logo, SCALE-times."""
    txt = text_image("幸运大转盘", 33, [(0.0, (255, 250, 214)), (0.48, (255, 214, 90)), (0.52, (238, 170, 40)),
                                       (1.0, (255, 208, 96))],
                     outline=(120, 24, 10), outline_px=2.0, bold_px=0.8, pad=10 * SCALE)
    glow = soft_shadow(txt, 4, 180, colour=(255, 190, 60))
    dark = soft_shadow(txt, 1.5, 200)
    logo = Image.alpha_composite(glow, over(Image.new("RGBA", txt.size, (0, 0, 0, 0)), dark, 0, 1.5 * SCALE))
    return Image.alpha_composite(logo, txt)


def sparkle(hi, x, y, r, colour=(255, 248, 220)):
    """A four-pointed glint at (x, y), SCALE-times coordinates."""
    d = ImageDraw.Draw(hi)
    k = r * 0.22
    d.polygon([(x, y - r), (x + k, y - k), (x + r, y), (x + k, y + k), (x, y + r), (x - k, y + k), (x - r, y),
               (x - k, y - k)], fill=rgba(colour))


def right_panel_hires():
    """The right-hand panel before the buttons: the title, the online/sound row, the
    message pane's frame and the tray under the buttons (SCALE-times, with real-size felt
    returned beside it)."""
    w, h = 200, 540
    S = SCALE
    base = felt(w, h, (20, 92, 46), (5, 38, 18), seed=31)
    hi = canvas(w, h)
    d = ImageDraw.Draw(hi)
    # the seam against the wheel area
    d.rectangle([0, 0, 1 * S, h * S], fill=rgba((40, 26, 6)))
    d.rectangle([1 * S, 0, 2.4 * S, h * S], fill=rgba(GOLD_MID))
    d.rectangle([2.4 * S, 0, 3.2 * S, h * S], fill=rgba((10, 30, 14, 200)))
    # the title on a soft light
    light = canvas(w, 70)
    ImageDraw.Draw(light).ellipse([10 * S, 8 * S, 194 * S, 62 * S], fill=(80, 200, 120, 90))
    hi = over(hi, light.filter(ImageFilter.GaussianBlur(10 * S)), 0, 0)
    hi = over_centred(hi, title_logo(), 101.5 * S, 33 * S)
    for x, y, r in ((16, 14, 5), (186, 52, 4.5), (180, 12, 3), (22, 55, 2.6)):
        sparkle(hi, x * S, y * S, r * S)
    d = ImageDraw.Draw(hi)
    # the row for the online count (10,73 129x19) and the sound check box (142,69 44x25)
    inset_field(hi, (6, 65, 194, 91), radius=5)
    # the message pane (9,96 182x393): a gold frame round it
    d = ImageDraw.Draw(hi)
    d.rectangle([5 * S, 92 * S, 195 * S, 493 * S], fill=rgba((60, 40, 8)))
    d.rectangle([6 * S, 93 * S, 194 * S, 492 * S], fill=rgba(GOLD_MID))
    d.rectangle([7 * S, 94 * S, 193 * S, 491 * S], fill=rgba(GOLD))
    d.rectangle([8 * S, 95 * S, 192 * S, 490 * S], fill=rgba((20, 12, 2)))
    d.rectangle([9 * S, 96 * S, 191 * S, 489 * S], fill=rgba(PANE))
    for x, y in ((6.5, 92.5), (193.5, 92.5), (6.5, 491.5), (193.5, 491.5)):
        r = 3 * S
        d.ellipse([x * S - r, y * S - r, x * S + r, y * S + r], fill=rgba(GOLD_LIGHT))
    # a tray under the two buttons (6,494 94x39 and 100,494 93x39)
    d.rounded_rectangle([2 * S, 495 * S, 198 * S, 537 * S], radius=6 * S, fill=(0, 16, 6, 150))
    return base, hi


def right_panel():
    base, hi = right_panel_hires()
    return Image.alpha_composite(base, reduce(hi))


def button_face(panel, left, top, width, height, text, face, text_fill, outline):
    """A push button face drawn over the part of the panel it covers, so its rounded
    corners blend into the panel exactly. `face` is (top, middle, bottom) colours."""
    S = SCALE
    under = panel.crop((left, top, left + width, top + height)).resize((width * S, height * S),
                                                                       Image.Resampling.NEAREST)
    hi = under.copy()
    edge_mask = mask_of(hi.size, lambda d: d.rounded_rectangle([0.3 * S, 0.3 * S, (width - 0.3) * S,
                                                              (height - 0.3) * S], radius=10 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(edge_mask, (50, 30, 4)))
    rim_mask = mask_of(hi.size, lambda d: d.rounded_rectangle([0.9 * S, 0.9 * S, (width - 0.9) * S,
                                                             (height - 0.9) * S], radius=9.5 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(rim_mask, vgradient(width * S, height * S,
                                                                  [(0.0, GOLD_LIGHT), (0.5, GOLD),
                                                                   (1.0, GOLD_DARK)])))
    inner = mask_of(hi.size, lambda d: d.rounded_rectangle([2.6 * S, 2.6 * S, (width - 2.6) * S, (height - 2.6) * S],
                                                         radius=7.5 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(inner, vgradient(width * S, height * S,
                                                               [(0.0, face[0]), (0.5, face[1]), (1.0, face[2])])))
    # a gloss over the upper half
    gloss = mask_of(hi.size, lambda d: d.rounded_rectangle([4 * S, 3.4 * S, (width - 4) * S, (height * 0.48) * S],
                                                         radius=6 * S, fill=255))
    g = vgradient(width * S, height * S, [(0.0, (255, 255, 255, 120)), (0.5, (255, 255, 255, 0)),
                                          (1.0, (255, 255, 255, 0))])
    hi = Image.alpha_composite(hi, shape_fill(gloss, g))
    label = text_image(text, 19, text_fill, outline=outline, outline_px=1.4, bold_px=0.5)
    label = Image.alpha_composite(over(Image.new("RGBA", label.size, (0, 0, 0, 0)), soft_shadow(label, 1.0, 140),
                                       0, 1 * S), label)
    hi = over_centred(hi, label, width * S / 2, (height / 2 + 0.5) * S)
    return reduce(hi).convert("RGB")


START_FACE = ((255, 214, 96), (240, 148, 28), (196, 84, 10))
STOP_FACE = ((246, 96, 86), (204, 34, 34), (128, 12, 16))
EXIT_FACE = ((70, 170, 100), (26, 112, 56), (10, 64, 30))
START_TEXT = ([(0.0, (255, 255, 250)), (1.0, (255, 240, 200))], (130, 40, 0))
STOP_TEXT = ([(0.0, (255, 255, 255)), (1.0, (255, 226, 220))], (90, 6, 8))
EXIT_TEXT = ([(0.0, (255, 250, 220)), (1.0, (255, 222, 140))], (6, 40, 16))


def start_face(panel):
    return button_face(panel, 6, 494, 94, 39, "开始", START_FACE, *START_TEXT)


def end_face(panel):
    return button_face(panel, 6, 494, 94, 39, "停止", STOP_FACE, *STOP_TEXT)


def exit_face(panel):
    return button_face(panel, 100, 494, 93, 39, "退出", EXIT_FACE, *EXIT_TEXT)


def music_glyph():
    """ImageList1.bmp: a gold double note on magenta. Edges are blended with the dark
    field it sits on, never with magenta, so no pink fringe shows once masked."""
    S = SCALE
    n = 20
    hi = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(hi)
    col = rgba(GOLD)
    # two note heads, tilted ellipses approximated by polygons
    for hx, hy in ((5.2, 15.2), (14.2, 13.4)):
        pts = []
        for i in range(24):
            a = i * math.pi * 2 / 24
            x, y = 3.4 * math.cos(a), 2.4 * math.sin(a)
            r = math.radians(-22)
            pts.append(((hx + x * math.cos(r) - y * math.sin(r)) * S, (hy + x * math.sin(r) + y * math.cos(r)) * S))
        d.polygon(pts, fill=col)
    d.rectangle([7.6 * S, 3.5 * S, 9.0 * S, 15 * S], fill=col)
    d.rectangle([16.6 * S, 1.8 * S, 18.0 * S, 13.2 * S], fill=col)
    d.polygon([(7.6 * S, 3.5 * S), (18.0 * S, 1.0 * S), (18.0 * S, 4.6 * S), (7.6 * S, 7.1 * S)], fill=col)
    small = reduce(hi)
    out = Image.new("RGB", (n, n), MAGENTA)
    px = out.load()
    sp = small.load()
    for y in range(n):
        for x in range(n):
            r, g, b, a = sp[x, y]
            if a >= 96:
                t = a / 255
                px[x, y] = mix(FIELD, (r, g, b), t)
    return out


# ---------------------------------------------------------------- window skin


CAPTION_H = 30
BORDER = 4
FRAME_W, FRAME_H = 200, 144
CAPTION_MARGIN = 64


def caption_piece(active):
    """The caption band: dark felt with gold edges, a calm middle for the program's text."""
    w, h = FRAME_W, CAPTION_H
    S = SCALE
    hi = vgradient(w * S, h * S, [(0.0, (36, 118, 62) if active else (40, 76, 50)),
                                  (0.55, (16, 72, 36) if active else (26, 52, 34)),
                                  (1.0, (8, 46, 22) if active else (18, 38, 24))])
    d = ImageDraw.Draw(hi)
    gold = GOLD if active else (150, 132, 84)
    dark_gold = GOLD_DARK if active else (80, 70, 44)
    d.rectangle([0, 0, w * S, 1 * S], fill=rgba((30, 20, 4)))
    d.rectangle([0, 1 * S, w * S, 2 * S], fill=rgba(gold))
    d.rectangle([0, 2 * S, w * S, 3 * S], fill=rgba(dark_gold))
    d.rectangle([0, (h - 2) * S, w * S, (h - 1) * S], fill=rgba(gold))
    d.rectangle([0, (h - 1) * S, w * S, h * S], fill=rgba((30, 20, 4)))
    # the sides continue the borders' columns
    for side in (0, 1):
        for i, col in enumerate(border_columns(active)):
            x = i if side == 0 else w - 1 - i
            d.rectangle([x * S, 1 * S if i else 0, (x + 1) * S, h * S], fill=rgba(col))
    # a sheen along the top
    sheen = vgradient(w * S, 10 * S, [(0.0, (255, 255, 255, 46)), (1.0, (255, 255, 255, 0))])
    hi = over(hi, sheen, 0, 3 * S)
    return reduce(hi).convert("RGB")


def border_columns(active=True):
    """The four columns of the frame from the outside in."""
    if active:
        return [(30, 20, 4), GOLD, GOLD_DARK, (8, 40, 20)]
    return [(30, 20, 4), (150, 132, 84), (80, 70, 44), (14, 34, 22)]


def frame_picture():
    """frame.bmp and the pieces it holds: caption (0,0), panel colour rows 30..73 (so
    pixel (50, 50) is the panel colour), inactive caption (0,74), borders at y 104."""
    img = Image.new("RGB", (FRAME_W, FRAME_H), BODY)
    img.paste(caption_piece(True), (0, 0))
    img.paste(caption_piece(False), (0, 74))
    cols = border_columns()
    by = 104
    left = Image.new("RGB", (BORDER, 40))
    for x, c in enumerate(cols):
        ImageDraw.Draw(left).line([(x, 0), (x, 39)], fill=c)
    img.paste(left, (0, by))
    img.paste(left.transpose(Image.Transpose.FLIP_LEFT_RIGHT), (BORDER, by))
    bottom = Image.new("RGB", (40, BORDER))
    bd = ImageDraw.Draw(bottom)
    for y, c in enumerate(reversed(cols)):
        bd.line([(0, y), (39, y)], fill=c)
    # corners: the side columns meet the bottom rows
    for x in range(BORDER):
        for y in range(BORDER):
            ring = min(x, BORDER - 1 - y)
            bottom.putpixel((x, y), cols[ring])
            bottom.putpixel((39 - x, y), cols[ring])
    img.paste(bottom, (2 * BORDER, by))
    pieces = {
        "caption": (0, 0, 0, FRAME_W, CAPTION_H, CAPTION_MARGIN, 0, CAPTION_MARGIN, 0),
        "caption.inactive": (0, 0, 74, FRAME_W, CAPTION_H, CAPTION_MARGIN, 0, CAPTION_MARGIN, 0),
        "border.left": (0, 0, by, BORDER, 40, 0, 2, 0, 2),
        "border.right": (0, BORDER, by, BORDER, 40, 0, 2, 0, 2),
        "border.bottom": (0, 2 * BORDER, by, 40, BORDER, BORDER, 0, BORDER, 0),
    }
    return img, pieces


def emblem(state):
    """The system menu button: a little gold-rimmed prize wheel (24 x 24, SCALE-times)."""
    S = SCALE
    n = 24
    hi = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    shift = 0.8 if state == "down" else 0.0
    k = {"normal": 1.0, "over": 1.18, "down": 0.78}[state]
    c = (12 + shift) * S
    d = ImageDraw.Draw(hi)

    def box(r):
        return [c - r * S, c - r * S, c + r * S, c + r * S]

    d.ellipse(box(11.2), fill=rgba(scaled((70, 40, 6), k)))
    d.ellipse(box(10.4), fill=rgba(scaled(GOLD, k)))
    d.ellipse(box(8.4), fill=rgba(scaled(GOLD_DARK, k)))
    for s, col in enumerate(SECTOR_COLOURS):
        d.pieslice(box(7.8), 45 * s - 22.5 - 90, 45 * s + 22.5 - 90, fill=rgba(scaled(col, k)))
    d.ellipse(box(2.6), fill=rgba(scaled(GOLD_LIGHT, k)))
    # a small pointer on the rim
    d.polygon([(c - 2.4 * S, c - 10.6 * S), (c + 2.4 * S, c - 10.6 * S), (c, c - 6.2 * S)],
              fill=rgba(scaled((255, 250, 230), k)))
    return hi


def caption_box(state, glyph):
    """A caption button 24 x 24: a rounded dark-green tile with a gold edge and a glyph
    (SCALE-times). `glyph` draws into it given the brightness and the press shift."""
    S = SCALE
    n = 24
    hi = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    k = {"normal": 1.0, "over": 1.25, "down": 0.75}[state]
    shift = 0.8 if state == "down" else 0.0
    d = ImageDraw.Draw(hi)
    d.rounded_rectangle([1 * S, 1 * S, 23 * S, 23 * S], radius=5 * S, fill=rgba(scaled((40, 26, 4), k)))
    d.rounded_rectangle([2 * S, 2 * S, 22 * S, 22 * S], radius=4.4 * S, fill=rgba(scaled(GOLD_MID, k)))
    face = [(0.0, scaled((40, 130, 70), k)), (1.0, scaled((8, 54, 26), k))]
    if state == "down":
        face = list(reversed([(1 - t, c) for t, c in face]))
    m = mask_of(hi.size, lambda dr: dr.rounded_rectangle([3 * S, 3 * S, 21 * S, 21 * S], radius=3.6 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(m, vgradient(n * S, n * S, face)))
    glyph(ImageDraw.Draw(hi), k, shift)
    return hi


def min_glyph(d, k, shift):
    S = SCALE
    y = 15.5 + shift
    x = shift
    d.rounded_rectangle([(7 + x) * S, (y - 1.4) * S, (17 + x) * S, (y + 1.4) * S], radius=0.8 * S,
                        fill=rgba(scaled((30, 18, 2), 1.0)))
    d.rounded_rectangle([(7 + x) * S, (y - 1.6 - 0.4) * S, (17 + x) * S, (y + 1.0) * S], radius=0.8 * S,
                        fill=rgba(scaled(GOLD_LIGHT, min(k, 1.1))))


def speaker(state, on):
    """The sound check box, 22 x 22: a loudspeaker with waves when sound is on, crossed
    out when it is off (SCALE-times)."""
    S = SCALE
    n = 22
    hi = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    k = 1.2 if state == "over" else 1.0
    d = ImageDraw.Draw(hi)
    body = scaled((255, 236, 170), k) if on else scaled((196, 200, 186), k)
    edge = (40, 26, 4)
    cone = [(2.5, 8), (6.5, 8), (11.5, 3.5), (11.5, 18.5), (6.5, 14), (2.5, 14)]
    d.polygon([(x * S, y * S) for x, y in cone], fill=rgba(edge))
    inner = [(3.6, 9.1), (6.9, 9.1), (10.4, 6.0), (10.4, 16.0), (6.9, 12.9), (3.6, 12.9)]
    d.polygon([(x * S, y * S) for x, y in inner], fill=rgba(body))
    if on:
        wave_col = rgba(scaled(CYAN, min(1.0, k)) if k <= 1.0 else (150, 250, 255))
        for r, wd in ((4.2, 1.7), (7.6, 1.7)):
            box = [(11 - r) * S, (11 - r) * S, (11 + r) * S, (11 + r) * S]
            d.arc(box, -48, 48, fill=rgba((0, 40, 50)), width=int((wd + 1.0) * S))
            d.arc(box, -45, 45, fill=wave_col, width=int(wd * S))
    else:
        red = rgba(scaled((236, 48, 44), k) if k <= 1.0 else (255, 96, 86))
        for a, b in (((13.5, 7.5), (19.5, 14.5)), ((19.5, 7.5), (13.5, 14.5))):
            d.line([(a[0] * S, a[1] * S), (b[0] * S, b[1] * S)], fill=rgba((60, 6, 6)), width=int(3.4 * S))
        for a, b in (((13.5, 7.5), (19.5, 14.5)), ((19.5, 7.5), (13.5, 14.5))):
            d.line([(a[0] * S, a[1] * S), (b[0] * S, b[1] * S)], fill=red, width=int(2.0 * S))
    return hi


def push_button(state):
    """The skinned message box button, 80 x 28, gold; its 8-pixel margins keep the
    rounded corners when stretched (SCALE-times)."""
    S = SCALE
    w, h = 80, 28
    hi = Image.new("RGBA", (w * S, h * S), (0, 0, 0, 0))
    k = {"normal": 1.0, "over": 1.1, "down": 0.86}[state]
    stops = [(0.0, scaled((255, 240, 176), k)), (0.5, scaled((240, 196, 88), k)), (1.0, scaled((196, 136, 36), k))]
    if state == "down":
        stops = [(0.0, scaled((196, 136, 36), k)), (0.5, scaled((232, 184, 80), k)),
                 (1.0, scaled((250, 224, 150), k))]
    m = mask_of(hi.size, lambda d: d.rounded_rectangle([0.5 * S, 0.5 * S, (w - 0.5) * S, (h - 0.5) * S],
                                                     radius=6 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(m, (70, 44, 8)))
    m = mask_of(hi.size, lambda d: d.rounded_rectangle([1.5 * S, 1.5 * S, (w - 1.5) * S, (h - 1.5) * S],
                                                     radius=5 * S, fill=255))
    hi = Image.alpha_composite(hi, shape_fill(m, vgradient(w * S, h * S, stops)))
    if state != "down":
        m = mask_of(hi.size, lambda d: d.rounded_rectangle([2.5 * S, 2.2 * S, (w - 2.5) * S, 4 * S],
                                                         radius=1.5 * S, fill=255))
        hi = Image.alpha_composite(hi, shape_fill(m, (255, 252, 230, 150)))
    return hi


def parts_picture():
    """parts.png and its pieces: caption buttons (row 0 and 24), check box (row 48),
    push button (row 72)."""
    img = Image.new("RGBA", (240 * SCALE, 100 * SCALE), (0, 0, 0, 0))
    objects, controls = {}, {}
    for i, state in enumerate(("normal", "over", "down")):
        img.paste(emblem(state), (i * 24 * SCALE, 0))
        objects["sysbutton." + state] = (1, i * 24, 0, 24, 24)
        img.paste(caption_box(state, min_glyph), (i * 24 * SCALE, 24 * SCALE))
        objects["minbutton." + state] = (1, i * 24, 24, 24, 24)
        img.paste(push_button(state), (i * 80 * SCALE, 72 * SCALE))
        controls["button." + state] = (1, i * 80, 72, 80, 28, 8, 8, 8, 8)
    for i, (name, state, on) in enumerate((("checkbox.unchecked", "normal", False),
                                           ("checkbox.checked", "normal", True),
                                           ("checkbox.unchecked.over", "over", False),
                                           ("checkbox.checked.over", "over", True))):
        img.paste(speaker(state, on), (i * 22 * SCALE, 48 * SCALE))
        controls[name] = (1, i * 22, 48, 22, 22)
    return reduce(img), objects, controls


def hexrgb(c):
    return "%02X%02X%02X" % c[:3]


def skin_ini(frame_pieces, objects, controls):
    def line(name, piece):
        return "%s=%s\n" % (name, ",".join(str(v) for v in piece))

    text = "[VERSION]\nVersion=1\nName=Gyrelot green\n"
    text += "[PICTURES]\n"
    text += "; picture 0: caption, panel colour (pixel 50,50) and borders\n"
    text += "picture=frame.bmp\n"
    text += "; picture 1: caption buttons, sound check box, push button\n"
    text += "picture1=parts.png\n"
    text += "TransparentColor=%s\n" % hexrgb(MAGENTA)
    text += "[FORMINFO]\n"
    text += "CaptionHeight=%d\n" % CAPTION_H
    text += "BorderWidth=%d\n" % BORDER
    text += "CaptionFont=WenQuanYi Micro Hei\n"
    text += "CaptionFontHeight=15\n"
    text += "CaptionFontBold=1\n"
    text += "CaptionColor=FFE08A\n"
    text += "CaptionShadowColor=0A1C0C\n"
    text += "CaptionInactiveColor=B8AC80\n"
    text += "CaptionTextLeft=38\n"
    text += "SysButtonPos=7,3\n"
    text += "MinButtonPos=-31,3\n"
    text += "BodyColor=%s\n" % hexrgb(BODY)
    text += "TextColor=F0F0E0\n"
    text += "ButtonTextColor=3A2200\n"
    text += "[SKINOBJECTS]\n"
    text += "; piece = picture,left,top,width,height[,margin left,margin top,margin right,margin bottom]\n"
    for name in ("caption", "caption.inactive", "border.left", "border.right", "border.bottom"):
        text += line(name, frame_pieces[name])
    for name in ("sysbutton.normal", "sysbutton.over", "sysbutton.down",
                 "minbutton.normal", "minbutton.over", "minbutton.down"):
        text += line(name, objects[name])
    text += "[SKINCONTROLS]\n"
    for name in ("checkbox.unchecked", "checkbox.checked", "checkbox.unchecked.over", "checkbox.checked.over",
                 "button.normal", "button.over", "button.down"):
        text += line(name, controls[name])
    return text


# ---------------------------------------------------------------- sounds


RATE = 22050


def to_pcm(buf, peak):
    """Scales `buf` so its largest magnitude is `peak` (of full scale) and rounds."""
    top = max(abs(v) for v in buf) or 1.0
    k = peak * 32767 / top
    return [int(round(v * k)) for v in buf]


def add_tone(buf, start, length, parts, env, wrap=True):
    """Adds a note into `buf`: `parts` [(freq, amp)], `env(t)` its envelope. With `wrap`
    the note runs on past the end into the beginning, which keeps a loop seamless."""
    n = len(buf)
    two_pi = 2 * math.pi
    for i in range(length):
        t = i / RATE
        e = env(t)
        if e == 0.0:
            continue
        v = 0.0
        for f, a in parts:
            v += a * math.sin(two_pi * f * t)
        j = start + i
        if wrap:
            buf[j % n] += e * v
        elif j < n:
            buf[j] += e * v


def note(name_midi):
    return 440.0 * 2 ** ((name_midi - 69) / 12)


def background_loop():
    """back.wav: four bars of a soft pad (C, Am, F, G) with a gentle bell arpeggio, 6 s.
    Every note is added round the loop, so the end flows into the beginning."""
    bar = 1.5
    n = int(4 * bar * RATE)
    buf = [0.0] * n
    chords = [
        (48, [60, 64, 67], [72, 76, 79, 84]),  # C
        (45, [57, 60, 64], [69, 72, 76, 81]),  # Am
        (41, [57, 60, 65], [69, 72, 77, 81]),  # F
        (43, [59, 62, 67], [71, 74, 79, 83]),  # G
    ]
    fade = 0.45  # crossfade between chords
    pad_len = int((bar + 2 * fade) * RATE)

    def pad_env(t):
        if t < 2 * fade:
            return math.sin(math.pi / 2 * t / (2 * fade)) ** 2
        if t > bar:
            return math.cos(math.pi / 2 * (t - bar) / (2 * fade)) ** 2
        return 1.0

    arp_step = bar / 8
    arp_len = int(1.1 * RATE)

    def bell_env(t):
        attack = min(1.0, t / 0.006)
        tail = min(1.0, (1.1 - t) / 0.25)
        return attack * math.exp(-t / 0.32) * max(0.0, tail)

    def bass_env(t):
        attack = min(1.0, t / 0.04)
        tail = min(1.0, (bar + 0.3 - t) / 0.3)
        return attack * math.exp(-t / 0.9) * max(0.0, tail)

    pattern = [0, 1, 2, 3, 2, 1, 2, 1]
    for k, (root, pad, arp) in enumerate(chords):
        start = int((k * bar - fade) * RATE) % n
        for m in pad:
            f = note(m)
            add_tone(buf, start, pad_len, [(f - 0.35, 0.11), (f + 0.35, 0.11), (2 * f, 0.025)], pad_env)
        add_tone(buf, int(k * bar * RATE), int((bar + 0.3) * RATE), [(note(root), 0.32), (2 * note(root), 0.06)],
                 bass_env)
        for j, idx in enumerate(pattern):
            f = note(arp[idx])
            add_tone(buf, int((k * bar + j * arp_step) * RATE), arp_len,
                     [(f, 0.16), (2 * f, 0.035), (3 * f, 0.01)], bell_env)
    return to_pcm(buf, 0.45)


def ticking_loop():
    """Wheel.wav: ten ticks a second over 0.8 s, each a short wooden click with a little
    noise; the loop begins and ends in silence between ticks."""
    n = int(0.8 * RATE)
    buf = [0.0] * n
    rnd = random.Random(7)
    tick_len = int(0.06 * RATE)
    for k in range(8):
        start = int((0.02 + 0.1 * k) * RATE)
        loud = 1.0 if k % 2 == 0 else 0.85
        for i in range(tick_len):
            t = i / RATE
            tail = min(1.0, (0.06 - t) / 0.02)
            v = (0.9 * math.sin(2 * math.pi * 2300 * t) * math.exp(-t / 0.004)
                 + 0.7 * math.sin(2 * math.pi * 1150 * t) * math.exp(-t / 0.009)
                 + 0.45 * math.sin(2 * math.pi * 420 * t) * math.exp(-t / 0.016)
                 + 0.35 * rnd.uniform(-1, 1) * math.exp(-t / 0.0015))
            buf[start + i] += loud * v * tail
    return to_pcm(buf, 0.55)


def stop_chime():
    """over_1.wav: three quick rising bell strokes (G5, C6, E6) ringing out over ~1.2 s."""
    n = int(1.2 * RATE)
    buf = [0.0] * n
    partials = [(1.0, 1.0, 0.55), (2.0, 0.45, 0.32), (2.76, 0.22, 0.2), (5.4, 0.1, 0.08)]
    for k, m in enumerate((79, 84, 88)):
        f0 = note(m)
        start = int(k * 0.085 * RATE)
        for ratio, amp, decay in partials:
            def env(t, decay=decay, start=start):
                attack = min(1.0, t / 0.002)
                end = (n - start) / RATE
                tail = min(1.0, (end - t) / 0.12)
                return attack * math.exp(-t / decay) * max(0.0, tail)

            add_tone(buf, start, n - start, [(f0 * ratio, amp * (0.8 + 0.1 * k))], env, wrap=False)
    return to_pcm(buf, 0.6)


# ---------------------------------------------------------------- main


def main():
    skin = os.path.join(OUT, "GameSkin", "Wheel")
    png = os.path.join(skin, "png")
    builtin = os.path.join(OUT, "builtin")

    frame, frame_pieces = frame_picture()
    parts, objects, controls = parts_picture()
    write_bmp(os.path.join(skin, "FormSkin", "frame.bmp"), frame)
    write_png(os.path.join(skin, "FormSkin", "parts.png"), parts)
    write_text(os.path.join(skin, "FormSkin", "skin.ini"), skin_ini(frame_pieces, objects, controls))

    write_png(os.path.join(png, "1.png"), backdrop())
    write_png(os.path.join(png, "2.png"), disc())
    write_png(os.path.join(png, "3.png"), pointer_layer())
    write_jpg(os.path.join(png, "img_bottom.jpg"), bottom_strip())
    panel = right_panel()
    write_jpg(os.path.join(png, "img_Right.jpg"), panel)
    start = start_face(panel)
    write_bmp(os.path.join(png, "start.bmp"), start)
    write_bmp(os.path.join(png, "end.bmp"), end_face(panel))
    write_bmp(os.path.join(builtin, "ImgStart.bmp"), start)
    write_bmp(os.path.join(builtin, "ImgExit.bmp"), exit_face(panel))
    write_bmp(os.path.join(builtin, "ImageList1.bmp"), music_glyph())

    sound = os.path.join(skin, "sound")
    write_wav(os.path.join(sound, "back.wav"), background_loop(), RATE)
    write_wav(os.path.join(sound, "Wheel.wav"), ticking_loop(), RATE)
    write_wav(os.path.join(sound, "over_1.wav"), stop_chime(), RATE)


if __name__ == "__main__":
    main()
