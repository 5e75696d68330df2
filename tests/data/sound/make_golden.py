#!/usr/bin/env python3
"""Writes the WAV files of the sound tests and the bytes a timer must receive for them.

Run once by hand (python3 make_golden.py in this folder); the outputs are checked in. The
expected bytes come from the conversion as the timer's documentation gives it, written
here on its own, not from the program:

- samples are read from offset 45 (the data chunk's first sample is skipped), n of them,
  where the data chunk does not hold the last one it is 0;
- rate = clock // 1024, ratio = 11025.0 / rate, count = int(n / ratio);
- for i in 1 .. count-1: x = i * ratio, p = floor(x), f = x - p,
  v = floor(b[p] * (1 - f) + b[p + 1] * f + 0.5), 0 -> 1, 255 -> 254, b[i] = v (in place);
- the upload is count bytes, then zeros to the end of the 32-byte block.
"""
import math
import struct


def wav(data, channels=1, sample_rate=11025, byte_rate=11025, block_align=1, bits=8,
        declared=None, format_extra=b"", before_data=b""):
    fmt = struct.pack("<HHIIHH", 1, channels, sample_rate, byte_rate, block_align, bits) + format_extra
    size = len(data) if declared is None else declared
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + before_data
    body += b"data" + struct.pack("<I", size) + bytes(data)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def upload(data, clock):
    n = len(data)
    b = list(data[1:]) + [0]          # from offset 45; the last one lies past the chunk
    rate = clock // 1024
    ratio = 11025.0 / rate
    count = int(n / ratio)
    for i in range(1, count):
        x = i * ratio
        p = math.floor(x)
        f = x - p
        v = math.floor(b[p] * (1 - f) + b[p + 1] * f + 0.5)
        if v == 0:
            v = 1
        if v == 255:
            v = 254
        b[i] = v
    out = bytes(b[:count])
    return out + bytes(-count % 32), count


ramp = bytes(range(200))
# Eight samples low, eight high; the skipped first byte is neither, so that reading from
# the wrong offset shows.
square = bytes([0x80]) + bytes(0 if ((k - 1) // 8) % 2 == 0 else 255 for k in range(1, 256))

files = {
    "ramp.wav": wav(ramp),
    "square.wav": wav(square),
    # An editor's file: a longer format chunk and a LIST chunk of odd length (padded) before
    # the samples, and a chunk after them.
    "ramp_list.wav": wav(ramp, format_extra=b"\x00\x00",
                         before_data=b"LIST" + struct.pack("<I", 13) + b"INFOISFT\x01\x00\x00\x00x\x00")
                     + b"id3 " + struct.pack("<I", 4) + b"\xff\xff\xff\xff",
    # The sample-rate field is not what the byte rate and frame size say.
    "ramp_rate_field.wav": wav(ramp, sample_rate=22050),
    # The header promises twice the samples the file holds.
    "ramp_cut_short.wav": wav(ramp, declared=400),
    "stereo8.wav": wav(ramp, channels=2, byte_rate=22050, block_align=2),
    # Stereo at 5512 Hz: 11025 bytes a second, refused for its channels alone.
    "stereo8_5512.wav": wav(ramp, channels=2, sample_rate=5512, byte_rate=11025, block_align=1),
    "pcm16.wav": wav(ramp, byte_rate=22050, block_align=2, bits=16),
}
# The LIST file's RIFF size must cover the trailing chunk too.
f = files["ramp_list.wav"]
files["ramp_list.wav"] = f[:4] + struct.pack("<I", len(f) - 8) + f[8:]

for name, content in files.items():
    with open(name, "wb") as out:
        out.write(content)

for name, data in (("ramp", ramp), ("square", square)):
    for clock in (8000000, 10000000):
        bytes_, count = upload(data, clock)
        with open(f"{name}_{clock}.hex", "w") as out:
            out.write(f"# {name}.wav uploaded to a timer at {clock} Hz: {count} samples, then zeros to\n"
                      f"# the end of block {len(bytes_) // 32}. Written by make_golden.py.\n")
            for row in range(0, len(bytes_), 16):
                line = " ".join(f"{b:02X}" for b in bytes_[row:row + 16])
                note = f"  # {row}" if row + 16 <= count or row >= count else f"  # {row}, samples end at {count}"
                out.write(line + note + "\n")
        print(f"{name} at {clock} Hz: {count} samples, {len(bytes_) // 32} blocks")
