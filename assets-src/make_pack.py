#!/usr/bin/env python3
"""Builds the demo weapon pack from the drawings, sound recipes and weapon descriptions in this folder.

    make_pack.py --assets OUT/assets --play OUT/play

Writes the pictures (SVG rendered by rsvg-convert), the sounds (synthesised by sox, voices by
espeak-ng, encoded by oggenc), the weapon files, EFFECTS.xml and damage.txt into --assets, and the
weapon catalogue gunList.txt into --play. The output depends only on the sources: sox runs with a
fixed random seed and every Ogg stream gets a serial number derived from its name.
"""
import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import sounds  # noqa: E402
import weapons  # noqa: E402

SVG_NS = "http://www.w3.org/2000/svg"
ET.register_namespace("", SVG_NS)
ET.register_namespace("xlink", "http://www.w3.org/1999/xlink")

# Pictures cut from layered drawings: output name -> (drawing, optional layers shown).
# Layers are the groups whose id starts with "opt-"; every other group is always drawn.
LAYERED = {
    "sidearm_ready": ("sidearm", "slideFwd magIn"),
    "sidearm_fire": ("sidearm", "slideBack magIn flash"),
    "sidearm_open": ("sidearm", "slideBack magIn"),
    "sidearm_magout": ("sidearm", "slideBack magOut"),
    "carbine_ready": ("carbine", "boltFwd magIn"),
    "carbine_fire_a": ("carbine", "boltFwd magIn flashA"),
    "carbine_fire_b": ("carbine", "boltFwd magIn flashB"),
    "carbine_charged": ("carbine", "boltBack magIn"),
    "carbine_magout": ("carbine", "boltFwd magOut"),
    "rotary_spin_a": ("rotary", "spinA boltsA"),
    "rotary_spin_b": ("rotary", "spinB boltsB"),
    "rotary_fire_a": ("rotary", "spinA boltsA flashA"),
    "rotary_fire_b": ("rotary", "spinB boltsB flashB"),
    "rotary_hot_a": ("rotary", "spinA boltsA heat"),
    "rotary_hot_b": ("rotary", "spinB boltsB heat"),
    "rotary_open": ("rotary", "spinA boltsA coverOpen"),
    "pulsar_ready": ("pulsar", "coilLit"),
    "pulsar_fire": ("pulsar", "coilLit flash"),
    "pulsar_drained": ("pulsar", "coilDim"),
    "pulsar_vent": ("pulsar", "coilDim ventOpen"),
}
# Pictures drawn as they are: output name -> drawing.
PLAIN = {
    "sidearm_bg": "bg_range", "carbine_bg": "bg_berm", "rotary_bg": "bg_hangar", "pulsar_bg": "bg_lab",
    "_switchModeButton": "_switchModeButton", "_helmetBodyArmor": "_helmetBodyArmor", "_deathGUI": "_deathGUI",
    "_deathGAME": "_deathGAME", "_shield": "_shield",
    "fx_smoke": "fx_smoke", "fx_spark": "fx_spark", "fx_flash": "fx_flash", "fx_plasma": "fx_plasma",
    "fx_splat": "fx_splat", "fx_dust": "fx_dust",
    "round_pistol": "round_pistol", "round_rifle": "round_rifle", "cell_pulsar": "cell_pulsar",
    "case_pistol": "case_pistol", "case_rifle": "case_rifle", "case_rotary": "case_rotary",
}
TEXT_FILES = {"EFFECTS.xml": "assets", "damage.txt": "assets", "gunList.txt": "play"}


def run(cmd, **kw):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)
    if r.returncode != 0:
        raise RuntimeError("%s failed:\n%s" % (" ".join(cmd[:6]), r.stderr.decode(errors="replace")))
    return r


