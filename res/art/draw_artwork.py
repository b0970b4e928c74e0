#!/usr/bin/env python3
"""Draws every picture of the program and a preview sheet of them all.

The build uses the committed images; run this only to change the artwork:

    apt-get install -y python3-pil fonts-liberation2
    /usr/bin/python3 res/art/draw_artwork.py

It writes res/bitmaps/*.bmp, res/icons/quellor.ico and docs/artwork.png. The
bitmaps are written by our own BMP writer, so that each has exactly the bit
depth the program expects (Pillow cannot write 4-bit files). Colour tables never
hold the greys 128, 192 and 223 (LR_LOADMAP3DCOLORS would replace them by the
current 3-D colours) nor the window-shape key colour 255, 0, 255.
"""

import os
import struct

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)
ROOT = os.path.dirname(RES)
BITMAPS = os.path.join(RES, "bitmaps")
ICONS = os.path.join(RES, "icons")
DOCS = os.path.join(ROOT, "docs")

FONT_DIR = "/usr/share/fonts/truetype/liberation2"
BOLD = os.path.join(FONT_DIR, "LiberationSans-Bold.ttf")
REGULAR = os.path.join(FONT_DIR, "LiberationSans-Regular.ttf")

# Colours the program relies on.
TITLE_BAND = (2, 77, 246)   # behind the sub-title, which paints this colour too
BODY = (207, 233, 254)      # the skin's body and the message dialog's face
WHITE = (255, 255, 255)     # the main dialog's statics are painted white
KEY = (255, 0, 255)         # the window-shape key colour: never in the skin
LOADMAP3D_GREYS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}

# Our own colours.
FRAME = (9, 30, 92)
BAND_SHADE = (1, 56, 196)
BAND_TEXT_SOFT = (178, 206, 255)
CARD_BORDER = (158, 196, 238)
CARD_SHADOW = (184, 213, 246)
NAVY_TEXT = (14, 52, 142)
LINK_LIT = (0, 104, 236)
ACCENT = (255, 146, 20)
SOFT_TEXT = (84, 104, 136)

SKIN_SIZE = (527, 338)
PLAN_SIZE = (600, 337)      # the pixel plan of the main dialog's controls
TEMPLATE_SIZE = (349, 209)  # the main dialog template, in dialog units

SUPERSAMPLE = 4


# ---------------------------------------------------------------- file writers

def write_bmp(path, image, bits, reserved=()):
    """Writes an uncompressed bottom-up BMP of 4, 8 or 24 bits per pixel."""
    width, height = image.size
    image = image.convert("RGB")
    if bits == 24:
        palette, rows = [], [[image.getpixel((x, y)) for x in range(width)] for y in range(height)]
    else:
        palette, indices = to_indexed(image, 1 << bits, reserved)
        rows = [indices[y * width:(y + 1) * width] for y in range(height)]
    row_bytes = (width * bits + 31) // 32 * 4
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0\0\0\0" * ((1 << bits) - len(palette) if bits <= 8 else 0)
    pixels = bytearray()
    for row in reversed(rows):
        packed = bytearray()
        if bits == 24:
            for r, g, b in row:
                packed += bytes((b, g, r))
        elif bits == 8:
            packed += bytes(row)
        else:
            for i in range(0, width, 2):
                high = row[i]
                low = row[i + 1] if i + 1 < width else 0
                packed.append(high << 4 | low)
        pixels += packed + b"\0" * (row_bytes - len(packed))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(table)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        out.write(info + table + pixels)


