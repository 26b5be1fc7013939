#!/usr/bin/env python3
"""The game's picture and sound readers against reference decoders, one generated table each.

Pictures: every PNG colour type and bit depth, plain and interlaced, with and without a tRNS chunk,
written here with zlib and read by the game (kablix_media_probe) and by PIL, pixel for pixel.
Sounds: every WAV encoding the game reads, plus Ogg Vorbis, made by sox and compared with sox's own
decode: sample for sample for PCM and G.711, by correlation for the lossy ones.
Usage: reader_tables.py PROBE; exit status 0 when every row agrees.
"""
import os, random, struct, subprocess, sys, tempfile, zlib
try:
    from PIL import Image
except ImportError:  # Debian's python3-pil lives beside /usr/bin/python3
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

PROBE, WORK = sys.argv[1], tempfile.mkdtemp(prefix="kablix-readers-")
W, H = 13, 7  # odd sizes: every Adam7 pass is partial, and the texture is padded on both sides
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
DEPTHS = {0: (1, 2, 4, 8, 16), 2: (8, 16), 3: (1, 2, 4, 8), 4: (8, 16), 6: (8, 16)}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def packed_rows(samples, xs, ys, channels, depth):
    """Filter-0 rows of the pixels at columns xs on rows ys, samples packed MSB first."""
    out = b""
    for y in ys:
        bits = "".join(format(samples[y][x][c], "0%db" % depth) for x in xs for c in range(channels))
        bits += "0" * (-len(bits) % 8)
        out += b"\0" + int(bits, 2).to_bytes(len(bits) // 8, "big") if bits else b""
    return out


def png(kind, depth, interlaced, samples, palette=None, trns=None):
    channels = CHANNELS[kind]
    if interlaced:
        raw = b"".join(packed_rows(samples, range(x0, W, dx), range(y0, H, dy), channels, depth)
                       for x0, y0, dx, dy in ADAM7 if x0 < W and y0 < H)
    else:
        raw = packed_rows(samples, range(W), range(H), channels, depth)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, depth, kind, 0, 0, interlaced))
    if palette:
        data += chunk(b"PLTE", bytes(v for entry in palette for v in entry))
    if trns is not None:
        data += chunk(b"tRNS", trns)
    return data + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def picture_rows():
    rng = random.Random(27)
    for kind, depths in DEPTHS.items():
        for depth in depths:
            top = (1 << depth) - 1
            colours = min(top + 1, 6) if kind == 3 else None
            for interlaced in (0, 1):
                samples = [[[rng.randint(0, colours - 1 if colours else top) for _ in range(CHANNELS[kind])]
                            for _ in range(W)] for _ in range(H)]
                key = samples[3][5]  # a key colour that some pixels have
                palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(colours or 0)]
                trnses = [None]
                if kind in (0, 2):
                    trnses.append(b"".join(struct.pack(">H", v) for v in key))
                if kind == 3:  # partial alpha only, then one entry fully transparent
                    trnses += [bytes(rng.randint(1, 254) for _ in palette[:-1]), bytes([200, 0])]
                for trns in trnses:
                    name = "k%d-%dbit-%s-%s" % (kind, depth, "adam7" if interlaced else "plain",
                                                "trns%d" % len(trns) if trns is not None else "opaque")
                    yield name, png(kind, depth, interlaced, samples, palette, trns), samples, kind, depth, trns, key


def expected_picture(path, samples, kind, depth, trns, key):
    """RGBA rows from PIL; key-colour alpha compared on the file's own samples, which PIL narrows."""
    image = Image.open(path)
    if image.mode in ("I;16", "I;16B", "I"):  # 16-bit grey: PIL keeps the samples; texels take the high byte
        grey = [[v >> 8 for v in list(image.getdata())[y * W:(y + 1) * W]] for y in range(H)]
        rgba = [[(g, g, g, 255) for g in row] for row in grey]
    else:
        converted = image.convert("RGBA") if kind in (3, 4, 6) else image.convert("RGB")
        pixels = list(converted.getdata())
        rgba = [[tuple(pixels[y * W + x]) + ((255,) if len(pixels[0]) == 3 else ()) for x in range(W)] for y in range(H)]
    if kind in (0, 2) and trns is not None:
        rgba = [[p[:3] + ((0,) if samples[y][x] == key else (255,)) for x, p in enumerate(row)] for y, row in enumerate(rgba)]
    alpha = kind in (4, 6) or trns is not None
    return rgba, alpha


