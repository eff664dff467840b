#!/usr/bin/python3
"""Renders the flag folder IMAGE that ships with the saver from the pinned
flag drawings of tools/flags (npm), with the folder's region list and the
contact sheet docs/flags.png, and checks what is committed.

    /usr/bin/python3 tools/gen_flags.py               write the committed files (sheet, licence
                                                      notice, tools/flags/regions.txt), then check
    /usr/bin/python3 tools/gen_flags.py --render DIR  make DIR the shipped folder: every flag,
                                                      the kept one and regions.txt, nothing else
    /usr/bin/python3 tools/gen_flags.py --check       compare the committed files with the
                                                      rendering and check the names; writes nothing
    ... --check --folder DIR                          also that DIR is exactly the rendering

The folder is not committed (at 2048 x 1536 it is about 30 MB): each build
tree renders its own (CMake target flag_folder). The committed parts are
tools/flags: the packages' lock, the kept flag (the saver's own drawing) and
the region list; the sheet; installer/FLAGS-LICENSE.txt.

The drawings are flag-icons' 4:3 set (the cloth is 4:3, so stars and emblems
keep their shape), with the colours of a few dozen flags set to their official
shades as svg-country-flags (Wikimedia's drawings) gives them; COLOURS says
which. tools/setup.sh installs the packages with `npm ci` outside the
checkout; this tool never reaches the network. Each drawing is rendered by
rsvg-convert (librsvg2-bin) at 2048 x 1536, which a 3840 x 2160 display shows
at 1 : 1, and stored as PNG, indexed when it has 256 colours or fewer:
lossless, so gradients and emblems keep every shade, and the same bytes on
every rerun. A rendering is kept in ~/.cache/brevanto-flags/render-KEY, KEY a
digest of everything it is made from (the lock, this tool, the size, the
renderer's and Pillow's versions, the kept flag and the sheet's font); a
second build tree copies it in seconds. Each use checks its files against its
list of digests and renders afresh on a mismatch; deleting the folder forces
a fresh rendering.

Exits with status 1 and a list of faults when a file differs or is not the
tool's, a name in the table or the folder breaks a rule, or a flag of a
nation has no region.
"""

import concurrent.futures
import hashlib
import io
import json
import os
import re
import shutil
import subprocess
import sys

import PIL
from PIL import Image, ImageDraw, ImageFont

import gen_resources

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# What the folder is made from, committed: the lock, the kept flags, the region list.
MADE_FROM = os.path.join(ROOT, "tools", "flags")
SHEET_PATH = os.path.join(ROOT, "docs", "flags.png")
# The drawings' licence notice, installed beside the saver.
NOTICE_PATH = os.path.join(ROOT, "installer", "FLAGS-LICENSE.txt")
LOCK_PATH = os.path.join(MADE_FROM, "package-lock.json")
# The saver's region choice reads it (src/config/flag_tour.h).
REGION_LIST = "regions.txt"
REGION_PATH = os.path.join(MADE_FROM, REGION_LIST)
PACKAGE = "flag-icons"
PACKAGE_VERSION = "7.5.0"
COLOUR_PACKAGE = "svg-country-flags"
COLOUR_PACKAGE_VERSION = "1.2.10"
# A 3840 x 2160 display draws the flag about 1,400 pixels wide; the saver
# loads it into a texture of at most 2048 per side.
WIDTH, HEIGHT = 2048, 1536
RENDERER = "rsvg-convert"

# The default flag is the saver's own drawing and stays as it was made.
KEPT_FLAGS = {"France - AJ Auxerre.gif":
              "4364877d2f3275104981253252469bd9f2bc062bd5a240a566addb065c5dc3c3"}
MIN_FLAGS = 240
# The saver's regions for the continents of flag-icons' country.json.
REGIONS = {"Africa": "Africa", "North America": "Americas", "South America": "Americas",
           "Asia": "Asia", "Europe": "Europe", "Oceania": "Oceania"}
# Flags of no one region, shown only when the region All is chosen: Antarctica
# (no continent in the list) and South Georgia (listed under Antarctica), the
# European Union and the United Nations.
ALL_ONLY = {"aq", "gs", "eu", "un"}
# The kept flags' regions: those of the countries whose codes they stand beside.
KEPT_CODES = {"France - AJ Auxerre.gif": "fr"}
# Nations whose flags are drawn alike at 4:3: both are in the folder.
SAME_FLAGS = {("Indonesia.png", "Monaco.png")}

# The overlay writes the flag name from (8, 6) at this many screen pixels per
# font pixel on an 800 x 600 screen; its text buffer holds 64 glyphs.
OVERLAY_SCALE = 0.08 * 600 / 42.0
OVERLAY_ROOM = 800 - 8
OVERLAY_GLYPHS = 64


def cache_root():
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(cache, "brevanto-flags")


def source_root():
    """Where setup.sh installs the lock's packages: one folder per lock file."""
    with open(LOCK_PATH, "rb") as handle:
        digest = hashlib.sha256(handle.read()).hexdigest()[:16]
    return os.path.join(cache_root(), "sources-" + digest, "node_modules")


