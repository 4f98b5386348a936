#!/usr/bin/python3
"""Writes the loader's fixtures for formats the tests cannot easily make in C++.

Each picture is 16 x 8 pixels: the left half red, the right half blue (quadrant colours of the
JPEG are approximate). Usage: make_fixtures.py OUT_DIR
"""
import io
import os
import sys

from PIL import Image


def halves(mode="RGB", w=16, h=8):
    img = Image.new("RGB", (w, h), (0, 0, 255))
    img.paste((255, 0, 0), (0, 0, w // 2, h))
    return img.convert(mode)


def exif_with_orientation(value):
    exif = Image.Exif()
    exif[0x0112] = value
    return exif.tobytes()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    halves().save(os.path.join(out, "halves.jpg"), quality=95)
    # Stored 16 x 8, displayed rotated 90 degrees clockwise: 8 x 16, red on top.
    halves().save(os.path.join(out, "rotated.jpg"), quality=95, exif=exif_with_orientation(6))
    halves("CMYK").save(os.path.join(out, "cmyk.jpg"), quality=95)
    halves().save(os.path.join(out, "halves.gif"))
    halves().save(os.path.join(out, "halves.bmp"))
    halves("RGBA").save(os.path.join(out, "halves.tif"), compression="tiff_lzw")
    halves("RGBA").save(os.path.join(out, "halves.webp"), lossless=True)
    # JPEG 2000 payloads for an icon container: a JP2 file and a raw codestream, 32 x 32.
    halves("RGB", 32, 32).save(os.path.join(out, "halves32.jp2"), irreversible=False)
    halves("RGBA", 32, 32).save(os.path.join(out, "halves32.j2k"), irreversible=False)
    # A GIF with a transparent index.
    gif = halves("P")
    gif.info["transparency"] = gif.getpixel((0, 0))
    gif.save(os.path.join(out, "transparent.gif"), transparency=gif.getpixel((0, 0)))


if __name__ == "__main__":
    main()