def check_pictures():
    failures = rows = 0
    for name, data, samples, kind, depth, trns, key in picture_rows():
        path, out = os.path.join(WORK, name + ".png"), os.path.join(WORK, name + ".raw")
        open(path, "wb").write(data)
        rows += 1
        answer = subprocess.run([PROBE, "picture", path, out], capture_output=True, text=True).stdout.split()
        rgba, alpha = expected_picture(path, samples, kind, depth, trns, key)
        want_bpp = 32 if alpha else 24
        if answer[:2] != ["loaded", str(want_bpp)]:
            print("FAIL %s: %s, wanted bpp %d" % (name, " ".join(answer), want_bpp))
            failures += 1
            continue
        width, step = int(answer[2]), want_bpp // 8
        raw = open(out, "rb").read()
        got = [[tuple(raw[((H - 1 - y) * width + x) * step:((H - 1 - y) * width + x + 1) * step]) for x in range(W)]
               for y in range(H)]  # the texture holds the bottom row first
        want = [[p[:step] for p in row] for row in rgba]
        if got != want:
            wrong = [(x, y, got[y][x], want[y][x]) for y in range(H) for x in range(W) if got[y][x] != want[y][x]]
            print("FAIL %s: %d pixels differ, first (x, y, game, PIL) %s" % (name, len(wrong), wrong[0]))
            failures += 1
    print("pictures: %d rows, %d disagree" % (rows, failures))
    return failures


SOUNDS = [  # sox options for the encoding, whether it must match sample for sample
    ("pcm8", ["-e", "unsigned-integer", "-b", "8"], True), ("pcm16", ["-e", "signed-integer", "-b", "16"], True),
    ("pcm24", ["-e", "signed-integer", "-b", "24"], True), ("pcm32", ["-e", "signed-integer", "-b", "32"], True),
    ("float32", ["-e", "floating-point", "-b", "32"], True), ("ulaw", ["-e", "u-law"], True),
    ("alaw", ["-e", "a-law"], True), ("ima-adpcm", ["-e", "ima-adpcm"], False), ("ms-adpcm", ["-e", "ms-adpcm"], False),
]


def sox_samples(path, channels):
    kind = ["-t", "vorbis"] if path.endswith(".oga") else []
    raw = subprocess.run(["sox", "-D", "-V1"] + kind + [path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"],
                         capture_output=True, check=True).stdout
    return list(struct.unpack("<%dh" % (len(raw) // 2), raw))


def correlation(a, b):
    n = min(len(a), len(b))
    a, b = a[:n], b[:n]
    ma, mb = sum(a) / n, sum(b) / n
    num = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    den = (sum((x - ma) ** 2 for x in a) * sum((y - mb) ** 2 for y in b)) ** 0.5
    return num / den if den else 0.0


def check_sounds():
    failures = 0
    rows = [(n, o, e, c, ".wav") for n, o, e in SOUNDS for c in (1, 2)] + [("vorbis", ["-t", "vorbis"], False, 2, ".oga")]
    for name, options, exact, channels, ext in rows:
        path = os.path.join(WORK, "%s-%d%s" % (name, channels, ext))
        subprocess.run(["sox", "-D", "-V1", "-n", "-r", "22050", "-c", str(channels)] + options + [path, "synth", "0.3",
                        "sine", "440", "sine", "1000", "vol", "0.9"], check=True)
        out = path + ".raw"
        answer = subprocess.run([PROBE, "sound", path, out], capture_output=True, text=True).stdout.split()
        if answer[:3] != ["loaded", str(channels), "22050"]:
            print("FAIL %s/%d: %s" % (name, channels, " ".join(answer)))
            failures += 1
            continue
        raw = open(out, "rb").read()
        got, want = list(struct.unpack("<%dh" % (len(raw) // 2), raw)), sox_samples(path, channels)
        if exact and got != want:
            wrong = next(i for i in range(min(len(got), len(want)) + 1) if i >= min(len(got), len(want)) or got[i] != want[i])
            print("FAIL %s/%d: %d samples against sox's %d, first difference at %d" % (name, channels, len(got), len(want), wrong))
            failures += 1
        elif not exact and (abs(len(got) - len(want)) > 2048 or correlation(got, want) < 0.999):
            print("FAIL %s/%d: correlation %.5f, %d samples against %d" % (name, channels, correlation(got, want), len(got), len(want)))
            failures += 1
    print("sounds: %d rows, %d disagree" % (len(rows), failures))
    return failures


if __name__ == "__main__":
    failed = check_pictures() + check_sounds()
    sys.exit(1 if failed else 0)