# flag-icons code, file name (English short name, only what the overlay's font
# draws). Left out: regions and organisations other than the EU and the UN, the
# "unknown" flag, and territories that fly another flag of this table unchanged
# (Bouvet Island, Svalbard, Heard Island, the US Minor Outlying Islands, and
# the French overseas lands that flag-icons draws as the tricolour, the
# Caribbean Netherlands drawn as the Dutch flag): a copy
# would only make its flag likelier in the random pick.
FLAGS = [
    ("af", "Afghanistan"),
    ("ax", "Aland Islands"),
    ("al", "Albania"),
    ("dz", "Algeria"),
    ("as", "American Samoa"),
    ("ad", "Andorra"),
    ("ao", "Angola"),
    ("ai", "Anguilla"),
    ("aq", "Antarctica"),
    ("ag", "Antigua and Barbuda"),
    ("ar", "Argentina"),
    ("am", "Armenia"),
    ("aw", "Aruba"),
    ("au", "Australia"),
    ("at", "Austria"),
    ("az", "Azerbaijan"),
    ("bs", "Bahamas"),
    ("bh", "Bahrain"),
    ("bd", "Bangladesh"),
    ("bb", "Barbados"),
    ("by", "Belarus"),
    ("be", "Belgium"),
    ("bz", "Belize"),
    ("bj", "Benin"),
    ("bm", "Bermuda"),
    ("bt", "Bhutan"),
    ("bo", "Bolivia"),
    ("ba", "Bosnia and Herzegovina"),
    ("bw", "Botswana"),
    ("br", "Brazil"),
    ("io", "British Indian Ocean Territory"),
    ("bn", "Brunei"),
    ("bg", "Bulgaria"),
    ("bf", "Burkina Faso"),
    ("bi", "Burundi"),
    ("cv", "Cape Verde"),
    ("kh", "Cambodia"),
    ("cm", "Cameroon"),
    ("ca", "Canada"),
    ("ky", "Cayman Islands"),
    ("cf", "Central African Republic"),
    ("td", "Chad"),
    ("cl", "Chile"),
    ("cn", "China"),
    ("cx", "Christmas Island"),
    ("cc", "Cocos Islands"),
    ("co", "Colombia"),
    ("km", "Comoros"),
    ("ck", "Cook Islands"),
    ("cr", "Costa Rica"),
    ("hr", "Croatia"),
    ("cu", "Cuba"),
    ("cw", "Curacao"),
    ("cy", "Cyprus"),
    ("cz", "Czech Republic"),
    ("ci", "Ivory Coast"),
    ("cd", "DR Congo"),
    ("dk", "Denmark"),
    ("dj", "Djibouti"),
    ("dm", "Dominica"),
    ("do", "Dominican Republic"),
    ("ec", "Ecuador"),
    ("eg", "Egypt"),
    ("sv", "El Salvador"),
    ("gb-eng", "England"),
    ("gq", "Equatorial Guinea"),
    ("er", "Eritrea"),
    ("ee", "Estonia"),
    ("sz", "Eswatini"),
    ("et", "Ethiopia"),
    ("eu", "European Union"),
    ("fk", "Falkland Islands"),
    ("fo", "Faroe Islands"),
    ("fm", "Micronesia"),
    ("fj", "Fiji"),
    ("fi", "Finland"),
    ("fr", "France"),
    ("pf", "French Polynesia"),
    ("tf", "French Southern Territories"),
    ("ga", "Gabon"),
    ("gm", "Gambia"),
    ("ge", "Georgia"),
    ("de", "Germany"),
    ("gh", "Ghana"),
    ("gi", "Gibraltar"),
    ("gr", "Greece"),
    ("gl", "Greenland"),
    ("gd", "Grenada"),
    ("gu", "Guam"),
    ("gt", "Guatemala"),
    ("gg", "Guernsey"),
    ("gn", "Guinea"),
    ("gw", "Guinea-Bissau"),
    ("gy", "Guyana"),
    ("ht", "Haiti"),
    ("va", "Vatican City"),
    ("hn", "Honduras"),
    ("hk", "Hong Kong"),
    ("hu", "Hungary"),
    ("is", "Iceland"),
    ("in", "India"),
    ("id", "Indonesia"),
    ("ir", "Iran"),
    ("iq", "Iraq"),
    ("ie", "Ireland"),
    ("im", "Isle of Man"),
    ("il", "Israel"),
    ("it", "Italy"),
    ("jm", "Jamaica"),
    ("jp", "Japan"),
    ("je", "Jersey"),
    ("jo", "Jordan"),
    ("kz", "Kazakhstan"),
    ("ke", "Kenya"),
    ("ki", "Kiribati"),
    ("xk", "Kosovo"),
    ("kw", "Kuwait"),
    ("kg", "Kyrgyzstan"),
    ("la", "Laos"),
    ("lv", "Latvia"),
    ("lb", "Lebanon"),
    ("ls", "Lesotho"),
    ("lr", "Liberia"),
    ("ly", "Libya"),
    ("li", "Liechtenstein"),
    ("lt", "Lithuania"),
    ("lu", "Luxembourg"),
    ("mo", "Macau"),
    ("mg", "Madagascar"),
    ("mw", "Malawi"),
    ("my", "Malaysia"),
    ("mv", "Maldives"),
    ("ml", "Mali"),
    ("mt", "Malta"),
    ("mh", "Marshall Islands"),
    ("mq", "Martinique"),
    ("mr", "Mauritania"),
    ("mu", "Mauritius"),
    ("mx", "Mexico"),
    ("md", "Moldova"),
    ("mc", "Monaco"),
    ("mn", "Mongolia"),
    ("me", "Montenegro"),
    ("ms", "Montserrat"),
    ("ma", "Morocco"),
    ("mz", "Mozambique"),
    ("mm", "Myanmar"),
    ("na", "Namibia"),
    ("nr", "Nauru"),
    ("np", "Nepal"),
    ("nl", "Netherlands"),
    ("nc", "New Caledonia"),
    ("nz", "New Zealand"),
    ("ni", "Nicaragua"),
    ("ne", "Niger"),
    ("ng", "Nigeria"),
    ("nu", "Niue"),
    ("nf", "Norfolk Island"),
    ("kp", "North Korea"),
    ("mk", "North Macedonia"),
    ("gb-nir", "Northern Ireland"),
    ("mp", "Northern Mariana Islands"),
    ("no", "Norway"),
    ("om", "Oman"),
    ("pk", "Pakistan"),
    ("pw", "Palau"),
    ("pa", "Panama"),
    ("pg", "Papua New Guinea"),
    ("py", "Paraguay"),
    ("pe", "Peru"),
    ("ph", "Philippines"),
    ("pn", "Pitcairn"),
    ("pl", "Poland"),
    ("pt", "Portugal"),
    ("pr", "Puerto Rico"),
    ("qa", "Qatar"),
    ("cg", "Congo"),
    ("ro", "Romania"),
    ("ru", "Russia"),
    ("rw", "Rwanda"),
    ("sh-hl", "Saint Helena"),
    ("kn", "Saint Kitts and Nevis"),
    ("lc", "Saint Lucia"),
    ("vc", "Saint Vincent and the Grenadines"),
    ("ws", "Samoa"),
    ("sm", "San Marino"),
    ("st", "Sao Tome and Principe"),
    ("sa", "Saudi Arabia"),
    ("gb-sct", "Scotland"),
    ("sn", "Senegal"),
    ("rs", "Serbia"),
    ("sc", "Seychelles"),
    ("sl", "Sierra Leone"),
    ("sg", "Singapore"),
    ("sx", "Sint Maarten"),
    ("sk", "Slovakia"),
    ("si", "Slovenia"),
    ("sb", "Solomon Islands"),
    ("so", "Somalia"),
    ("za", "South Africa"),
    ("gs", "South Georgia"),
    ("kr", "South Korea"),
    ("ss", "South Sudan"),
    ("es", "Spain"),
    ("lk", "Sri Lanka"),
    ("ps", "Palestine"),
    ("sd", "Sudan"),
    ("sr", "Suriname"),
    ("se", "Sweden"),
    ("ch", "Switzerland"),
    ("sy", "Syria"),
    ("tw", "Taiwan"),
    ("tj", "Tajikistan"),
    ("tz", "Tanzania"),
    ("th", "Thailand"),
    ("tl", "East Timor"),
    ("tg", "Togo"),
    ("tk", "Tokelau"),
    ("to", "Tonga"),
    ("tt", "Trinidad and Tobago"),
    ("tn", "Tunisia"),
    ("tm", "Turkmenistan"),
    ("tc", "Turks and Caicos Islands"),
    ("tv", "Tuvalu"),
    ("tr", "Turkey"),
    ("ug", "Uganda"),
    ("ua", "Ukraine"),
    ("ae", "United Arab Emirates"),
    ("gb", "United Kingdom"),
    ("un", "United Nations"),
    ("us", "United States"),
    ("uy", "Uruguay"),
    ("uz", "Uzbekistan"),
    ("vu", "Vanuatu"),
    ("ve", "Venezuela"),
    ("vn", "Vietnam"),
    ("vg", "British Virgin Islands"),
    ("vi", "US Virgin Islands"),
    ("gb-wls", "Wales"),
    ("eh", "Western Sahara"),
    ("ye", "Yemen"),
    ("zm", "Zambia"),
    ("zw", "Zimbabwe"),
]

