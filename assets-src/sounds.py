"""Sound recipes of the demo pack.

Every sound is a mix of timed layers. A layer is one `sox -n ... synth` call (noise, tones, sweeps)
shaped by sox effects and delayed with `pad`; the layers are mixed, finished (drive, room, level)
and encoded to Ogg Vorbis. sox runs with -R so its noise is the same on every build.
Levels: the game's mixer halves a full-scale channel, so finished sounds peak at -1 dBFS.
"""

RATE = "44100"


def layer(at, dur, gen, fx=(), gain=0.0):
    """One synthesised layer: starts `at` seconds in, lasts `dur` seconds."""
    return {"at": at, "dur": dur, "gen": list(gen), "fx": list(fx), "gain": gain}


def decay(dur, attack=0.001):
    """Fast attack, logarithmic fall: the envelope of anything struck or fired."""
    return ["fade", "l", str(attack), str(dur), str(max(dur - attack, 0.001))]


def click(at, freq=2600, body=0.03, gain=0.0):
    """A small mechanical click: a square tick over a band of metallic noise."""
    return [
        layer(at, 0.004, ["square", str(freq)], ["fade", "0", "0.004", "0.003"], gain),
        layer(at, body, ["whitenoise"], ["bandpass", str(freq + 800), "1.5q"] + decay(body), gain - 2),
    ]


def clack(at, freq=1400, body=0.07, gain=0.0):
    """A heavier metal-on-metal impact (magazine seated, slide slamming home)."""
    return [
        layer(at, 0.006, ["square", str(freq)], ["fade", "0", "0.006", "0.005"], gain),
        layer(at, body, ["pinknoise"], ["bandpass", str(freq), "1q"] + decay(body), gain),
        layer(at, body * 1.5, ["sine", str(freq * 2.3)], decay(body * 1.5), gain - 9),
    ]


