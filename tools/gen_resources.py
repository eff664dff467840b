#!/usr/bin/python3
"""Generates every built-in picture and the icon, then checks them.

    /usr/bin/python3 tools/gen_resources.py          regenerate everything, then check
    /usr/bin/python3 tools/gen_resources.py --check  only check the committed files

Writes src/resources/background1000.jpg .. background1002.jpg (512 x 512 scenes),
background1010.jpg .. background1012.jpg (the same scenes at 2048 x 2048 for
large displays), font2000.gif (the overlay font, laid out as FONT_GLYPHS says),
font2001.gif (the same font and layout four times the size, 1024 x 1024),
dialog3000.jpg (158 x 118), icon100.ico and the contact sheet docs/resources.png; the flag
folder IMAGE/ is made by tools/gen_flags.py. Needs Debian's Pillow and
fonts-dejavu-core. Every random number comes from a seeded generator, so a
rerun gives the same pixels.
Exits with status 1 and a list of faults when any output fails its checks.
"""

import io
import math
import os
import random
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont, ImageMath

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RESOURCE_DIR = os.path.join(ROOT, "src", "resources")
SHEET_PATH = os.path.join(ROOT, "docs", "resources.png")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
GLYPH_FONT = os.path.join(FONT_DIR, "DejaVuSansCondensed-Bold.ttf")
PLAIN_FONT = os.path.join(FONT_DIR, "DejaVuSans.ttf")

BACKGROUND_SIZE = 512
DIALOG_SIZE = (158, 118)
ICON_SIZES = (16, 32, 48, 256)
SUPERSAMPLE = 4

# ---------------------------------------------------------------------------
# The overlay font's layout: (row, left, right) for codes 32 .. 123, looked up
# at code - 32. Each cell is CELL_HEIGHT rows tall; `right` is exclusive. The
# program keeps its own copy of this table; the two must agree.
CELL_HEIGHT = 42
FONT_PICTURE_SIZE = 256
FONT_GLYPHS = [
    (3, 0, 7),      # 32 space
    (3, 12, 14),    # 33 !
    (3, 0, 5),      # 34 "
    (3, 0, 5),      # 35 #
    (3, 16, 31),    # 36 $
    (3, 0, 5),      # 37 %
    (213, 183, 214),  # 38 &
    (3, 0, 5),      # 39 '
    (3, 0, 5),      # 40 (
    (3, 0, 5),      # 41 )
    (213, 215, 242),  # 42 *
    (3, 0, 5),      # 43 +
    (213, 163, 170),  # 44 ,
    (213, 243, 255),  # 45 -
    (213, 153, 158),  # 46 .
    (3, 34, 50),    # 47 /
    (3, 53, 68),    # 48 0
    (3, 71, 84),    # 49 1
    (3, 85, 101),   # 50 2
    (3, 102, 117),  # 51 3
    (3, 119, 135),  # 52 4
    (3, 136, 150),  # 53 5
    (3, 153, 168),  # 54 6
    (3, 170, 184),  # 55 7
    (3, 188, 202),  # 56 8
    (3, 204, 219),  # 57 9
    (213, 173, 177),  # 58 :
    (3, 0, 5),      # 59 ;
    (3, 0, 5),      # 60 <
    (3, 0, 5),      # 61 =
    (3, 0, 5),      # 62 >
    (3, 0, 5),      # 63 ?
    (3, 0, 5),      # 64 @
    (3, 220, 245),  # 65 A
    (45, 7, 29),    # 66 B
    (45, 32, 54),   # 67 C
    (45, 56, 82),   # 68 D
    (45, 86, 108),  # 69 E
    (45, 112, 131),  # 70 F
    (45, 135, 159),  # 71 G
    (45, 162, 190),  # 72 H
    (45, 194, 205),  # 73 I
    (45, 205, 220),  # 74 J
    (45, 224, 247),  # 75 K
    (87, 7, 28),    # 76 L
    (87, 30, 61),   # 77 M
    (87, 65, 93),   # 78 N
    (87, 95, 121),  # 79 O
    (87, 125, 145),  # 80 P
    (87, 148, 173),  # 81 Q
    (87, 177, 202),  # 82 R
    (87, 202, 219),  # 83 S
    (87, 220, 245),  # 84 T
    (129, 6, 32),   # 85 U
    (129, 33, 57),  # 86 V
    (129, 58, 92),  # 87 W
    (129, 93, 119),  # 88 X
    (129, 120, 144),  # 89 Y
    (129, 145, 167),  # 90 Z
    (3, 0, 5),      # 91 [
    (3, 0, 5),      # 92 backslash
    (3, 0, 5),      # 93 ]
    (3, 0, 5),      # 94 ^
    (3, 0, 4),      # 95 underscore: a blank as wide as the colon
    (3, 0, 5),      # 96 `
    (129, 169, 186),  # 97 a
    (129, 187, 205),  # 98 b
    (129, 208, 223),  # 99 c
    (129, 225, 243),  # 100 d
    (171, 6, 22),   # 101 e
    (171, 23, 36),  # 102 f
    (171, 38, 57),  # 103 g
    (171, 59, 78),  # 104 h
    (171, 79, 88),  # 105 i
    (171, 89, 96),  # 106 j
    (171, 100, 119),  # 107 k
    (171, 120, 129),  # 108 l
    (171, 131, 160),  # 109 m
    (171, 161, 180),  # 110 n
    (171, 182, 198),  # 111 o
    (171, 200, 219),  # 112 p
    (171, 221, 239),  # 113 q
    (171, 240, 253),  # 114 r
    (213, 7, 19),   # 115 s
    (213, 20, 31),  # 116 t
    (213, 32, 51),  # 117 u
    (213, 52, 69),  # 118 v
    (213, 70, 96),  # 119 w
    (213, 97, 115),  # 120 x
    (213, 116, 134),  # 121 y
    (213, 135, 150),  # 122 z
    (213, 215, 242),  # 123 { shares the cell of *
]
FIRST_GLYPH_CODE = 32
BAND_TOPS = (3, 45, 87, 129, 171, 213)
BLANK_CELLS = ((3, 0, 5), (3, 0, 7), (3, 0, 4))

# Glyph metrics inside a 42-row cell: the baseline row below the cell top and
# the pixel size of the font. Rows 0 and 41 stay empty so that filtering at the
# edge of a band never picks up the band above or below.
GLYPH_BASELINE = 31
GLYPH_PIXEL_SIZE = 38
# The program lights every non-zero pixel fully, so faint edge pixels would
# thicken the strokes: they are cut to black below this level.
GLYPH_DARK_CUT = 72
NARROW_CELL = 6  # cells narrower than this hold the glyph's ink only, no bearings

# ---------------------------------------------------------------------------
# Small helpers


def clamp(value, low, high):
    return low if value < low else high if value > high else value


