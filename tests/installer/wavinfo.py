#!/usr/bin/env python3
"""Checks on the WAV files of the install test.
  wavinfo.py check FILE MIN_SECONDS   a 16000 Hz mono 16-bit PCM file of at least MIN_SECONDS
  wavinfo.py same A B                 both hold the same samples (headers may differ in layout)
Exit 0 when the check holds; otherwise 1, with the reason on standard error."""
import struct
import sys


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a RIFF/WAVE file")
    fmt = samples = None
    pos = 12
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif cid == b"data":
            if len(body) != size:
                raise ValueError(f"{path}: the data chunk claims {size} bytes, {len(body)} are there")
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise ValueError(f"{path}: no fmt or no data chunk")
    return fmt, samples


def main(argv):
    try:
        if len(argv) == 4 and argv[1] == "check":
            (tag, channels, rate, _, _, bits), samples = read(argv[2])
            if (tag, channels, rate, bits) != (1, 1, 16000, 16):
                raise ValueError(f"{argv[2]}: format {tag}, {channels} channels, {rate} Hz, {bits} bits")
            seconds = len(samples) / 32000
            if seconds < float(argv[3]):
                raise ValueError(f"{argv[2]}: {seconds:.2f} s of audio, less than {argv[3]} s")
            if not any(samples):
                raise ValueError(f"{argv[2]}: silence only")
            return 0
        if len(argv) == 4 and argv[1] == "same":
            fa, a = read(argv[2])
            fb, b = read(argv[3])
            if fa != fb or a != b:
                n = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
                raise ValueError(f"{argv[2]} and {argv[3]} differ: formats {fa} / {fb}, "
                                 f"{len(a)} / {len(b)} bytes of samples, first difference at byte {n}")
            return 0
    except (OSError, ValueError, struct.error) as e:
        print(f"wavinfo: {e}", file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
