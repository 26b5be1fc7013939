"""The four demo weapons, written out as weapon files.

Frames are described by a pose (picture slot, offset from the rest position, rotation) and the
generator works out where the muzzle and the ejection port are in that pose, so particles and
cartridges leave from the right place however much the weapon kicks.
"""
import math

SCREEN_W, SCREEN_H = 568, 320
PIC_W, PIC_H = 600, 400
# The 600 x 400 picture is centred on the 568 x 320 screen at rest.
REST_X, REST_Y = -(PIC_W - SCREEN_W) // 2, -(PIC_H - SCREEN_H) // 2


def num(v):
    """Numbers as a pack author would write them: no trailing zeros."""
    if isinstance(v, bool):
        return "1" if v else "0"
    if isinstance(v, int):
        return str(v)
    s = "%.6f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def attrs(pairs):
    return "".join(' %s="%s"' % (k, num(v) if not isinstance(v, str) else v) for k, v in pairs if v is not None)


def on_screen(point, dx, dy, rot):
    """Screen position of a picture point when the frame is drawn at rest + (dx, dy), turned by rot degrees.

    The picture turns about its centre, counter-clockwise for positive angles as seen on screen.
    """
    px, py = point
    left, top = REST_X + dx, REST_Y + dy
    cx, cy = left + PIC_W / 2.0, top + PIC_H / 2.0
    x, y = left + px - cx, top + py - cy
    t = math.radians(rot)
    return (cx + math.cos(t) * x + math.sin(t) * y, cy - math.sin(t) * x + math.cos(t) * y)


class Spawn:
    """Particles started on a frame; `at` names a point of the weapon ("muzzle", "port", "vent")."""

    def __init__(self, emitter, at, n=1, sc=32, ms=200, sa=0, ang=0, rg=0, sp=0, gX=0, gY=0, fr=0, rMn=0, rMx=0, iRot=0, shift=(0, 0)):
        self.emitter, self.at, self.shift = emitter, at, shift
        self.p = dict(n=n, sc=sc, ms=ms, sa=sa, ang=ang, rg=rg, sp=sp, gX=gX, gY=gY, fr=fr, rMn=rMn, rMx=rMx, iRot=iRot)

    def xml(self, weapon, pose):
        cx, cy = on_screen(weapon.points[self.at], *pose)
        p = self.p
        # A particle is placed by its top-left corner; centre it on the point.
        x, y = cx + self.shift[0] - p["sc"] / 2.0, cy + self.shift[1] - p["sc"] / 2.0
        keys = [("n", p["n"]), ("e", self.emitter), ("x", round(x, 1)), ("y", round(y, 1)), ("ms", p["ms"]), ("sc", p["sc"])]
        for k in ("sa", "rMn", "rMx", "iRot", "ang", "rg", "gX", "gY", "sp", "fr"):
            if p[k]:
                keys.append((k, p[k]))
        return "<spawn%s/>" % attrs(keys)


class Frame:
    def __init__(self, img, dx=0, dy=0, rot=0, sound=None, netSend=None, lit=False, blend=None, eject=0, spawns=()):
        self.img, self.dx, self.dy, self.rot = img, dx, dy, rot
        self.sound, self.netSend, self.lit, self.blend = sound, netSend, lit, blend
        self.eject, self.spawns = eject, list(spawns)

    def xml(self, weapon, index):
        pose = (self.dx, self.dy, self.rot)
        head = "<frame n=\"%d\"%s" % (index, attrs([
            ("img", self.img), ("x", REST_X + self.dx), ("y", REST_Y + self.dy), ("rot", self.rot or None),
            ("sound", self.sound), ("netSend", self.netSend), ("lit", 1 if self.lit else None), ("blend", self.blend)]))
        inner = []
        if self.eject:
            ex, ey = on_screen(weapon.points["port"], *pose)
            size = weapon.cartridge_scale
            inner.append("<eject%s/>" % attrs([("num", self.eject), ("x", round(ex - size / 2.0, 1)),
                                                ("y", round(ey - size / 2.0, 1)), ("rot", weapon.eject_rot)]))
        inner += [s.xml(weapon, pose) for s in self.spawns]
        if not inner:
            return head + "/>"
        return head + ">\n" + "".join("        %s\n" % i for i in inner) + "      </frame>"


