#!/usr/bin/python3
"""Writes the fuzzers' seed corpora: small files of every format and coding the loader reads,
colour texts and option lists. Usage: make_corpus.py OUT_DIR (one subdirectory per fuzzer)."""
import io
import os
import struct
import sys

from PIL import Image


def picture(mode, w, h):
    img = Image.new("RGBA", (w, h))
    for y in range(h):
        for x in range(w):
            img.putpixel((x, y), (x * 255 // max(1, w - 1), y * 255 // max(1, h - 1), (x ^ y) * 16 % 256,
                                  255 if (x + y) % 3 else 128))
    return img.convert(mode) if mode != "RGBA" else img


def saved(img, fmt, **options):
    out = io.BytesIO()
    img.save(out, fmt, **options)
    return out.getvalue()


def planes(rgba, channels, with_runs=True):
    """Run-length planes in the container's coding: literal runs, and repeats where they help."""
    out = bytearray()
    for c in channels:
        plane = rgba[c::4]
        i = 0
        while i < len(plane):
            run = 1
            while with_runs and i + run < len(plane) and run < 130 and plane[i + run] == plane[i]:
                run += 1
            if run >= 3:
                out += bytes([0x80 + run - 3, plane[i]])
                i += run
            else:
                n = min(128, len(plane) - i)
                out += bytes([n - 1]) + plane[i:i + n]
                i += n
    return bytes(out)


def container(chunks):
    body = b"".join(t + struct.pack(">I", 8 + len(d)) + d for t, d in chunks)
    return b"icns" + struct.pack(">I", 8 + len(body)) + body


def icns_seeds():
    p16 = picture("RGBA", 16, 16).tobytes()
    p32 = picture("RGBA", 32, 32).tobytes()
    p128 = picture("RGBA", 128, 128).tobytes()
    alpha16 = p16[3::4]
    png32 = saved(picture("RGBA", 32, 32), "PNG")
    return {
        "argb16.icns": container([(b"ic04", b"ARGB" + planes(p16, [3, 0, 1, 2]))]),
        "argb32.icns": container([(b"ic05", b"ARGB" + planes(p32, [3, 0, 1, 2]))]),
        "rgb16-mask.icns": container([(b"is32", planes(p16, [0, 1, 2])), (b"s8mk", alpha16)]),
        "rgb32-mask.icns": container([(b"il32", planes(p32, [0, 1, 2])), (b"l8mk", p32[3::4])]),
        "rgb128-mask.icns": container([(b"it32", b"\0\0\0\0" + planes(p128, [0, 1, 2])),
                                       (b"t8mk", p128[3::4])]),
        "classic1.icns": container([(b"ICN#", bytes(range(128)) + b"\xff" * 128)]),
        "classic4.icns": container([(b"icl4", bytes((i * 7) % 256 for i in range(512))),
                                    (b"ICN#", b"\x0f" * 256)]),
        "classic8.icns": container([(b"icl8", bytes(i % 256 for i in range(1024))),
                                    (b"ICN#", b"\xf0" * 256)]),
        "png32.icns": container([(b"TOC ", b"ic11" + struct.pack(">I", 8 + len(png32))),
                                 (b"ic11", png32), (b"info", b"bplist00")]),
        "jp2-32.icns": container([(b"ic05", saved(picture("RGBA", 32, 32), "JPEG2000"))]),
        "mixed.icns": container([(b"is32", planes(p16, [0, 1, 2], False)), (b"s8mk", alpha16),
                                 (b"ic11", png32), (b"ic04", b"ARGB" + planes(p16, [3, 0, 1, 2]))]),
    }


def picture_seeds():
    rgba = picture("RGBA", 24, 20)
    palette = picture("RGB", 24, 20).convert("P", palette=Image.ADAPTIVE, colors=16)
    seeds = {
        "rgba.png": saved(rgba, "PNG"),
        "rgb-interlaced.png": saved(rgba.convert("RGB"), "PNG", interlace=1),
        "grey.png": saved(rgba.convert("L"), "PNG"),
        "grey-alpha.png": saved(rgba.convert("LA"), "PNG"),
        "grey16.png": saved(rgba.convert("L").convert("I"), "PNG"),
        "palette-trns.png": saved(palette, "PNG", transparency=0),
        "one-bit.png": saved(rgba.convert("1"), "PNG"),
        "baseline.jpg": saved(rgba.convert("RGB"), "JPEG", quality=80),
        "progressive.jpg": saved(rgba.convert("RGB"), "JPEG", progressive=True),
        "cmyk.jpg": saved(rgba.convert("CMYK"), "JPEG"),
        "grey.jpg": saved(rgba.convert("L"), "JPEG"),
        "palette.gif": saved(palette, "GIF"),
        "transparent.gif": saved(palette, "GIF", transparency=0),
        "animated.gif": saved(palette, "GIF", save_all=True,
                              append_images=[palette.transpose(Image.FLIP_LEFT_RIGHT)]),
        "rgb.bmp": saved(rgba.convert("RGB"), "BMP"),
        "palette.bmp": saved(palette, "BMP"),
        "lzw.tif": saved(rgba, "TIFF", compression="tiff_lzw"),
        "plain.tif": saved(rgba.convert("RGB"), "TIFF"),
        "lossless.webp": saved(rgba, "WEBP", lossless=True),
        "lossy.webp": saved(rgba, "WEBP", quality=50),
        "picture.jp2": saved(rgba.convert("RGB"), "JPEG2000"),
        "codestream.j2k": saved(rgba, "JPEG2000"),
    }
    exif = Image.Exif()
    exif[0x0112] = 6
    seeds["rotated.jpg"] = saved(rgba.convert("RGB"), "JPEG", exif=exif.tobytes())
    return seeds


COLORS = ["#2563EB", "2563eb", "  #2563EB\n", "+000FF", "-00000", "-00001", "# 2563EB", "##2563EB",
          "\uff12\uff15\uff16\uff13\uff25\uff22", "", "#", "ffffff", "\u3000#123456\u0085", "e\u0301e\u0301e\u0301",
          "#12345", "#1234567", "\U0001F1FA\U0001F1F8\U0001F1FA\U0001F1F8\U0001F1FA\U0001F1F8"]

OPTIONS = [
    b"--input\0in.icns\0--output\0out.icns\0--label\0" b"3\0--color\0#2563EB",
    b"--input\0--output\0--label",
    b"--label\0\xff\xfe\0--input\0a\xc3\0--output\0\xe2\x82",
    b"-input\0x\0--INPUT\0y\0--input=z\0--output",
    b"--input\0a\0--input\0b\0--color\0",
]


def main():
    out = sys.argv[1]
    groups = {
        "icns_codec": icns_seeds(),
        "image_loader": {**picture_seeds(), **icns_seeds()},
        "color_parser": {f"color{i}": c.encode() for i, c in enumerate(COLORS)},
        "option_parser": {f"args{i}": a for i, a in enumerate(OPTIONS)},
    }
    here = os.path.dirname(os.path.abspath(__file__))
    sample = os.path.join(here, "..", "samples", "App.icns")
    groups["icns_codec"]["App.icns"] = open(sample, "rb").read()
    for name, files in groups.items():
        os.makedirs(os.path.join(out, name), exist_ok=True)
        for file, data in files.items():
            with open(os.path.join(out, name, file), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