# Colours of flag-icons' drawings replaced by the shades of svg-country-flags,
# which follow the shades each country sets for its flag: spelling in the drawing ->
# new colour. Not taken where flag-icons already has the official shade and
# the other does not: Austria, Spain, Estonia, Norway, Honduras (its current
# turquoise), Turkmenistan and France with the territories that fly its flag.
COLOURS = {
    "af": {"#090": "#007a36", "#bf0000": "#d32011"},
    "au": {"#00008b": "#012169"},
    "aw": {"#39c": "#418fde", "#ff0": "#ffd100"},
    "ba": {"#009": "#002395"},
    "be": {"#f31830": "#ed2939", "#ffd90c": "#fae042"},
    "bf": {"#35a100": "#009e49", "#de0000": "#ef2b2d"},
    "bj": {"#de2110": "#e8112d", "#ffd600": "#fcd116", "#319400": "#008751"},
    "bm": {"#006": "#012169"},
    "bo": {"#d52b1e": "#d32011", "#ffe000": "#f0e53c"},
    "br": {"#f8e509": "#fedf00", "#229e45": "#009b3a", "#2b49a3": "#002776"},
    "bs": {"#08ced6": "#00abc9", "#ffe900": "#fae042"},
    "bw": {"#00cbff": "#75aadb"},
    "by": {"#007c30": "#4aa657", "#ce1720": "#c8313e"},
    "bz": {"#003f87": "#171696", "#ce1126": "#d90f19"},
    "cf": {"#ff0": "#ffce00", "#009a00": "#289728", "#00f": "#003082"},
    "cg": {"#ff0": "#fbde4a", "#00ca00": "#009543"},
    "ci": {"#00cd00": "#009e60", "#ff9a00": "#f77f00"},
    "ck": {"#006": "#012169"},
    "cn": {"#ee1c25": "#de2910"},
    "co": {"#da0010": "#ce1126", "#00148e": "#003893", "#ffe800": "#fcd116"},
    "cr": {"#0000b4": "#002b7f", "#d90000": "#ce1126"},
    "cu": {"#cb1515": "#cf142b"},
    "cv": {"#081873": "#003893", "#de3929": "#cf2027"},
    "dj": {"#69f": "#6ab2e7", "#0c0": "#12ad2b"},
    "dm": {"#e72910": "#d41c30", "#ffd600": "#fcd116", "#108c00": "#006b3f"},
    "ec": {"#da0010": "#ed1c24", "#00148e": "#034ea2"},
    "er": {"#be0027": "#ea0437", "#239e46": "#12ad2b", "#b4d7f4": "#4189dd", "#f3e295": "#ffc726"},
    "et": {"#ef2118": "#da121a", "#298c08": "#078930", "#006bc6": "#0f47af", "#ffc621": "#fcdd09"},
    "fi": {"#002f6c": "#003580"},
    "fj": {"#68bfe5": "#69b3e7"},
    "fm": {"#6797d6": "#75b2dd"},
    "fo": {"#003897": "#0065bd", "#d72828": "#ed2939"},
    "ga": {"#006dbc": "#3a75c4", "#ffe700": "#fcd116", "#36a100": "#009e60"},
    "gb-nir": {"#c00": "#c8102e"},
    "gm": {"#009": "#0c1c8c", "#090": "#3a7728"},
    "gn": {"#ff0": "#fcd116", "#090": "#009460"},
    "gs": {"#006": "#012169"},
    "gu": {"#be0027": "#c62139", "#3b5aa3": "#00297b"},
    "gy": {"#de2110": "#ce1126", "#ffde08": "#fcd116", "#399408": "#009e49"},
    "hk": {"#ec1b2e": "#de2910"},
    "hu": {"#d43516": "#cd2a3e", "#388d00": "#436f4d"},
    "id": {"#e70011": "#ce1126"},
    "ie": {"#009a49": "#169b62", "#ff7900": "#ff883e"},
    "im": {"#ba0000": "#cf142b"},
    "io": {"#012169": "#00247d", "#000063": "#00247d"},
    "je": {"#cf142b": "#df112d"},
    "jm": {"#090": "#009b3a"},
    "jo": {"#090": "#007a3d"},
    "ki": {"#e73e2d": "#c81010", "#005989": "#183070"},
    "km": {"#be0027": "#ce1126", "#239e46": "#3d8e33", "#3b5aa3": "#3a75c4", "#ff0": "#ffc61e"},
    "kn": {"#ffe900": "#fcd116", "#35a100": "#009e49", "#c70000": "#ce1126"},
    "kp": {"#3e5698": "#024fa2", "#c60000": "#ed1c27"},
    "kw": {"#f31830": "#ce1126", "#00d941": "#007a3d"},
    "ky": {"#006": "#012169"},
    "kz": {"#ffec2d": "#fec50c"},
    "lc": {"#ffce00": "#fcd116"},
    "lr": {"#006": "#002868", "#c00": "#bf0a30"},
    "lv": {"#981e32": "#9e3039"},
    "mc": {"#f31830": "#ce1126"},
    "md": {"#00319c": "#0046ae", "#de2110": "#cc092f"},
    "mh": {"#e2ae57": "#dd7500", "#3b5aa3": "#003893"},
    "ml": {"#ff0": "#fcd116", "#009a00": "#14b53a"},
    "mn": {"#0066b3": "#015197", "#da2032": "#c4272f"},
    "mw": {"#21873b": "#339e35", "#f41408": "#ce1126"},
    "mz": {"#ffca00": "#fce100", "#009a00": "#007168"},
    "na": {"#3662a2": "#003580", "#38a100": "#009543", "#c70000": "#d21034"},
    "nf": {"#198200": "#007934"},
    "np": {"#000063": "#003893", "#ce0000": "#dc143c"},
    "nr": {"#002170": "#002b7f", "#ffb20d": "#ffc61e"},
    "nz": {"#00247d": "#012169"},
    "om": {"#ef2d29": "#db161b", "#009025": "#008000"},
    "pa": {"#0000ab": "#005293", "#db0000": "#d21034"},
    "pf": {"#de2010": "#ce1126"},
    "pg": {"#fc0": "#fcd116"},
    "pk": {"#0c590b": "#01411c"},
    "pn": {"#00247d": "#012169"},
    "ps": {"#009639": "#007a3d", "#ed2e38": "#ce1126"},
    "ro": {"#00319c": "#002b7f", "#de2110": "#ce1126", "#ffde00": "#fcd116"},
    "sa": {"#165d31": "#006c35"},
    "sb": {"#0000d6": "#0051ba", "#fc0": "#fcd116", "#006000": "#215b33"},
    "sd": {"#009a00": "#007229"},
    "se": {"#005293": "#006aa7"},
    "sg": {"#df0000": "#ed2939"},
    "si": {"#0000bf": "#005da4", "#d50000": "#ed1c24"},
    "sl": {"#00cd00": "#1eb53a", "#0000cd": "#0072c6"},
    "sm": {"#19b6ef": "#5eb6e4"},
    "sn": {"#0b7226": "#00853f", "#ff0": "#fdef42", "#bc0000": "#e31b23"},
    "so": {"#40a6ff": "#4189dd"},
    "sv": {"#0f47af": "#0047ab"},
    "sx": {"#ed2939": "#dc171d", "#002395": "#012a87"},
    "tg": {"#ffe300": "#ffce00", "#118600": "#006a4e", "#d80000": "#d21034"},
    "tl": {"#cb000f": "#dc241f", "#f8c00c": "#ffc726"},
    "tt": {"#e00000": "#ce1126"},
    "tv": {"#009fca": "#009cde"},
    "tz": {"#09f": "#00a3dd", "#ff0": "#fcd116", "#090": "#1eb53a"},
    "ug": {"#de3908": "#d90000", "#ffe700": "#fcdc04"},
    "us": {"#192f5d": "#3c3b6e", "#bd3d44": "#b22234"},
    "vc": {"#0058aa": "#0072c6", "#f4f100": "#fcd116", "#199a00": "#009e60"},
    "vg": {"#006": "#012169"},
    "ye": {"#f10600": "#ce1126"},
    "zw": {"#006400": "#319208", "#d40000": "#de2010"},
}

