"""What the package reports is what `imr identify --json` prints."""
import os
import pathlib

import pytest

import imr
from conftest import imr_json_lines

FILES = ["PNG.png", "ExifTool.tif", "GIF.gif", "DNG.dng", "CanonRaw.cr3", "PDF.pdf",
         "Photoshop.psd", "BMP.bmp", "ICO.ico", "Text1.txt", "absent.jpg"]


@pytest.mark.parametrize("level,types", [(6, 7), (2, 7), (4, 0x7F), (6, 1)])
def test_identify_many_equals_the_command(detector, corpus, level, types):
    paths = [str(corpus / name) for name in FILES]
    expected = imr_json_lines("identify", "--json", "--no-cache", "--level", level, "--types", types,
                              *paths)
    for threads in (1, 2, 5):
        assert list(detector.identify_many(paths, threads=threads, level=level, types=types)) == expected
    for path, printed in zip(paths, expected):
        if printed["recognized"]:
            assert detector.identify(path, level=level, types=types) == printed


def test_identify_many_keeps_order_over_batches_and_lazy_input(detector, corpus):
    names = ["PNG.png", "GIF.gif", "Text1.txt", "BMP.bmp"] * 40  # several batches per thread
    described = detector.identify_many((corpus / name for name in names), threads=3)
    assert [pathlib.Path(d["path"]).name for d in described] == names


def test_identify_many_stops_early_without_waiting_for_the_rest(detector, corpus):
    many = detector.identify_many([corpus / "PNG.png"] * 5000, threads=2)
    assert next(many)["recognized"]
    many.close()


def test_identify_many_reports_refused_paths_in_place(detector, corpus):
    paths = [corpus / "PNG.png", b"bad\xff.png", "nul\0.png", None, "", str(corpus / "absent.jpg")]
    described = list(detector.identify_many(paths, threads=2))
    assert [d["recognized"] for d in described] == [True, False, False, False, False, False]
    assert [d["error"]["class"] for d in described[1:]] == ["imr"] * 4 + ["IMR_EPluginCannotReadFile"]
    assert described[1]["path"] == os.fsdecode(b"bad\xff.png")
    assert described[2]["path"] == "nul\0.png"
    assert described[3]["path"] is None
    assert "not UTF-8" in described[1]["error"]["message"]


def test_module_functions_use_a_shared_detector_with_the_cache(tmp_path, corpus):
    copy = tmp_path / "copy.png"
    copy.write_bytes((corpus / "PNG.png").read_bytes())
    first = imr.identify(copy)
    assert imr.identify(copy) == first  # the second answer may come from the cache
    assert [d["path"] for d in imr.identify_many([copy, copy], threads=2)] == [str(copy)] * 2
    assert imr.smartid(copy) == imr.smartid(str(copy)) != 0
