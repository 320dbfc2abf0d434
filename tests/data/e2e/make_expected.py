#!/usr/bin/python3
"""Writes expected.tsv: what ImageMagick's identify reports for every e2e
sample and every image file of the corpus (tests/data/corpus/exiftool).

  /usr/bin/python3 make_expected.py

For each file: identify -ping -format '%w %h %x %y %U\\n' gives one line per
image; the table keeps the count and the first line, the resolution in pixels
per inch (0 when identify says Undefined).  A camera raw file identify cannot
read (no raw delegate here) gets dcraw's sensor instead (dcraw -i -v, "Full
size"): one image, no resolution.  A file neither reads gets '-' in every
column and identify's message as its note.  The 'imr' and 'note'
columns are kept from the table being replaced: they hold the deliberate
differences the end-to-end test applies (see README).
"""
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.dirname(HERE)
TABLE = os.path.join(HERE, "expected.tsv")
FAMILIES = ["tiff", "jpeg", "web", "raster", "texture", "animation", "layered", "document", "boxed",
            "vector", "codec", "raw", "film", "science"]
HEADER = ("# file (under tests/data)\timages\tcolumns\trows\txres\tyres\timr\tnote\n"
          "# identify's values: its image count, then the first image's size and resolution\n"
          "# (pixels per inch, 0 when Undefined).  'imr' lists what the library reports\n"
          "# instead, on purpose (images=N, columns=N, rows=N, xres=N, yres=N, turned: identify\n"
          "# shows the picture turned for display); 'note' says why.  '-' columns: identify\n"
          "# cannot read the file, which is left out of the geometry check.\n")


def files():
    for family in FAMILIES:
        for name in sorted(os.listdir(os.path.join(HERE, family))):
            yield f"e2e/{family}/{name}"
    with open(os.path.join(DATA, "corpus/exiftool/EXPECTED.tsv")) as table:
        for line in table:
            if line.startswith("#") or not line.strip():
                continue
            name, formats = line.rstrip("\n").split("\t")[:2]
            if formats != "-":
                yield f"corpus/exiftool/{name}"


def identify(path):
    run = subprocess.run(["identify", "-ping", "-format", "%w %h %x %y %U\\n", path],
                         capture_output=True, text=True, timeout=120)
    lines = [line.split() for line in run.stdout.splitlines() if line.strip()]
    if run.returncode != 0 or not lines:
        message = (run.stderr.strip().splitlines() or ["no output"])[0]
        message = message.split(" @ ")[0].replace("identify-im6.q16: ", "")
        return None, f"identify cannot read it: {message}"
    w, h, x, y, units = lines[0][:5]
    scale = {"PixelsPerInch": 1.0, "PixelsPerCentimeter": 2.54}.get(units, 0.0)
    return [str(len(lines)), w, h, f"{float(x) * scale:.4g}", f"{float(y) * scale:.4g}"], ""


# dcraw takes some files of other formats for headerless raw data: it is asked
# about camera raw files only.
RAW_EXTENSIONS = {".arw", ".cr2", ".cr3", ".crw", ".dng", ".iiq", ".mrw", ".nef", ".orf", ".pef", ".raf",
                  ".rw2", ".srw", ".x3f"}


def dcraw(path):
    """dcraw's sensor size of a camera raw file, or None."""
    if os.path.splitext(path)[1].lower() not in RAW_EXTENSIONS:
        return None
    try:
        run = subprocess.run(["dcraw", "-i", "-v", path], capture_output=True, text=True, timeout=120)
    except OSError:
        return None
    for line in run.stdout.splitlines():
        if line.startswith("Full size:"):
            w, _, h = line.split(":", 1)[1].split()
            if int(w) > 0 and int(h) > 0:
                return ["1", w, h, "0", "0"]
    return None


def main():
    kept = {}
    if os.path.exists(TABLE):
        for line in open(TABLE):
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            kept[fields[0]] = fields[6:8]
    rows = []
    for path in files():
        values, message = identify(os.path.join(DATA, path))
        imr, note = kept.get(path, ["-", ""])
        if values is None:
            values = dcraw(os.path.join(DATA, path))
            if values is not None and (not note or note.startswith("identify cannot read it")):
                note = "dcraw -i -v (identify has no raw delegate here): the sensor"
        if values is None:
            values, note = ["-"] * 5, note or message
        rows.append("\t".join([path] + values + [imr, note]) + "\n")
    with open(TABLE, "w") as out:
        out.write(HEADER)
        out.writelines(rows)


if __name__ == "__main__":
    main()