# A name is what the overlay can draw and the random pick keeps whole: the
# pick cuts a name at its first dot, so no dots at all.
NAME_PUNCTUATION = " -,&"


def name_faults(names):
    faults = []
    seen = {}
    for name in names:
        for char in name:
            drawable = (char.isascii() and char.isalnum()) or char in NAME_PUNCTUATION
            if drawable and char != " ":
                cell = gen_resources.FONT_GLYPHS[ord(char) - gen_resources.FIRST_GLYPH_CODE]
                drawable = not gen_resources.is_blank_cell(cell)
            if not drawable:
                faults.append("%r: %r is not drawn by the overlay's font (or is a dot)" % (name, char))
        if not name or name != name.strip() or "  " in name:
            faults.append("%r: empty, or spaces at an end or doubled" % name)
        width = sum(right - left for _, left, right in
                    (gen_resources.FONT_GLYPHS[ord(c) - gen_resources.FIRST_GLYPH_CODE]
                     for c in name if 32 <= ord(c) <= 123)) * OVERLAY_SCALE
        if len(name) > OVERLAY_GLYPHS or width > OVERLAY_ROOM:
            faults.append("%r: %d characters, %.0f pixels wide on an 800-pixel screen; at most "
                          "%d and %d" % (name, len(name), width, OVERLAY_GLYPHS, OVERLAY_ROOM))
        # Windows file names ignore case: two names differing only in case are one file.
        key = name.lower()
        if key in seen:
            faults.append("%r and %r: the same file name" % (seen[key], name))
        seen[key] = name
    return faults