class Animation:
    def __init__(self, name, frames, bg=0, sound=None, frame_count=None, note=None):
        self.name, self.frames, self.bg, self.sound, self.note = name, frames, bg, sound, note
        self.frame_count = frame_count if frame_count is not None else len(frames)

    def xml(self, weapon):
        out = []
        if self.note:
            out.append("    <!-- %s -->" % self.note)
        out.append("    <animation%s>" % attrs([("name", self.name), ("frameCount", self.frame_count), ("bg", self.bg), ("sound", self.sound)]))
        out += ["      " + f.xml(weapon, i) for i, f in enumerate(self.frames)]
        out.append("    </animation>")
        return "\n".join(out)


class Weapon:
    def __init__(self, name, title, allow_interrupt, sound_overlap, custom, images, emitters, modes, switch, sounds,
                 cartridge, ammo, points, animations, cartridge_scale=0, eject_rot=0, note=""):
        self.__dict__.update(locals())
        del self.__dict__["self"]

    def xml(self):
        o = ['<?xml version="1.0" encoding="UTF-8"?>']
        o.append("<!-- %s -->" % self.note)
        o.append('<kablixWeapon name="%s" allowInterrupt="%s" allowSoundOverlap="%s">' %
                 (self.title, "true" if self.allow_interrupt else "false", "true" if self.sound_overlap else "false"))
        o.append("  <custom>")
        for key, value in self.custom:
            if isinstance(value, dict):
                o.append("    <%s%s/>" % (key, attrs(sorted(value.items()))))
            else:
                o.append("    <%s>%s</%s>" % (key, value, key))
        o.append("  </custom>")
        o.append("  <images>")
        o += ['    <image id="%d">%s.png</image>' % (i, f) for i, f in enumerate(self.images)]
        o.append("  </images>")
        o.append("  <emitters>")
        o += ['    <emitter%s/>' % attrs([("id", i), ("name", n), ("blend", b)]) for i, (n, b) in enumerate(self.emitters)]
        o.append("  </emitters>")
        sx, sy = self.switch
        o.append('  <shotTypes switchPosX="%d" switchPosY="%d">' % (sx, sy))
        for mode in ("single", "burst", "auto"):
            o.append("    <%s>%d</%s>" % (mode, 1 if mode in self.modes else 0, mode))
        o.append("  </shotTypes>")
        o.append("  <sounds>")
        o += ['    <sound id="%d" offset="%d">%s</sound>' % (i, off, f) for i, (f, off) in enumerate(self.sounds)]
        o.append("  </sounds>")
        if self.cartridge is not None:
            o.append('  <ejectCartridge image="%d" scale="%d"/>' % (self.cartridge, self.cartridge_scale))
        if self.ammo is not None:
            img, rounds = self.ammo
            o.append('  <ammo count="%d" img="%d">' % (len(rounds), img))
            o += ['    <bullet%s/>' % attrs([("id", i), ("x", x), ("y", y), ("rot", r)]) for i, (x, y, r) in enumerate(rounds)]
            o.append("  </ammo>")
        o.append("  <animations>")
        o += [a.xml(self) for a in self.animations]
        o.append("  </animations>")
        o.append("</kablixWeapon>")
        return "\n".join(o) + "\n"


def settle(img, start_rot, start_dx, steps, dy=0):
    """Frames that ease the weapon back to rest after a kick."""
    frames = []
    for i in range(1, steps + 1):
        k = 1.0 - i / float(steps)
        frames.append(Frame(img, round(start_dx * k * k, 1), round(dy * k * k, 1), round(start_rot * k * k, 2)))
    return frames


def sway(img, count, amp_y=2.0, amp_rot=0.6, phase=0.0, sound_at=None, sound=None):
    """A slow breathing movement for idle animations."""
    frames = []
    for i in range(count):
        t = 2 * math.pi * i / count + phase
        f = Frame(img, round(math.sin(t * 0.5) * 1.5, 1), round(math.sin(t) * amp_y, 1), round(math.sin(t + 0.8) * amp_rot, 2))
        if sound_at == i:
            f.sound = sound
        frames.append(f)
    return frames


# ---------------------------------------------------------------------------------------------
# Emitter ids shared by the gunpowder weapons' files.
SMOKE, SPARK, FLASH = 0, 1, 2


