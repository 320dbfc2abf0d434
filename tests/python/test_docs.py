"""The man page and the bash completion cover every command and option that
`imr --help` lists, and the completion offers what fits where the cursor is."""
import os
import pathlib
import re
import shlex
import subprocess

import pytest

from conftest import run_imr

SOURCE = pathlib.Path(os.environ["IMR_SOURCE_DIR"])
MAN_PAGE = (SOURCE / "docs" / "imr.1").read_text().replace("\\-", "-")
COMPLETION = SOURCE / "tools" / "imr" / "completion.bash"
COMMANDS = [[], ["identify"], ["smartid"], ["formats"], ["magic"], ["magic", "check"], ["magic", "show"]]


def help_of(command):
    """The options and subcommands that `imr COMMAND --help` lists."""
    text = run_imr(*command, "--help").stdout
    options = re.findall(r"^\s+(?:(-\w),)?(--[\w-]+)", text, re.M)
    section = text.split("Subcommands:")[1] if "Subcommands:" in text else ""
    return ({name for pair in options for name in pair if name},
            set(re.findall(r"^\s+([a-z]+)\s", section, re.M)))


@pytest.mark.parametrize("command", COMMANDS, ids=lambda c: " ".join(c) or "imr")
def test_documented_and_completed(command):
    options, subcommands = help_of(command)
    assert options
    completion = COMPLETION.read_text()
    for word in options | subcommands:
        pattern = rf"(?<![\w-]){re.escape(word)}(?![\w-])"
        assert re.search(pattern, MAN_PAGE), f"{word} in the man page"
        # The completion offers --help, not its short form.
        assert word == "-h" or re.search(pattern, completion), f"{word} in the completion"


def complete(*words):
    """What the completion offers for `imr WORDS`, the last one being typed."""
    line = " ".join(shlex.quote(w) for w in [os.environ["IMR_BINARY"], *words])
    script = (f"source {shlex.quote(str(COMPLETION))}; COMP_WORDS=({line}); "
              f"COMP_CWORD={len(words)}; _imr; printf '%s\\n' \"${{COMPREPLY[@]}}\"")
    done = subprocess.run(["bash", "-c", script], capture_output=True, text=True, check=True)
    return set(done.stdout.split())


@pytest.mark.parametrize("words,offered", [
    (("",), {"identify", "smartid", "formats", "magic", "--version", "--help"}),
    (("fo",), {"formats"}),
    (("identify", "--l"), {"--level"}),
    (("identify", "--level", ""), {"1", "2", "3", "4", "5", "6"}),
    (("identify", "-r", "--level", "3", "--no"), {"--no-cache"}),
    (("formats", "--"), {"--json", "--chains", "--help"}),
    (("magic", ""), {"check", "show", "--help"}),
    (("magic", "show", "JP"), {"JPEG", "JP2", "JPX", "JPM"}),
])
def test_completion_offers(words, offered):
    assert complete(*words) == offered
