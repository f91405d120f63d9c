#!/usr/bin/python3
"""Records a sequence on a remote camera and writes it as one multi-page TIFF.

    PYTHONPATH=python /usr/bin/python3 python/examples/record_sequence.py \\
        --host 127.0.0.1 --port 8100 --count 10 --exposure-ms 5 --out sequence.tif

Prints one line per image and a last line "recorded=N".
"""

import argparse
import os
import sys

import tifffile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import rastel  # noqa: E402  (found through the line above when PYTHONPATH is not set)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", required=True, help="device server address")
    parser.add_argument("--port", required=True, type=int, help="the camera's HTTP port")
    parser.add_argument("--count", required=True, type=int, help="images to record")
    parser.add_argument("--exposure-ms", required=True, type=float, help="exposure time, milliseconds")
    parser.add_argument("--out", required=True, help="multi-page TIFF file to write")
    parser.add_argument("--token-file", help="file holding the server's token")
    arguments = parser.parse_args(argv)
    if arguments.count < 1:
        parser.error("--count must be at least 1")
    return arguments


def main(argv=None):
    arguments = parse_arguments(argv)
    try:
        with rastel.Camera(arguments.host, arguments.port, token_file=arguments.token_file) as camera:
            camera.set_exposure(arguments.exposure_ms / 1000.0)
            # "sequence" returns once every image is in the server's memory.
            camera.record(arguments.count, mode="sequence")
            # Pages of one shape written one after the other form one series: a (N, H, W) stack.
            with tifffile.TiffWriter(arguments.out) as tiff:
                for index in range(arguments.count):
                    frame = camera.image(index)
                    tiff.write(frame, contiguous=True)
                    print(f"image={index} shape={frame.shape[1]}x{frame.shape[0]} "
                          f"min={int(frame.min())} max={int(frame.max())} mean={float(frame.mean()):.1f}")
    except rastel.RastelError as error:
        print(error, file=sys.stderr)
        return 1
    print(f"recorded={arguments.count}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
