#!/usr/bin/python3
"""Checks model/exact_trig.h bit for bit against mpmath, through the probe
program tests/model/trig_probe.cpp.

    check_trig.py --probe PATH [--full] [--jobs N] [--seed N]
    check_trig.py --probe PATH --find-hard-cases [--keep N]

The inputs are the arguments the program forms for a block turned by an
angle a (an 80-bit value: the nearest to a decimal angle, or any): t =
RN(a * DEG_TO_RAD) for the clockwise angle, the counter-clockwise folded
angle RN(360 - a) and the label angles RN(a - 90) and RN(RN(360 - a) - 90),
RN being the 80-bit rounding (nearest, ties to even), done here with
integers. They come from every hundredth of a degree from 0.01 to 90,
random angles (random 80-bit values, random short decimals, small angles),
arguments of every magnitude, and the neighbours of the hard cases in
trig_hard_cases.txt beside this script. mpmath gives cos t and sin t at 256
bits (more when that is too near a halfway point) and they are rounded here
to 80 bits. The square root and DirectionDegrees are checked on random
inputs the same way.

The default is the sample that `make test` runs; --full is the long sweep
of `make trig-check` (over a million random angles). --find-hard-cases
scans every angle of four decimals with the probe, which knows how near
each result came to a halfway point, and rewrites trig_hard_cases.txt with
the hardest, checked by mpmath.

Exit status: 0 all equal, 1 a mismatch or error, 77 mpmath missing.
"""

import argparse
import multiprocessing
import os
import random
import subprocess
import sys
import time
from fractions import Fraction

try:
    import mpmath
    from mpmath import libmp
except ImportError:
    print("check_trig: mpmath is missing (scripts/setup test installs python3-mpmath)")
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
HARD_CASES = os.path.join(HERE, "trig_hard_cases.txt")
BATCH = 5000  # inputs per probe run

# ---------------------------------------------------------------------------
# 80-bit values as (negative, m, e): m * 2^e with 2^63 <= m < 2^64, or m = 0
# for a zero. Subnormals are m < 2^63 at e = MIN_E.

BIAS = 16383
MIN_E = 1 - BIAS - 63
ZERO = (False, 0, 0)


def Round(negative, num, e, bits=64, min_e=MIN_E):
    """The nearest value of `bits` significant bits (ties to even) to
    num * 2^e, num a non-negative integer, no lower than min_e."""
    if num == 0:
        return (negative, 0, 0)
    shift = max(num.bit_length() - bits, min_e - e)
    if shift > 0:
        kept, rest = num >> shift, num & ((1 << shift) - 1)
        half = 1 << (shift - 1)
        if rest > half or (rest == half and kept & 1):
            kept += 1
        num, e = kept, e + shift
        if num.bit_length() > bits:
            num, e = num >> 1, e + 1
    elif num.bit_length() < bits:  # exact: widen to a full significand
        widen = min(bits - num.bit_length(), e - min_e)
        num, e = num << widen, e - widen
    return (negative, num, e)


def RoundFraction(value):
    """RN of a non-zero Fraction (normal range)."""
    negative = value < 0
    value = abs(value)
    p, q = value.numerator, value.denominator
    e = p.bit_length() - q.bit_length() - 66
    num, rest = divmod(p << -e, q) if e < 0 else divmod(p, q << e)
    return Round(negative, 2 * num + (1 if rest else 0), e - 1)  # the sticky bit breaks ties


def Mul(x, y):
    """RN(x * y)."""
    return Round(x[0] != y[0], x[1] * y[1], x[2] + y[2]) if x[1] and y[1] else (x[0] != y[0], 0, 0)


def Add(x, y):
    """RN(x + y); an exact zero sum is +0, as in round to nearest."""
    if not x[1]:
        return y if y[1] else (x[0] and y[0], 0, 0)
    if not y[1]:
        return x
    e = min(x[2], y[2])
    total = (-1 if x[0] else 1) * (x[1] << (x[2] - e)) + (-1 if y[0] else 1) * (y[1] << (y[2] - e))
    return Round(total < 0, abs(total), e) if total else ZERO


def Neg(x):
    return (not x[0], x[1], x[2])


