"""Shared helpers of the module's tests: the command line built beside the module, the
example inputs, and bit-exact comparison of the numbers the two give."""
import json
import math
import os
import pathlib
import struct
import subprocess

import kestrom
import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = REPO / "examples"


def kestrom_sim():
    """The command line of the same build: KESTROM_SIM, else <build>/sim/kestrom-sim."""
    path = os.environ.get("KESTROM_SIM") or str(
        pathlib.Path(kestrom.__file__).resolve().parents[1] / "sim" / "kestrom-sim")
    assert os.access(path, os.X_OK), f"kestrom-sim not found at {path} (set KESTROM_SIM)"
    return path


def run_sim(args, cwd):
    """kestrom-sim's exit status, standard output and standard error."""
    done = subprocess.run([kestrom_sim(), *args], cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def parse(text):
    """JSON text as the command line wrote it; "-0" stays a negative zero (json reads it as
    the integer 0)."""
    return json.loads(text, parse_int=float)


def number(value):
    """A number as the command line prints it: non-finite ones travel as texts."""
    texts = {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}
    return texts[value] if isinstance(value, str) else float(value)


def same_bits(a, b):
    """Bit for bit, as doubles (a float32 widens exactly); any NaN equals any NaN."""
    a, b = float(a), float(b)
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return struct.pack("<d", a) == struct.pack("<d", b)


def assert_same_numbers(ours, theirs, what):
    ours, theirs = list(ours), [number(x) for x in theirs]
    assert len(ours) == len(theirs), what
    for i, (a, b) in enumerate(zip(ours, theirs)):
        assert same_bits(a, b), f"{what}[{i}]: {a!r} != {b!r}"


def scenario(name):
    return json.loads((EXAMPLES / name).read_text())


@pytest.fixture
def workdir(tmp_path):
    """A folder for input files and the plug-in's log files."""
    return tmp_path
