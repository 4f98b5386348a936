#!/usr/bin/python3
"""Draws docs/contact-sheet.png from the tool's real output: the sample base badged with several
labels and colours, at 16, 32, 128 and 1024 px. 16 and 32 px are shown enlarged four times
(nearest neighbour, so their pixels stay visible) and 1024 px at a quarter.

Usage: contact_sheet.py BUILD_DIR OUTPUT.png"""
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFont

VARIANTS = [  # label, colour, caption
    ("", "#2563EB", "no label"),
    ("3", "#2563EB", 'counter "3"'),
    ("12", "#DC2626", 'counter "12"'),
    ("beta", "#16A34A", 'initial ("beta")'),
    ("2048", "#9333EA", 'long counter "2048"'),
    ("dev", "#F59E0B", 'initial ("dev")'),
]
# Labels in other scripts, each shown at 1024 px (a quarter) above the same at 32 px (x4).
SCRIPTS = [  # label, caption
    ("\u0661\u0662", "Arabic-Indic 12"),
    ("\u4e09\u5341", "CJK numerals 30"),
    ("\uff11\uff12", "full-width 12"),
    ("\ud55c\uae00", "Hangul (initial)"),
    ("\u05e9\u05dc\u05d5\u05dd", "Hebrew (initial)"),
    ("\U0001f1eb\U0001f1f7", "flag emoji"),
    ("\U0001f680", "emoji"),
    ("\t3", "tab first: no text"),
]
COLUMNS = [(16, "icon_16x16.png", 4), (32, "icon_32x32.png", 4), (128, "icon_128x128.png", 1),
           (1024, "icon_512x512@2x.png", 0.25)]
CELL, CAPTION, MARGIN = 256, 36, 16


def main():
    build, out = sys.argv[1], sys.argv[2]
    here = os.path.dirname(os.path.abspath(__file__))
    base = os.path.join(here, "..", "samples", "App.icns")
    font = ImageFont.load_default()
    width = MARGIN + len(COLUMNS) * (CELL + MARGIN)
    script_rows = (len(SCRIPTS) + len(COLUMNS) - 1) // len(COLUMNS)
    height = CAPTION + (len(VARIANTS) + 2 * script_rows) * (CELL + CAPTION + MARGIN)
    sheet = Image.new("RGBA", (width, height), (245, 245, 247, 255))
    draw = ImageDraw.Draw(sheet)
    for c, (px, _, zoom) in enumerate(COLUMNS):
        draw.text((MARGIN + c * (CELL + MARGIN), 12), f"{px} px (shown x{zoom:g})", fill="black",
                  font=font)
    with tempfile.TemporaryDirectory() as tmp:
        for r, (label, colour, caption) in enumerate(VARIANTS):
            icns = os.path.join(tmp, f"{r}.icns")
            iconset = os.path.join(tmp, f"{r}.iconset")
            subprocess.run([os.path.join(build, "badgewright"), "--input", base, "--output", icns,
                            "--label", label, "--color", colour], check=True)
            subprocess.run([os.path.join(build, "iconutil"), "-c", "iconset", "-o", iconset, icns],
                           check=True)
            top = CAPTION + r * (CELL + CAPTION + MARGIN)
            for c, (px, name, zoom) in enumerate(COLUMNS):
                picture = Image.open(os.path.join(iconset, name)).convert("RGBA")
                assert picture.size == (px, px), (name, picture.size)
                shown = int(px * zoom)
                resample = Image.NEAREST if zoom >= 1 else Image.LANCZOS
                picture = picture.resize((shown, shown), resample)
                left = MARGIN + c * (CELL + MARGIN) + (CELL - shown) // 2
                sheet.alpha_composite(picture, (left, top + (CELL - shown) // 2))
            draw.text((MARGIN, top + CELL + 6), f"{caption}, {colour}", fill="black", font=font)
        for k, (label, caption) in enumerate(SCRIPTS):
            icns = os.path.join(tmp, f"s{k}.icns")
            iconset = os.path.join(tmp, f"s{k}.iconset")
            subprocess.run([os.path.join(build, "badgewright"), "--input", base, "--output", icns,
                            "--label", label, "--color", "#0D9488"], check=True)
            subprocess.run([os.path.join(build, "iconutil"), "-c", "iconset", "-o", iconset, icns],
                           check=True)
            row = len(VARIANTS) + 2 * (k // len(COLUMNS))
            left = MARGIN + (k % len(COLUMNS)) * (CELL + MARGIN)
            for step, (name, px, zoom) in enumerate(
                    [("icon_512x512@2x.png", 1024, 0.25), ("icon_32x32.png", 32, 4)]):
                top = CAPTION + (row + step) * (CELL + CAPTION + MARGIN)
                picture = Image.open(os.path.join(iconset, name)).convert("RGBA")
                shown = int(px * zoom)
                resample = Image.NEAREST if zoom >= 1 else Image.LANCZOS
                picture = picture.resize((shown, shown), resample)
                sheet.alpha_composite(picture, (left + (CELL - shown) // 2,
                                                top + (CELL - shown) // 2))
                draw.text((left, top + CELL + 6), f"{caption}, {px} px", fill="black", font=font)
    sheet.save(out, optimize=True)


if __name__ == "__main__":
    main()