def Encode(x):
    negative, m, e = x
    sign = 0x8000 if negative else 0
    if m == 0:
        return "%04x%016x" % (sign, 0)
    if m < 1 << 63:  # subnormal
        return "%04x%016x" % (sign, m)
    return "%04x%016x" % (sign | (e + 63 + BIAS), m)


def Decode(text):
    head, m = int(text[:4], 16), int(text[4:], 16)
    biased = head & 0x7fff
    return (head >> 15 == 1, m, (biased if biased else 1) - BIAS - 63) if m else (head >> 15 == 1, 0, 0)


DEG_TO_RAD = RoundFraction(Fraction("0.0174532925199433"))
C360 = RoundFraction(Fraction(360))
C90 = RoundFraction(Fraction(90))


def Arguments(a):
    """The four t of angle a."""
    folded = Add(C360, Neg(a))
    return [Mul(a, DEG_TO_RAD), Mul(folded, DEG_TO_RAD), Mul(Add(a, Neg(C90)), DEG_TO_RAD),
            Mul(Add(folded, Neg(C90)), DEG_TO_RAD)]


# ---------------------------------------------------------------------------
# Reference values from mpmath.

class Undecided(Exception):
    pass


class Failure(Exception):
    """Stops the check (raised in a worker, it reaches the pool's caller)."""


def RoundMpf(value, prec, bits=64, min_e=MIN_E):
    """Round an mpf tuple computed at `prec` bits (within a few units in its
    last place) to `bits`; Undecided when it lies within 2^8 of those units
    of a halfway point."""
    sign, man, exp, bc = value
    if man == 0:
        return (False, 0, 0)
    if bc < prec:  # mpmath drops trailing zero bits
        man, exp = man << (prec - bc), exp - (prec - bc)
    cut = max(prec - bits, min_e - exp)
    if cut <= 0:
        return Round(sign == 1, man, exp, bits, min_e)
    rest = man & ((1 << cut) - 1)
    if abs(rest - (1 << (cut - 1))) <= 1 << 8:
        raise Undecided()
    return Round(sign == 1, man, exp, bits, min_e)


def Decided(compute, bits=64, min_e=MIN_E):
    for prec in (256, 1024, 4096):
        try:
            return compute(prec, lambda v: RoundMpf(v, prec, bits, min_e))
        except Undecided:
            pass
    raise Failure("undecided at 4096 bits")


def Exact(x):
    return libmp.from_man_exp(-x[1] if x[0] else x[1], x[2])


def CosSinOf(t):
    if t[1] == 0:
        return (False, 1 << 63, -63), t  # sin keeps the zero's sign
    x = Exact(t)

    def compute(prec, rnd):
        c, s = libmp.mpf_cos_sin(x, prec, "n")
        return rnd(c), rnd(s)
    return Decided(compute)


def SqrtOf(x):
    if x[1] == 0:
        return x
    r = libmp.mpf_sqrt(Exact(x), 64, "n")  # correctly rounded by mpmath
    return Round(False, r[1], r[2])


def DirectionOf(dx, dy):
    """The float bits of the direction in degrees, [0, 360]."""
    if dx[1] == 0 and dy[1] == 0:
        return 0
    x, y = Exact(dx), Exact(dy)

    def compute(prec, rnd):
        with mpmath.workprec(prec + 20):
            th = mpmath.atan2(mpmath.mp.make_mpf(y), mpmath.mp.make_mpf(x)) * 180 / mpmath.pi
            if th < 0:
                th += 360
            sign, man, exp, bc = th._mpf_
        # the sum may carry a cancellation's error: judge it at prec bits
        return rnd(libmp.normalize(sign, man, exp, bc, prec, "n"))
    _, m, e = Decided(compute, 24, -149)
    if m < 1 << 23:
        return m
    return ((e + 23 + 127) << 23) | (m & 0x7fffff)


# ---------------------------------------------------------------------------
# Inputs.