def slide(at, dur, lo, hi, gain=-6.0):
    """Metal sliding on metal: band-passed noise with a swell."""
    return [layer(at, dur, ["whitenoise"], ["bandpass", str((lo + hi) // 2), "0.8q", "fade", "h", str(dur / 2), str(dur), str(dur / 2)], gain)]


def shot(at=0.0, crack=0.02, body=0.55, low=900, thump=(120, 38), thump_len=0.22, hiss=0.25, gain=0.0):
    """A firearm report: a sharp crack, a noisy body falling away, a low thump and a hiss of gas."""
    return [
        layer(at, crack, ["whitenoise"], ["highpass", "1500"] + decay(crack, 0.0005), gain),
        layer(at, body, ["brownnoise"], ["lowpass", str(low)] + decay(body), gain),
        layer(at, body * 0.6, ["pinknoise"], ["highpass", "800", "lowpass", str(low * 4)] + decay(body * 0.6), gain - 4),
        layer(at, thump_len, ["sine", "%d:%d" % thump], decay(thump_len), gain - 2),
        layer(at + 0.01, hiss, ["whitenoise"], ["highpass", "4000"] + decay(hiss), gain - 14),
    ]


def zap(at=0.0, start=2600, end=180, dur=0.28, gain=0.0):
    """An energy discharge: a falling tone with a buzzing overtone and crackle."""
    return [
        layer(at, dur, ["sine", "%d/%d" % (start, end)], decay(dur), gain),
        layer(at, dur, ["square", "%d/%d" % (start // 2, end // 2)], ["lowpass", "3000"] + decay(dur), gain - 10),
        layer(at, dur * 0.5, ["whitenoise"], ["bandpass", "5000", "0.5q"] + decay(dur * 0.5), gain - 8),
    ]


def ting(at, freq, dur=0.12, gain=-4.0):
    """A small piece of brass ringing on a hard floor."""
    return [
        layer(at, dur, ["sine", str(freq)], decay(dur), gain),
        layer(at, dur * 0.7, ["sine", str(int(freq * 2.76))], decay(dur * 0.7), gain - 6),
        layer(at, 0.01, ["whitenoise"], ["highpass", "3000"] + decay(0.01), gain - 6),
    ]


def scrape(at, dur, centre, gain=0.0):
    """Dirt and gravel pushed aside."""
    return [
        layer(at, dur, ["brownnoise"], ["bandpass", str(centre), "0.7q", "fade", "t", "0.02", str(dur), str(dur * 0.6)], gain),
        layer(at + dur * 0.3, 0.02, ["whitenoise"], ["bandpass", str(centre * 4), "1q"] + decay(0.02), gain - 4),
        layer(at + dur * 0.7, 0.02, ["whitenoise"], ["bandpass", str(centre * 3), "1q"] + decay(0.02), gain - 6),
    ]


def motor(at, dur, f0, f1, gain=0.0, shape="/"):
    """An electric motor spinning a barrel cluster: a saw whine with a rotating flutter."""
    sweep = "%d%s%d" % (f0, shape, f1)
    return [
        layer(at, dur, ["sawtooth", sweep], ["lowpass", "2500", "tremolo", str(max(f0, f1) / 12), "40"], gain),
        layer(at, dur, ["brownnoise"], ["lowpass", "400"], gain - 10),
    ]


def tone(at, dur, freq, gain=-6.0, wave="sine"):
    return [layer(at, dur, [wave, str(freq)], decay(dur, 0.005), gain)]


def voice(text, pitch, speed, amplitude=180, voice_name="en+m3"):
    """A spoken part made by espeak-ng."""
    return {"text": text, "pitch": pitch, "speed": speed, "amplitude": amplitude, "voice": voice_name}


# Each entry: name -> dict(layers=[...], voice=optional, fx=finishing effects, length=seconds)
def recipes():
    r = {}

    def add(name, layers, fx=(), length=None, voice_part=None, level=0.0):
        """`level`: dB below the -1 dBFS peak, for steady sounds that must sit under the shots."""
        flat = []
        for part in layers:
            flat.extend(part if isinstance(part, list) else [part])
        r[name] = {"layers": flat, "fx": list(fx), "length": length, "voice": voice_part, "level": level}

    room = ["reverb", "25", "50", "40", "100", "10"]
    hall = ["reverb", "45", "50", "80", "100", "20"]

    # --- shared sounds -----------------------------------------------------------------------
    add("emptySound", [click(0.0, 3000, 0.03), click(0.018, 2200, 0.04, -3)], room, 0.12)
    add("ShellsHittingFloor1", [ting(0.0, 4100), ting(0.09, 5200, 0.1, -8), ting(0.16, 3700, 0.09, -10),
                                ting(0.21, 4600, 0.06, -14), ting(0.30, 3900, 0.12, -6), ting(0.38, 5000, 0.07, -12),
                                ting(0.43, 4300, 0.05, -16)], room, 0.6)
    add("death01", [layer(0.0, 0.9, ["brownnoise"], ["lowpass", "300"] + decay(0.9), -18)], ["overdrive", "6"] + hall, 1.1,
        voice("aaaargh", 30, 110))
    add("death02", [layer(0.0, 0.9, ["brownnoise"], ["lowpass", "300"] + decay(0.9), -18)], ["overdrive", "8"] + hall, 1.1,
        voice("nnoooo", 25, 95))
    add("death03", [layer(0.0, 0.9, ["brownnoise"], ["lowpass", "300"] + decay(0.9), -18)], ["overdrive", "4"] + hall, 1.0,
        voice("uuagh", 45, 140))
    add("resurrect", [tone(0.0, 0.5, 523), tone(0.12, 0.5, 659), tone(0.24, 0.7, 784), tone(0.36, 0.9, 1047, -8),
                      layer(0.0, 0.9, ["sine", "200/1600"], ["fade", "h", "0.1", "0.9", "0.5"], -16)], hall, 1.5,
        voice("back in the fight", 60, 150, 120))
    for i, centre in enumerate([380, 520, 300, 660, 450, 260], start=1):
        add("Digout_%02d" % i, [scrape(0.0, 0.16 + 0.02 * (i % 3), centre), scrape(0.05, 0.1, centre * 2, -8)], ["overdrive", "3"], 0.3)
    for suffix, f0, f1 in (("", 220, 900), ("1", 200, 1000), ("2", 260, 820)):
        add("dodgeOn" + suffix, [layer(0.0, 0.35, ["sine", "%d/%d" % (f0, f1)], ["fade", "q", "0.05", "0.35", "0.15"], -4),
                                 layer(0.0, 0.35, ["pinknoise"], ["bandpass", "1800", "0.5q", "fade", "h", "0.15", "0.35", "0.2"], -12),
                                 layer(0.05, 0.3, ["sine", str(f1 * 2)], ["tremolo", "18", "60", "fade", "q", "0.05", "0.3", "0.2"], -14)],
            ["chorus", "0.7", "0.9", "55", "0.4", "0.25", "2", "-t"], 0.45, level=-6)
        add("dodgeOff" + suffix, [layer(0.0, 0.3, ["sine", "%d/%d" % (f1, f0)], ["fade", "q", "0.01", "0.3", "0.2"], -4),
                                  layer(0.0, 0.25, ["pinknoise"], ["bandpass", "1200", "0.5q"] + decay(0.25), -12)], [], 0.4, level=-8)
    for suffix, base in (("", 3000), ("1", 3400), ("2", 2700)):
        add("dodgeFail" + suffix, [layer(0.0, 0.5, ["whitenoise"], ["highpass", "1500"] + decay(0.5), -2),
                                   ting(0.0, base, 0.3, -6), ting(0.04, int(base * 1.5), 0.25, -8), ting(0.09, int(base * 0.8), 0.3, -8),
                                   ting(0.15, int(base * 1.9), 0.2, -10), ting(0.22, int(base * 1.2), 0.2, -12),
                                   layer(0.0, 0.3, ["sine", "300/60"], decay(0.3), -4)], room, 0.7)
    add("dodgeShieldRecharged", [tone(0.0, 0.25, 880, -6), tone(0.1, 0.25, 1175, -6), tone(0.2, 0.45, 1760, -6)], room, 0.75)

    # --- hit effects ---------------------------------------------------------------------------
    add("hit_impact", [layer(0.0, 0.25, ["sine", "160/50"], decay(0.25), 0), layer(0.0, 0.12, ["pinknoise"], ["lowpass", "2500"] + decay(0.12), -2),
                       click(0.0, 1800, 0.05, -4)], ["overdrive", "10"] + room, 0.4)
    add("hit_heavy", [layer(0.0, 0.5, ["sine", "120/35"], decay(0.5), 0), layer(0.0, 0.35, ["brownnoise"], ["lowpass", "1200"] + decay(0.35), 0),
                      layer(0.02, 0.2, ["whitenoise"], ["bandpass", "3000", "1q"] + decay(0.2), -8)], ["overdrive", "14"] + hall, 0.8)
    add("hit_zap", [zap(0.0, 4000, 300, 0.35), layer(0.0, 0.35, ["whitenoise"], ["highpass", "6000", "tremolo", "60", "90"] + decay(0.35), -8)],
        ["flanger", "0", "3", "0", "80", "4"], 0.5)
    add("hit_burn", [layer(0.0, 0.7, ["pinknoise"], ["highpass", "2500", "tremolo", "23", "70", "fade", "t", "0.02", "0.7", "0.5"], -2),
                     layer(0.0, 0.3, ["sine", "200/70"], decay(0.3), -6)], room, 0.8)
    add("hit_disarm", [clack(0.0, 900, 0.15), ting(0.05, 2600, 0.4, -4), ting(0.11, 3900, 0.3, -8),
                       layer(0.0, 0.4, ["pinknoise"], ["bandpass", "700", "0.6q", "fade", "h", "0.1", "0.4", "0.25"], -10)], hall, 0.8)

    # --- sidearm ---------------------------------------------------------------------------
    for suffix, low, body, thump in (("", 900, 0.5, (130, 40)), ("-v1", 1000, 0.45, (140, 45)),
                                     ("-v2", 800, 0.55, (120, 38)), ("-v3", 1100, 0.42, (150, 50))):
        add("sidearm_shot" + suffix, [shot(0.0, 0.02, body, low, thump, 0.2), click(0.03, 2800, 0.03, -8)],
            ["overdrive", "10", "gain", "-3"] + room, 0.7)
    add("sidearm_lock", [click(0.0, 2400, 0.05), clack(0.02, 1600, 0.06, -4)], room, 0.2)
    add("sidearm_reload", [click(0.05, 3200, 0.03), slide(0.07, 0.2, 1500, 3500, -8), layer(0.25, 0.1, ["brownnoise"], ["lowpass", "500"] + decay(0.1), -10),
                           slide(0.45, 0.12, 1200, 2600, -10), clack(0.58, 1300, 0.07), click(0.62, 2600, 0.03, -6),
                           slide(0.82, 0.06, 2000, 4000, -8), clack(0.88, 1100, 0.09, 2)], room, 1.1)
    add("sidearm_rattle", [click(0.0, 2000, 0.02, -10), click(0.08, 2300, 0.02, -12), slide(0.1, 0.1, 800, 1600, -16)], room, 0.3)

    # --- carbine ---------------------------------------------------------------------------
    for suffix, low, body in (("", 1200, 0.6), ("-v1", 1100, 0.65), ("-v2", 1350, 0.55)):
        add("carbine_shot" + suffix, [shot(0.0, 0.015, body, low, (110, 36), 0.24, 0.3), click(0.05, 2000, 0.03, -10)],
            ["overdrive", "14", "gain", "-4"] + hall, 0.8)
    add("carbine_burst", [shot(0.0, 0.015, 0.5, 1200, (110, 36), 0.2), shot(0.067, 0.015, 0.5, 1150, (112, 36), 0.2, gain=-1),
                          shot(0.133, 0.015, 0.6, 1250, (108, 36), 0.24, 0.3, gain=-1)], ["overdrive", "14", "gain", "-5"] + hall, 0.95)
    add("carbine_reload", [click(0.0, 2900, 0.04), slide(0.03, 0.22, 900, 2400, -8), layer(0.3, 0.12, ["brownnoise"], ["lowpass", "400"] + decay(0.12), -12),
                           slide(0.6, 0.16, 800, 2000, -8), clack(0.78, 1000, 0.1, 1), click(0.84, 2400, 0.03, -6)], room, 1.2)
    add("carbine_rack", [slide(0.0, 0.14, 1400, 3000, -8), click(0.13, 2600, 0.04), slide(0.22, 0.06, 1800, 3600, -10), clack(0.28, 1200, 0.08, 1)], room, 0.5)
    add("carbine_empty", [click(0.0, 3400, 0.05), ting(0.02, 5200, 0.15, -12)], room, 0.25)

    # --- rotary ----------------------------------------------------------------------------
    add("rotary_spinup", [motor(0.0, 0.62, 60, 420)], ["overdrive", "4"], 0.65, level=-5)
    add("rotary_shot", [shot(0.0, 0.01, 0.16, 1400, (150, 60), 0.1, 0.08)], ["overdrive", "16", "gain", "-4"], 0.2)
    add("rotary_spindown", [motor(0.0, 1.0, 420, 40)], ["overdrive", "4", "fade", "0", "1.0", "0.4"], 1.0)
    add("rotary_whirr", [motor(0.0, 0.22, 300, 420, 0, ":")], ["overdrive", "4"], 0.22, level=-7)
    add("rotary_reload", [clack(0.0, 900, 0.1), slide(0.1, 0.3, 500, 1600, -6),
                          click(0.35, 1800, 0.05), click(0.42, 1900, 0.05), click(0.49, 2000, 0.05), click(0.56, 2100, 0.05),
                          slide(0.7, 0.15, 600, 1200, -8), clack(0.95, 700, 0.14, 2)], room, 1.3)

    # --- energy pistol -----------------------------------------------------------------------
    for suffix, a, b, d in (("", 2600, 180, 0.3), ("-v1", 3000, 220, 0.26), ("-v2", 2300, 150, 0.32), ("-v3", 2800, 260, 0.28)):
        add("pulsar_shot" + suffix, [zap(0.0, a, b, d), layer(0.0, 0.06, ["sine", "90/40"], decay(0.06), -4)],
            ["phaser", "0.8", "0.74", "3", "0.4", "0.5", "-t"] + room, 0.45)
    add("pulsar_burst", [zap(0.0, 2600, 200, 0.2), zap(0.133, 2800, 220, 0.2, -1), zap(0.266, 3000, 240, 0.26, -1)],
        ["phaser", "0.8", "0.74", "3", "0.4", "0.5", "-t"] + room, 0.7)
    add("pulsar_recharge", [layer(0.0, 0.9, ["sine", "220/1760"], ["fade", "q", "0.1", "0.9", "0.15"], -6),
                            layer(0.0, 0.9, ["square", "110/880"], ["lowpass", "2000", "fade", "q", "0.1", "0.9", "0.15"], -16),
                            layer(0.1, 0.5, ["whitenoise"], ["highpass", "3000", "fade", "h", "0.1", "0.5", "0.3"], -14),
                            tone(0.9, 0.3, 1760, -8), tone(0.95, 0.3, 2637, -12)], room, 1.3, level=-4)
    add("pulsar_hum", [layer(0.0, 0.6, ["sine", "110"], ["tremolo", "6", "40", "fade", "h", "0.15", "0.6", "0.25"], -6),
                       layer(0.0, 0.6, ["sine", "220"], ["fade", "h", "0.15", "0.6", "0.25"], -14)], [], 0.6, level=-12)
    return r