def drawing(sources, code):
    """flag-icons' 4:3 drawing of `code` with COLOURS applied, as bytes; or a fault text."""
    path = os.path.join(sources, PACKAGE, "flags", "4x3", code + ".svg")
    try:
        with open(path, encoding="utf-8") as handle:
            svg = handle.read()
    except OSError as error:
        return None, "%s: %s" % (path, error)
    for old, new in sorted(COLOURS.get(code, {}).items()):
        # The spelling in either case, not the start of a longer one ("#090" in "#0903ff").
        svg, count = re.subn("(?i)" + re.escape(old) + "(?![0-9a-f])", new, svg)
        if count == 0:
            return None, "%s: colour %s to replace is not in the drawing" % (path, old)
    return svg.encode("utf-8"), None


def render(svg):
    """The drawing at WIDTH x HEIGHT over white, as an RGB picture."""
    done = subprocess.run([RENDERER, "--width", str(WIDTH), "--height", str(HEIGHT),
                           "--format", "png"], input=svg, capture_output=True, check=True)
    picture = Image.open(io.BytesIO(done.stdout)).convert("RGBA")
    flat = Image.new("RGBA", picture.size, (255, 255, 255, 255))
    flat.alpha_composite(picture)
    return flat.convert("RGB")


def png_bytes(picture):
    """Indexed with the exact palette when 256 colours suffice, else 24-bit.
    zlib's level 9 without Pillow's optimize pass: the same size within a
    few hundred bytes at a quarter of the time; 24-bit at level 6, 2 % larger
    than 9 at a fifth of its time."""
    colours = picture.getcolors(256)
    out = io.BytesIO()
    if colours is None:
        picture.save(out, "PNG", compress_level=6)
    else:
        holder = Image.new("P", (1, 1))
        holder.putpalette([c for _, rgb in sorted(colours, key=lambda c: (-c[0], c[1])) for c in rgb])
        picture.quantize(palette=holder, dither=Image.NONE).save(out, "PNG", compress_level=9)
    return out.getvalue()


