#!/usr/bin/env python3
"""Checks the sender's pictures on the wire with Python's own zlib, independently of Telvo's code:
joins a channel's group for a while, puts each picture's fragments together, inflates every
compressed one and checks that it makes exactly its pictureSize, and counts how many pictures are
byte for byte the same as the one before (a still screen must give identical pictures). Run it in
the network namespace of the sender (tools/netns.sh).
Usage: tools/wire_check.py [--group 224.3.2.1] [--port 54321] [--seconds 10]"""
import argparse
import socket
import struct
import time
import zlib

HEADER = struct.Struct(">BBHIIIIHHHHI")  # the 32-byte header, network order


def main():
    parser = argparse.ArgumentParser(allow_abbrev=False)
    parser.add_argument("--group", default="224.3.2.1")
    parser.add_argument("--port", type=int, default=54321)
    parser.add_argument("--seconds", type=float, default=10)
    options = parser.parse_args()

    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    receiver.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
    receiver.bind(("", options.port))
    membership = socket.inet_aton(options.group) + socket.inet_aton("0.0.0.0")
    receiver.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    receiver.settimeout(0.2)

    pictures = {}  # number -> (header fields, {index: data})
    end = time.monotonic() + options.seconds
    while time.monotonic() < end:
        try:
            datagram = receiver.recv(65536)
        except socket.timeout:
            continue
        if len(datagram) < HEADER.size:
            continue
        (version, kind, flags, number, size, count, index, _, _, _, _,
         length) = HEADER.unpack_from(datagram)
        if version != 1 or kind != 1 or len(datagram) != HEADER.size + length:
            continue
        fields, fragments = pictures.setdefault(number, ((flags, size, count), {}))
        fragments[index] = datagram[HEADER.size:]

    complete = wrong = same = 0
    previous = None
    for number in sorted(pictures):
        (flags, size, count), fragments = pictures[number]
        if len(fragments) != count:
            previous = None
            continue
        stream = b"".join(fragments[i] for i in range(count))
        complete += 1
        try:
            picture = zlib.decompress(stream) if flags & 1 else stream
        except zlib.error:
            picture = b""
        if len(picture) != size:
            wrong += 1
        if previous is not None and previous == stream:
            same += 1
        previous = stream
    print(f"wire: {complete} complete pictures, {wrong} not of their pictureSize with Python's "
          f"zlib, {same} the same byte for byte as the one before")
    return 1 if wrong else 0


if __name__ == "__main__":
    raise SystemExit(main())
