#!/usr/bin/env python3
"""The room response's minimum-phase transform, modelled from its written description alone: the curve is
projected below 12 Hz with the slope p10 and held flat from 498 Hz, then the Bode gain-phase integral is summed
term by term with the program's constants. Writes tests/measure/room_eq_model_phase.h, a C++ header of the phase (radians) at a few bins for the test
curve L[k] = 6 sin(f/40) - 0.02 f (dB) at 48 kHz, block 512, p10 = 12 dB."""
import math
import struct

def f32(x):
    return struct.unpack('f', struct.pack('f', x))[0]

N, FS, SIZE_INDEX, SLOPE = 512, 48000.0, 0, 12.0
P = 16 * N
GRID = 131072
f = [0.01] + [f32(k * FS / (8 * N)) for k in range(1, GRID)]
f[0] = f32(0.01)

def last_bin_at_or_below(F):
    F = min(max(F, 1.02), 0.98 * 50000.0)
    for k in range(P):
        if f[k] > F:
            return 0 if k == 0 else k - 1
    return P - 1

L = [f32(6.0 * math.sin(f[k] / 40.0) - 0.02 * f[k]) for k in range(GRID)]
s = SLOPE / (0.375 * 2 ** SIZE_INDEX)
for j in range(last_bin_at_or_below(12.0), -1, -1):
    L[j] = f32(L[j + 1] - 6.355 * s / (0.5 * (f[j] + f[j + 1])))
for j in range(last_bin_at_or_below(498.0), GRID):
    L[j] = L[j - 1]
q = SLOPE / 6.0

w = [6.284 * f[k] for k in range(P)]
w0, w10 = w[0], w[10]
B0 = (math.log(w10) * L[0] - math.log(w0) * L[10]) / (8.686 * (math.log(w10) - math.log(w0)))
C0 = (math.log(w0) - 1.0) * q + B0
P0 = 2.0 * w0 * 0.3182686187141948
a, b = P - 4096, P - 1
B1 = (math.log(w[b]) * L[a] - math.log(w[a]) * L[b]) / (8.686 * (math.log(w[b]) - math.log(w[a])))
C1 = B1
P1 = 2.0 / (3.142 * w[b])

def phase(i):
    wi, Li = w[i], L[i]
    T1 = -(P0 / wi) * (C0 - Li / 8.686)
    T2 = P1 * wi * (C1 - Li / 8.686)
    S = 0.0
    for j in range(P - 1):
        wl, Ll, wu, Lu = w[j], L[j], w[j + 1], L[j + 1]
        if j == i:
            wl = 6.284 * f[j] + 0.1508 * (f[j + 1] - f[j])
            Ll = L[j] + 0.02 * (L[j + 1] - L[j])
        if j == i - 1:
            wu = 6.284 * f[j + 1] + 0.1508 * (f[j + 1] - f[j])
            Lu = L[j + 1] + 0.02 * (L[j + 1] - L[j])
        gl = (Ll - Li) / (wl * wl - wi * wi)
        gu = (Lu - Li) / (wu * wu - wi * wi)
        S += (gl + gu) * (wu - wl) * 0.5 / 8.686
    T3 = 4.0 * f[i] * S
    return T1 + T3 + T2

BINS = [0, 1, 2, 3, 5, 10, 20, 40]
lines = ["#pragma once", "// Made by tests/measure/room_eq_model.py; do not edit.",
         "struct RoomModelPoint { int bin; double phase; };", "inline constexpr RoomModelPoint kRoomModelPhase[] = {"]
lines += ["    {%d, %.9f}," % (i, phase(i)) for i in BINS]
lines += ["};"]
import os
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "room_eq_model_phase.h"), "w") as out:
    out.write("\n".join(lines) + "\n")