def to_indexed(image, colours, reserved):
    """A colour table of at most `colours` entries and one index per pixel.

    Reserved colours keep their exact value; the rest is quantized when there
    are too many. No entry is a 3-D grey or the key colour."""
    pixels = list(image.getdata())
    unique = sorted(set(pixels))
    if len(unique) <= colours:
        palette = unique
        lookup = {c: i for i, c in enumerate(palette)}
        indices = [lookup[p] for p in pixels]
    else:
        fixed = [c for c in reserved if c in set(pixels)]
        free = [p for p in pixels if p not in fixed]
        strip = Image.new("RGB", (len(free), 1))
        strip.putdata(free)
        quantized = strip.quantize(colors=colours - len(fixed), method=Image.Quantize.MEDIANCUT,
                                   kmeans=4, dither=Image.Dither.NONE)
        flat = quantized.getpalette()[:3 * (colours - len(fixed))]
        palette = fixed + [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
        free_indices = iter(quantized.getdata())
        indices = [fixed.index(p) if p in fixed else len(fixed) + next(free_indices) for p in pixels]
    palette = [safe_colour(c) for c in palette]
    return palette, indices


def safe_colour(colour):
    if colour in LOADMAP3D_GREYS:
        return tuple(v + 1 for v in colour)
    if colour == KEY:
        return (254, 0, 254)
    return colour


def write_ico(path, images):
    """An icon file of 32-bit entries (colour with alpha, and the AND mask)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for image in images:
        width, height = image.size
        rgba = image.convert("RGBA")
        colour = bytearray()
        for y in reversed(range(height)):
            for x in range(width):
                r, g, b, a = rgba.getpixel((x, y))
                colour += bytes((b, g, r, a))
        mask_row = (width + 31) // 32 * 4
        mask = bytearray()
        for y in reversed(range(height)):
            row = bytearray(mask_row)
            for x in range(width):
                if rgba.getpixel((x, y))[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
        blob = header + colour + mask
        entries.append(struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)))
        out.write(b"".join(entries) + b"".join(blobs))


# ------------------------------------------------------------ drawing helpers

def font(path, size):
    return ImageFont.truetype(path, size)


def coverage(size, draw_shapes):
    """An anti-aliased mask: shapes drawn four times larger, then reduced."""
    width, height = size
    big = Image.new("L", (width * SUPERSAMPLE, height * SUPERSAMPLE), 0)
    draw_shapes(ImageDraw.Draw(big), SUPERSAMPLE)
    return big.resize(size, Image.Resampling.BOX)


def fill(image, paint, mask, at=(0, 0)):
    """Paints a colour, or a picture of the mask's size, through the mask."""
    if isinstance(paint, tuple):
        paint = Image.new("RGB", mask.size, paint)
    image.paste(paint, at, mask)


def rounded(box, radius):
    left, top, right, bottom = box

    def shapes(draw, s):
        draw.rounded_rectangle((left * s, top * s, right * s - 1, bottom * s - 1), radius * s, fill=255)
    return shapes


def vertical_gradient(size, top, bottom):
    width, height = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = y / max(1, height - 1)
        draw.line((0, y, width, y), fill=tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    return image


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def text_width(draw, text, typeface):
    return draw.textlength(text, font=typeface)


def draw_text(image, xy, text, typeface, colour, anchor="ls", underline=False):
    draw = ImageDraw.Draw(image)
    draw.text(xy, text, font=typeface, fill=colour, anchor=anchor)
    if underline:
        left, _, right, bottom = draw.textbbox(xy, text, font=typeface, anchor=anchor)
        y = xy[1] + 2
        draw.line((left, y, right - 1, y), fill=colour)


def plan_point(x, y):
    """Where a point of the main dialog template lands on the pixel plan."""
    return x * PLAN_SIZE[0] // TEMPLATE_SIZE[0], y * PLAN_SIZE[1] // TEMPLATE_SIZE[1]


def plan_box(x, y, w, h):
    left, top = plan_point(x, y)
    right, bottom = plan_point(x + w, y + h)
    return left, top, right, bottom


# ------------------------------------------------------------------- glyphs

def glyph_magnifier(size):
    w, h = size

    def shapes(draw, s):
        r = h * 0.30
        cx, cy = w * 0.42, h * 0.42
        draw.ellipse(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), outline=255, width=round(2.2 * s))
        draw.line(((cx + r * 0.72) * s, (cy + r * 0.72) * s, (w * 0.88) * s, (h * 0.88) * s), fill=255,
                  width=round(3.2 * s))
    return coverage(size, shapes)


def glyph_download(size):
    w, h = size

    def shapes(draw, s):
        cx = w / 2
        draw.rectangle(((cx - 1.6) * s, h * 0.08 * s, (cx + 1.6) * s, h * 0.52 * s), fill=255)
        draw.polygon([((cx - w * 0.34) * s, h * 0.42 * s), ((cx + w * 0.34) * s, h * 0.42 * s),
                      (cx * s, h * 0.72 * s)], fill=255)
        draw.line((w * 0.08 * s, h * 0.66 * s, w * 0.08 * s, h * 0.90 * s, w * 0.92 * s, h * 0.90 * s,
                   w * 0.92 * s, h * 0.66 * s), fill=255, width=round(2.2 * s), joint="curve")
    return coverage(size, shapes)


def glyph_arrow(size):
    w, h = size

    def shapes(draw, s):
        for dx in (0.0, 0.42):
            draw.line(((w * (0.12 + dx)) * s, h * 0.22 * s, (w * (0.42 + dx)) * s, h * 0.5 * s,
                       (w * (0.12 + dx)) * s, h * 0.78 * s), fill=255, width=round(2.0 * s), joint="curve")
    return coverage(size, shapes)


def glyph_cross(size, stroke):
    w, h = size

    def shapes(draw, s):
        m = w * 0.30
        draw.line((m * s, m * s, (w - m) * s, (h - m) * s), fill=255, width=round(stroke * s))
        draw.line(((w - m) * s, m * s, m * s, (h - m) * s), fill=255, width=round(stroke * s))
    return coverage(size, shapes)


def shield_shapes(size, inset=0.0):
    w, h = size

    def outline(s):
        left, right = (0.08 + inset) * w, (0.92 - inset) * w
        top, bottom = (0.05 + inset) * h, (0.97 - inset) * h
        mid = w / 2
        points = [(mid, top), (right, top + 0.14 * h), (right, 0.50 * h),
                  (mid + 0.20 * w, 0.80 * h), (mid, bottom), (mid - 0.20 * w, 0.80 * h),
                  (left, 0.50 * h), (left, top + 0.14 * h)]
        return [(x * s, y * s) for x, y in points]
    return outline


def shield_mask(size, inset=0.0):
    outline = shield_shapes(size, inset)
    return coverage(size, lambda draw, s: draw.polygon(outline(s), fill=255))


def check_mask(size, stroke):
    w, h = size

    def shapes(draw, s):
        draw.line((0.30 * w * s, 0.50 * h * s, 0.45 * w * s, 0.64 * h * s, 0.72 * w * s, 0.32 * h * s),
                  fill=255, width=round(stroke * s), joint="curve")
    return coverage(size, shapes)


# ------------------------------------------------------------------ pictures

def draw_shield(size, body_top, body_bottom, rim, check, stroke):
    """The program's emblem: a shield with a check mark, on transparency."""
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    solid = Image.new("RGBA", size, rim + (255,))
    image.paste(solid, (0, 0), shield_mask(size))
    inner = vertical_gradient(size, body_top, body_bottom).convert("RGBA")
    image.paste(inner, (0, 0), shield_mask(size, inset=0.07))
    image.paste(Image.new("RGBA", size, check + (255,)), (0, 0), check_mask(size, stroke))
    return image


def app_icon(px):
    stroke = {16: 2.2, 32: 3.6, 48: 5.0}[px]
    return draw_shield((px, px), (64, 150, 255), (2, 60, 200), (8, 34, 110), WHITE, stroke)


def skin():
    width, height = SKIN_SIZE
    image = Image.new("RGB", SKIN_SIZE, BODY)
    draw = ImageDraw.Draw(image)
    # Title band: the brand above, the sub-title (painted by the program) below.
    band_bottom = 62
    draw.rectangle((0, 0, width, band_bottom - 1), fill=TITLE_BAND)
    draw.line((0, band_bottom - 1, width, band_bottom - 1), fill=BAND_SHADE)
    draw.line((0, band_bottom, width, band_bottom), fill=mix(BAND_SHADE, BODY, 0.55))
    emblem = draw_shield((22, 24), (255, 255, 255), (214, 230, 255), (255, 255, 255), TITLE_BAND, 3.0)
    image.paste(emblem, (11, 7), emblem)
    x = 40
    brand = font(BOLD, 19)
    for letter in "QUELLOR":
        draw.text((x, 27), letter, font=brand, fill=WHITE, anchor="ls")
        x += text_width(draw, letter, brand) + 1.6
    draw.line((x + 8, 12, x + 8, 28), fill=mix(TITLE_BAND, WHITE, 0.45))
    draw.text((x + 17, 26), "Trojan Removal Tool", font=font(REGULAR, 13), fill=BAND_TEXT_SOFT, anchor="ls")
    # The white card behind the texts, the status frame and the report list.
    card = (8, 103, 519, 276)
    fill(image, CARD_SHADOW, coverage(SKIN_SIZE, rounded((card[0] + 1, card[1] + 2, card[2] + 1, card[3] + 2), 8)))
    fill(image, CARD_BORDER, coverage(SKIN_SIZE, rounded(card, 8)))
    fill(image, WHITE, coverage(SKIN_SIZE, rounded((card[0] + 1, card[1] + 1, card[2] - 1, card[3] - 1), 7)))
    # A thin rule above the footer, and the window's frame (the right and bottom
    # edges twice, so that they show whatever border the window has).
    draw.line((16, 318, width - 62, 318), fill=mix(BODY, CARD_BORDER, 0.6))
    draw.text((16, 332), "Halvex Software", font=font(REGULAR, 10), fill=mix(SOFT_TEXT, BODY, 0.25), anchor="ls")
    draw.rectangle((0, 0, width - 1, height - 1), outline=FRAME)
    draw.line((width - 2, 0, width - 2, height), fill=FRAME)
    draw.line((0, height - 2, width, height - 2), fill=FRAME)
    return image


BUTTON_LOOKS = {
    # face top, face bottom, border, inner highlight, caption, glyph
    "NOTFOCUS": ((34, 84, 186), (12, 46, 132), (8, 30, 96), (86, 128, 214), WHITE, (214, 228, 255)),
    "FOCUS": ((82, 170, 255), (10, 108, 246), (0, 70, 196), (190, 226, 255), WHITE, (255, 222, 110)),
    "DISABLE": ((220, 227, 236), (220, 227, 236), (170, 180, 197), (220, 227, 236), (146, 157, 174),
                (146, 157, 174)),
}


def push_button(size, state, caption, glyph=None, background=BODY, caption_size=15, radius=6):
    """A rounded push button on the colour of the place where it sits."""
    width, height = size
    top, bottom, border, highlight, ink, glyph_ink = BUTTON_LOOKS[state]
    image = Image.new("RGB", size, background)
    outer = (0, 0, width, height)
    fill(image, border, coverage(size, rounded(outer, radius)))
    face = vertical_gradient(size, top, bottom)
    fill(image, face, coverage(size, rounded((1, 1, width - 1, height - 1), radius - 1)))
    if state != "DISABLE":
        draw = ImageDraw.Draw(image)
        draw.line((radius, 1, width - radius - 1, 1), fill=highlight)
    typeface = font(BOLD, caption_size)
    draw = ImageDraw.Draw(image)
    caption_width = text_width(draw, caption, typeface)
    glyph_size = height - 14 if glyph else 0
    gap = 8 if glyph else 0
    left = (width - caption_width - glyph_size - gap) / 2
    baseline = height / 2 + caption_size * 0.36
    if glyph:
        mask = glyph((glyph_size, glyph_size))
        fill(image, glyph_ink, mask, (round(left), (height - glyph_size) // 2))
    if state != "DISABLE":
        draw.text((left + glyph_size + gap, baseline + 1), caption, font=typeface, fill=mix(bottom, (0, 0, 0), 0.35),
                  anchor="ls")
    draw.text((left + glyph_size + gap, baseline), caption, font=typeface, fill=ink, anchor="ls")
    return image


def close_box(state):
    size = (21, 21)
    image = Image.new("RGB", size, TITLE_BAND)
    face = (226, 52, 46) if state == "FOCUS" else (1, 60, 200)
    rim = (255, 150, 140) if state == "FOCUS" else (70, 124, 255)
    fill(image, rim, coverage(size, rounded((0, 0, 21, 21), 4)))
    fill(image, face, coverage(size, rounded((1, 1, 20, 20), 3)))
    fill(image, WHITE, glyph_cross(size, 2.2))
    return image


def suite_link(state):
    """DLINK: the text link to the suite's download page, on the white card."""
    size = (313, 43)
    image = Image.new("RGB", size, WHITE)
    lit = state == "FOCUS"
    badge = ACCENT if lit else NAVY_TEXT
    fill(image, badge, coverage(size, lambda d, s: d.ellipse((4 * s, 6 * s, 35 * s, 37 * s), fill=255)))
    fill(image, WHITE, glyph_download((19, 19)), (10, 11))
    title_ink = LINK_LIT if lit else NAVY_TEXT
    draw_text(image, (45, 19), "Download Calvorin Antivirus", font(BOLD, 15), title_ink, underline=lit)
    draw_text(image, (45, 36), "Full, real-time protection for your computer", font(REGULAR, 11),
              SOFT_TEXT)
    return image


def tools_link(state):
    """ULINK: the text link to the page of other removal tools, on the body."""
    size = (244, 28)
    image = Image.new("RGB", size, BODY)
    lit = state == "FOCUS"
    fill(image, ACCENT if lit else NAVY_TEXT, glyph_arrow((14, 14)), (8, 7))
    draw_text(image, (28, 19), "More free virus removal tools", font(BOLD, 13), LINK_LIT if lit else NAVY_TEXT,
              underline=lit)
    return image


def maker_logo(state):
    """HALVEXLOGO: the maker's mark, a hexagon holding an H."""
    size = (38, 36)
    image = Image.new("RGB", size, BODY)
    lit = state == "FOCUS"
    top, bottom = ((70, 160, 255), (6, 84, 230)) if lit else ((40, 110, 220), (10, 50, 150))
    w, h = size

    def hexagon(inset):
        def shapes(draw, s):
            cx, cy, rx, ry = w / 2, h / 2, w / 2 - 1 - inset, h / 2 - 1 - inset
            points = [(cx - rx, cy), (cx - rx / 2, cy - ry), (cx + rx / 2, cy - ry), (cx + rx, cy),
                      (cx + rx / 2, cy + ry), (cx - rx / 2, cy + ry)]
            draw.polygon([(x * s, y * s) for x, y in points], fill=255)
        return shapes

    fill(image, FRAME, coverage(size, hexagon(0)))
    fill(image, vertical_gradient(size, top, bottom), coverage(size, hexagon(1.3)))

    def letter(draw, s):
        for x0 in (12.0, 22.5):
            draw.rectangle((x0 * s, 9.5 * s, (x0 + 3.5) * s, 26.5 * s), fill=255)
        draw.rectangle((15 * s, 16.5 * s, 23 * s, 19.5 * s), fill=255)
    fill(image, WHITE, coverage(size, letter))
    return image


# The message dialog shows its icon cut to an area of 25 x 24 dialog units: 37 x
# 39 pixels with Windows' dialog font, 37 x 36 under Wine. The picture is kept
# inside the top-left part that every one of them shows.
ICON_SIZE = (42, 40)
ICON_SHOWN = (36, 35)


def message_icon(kind):
    """The message dialog's icons, 42 x 40, on the dialog's face colour."""
    image = Image.new("RGB", ICON_SIZE, BODY)
    # Drawn on a 16.5-pixel radius around (19, 19.5), scaled and moved to fit
    # ICON_SHOWN with the shadow.
    r = 15.5
    k = r / 16.5
    cx, cy = 18.0, 17.0
    px = lambda x: cx + (x - 19.0) * k
    py = lambda y: cy + (y - 19.5) * k
    shadow = mix(BODY, (40, 80, 140), 0.22)
    if kind == "warning":
        apex, base, half = 2.0, 31.0, 14.6

        def triangle(dx, dy, grow):
            def shapes(draw, s):
                points = [(cx + dx, apex + dy - grow), (cx + half + dx + grow, base + dy + grow * 0.6),
                          (cx - half + dx - grow, base + dy + grow * 0.6)]
                draw.polygon([(x * s, y * s) for x, y in points], fill=255)
                draw.line([(x * s, y * s) for x, y in points + points[:1]], fill=255, width=round(3 * s),
                          joint="curve")
            return shapes
        fill(image, shadow, coverage(ICON_SIZE, triangle(0.8, 1.6, 0)))
        fill(image, (196, 128, 0), coverage(ICON_SIZE, triangle(0, 0, 0)))
        fill(image, vertical_gradient(ICON_SIZE, (255, 214, 74), (247, 164, 12)),
             coverage(ICON_SIZE, triangle(0, 0.6, -1.6)))
        ink = (54, 36, 0)

        def mark(draw, s):
            draw.rounded_rectangle(((cx - 1.8) * s, 10.0 * s, (cx + 1.8) * s, 23.5 * s), 1.5 * s, fill=255)
            draw.ellipse(((cx - 2.1) * s, 25.3 * s, (cx + 2.1) * s, 29.5 * s), fill=255)
        fill(image, ink, coverage(ICON_SIZE, mark))
        return image

    colours = {"information": ((74, 156, 255), (8, 84, 214), (4, 58, 160)),
               "question": ((74, 156, 255), (8, 84, 214), (4, 58, 160)),
               "error": ((255, 104, 90), (206, 30, 30), (150, 16, 16))}
    top, bottom, rim = colours[kind]
    disc = lambda dx, dy, rr: coverage(ICON_SIZE, lambda d, s: d.ellipse(((cx - rr + dx) * s, (cy - rr + dy) * s,
                                                                          (cx + rr + dx) * s, (cy + rr + dy) * s),
                                                                         fill=255))
    fill(image, shadow, disc(0.8, 1.6, r))
    fill(image, rim, disc(0, 0, r))
    fill(image, vertical_gradient(ICON_SIZE, top, bottom), disc(0, 0, r - 1.2))
    if kind == "information":
        def mark(draw, s):
            draw.ellipse(((cx - 2.4) * s, py(8.5) * s, (cx + 2.4) * s, py(13.3) * s), fill=255)
            draw.rounded_rectangle(((cx - 2.2) * s, py(16) * s, (cx + 2.2) * s, py(30.5) * s), 1.2 * s, fill=255)
        fill(image, WHITE, coverage(ICON_SIZE, mark))
    elif kind == "question":
        typeface = font(BOLD, 24)
        draw = ImageDraw.Draw(image)
        draw.text((px(19.5), py(20.5)), "?", font=typeface, fill=WHITE, anchor="mm")
    else:
        fill(image, WHITE, glyph_cross_at(ICON_SIZE, (cx, cy), 6.6 * k, 3.6 * k))
    return image


def glyph_cross_at(size, centre, half, stroke):
    cx, cy = centre

    def shapes(draw, s):
        draw.line(((cx - half) * s, (cy - half) * s, (cx + half) * s, (cy + half) * s), fill=255, width=round(stroke * s))
        draw.line(((cx + half) * s, (cy - half) * s, (cx - half) * s, (cy + half) * s), fill=255, width=round(stroke * s))
    return coverage(size, shapes)


# Button bitmaps: base name -> (size, depth of FOCUS/NOTFOCUS, depth of DISABLE or None, painter)
def button_family():
    big = lambda caption, glyph: lambda state: push_button((180, 33), state, caption, glyph)
    small = lambda caption: lambda state: push_button((92, 24), state, caption, caption_size=12, radius=5)
    return {
        "SCAN": (8, 4, big("SCAN", glyph_magnifier)),
        "DOWNLOAD": (8, 4, big("DOWNLOAD", glyph_download)),
        "CANCEL": (8, None, small("CANCEL")),
        "OK": (8, None, small("OK")),
        "YES": (8, None, small("YES")),
        "NO": (8, None, small("NO")),
        "X": (8, None, close_box),
        "DLINK": (4, None, suite_link),
        "ULINK": (8, None, tools_link),
        "HALVEXLOGO": (8, None, maker_logo),
    }


# What each picture sits on: its exact colour survives the colour reduction.
BACKGROUNDS = {"X": TITLE_BAND, "DLINK": WHITE}

MESSAGE_ICONS = [(152, "information"), (153, "question"), (154, "warning"), (155, "error")]


# ------------------------------------------------------------------- preview

def mock_main(skin_image, buttons, state):
    """The main window as the controls will sit on it (drawn here, not a screenshot)."""
    image = skin_image.copy()
    draw = ImageDraw.Draw(image)
    ui = font(REGULAR, 11)
    ui_bold = font(BOLD, 15)

    def place(name, x, y, picture_state="NOTFOCUS"):
        picture = buttons[f"{name}_{picture_state}"]
        image.paste(picture, plan_point(x, y))

    sub = plan_box(31, 25, 244, 11)
    draw.text(((sub[0] + sub[2]) / 2, (sub[1] + sub[3]) / 2), "for W32/Veltrix Trojan", font=ui_bold, fill=WHITE,
              anchor="mm")
    place("X", 290, 3)
    place("HALVEXLOGO", 277, 174)
    if state == "ready":
        place("SCAN", 11, 40, "FOCUS")
        place("DOWNLOAD", 189, 40)
        for text, box in (("Quellor Ver 1.0 - Tool to detect and remove all the variants of W32/Veltrix Trojan",
                           plan_box(9, 71, 290, 14)),
                          ("Copyright (c) Halvex Software. All rights reserved.", plan_box(6, 103, 292, 11))):
            draw.text(((box[0] + box[2]) / 2, (box[1] + box[3]) / 2), text, font=ui, fill=(0, 0, 0), anchor="mm")
        place("DLINK", 61, 133)
        place("ULINK", 77, 177)
    else:
        place("SCAN", 11, 40, "DISABLE")
        place("DOWNLOAD", 189, 40)
        place("CANCEL", 128, 177)
        box = plan_box(16, 70, 268, 11)
        draw.text((box[0], box[1] + 12), "Searching for W32/Veltrix Trojan and its variants", font=ui_bold,
                  fill=(0, 0, 0), anchor="ls")
        for frame, caption in ((plan_box(16, 81, 276, 29), "Scanning"), (plan_box(16, 111, 276, 58), "")):
            draw.rectangle((frame[0], frame[1] + 6, frame[2] - 1, frame[3] - 1), outline=(166, 166, 166))
            if caption:
                width = draw.textlength(caption, font=ui)
                draw.rectangle((frame[0] + 7, frame[1], frame[0] + 11 + width, frame[1] + 12), fill=WHITE)
                draw.text((frame[0] + 9, frame[1] + 10), caption, font=ui, fill=(0, 0, 0), anchor="ls")
        status = plan_box(18, 93, 264, 11)
        draw.text((status[0], status[1] + 12), r"C:\windows\system32\...\drivers\etc\hosts", font=ui,
                  fill=(0, 0, 0), anchor="ls")
        listbox = plan_box(17, 117, 273, 51)
        draw.rectangle(listbox, fill=WHITE, outline=(120, 120, 120))
        lines = [r"C:\Documents\setup.exe     W32/Veltrix.Trojan removed",
                 r"C:\windows\temp\svch0st.exe     W32/VelTrix.Agu.Trojan removed",
                 "System Registry     svch0st removed"]
        for i, line in enumerate(lines):
            draw.text((listbox[0] + 3, listbox[1] + 13 + 14 * i), line, font=ui, fill=(0, 0, 0), anchor="ls")
    return image


def mock_message(buttons, icons):
    size = (318, 112)
    image = Image.new("RGB", size, BODY)
    draw = ImageDraw.Draw(image)
    draw.rectangle((0, 0, size[0] - 1, 21), fill=(60, 90, 150))
    draw.text((8, 15), "Quellor Ver 1.0", font=font(BOLD, 11), fill=WHITE, anchor="ls")
    image.paste(icons[153], (26, 28))
    draw.text((86, 46), "Terminate the Scan now?", font=font(REGULAR, 11), fill=(0, 0, 0), anchor="ls")
    image.paste(buttons["YES_FOCUS"], (50, 80))
    image.paste(buttons["NO_NOTFOCUS"], (176, 80))
    return image


def preview(skin_image, buttons, depths, icons, app_icons):
    sheet = Image.new("RGB", (1140, 1190), (242, 245, 250))
    draw = ImageDraw.Draw(sheet)
    heading = font(BOLD, 15)
    label = font(REGULAR, 11)

    def title(x, y, text):
        draw.text((x, y), text, font=heading, fill=(20, 30, 60), anchor="ls")

    title(24, 30, "Main window, ready (mock-up: buttons at their planned places)")
    sheet.paste(mock_main(skin_image, buttons, "ready"), (24, 40))
    title(584, 30, "Main window, scanning (mock-up)")
    sheet.paste(mock_main(skin_image, buttons, "scanning"), (584, 40))
    title(24, 410, "Skin 156 (527 x 338, 8 bits)")
    sheet.paste(skin_image, (24, 420))
    title(584, 410, "Message dialog (mock-up, icon 153)")
    sheet.paste(mock_message(buttons, icons), (584, 420))
    title(584, 570, "Message icons 152-155 (42 x 40, 24 bits), at 1x and 2x")
    x = 584
    for number, name in MESSAGE_ICONS:
        sheet.paste(icons[number], (x, 585))
        sheet.paste(icons[number].resize((84, 80), Image.Resampling.NEAREST), (x + 46, 585))
        draw.text((x, 680), f"{number} {name}", font=label, fill=(40, 50, 70), anchor="ls")
        x += 136
    title(584, 715, "Icon 128 (16, 32, 48 px)")
    x = 584
    for image in app_icons:
        backdrop = Image.new("RGB", image.size, (242, 245, 250))
        backdrop.paste(image, (0, 0), image)
        sheet.paste(backdrop, (x, 725))
        x += image.size[0] + 16

    title(24, 800, "Button bitmaps: _FOCUS (lit), _NOTFOCUS (dark), _DISABLE")
    y = 815
    x = 24
    for base, (depth, disabled_depth, _) in button_family().items():
        states = ["FOCUS", "NOTFOCUS"] + (["DISABLE"] if disabled_depth else [])
        pictures = [buttons[f"{base}_{s}"] for s in states]
        width = sum(p.size[0] for p in pictures) + 12 * (len(pictures) - 1)
        if x + width > 1116:
            x = 24
            y += 72
        for picture in pictures:
            sheet.paste(picture, (x, y))
            x += picture.size[0] + 12
        bits = f"{depth}" + (f"/{disabled_depth}" if disabled_depth else "")
        draw.text((x - width - 12, y + pictures[0].size[1] + 14), f"{base}  {pictures[0].size[0]} x "
                  f"{pictures[0].size[1]}, {bits} bits", font=label, fill=(40, 50, 70), anchor="ls")
        x += 24
    return sheet.crop((0, 0, 1140, y + 80))


# ---------------------------------------------------------------------- main

def main():
    os.makedirs(BITMAPS, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    os.makedirs(DOCS, exist_ok=True)

    skin_image = skin()
    assert KEY not in set(skin_image.getdata()), "the skin must not hold the key colour"
    write_bmp(os.path.join(BITMAPS, "skin.bmp"), skin_image, 8, reserved=(TITLE_BAND, BODY, WHITE))

    buttons, depths = {}, {}
    for base, (depth, disabled_depth, painter) in button_family().items():
        reserved = (BACKGROUNDS.get(base, BODY), WHITE)
        for state, bits in (("FOCUS", depth), ("NOTFOCUS", depth), ("DISABLE", disabled_depth)):
            if bits is None:
                continue
            name = f"{base}_{state}"
            buttons[name] = painter(state)
            depths[name] = bits
            write_bmp(os.path.join(BITMAPS, name.lower() + ".bmp"), buttons[name], bits, reserved)

    icons = {}
    for number, name in MESSAGE_ICONS:
        icons[number] = message_icon(name)
        write_bmp(os.path.join(BITMAPS, f"icon_{name}.bmp"), icons[number], 24)

    app_icons = [app_icon(px) for px in (16, 32, 48)]
    write_ico(os.path.join(ICONS, "quellor.ico"), app_icons)

    # The preview shows the pictures as written, colour reduction included.
    reread = lambda name: Image.open(os.path.join(BITMAPS, name + ".bmp")).convert("RGB")
    skin_image = reread("skin")
    buttons = {name: reread(name.lower()) for name in buttons}
    preview(skin_image, buttons, depths, icons, app_icons).save(os.path.join(DOCS, "artwork.png"))


if __name__ == "__main__":
    main()
