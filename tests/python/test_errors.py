"""Bad input and failures: a Python exception of the right kind, never a crash."""
import pytest

import imr


@pytest.mark.parametrize("path,level,types,error", [
    ("Text1.txt", 6, 7, imr.NotRecognized),
    ("absent.png", 6, 7, imr.CannotRead),
    (".", 6, 7, imr.CannotRead),
    (None, 6, 7, imr.InvalidArgument),
    ("", 6, 7, imr.InvalidArgument),
    (b"\xff\xfe.png", 6, 7, imr.InvalidArgument),
    ("\udcff.png", 6, 7, imr.InvalidArgument),  # undecodable bytes as os.fsdecode gives them
    ("nul\0.png", 6, 7, imr.InvalidArgument),
    ("PNG.png", 0, 7, imr.InvalidArgument),
    ("PNG.png", 7, 7, imr.InvalidArgument),
    ("PNG.png", 2**32 + 6, 7, imr.InvalidArgument),
    ("PNG.png", "6", 7, imr.InvalidArgument),
    ("PNG.png", 6, -1, imr.InvalidArgument),
    ("PNG.png", 6, 0x80, imr.InvalidArgument),
    ("PNG.png", 6, 2**32 + 7, imr.InvalidArgument),
])
def test_identify_raises_the_library_error(detector, corpus, path, level, types, error):
    if isinstance(path, str) and path and path[0].isalpha():
        path = str(corpus / path)
    elif path == ".":
        path = str(corpus)
    with pytest.raises(error) as raised:
        detector.identify(path, level=level, types=types)
    assert str(raised.value)


def test_errors_are_also_the_python_errors_they_resemble():
    assert issubclass(imr.CannotRead, OSError) and issubclass(imr.InvalidArgument, ValueError)
    assert all(issubclass(e, imr.Error) for e in (imr.NotRecognized, imr.DetectorClosed,
                                                  imr.ConfigurationError, imr.InternalError))


@pytest.mark.parametrize("call", [
    lambda d, png: d.identify(png),
    lambda d, png: list(d.identify_many([png])),
    lambda d, png: d.smartid(png),
    lambda d, png: d.formats(),
    lambda d, png: d.close(),
])
def test_a_closed_detector_raises(corpus, call):
    detector = imr.Detector(cache=False)
    detector.close()
    with pytest.raises(imr.DetectorClosed):
        call(detector, corpus / "PNG.png")


@pytest.mark.parametrize("arguments", [
    {"threads": 0}, {"threads": -2}, {"threads": "2"}, {"level": 9}, {"types": 0x100}, {"types": 0},
])
def test_identify_many_refuses_a_bad_request_at_once(detector, corpus, arguments):
    with pytest.raises(imr.InvalidArgument):
        detector.identify_many([corpus / "PNG.png"], **arguments)


def test_smartid_raises_for_a_missing_file(detector, corpus):
    with pytest.raises(imr.CannotRead):
        detector.smartid(corpus / "absent.png")


def test_another_configuration_file_is_refused(detector, tmp_path):
    overlay = tmp_path / "overlay.json"
    overlay.write_text("{}")
    with pytest.raises(imr.ConfigurationError, match="read once per process"):
        imr.Detector(config=overlay)