def flash_spawns(big=1.0):
    return [
        Spawn(FLASH, "muzzle", n=1, sc=int(70 * big), ms=45, sa=0.4),
        Spawn(SPARK, "muzzle", n=6, sc=10, ms=110, ang=0, rg=60, sp=0.55, gY=0.002, fr=0.001, shift=(6, 0)),
    ]


def smoke_spawns(n=2, ang=285):
    return [Spawn(SMOKE, "muzzle", n=n, sc=26, ms=650, sa=0.06, ang=ang, rg=40, sp=0.05, gY=-0.00004, rMn=-0.08, rMx=0.08)]


def sidearm():
    READY, FIRE, OPEN, MAGOUT, ROUND, CASE = 1, 2, 3, 4, 5, 6
    SHOT, RELOAD, LOCK, RATTLE = 0, 1, 2, 3

    def shot_anim(name, kick_rot, kick_dx, kick_dy, smoke_ang):
        frames = [Frame(FIRE, kick_dx * 0.6, kick_dy * 0.6, kick_rot * 0.6, sound=SHOT, netSend=1, lit=True, spawns=flash_spawns()),
                  Frame(OPEN, kick_dx, kick_dy, kick_rot, eject=1, spawns=smoke_spawns(2, smoke_ang))]
        frames += settle(READY, kick_rot, kick_dx, 4, kick_dy)
        return Animation(name, frames)

    anims = [
        shot_anim("shot0", 7, -12, -6, 285),
        shot_anim("shot1", 9, -10, -8, 275),
        shot_anim("shot2", 5.5, -14, -4, 295),
        Animation("lastShot", [
            Frame(FIRE, -7, -4, 4, sound=SHOT, netSend=1, lit=True, spawns=flash_spawns()),
            Frame(OPEN, -12, -6, 7, eject=1, spawns=smoke_spawns(3)),
            Frame(OPEN, -9, -4, 5, sound=LOCK)] + settle(OPEN, 5, -9, 5, -4),
            note="The slide stays back on the last round; the next press clicks empty."),
        Animation("windDown", [Frame(READY, 0, 0, 0, spawns=smoke_spawns(1, 280))] + [Frame(READY)] * 5),
        Animation("emptyState", sway(OPEN, 24, 1.5, 0.4)),
        Animation("reload", [
            Frame(OPEN, -4, 6, -4), Frame(OPEN, -8, 12, -8)] +
            [Frame(MAGOUT, -10 - i, 14 + i, -10) for i in range(4)] +
            [Frame(MAGOUT, -14, 18, -10 + i * 0.5) for i in range(8)] +
            [Frame(OPEN, -14 + i, 18 - i * 2, -6 + i) for i in range(6)] +
            [Frame(OPEN, -8, 6, -1)] * 3 +
            [Frame(READY, -3, 2, 2), Frame(READY, -1, 1, 1)] + settle(READY, 1, -1, 6),
            sound=RELOAD, note="Animation sound: slot 1 has offset 1, so frame 1 starts the reload sound."),
        Animation("idle0", sway(READY, 40)),
        Animation("idle1", sway(READY, 30, 3, 1.2, 1.0, sound_at=12, sound=RATTLE)),
    ]
    return Weapon(
        name="sidearm", title="Sidearm", allow_interrupt=True, sound_overlap=True,
        custom=[("drawOrder", "particlesFront"), ("light", "controlled")],
        images=["sidearm_bg", "sidearm_ready", "sidearm_fire", "sidearm_open", "sidearm_magout", "round_pistol", "case_pistol"],
        emitters=[("fx_smoke", 2), ("fx_spark", 3), ("fx_flash", 3)],
        modes=("single",), switch=(-100, -100),
        sounds=[("sidearm_shot", 0), ("sidearm_reload", 1), ("sidearm_lock", 0), ("sidearm_rattle", 0)],
        cartridge=CASE, cartridge_scale=14, eject_rot=-30,
        ammo=(ROUND, [(14 + i * 11, 280, 0) for i in range(12)]),
        points={"muzzle": (512, 148), "port": (355, 136)},
        animations=anims,
        note="Sidearm: single fire, three shot animations, slide lock on the last round, two idles, twelve rounds.")


