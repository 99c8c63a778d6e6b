#!/usr/bin/env python3
"""Finds a picture on a screenshot and tells how closely the screen matches it.

usage: findpicture.py SCREEN PICTURE X0 Y0 X1 Y1 [TOLERANCE]

Looks for the picture's top-left corner anywhere in the rectangle (X0, Y0)-(X1, Y1) of the
screen, then compares every pixel. Prints "X Y MAXDIFF MEANDIFF" and exits 0 when the largest
channel difference is at most TOLERANCE (default 0), 1 otherwise, 2 when not found.
Both files are binary PPM (P6, 8 bits), as ImageMagick and djpeg write them, or uncompressed
24-bit BMP files, so that a saved picture of hundreds of megapixels is read in seconds.
"""
import struct
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise SystemExit(f"{path}: not an 8-bit P6 file")
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise SystemExit(f"{path}: not an uncompressed 24-bit BMP file")
    stride = (w * 3 + 3) // 4 * 4
    rows = range(h - 1, -1, -1) if h > 0 else range(-h)
    rgb = bytearray(w * abs(h) * 3)
    for y, stored in enumerate(rows):
        bgr = data[offset + stored * stride:offset + stored * stride + w * 3]
        out = slice(y * w * 3, (y + 1) * w * 3)
        rgb[out] = bgr
        rgb[out.start:out.stop:3] = bgr[2::3]
        rgb[out.start + 2:out.stop:3] = bgr[0::3]
    return w, abs(h), bytes(rgb)


def read_picture(path):
    with open(path, "rb") as f:
        magic = f.read(2)
    return read_bmp(path) if magic == b"BM" else read_ppm(path)


def main():
    screen_w, screen_h, screen = read_picture(sys.argv[1])
    pic_w, pic_h, pic = read_picture(sys.argv[2])
    x0, y0, x1, y1 = (int(v) for v in sys.argv[3:7])
    tolerance = int(sys.argv[7]) if len(sys.argv) > 7 else 0

    def row(buf, width, x, y, n):
        start = (y * width + x) * 3
        return buf[start:start + n * 3]

    def diff(a, b):
        return max((abs(p - q) for p, q in zip(a, b)), default=0)

    # Candidates: positions whose first row matches within a generous tolerance.
    probe = row(pic, pic_w, 0, 0, min(pic_w, 32))
    best = None
    for y in range(max(0, y0), min(y1, screen_h - pic_h) + 1):
        for x in range(max(0, x0), min(x1, screen_w - pic_w) + 1):
            d = diff(probe, row(screen, screen_w, x, y, min(pic_w, 32)))
            if d <= max(tolerance, 8) and (best is None or d < best[0]):
                best = (d, x, y)
    if best is None:
        print("not found")
        return 2
    _, x, y = best
    worst, total = 0, 0
    for j in range(pic_h):
        a = row(pic, pic_w, 0, j, pic_w)
        b = row(screen, screen_w, x, y + j, pic_w)
        if a == b:
            continue
        for p, q in zip(a, b):
            d = abs(p - q)
            total += d
            worst = max(worst, d)
    mean = total / (pic_w * pic_h * 3)
    print(f"{x} {y} {worst} {mean:.3f}")
    return 0 if worst <= tolerance else 1


if __name__ == "__main__":
    sys.exit(main())
