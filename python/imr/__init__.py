"""IMR: recognises image and document files and describes every image in them.

    import imr
    imr.identify("photo.tif")        # {"path": ..., "recognized": True, "images": [...]}
    for description in imr.identify_many(paths, threads=2):
        ...
    imr.smartid("layout.eps")        # changes when the file or a file it links to changes
    imr.formats()                    # [{"name": "TIFF", "mime": "image/tiff", ...}, ...]

The functions of the module use one detector opened on first use, with the
configuration of IMR_CONFIG and the cache beside the files; open a Detector
for another configuration file or no cache.
"""
import threading

from imr._detector import Detector
from imr._errors import (CannotRead, ConfigurationError, DetectorClosed, Error, InternalError,
                         InvalidArgument, NotRecognized)

__all__ = ["Detector", "Error", "InvalidArgument", "DetectorClosed", "NotRecognized",
           "CannotRead", "ConfigurationError", "InternalError",
           "identify", "identify_many", "smartid", "formats"]

_shared = None
_shared_lock = threading.Lock()


def _detector():
    global _shared
    with _shared_lock:
        if _shared is None:
            _shared = Detector()
        return _shared


def identify(path, level=6, types=7):
    """See Detector.identify."""
    return _detector().identify(path, level, types)


def identify_many(paths, threads=None, level=6, types=7):
    """See Detector.identify_many."""
    return _detector().identify_many(paths, threads, level, types)


def smartid(path):
    """See Detector.smartid."""
    return _detector().smartid(path)


def formats():
    """See Detector.formats."""
    return _detector().formats()