def RandomAngle(rng):
    kind = rng.random()
    if kind < 0.45:  # any 80-bit value in [0, 360)
        return Round(False, rng.randrange(360 << 56), -56)
    if kind < 0.9:  # a short decimal
        digits = rng.randint(1, 4)
        k = rng.randrange(1, 360 * 10**digits)
        return RoundFraction(Fraction(k, 10**digits))
    # a small angle, down to where t crosses 2^-32
    return (False, rng.getrandbits(63) | 1 << 63, -63 - rng.randint(1, 45))


def RandomWide(rng, min_exp, max_exp):
    """An 80-bit value of random sign, significand and exponent."""
    return Round(rng.random() < 0.5, rng.getrandbits(63) | 1 << 63, rng.randint(min_exp, max_exp) - 63)


def Neighbours(x, reach):
    """x and the values up to `reach` steps either side (same binade)."""
    out = []
    for step in range(-reach, reach + 1):
        m = x[1] + step
        if m >> 63 == 1 and m < 1 << 64:
            out.append((x[0], m, x[2]))
    return out


def WideArguments(rng, count):
    """cos/sin arguments beyond the angles: every magnitude, subnormals, the
    tiny bound 2^-32, and values next to multiples of pi/2."""
    out = []
    for _ in range(count):
        kind = rng.random()
        if kind < 0.3:
            out.append(RandomWide(rng, -40, 16383))
        elif kind < 0.4:
            out.append(RandomWide(rng, -16445, -20))
        elif kind < 0.8:  # RN(k * pi/2): r comes out tiny
            k = rng.getrandbits(rng.randint(1, 100)) | 1
            with mpmath.workprec(400):
                near = mpmath.mpf(k) * mpmath.pi / 2
            out.append(RoundMpf(near._mpf_, 400) if rng.random() < 0.5 else Neg(RoundMpf(near._mpf_, 400)))
        else:
            out.append(RandomWide(rng, -36, 2))
    return out


def Specials():
    tiny = (False, 1 << 63, -95)  # 2^-32
    values = [ZERO, Neg(ZERO), (False, 1, MIN_E), (True, 1, MIN_E), (False, (1 << 64) - 1, 16383 - 63)]
    values += Neighbours(tiny, 3) + Neighbours(Neg(tiny), 3)
    return values


def ReadHardCases():
    cases = []
    with open(HARD_CASES, encoding="ascii") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                fields = line.split()
                cases.append((Decode(fields[0]), fields[1], fields[2], line.strip()))
    return cases


# ---------------------------------------------------------------------------
# The work, in batches run side by side.

