#!/usr/bin/env python3
"""Writes ptz/pelcoD.tl: the 7-byte D-protocol frames for cameras 1 to 16.

Frame: 0xFF sync, address (camera + 1), command 1, command 2, pan speed,
tilt speed, checksum (sum of bytes 2 to 6 modulo 256). One block per camera,
a "<N>" header and one line per command in the viewer's code order.

usage: scripts/make-ptz-pelcod.py [OUTPUT]   (default ptz/pelcoD.tl)
"""
import sys

PAN = 0x20   # moderate pan speed (0x00 to 0x3F)
TILT = 0x20  # moderate tilt speed (0x00 to 0x3F)

# name, command 1, command 2, pan speed, tilt speed
COMMANDS = [
    ("STOP",       0x00, 0x00, 0,   0),
    ("LEFT",       0x00, 0x04, PAN, 0),
    ("RIGHT",      0x00, 0x02, PAN, 0),
    ("UP",         0x00, 0x08, 0,   TILT),
    ("DOWN",       0x00, 0x10, 0,   TILT),
    ("LEFT_UP",    0x00, 0x0C, PAN, TILT),
    ("RIGHT_UP",   0x00, 0x0A, PAN, TILT),
    ("RIGHT_DOWN", 0x00, 0x12, PAN, TILT),
    ("LEFT_DOWN",  0x00, 0x14, PAN, TILT),
    ("ZOOM_IN",    0x00, 0x20, 0,   0),   # zoom tele
    ("ZOOM_OUT",   0x00, 0x40, 0,   0),   # zoom wide
    ("FOCUS_OUT",  0x00, 0x80, 0,   0),   # focus far
    ("FOCUS_IN",   0x01, 0x00, 0,   0),   # focus near
]


def frame(address, cmd1, cmd2, pan, tilt):
    body = [address, cmd1, cmd2, pan, tilt]
    return [0xFF] + body + [sum(body) % 256]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "ptz/pelcoD.tl"
    lines = []
    for camera in range(16):
        lines.append("<%d>" % (camera + 1))
        for name, cmd1, cmd2, pan, tilt in COMMANDS:
            data = frame(camera + 1, cmd1, cmd2, pan, tilt)
            lines.append("%s/%d/%s" % (name, len(data), "".join("%02x/" % b for b in data)))
    with open(out, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
