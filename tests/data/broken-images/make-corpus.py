#!/usr/bin/env python3
"""Rebuilds the broken-image corpus in this folder.

Each file is a small valid image (made with ImageMagick, or by hand for
OpenEXR and Photoshop) that is then cut short, given absurd dimensions or
otherwise damaged. Files whose name contains "recoverable" keep at least one
intact image and must still open; every other file must fail with an error.
Run it from anywhere: python3 make-corpus.py
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def magick(extension, *options):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "base." + extension.split(":")[-1])
        target = (extension.split(":")[0] + ":" + path) if ":" in extension else path
        subprocess.run(["convert", "-size", "64x48", "gradient:red-blue", *options, target], check=True)
        with open(path, "rb") as f:
            return f.read()


def png_chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, bit_depth, color_type, raw):
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, color_type, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def exr(width, height, data_window=None, offsets=None):
    """A NO_COMPRESSION scanline file with one half channel, Y."""
    def attribute(name, kind, value):
        return name + b"\0" + kind + b"\0" + struct.pack("<i", len(value)) + value
    window = data_window or (0, 0, width - 1, height - 1)
    header = (attribute(b"channels", b"chlist", b"Y\0" + struct.pack("<iBxxxii", 1, 0, 1, 1) + b"\0")
              + attribute(b"compression", b"compression", b"\0")
              + attribute(b"dataWindow", b"box2i", struct.pack("<iiii", *window))
              + attribute(b"displayWindow", b"box2i", struct.pack("<iiii", 0, 0, width - 1, height - 1))
              + attribute(b"lineOrder", b"lineOrder", b"\0")
              + attribute(b"pixelAspectRatio", b"float", struct.pack("<f", 1.0))
              + attribute(b"screenWindowCenter", b"v2f", struct.pack("<ff", 0, 0))
              + attribute(b"screenWindowWidth", b"float", struct.pack("<f", 1.0)) + b"\0")
    start = 8 + len(header) + 8 * height
    line = 8 + 2 * width
    table = offsets or [start + y * line for y in range(height)]
    body = b"".join(struct.pack("<ii", y, 2 * width) + b"\x00\x3c" * width for y in range(height))
    return b"\x76\x2f\x31\x01" + struct.pack("<I", 2) + header + b"".join(struct.pack("<Q", o) for o in table) + body


def pdf_document():
    """One 64 × 48 pt page filled with a red rectangle."""
    content = b"1 0 0 rg 8 8 48 32 re f"
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 64 48] /Contents 4 0 R >>",
               b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream"]
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return out


def tiff_patch(data, tag, value):
    """Sets a SHORT or LONG entry of the first IFD of a little-endian TIFF."""
    assert data[:2] == b"II"
    data = bytearray(data)
    ifd = struct.unpack_from("<I", data, 4)[0]
    for i in range(struct.unpack_from("<H", data, ifd)[0]):
        entry = ifd + 2 + 12 * i
        if struct.unpack_from("<H", data, entry)[0] == tag:
            struct.pack_into("<HI", data, entry + 2, 4, 1)  # LONG × 1
            struct.pack_into("<I", data, entry + 8, value)
            return bytes(data)
    raise KeyError(tag)


def main():
    base_png = png(64, 48, 8, 2, b"".join(b"\0" + b"".join(bytes((x * 4, y * 5, 128)) for x in range(64)) for y in range(48)))
    write("png-truncated.png", base_png[: len(base_png) // 2])
    broken_crc = bytearray(base_png)
    broken_crc[60] ^= 0xFF
    write("png-bad-crc.png", bytes(broken_crc))
    write("png-huge-dimensions.png", png(100000, 100000, 8, 6, b"\0" * 64))
    # 20000 × 20000 one-bit grey: 50 MB of rows deflated to a few tens of kB.
    write("png-bomb.png", png(20000, 20000, 1, 0, bytes(2501 * 20000)))
    write("png-text-inside.png", b"This is not a PNG file at all.\n")

    jpeg = magick("jpg")
    write("jpeg-truncated.jpg", jpeg[: len(jpeg) * 6 // 10])
    sof = jpeg.find(b"\xff\xc0")
    write("jpeg-huge-dimensions.jpg", jpeg[: sof + 5] + struct.pack(">HH", 65500, 65500) + jpeg[sof + 9:])
    write("jpeg-header-only.jpg", jpeg[: jpeg.find(b"\xff\xdb")])

    gif = magick("gif")
    write("gif-truncated.gif", gif[: len(gif) // 2])
    write("gif-huge-screen.gif", gif[:6] + struct.pack("<HH", 65535, 65535) + gif[10:])
    descriptor = gif.find(b"\x2c\x00\x00\x00\x00")
    write("gif-huge-frame.gif", gif[: descriptor + 5] + struct.pack("<HH", 65535, 65535) + gif[descriptor + 9:])

    tif = magick("tif", "-compress", "none", "-define", "tiff:endian=lsb")
    write("tiff-truncated.tif", tif[: len(tif) // 2])
    write("tiff-huge-dimensions.tif", tiff_patch(tiff_patch(tif, 256, 100000), 257, 100000))
    write("tiff-strip-beyond-end.tif", tiff_patch(tif, 273, 50_000_000))
    looped = bytearray(tif)
    ifd = struct.unpack_from("<I", looped, 4)[0]
    count = struct.unpack_from("<H", looped, ifd)[0]
    struct.pack_into("<I", looped, ifd + 2 + 12 * count, ifd)  # next IFD is itself
    write("tiff-ifd-loop-recoverable.tif", bytes(looped))

    jp2 = magick("jp2")
    write("jp2-truncated.jp2", jp2[: len(jp2) * 6 // 10])
    siz = jp2.find(b"\xff\x51")
    huge = bytearray(jp2)
    struct.pack_into(">II", huge, siz + 6, 100000, 100000)  # Xsiz, Ysiz
    struct.pack_into(">II", huge, siz + 22, 100000, 100000)  # XTsiz, YTsiz: one tile
    ihdr = jp2.find(b"ihdr")
    struct.pack_into(">II", huge, ihdr + 4, 100000, 100000)  # HEIGHT, WIDTH
    write("jp2-huge-dimensions.jp2", bytes(huge))
    codestream = jp2[jp2.find(b"\xff\x4f\xff\x51"):]
    sod = codestream.find(b"\xff\x93")
    write("j2k-garbage-body.j2k", codestream[: sod + 2] + bytes((i * 37) & 0xFF for i in range(400)))

    valid_exr = exr(8, 6)
    write("exr-truncated.exr", valid_exr[: len(valid_exr) * 7 // 10])
    write("exr-huge-data-window.exr", exr(8, 6, data_window=(0, 0, 99999, 99999)))
    write("exr-offsets-beyond-end.exr", exr(8, 6, offsets=[10_000_000 + i for i in range(6)]))

    bmp = magick("BMP3:bmp")
    write("bmp-truncated.bmp", bmp[: len(bmp) // 2])
    write("bmp-huge-dimensions.bmp", bmp[:18] + struct.pack("<ii", 100000, 100000) + bmp[26:])
    write("bmp-zero-width.bmp", bmp[:18] + struct.pack("<i", 0) + bmp[22:])

    tga = magick("tga")
    write("tga-truncated.tga", tga[: len(tga) // 2])
    write("tga-huge-dimensions.tga", tga[:12] + struct.pack("<HH", 65535, 65535) + tga[16:])

    pdf = pdf_document()
    write("pdf-truncated.pdf", pdf[: len(pdf) * 4 // 10])
    write("pdf-garbage.pdf", b"%PDF-1.4\n" + bytes((i * 91 + 7) & 0xFF for i in range(600)))

    # Photoshop header: signature, version 1, 3 channels, 30000 × 30000, 8 bits, RGB.
    write("psd-huge-dimensions.psd", b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, 30000, 30000, 8, 3) + bytes(64))

    write("pnm-truncated.ppm", b"P6\n4 4\n255\n" + bytes(20))
    write("pnm-huge-dimensions.ppm", b"P6\n100000 100000\n255\n" + bytes(64))
    write("pnm-bad-maximum.pgm", b"P5\n2 2\n70000\n" + bytes(8))
    write("hdr-truncated.hdr", b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n" + b"\x80\x40\x20\x81" * 3)

    write("random-bytes.bin", bytes((i * 2654435761 >> 7) & 0xFF for i in range(1024)))
    write("empty.bin", b"")


if __name__ == "__main__":
    main()
