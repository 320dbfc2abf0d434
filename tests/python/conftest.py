"""Fixtures of the Python package's tests: the corpus, the imr command of the
same build, and a detector that leaves the shared test data alone."""
import json
import os
import pathlib
import subprocess

import pytest

import imr

CORPUS = pathlib.Path(os.environ["IMR_TEST_DATA"]) / "corpus" / "exiftool"


@pytest.fixture(scope="session")
def corpus():
    return CORPUS


@pytest.fixture(scope="session")
def detector():
    """A detector that neither reads nor writes the cache beside the files."""
    with imr.Detector(cache=False) as opened:
        yield opened


def run_imr(*arguments, check=True):
    """Runs the imr command of this build; returns its standard output."""
    done = subprocess.run([os.environ["IMR_BINARY"], *map(str, arguments)], capture_output=True,
                          text=True, check=False)
    if check:
        assert done.returncode in (0, 1), done.stderr
    return done


def imr_json_lines(*arguments):
    return [json.loads(line) for line in run_imr(*arguments).stdout.splitlines()]