def render_flag(job):
    """(file name, PNG bytes, digest of the pixels, the sheet's thumbnail) of one drawing."""
    file_name, svg = job
    picture = render(svg)
    return (file_name, png_bytes(picture), hashlib.sha256(picture.tobytes()).hexdigest(),
            picture.resize(THUMB, Image.LANCZOS))


def render_all(sources):
    """{file name: PNG bytes}, {file name: thumbnail}, faults."""
    faults = []
    jobs = []
    for code, name in FLAGS:
        svg, fault = drawing(sources, code)
        if fault:
            faults.append(fault)
        else:
            jobs.append((name + ".png", svg))
    files, thumbs, first_of = {}, {}, {}
    # Processes, not threads: encoding the PNGs holds Python's lock.
    with concurrent.futures.ProcessPoolExecutor(max_workers=min(2, os.cpu_count() or 1)) as pool:
        for file_name, data, pixels, thumb in pool.map(render_flag, jobs, chunksize=4):
            files[file_name], thumbs[file_name] = data, thumb
            if pixels in first_of and (first_of[pixels], file_name) not in SAME_FLAGS:
                faults.append("%s: the same picture as %s" % (file_name, first_of[pixels]))
            first_of.setdefault(pixels, file_name)
    return files, thumbs, faults


def render_key():
    """The digest of everything a rendering is made from."""
    digest = hashlib.sha256()
    for path in [LOCK_PATH, os.path.abspath(__file__), gen_resources.PLAIN_FONT] + \
            [os.path.join(MADE_FROM, f) for f in sorted(KEPT_FLAGS)]:
        digest.update(read(path) or b"missing")
    version = subprocess.run([RENDERER, "--version"], capture_output=True, check=True).stdout
    digest.update(b"%dx%d %s %s" % (WIDTH, HEIGHT, version.strip(), PIL.__version__.encode()))
    return digest.hexdigest()[:16]


CACHE_LIST = "SHA256SUMS"
SHEET_NAME = "sheet.png"
KEEP_RENDERINGS = 3


def cached(folder):
    """({file name: bytes}, sheet bytes) of an intact rendering in folder, or None."""
    listing = read(os.path.join(folder, CACHE_LIST))
    if listing is None:
        return None
    found = {}
    for line in listing.decode("utf-8").splitlines():
        digest, _, name = line.partition("  ")
        data = read(os.path.join(folder, name))
        if data is None or hashlib.sha256(data).hexdigest() != digest:
            return None
        found[name] = data
    sheet = found.pop(SHEET_NAME, None)
    if sheet is None or set(found) != {name + ".png" for _, name in FLAGS}:
        return None
    return found, sheet


def keep(folder, files, sheet):
    """Stores a rendering in folder whole or not at all; drops all but the
    newest few others."""
    parent = os.path.dirname(folder)
    temp = "%s.new-%d" % (folder, os.getpid())
    shutil.rmtree(temp, ignore_errors=True)
    os.makedirs(temp)
    listing = []
    for name, data in sorted(dict(files, **{SHEET_NAME: sheet}).items()):
        with open(os.path.join(temp, name), "wb") as handle:
            handle.write(data)
        listing.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))
    with open(os.path.join(temp, CACHE_LIST), "w", encoding="utf-8") as handle:
        handle.write("".join(listing))
    shutil.rmtree(folder, ignore_errors=True)
    try:
        os.rename(temp, folder)
    except OSError:  # another build stored the same rendering first
        shutil.rmtree(temp, ignore_errors=True)
    others = sorted((os.path.join(parent, f) for f in os.listdir(parent) if f.startswith("render-")
                     and ".new-" not in f), key=os.path.getmtime, reverse=True)
    for old in others[KEEP_RENDERINGS:]:
        shutil.rmtree(old, ignore_errors=True)


