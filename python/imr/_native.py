"""libimr_c, loaded through ctypes, and the prototypes of its functions."""
import ctypes
import os

from imr import _location


class Format(ctypes.Structure):
    """struct imr_format of imr.h."""

    _fields_ = [("name", ctypes.c_char_p),
                ("description", ctypes.c_char_p),
                ("mime", ctypes.c_char_p),
                ("extensions", ctypes.POINTER(ctypes.c_char_p)),
                ("extension_count", ctypes.c_size_t),
                ("module", ctypes.c_char_p),
                ("depth", ctypes.c_char_p)]


def _load():
    library = ctypes.CDLL(os.path.join(os.path.dirname(os.path.abspath(__file__)), _location.LIBRARY))
    status, handle, text, out = ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER
    prototypes = {
        "imr_open": (status, [text, ctypes.c_uint, out(handle)]),
        "imr_close": (status, [handle]),
        "imr_describe_json": (status, [handle, text, ctypes.c_int, ctypes.c_uint, out(ctypes.c_void_p)]),
        "imr_describe_json_many": (status, [handle, out(text), ctypes.c_size_t, ctypes.c_int,
                                            ctypes.c_uint, out(ctypes.c_void_p)]),
        "imr_smartid": (status, [handle, text, out(ctypes.c_uint32)]),
        "imr_formats": (status, [handle, out(out(Format)), out(ctypes.c_size_t)]),
        "imr_last_error": (text, []),
        "imr_free": (None, [ctypes.c_void_p]),
    }
    for name, (result, arguments) in prototypes.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


# ctypes lets go of the GIL for the length of every call into the library.
LIB = _load()

# imr.h's bounds of a request.
LEVEL_MIN, LEVEL_MAX, TYPES_ALL = 1, 6, 0x7F
OPEN_NO_CACHE = 0x01
