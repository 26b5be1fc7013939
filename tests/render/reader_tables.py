#!/usr/bin/env python3
"""The game's picture and sound readers against reference decoders, one generated table each.

Pictures: every PNG colour type and bit depth, plain and interlaced, with and without a tRNS chunk,
written here with zlib, read by the game (kablix_media_probe) and by PIL and compared pixel for pixel.
Sounds: every WAV encoding the game reads, and Ogg Vorbis named .oga, made by sox and compared with
sox's own decode: sample for sample for PCM and G.711, by correlation for the lossy ones.
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
failures = []


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def rows(samples, xs, ys, depth):  # filter-0 rows of the pixels at xs on ys, samples packed MSB first
    out = b""
    for y in ys:
        bits = "".join(format(v, "0%db" % depth) for x in xs for v in samples[y][x])
        out += b"\0" + int(bits + "0" * (-len(bits) % 8), 2).to_bytes((len(bits) + 7) // 8, "big") if bits else b""
    return out


def png(kind, depth, interlaced, samples, palette, trns):
    passes = [(x0, y0, dx, dy) for x0, y0, dx, dy in ADAM7 if x0 < W and y0 < H] if interlaced else [(0, 0, 1, 1)]
    raw = b"".join(rows(samples, range(x0, W, dx), range(y0, H, dy), depth) for x0, y0, dx, dy in passes)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, depth, kind, 0, 0, interlaced))
    data += chunk(b"PLTE", bytes(v for entry in palette for v in entry)) if palette else b""
    data += chunk(b"tRNS", trns) if trns is not None else b""
    return data + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def check_picture(name, kind, depth, interlaced, samples, palette, trns, key):
    path, out = os.path.join(WORK, name + ".png"), os.path.join(WORK, name + ".raw")
    open(path, "wb").write(png(kind, depth, interlaced, samples, palette, trns))
    image = Image.open(path)
    if image.mode.startswith("I"):  # 16-bit grey: PIL keeps the samples, a texel takes the high byte
        want = [(v >> 8,) * 3 + (255,) for v in image.getdata()]
    else:
        want = [p + (255,) * (4 - len(p)) for p in image.convert("RGBA" if kind in (3, 4, 6) else "RGB").getdata()]
    if trns is not None and kind in (0, 2):  # PIL narrows key colours; compare the file's own samples
        want = [p[:3] + (0 if samples[i // W][i % W] == key else 255,) for i, p in enumerate(want)]
    bpp = 32 if kind in (4, 6) or trns is not None else 24
    answer = subprocess.run([PROBE, "picture", path, out], capture_output=True, text=True).stdout.split()
    if answer[:2] != ["loaded", str(bpp)]:
        return failures.append("%s: %s, wanted bpp %d" % (name, " ".join(answer), bpp))
    raw, width, step = open(out, "rb").read(), int(answer[2]), bpp // 8
    got = [tuple(raw[((H - 1 - y) * width + x) * step:][:step]) for y in range(H) for x in range(W)]  # bottom row first
    wrong = [(i % W, i // W, g, w[:step]) for i, (g, w) in enumerate(zip(got, want)) if g != w[:step]]
    if wrong:
        failures.append("%s: %d pixels differ, first (x, y, game, PIL) %s" % (name, len(wrong), wrong[0]))


def pictures():
    rng, count = random.Random(27), 0
    for kind, depths in DEPTHS.items():
        for depth, interlaced in [(d, i) for d in depths for i in (0, 1)]:
            colours = min(1 << depth, 6) if kind == 3 else 1 << depth
            samples = [[[rng.randrange(colours) for _ in range(CHANNELS[kind])] for _ in range(W)] for _ in range(H)]
            palette = [tuple(rng.randrange(256) for _ in range(3)) for _ in range(colours)] if kind == 3 else []
            key = samples[3][5]  # a key colour some pixels have
            trnses = [None] + ([b"".join(struct.pack(">H", v) for v in key)] if kind in (0, 2) else [])
            trnses += [bytes(rng.randint(1, 254) for _ in palette[:-1]), bytes([200, 0])] if kind == 3 else []  # partial only, one clear
            for trns in trnses:
                count += 1
                name = "k%d-%dbit-%s-%s" % (kind, depth, "adam7" if interlaced else "plain",
                                            "opaque" if trns is None else "trns%d" % len(trns))
                check_picture(name, kind, depth, interlaced, samples, palette, trns, key)
    return count


SOUNDS = [  # name, sox options, whether it must match sample for sample
    ("pcm8", "-e unsigned-integer -b 8", True), ("pcm16", "-e signed-integer -b 16", True),
    ("pcm24", "-e signed-integer -b 24", True), ("pcm32", "-e signed-integer -b 32", True),
    ("float32", "-e floating-point -b 32", True), ("ulaw", "-e u-law", True), ("alaw", "-e a-law", True),
    ("ima-adpcm", "-e ima-adpcm", False), ("ms-adpcm", "-e ms-adpcm", False)]


def correlation(a, b):
    n = min(len(a), len(b))
    ma, mb = sum(a[:n]) / n, sum(b[:n]) / n
    num = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    den = (sum((x - ma) ** 2 for x in a[:n]) * sum((y - mb) ** 2 for y in b[:n])) ** 0.5
    return num / den if den else 0.0


def sounds():
    table = [(n, o.split(), e, c, "wav") for n, o, e in SOUNDS for c in (1, 2)] + [("vorbis", ["-t", "vorbis"], False, 2, "oga")]
    for name, options, exact, channels, extension in table:
        path = os.path.join(WORK, "%s-%d.%s" % (name, channels, extension))
        subprocess.run(["sox", "-D", "-V1", "-n", "-r", "22050", "-c", str(channels)] + options + [path, "synth", "0.3",
                        "sine", "440", "sine", "1000", "vol", "0.9"], check=True)
        answer = subprocess.run([PROBE, "sound", path, path + ".raw"], capture_output=True, text=True).stdout.split()
        if answer[:3] != ["loaded", str(channels), "22050"]:
            failures.append("%s/%d: %s" % (name, channels, " ".join(answer)))
            continue
        raw = open(path + ".raw", "rb").read()
        reference = subprocess.run(["sox", "-D", "-V1"] + options[:2] * (extension == "oga") + [path, "-t", "raw", "-e",
                                    "signed-integer", "-b", "16", "-L", "-"], capture_output=True, check=True).stdout
        got, want = [struct.unpack("<%dh" % (len(r) // 2), r) for r in (raw, reference)]
        if exact and got != want:
            failures.append("%s/%d: %d samples against sox's %d, not the same" % (name, channels, len(got), len(want)))
        elif not exact and (abs(len(got) - len(want)) > 2048 or correlation(got, want) < 0.999):
            failures.append("%s/%d: correlation %.5f with sox's decode" % (name, channels, correlation(got, want)))
    return len(table)


if __name__ == "__main__":
    counted = (pictures(), sounds())
    for failure in failures:
        print("FAIL " + failure)
    print("%d picture rows and %d sound rows, %d disagree" % (counted + (len(failures),)))
    sys.exit(1 if failures else 0)
