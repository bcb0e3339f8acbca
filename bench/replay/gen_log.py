#!/usr/bin/env python3
"""Writes a candump log (candump -l lines) of a bus as the example project meets it.

Usage: gen_log.py OUT.log [--seconds N] [--rate FRAMES_PER_SECOND] [--seed N]

The bus carries the example project's three received PGNs from source address 0, the same PGNs
from another device, a transport protocol announcement now and then, 11-bit frames and frames of
PGNs nobody configured; one frame every 1/rate seconds, one line each.
"""
import argparse
import random


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--seconds", type=int, default=3600)
    parser.add_argument("--rate", type=int, default=500)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    # (identifier, weight): the example's engine speed, temperature and oil pressure from 0, the
    # engine speed from device 1, other traffic.
    sources = [(0x0CF00400, 40), (0x18FEEE00, 10), (0x18FEEF00, 10), (0x0CF00401, 10),
               (0x18FEF100, 15), (0x18FECA00, 5), (0x18ECFF00, 1), (0x123, 9)]
    ids = [identifier for identifier, weight in sources for _ in range(weight)]
    start = 1700000000 * 1000000
    step = 1000000 // args.rate
    with open(args.out, "w", newline="\n") as out:
        lines = []
        for n in range(args.seconds * args.rate):
            identifier = ids[rng.randrange(len(ids))]
            time = start + n * step
            data = "".join("%02X" % rng.randrange(256) for _ in range(8))
            if identifier == 0x18ECFF00:
                data = "200E0002FFEEFE00"
            name = "%03X" % identifier if identifier < 0x800 else "%08X" % identifier
            lines.append("(%d.%06d) can0 %s#%s\n" % (time // 1000000, time % 1000000, name, data))
            if len(lines) == 65536:
                out.writelines(lines)
                lines = []
        out.writelines(lines)


if __name__ == "__main__":
    main()