def smoothstep(edge0, edge1, value):
    t = clamp((value - edge0) / float(edge1 - edge0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def mix(colour_a, colour_b, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(colour_a, colour_b))


def value_noise(rng, size, cells):
    """Smooth noise 0..255 of `size` with `cells` (x, y) random knots across it.

    The knots wrap around, so the noise tiles seamlessly in both directions.
    """
    cells_x, cells_y = cells
    knots = Image.frombytes("L", (cells_x, cells_y), rng.randbytes(cells_x * cells_y))
    padded = Image.new("L", (cells_x + 4, cells_y + 4))
    for dx in (-cells_x, 0, cells_x):
        for dy in (-cells_y, 0, cells_y):
            padded.paste(knots, (2 + dx, 2 + dy))
    return padded.resize(size, Image.BICUBIC, box=(2, 2, cells_x + 2, cells_y + 2))


def fractal_noise(rng, size, cells, octaves, persistence=0.5):
    """Sum of value-noise octaves, each twice as fine, stretched back to 0..255."""
    total = None
    weight = 1.0
    weight_sum = 0.0
    cells_x, cells_y = cells
    for _ in range(octaves):
        layer = value_noise(rng, size, (cells_x, cells_y)).convert("F")
        layer = ImageMath.eval("a * w", a=layer, w=weight)
        total = layer if total is None else ImageMath.eval("a + b", a=total, b=layer)
        weight_sum += weight
        weight *= persistence
        cells_x *= 2
        cells_y *= 2
    total = ImageMath.eval("a / s", a=total, s=weight_sum)
    low, high = total.getextrema()
    stretched = ImageMath.eval("(a - lo) * k", a=total, lo=low, k=255.0 / max(high - low, 1e-6))
    return stretched.convert("L")


def vertical_gradient(size, stops):
    """RGB picture whose rows run through `stops`: [(fraction, colour), ...]."""
    width, height = size
    column = Image.new("RGB", (1, height))
    pixels = []
    for y in range(height):
        f = y / float(max(height - 1, 1))
        for (f0, c0), (f1, c1) in zip(stops, stops[1:]):
            if f <= f1 or (f1, c1) == stops[-1]:
                pixels.append(mix(c0, c1, smoothstep(f0, f1, f) if f1 > f0 else 1.0))
                break
    column.putdata(pixels)
    return column.resize(size, Image.NEAREST)


def vertical_ramp(size, values):
    """L picture whose rows run linearly through `values`: [(fraction, level), ...]."""
    width, height = size
    column = Image.new("L", (1, height))
    levels = []
    for y in range(height):
        f = y / float(max(height - 1, 1))
        level = values[-1][1]
        for (f0, v0), (f1, v1) in zip(values, values[1:]):
            if f0 <= f <= f1:
                level = v0 + (v1 - v0) * ((f - f0) / (f1 - f0) if f1 > f0 else 1.0)
                break
        if f < values[0][0]:
            level = values[0][1]
        levels.append(int(round(clamp(level, 0, 255))))
    column.putdata(levels)
    return column.resize(size, Image.NEAREST)


def curve(image, edge0, edge1, gain=1.0):
    """Smoothstep an L picture between two levels, scaled by gain."""
    return image.point([int(round(255 * gain * smoothstep(edge0, edge1, v))) for v in range(256)])


def solid(size, colour, mode="RGB"):
    return Image.new(mode, size, colour)


def radial_glow(size, centre, radius, strength=255):
    """L picture: a soft round glow, `strength` at centre fading to 0 at `radius`."""
    glow = Image.radial_gradient("L").resize((int(radius * 2), int(radius * 2)), Image.BICUBIC)
    # The gradient is 128 at the middle of each edge: that is the glow's rim.
    glow = glow.point([int(round(strength * max(0.0, 1.0 - v / 128.0) ** 2)) for v in range(256)])
    layer = Image.new("L", size, 0)
    layer.paste(glow, (int(centre[0] - radius), int(centre[1] - radius)))
    return layer


def add_light(base, colour, mask):
    """Adds `colour` scaled by `mask` onto `base` (screen-like, saturating)."""
    light = Image.composite(solid(base.size, colour), solid(base.size, (0, 0, 0)), mask)
    return ImageChops.add(base, light)


def plane_view(texture, width, distances, spread, depth, origin):
    """Lays a tiling `texture` on a flat plane seen in perspective, one screen row each.

    Row y sees the plane at distance D = distances[y] (in rows from the vanishing
    line); there the texture runs u = u0 + spread * (x - width / 2) / D and
    v = v0 + depth / D. Each row averages the texture over its footprint, so
    far rows fade into the texture's mean instead of flickering.
    """
    tile_w, tile_h = texture.size
    max_tiles = 12
    tiled = Image.new(texture.mode, (tile_w * (max_tiles + 2), tile_h * 2))
    for i in range(max_tiles + 2):
        for j in range(2):
            tiled.paste(texture, (i * tile_w, j * tile_h))
    mean = tuple(int(v) for v in texture.resize((1, 1), Image.BOX).getpixel((0, 0))) \
        if texture.mode == "RGB" else texture.resize((1, 1), Image.BOX).getpixel((0, 0))
    view = Image.new(texture.mode, (width, len(distances)), mean)
    u0, v0 = origin
    for y, dist in enumerate(distances):
        span = width * spread / dist
        near_v = depth / (dist + 0.5)
        far_v = depth / max(dist - 0.5, 0.25)
        rows = max(far_v - near_v, 1.0)
        if span > tile_w * max_tiles or rows > tile_h:
            continue
        u_start = (u0 - span / 2.0) % tile_w
        v_start = (v0 + near_v) % tile_h
        row = tiled.resize((width, 1), Image.BOX,
                           box=(u_start, v_start, u_start + span, v_start + rows))
        view.paste(row, (0, y))
    return view


def ridge_line(rng, width, base, amplitude, knots, octaves=3):
    """Heights (screen rows) of a smooth ridge across `width` columns."""
    rows = [float(base)] * width
    weight = amplitude
    for _ in range(octaves):
        values = [rng.uniform(-1.0, 1.0) for _ in range(knots + 2)]
        for x in range(width):
            f = x / float(width) * knots
            i = int(f)
            t = f - i
            t = t * t * (3.0 - 2.0 * t)
            rows[x] -= weight * (values[i] + (values[i + 1] - values[i]) * t)
        weight *= 0.45
        knots *= 2
    return rows


def ridge_mask(size, rows):
    """L mask, 255 below the ridge `rows`, anti-aliased along it."""
    width, height = size
    big = Image.new("L", (width * SUPERSAMPLE, height * SUPERSAMPLE), 0)
    points = [(x * SUPERSAMPLE, rows[min(x, width - 1)] * SUPERSAMPLE) for x in range(width + 1)]
    points += [(width * SUPERSAMPLE, height * SUPERSAMPLE), (0, height * SUPERSAMPLE)]
    ImageDraw.Draw(big).polygon(points, fill=255)
    return big.resize(size, Image.BOX)


def textured(base, rng, colour_dark, colour_light, cells, octaves, low=40, high=215):
    """Fills the size of `base` with a noisy mix of two colours."""
    noise = fractal_noise(rng, base.size, cells, octaves)
    return Image.composite(solid(base.size, colour_light), solid(base.size, colour_dark),
                           curve(noise, low, high))


def cloud_sky(rng, sky, rows, coverage, colour_lit, colour_shade, scale=1.0, haze_rows=(40, 140)):
    """Lays perspective cumulus clouds over the first `rows` rows of `sky` (in place).

    `haze_rows` are in rows of the 512-pixel scene; a larger sky gets the same
    clouds drawn at its own resolution.
    """
    width = sky.size[0]
    k = width / float(BACKGROUND_SIZE)
    tex = int(round(512 * k))
    texture = fractal_noise(rng, (tex, tex), (int(4 / scale), int(4 / scale)), 5, 0.55)
    noise = plane_view(texture, width, [rows - y for y in range(rows)], rows * scale,
                       1.5 * rows * rows * scale, (tex / 2, 0))
    density = curve(noise, 255 - coverage, 255 - coverage + 70)
    # Clouds thin out into the haze near the horizon.
    fade = vertical_ramp((width, rows), [(0.0, 255), (1.0 - haze_rows[1] * k / float(rows), 255),
                                         (1.0 - haze_rows[0] * k / float(rows), 0), (1.0, 0)])
    density = ImageChops.multiply(density, fade)
    # A pixel with much cloud above it lies in a cloud's underside: shade it.
    blurred = density.filter(ImageFilter.GaussianBlur(3 * k))
    drop = int(round(7 * k))
    above = Image.new("L", (width, rows))
    above.paste(blurred.crop((0, 0, width, rows - drop)), (0, drop))
    above.paste(blurred.crop((0, 0, width, 1)).resize((width, drop)), (0, 0))
    shade = curve(above, 60, 255, 0.8)
    cloud = Image.composite(solid((width, rows), colour_shade), solid((width, rows), colour_lit),
                            shade)
    region = sky.crop((0, 0, width, rows))
    region = Image.composite(cloud, region, density.filter(ImageFilter.GaussianBlur(0.7 * k)))
    sky.paste(region, (0, 0))


def vignette(image, strength):
    size = image.size
    glow = Image.radial_gradient("L").resize(size, Image.BICUBIC)
    darken = glow.point([int(round(255 * (1.0 - strength * smoothstep(90, 255, v))))
                         for v in range(256)])
    return ImageChops.multiply(image, Image.merge("RGB", (darken, darken, darken)))


def finish(scene, strength):
    """The last softening and the vignette. The blur is one pixel's worth at any size,
    so a large scene keeps its detail."""
    return vignette(scene.filter(ImageFilter.GaussianBlur(0.4)), strength)


# Every scene is laid out in the pixels of the 512 x 512 picture and drawn at
# `size`, k = size / 512 times that: the same seed gives the same scene, the
# large one with its own detail rather than an enlarged small one. The random
# numbers are drawn in the same order and number at every size.


def background_sea(seed, size=BACKGROUND_SIZE):
    """Sky with cumulus clouds over the sea, a low island and sunlight on the water."""
    rng = random.Random(seed)
    k = size / float(BACKGROUND_SIZE)
    horizon = int(round(318 * k))
    sun = (352 * k, 118 * k)
    sky = vertical_gradient((size, horizon), [(0.0, (34, 86, 160)), (0.55, (92, 146, 204)),
                                              (1.0, (196, 214, 228))])
    cloud_sky(rng, sky, horizon, 118, (255, 255, 252), (160, 170, 188))
    # The sun shines through thin cloud, so its glow goes on top.
    sky = add_light(sky, (255, 230, 190), radial_glow(sky.size, sun, 220 * k, 80))
    sky = add_light(sky, (255, 250, 235), radial_glow(sky.size, sun, 40 * k, 255))

    sea_rows = size - horizon
    sea = vertical_gradient((size, sea_rows), [(0.0, (150, 175, 192)), (0.08, (70, 118, 150)),
                                               (0.45, (34, 86, 122)), (1.0, (16, 58, 92))])
    tex = int(round(512 * k))
    waves = fractal_noise(rng, (tex, tex), (6, 48), 3, 0.6)
    ripples = plane_view(waves, size, [y + k for y in range(sea_rows)], 120.0 * k,
                         40000.0 * k * k, (tex / 2, 0))
    light_sea = ImageChops.screen(sea, solid(sea.size, (60, 70, 80)))
    dark_sea = ImageChops.multiply(sea, solid(sea.size, (200, 205, 210)))
    sea = Image.composite(light_sea, dark_sea, curve(ripples, 60, 200))
    # Glitter: the brightest ripple crests in a path below the sun.
    path = Image.new("L", sea.size, 0)
    draw = ImageDraw.Draw(path)
    for y in range(sea_rows):
        half = 6 * k + y * 0.55
        draw.line([(sun[0] - half, y), (sun[0] + half, y)], fill=int(255 - 150 * y / sea_rows))
    path = path.filter(ImageFilter.GaussianBlur(14 * k))
    sparkle = ImageChops.multiply(curve(ripples, 120, 190), path)
    sea = add_light(sea, (255, 240, 210), sparkle)

    scene = Image.new("RGB", (size, size))
    scene.paste(sky, (0, 0))
    scene.paste(sea, (0, horizon))
    # A hazy island low on the horizon, to the left.
    island_rows = ridge_line(rng, size, horizon + 2 * k, 10 * k, 5)
    island_rows = [r - 9 * k * smoothstep(0, 60 * k, x) * (1 - smoothstep(120 * k, 230 * k, x))
                   for x, r in enumerate(island_rows)]
    island_rows = [r if 20 * k < x < 240 * k else horizon + 4 * k
                   for x, r in enumerate(island_rows)]
    island = ridge_mask((size, size), island_rows)
    island = ImageChops.multiply(island, vertical_ramp((size, size), [(0, 255), (
        (horizon + k) / float(size), 255), ((horizon + 2 * k) / float(size), 0), (1, 0)]))
    scene = Image.composite(solid(scene.size, (120, 142, 160)), scene, island)
    return finish(scene, 0.25)


def tree_clumps(rng, layer, mask_rows, count, size_range, colours, band, k=1.0):
    """Scatters groves of small round trees in a band below a ridge (k: the scene's scale)."""
    draw = ImageDraw.Draw(layer)
    dark, mid, light = colours
    width = layer.size[0]
    trees = []
    while len(trees) < count:
        centre_x = rng.uniform(0, width)
        centre_y = rng.uniform(band[0], band[1])
        spread = rng.uniform(6 * k, 30 * k)
        for _ in range(rng.randint(2, 9)):
            x = centre_x + rng.gauss(0, spread)
            trees.append((x, mask_rows[int(x) % width] + centre_y + rng.gauss(0, spread * 0.15)))
    trees.sort(key=lambda tree: tree[1])  # nearer trees overlap farther ones
    for x, y in trees:
        r = rng.uniform(*size_range)
        draw.ellipse([x - r, y - r * 1.1, x + r, y + r * 0.9], fill=dark)
        draw.ellipse([x - r * 0.8, y - r * 1.15, x + r * 0.5, y + r * 0.3], fill=mid)
        draw.ellipse([x - r * 0.6, y - r * 1.05, x, y - r * 0.3], fill=light)


def hill_layer(rng, scene, rows, colour_dark, colour_light, cells, trees=None, haze=0.0,
               haze_colour=(0, 0, 0)):
    """Draws one range of hills whose ridge follows `rows` over `scene`.

    The trees' radii and bands are in pixels of the 512 scene, doubled.
    """
    size = scene.size
    k = size[0] / float(BACKGROUND_SIZE)
    fill = textured(scene, rng, colour_dark, colour_light, cells, 4)
    # Sun from the upper left: the tops of the hills catch more light.
    top = min(rows)
    lit = vertical_ramp(size, [(0.0, 70), (top / float(size[1]), 70),
                               (min(1.0, (top + 120 * k) / float(size[1])), 0), (1.0, 0)])
    fill = add_light(fill, (60, 60, 20), lit)
    if trees:
        big = fill.resize((size[0] * 2, size[1] * 2), Image.BICUBIC)
        for count, radius, band in trees:
            tree_clumps(rng, big, [2 * r for r in rows] * 2, count,
                        (radius[0] * k, radius[1] * k),
                        ((28, 52, 24), (44, 78, 34), (70, 104, 46)), (band[0] * k, band[1] * k), k)
        fill = big.resize(size, Image.LANCZOS)
    if haze:
        fill = Image.blend(fill, solid(size, haze_colour), haze)
    return Image.composite(fill, scene, ridge_mask(size, rows))


def background_hills(seed, size=BACKGROUND_SIZE):
    """Rolling green hills with trees under a fair-weather sky."""
    rng = random.Random(seed)
    k = size / float(BACKGROUND_SIZE)
    horizon = int(round(300 * k))
    sky = vertical_gradient((size, horizon), [(0.0, (52, 112, 190)), (0.6, (118, 168, 218)),
                                              (1.0, (206, 224, 236))])
    cloud_sky(rng, sky, horizon, 95, (255, 255, 255), (170, 180, 196), scale=0.8)
    scene = Image.new("RGB", (size, size))
    scene.paste(sky, (0, 0))
    haze = (190, 210, 226)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 262 * k, 30 * k, 4), (92, 120, 146),
                       (130, 154, 176), (8, 8), haze=0.35, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 300 * k, 22 * k, 3), (88, 128, 78),
                       (132, 164, 96), (10, 10), trees=[(260, (2, 4), (4, 50))],
                       haze=0.3, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 352 * k, 28 * k, 3), (70, 122, 50),
                       (120, 164, 70), (8, 8), trees=[(90, (5, 9), (6, 16)),
                                                       (120, (4, 7), (50, 110))],
                       haze=0.12, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 436 * k, 24 * k, 2), (60, 112, 36),
                       (124, 170, 62), (6, 6))
    # Grass in the foreground: fine vertical streaks.
    grass = fractal_noise(rng, (size, size), (128, 16), 2, 0.5)
    streaks = curve(grass, 40, 230, 0.35)
    foreground = ridge_mask((size, size), ridge_line(rng, size, 440 * k, 24 * k, 2))
    scene = Image.composite(ImageChops.multiply(scene, solid(scene.size, (200, 210, 180))),
                            scene, ImageChops.multiply(streaks, foreground))
    return finish(scene, 0.22)


