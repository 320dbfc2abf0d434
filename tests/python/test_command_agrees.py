"""The package and the imr command agree on SmartIDs and formats, and every
image's MIME type is its format's."""
import json

import imr
from conftest import imr_json_lines, run_imr


def test_formats_are_those_of_the_command(detector):
    assert detector.formats() == json.loads(run_imr("formats", "--json").stdout)


def test_smartid_is_that_of_the_command(detector, corpus):
    paths = [corpus / name for name in ("PNG.png", "DNG.dng", "PDF.pdf")]
    printed = run_imr("smartid", *paths).stdout.splitlines()
    assert printed == [f"{path}: {detector.smartid(path)}" for path in paths]


def test_every_image_has_the_mime_type_of_its_format(detector, corpus):
    mime = {f["name"]: f["mime"] for f in detector.formats()}
    described = imr_json_lines("identify", "--json", "--no-cache", "-r", corpus)
    images = [image for d in described for image in d["images"]]
    assert len(images) > 50
    for image in images:
        assert image["mime"] == mime.get(image["file_format"], ""), image["file_format"]
    assert not [image["file_format"] for image in images if image["file_format"] not in mime]