def carbine():
    READY, FIREA, FIREB, CHARGED, MAGOUT, ROUND, CASE = 1, 2, 3, 4, 5, 6, 7
    SHOT, BURST, RELOAD, RACK, EMPTY = 0, 1, 2, 3, 4

    def shot_anim(name, fire_img, rot, dx):
        return Animation(name, [
            Frame(fire_img, dx * 0.5, -2, rot * 0.5, sound=SHOT, netSend=2, lit=True, spawns=flash_spawns(0.9)),
            Frame(READY, dx, -3, rot, eject=1),
            Frame(READY, dx * 0.4, -1, rot * 0.4)])

    def burst_anim(name, climb):
        frames = []
        for k in range(3):
            base = climb * k
            frames += [Frame(FIREA if k % 2 == 0 else FIREB, -6, -2 - k, base + 2, netSend=3, lit=True, spawns=flash_spawns(0.8)),
                       Frame(READY, -10, -3 - k, base + 3.5, eject=1),
                       Frame(READY, -6, -2 - k, base + 2.5)]
        frames[-1].spawns = smoke_spawns(3)
        return Animation(name, frames + settle(READY, climb * 2 + 2.5, -6, 5, -4), sound=BURST,
                         note="Three rounds: each eject frame counts one. The burst sound is the animation sound (slot 1, offset 0).")

    rounds = [(10, 8 + i * 9.8, 90) for i in range(30)]
    anims = [
        Animation("intro", [Frame(READY, 10, 30, -12), Frame(READY, 6, 18, -8), Frame(READY, 3, 10, -5), Frame(CHARGED, 2, 8, -4),
                            Frame(CHARGED, 1, 7, -4), Frame(CHARGED, 0, 6, -3), Frame(READY, -2, 4, -1), Frame(READY, -3, 2, 1)] +
                  settle(READY, 1, -3, 8), sound=RACK,
                  note="Played once, on the first press after the weapon is taken up: the charging handle is racked."),
        Animation("firstShot", [
            Frame(FIREA, -8, -3, 3, sound=SHOT, netSend=2, lit=True, spawns=flash_spawns(1.1)),
            Frame(READY, -14, -5, 5, eject=1, spawns=smoke_spawns(2)),
            Frame(READY, -8, -3, 3), Frame(READY, -4, -1, 1.5)]),
        shot_anim("shot0", FIREA, 3.5, -10),
        shot_anim("shot1", FIREB, 4.5, -9),
        shot_anim("shot2", FIREB, 3.0, -12),
        burst_anim("burst0", 1.5),
        burst_anim("burst1", 2.2),
        Animation("lastShot", [
            Frame(FIREB, -6, -2, 2, sound=SHOT, netSend=2, lit=True, spawns=flash_spawns()),
            Frame(CHARGED, -12, -4, 4.5, eject=1, spawns=smoke_spawns(3)),
            Frame(CHARGED, -8, -3, 3, sound=EMPTY)] + settle(CHARGED, 3, -8, 5, -3)),
        Animation("windDown", [Frame(READY, 0, 0, 0, spawns=smoke_spawns(2, 290))] + settle(READY, 0.8, -2, 7)),
        Animation("emptyState", sway(CHARGED, 30, 1.5, 0.5)),
        Animation("reload", [Frame(READY, 0, 4, -3), Frame(READY, 2, 10, -6)] +
                  [Frame(MAGOUT, 4, 14 + i, -8 - i * 0.5) for i in range(10)] +
                  [Frame(MAGOUT, 4, 24 - i * 2, -13 + i) for i in range(8)] +
                  [Frame(READY, 2, 8, -5), Frame(READY, 1, 6, -4)] +
                  [Frame(CHARGED, 0, 6, -4)] * 4 + [Frame(READY, -2, 4, -2)] + settle(READY, -2, -2, 8),
                  sound=RELOAD, note="The reload sound sits on frame 2 (slot 2 has offset 2)."),
        Animation("idle0", sway(READY, 45, 2.5, 0.7)),
    ]
    return Weapon(
        name="carbine", title="Carbine", allow_interrupt=False, sound_overlap=True,
        custom=[("forceStartingMode", "single"), ("drawOrder", "particlesOverBG"), ("gravity", {"x": 0.0004, "y": 0.005})],
        images=["carbine_bg", "carbine_ready", "carbine_fire_a", "carbine_fire_b", "carbine_charged", "carbine_magout", "round_rifle", "case_rifle"],
        emitters=[("fx_smoke", 2), ("fx_spark", 3), ("fx_flash", 3)],
        modes=("single", "burst", "auto"), switch=(494, 246),
        sounds=[("carbine_shot", 0), ("carbine_burst", 0), ("carbine_reload", 2), ("carbine_rack", 3), ("carbine_empty", 0)],
        cartridge=CASE, cartridge_scale=16, eject_rot=-40,
        ammo=(ROUND, rounds),
        points={"muzzle": (524, 175), "port": (275, 172)},
        animations=anims,
        note="Carbine: single, burst and auto with the fire-mode switch, starts in single, intro, firstShot, "
             "three shot and two burst animations, thirty rounds along the left edge.")


