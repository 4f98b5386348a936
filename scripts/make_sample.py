#!/usr/bin/python3
"""Draws the project's sample app icon: samples/App.png (1024 px) and the ten icon-set PNGs.

Usage: make_sample.py OUT_DIR   (writes OUT_DIR/App.png and OUT_DIR/App.iconset/)
Pack the icon set with the project's iconutil:  iconutil -c icns OUT_DIR/App.iconset
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFilter

SIZE = 1024
SUPER = 2


def draw() -> Image.Image:
    s = SIZE * SUPER
    img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    # A vertical teal-to-indigo gradient on a rounded square with a transparent margin.
    grad = Image.new("RGBA", (s, s))
    px = grad.load()
    for y in range(s):
        t = y / (s - 1)
        c = (int(20 + 60 * t), int(184 - 120 * t), int(166 + 60 * t), 255)
        for x in range(s):
            px[x, y] = c
    mask = Image.new("L", (s, s), 0)
    m = int(s * 0.09)
    ImageDraw.Draw(mask).rounded_rectangle((m, m, s - m, s - m), radius=int(s * 0.19), fill=255)
    img.paste(grad, (0, 0), mask)
    d = ImageDraw.Draw(img)
    # A white paper plane with a soft shadow.
    cx, cy = s * 0.5, s * 0.48
    plane = [(cx - s * 0.26, cy + s * 0.02), (cx + s * 0.25, cy - s * 0.2),
             (cx + s * 0.05, cy + s * 0.24), (cx - s * 0.04, cy + s * 0.08)]
    shadow = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    ImageDraw.Draw(shadow).polygon([(x + s * 0.015, y + s * 0.02) for x, y in plane],
                                   fill=(0, 0, 40, 110))
    img.alpha_composite(shadow.filter(ImageFilter.GaussianBlur(s * 0.012)))
    d.polygon(plane, fill=(255, 255, 255, 255))
    d.polygon([plane[1], plane[3], (cx - s * 0.02, cy + s * 0.2)], fill=(214, 226, 240, 255))
    # Fine concentric rings: detail that shows aliasing at small sizes.
    for k in range(6):
        r = s * (0.3 + 0.02 * k)
        w = max(1, int(s * 0.004))
        d.arc((cx - r, cy - r, cx + r, cy + r), 200, 340, fill=(255, 255, 255, 90), width=w)
    return img.resize((SIZE, SIZE), Image.LANCZOS)


def main() -> None:
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    base = draw()
    base.save(os.path.join(out, "App.png"), optimize=True)
    iconset = os.path.join(out, "App.iconset")
    os.makedirs(iconset, exist_ok=True)
    for points in (16, 32, 128, 256, 512):
        for scale in (1, 2):
            px = points * scale
            name = f"icon_{points}x{points}{'@2x' if scale == 2 else ''}.png"
            base.resize((px, px), Image.LANCZOS).save(os.path.join(iconset, name), optimize=True)


if __name__ == "__main__":
    main()
