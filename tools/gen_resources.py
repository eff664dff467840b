#!/usr/bin/python3
"""Generates every built-in picture and the icon, then checks them.

    /usr/bin/python3 tools/gen_resources.py          regenerate everything, then check
    /usr/bin/python3 tools/gen_resources.py --check  only check the committed files

Writes src/resources/background1000.jpg .. background1002.jpg (512 x 512 scenes),
font2000.gif (the overlay font, laid out as FONT_GLYPHS says), dialog3000.jpg
(158 x 118), icon100.ico and the contact sheet docs/resources.png; the flag
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
    """Lays perspective cumulus clouds over the first `rows` rows of `sky` (in place)."""
    width = sky.size[0]
    texture = fractal_noise(rng, (512, 512), (int(4 / scale), int(4 / scale)), 5, 0.55)
    noise = plane_view(texture, width, [rows - y for y in range(rows)], rows * scale,
                       1.5 * rows * rows * scale, (256, 0))
    density = curve(noise, 255 - coverage, 255 - coverage + 70)
    # Clouds thin out into the haze near the horizon.
    fade = vertical_ramp((width, rows), [(0.0, 255), (1.0 - haze_rows[1] / float(rows), 255),
                                         (1.0 - haze_rows[0] / float(rows), 0), (1.0, 0)])
    density = ImageChops.multiply(density, fade)
    # A pixel with much cloud above it lies in a cloud's underside: shade it.
    blurred = density.filter(ImageFilter.GaussianBlur(3))
    above = Image.new("L", (width, rows))
    above.paste(blurred.crop((0, 0, width, rows - 7)), (0, 7))
    above.paste(blurred.crop((0, 0, width, 1)).resize((width, 7)), (0, 0))
    shade = curve(above, 60, 255, 0.8)
    cloud = Image.composite(solid((width, rows), colour_shade), solid((width, rows), colour_lit),
                            shade)
    region = sky.crop((0, 0, width, rows))
    region = Image.composite(cloud, region, density.filter(ImageFilter.GaussianBlur(0.7)))
    sky.paste(region, (0, 0))


def vignette(image, strength):
    size = image.size
    glow = Image.radial_gradient("L").resize(size, Image.BICUBIC)
    darken = glow.point([int(round(255 * (1.0 - strength * smoothstep(90, 255, v))))
                         for v in range(256)])
    return ImageChops.multiply(image, Image.merge("RGB", (darken, darken, darken)))


def background_sea(seed):
    """Sky with cumulus clouds over the sea, a low island and sunlight on the water."""
    rng = random.Random(seed)
    size = BACKGROUND_SIZE
    horizon = 318
    sun = (352, 118)
    sky = vertical_gradient((size, horizon), [(0.0, (34, 86, 160)), (0.55, (92, 146, 204)),
                                              (1.0, (196, 214, 228))])
    cloud_sky(rng, sky, horizon, 118, (255, 255, 252), (160, 170, 188))
    # The sun shines through thin cloud, so its glow goes on top.
    sky = add_light(sky, (255, 230, 190), radial_glow(sky.size, sun, 220, 80))
    sky = add_light(sky, (255, 250, 235), radial_glow(sky.size, sun, 40, 255))

    sea_rows = size - horizon
    sea = vertical_gradient((size, sea_rows), [(0.0, (150, 175, 192)), (0.08, (70, 118, 150)),
                                               (0.45, (34, 86, 122)), (1.0, (16, 58, 92))])
    waves = fractal_noise(rng, (512, 512), (6, 48), 3, 0.6)
    ripples = plane_view(waves, size, [y + 1.0 for y in range(sea_rows)], 120.0, 40000.0,
                         (256, 0))
    light_sea = ImageChops.screen(sea, solid(sea.size, (60, 70, 80)))
    dark_sea = ImageChops.multiply(sea, solid(sea.size, (200, 205, 210)))
    sea = Image.composite(light_sea, dark_sea, curve(ripples, 60, 200))
    # Glitter: the brightest ripple crests in a path below the sun.
    path = Image.new("L", sea.size, 0)
    draw = ImageDraw.Draw(path)
    for y in range(sea_rows):
        half = 6 + y * 0.55
        draw.line([(sun[0] - half, y), (sun[0] + half, y)], fill=int(255 - 150 * y / sea_rows))
    path = path.filter(ImageFilter.GaussianBlur(14))
    sparkle = ImageChops.multiply(curve(ripples, 120, 190), path)
    sea = add_light(sea, (255, 240, 210), sparkle)

    scene = Image.new("RGB", (size, size))
    scene.paste(sky, (0, 0))
    scene.paste(sea, (0, horizon))
    # A hazy island low on the horizon, to the left.
    island_rows = ridge_line(rng, size, horizon + 2, 10, 5)
    island_rows = [r - 9 * smoothstep(0, 60, x) * (1 - smoothstep(120, 230, x)) for x, r in
                   enumerate(island_rows)]
    island_rows = [r if 20 < x < 240 else horizon + 4 for x, r in enumerate(island_rows)]
    island = ridge_mask((size, size), island_rows)
    island = ImageChops.multiply(island, vertical_ramp((size, size), [(0, 255), (
        (horizon + 1) / float(size), 255), ((horizon + 2) / float(size), 0), (1, 0)]))
    scene = Image.composite(solid(scene.size, (120, 142, 160)), scene, island)
    scene = scene.filter(ImageFilter.GaussianBlur(0.4))
    return vignette(scene, 0.25)


def tree_clumps(rng, layer, mask_rows, count, size_range, colours, band):
    """Scatters groves of small round trees in a band below a ridge."""
    draw = ImageDraw.Draw(layer)
    dark, mid, light = colours
    width = layer.size[0]
    trees = []
    while len(trees) < count:
        centre_x = rng.uniform(0, width)
        centre_y = rng.uniform(band[0], band[1])
        spread = rng.uniform(6, 30)
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
    """Draws one range of hills whose ridge follows `rows` over `scene`."""
    size = scene.size
    fill = textured(scene, rng, colour_dark, colour_light, cells, 4)
    # Sun from the upper left: the tops of the hills catch more light.
    top = min(rows)
    lit = vertical_ramp(size, [(0.0, 70), (top / float(size[1]), 70),
                               (min(1.0, (top + 120) / float(size[1])), 0), (1.0, 0)])
    fill = add_light(fill, (60, 60, 20), lit)
    if trees:
        big = fill.resize((size[0] * 2, size[1] * 2), Image.BICUBIC)
        for count, radius, band in trees:
            tree_clumps(rng, big, [2 * r for r in rows] * 2, count, radius,
                        ((28, 52, 24), (44, 78, 34), (70, 104, 46)), band)
        fill = big.resize(size, Image.LANCZOS)
    if haze:
        fill = Image.blend(fill, solid(size, haze_colour), haze)
    return Image.composite(fill, scene, ridge_mask(size, rows))


def background_hills(seed):
    """Rolling green hills with trees under a fair-weather sky."""
    rng = random.Random(seed)
    size = BACKGROUND_SIZE
    horizon = 300
    sky = vertical_gradient((size, horizon), [(0.0, (52, 112, 190)), (0.6, (118, 168, 218)),
                                              (1.0, (206, 224, 236))])
    cloud_sky(rng, sky, horizon, 95, (255, 255, 255), (170, 180, 196), scale=0.8)
    scene = Image.new("RGB", (size, size))
    scene.paste(sky, (0, 0))
    haze = (190, 210, 226)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 262, 30, 4), (92, 120, 146),
                       (130, 154, 176), (8, 8), haze=0.35, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 300, 22, 3), (88, 128, 78),
                       (132, 164, 96), (10, 10), trees=[(260, (2, 4), (4, 50))],
                       haze=0.3, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 352, 28, 3), (70, 122, 50),
                       (120, 164, 70), (8, 8), trees=[(90, (5, 9), (6, 16)),
                                                       (120, (4, 7), (50, 110))],
                       haze=0.12, haze_colour=haze)
    scene = hill_layer(rng, scene, ridge_line(rng, size, 436, 24, 2), (60, 112, 36),
                       (124, 170, 62), (6, 6))
    # Grass in the foreground: fine vertical streaks.
    grass = fractal_noise(rng, (size, size), (128, 16), 2, 0.5)
    streaks = curve(grass, 40, 230, 0.35)
    foreground = ridge_mask((size, size), ridge_line(rng, size, 440, 24, 2))
    scene = Image.composite(ImageChops.multiply(scene, solid(scene.size, (200, 210, 180))),
                            scene, ImageChops.multiply(streaks, foreground))
    scene = scene.filter(ImageFilter.GaussianBlur(0.4))
    return vignette(scene, 0.22)


def pitch_texture(size):
    """The playing field seen from above: mowing stripes, touchline, halfway line, circle."""
    width, height = size
    pitch = Image.new("L", size, 0)
    draw = ImageDraw.Draw(pitch)
    stripe = width // 16
    for i in range(16):
        draw.rectangle([i * stripe, 0, (i + 1) * stripe - 1, height], fill=70 if i % 2 else 0)
    return pitch


def background_stadium(seed):
    """A football stadium at dusk: glowing sky, floodlights, stands and the pitch."""
    rng = random.Random(seed)
    size = BACKGROUND_SIZE
    roof_top = 196
    pitch_top = 336
    sky = vertical_gradient((size, roof_top + 30), [
        (0.0, (22, 30, 74)), (0.45, (72, 62, 124)), (0.78, (214, 120, 104)),
        (1.0, (250, 178, 108))])
    cloud_sky(rng, sky, roof_top + 30, 80, (238, 150, 140), (92, 70, 112), scale=0.7,
              haze_rows=(60, 120))
    scene = Image.new("RGB", (size, size), (0, 0, 0))
    scene.paste(sky, (0, 0))

    # The far stand: a bowl whose sides rise towards the edges of the view.
    def bowl(x, base, lift):
        return base - lift * ((x - size / 2.0) / (size / 2.0)) ** 2

    stand_mask = ridge_mask((size, size), [bowl(x, roof_top + 14, 30) for x in range(size)])
    crowd = Image.frombytes("RGB", (size, size), rng.randbytes(size * size * 3))
    crowd = crowd.resize((size // 2, size // 2), Image.BOX).resize((size, size), Image.NEAREST)
    crowd = Image.blend(crowd, crowd.convert("L").convert("RGB"), 0.5)
    crowd = ImageChops.multiply(crowd, solid(crowd.size, (110, 96, 104)))
    crowd = crowd.filter(ImageFilter.GaussianBlur(0.6))
    tiers = Image.new("L", (size, size), 255)
    draw = ImageDraw.Draw(tiers)
    y = float(roof_top + 20)
    while y < pitch_top:
        draw.line([(0, int(y)), (size, int(y))], fill=120)
        y += 3.0 + (y - roof_top) * 0.05
    crowd = ImageChops.multiply(crowd, Image.merge("RGB", (tiers, tiers, tiers)))
    # The roof shades the upper tiers; the floodlights light the lower ones.
    crowd = add_light(crowd, (70, 64, 50), vertical_ramp((size, size), [
        (0.0, 0), (roof_top / float(size), 0), (pitch_top / float(size), 255), (1.0, 255)]))
    shadow = vertical_ramp((size, size), [(0.0, 90), ((roof_top + 14) / float(size), 90),
                                          ((roof_top + 60) / float(size), 255), (1.0, 255)])
    crowd = ImageChops.multiply(crowd, Image.merge("RGB", (shadow, shadow, shadow)))
    scene = Image.composite(crowd, scene, stand_mask)
    roof_mask = ImageChops.subtract(
        ridge_mask((size, size), [bowl(x, roof_top, 30) for x in range(size)]),
        ridge_mask((size, size), [bowl(x, roof_top + 14, 30) for x in range(size)]))
    scene = Image.composite(solid(scene.size, (24, 22, 34)), scene, roof_mask)
    # Lamps along the roof's edge.
    lamps = Image.new("L", (size, size), 0)
    draw = ImageDraw.Draw(lamps)
    for x in range(6, size, 14):
        y = bowl(x, roof_top + 12, 30)
        draw.ellipse([x - 1.2, y - 1.2, x + 1.2, y + 1.2], fill=255)
    scene = add_light(scene, (255, 236, 190), lamps.filter(ImageFilter.GaussianBlur(0.8)))
    scene = add_light(scene, (255, 210, 150), lamps.filter(ImageFilter.GaussianBlur(6)))
    # Advertising boards along the touchline: bands of lit colour.
    for x in range(0, size, 36):
        colour = [(30, 90, 200), (220, 220, 220), (200, 40, 40), (250, 190, 40), (40, 150, 80)][
            rng.randrange(5)]
        ImageDraw.Draw(scene).rectangle([x, pitch_top - 9, x + 35, pitch_top - 1],
                                        fill=mix(colour, (0, 0, 0), 0.25))

    # The pitch in perspective, lit brightest in the middle.
    rows = size - pitch_top
    stripes = plane_view(pitch_texture((512, 512)), size, [y + 12.0 for y in range(rows)],
                         140.0, 14000.0, (256, 0))
    pitch = vertical_gradient((size, rows), [(0.0, (52, 120, 54)), (1.0, (40, 104, 40))])
    pitch = add_light(pitch, (44, 48, 30), stripes)
    lines = Image.new("L", (size, rows), 0)
    draw = ImageDraw.Draw(lines)
    draw.line([(0, 3), (size, 3)], fill=220, width=2)
    draw.line([(size / 2.0, 3), (size / 2.0 - 30, rows)], fill=210, width=2)
    draw.ellipse([size / 2.0 - 150, 30, size / 2.0 + 130, 120], outline=210, width=2)
    pitch = add_light(pitch, (230, 230, 220), lines.filter(ImageFilter.GaussianBlur(0.5)))
    scene.paste(pitch, (0, pitch_top))

    # Floodlight masts with their banks of lamps and a wide glow.
    draw = ImageDraw.Draw(scene)
    for mast_x, top in ((44, 70), (468, 70)):
        draw.line([(mast_x, top + 10), (mast_x, bowl(mast_x, roof_top, 30) + 4)],
                  fill=(30, 26, 38), width=4)
        draw.rectangle([mast_x - 26, top - 12, mast_x + 26, top + 12], fill=(40, 36, 48))
    glow = Image.new("L", (size, size), 0)
    bulbs = Image.new("L", (size, size), 0)
    bulb_draw = ImageDraw.Draw(bulbs)
    for mast_x, top in ((44, 70), (468, 70)):
        glow = ImageChops.lighter(glow, radial_glow((size, size), (mast_x, top), 170, 150))
        for i in range(6):
            for j in range(3):
                bx = mast_x - 22 + i * 8.8
                by = top - 8 + j * 8
                bulb_draw.rectangle([bx, by, bx + 5, by + 4], fill=255)
    scene = add_light(scene, (255, 232, 190), glow)
    scene = add_light(scene, (255, 255, 240), bulbs.filter(ImageFilter.GaussianBlur(0.6)))
    scene = add_light(scene, (255, 240, 200), bulbs.filter(ImageFilter.GaussianBlur(7)))
    scene = scene.filter(ImageFilter.GaussianBlur(0.4))
    return vignette(scene, 0.3)


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


def render_glyph(font, char, width):
    """The glyph as a width x CELL_HEIGHT L picture, condensed to fit its cell.

    The glyph keeps its side bearings (scaled) so that glyphs set edge to edge
    stay apart, but never less than one blank column on either side: the
    overlay samples the texture a fraction of a texel off, and ink in a cell's
    edge column would bleed into its neighbour.
    """
    scale = SUPERSAMPLE
    pad = 8 * scale
    advance = font.getlength(char)
    canvas = Image.new("L", (int(advance) + 2 * pad, CELL_HEIGHT * scale), 0)
    ImageDraw.Draw(canvas).text((pad, GLYPH_BASELINE * scale), char, font=font, fill=255,
                                anchor="ls")
    ink = canvas.getbbox()
    ink_left, ink_right = ink[0] - pad, ink[2] - pad
    if width < NARROW_CELL:
        margin_left = margin_right = 0.0
    else:
        box_left, box_right = min(0.0, ink_left), max(advance, ink_right)
        fit = width / float(box_right - box_left)
        margin_left = max(1.0, (ink_left - box_left) * fit)
        margin_right = max(1.0, (box_right - ink_right) * fit)
    ink_width = width - margin_left - margin_right
    glyph = Image.new("L", (width * scale, CELL_HEIGHT * scale), 0)
    squeezed = canvas.crop((ink[0], 0, ink[2], CELL_HEIGHT * scale)).resize(
        (max(1, int(round(ink_width * scale))), CELL_HEIGHT * scale), Image.LANCZOS)
    glyph.paste(squeezed, (int(round(margin_left * scale)), 0))
    glyph = glyph.resize((width, CELL_HEIGHT), Image.BOX)
    # Keep the cell's top and bottom rows empty; cut faint pixels to black.
    glyph.paste(0, (0, 0, width, 1))
    glyph.paste(0, (0, CELL_HEIGHT - 1, width, CELL_HEIGHT))
    cut = GLYPH_DARK_CUT
    return glyph.point([0 if v < cut else int(round(150 + 105 * (v - cut) / (255.0 - cut)))
                        for v in range(256)])


def font_picture():
    """The 256 x 256 overlay font: light glyphs on exact black, cells as FONT_GLYPHS."""
    font = ImageFont.truetype(GLYPH_FONT, GLYPH_PIXEL_SIZE * SUPERSAMPLE)
    picture = Image.new("L", (FONT_PICTURE_SIZE, FONT_PICTURE_SIZE), 0)
    for char, (row, left, right) in drawn_glyphs():
        glyph = render_glyph(font, char, right - left)
        region = picture.crop((left, row, right, row + CELL_HEIGHT))
        picture.paste(ImageChops.lighter(region, glyph), (left, row))
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
def contact_sheet(backgrounds, font, dialog, icons):
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
    return sheet


# ---------------------------------------------------------------------------
# Checks of the written files

BACKGROUNDS = (
    ("background1000.jpg", background_sea, 1000),
    ("background1001.jpg", background_hills, 1001),
    ("background1002.jpg", background_stadium, 1002),
)
FONT_FILE = "font2000.gif"
DIALOG_FILE = "dialog3000.jpg"
ICON_FILE = "icon100.ico"
JPEG_QUALITY = 92
BACKGROUND_BYTES = (30000, 120000)
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


def check_font(faults, path):
    check_glyph_table(faults)
    picture = open_picture(faults, path, "GIF")
    if picture is None:
        return
    check_gif_palette(faults, path)
    if picture.size != (FONT_PICTURE_SIZE, FONT_PICTURE_SIZE):
        faults.append("%s: size %r, expected 256 x 256" % (path, picture.size))
        return
    rgb = picture.convert("RGB")
    pixels = rgb.load()
    glyphs = drawn_glyphs()
    lit_count = {cell: 0 for _, cell in glyphs}
    stray = dark = edge = 0
    for y in range(FONT_PICTURE_SIZE):
        for x in range(FONT_PICTURE_SIZE):
            value = pixels[x, y]
            if value == (0, 0, 0):
                continue
            if min(value) < LIT_MINIMUM:
                dark += 1
            owners = [cell for _, cell in glyphs
                      if cell[0] <= y < cell[0] + CELL_HEIGHT and cell[1] <= x < cell[2]]
            if len(owners) != 1:
                stray += 1
                continue
            lit_count[owners[0]] += 1
            if y in (owners[0][0], owners[0][0] + CELL_HEIGHT - 1):
                edge += 1
    if pixels[0, 0] != (0, 0, 0) or pixels[255, 255] != (0, 0, 0):
        faults.append("%s: background is not exactly black" % path)
    if stray:
        faults.append("%s: %d lit pixels outside their own glyph cell" % (path, stray))
    if dark:
        faults.append("%s: %d lit pixels darker than %d (stray grey)" % (path, dark, LIT_MINIMUM))
    if edge:
        faults.append("%s: %d lit pixels in a cell's top or bottom row" % (path, edge))
    for char, cell in glyphs:
        if lit_count[cell] < GLYPH_MIN_LIT:
            faults.append("%s: glyph %r in cell %r has only %d lit pixels"
                          % (path, char, cell, lit_count[cell]))
    for row, left, right in BLANK_CELLS:
        if rgb.crop((left, row, right, row + CELL_HEIGHT)).getbbox() is not None:
            faults.append("%s: blank cell %r is not black" % (path, (row, left, right)))


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
    for file_name, _, _ in BACKGROUNDS:
        path = os.path.join(RESOURCE_DIR, file_name)
        picture = check_jpeg(faults, path, (BACKGROUND_SIZE, BACKGROUND_SIZE))
        if picture is None:
            continue
        size = os.path.getsize(path)
        if not BACKGROUND_BYTES[0] <= size <= BACKGROUND_BYTES[1]:
            faults.append("%s: %d bytes, outside %r" % (path, size, BACKGROUND_BYTES))
        # A photograph, not a flat field: its pixels must spread.
        spread = max(high - low for low, high in picture.convert("RGB").getextrema())
        if spread < 100:
            faults.append("%s: looks flat (value spread %d)" % (path, spread))
    check_font(faults, os.path.join(RESOURCE_DIR, FONT_FILE))
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
    for file_name, make, seed in BACKGROUNDS:
        picture = make(seed)
        picture.save(os.path.join(RESOURCE_DIR, file_name), "JPEG", quality=JPEG_QUALITY,
                     progressive=False, optimize=True)
        backgrounds.append(picture)
    font = font_picture()
    save_font_gif(font, os.path.join(RESOURCE_DIR, FONT_FILE))
    dialog = dialog_picture(backgrounds[0])
    dialog.save(os.path.join(RESOURCE_DIR, DIALOG_FILE), "JPEG", quality=90, progressive=False)
    icons = [flag_on_pole((size, size)) for size in ICON_SIZES]
    with open(os.path.join(RESOURCE_DIR, ICON_FILE), "wb") as handle:
        handle.write(icon_file(icons))
    contact_sheet(backgrounds, font, dialog, icons).save(SHEET_PATH, "PNG", optimize=True)


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
    print("gen_resources: all outputs checked: 3 backgrounds, font, dialog picture, icon, "
          "contact sheet")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