def rendering(sources):
    """{file name: PNG bytes} of every flag of the table, the contact sheet,
    faults: the cache's copy when it is intact, else rendered (and kept when
    faultless)."""
    folder = os.path.join(cache_root(), "render-" + render_key())
    found = cached(folder)
    if found is not None:
        try:
            os.utime(folder)  # the newest few renderings stay
        except OSError:
            pass
        return found + ([],)
    files, thumbs, faults = render_all(sources)
    sheet = contact_sheet(dict(thumbs, **kept_thumbs()))
    if not faults:
        try:
            keep(folder, files, sheet)
        except OSError as error:  # a cache that cannot be written only costs time
            sys.stderr.write("gen_flags: rendering not kept in %s (%s)\n" % (folder, error))
    return files, sheet, faults


SHEET_COLUMNS = 12
THUMB = (112, 84)
CELL = (126, 112)
SHEET_MARGIN = 12
SHEET_TITLE = 34


def contact_sheet(thumbs):
    """Every flag of the folder (THUMB-sized pictures), in its order, with its name."""
    names = sorted(thumbs, key=str.lower)
    rows = (len(names) + SHEET_COLUMNS - 1) // SHEET_COLUMNS
    size = (2 * SHEET_MARGIN + SHEET_COLUMNS * CELL[0],
            SHEET_MARGIN + SHEET_TITLE + rows * CELL[1])
    sheet = Image.new("RGB", size, (236, 236, 232))
    draw = ImageDraw.Draw(sheet)
    title_font = ImageFont.truetype(gen_resources.PLAIN_FONT, 18)
    label_font = ImageFont.truetype(gen_resources.PLAIN_FONT, 11)
    draw.text((SHEET_MARGIN, SHEET_MARGIN), "IMAGE: %d flags, %s %s (MIT), %d x %d PNG"
              % (len(names), PACKAGE, PACKAGE_VERSION, WIDTH, HEIGHT), font=title_font,
              fill=(20, 20, 20))
    for i, file_name in enumerate(names):
        x = SHEET_MARGIN + (i % SHEET_COLUMNS) * CELL[0]
        y = SHEET_MARGIN + SHEET_TITLE + (i // SHEET_COLUMNS) * CELL[1]
        thumb = thumbs[file_name]
        draw.rectangle([x - 1, y - 1, x + THUMB[0], y + THUMB[1]], outline=(150, 150, 150))
        sheet.paste(thumb, (x, y))
        label = file_name.rpartition(".")[0]
        while draw.textlength(label, font=label_font) > CELL[0] - 4 and len(label) > 4:
            label = label[:-2] + "."
        draw.text((x, y + THUMB[1] + 3), label, font=label_font, fill=(20, 20, 20))
    out = io.BytesIO()
    sheet.save(out, "PNG", optimize=True)
    return out.getvalue()


def notice(sources):
    """The licence notice of the flag pictures, with Windows line ends."""
    with open(os.path.join(sources, PACKAGE, "LICENSE"), encoding="utf-8") as handle:
        licence = handle.read().strip()
    text = ("The flag pictures in the IMAGE folder are rendered from the drawings of\n"
            "%s %s, under the licence below. The colours of some flags are the\n"
            "official shades as %s %s gives them (public domain).\n\n%s\n"
            % (PACKAGE, PACKAGE_VERSION, COLOUR_PACKAGE, COLOUR_PACKAGE_VERSION, licence))
    return text.replace("\n", "\r\n").encode("ascii")


def region_list(sources):
    """The folder's regions.txt as bytes (one line a flag: file name, tab, region;
    Windows line ends), and its faults: a flag without a region."""
    with open(os.path.join(sources, PACKAGE, "country.json"), encoding="utf-8") as handle:
        continents = {entry["code"]: entry.get("continent") for entry in json.load(handle)}
    faults, lines = [], []
    for code, file_name in [(c, n + ".png") for c, n in FLAGS] + \
            [(c, f) for f, c in sorted(KEPT_CODES.items())]:
        region = "All" if code in ALL_ONLY else REGIONS.get(continents.get(code))
        if region is None:
            faults.append("%s (%s): %s's country.json gives it no region (continent %r)"
                          % (file_name, code, PACKAGE, continents.get(code)))
        else:
            lines.append("%s\t%s" % (file_name, region))
    head = ["# The region of each flag in this folder, for the saver's choice of a region:",
            "# a file name, a tab and Africa, Americas, Asia, Europe, Oceania or All.",
            "# From the continents of %s %s's country.json (MIT licence)." % (PACKAGE, PACKAGE_VERSION),
            "# A flag under All, or not listed (a picture of your own), shows only with All."]
    text = "\r\n".join(head + sorted(lines, key=str.lower)) + "\r\n"
    return text.encode("ascii"), faults


def read(path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError:
        return None


def kept_thumbs():
    """{file name: thumbnail} of the committed kept flags that are readable;
    one missing or unreadable is left out (check says which)."""
    kept = {}
    for file_name in KEPT_FLAGS:
        try:
            with Image.open(os.path.join(MADE_FROM, file_name)) as picture:
                kept[file_name] = picture.convert("RGB").resize(THUMB, Image.LANCZOS)
        except (OSError, ValueError):
            pass
    return kept


def folder_files(files, regions):
    """{file name: bytes} of the shipped folder."""
    kept = {f: read(os.path.join(MADE_FROM, f)) for f in KEPT_FLAGS}
    return dict(files, **kept, **{REGION_LIST: regions})


def check(folder, files, sheet, licence, regions):
    """Faults of the committed files against the made ones, and of the
    folder (None: none) against the rendering."""
    faults = name_faults([name for _, name in FLAGS] +
                         [f.rpartition(".")[0] for f in KEPT_FLAGS])
    if len(FLAGS) + len(KEPT_FLAGS) < MIN_FLAGS:
        faults.append("%d flags, expected at least %d" % (len(FLAGS) + len(KEPT_FLAGS), MIN_FLAGS))
    for file_name, digest in sorted(KEPT_FLAGS.items()):
        data = read(os.path.join(MADE_FROM, file_name))
        if data is None or hashlib.sha256(data).hexdigest() != digest:
            faults.append("%s: missing or changed (it is kept as it was drawn)"
                          % os.path.join(MADE_FROM, file_name))
    if read(REGION_PATH) != regions:
        faults.append("%s: missing or differs from %s's country list" % (REGION_PATH, PACKAGE))
    if read(SHEET_PATH) != sheet:
        faults.append("%s: missing or differs from the folder's contact sheet" % SHEET_PATH)
    if read(NOTICE_PATH) != licence:
        faults.append("%s: missing or differs from %s's licence" % (NOTICE_PATH, PACKAGE))
    if folder is None:
        return faults
    try:
        present = set(os.listdir(folder))
    except OSError as error:
        return faults + ["%s: cannot list (%s)" % (folder, error)]
    made = folder_files(files, regions)
    strays = sorted(present - set(made))
    for file_name in strays:
        faults.append("%s/%s: not made by this tool" % (folder, file_name))
    # A picture added by hand is a flag to the saver, and its name must keep
    # the same rules as the table's.
    faults += ["%s: %s" % (folder, fault) for fault in name_faults([os.path.splitext(f)[0] for f in strays])]
    for file_name, data in sorted(made.items()):
        if read(os.path.join(folder, file_name)) != data:
            faults.append("%s/%s: missing or differs from its rendering" % (folder, file_name))
    return faults


def write_files(folder, made, exactly):
    """Writes each file of made into folder where its bytes differ (so the
    others keep their times); exactly: and removes everything else there."""
    os.makedirs(folder, exist_ok=True)
    for file_name in os.listdir(folder) if exactly else []:
        if file_name not in made:
            path = os.path.join(folder, file_name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)
    for file_name, data in made.items():
        path = os.path.join(folder, file_name)
        if read(path) != data:
            with open(path, "wb") as handle:
                handle.write(data)


def options(args):
    """(what to do: "write", "render" or "check", the folder or None), or None
    for a usage error."""
    if not args:
        return "write", None
    if len(args) == 2 and args[0] == "--render":
        return "render", args[1]
    if args == ["--check"]:
        return "check", None
    return ("check", args[2]) if len(args) == 3 and args[:2] == ["--check", "--folder"] else None


def main(argv):
    chosen = options(argv[1:])
    if chosen is None:
        sys.stderr.write("usage: gen_flags.py [--render DIR | --check [--folder DIR]]\n")
        return 2
    action, folder = chosen
    sources = source_root()
    if not os.path.isdir(os.path.join(sources, PACKAGE)):
        sys.stderr.write("gen_flags: %s is not installed in %s: run tools/setup.sh\n"
                         % (PACKAGE, sources))
        return 1
    files, sheet, faults = rendering(sources)
    licence = notice(sources)
    regions, region_faults = region_list(sources)
    faults += region_faults
    if action == "render":
        if not faults:
            write_files(folder, folder_files(files, regions), exactly=True)
            print("gen_flags: %s holds the %d flags and their regions" % (folder, len(files) + len(KEPT_FLAGS)))
            return 0
    else:
        if not faults and action == "write":
            for path, data in ((SHEET_PATH, sheet), (NOTICE_PATH, licence), (REGION_PATH, regions)):
                write_files(os.path.dirname(path), {os.path.basename(path): data}, exactly=False)
        faults += check(folder, files, sheet, licence, regions)
    if faults:
        sys.stderr.write("gen_flags: %d FAULTS:\n" % len(faults))
        for fault in faults:
            sys.stderr.write("  FAULT: %s\n" % fault)
        return 1
    print("gen_flags: %d flags, their regions, the contact sheet and the licence notice%s match %s %s" %
          (len(files) + len(KEPT_FLAGS), " and " + folder if folder else "", PACKAGE, PACKAGE_VERSION))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