def rotary():
    SPIN_A, SPIN_B, FIRE_A, FIRE_B, HOT_A, HOT_B, OPEN, CASE = 1, 2, 3, 4, 5, 6, 7, 8
    SPINUP, SHOT, SPINDOWN, RELOAD, WHIRR = 0, 1, 2, 3, 4

    def spin(count, first, last, imgs=(SPIN_A, SPIN_B), shake=1.0):
        """Barrels turning: the two barrel pictures alternate, slower as `last` grows."""
        frames, phase, acc = [], 0, 0.0
        for i in range(count):
            rate = first + (last - first) * i / max(count - 1, 1)
            acc += rate
            while acc >= 1.0:
                acc -= 1.0
                phase ^= 1
            jitter = shake * rate
            frames.append(Frame(imgs[phase], round(-jitter * (i % 2), 1), round(jitter * ((i + 1) % 2) - jitter / 2, 1), 0))
        return frames

    def shot_anim(name, first, second):
        return Animation(name, [
            Frame(first, -5, -2, 1.2, sound=SHOT, netSend=4, lit=True, eject=1, spawns=[
                Spawn(FLASH, "muzzle", n=1, sc=56, ms=35, sa=0.3),
                Spawn(SPARK, "muzzle", n=3, sc=9, ms=90, ang=0, rg=70, sp=0.6, gY=0.002, fr=0.001, shift=(4, 0))]),
            Frame(second, -2, 1, 0.4)])

    anims = [
        Animation("firstShot", spin(18, 0.2, 1.0), sound=SPINUP,
                  note="A charge: the barrels spin up first. Let go early and the linked spinDown plays; hold on and firing starts."),
        shot_anim("shot0", FIRE_A, SPIN_B),
        shot_anim("shot1", FIRE_B, SPIN_A),
        Animation("spinDown", spin(12, 0.8, 0.1), sound=SPINDOWN),
        Animation("windDown", [Frame(HOT_A, 0, 0, 0, spawns=smoke_spawns(3, 280))] + spin(29, 1.0, 0.05, (HOT_A, HOT_B), 0.6),
                  sound=SPINDOWN, note="Pressing again during the wind-down jumps to spinCatch instead of starting over."),
        Animation("spinCatch", spin(6, 0.6, 1.0, (HOT_A, HOT_B)), sound=WHIRR),
        Animation("reload", [Frame(SPIN_A, 0, 4, -2), Frame(SPIN_A, 0, 8, -4)] + [Frame(OPEN, 0, 10, -5)] * 26 +
                  [Frame(SPIN_A, 0, 8, -4), Frame(SPIN_A, 0, 5, -2)] + settle(SPIN_A, -2, 0, 8, 5),
                  sound=RELOAD, note="The reload sound starts on frame 4 (slot 3 has offset 4)."),
        Animation("idle0", sway(SPIN_A, 40, 1.0, 0.3)),
    ]
    return Weapon(
        name="rotary", title="Rotary", allow_interrupt=False, sound_overlap=True,
        custom=[("drawOrder", "particlesBack"), ("drawBackground", "blendAlpha"), ("light", "off"),
                ("firstShotIsCharge", "spinDown"), ("windDownInterruptsTo", "spinCatch")],
        images=["rotary_bg", "rotary_spin_a", "rotary_spin_b", "rotary_fire_a", "rotary_fire_b", "rotary_hot_a", "rotary_hot_b",
                "rotary_open", "case_rotary"],
        emitters=[("fx_smoke", 2), ("fx_spark", 3), ("fx_flash", 3)],
        modes=("auto",), switch=(-100, -100),
        sounds=[("rotary_spinup", 0), ("rotary_shot", 0), ("rotary_spindown", 0), ("rotary_reload", 4), ("rotary_whirr", 0)],
        cartridge=CASE, cartridge_scale=18, eject_rot=-170,
        ammo=None,
        points={"muzzle": (530, 200), "port": (262, 262)},
        animations=anims,
        note="Rotary: automatic only, no ammunition count, a charged first shot, a wind-down that can be caught, "
             "smoke drawn behind a see-through background.")