def render_picture(out_dir, name, drawing, layers=None):
    src = os.path.join(HERE, "art", drawing + ".svg")
    dest = os.path.join(out_dir, name + ".png")
    if layers is None:
        run(["rsvg-convert", "-o", dest, src])
        return
    keep = set(layers.split())
    tree = ET.parse(src)

    def prune(parent):
        for child in list(parent):
            ident = child.get("id", "")
            if ident.startswith("opt-") and ident[4:] not in keep:
                parent.remove(child)
            else:
                prune(child)
    prune(tree.getroot())
    run(["rsvg-convert", "-o", dest], input=ET.tostring(tree.getroot()))


def build_sound(out_dir, work_root, name, recipe):
    work = tempfile.mkdtemp(prefix=name.replace("/", "_") + ".", dir=work_root)
    float_wav = ["-e", "floating-point", "-b", "32"]
    parts = []
    for i, layer in enumerate(recipe["layers"]):
        path = os.path.join(work, "l%02d.wav" % i)
        run(["sox", "-R", "-n", "-r", sounds.RATE, "-c", "1"] + float_wav + [path, "synth", str(layer["dur"])] +
            layer["gen"] + layer["fx"] + ["gain", str(layer["gain"]), "pad", str(layer["at"])])
        parts.append(path)
    v = recipe["voice"]
    if v:
        raw = os.path.join(work, "voice_raw.wav")
        run(["espeak-ng", "-v", v["voice"], "-p", str(v["pitch"]), "-s", str(v["speed"]), "-a", str(v["amplitude"]), "-w", raw, v["text"]])
        voiced = os.path.join(work, "voice.wav")
        run(["sox", "-R", raw] + float_wav + [voiced, "rate", sounds.RATE, "pitch", "-250", "gain", "-n", "-2"])
        parts.append(voiced)
    mixed = os.path.join(work, "mix.wav")
    if len(parts) == 1:
        shutil.copy(parts[0], mixed)
    else:
        run(["sox", "-R", "-m"] + parts + float_wav + [mixed])
    length = recipe["length"]
    final = os.path.join(work, "final.wav")
    run(["sox", "-R", mixed, "-r", sounds.RATE, "-c", "1", "-b", "16", final, "highpass", "25", "pad", "0", "0.6"] +
        recipe["fx"] + ["trim", "0", str(length), "fade", "t", "0", str(length), str(min(0.04, length / 4)), "gain", "-n", str(-1 + recipe["level"])])
    serial = str(zlib.crc32(name.encode()) & 0x7FFFFFFF)
    run(["oggenc", "-Q", "-q", "5", "-s", serial, "-o", os.path.join(out_dir, name + ".ogg"), final])
    shutil.rmtree(work)


def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--assets", required=True, help="folder the game reads as ../assets")
    ap.add_argument("--play", required=True, help="working folder of the game (receives gunList.txt)")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = ap.parse_args()
    os.makedirs(args.assets, exist_ok=True)
    os.makedirs(args.play, exist_ok=True)
    work_root = tempfile.mkdtemp(prefix="kablix-pack.")
    try:
        jobs = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            for name, (drawing, layers) in sorted(LAYERED.items()):
                jobs.append(pool.submit(render_picture, args.assets, name, drawing, layers))
            for name, drawing in sorted(PLAIN.items()):
                jobs.append(pool.submit(render_picture, args.assets, name, drawing))
            for name, recipe in sorted(sounds.recipes().items()):
                jobs.append(pool.submit(build_sound, args.assets, work_root, name, recipe))
            for job in jobs:
                job.result()
    finally:
        shutil.rmtree(work_root, ignore_errors=True)
    for weapon in weapons.all_weapons():
        write_if_changed(os.path.join(args.assets, weapon.name + ".xml"), weapon.xml())
    for name, where in TEXT_FILES.items():
        with open(os.path.join(HERE, "text", name), encoding="utf-8") as f:
            write_if_changed(os.path.join(args.assets if where == "assets" else args.play, name), f.read())
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except RuntimeError as e:
        print("make_pack: %s" % e, file=sys.stderr)
        sys.exit(1)
