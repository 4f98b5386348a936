#!/usr/bin/python3
"""Writes the loader's fixtures for formats the tests cannot easily make in C++.

Each picture is 16 x 8 pixels: the left half red, the right half blue (quadrant colours of the
JPEG are approximate). Usage: make_fixtures.py OUT_DIR
"""
import io
import os
import random
import struct
import sys
import zlib

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
    hostile(os.path.join(out, "hostile"))


def encoded(img, fmt, **options):
    out = io.BytesIO()
    img.save(out, fmt, **options)
    return out.getvalue()


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_declaring(w, h, depth=8, colour=6, interlace=0, idat=zlib.compress(bytes(1000))):
    header = struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", idat) +
            png_chunk(b"IEND", b""))


def with_sof(jpeg, w, h, junk=0):
    """The JPEG with its frame header declaring w x h, its scan data replaced by junk bytes."""
    data = bytearray(jpeg)
    sof = max(data.find(b"\xff\xc0"), data.find(b"\xff\xc2"))
    data[sof + 5:sof + 9] = struct.pack(">HH", h, w)
    if not junk:
        return bytes(data)
    sos = data.find(b"\xff\xda")
    end = sos + 2 + struct.unpack(">H", data[sos + 2:sos + 4])[0]
    return bytes(data[:end]) + bytes(random.getrandbits(8) & 0xFE for _ in range(junk)) + b"\xff\xd9"


def hostile(out):
    """Files that declare far more than they hold, or are cut short: each must be refused cheaply."""
    random.seed(1)
    os.makedirs(out, exist_ok=True)
    files = {
        "png-huge.png": png_declaring(16384, 16384),
        "png-huge-16bit.png": png_declaring(16384, 16384, depth=16),
        "png-huge-interlaced.png": png_declaring(16384, 16384, interlace=1),
        "png-over-bound.png": png_declaring(20000, 20000),
        "png-bomb.png": png_declaring(16384, 16384,
                                      idat=zlib.compress(bytes((16384 * 4 + 1) * 2048), 9)),
        "jpeg-huge.jpg": with_sof(encoded(Image.new("RGB", (16, 16)), "JPEG"), 16384, 16384),
        "jpeg-huge-junk.jpg": with_sof(encoded(Image.new("RGB", (16, 16)), "JPEG"), 16384, 16384,
                                       100_000),
        "jpeg-huge-progressive-junk.jpg": with_sof(
            encoded(Image.new("RGB", (16, 16)), "JPEG", progressive=True), 16384, 16384, 100_000),
    }
    gif = bytearray(encoded(Image.new("P", (16, 16)), "GIF"))
    gif[6:10] = struct.pack("<HH", 16384, 16384)
    files["gif-huge-screen.gif"] = bytes(gif)
    bmp = bytearray(encoded(Image.new("RGB", (16, 16)), "BMP"))
    bmp[18:26] = struct.pack("<ii", 16384, 16384)
    files["bmp-huge.bmp"] = bytes(bmp)
    webp = bytearray(encoded(Image.new("RGBA", (16, 16), (1, 2, 3, 4)), "WEBP", lossless=True))
    at = webp.find(b"VP8L")
    webp[at + 9:at + 13] = struct.pack("<I", 16383 | 16383 << 14 | 1 << 28)
    files["webp-huge.webp"] = bytes(webp)
    many = b"".join(b"ic04" + struct.pack(">I", 8) for _ in range(100_000))
    files["icns-many-chunks.icns"] = b"icns" + struct.pack(">I", 8 + len(many)) + many
    files["icns-bad-length.icns"] = (b"icns" + struct.pack(">I", 0x7FFFFFFF) + b"ic10" +
                                     struct.pack(">I", 0x7FFFFFF0))
    # Real pictures of noise, cut to a tenth.
    noise = Image.frombytes("RGB", (1024, 1024), random.randbytes(1024 * 1024 * 3))
    for name, fmt, options in [("cut.png", "PNG", {}), ("cut.jpg", "JPEG", {}),
                               ("cut-progressive.jpg", "JPEG", {"progressive": True}),
                               ("cut.gif", "GIF", {}), ("cut.bmp", "BMP", {}),
                               ("cut.tif", "TIFF", {}), ("cut.webp", "WEBP", {"lossless": True})]:
        data = encoded(noise.convert("P") if fmt == "GIF" else noise, fmt, **options)
        files[name] = data[:len(data) // 10]
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    # A genuine large picture that compresses well: accepted.
    Image.new("RGBA", (4096, 4096), (30, 90, 200, 255)).save(os.path.join(out, "..", "flat4096.png"))


if __name__ == "__main__":
    main()
