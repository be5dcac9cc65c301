#!/usr/bin/env python3
"""Looks at the samples of WAV files for the end-to-end test.

    wav.py size FILE.wav            bytes of sample data (0 when the file does not exist yet)
    wav.py same A.wav B.wav         exit 0 when both hold the same format and the same samples
    wav.py part A.wav FROM B.wav    exit 0 when A's samples from byte FROM on equal B's samples
    wav.py repeated A.wav FROM      exit 0 when A's samples from byte FROM on repeat those before it
    wav.py prefix A.wav FROM B.wav  exit 0 when A's samples from byte FROM on are a non-empty
                                    beginning of B's, shorter than all of them (speech stopped)
"""
import struct
import sys


def read(path):
    """(format chunk, sample bytes) of a RIFF WAVE file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a WAV file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        kind, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if kind == b"fmt ":
            fmt = body[:16]
        elif kind == b"data":
            # A file still being written has samples past the size its header gives so far:
            # the data chunk is the last one, so it runs to the end of the file.
            samples = data[pos + 8:] if pos + 8 + size <= len(data) else body
            break
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise SystemExit(f"{path}: no format or no data chunk")
    return fmt, samples


def describe(a, b):
    n = min(len(a), len(b))
    first = next((i for i in range(n) if a[i] != b[i]), n)
    return f"{len(a)} against {len(b)} bytes, first difference at byte {first}"


def main(argv):
    if len(argv) >= 3 and argv[1] == "size":
        try:
            print(len(read(argv[2])[1]))
        except (FileNotFoundError, SystemExit):
            print(0)
        return 0
    if len(argv) == 4 and argv[1] == "same":
        (fa, a), (fb, b) = read(argv[2]), read(argv[3])
        if fa != fb:
            print(f"formats differ: {fa.hex()} against {fb.hex()}")
            return 1
        if a != b:
            print("samples differ: " + describe(a, b))
            return 1
        return 0
    if len(argv) == 4 and argv[1] == "repeated":
        samples = read(argv[2])[1]
        cut = int(argv[3])
        if samples[cut:] != samples[:cut]:
            print("the second reading differs: " + describe(samples[cut:], samples[:cut]))
            return 1
        return 0
    if len(argv) == 5 and argv[1] in ("part", "prefix"):
        (fa, a), (fb, b) = read(argv[2]), read(argv[4])
        a = a[int(argv[3]):]
        if fa != fb:
            print(f"formats differ: {fa.hex()} against {fb.hex()}")
            return 1
        if argv[1] == "part":
            if a != b:
                print("samples differ: " + describe(a, b))
                return 1
            return 0
        if not a or len(a) >= len(b) or b[:len(a)] != a:
            print("not a stopped beginning: " + describe(a, b))
            return 1
        print(f"stopped after {len(a)} of {len(b)} bytes")
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