def pulsar():
    READY, FIRE, DRAINED, VENT, CELL = 1, 2, 3, 4, 5
    ZAP, BURST, RECHARGE, HUM = 0, 1, 2, 3
    PLASMA, STEAM, SPARK_E = 0, 1, 2

    def bolt(netSend, count_round):
        return Frame(FIRE, 6, 0, -2, netSend=netSend, lit=True, eject=1 if count_round else 0, spawns=[
            Spawn(PLASMA, "muzzle", n=1, sc=64, ms=60, sa=0.35),
            Spawn(SPARK_E, "muzzle", n=5, sc=12, ms=140, ang=180, rg=50, sp=0.5, fr=0.001, shift=(-6, 0))])

    def shot_anim(name, kick):
        first = bolt(5, False)
        first.sound = ZAP
        first.dx, first.rot = kick, -kick / 4.0
        return Animation(name, [first] + settle(READY, -kick / 4.0, kick, 4))

    burst = []
    for k in range(3):
        f = bolt(6, True)
        f.dx = 6 + 2 * k
        burst += [f, Frame(READY, 10 + 2 * k, 0, -2.5), Frame(READY, 8 + 2 * k, 0, -2), Frame(READY, 6 + 2 * k, 0, -1.5)]
    anims = [
        shot_anim("shot0", 12),
        shot_anim("shot1", 15),
        Animation("burst0", burst + settle(READY, -1.5, 10, 4), sound=BURST,
                  note="The cells have no cartridges to throw, but eject frames still count one cell each."),
        Animation("lastShot", [Frame(FIRE, 14, 0, -3, sound=ZAP, netSend=5, lit=True, spawns=[Spawn(PLASMA, "muzzle", n=1, sc=72, ms=70, sa=0.35)])] +
                  settle(DRAINED, -3, 14, 6)),
        Animation("windDown", settle(READY, -0.5, 2, 6)),
        Animation("emptyState", sway(DRAINED, 20, 1.0, 0.3)),
        Animation("reload", [Frame(DRAINED, 2, 0, 0), Frame(DRAINED, 4, 0, 1)] +
                  [Frame(VENT, 6, 0, 2, spawns=[Spawn(STEAM, "ventLow", n=2, sc=30, ms=500, sa=0.05, ang=90, rg=50, sp=0.08),
                                                Spawn(STEAM, "ventHigh", n=2, sc=30, ms=500, sa=0.05, ang=270, rg=50, sp=0.08)])
                   if i % 5 == 0 else Frame(VENT, 6, 0, 2) for i in range(20)] +
                  [Frame(READY, 4, 0, 1)] + settle(READY, 1, 4, 6), sound=RECHARGE,
                  note="Steam from the vents while the cells recharge; the recharge sound starts on frame 6."),
        Animation("idle0", sway(READY, 36, 1.5, 0.3), sound=HUM),
        Animation("idle1", sway(READY, 36, 1.0, 0.2, 1.5)),
    ]
    cells = [(546, 84 + i * 22, 0) for i in range(8)]
    return Weapon(
        name="pulsar", title="Pulsar", allow_interrupt=True, sound_overlap=False,
        custom=[("portraitMode", "true"), ("forceStartingMode", "burst"), ("fillColor", {"r": 0, "g": 40, "b": 60}),
                ("enableCartridgeDroppingSound", "false")],
        images=["pulsar_bg", "pulsar_ready", "pulsar_fire", "pulsar_drained", "pulsar_vent", "cell_pulsar"],
        emitters=[("fx_plasma", 3), ("fx_smoke", 2), ("fx_spark", 3)],
        modes=("single", "burst"), switch=(494, 10),
        sounds=[("pulsar_shot", 0), ("pulsar_burst", 0), ("pulsar_recharge", 6), ("pulsar_hum", 5)],
        cartridge=None, ammo=(CELL, cells),
        points={"muzzle": (75, 200), "port": (120, 200), "ventLow": (185, 290), "ventHigh": (185, 110)},
        animations=anims,
        note="Pulsar: an energy pistol for a phone held upright (portrait), single and burst, starts in burst, eight cells.")


def all_weapons():
    return [sidearm(), carbine(), rotary(), pulsar()]
