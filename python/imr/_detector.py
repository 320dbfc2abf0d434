"""Detector: describes files through libimr_c."""
import collections
import concurrent.futures
import ctypes
import itertools
import json
import os

from imr._errors import InvalidArgument, error_for
from imr._native import LEVEL_MAX, LEVEL_MIN, LIB, OPEN_NO_CACHE, TYPES_ALL, Format

# Paths a worker thread of identify_many describes in one go: enough to keep
# the hand-overs between threads rare, few enough to yield the first results
# soon (3,000 files on 2 threads: 32 a batch took 1.41x the command, 256
# took 1.19x).
_BATCH = 256


def _path(path):
    """`path` (str, bytes or path-like; None stays None) as the bytes the
    library is given; a str holding undecodable bytes gives them back as
    they were, and the library refuses them as not UTF-8."""
    if path is None:
        return None
    encoded = os.fsencode(path)
    if b"\0" in encoded:
        raise InvalidArgument(f"the path {path!r} holds a NUL byte")
    return encoded


def _request(level, types):
    """Refuses a level or image type mask out of range."""
    if not isinstance(level, int) or not LEVEL_MIN <= level <= LEVEL_MAX:
        raise InvalidArgument(f"level {level!r} is not from {LEVEL_MIN} to {LEVEL_MAX}")
    if not isinstance(types, int) or not 1 <= types <= TYPES_ALL:
        raise InvalidArgument(f"image type mask {types!r} is not from 1 to {TYPES_ALL:#x}")


def _check(status):
    if status != 0:
        raise error_for(status, LIB.imr_last_error().decode("utf-8", "replace"))


class Detector:
    """Describes files, from any number of threads.

    `config` names a JSON file laid over the built-in configuration.  The
    configuration is read once per process, by the first detector: a later
    one with another file raises ConfigurationError.  With `cache` false the
    detector neither reads nor writes the results cached beside the files.
    """

    def __init__(self, config=None, cache=True):
        handle = ctypes.c_void_p()
        _check(LIB.imr_open(_path(config), 0 if cache else OPEN_NO_CACHE, ctypes.byref(handle)))
        self._handle = handle.value

    def close(self):
        """Closes the detector; further calls raise DetectorClosed."""
        _check(LIB.imr_close(self._handle))

    def __del__(self):
        # A detector dropped without close() lets go of the library's.
        handle = getattr(self, "_handle", None)
        if handle is not None and LIB is not None:
            LIB.imr_close(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def _describe(self, path, level, types):
        """(status, JSON text or None, message) for one file."""
        text = ctypes.c_void_p()
        status = LIB.imr_describe_json(self._handle, _path(path), level, types, ctypes.byref(text))
        message = LIB.imr_last_error().decode("utf-8", "replace") if status else ""
        if text.value is None:
            return status, None, message
        try:
            return status, ctypes.string_at(text.value), message
        finally:
            LIB.imr_free(text)

    def identify(self, path, level=6, types=7):
        """The description of one file, as `imr identify --json` prints it:
        a dict with "path", "recognized", "selected", "error" and "images".
        Raises NotRecognized, CannotRead, InvalidArgument, ... when the file
        is not described."""
        _request(level, types)
        status, text, message = self._describe(path, level, types)
        if status:
            raise error_for(status, message)
        return json.loads(text)

    def identify_many(self, paths, threads=None, level=6, types=7):
        """Describes `paths` on `threads` threads (default: one per core) and
        yields a dict for each, in order, as `imr identify --json` prints
        them: a file that is not described gives a dict with "recognized"
        false and the "error" that says why (class "imr" for a path refused
        before it was looked at).  Raises at once for a bad level, mask or
        number of threads, and DetectorClosed when the detector is closed."""
        _request(level, types)
        threads = (os.cpu_count() or 1) if threads is None else threads
        if not isinstance(threads, int) or threads < 1:
            raise InvalidArgument(f"threads {threads!r} is not a positive number")
        return self._ordered(iter(paths), threads, level, types)

    def _ordered(self, paths, threads, level, types):
        pool = concurrent.futures.ThreadPoolExecutor(threads, thread_name_prefix="imr")
        pending = collections.deque()

        def submit():
            batch = list(itertools.islice(paths, _BATCH))
            if batch:
                pending.append(pool.submit(self._describe_batch, batch, level, types))

        try:
            for _ in range(2 * threads):
                submit()
            while pending:
                described = pending.popleft().result()
                submit()
                yield from described
        finally:
            pool.shutdown(cancel_futures=True)

    def _describe_batch(self, batch, level, types):
        """The descriptions of `batch`, from one call into the library (which
        lets go of the GIL for the whole batch)."""
        refused, encoded = {}, []
        for index, path in enumerate(batch):
            try:
                encoded.append(_path(path))
            except InvalidArgument as error:
                refused[index] = str(error)
                encoded.append(None)
        paths = (ctypes.c_char_p * len(encoded))(*encoded)
        text = ctypes.c_void_p()
        _check(LIB.imr_describe_json_many(self._handle, paths, len(encoded), level, types,
                                          ctypes.byref(text)))
        try:
            described = json.loads(ctypes.string_at(text.value))
        finally:
            LIB.imr_free(text)
        for index, description in enumerate(described):
            error = description["error"]
            if error and error["class"] == "imr":
                # The path as the caller gave it, undecodable bytes included.
                description["path"] = None if batch[index] is None else os.fsdecode(batch[index])
                error["message"] = refused.get(index, error["message"])
        return described

    def smartid(self, path):
        """The identity of a file and of every file it needs: a number that
        changes when any of them changes."""
        identity = ctypes.c_uint32()
        _check(LIB.imr_smartid(self._handle, _path(path), ctypes.byref(identity)))
        return identity.value

    def formats(self):
        """The formats in the order they are tried, each a dict as
        `imr formats --json` prints it."""
        formats = ctypes.POINTER(Format)()
        count = ctypes.c_size_t()
        _check(LIB.imr_formats(self._handle, ctypes.byref(formats), ctypes.byref(count)))
        return [{"name": f.name.decode(),
                 "description": f.description.decode(),
                 "mime": f.mime.decode(),
                 "extensions": [f.extensions[i].decode() for i in range(f.extension_count)],
                 "module": f.module.decode(),
                 "depth": f.depth.decode()}
                for f in formats[:count.value]]