def pitch_texture(size):
    """The playing field seen from above: mowing stripes, touchline, halfway line, circle."""
    width, height = size
    pitch = Image.new("L", size, 0)
    draw = ImageDraw.Draw(pitch)
    stripe = width // 16
    for i in range(16):
        draw.rectangle([i * stripe, 0, (i + 1) * stripe - 1, height], fill=70 if i % 2 else 0)
    return pitch


def background_stadium(seed, size=BACKGROUND_SIZE):
    """A football stadium at dusk: glowing sky, floodlights, stands and the pitch."""
    rng = random.Random(seed)
    k = size / float(BACKGROUND_SIZE)
    roof_top = int(round(196 * k))
    pitch_top = int(round(336 * k))
    sky = vertical_gradient((size, roof_top + int(round(30 * k))), [
        (0.0, (22, 30, 74)), (0.45, (72, 62, 124)), (0.78, (214, 120, 104)),
        (1.0, (250, 178, 108))])
    cloud_sky(rng, sky, roof_top + int(round(30 * k)), 80, (238, 150, 140), (92, 70, 112),
              scale=0.7, haze_rows=(60, 120))
    scene = Image.new("RGB", (size, size), (0, 0, 0))
    scene.paste(sky, (0, 0))

    # The far stand: a bowl whose sides rise towards the edges of the view.
    def bowl(x, base, lift=30 * k):
        return base - lift * ((x - size / 2.0) / (size / 2.0)) ** 2

    stand_mask = ridge_mask((size, size), [bowl(x, roof_top + 14 * k) for x in range(size)])
    # One spectator per two pixels of the small scene, whatever the size.
    small = BACKGROUND_SIZE
    crowd = Image.frombytes("RGB", (small, small), rng.randbytes(small * small * 3))
    crowd = crowd.resize((small // 2, small // 2), Image.BOX).resize((size, size), Image.NEAREST)
    crowd = Image.blend(crowd, crowd.convert("L").convert("RGB"), 0.5)
    crowd = ImageChops.multiply(crowd, solid(crowd.size, (110, 96, 104)))
    crowd = crowd.filter(ImageFilter.GaussianBlur(0.6 * k))
    tiers = Image.new("L", (size, size), 255)
    draw = ImageDraw.Draw(tiers)
    y = float(roof_top + 20 * k)
    while y < pitch_top:
        draw.line([(0, int(y)), (size, int(y))], fill=120, width=max(1, int(round(k))))
        y += 3.0 * k + (y - roof_top) * 0.05
    crowd = ImageChops.multiply(crowd, Image.merge("RGB", (tiers, tiers, tiers)))
    # The roof shades the upper tiers; the floodlights light the lower ones.
    crowd = add_light(crowd, (70, 64, 50), vertical_ramp((size, size), [
        (0.0, 0), (roof_top / float(size), 0), (pitch_top / float(size), 255), (1.0, 255)]))
    shadow = vertical_ramp((size, size), [(0.0, 90), ((roof_top + 14 * k) / float(size), 90),
                                          ((roof_top + 60 * k) / float(size), 255), (1.0, 255)])
    crowd = ImageChops.multiply(crowd, Image.merge("RGB", (shadow, shadow, shadow)))
    scene = Image.composite(crowd, scene, stand_mask)
    roof_mask = ImageChops.subtract(
        ridge_mask((size, size), [bowl(x, roof_top) for x in range(size)]),
        ridge_mask((size, size), [bowl(x, roof_top + 14 * k) for x in range(size)]))
    scene = Image.composite(solid(scene.size, (24, 22, 34)), scene, roof_mask)
    # Lamps along the roof's edge.
    lamps = Image.new("L", (size, size), 0)
    draw = ImageDraw.Draw(lamps)
    for step in range(6, BACKGROUND_SIZE, 14):
        x = step * k
        y = bowl(x, roof_top + 12 * k)
        draw.ellipse([x - 1.2 * k, y - 1.2 * k, x + 1.2 * k, y + 1.2 * k], fill=255)
    scene = add_light(scene, (255, 236, 190), lamps.filter(ImageFilter.GaussianBlur(0.8 * k)))
    scene = add_light(scene, (255, 210, 150), lamps.filter(ImageFilter.GaussianBlur(6 * k)))
    # Advertising boards along the touchline: bands of lit colour.
    for step in range(0, BACKGROUND_SIZE, 36):
        colour = [(30, 90, 200), (220, 220, 220), (200, 40, 40), (250, 190, 40), (40, 150, 80)][
            rng.randrange(5)]
        x = step * k
        ImageDraw.Draw(scene).rectangle([x, pitch_top - 9 * k, x + 36 * k - 1, pitch_top - 1],
                                        fill=mix(colour, (0, 0, 0), 0.25))

    # The pitch in perspective, lit brightest in the middle.
    rows = size - pitch_top
    tex = int(round(512 * k))
    stripes = plane_view(pitch_texture((tex, tex)), size, [y + 12.0 * k for y in range(rows)],
                         140.0 * k, 14000.0 * k * k, (tex / 2, 0))
    pitch = vertical_gradient((size, rows), [(0.0, (52, 120, 54)), (1.0, (40, 104, 40))])
    pitch = add_light(pitch, (44, 48, 30), stripes)
    lines = Image.new("L", (size, rows), 0)
    draw = ImageDraw.Draw(lines)
    line_width = int(round(2 * k))
    draw.line([(0, 3 * k), (size, 3 * k)], fill=220, width=line_width)
    draw.line([(size / 2.0, 3 * k), (size / 2.0 - 30 * k, rows)], fill=210, width=line_width)
    draw.ellipse([size / 2.0 - 150 * k, 30 * k, size / 2.0 + 130 * k, 120 * k], outline=210,
                 width=line_width)
    pitch = add_light(pitch, (230, 230, 220), lines.filter(ImageFilter.GaussianBlur(0.5 * k)))
    scene.paste(pitch, (0, pitch_top))

    # Floodlight masts with their banks of lamps and a wide glow.
    masts = [(x * k, top * k) for x, top in ((44, 70), (468, 70))]
    draw = ImageDraw.Draw(scene)
    for mast_x, top in masts:
        draw.line([(mast_x, top + 10 * k), (mast_x, bowl(mast_x, roof_top) + 4 * k)],
                  fill=(30, 26, 38), width=int(round(4 * k)))
        draw.rectangle([mast_x - 26 * k, top - 12 * k, mast_x + 26 * k, top + 12 * k],
                       fill=(40, 36, 48))
    glow = Image.new("L", (size, size), 0)
    bulbs = Image.new("L", (size, size), 0)
    bulb_draw = ImageDraw.Draw(bulbs)
    for mast_x, top in masts:
        glow = ImageChops.lighter(glow, radial_glow((size, size), (mast_x, top), 170 * k, 150))
        for i in range(6):
            for j in range(3):
                bx = mast_x - 22 * k + i * 8.8 * k
                by = top - 8 * k + j * 8 * k
                bulb_draw.rectangle([bx, by, bx + 5 * k, by + 4 * k], fill=255)
    scene = add_light(scene, (255, 232, 190), glow)
    scene = add_light(scene, (255, 255, 240), bulbs.filter(ImageFilter.GaussianBlur(0.6 * k)))
    scene = add_light(scene, (255, 240, 200), bulbs.filter(ImageFilter.GaussianBlur(7 * k)))
    return finish(scene, 0.3)


# ---------------------------------------------------------------------------
# The overlay font


def is_blank_cell(cell):
    return cell in BLANK_CELLS


def drawn_glyphs():
    """(character, cell) for every glyph that has ink; shared cells are drawn once."""
    seen = set()
    glyphs = []
    for index, cell in enumerate(FONT_GLYPHS):
        if is_blank_cell(cell) or cell in seen:
            continue
        seen.add(cell)
        glyphs.append((chr(FIRST_GLYPH_CODE + index), cell))
    return glyphs


def render_glyph(font, char, width, factor=1):
    """The glyph as a width x CELL_HEIGHT * factor L picture, condensed to fit its cell.

    The glyph keeps its side bearings (scaled) so that glyphs set edge to edge
    stay apart, but never less than one blank column on either side: the
    overlay samples the texture a fraction of a texel off, and ink in a cell's
    edge column would bleed into its neighbour. `factor` is the picture's size
    over the small font's; every margin and empty row grows with it, so the
    large glyph covers the same fraction of its cell.
    """
    scale = SUPERSAMPLE
    height = CELL_HEIGHT * factor
    pad = 8 * scale * factor
    advance = font.getlength(char)
    canvas = Image.new("L", (int(advance) + 2 * pad, height * scale), 0)
    ImageDraw.Draw(canvas).text((pad, GLYPH_BASELINE * factor * scale), char, font=font,
                                fill=255, anchor="ls")
    ink = canvas.getbbox()
    ink_left, ink_right = ink[0] - pad, ink[2] - pad
    if width < NARROW_CELL * factor:
        margin_left = margin_right = 0.0
    else:
        box_left, box_right = min(0.0, ink_left), max(advance, ink_right)
        fit = width / float(box_right - box_left)
        margin_left = max(1.0 * factor, (ink_left - box_left) * fit)
        margin_right = max(1.0 * factor, (box_right - ink_right) * fit)
    ink_width = width - margin_left - margin_right
    glyph = Image.new("L", (width * scale, height * scale), 0)
    squeezed = canvas.crop((ink[0], 0, ink[2], height * scale)).resize(
        (max(1, int(round(ink_width * scale))), height * scale), Image.LANCZOS)
    glyph.paste(squeezed, (int(round(margin_left * scale)), 0))
    glyph = glyph.resize((width, height), Image.BOX)
    # Keep the cell's top and bottom rows empty; cut faint pixels to black.
    glyph.paste(0, (0, 0, width, factor))
    glyph.paste(0, (0, height - factor, width, height))
    cut = GLYPH_DARK_CUT
    return glyph.point([0 if v < cut else int(round(150 + 105 * (v - cut) / (255.0 - cut)))
                        for v in range(256)])


def font_picture(factor=1):
    """The overlay font: light glyphs on exact black, cells as FONT_GLYPHS times `factor`.

    The large font is drawn from the outlines at its own size, not enlarged."""
    font = ImageFont.truetype(GLYPH_FONT, GLYPH_PIXEL_SIZE * SUPERSAMPLE * factor)
    side = FONT_PICTURE_SIZE * factor
    picture = Image.new("L", (side, side), 0)
    for char, (row, left, right) in drawn_glyphs():
        glyph = render_glyph(font, char, (right - left) * factor, factor)
        box = (left * factor, row * factor, right * factor, (row + CELL_HEIGHT) * factor)
        region = picture.crop(box)
        picture.paste(ImageChops.lighter(region, glyph), box[:2])
    return picture


def save_font_gif(picture, path):
    """Saves the L picture as a GIF whose palette entry for black is exactly 0, 0, 0."""
    indexed = picture.convert("P")  # grey palette: index n is (n, n, n)
    indexed.putpalette([v for n in range(256) for v in (n, n, n)])
    indexed.save(path, "GIF", optimize=False)


# ---------------------------------------------------------------------------
# A waving flag, for the dialog's picture and the icon

BRAND_BLUE = (0, 74, 153)


def brand_flag(size):
    """The saver's own flag: white and blue bands."""
    width, height = size
    flag = Image.new("RGB", size, (255, 255, 255))
    draw = ImageDraw.Draw(flag)
    for top, bottom in ((0.0, 0.2), (0.4, 0.6), (0.8, 1.0)):
        draw.rectangle([0, int(top * height), width, int(bottom * height) - 1], fill=BRAND_BLUE)
    return flag


def waving_flag(texture, length, height, waves=1.5, amplitude=0.2, phase=0.6):
    """RGBA picture of `texture` rippling in the wind, its hoist on the left edge.

    Each texture column becomes one screen column, moved by the cloth's depth
    wave: turned columns crowd together, nearer ones drop and grow a little, and
    the light from the front-left shades the slopes.
    """
    tex_w, tex_h = texture.size
    canvas = Image.new("RGBA", (int(length + 2), int(height * 1.5) + 2), (0, 0, 0, 0))
    x = 0.0
    top = height * 0.2
    for i in range(tex_w):
        t = i / float(tex_w - 1)
        angle = 2 * math.pi * waves * t - phase
        depth = amplitude * length * (t ** 0.8) * math.sin(angle)
        slope = amplitude * (t ** 0.8) * 2 * math.pi * waves * math.cos(angle)
        shade = clamp(0.9 - 0.55 * slope, 0.5, 1.18)
        grow = 1.0 + 0.25 * depth / length
        column_h = max(1, int(round(height * grow)))
        y = top + 0.22 * depth + 0.06 * height * t * t - (column_h - height) / 2.0
        column = texture.crop((i, 0, i + 1, tex_h)).resize((1, column_h), Image.BICUBIC)
        column = column.point([min(255, int(v * shade)) for v in range(256)] * 3)
        canvas.paste(column.convert("RGBA"), (int(x), int(round(y))))
        x += length / float(tex_w) / math.sqrt(1.0 + slope * slope * 0.35)
    return canvas.crop((0, 0, int(x) + 1, canvas.size[1]))


def flag_on_pole(size, backdrop=None):
    """A waving brand flag on a pole, over `backdrop` or transparent; `size` square or not."""
    width, height = size
    big_w, big_h = width * SUPERSAMPLE, height * SUPERSAMPLE
    if backdrop is None:
        canvas = Image.new("RGBA", (big_w, big_h), (0, 0, 0, 0))
        pole_x, pole_top, pole_w = 0.14 * big_w, 0.12 * big_h, max(0.075 * big_w, 1.6 * SUPERSAMPLE)
        flag_len, flag_h = 0.8 * big_w, 0.5 * big_h
    else:
        canvas = backdrop.convert("RGBA").resize((big_w, big_h), Image.BICUBIC)
        pole_x, pole_top, pole_w = 0.22 * big_w, 0.08 * big_h, 0.018 * big_w
        flag_len, flag_h = 0.62 * big_w, 0.44 * big_h
    texture = brand_flag((int(flag_len), int(flag_len / 1.5)))
    flag = waving_flag(texture, flag_len, flag_h)
    draw = ImageDraw.Draw(canvas)
    draw.rectangle([pole_x - pole_w / 2, pole_top, pole_x + pole_w / 2, big_h], fill=(92, 92, 104, 255))
    draw.rectangle([pole_x - pole_w / 2, pole_top, pole_x - pole_w / 6, big_h],
                   fill=(170, 170, 182, 255))
    knob = pole_w * 0.9
    draw.ellipse([pole_x - knob, pole_top - knob * 1.6, pole_x + knob, pole_top + knob * 0.4],
                 fill=(222, 180, 60, 255))
    canvas.alpha_composite(flag, (int(pole_x + pole_w / 2), int(pole_top - 0.2 * flag_h)))
    return canvas.resize(size, Image.LANCZOS)


def dialog_picture(background):
    """The saver at work in miniature: the brand flag before a background."""
    width, height = DIALOG_SIZE
    crop_h = int(BACKGROUND_SIZE * height / float(width))
    top = (BACKGROUND_SIZE - crop_h) // 2
    backdrop = background.crop((0, top, BACKGROUND_SIZE, top + crop_h)).resize(
        DIALOG_SIZE, Image.LANCZOS)
    return flag_on_pole(DIALOG_SIZE, backdrop).convert("RGB")


def icon_entry_bmp(picture):
    """One icon image in the classic form: 32-bit DIB with an AND mask."""
    width, height = picture.size
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rgba = picture.convert("RGBA")
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for y in range(height - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = rgba.getpixel((x, y))
            pixels += bytes((b, g, r, a))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def icon_file(pictures):
    """ICO bytes: DIB entries for the small sizes, PNG for 256 as Windows expects."""
    entries = []
    for picture in pictures:
        if picture.size[0] >= 256:
            data = io.BytesIO()
            picture.save(data, "PNG", optimize=True)
            entries.append((picture.size, data.getvalue()))
        else:
            entries.append((picture.size, icon_entry_bmp(picture)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for (width, height), data in entries:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in entries)


def palette_image(palette):
    """A 1 x 1 picture that carries `palette` (RGB triples, flat) for quantize()."""
    holder = Image.new("P", (1, 1))
    holder.putpalette(palette + [0] * (768 - len(palette)))
    return holder


# ---------------------------------------------------------------------------
# Contact sheet

SHEET_GREY = (96, 96, 100)
def contact_sheet(backgrounds, font, dialog, icons, large_font, large_background):
    """One PNG that shows every built-in picture, labelled (the flags have docs/flags.png)."""
    label_font = ImageFont.truetype(PLAIN_FONT, 15)
    sheet = Image.new("RGB", (1260, 930), (228, 228, 224))
    draw = ImageDraw.Draw(sheet)

    def label(x, y, text):
        draw.text((x, y), text, font=label_font, fill=(20, 20, 20))

    # The font on grey, so its black and its cells both show; cell frames in blue.
    font_view = Image.new("RGB", (FONT_PICTURE_SIZE, FONT_PICTURE_SIZE), SHEET_GREY)
    font_view.paste(solid(font.size, (255, 255, 255)), (0, 0), font)
    font_view = font_view.resize((512, 512), Image.NEAREST)
    frame = ImageDraw.Draw(font_view)
    for _, (row, left, right) in drawn_glyphs():
        frame.rectangle([left * 2, row * 2, right * 2 - 1, (row + CELL_HEIGHT) * 2 - 1],
                        outline=(90, 140, 230))
    label(20, 10, "font2000.gif (twice its size, black as grey, cells framed)")
    sheet.paste(font_view, (20, 32))
    label(560, 10, "dialog3000.jpg (158 x 118, twice its size)")
    sheet.paste(dialog.resize((316, 236), Image.LANCZOS), (560, 32))
    label(900, 10, "icon100.ico (16, 32, 48, 256)")
    x = 900
    for icon in icons:
        shown = icon if icon.size[0] <= 48 else icon.resize((128, 128), Image.LANCZOS)
        sheet.paste(shown, (x, 36), shown)
        x += shown.size[0] + 12
    label(560, 290, "background1000.jpg .. background1002.jpg (512 x 512, shown at 340)")
    for i, background in enumerate(backgrounds):
        pos = (560 + (i % 2) * 350, 312) if i < 2 else (20, 560)
        sheet.paste(background.resize((340, 340), Image.LANCZOS), pos)
        label(pos[0], pos[1] + 342, "background%d.jpg" % (1000 + i))
    # The large pictures at 1 : 1 beside the small font enlarged to the same size.
    factor = LARGE_FONT_FACTOR
    box = (7, 45, 82, 87)  # B, C and D
    large_box = tuple(v * factor for v in box)
    label(380, 690, "font2000.gif enlarged %d times" % factor)
    enlarged = font.crop(box).resize((large_box[2] - large_box[0], large_box[3] - large_box[1]),
                                     Image.NEAREST)
    sheet.paste(enlarged, (380, 712))
    label(700, 690, "%s (1 : 1)" % LARGE_FONT_FILE)
    sheet.paste(large_font.crop(large_box), (700, 712))
    label(1020, 690, "background1012.jpg (1 : 1)")
    sheet.paste(large_background.crop((400, 1240, 620, 1408)), (1020, 712))
    return sheet


# ---------------------------------------------------------------------------
# Checks of the written files

BACKGROUNDS = (
    ("background1000.jpg", background_sea, 1000),
    ("background1001.jpg", background_hills, 1001),
    ("background1002.jpg", background_stadium, 1002),
)
# The same scenes (same seeds) for large displays, each with its small one.
LARGE_BACKGROUND_SIZE = 2048
LARGE_BACKGROUNDS = (
    ("background1010.jpg", "background1000.jpg"),
    ("background1011.jpg", "background1001.jpg"),
    ("background1012.jpg", "background1002.jpg"),
)
FONT_FILE = "font2000.gif"
LARGE_FONT_FILE = "font2001.gif"
LARGE_FONT_FACTOR = 4
DIALOG_FILE = "dialog3000.jpg"
ICON_FILE = "icon100.ico"
JPEG_QUALITY = 92
BACKGROUND_BYTES = (30000, 120000)
LARGE_BACKGROUND_BYTES = (150000, 900000)
# A large scene reduced to 512 against its small one, mean difference per
# channel: the same scene differs by its finer detail (about 1 to 4); a shifted
# or different scene by tens.
LARGE_BACKGROUND_MEAN_DIFFERENCE = 7.0
# The large scenes hold two to three times the fine detail of a small one
# enlarged; an enlarged copy, saved as JPEG, 1.1 to 1.3 times.
LARGE_BACKGROUND_DETAIL_GAIN = 1.5
# The large font reduced by its factor against the small font, per glyph: the
# ink's centre (in small pixels) and area, and its box. A glyph one small pixel
# off or drawn at another size fails.
GLYPH_CENTRE_TOLERANCE = 0.75
GLYPH_AREA_TOLERANCE = 0.2
# Drawn at its own size, a glyph's edge crosses many 4 x 4 blocks; an enlarged
# copy of the small font would have none but whole blocks.
LARGE_FONT_MIN_EDGE_SHARE = 0.2
LIT_MINIMUM = 128  # lit font pixels are light; anything darker would be stray noise
GLYPH_MIN_LIT = 4


def jpeg_frame_markers(data):
    """The start-of-frame marker codes of a JPEG byte string, or None if it is malformed."""
    if data[:2] != b"\xff\xd8":
        return None
    markers = []
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            return None
        code = data[pos + 1]
        if code == 0xFF:
            pos += 1
            continue
        if code == 0xDA:  # start of scan: the headers are over
            return markers
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if 0xC0 <= code <= 0xCF and code not in (0xC4, 0xC8, 0xCC):
            markers.append(code)
        pos += 2 + length
    return None


def check_jpeg(faults, path, size):
    data = read_bytes(faults, path)
    if data is None:
        return None
    markers = jpeg_frame_markers(data)
    if markers != [0xC0]:
        faults.append("%s: not a baseline JPEG (frame markers %r)" % (path, markers))
    picture = open_picture(faults, path, "JPEG")
    if picture is not None and size is not None and picture.size != size:
        faults.append("%s: size %r, expected %r" % (path, picture.size, size))
    return picture


def read_bytes(faults, path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError as error:
        faults.append("%s: cannot read (%s)" % (path, error))
        return None


def open_picture(faults, path, expected_format):
    try:
        picture = Image.open(path)
        picture.load()
    except Exception as error:  # any decoder failure is a fault to report
        faults.append("%s: cannot decode (%s)" % (path, error))
        return None
    if picture.format != expected_format:
        faults.append("%s: format %s, expected %s" % (path, picture.format, expected_format))
    if getattr(picture, "n_frames", 1) != 1:
        faults.append("%s: %d frames, expected one" % (path, picture.n_frames))
    return picture


def check_glyph_table(faults):
    if len(FONT_GLYPHS) != 92:
        faults.append("glyph table has %d entries, expected 92" % len(FONT_GLYPHS))
    for index, (row, left, right) in enumerate(FONT_GLYPHS):
        code = FIRST_GLYPH_CODE + index
        if row not in BAND_TOPS or not 0 <= left < right <= FONT_PICTURE_SIZE:
            faults.append("glyph table: code %d has a bad cell %r" % (code, (row, left, right)))
    if FONT_GLYPHS[123 - FIRST_GLYPH_CODE] != FONT_GLYPHS[42 - FIRST_GLYPH_CODE]:
        faults.append("glyph table: code 123 must share the cell of code 42")
    for code, cell in ((32, (3, 0, 7)), (95, (3, 0, 4)), (34, (3, 0, 5))):
        if FONT_GLYPHS[code - FIRST_GLYPH_CODE] != cell:
            faults.append("glyph table: code %d must be the blank cell %r" % (code, cell))
    cells = [cell for _, cell in drawn_glyphs()]
    for i, (row, left, right) in enumerate(cells):
        for other in cells[i + 1:]:
            if other[0] == row and left < other[2] and other[1] < right:
                faults.append("glyph table: cells %r and %r overlap" % ((row, left, right), other))


def check_gif_palette(faults, path):
    """The global colour table must be the grey ramp, entry 0 exactly black."""
    data = read_bytes(faults, path)
    if data is None:
        return
    if len(data) < 13 + 768 or data[:6] not in (b"GIF87a", b"GIF89a") or data[10] & 0x87 != 0x87:
        faults.append("%s: no 256-entry global colour table" % path)
        return
    table = data[13:13 + 768]
    if table != bytes(v for n in range(256) for v in (n, n, n)):
        faults.append("%s: colour table is not the grey ramp with black at 0" % path)


def lit_mask(picture):
    """255 where the program lights a font pixel (any non-black), else 0."""
    return picture.convert("L").point([0] + [255] * 255)


def lit_pixels(mask, box=None):
    return (mask.crop(box) if box else mask).histogram()[255]


def check_font(faults, path, factor=1):
    """The font picture FONT_PICTURE_SIZE * factor square, ink inside its cells times factor.

    Returns the picture as L, or None when it cannot be read."""
    check_glyph_table(faults)
    picture = open_picture(faults, path, "GIF")
    if picture is None:
        return None
    check_gif_palette(faults, path)
    side = FONT_PICTURE_SIZE * factor
    if picture.size != (side, side):
        faults.append("%s: size %r, expected %d x %d" % (path, picture.size, side, side))
        return None
    grey = picture.convert("L")
    lit = lit_mask(grey)
    glyphs = [(char, cell, tuple(v * factor for v in (cell[1], cell[0], cell[2],
                                                       cell[0] + CELL_HEIGHT)))
              for char, cell in drawn_glyphs()]
    cells = Image.new("L", grey.size, 0)
    for _, _, box in glyphs:
        cells.paste(255, box)
    stray = lit_pixels(ImageChops.subtract(lit, cells))
    dark = sum(grey.histogram()[1:LIT_MINIMUM])
    edge = sum(lit_pixels(lit, (left, top, right, top + factor)) +
               lit_pixels(lit, (left, bottom - factor, right, bottom))
               for _, _, (left, top, right, bottom) in glyphs)
    if grey.getpixel((0, 0)) != 0 or grey.getpixel((side - 1, side - 1)) != 0:
        faults.append("%s: background is not exactly black" % path)
    if stray:
        faults.append("%s: %d lit pixels outside their own glyph cell" % (path, stray))
    if dark:
        faults.append("%s: %d lit pixels darker than %d (stray grey)" % (path, dark, LIT_MINIMUM))
    if edge:
        faults.append("%s: %d lit pixels in a cell's top or bottom row" % (path, edge))
    for char, cell, box in glyphs:
        count = lit_pixels(lit, box)
        if count < GLYPH_MIN_LIT * factor * factor:
            faults.append("%s: glyph %r in cell %r has only %d lit pixels"
                          % (path, char, cell, count))
    for row, left, right in BLANK_CELLS:
        box = tuple(v * factor for v in (left, row, right, row + CELL_HEIGHT))
        if lit.crop(box).getbbox() is not None:
            faults.append("%s: blank cell %r is not black" % (path, (row, left, right)))
    return grey


def ink_centre(mask):
    """(x, y, area) of an L coverage picture's ink, area in full pixels."""
    width, height = mask.size
    columns = mask.resize((width, 1), Image.BOX).getdata()
    rows = mask.resize((1, height), Image.BOX).getdata()
    total = float(sum(columns)) or 1.0
    return (sum(x * v for x, v in enumerate(columns)) / total,
            sum(y * v for y, v in enumerate(rows)) / float(sum(rows) or 1.0),
            total * height / 255.0)


def check_large_font(faults, path, small, large, factor):
    """Every glyph of the large font, reduced by `factor`, where the small font has it."""
    small_lit = lit_mask(small)
    large_lit = lit_mask(large)
    reduced = large_lit.resize(small.size, Image.BOX)
    for char, (row, left, right) in drawn_glyphs():
        box = (left, row, right, row + CELL_HEIGHT)
        sx, sy, s_area = ink_centre(small_lit.crop(box))
        lx, ly, l_area = ink_centre(reduced.crop(box))
        off = max(abs(sx - lx), abs(sy - ly))
        if off > GLYPH_CENTRE_TOLERANCE:
            faults.append("%s: glyph %r lies %.2f small pixels from the small font's"
                          % (path, char, off))
        if abs(l_area - s_area) > GLYPH_AREA_TOLERANCE * s_area:
            faults.append("%s: glyph %r covers %.0f small pixels, the small font %.0f"
                          % (path, char, l_area, s_area))
        half = reduced.crop(box).point([0] * 128 + [255] * 128).getbbox()
        whole = small_lit.crop(box).getbbox()
        if half is None or whole is None or max(abs(a - b) for a, b in zip(half, whole)) > 1:
            faults.append("%s: glyph %r spans %r in its cell, the small font %r"
                          % (path, char, half, whole))
    histogram = reduced.histogram()
    inked = sum(histogram[1:])
    if inked and sum(histogram[1:255]) < LARGE_FONT_MIN_EDGE_SHARE * inked:
        faults.append("%s: glyph edges are whole %d x %d blocks: an enlarged small font?"
                      % (path, factor, factor))


def mean_difference(picture_a, picture_b):
    """Mean absolute difference of two RGB pictures, averaged over the channels."""
    histogram = ImageChops.difference(picture_a, picture_b).histogram()
    pixels = picture_a.size[0] * picture_a.size[1] * 3.0
    return sum((i % 256) * n for i, n in enumerate(histogram)) / pixels


def check_large_background(faults, path, picture, small_path):
    """Reduced to the small one's size, the large scene is close to it and lies on it:
    moved one pixel any way, the two differ more."""
    small = open_picture(faults, small_path, "JPEG")
    if small is None:
        return
    side = small.size[0]
    reduced = picture.convert("RGB").resize(small.size, Image.BOX)
    margin = 2
    inner = small.convert("RGB").crop((margin, margin, side - margin, side - margin))

    def against(dx, dy):
        return mean_difference(inner, reduced.crop((margin + dx, margin + dy,
                                                    side - margin + dx, side - margin + dy)))

    aligned = against(0, 0)
    if aligned > LARGE_BACKGROUND_MEAN_DIFFERENCE:
        faults.append("%s: reduced to %d it differs from %s by %.1f on average"
                      % (path, side, os.path.basename(small_path), aligned))
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        if against(dx, dy) <= aligned:
            faults.append("%s: reduced to %d it matches %s better moved by (%d, %d)"
                          % (path, side, os.path.basename(small_path), dx, dy))
    # Its own detail: what a picture at twice the small size loses when reduced
    # to the small size and enlarged back, against the same loss of the small
    # one enlarged. (Twice, not four times: the finest scale holds JPEG's noise.)
    large = picture.convert("RGB")

    def detail(full):
        middle = full.resize((side * 2, side * 2), Image.BOX)
        coarse = middle.resize(small.size, Image.BOX).resize(middle.size, Image.BICUBIC)
        return mean_difference(middle, coarse)

    enlarged = detail(small.convert("RGB").resize(large.size, Image.BICUBIC))
    if detail(large) < LARGE_BACKGROUND_DETAIL_GAIN * enlarged:
        faults.append("%s: no finer detail than %s enlarged (%.2f against %.2f)"
                      % (path, os.path.basename(small_path), detail(large), enlarged))


def check_icon(faults, path):
    data = read_bytes(faults, path)
    if data is None:
        return
    if len(data) < 6 or struct.unpack("<HHH", data[:6]) != (0, 1, len(ICON_SIZES)):
        faults.append("%s: not an icon file with %d images" % (path, len(ICON_SIZES)))
        return
    picture = open_picture(faults, path, "ICO")
    if picture is None:
        return
    sizes = sorted(size[0] for size in picture.info.get("sizes", ()))
    if sizes != sorted(ICON_SIZES):
        faults.append("%s: sizes %r, expected %r" % (path, sizes, ICON_SIZES))
    for size in ICON_SIZES:
        try:
            picture.size = (size, size)
            picture.load()
        except Exception as error:
            faults.append("%s: the %d-pixel image does not decode (%s)" % (path, size, error))


def check_outputs():
    """Every fault found in the written files, as readable lines; empty when all is well."""
    faults = []
    backgrounds = [(name, BACKGROUND_SIZE, BACKGROUND_BYTES, None) for name, _, _ in BACKGROUNDS]
    backgrounds += [(name, LARGE_BACKGROUND_SIZE, LARGE_BACKGROUND_BYTES, small)
                    for name, small in LARGE_BACKGROUNDS]
    for file_name, side, byte_range, small_name in backgrounds:
        path = os.path.join(RESOURCE_DIR, file_name)
        picture = check_jpeg(faults, path, (side, side))
        if picture is None:
            continue
        size = os.path.getsize(path)
        if not byte_range[0] <= size <= byte_range[1]:
            faults.append("%s: %d bytes, outside %r" % (path, size, byte_range))
        # A photograph, not a flat field: its pixels must spread.
        spread = max(high - low for low, high in picture.convert("RGB").getextrema())
        if spread < 100:
            faults.append("%s: looks flat (value spread %d)" % (path, spread))
        if small_name:
            check_large_background(faults, path, picture, os.path.join(RESOURCE_DIR, small_name))
    small_font = check_font(faults, os.path.join(RESOURCE_DIR, FONT_FILE))
    large_path = os.path.join(RESOURCE_DIR, LARGE_FONT_FILE)
    large_font = check_font(faults, large_path, LARGE_FONT_FACTOR)
    if small_font is not None and large_font is not None:
        check_large_font(faults, large_path, small_font, large_font, LARGE_FONT_FACTOR)
    check_jpeg(faults, os.path.join(RESOURCE_DIR, DIALOG_FILE), DIALOG_SIZE)
    check_icon(faults, os.path.join(RESOURCE_DIR, ICON_FILE))
    open_picture(faults, SHEET_PATH, "PNG")
    return faults


# ---------------------------------------------------------------------------
# Generation


def generate():
    os.makedirs(RESOURCE_DIR, exist_ok=True)
    os.makedirs(os.path.dirname(SHEET_PATH), exist_ok=True)
    backgrounds = []
    large = None
    for (file_name, make, seed), (large_name, _) in zip(BACKGROUNDS, LARGE_BACKGROUNDS):
        picture = make(seed)
        picture.save(os.path.join(RESOURCE_DIR, file_name), "JPEG", quality=JPEG_QUALITY,
                     progressive=False, optimize=True)
        backgrounds.append(picture)
        large = make(seed, LARGE_BACKGROUND_SIZE)  # the last, the stadium, is on the sheet
        large.save(os.path.join(RESOURCE_DIR, large_name), "JPEG", quality=JPEG_QUALITY,
                   progressive=False, optimize=True)
    font = font_picture()
    save_font_gif(font, os.path.join(RESOURCE_DIR, FONT_FILE))
    large_font = font_picture(LARGE_FONT_FACTOR)
    save_font_gif(large_font, os.path.join(RESOURCE_DIR, LARGE_FONT_FILE))
    dialog = dialog_picture(backgrounds[0])
    dialog.save(os.path.join(RESOURCE_DIR, DIALOG_FILE), "JPEG", quality=90, progressive=False)
    icons = [flag_on_pole((size, size)) for size in ICON_SIZES]
    with open(os.path.join(RESOURCE_DIR, ICON_FILE), "wb") as handle:
        handle.write(icon_file(icons))
    contact_sheet(backgrounds, font, dialog, icons, large_font, large).save(
        SHEET_PATH, "PNG", optimize=True)


def main(argv):
    if argv[1:] not in ([], ["--check"]):
        sys.stderr.write("usage: gen_resources.py [--check]\n")
        return 2
    if not argv[1:]:
        generate()
    faults = check_outputs()
    if faults:
        sys.stderr.write("gen_resources: %d FAULTS in the generated resources:\n" % len(faults))
        for fault in faults:
            sys.stderr.write("  FAULT: %s\n" % fault)
        return 1
    print("gen_resources: all outputs checked: 3 backgrounds and their large ones, font and "
          "large font, dialog picture, icon, contact sheet")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
