#!/usr/bin/env python3
"""Writes firmware.rc, the RCDATA resources of the firmware images, into a build folder.

Without --images it first writes deterministic high-entropy placeholder images of the stored
IDs and sizes beside it. A placeholder must never be written into a real controller: it is not
firmware. With --images DIR it embeds DIR/<id>.bin instead, and refuses the folder when an image
is missing, when an image's size is not the catalogue's for its ID, when the folder holds a file
it does not know, or when an image is byte for byte the placeholder of its ID (the generated
placeholders passed as real ones). --check DIR makes the same checks and writes nothing.

    python3 make_firmware_rc.py --out BUILD_DIR [--images DIR]
    python3 make_firmware_rc.py --check DIR
"""
import argparse
import hashlib
import sys
from pathlib import Path

# The stored images: resource ID and size in bytes. Image 150 is named by the catalogue but
# not stored; 143 and 145 are stored but named by no catalogue row.
STORED_IMAGES = {
    119: 87552, 120: 87552, 122: 62848, 124: 65792, 125: 65792, 126: 23552, 127: 23552,
    128: 23552, 130: 23552, 131: 121856, 132: 121856, 133: 121856, 140: 97984, 141: 97984,
    142: 97968, 143: 58224, 145: 76224, 146: 97792, 147: 76320, 148: 97792, 151: 98304,
    152: 64784, 153: 77088, 154: 86448, 155: 74080, 156: 48000, 157: 98304, 158: 98304,
    159: 64752, 160: 38480, 170: 58336, 171: 58336, 172: 98304, 173: 98304, 174: 98304,
    175: 94048, 176: 94032, 177: 94016, 200: 63456,
}


def placeholder(image_id, size):
    """SHA-256 in counter mode over the image ID: the same bytes on every build."""
    blocks = []
    for counter in range((size + 31) // 32):
        blocks.append(hashlib.sha256(b"zefran placeholder %d %d" % (image_id, counter)).digest())
    return b"".join(blocks)[:size]


def folder_problems(folder):
    """What makes a folder of images unfit to be embedded; empty when it is fit."""
    if not folder.is_dir():
        return [f"{folder} is not a folder of firmware images"]
    problems = []
    known = {f"{image_id}.bin" for image_id in STORED_IMAGES}
    for entry in sorted(folder.iterdir()):
        if entry.name not in known:
            problems.append(f"{entry} is not a stored image of the catalogue")
    for image_id, size in STORED_IMAGES.items():
        image = folder / f"{image_id}.bin"
        if not image.is_file():
            problems.append(f"firmware image {image} is missing")
        elif image.stat().st_size != size:
            problems.append(f"firmware image {image} is {image.stat().st_size} bytes, "
                            f"not the {size} the catalogue gives for image {image_id}")
        elif image.read_bytes() == placeholder(image_id, size):
            problems.append(f"firmware image {image} is the generated placeholder, not firmware")
    return problems


def write_if_changed(path, data):
    if not path.exists() or path.read_bytes() != data:
        path.write_bytes(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", type=Path)
    parser.add_argument("--images", type=Path)
    parser.add_argument("--check", type=Path)
    args = parser.parse_args()
    checked = args.check or args.images
    if checked is not None:
        problems = folder_problems(checked.resolve())
        for problem in problems:
            print(f"error: {problem}", file=sys.stderr)
        if problems or args.check is not None:
            sys.exit(1 if problems else 0)
    if args.out is None:
        parser.error("--out is needed to write the resources")
    args.out.mkdir(parents=True, exist_ok=True)

    if args.images is None:
        print("warning: the firmware images are PLACEHOLDERS; this build must never be used to "
              "update a real controller", file=sys.stderr)
        folder = args.out / "placeholders"
        folder.mkdir(exist_ok=True)
        for image_id, size in STORED_IMAGES.items():
            write_if_changed(folder / f"{image_id}.bin", placeholder(image_id, size))
    else:
        folder = args.images.resolve()

    lines = ["// Written by make_firmware_rc.py: the firmware images, stored in German only.",
             "LANGUAGE 0x07, 0x01"]
    for image_id in STORED_IMAGES:
        lines.append(f'{image_id} RCDATA "{(folder / f"{image_id}.bin").as_posix()}"')
    write_if_changed(args.out / "firmware.rc", ("\n".join(lines) + "\n").encode())


if __name__ == "__main__":
    main()
