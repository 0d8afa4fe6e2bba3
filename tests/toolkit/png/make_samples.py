#!/usr/bin/env python3
"""Writes the PNG samples of the decoder tests and the RGBA reference of each.

Two independent encoders write them: ImageMagick (convert) and the small zlib-based writer
below. Every reference is the source image itself, and every ImageMagick file is read back by
ImageMagick and compared with its source here, so a reference never depends on our decoder.
Run it from anywhere; it rewrites tests/toolkit/png/data/. Needs python3 and ImageMagick.
"""
import os
import random
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
manifest = []


# ---- source images: lists of (r, g, b, a) tuples, row by row ----

def photo(w, h, seed, opaque=False, grey=False):
    rnd = random.Random(seed)
    pixels = []
    for y in range(h):
        for x in range(w):
            r = (x * 255 // max(1, w - 1) + rnd.randrange(-20, 21)) & 0xFF
            g = (y * 255 // max(1, h - 1) + rnd.randrange(-20, 21)) & 0xFF
            b = ((x ^ y) * 7 + rnd.randrange(0, 40)) & 0xFF
            a = 255 if opaque else [0, 255, rnd.randrange(256)][(x + 2 * y) % 3]
            if grey:
                g = b = r
            pixels.append((r, g, b, a))
    return pixels


def with_few_colours(w, h, seed, count, alpha):
    rnd = random.Random(seed)
    colours = []
    while len(colours) < count:
        c = (rnd.randrange(256), rnd.randrange(256), rnd.randrange(256),
             rnd.choice([0, 128, 255]) if alpha else 255)
        if c not in colours:
            colours.append(c)
    return [colours[(x * 3 + y * 5 + rnd.randrange(4)) % count] for y in range(h) for x in range(w)], colours


def grey_levels(w, h, seed, depth):
    rnd = random.Random(seed)
    top = (1 << depth) - 1
    values = [rnd.randrange(top + 1) for _ in range(w * h)]
    return values, [(v * 255 // top,) * 3 + (255,) for v in values]


# ---- our own writer over zlib ----

def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def pack_row(samples, depth):
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, prior, stride):
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - stride] if i >= stride else 0
        b = prior[i] if prior else 0
        c = prior[i - stride] if prior and i >= stride else 0
        pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
        out.append((x - pred) & 0xFF)
    return bytes(out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def write_png(name, w, h, colour, depth, samples, reference, filters=(0,), interlace=False,
              palette=None, trns=None, idat_size=None, extra=b"", reference16=None):
    """samples: per pixel, a tuple of channel values at the given depth."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    stride = max(1, channels * depth // 8)
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw, n = bytearray(), 0
    for x0, y0, sx, sy in passes:
        prior = None
        for y in range(y0, h, sy):
            flat = [v for x in range(x0, w, sx) for v in samples[y * w + x]]
            if not flat:
                continue
            row = pack_row(flat, depth)
            raw += filter_row(filters[n % len(filters)], row, prior, stride)
            n += 1
            prior = row
    data = zlib.compress(bytes(raw), 9)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, int(interlace)))
    out += extra
    if palette:
        out += chunk(b"PLTE", b"".join(bytes(c[:3]) for c in palette))
    if trns is not None:
        out += chunk(b"tRNS", trns)
    size = idat_size or len(data)
    for i in range(0, len(data), size):
        out += chunk(b"IDAT", data[i:i + size])
    out += chunk(b"IEND", b"")
    save(name, out, w, h, reference, reference16)


def save(name, png, w, h, reference, reference16=None):
    """reference16: the 16-bit source of a 16-bit file, checked at full depth since ImageMagick
    does not round 16-bit samples to the nearest 8-bit level."""
    path = os.path.join(DATA, name + ".png")
    with open(path, "wb") as f:
        f.write(png)
    # A second reader must agree with the reference, so that neither our writer nor our
    # decoder is the only judge.
    depth = "16" if reference16 else "8"
    back = subprocess.run(["convert", path, "-depth", depth, "-endian", "MSB", "rgba:-"], check=True,
                          capture_output=True).stdout
    if reference16:
        expected = b"".join(struct.pack(">HHHH", *p) for p in reference16)
    else:
        expected = bytes(v for p in reference for v in p)
    if back != expected:
        first = next(i for i in range(min(len(back), len(expected))) if back[i] != expected[i])
        sys.exit(f"ImageMagick reads {name} differently from its reference (byte {first}: "
                 f"{back[first]} for {expected[first]})")
    with open(os.path.join(DATA, name + ".rgba"), "wb") as f:
        f.write(bytes(v for p in reference for v in p))
    manifest.append(f"{name}.png {name}.rgba {w} {h}")


# ---- ImageMagick ----

def magick(name, w, h, source, options, output_prefix="PNG32:", depth16=False):
    src = os.path.join(DATA, name + ".source")
    out = os.path.join(DATA, name + ".png")
    with open(src, "wb") as f:
        if depth16:
            f.write(b"".join(struct.pack(">HHHH", *(v * 257 for v in p)) for p in source))
        else:
            f.write(bytes(v for p in source for v in p))
    subprocess.run(["convert", "-size", f"{w}x{h}", "-depth", "16" if depth16 else "8",
                    "-endian", "MSB", f"rgba:{src}"] + options + ["-strip", output_prefix + out], check=True)
    os.remove(src)
    with open(out, "rb") as f:
        png = f.read()
    save(name, png, w, h, source)


def main():
    os.makedirs(DATA, exist_ok=True)
    for old in os.listdir(DATA):
        os.remove(os.path.join(DATA, old))

    W, H = 37, 23
    rgba = photo(W, H, 1)
    rgb = photo(W, H, 2, opaque=True)
    grey = photo(W, H, 3, opaque=True, grey=True)
    grey_alpha = photo(W, H, 4, grey=True)
    few, colours = with_few_colours(W, H, 5, 200, alpha=True)

    # Our writer: every colour type and depth, each filter alone and all mixed, interlaced.
    for f in range(5):
        write_png(f"py-rgba8-filter{f}", W, H, 6, 8, rgba, rgba, filters=(f,))
    write_png("py-rgba8-mixed", W, H, 6, 8, rgba, rgba, filters=(0, 1, 2, 3, 4))
    write_png("py-rgba8-adam7", W, H, 6, 8, rgba, rgba, filters=(4, 3, 2, 1, 0), interlace=True)
    write_png("py-rgb8-mixed", W, H, 2, 8, [p[:3] for p in rgb], rgb, filters=(1, 4, 2, 3, 0))
    write_png("py-grey8-mixed", W, H, 0, 8, [p[:1] for p in grey], grey, filters=(3, 1, 4, 0, 2))
    write_png("py-greyalpha8-adam7", W, H, 4, 8, [(p[0], p[3]) for p in grey_alpha], grey_alpha,
              filters=(2, 4), interlace=True)
    index = {c: i for i, c in enumerate(colours)}
    write_png("py-palette8-trns", W, H, 3, 8, [(index[p],) for p in few], few, filters=(0, 4),
              palette=colours, trns=bytes(c[3] for c in colours))
    for depth in (1, 2, 4):
        values, ref = grey_levels(W, H, 10 + depth, depth)
        write_png(f"py-grey{depth}-adam7", W, H, 0, depth, [(v,) for v in values], ref, filters=(1, 2, 3, 4, 0),
                  interlace=True)
        pal = [(i * 37 % 256, i * 91 % 256, i * 53 % 256, 255) for i in range(1 << depth)]
        write_png(f"py-palette{depth}", W, H, 3, depth, [(v,) for v in values], [pal[v] for v in values],
                  filters=(4, 1), palette=pal)
    # 16 bits: arbitrary values, rounded to the nearest 8-bit level.
    rnd = random.Random(20)
    deep = [tuple(rnd.randrange(65536) for _ in range(4)) for _ in range(W * H)]
    def to8(p):
        return tuple(round(v * 255 / 65535) for v in p)
    write_png("py-rgba16-adam7", W, H, 6, 16, deep, [to8(p) for p in deep], filters=(0, 1, 2, 3, 4),
              interlace=True, reference16=deep)
    grey16 = [(p[0],) * 3 + (p[1],) for p in deep]
    write_png("py-greyalpha16", W, H, 4, 16, [(p[0], p[1]) for p in deep], [to8(p) for p in grey16],
              filters=(3, 4), reference16=grey16)
    # Colour keys: one grey level and one RGB colour stand for full transparency.
    key_grey = [(p[0], p[1], p[2], 0 if p[0] == grey[0][0] else 255) for p in grey]
    write_png("py-grey8-key", W, H, 0, 8, [p[:1] for p in grey], key_grey, trns=struct.pack(">H", grey[0][0]))
    key_rgb = [(p[0], p[1], p[2], 0 if p[:3] == rgb[5][:3] else 255) for p in rgb]
    write_png("py-rgb8-key", W, H, 2, 8, [p[:3] for p in rgb], key_rgb, trns=struct.pack(">HHH", *rgb[5][:3]))
    rgb16 = [tuple(rnd.randrange(65536) for _ in range(3)) for _ in range(W * H)]
    rgb16[7] = rgb16[0]
    key16 = [p + (0 if p == rgb16[0] else 65535,) for p in rgb16]
    write_png("py-rgb16-key", W, H, 2, 16, rgb16, [to8(p) for p in key16], trns=struct.pack(">HHH", *rgb16[0]),
              reference16=key16)
    # Odd sizes whose Adam7 passes are partly empty, data split into tiny IDAT chunks, and an
    # ancillary chunk of an unknown kind, which a reader must skip.
    for w, h in ((1, 1), (3, 2), (9, 1), (1, 9)):
        tiny = photo(w, h, 30 + w)
        write_png(f"py-rgba8-adam7-{w}x{h}", w, h, 6, 8, tiny, tiny, filters=(4,), interlace=True)
    write_png("py-rgba8-split", W, H, 6, 8, rgba, rgba, filters=(2,), idat_size=1,
              extra=chunk(b"vaNt", b"skip me"))

    # ImageMagick: its own choice of colour type, each filter (quality's last digit), Adam7.
    for f in range(6):
        magick(f"im-rgba8-filter{f}", W, H, rgba, ["-quality", f"9{f}"])
    magick("im-rgba8-adam7", W, H, rgba, ["-interlace", "PNG"])
    magick("im-rgb8", W, H, rgb, ["-quality", "95"], "PNG24:")
    magick("im-rgb8-adam7", W, H, rgb, ["-interlace", "PNG"], "PNG24:")
    magick("im-grey8", W, H, grey, ["-define", "png:color-type=0", "-define", "png:bit-depth=8"], "PNG:")
    magick("im-greyalpha8", W, H, grey_alpha, ["-define", "png:color-type=4", "-define", "png:bit-depth=8"], "PNG:")
    # ImageMagick's palette output keeps only binary transparency, with one transparent colour.
    binary = [(255, 255, 255, 0) if p[3] == 0 else p[:3] + (255,) for p in few]
    magick("im-palette8", W, H, binary, [], "PNG8:")
    few_opaque, _ = with_few_colours(W, H, 6, 12, alpha=False)
    magick("im-palette8-adam7", W, H, few_opaque, ["-interlace", "PNG"], "PNG8:")
    magick("im-rgba16", W, H, rgba, ["-quality", "95"], "PNG64:", depth16=True)
    magick("im-rgb16-adam7", W, H, rgb, ["-interlace", "PNG"], "PNG48:", depth16=True)
    for depth in (1, 2, 4):
        _, ref = grey_levels(W, H, 40 + depth, depth)
        magick(f"im-grey{depth}", W, H, ref,
               ["-define", "png:color-type=0", "-define", f"png:bit-depth={depth}"], "PNG:")

    with open(os.path.join(DATA, "samples.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