def RunProbe(probe, mode, lines):
    result = subprocess.run([probe, mode], input="\n".join(lines) + "\n", capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure("%s %s failed: %s" % (probe, mode, result.stderr.strip()))
    out = result.stdout.split("\n")[:-1]
    if len(out) != len(lines):
        raise Failure("%s %s gave %d lines for %d" % (probe, mode, len(out), len(lines)))
    return out


def CheckCosSin(probe, ts, labels=None):
    lines = [Encode(t) for t in ts]
    mismatches = []
    for i, (line, got) in enumerate(zip(lines, RunProbe(probe, "cossin", lines))):
        c, s = CosSinOf(ts[i])
        want = Encode(c) + " " + Encode(s)
        if got != want:
            mismatches.append("cos/sin %s%s: probe %s, mpmath %s" % (line, labels[i] if labels else "", got, want))
    return len(lines), mismatches


def CheckAngles(probe, angles, with_arguments_check):
    """The four t of each angle; the probe's own 80-bit arithmetic forms the
    same four."""
    mismatches = []
    fours = [Arguments(a) for a in angles]
    if with_arguments_check:
        lines = [Encode(a) for a in angles]
        for line, four, got in zip(lines, fours, RunProbe(probe, "angles", lines)):
            want = " ".join(Encode(t) for t in four)
            if got != want:
                mismatches.append("arguments of angle %s: probe %s, here %s" % (line, got, want))
    ts = [t for four in fours for t in four]
    labels = [" (angle %s, t%d)" % (Encode(a), v) for a in angles for v in range(4)]
    count, more = CheckCosSin(probe, ts, labels)
    return count, mismatches + more


def Task(job):
    kind, probe, seed, index, size = job
    rng = random.Random("%d %s %d" % (seed, kind, index))
    if kind == "hundredths":
        angles = [RoundFraction(Fraction(k, 100)) for k in range(index * size + 1, (index + 1) * size + 1)]
        return CheckAngles(probe, angles, True)
    if kind == "random":
        return CheckAngles(probe, [RandomAngle(rng) for _ in range(size)], index == 0)
    if kind == "wide":
        ts = WideArguments(rng, size) + (Specials() if index == 0 else [])
        return CheckCosSin(probe, ts)
    if kind == "hard":
        cases = ReadHardCases()
        ts = [n for case in cases for n in Neighbours(case[0], 3)]
        count, mismatches = CheckCosSin(probe, ts)
        for t, c, s, line in cases:  # the file's own results are mpmath's
            want = CosSinOf(t)
            if (Encode(want[0]), Encode(want[1])) != (c, s):
                mismatches.append("trig_hard_cases.txt disagrees with mpmath: " + line)
        return count, mismatches
    if kind == "sqrt":
        xs = []
        for _ in range(size):
            pick = rng.random()
            if pick < 0.6:
                xs.append(Round(False, rng.getrandbits(63) | 1 << 63, rng.randint(-16445, 16383) - 63))
            elif pick < 0.7:  # subnormal
                xs.append((False, rng.getrandbits(rng.randint(1, 63)), MIN_E))
            else:  # squares and their neighbours
                r = rng.getrandbits(32) | 1 << 31
                e = rng.randint(-8000, 8000)
                xs += Neighbours(Round(False, r * r, 2 * e), 1)
        if index == 0:
            xs += [ZERO, Neg(ZERO), (False, 1, MIN_E), (False, (1 << 64) - 1, 16383 - 63)]
        lines = [Encode(x) for x in xs]
        mismatches = []
        for x, line, got in zip(xs, lines, RunProbe(probe, "sqrt", lines)):
            want = Encode(SqrtOf(x))
            if got != want:
                mismatches.append("sqrt %s: probe %s, mpmath %s" % (line, got, want))
        return len(lines), mismatches
    if kind == "direction":
        pairs = []
        for _ in range(size):
            pick = rng.random()
            if pick < 0.5:
                pairs.append((RandomWide(rng, -30, 30), RandomWide(rng, -30, 30)))
            elif pick < 0.7:  # far apart: directions near an axis, tiny ones
                pairs.append((RandomWide(rng, -16000, 16000), RandomWide(rng, -16000, 16000)))
            elif pick < 0.8:  # next to the diagonals
                d = RandomWide(rng, -20, 20)
                n = Neighbours(d, 2)
                other = n[rng.randrange(len(n))]
                pairs.append((d, (other[0] if rng.random() < 0.5 else not other[0], other[1], other[2])))
            elif pick < 0.9:  # the first octant's subnormal floats
                x = RandomWide(rng, -10, 10)
                y = (x[0] if rng.random() < 0.5 else not x[0], rng.getrandbits(63) | 1 << 63,
                     x[2] - rng.randint(120, 160))
                pairs.append((x, y))
            else:  # axes and zeros
                v = RandomWide(rng, -100, 100)
                zero = (rng.random() < 0.5, 0, 0)
                pairs.append((v, zero) if rng.random() < 0.5 else (zero, v))
        lines = [Encode(x) + " " + Encode(y) for x, y in pairs]
        mismatches = []
        for (x, y), line, got in zip(pairs, lines, RunProbe(probe, "direction", lines)):
            want = "%08x" % DirectionOf(x, y)
            if got != want:
                mismatches.append("direction %s: probe %s, mpmath %s" % (line, got, want))
        return len(lines), mismatches
    raise ValueError(kind)


def Jobs(probe, seed, full):
    random_angles = 1000000 if full else 50000
    wide = 200000 if full else 20000
    others = 200000 if full else 20000
    jobs = [("hard", probe, seed, 0, 0)]
    jobs += [("hundredths", probe, seed, i, 900) for i in range(10)]  # 0.01 .. 90.00
    jobs += [("random", probe, seed, i, BATCH) for i in range(random_angles // BATCH)]
    jobs += [("wide", probe, seed, i, BATCH) for i in range(max(1, wide // BATCH))]
    jobs += [("sqrt", probe, seed, i, BATCH) for i in range(max(1, others // BATCH))]
    jobs += [("direction", probe, seed, i, BATCH) for i in range(max(1, others // BATCH))]
    return jobs


def Check(args):
    start = time.time()
    jobs = Jobs(os.path.abspath(args.probe), args.seed, args.full)
    counts = {}
    mismatches = []
    with multiprocessing.Pool(args.jobs) as pool:
        for job, (count, found) in zip(jobs, pool.imap(Task, jobs)):
            counts[job[0]] = counts.get(job[0], 0) + count
            mismatches += found
    for line in mismatches[:20]:
        print(line)
    summary = ", ".join("%s %d" % (kind, n) for kind, n in counts.items())
    print("check_trig: %s: %d inputs (%s), %d mismatches, %.0f s, mpmath backend %s"
          % ("full" if args.full else "sample", sum(counts.values()), summary, len(mismatches),
             time.time() - start, libmp.BACKEND))
    return 1 if mismatches else 0


# ---------------------------------------------------------------------------
# Hard cases.

VARIANTS = ["a", "360-a", "a-90", "360-a-90"]


def HalfwayRun(value, prec):
    """The bits after the rounding bit of a 64-bit rounding that continue a
    halfway pattern, from an mpf tuple at `prec` bits."""
    sign, man, exp, bc = value
    man <<= prec - bc
    cut = prec - 64
    rest = man & ((1 << cut) - 1)
    round_bit = rest >> (cut - 1) & 1
    run = 0
    for pos in range(cut - 2, 16, -1):
        if (rest >> pos & 1) == round_bit:
            break
        run += 1
    return run


def FindHardCases(args):
    probe = os.path.abspath(args.probe)
    end = 360 * 10**4
    parts = [(i * end // args.jobs, (i + 1) * end // args.jobs) for i in range(args.jobs)]
    runs = [subprocess.Popen([probe, "scan", "4", str(a), str(b), str(args.keep)], stdout=subprocess.PIPE, text=True)
            for a, b in parts]
    found = []
    for run in runs:
        out, _ = run.communicate()
        if run.returncode != 0:
            raise SystemExit("check_trig: the scan failed")
        for line in out.split("\n"):
            if line:
                t, cos_run, sin_run, k, variant = line.split()
                found.append((max(int(cos_run), int(sin_run)), t, int(k), int(variant)))
    found.sort(key=lambda f: (-f[0], f[1]))
    seen, lines = set(), []
    for _, t_text, k, variant in found:
        if t_text in seen or len(lines) == args.keep:
            continue
        seen.add(t_text)
        t = Decode(t_text)
        c, s = CosSinOf(t)
        x = Exact(t)
        exact_c, exact_s = libmp.mpf_cos_sin(x, 1024, "n")
        angle = "%d.%04d" % divmod(k, 10**4)
        lines.append("%s %s %s %d %d %s %s" % (t_text, Encode(c), Encode(s), HalfwayRun(exact_c, 1024),
                                               HalfwayRun(exact_s, 1024), angle, VARIANTS[variant]))
    header = [
        "# The arguments t among every angle of four decimals in [0, 360) whose",
        "# cos or sin lies nearest a halfway point between two long doubles, as",
        "# the probe's scan found them (check_trig.py --find-hard-cases).",
        "# t, cos t and sin t as 80-bit patterns (mpmath's, rounded to nearest),",
        "# then the bits after the rounding bit that continue the halfway pattern",
        "# for cos and for sin, the angle and which of the four t it gives.",
    ]
    with open(HARD_CASES, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(header + lines) + "\n")
    print("check_trig: %d hard cases written to %s" % (len(lines), HARD_CASES))
    return 0


def main():
    try:
        return Run()
    except Failure as failure:
        print("check_trig: %s" % failure)
        return 1


def Run():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--probe", required=True)
    parser.add_argument("--full", action="store_true")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--seed", type=int, default=20240)
    parser.add_argument("--find-hard-cases", action="store_true")
    parser.add_argument("--keep", type=int, default=50)
    args = parser.parse_args()
    return FindHardCases(args) if args.find_hard_cases else Check(args)


if __name__ == "__main__":
    sys.exit(main())
