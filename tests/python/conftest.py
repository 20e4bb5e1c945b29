"""Shared fixtures of the tests of the tools around vorn."""
import os
import shutil
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools", "python"))

# The quick examples always; the heater examples (minutes in a bounds-checked
# build) only with VORN_ALL_EXAMPLES=1.
QUICK = ["Demo-001", "Demo-002", "Demo-003", "Demo-008"]


def tool(name):
    """The tool as the build copied it next to vorn (VORN_BIN_DIR), else the
    source copy."""
    built = os.path.join(os.environ.get("VORN_BIN_DIR", ""), name)
    if os.environ.get("VORN_BIN_DIR") and os.path.isfile(built):
        return built
    return os.path.join(SOURCE, "tools", name)


def vorn_exe():
    exe = os.environ.get("VORN_EXE")
    if not exe or not os.access(exe, os.X_OK):
        pytest.skip("VORN_EXE is not set to the built program")
    return exe


def example_cases():
    root = os.path.join(SOURCE, "examples", "VORN_data", "Demo")
    cases = sorted(c for c in os.listdir(root) if os.path.isdir(os.path.join(root, c, "input")))
    if os.environ.get("VORN_ALL_EXAMPLES") == "1":
        return cases
    return [c for c in cases if c in QUICK]


def copy_case(src_case_dir, to_case_dir):
    """Input of a case and empty output/ and RunNN/ directories."""
    shutil.copytree(os.path.join(src_case_dir, "input"), os.path.join(to_case_dir, "input"))
    os.makedirs(os.path.join(to_case_dir, "output"))
    for d in os.listdir(src_case_dir):
        if d.startswith("Run") and len(d) == 5:
            os.makedirs(os.path.join(to_case_dir, d))


@pytest.fixture(scope="session")
def example_outputs(tmp_path_factory):
    """Every example case run once in a scratch copy; {case name: case dir}."""
    exe = vorn_exe()
    root = tmp_path_factory.mktemp("examples")
    src = os.path.join(SOURCE, "examples", "VORN_data", "Demo")
    out = {}
    for case in example_cases():
        to = os.path.join(root, "VORN_data", "Demo", case)
        copy_case(os.path.join(src, case), to)
        r = subprocess.run([exe, "Demo", case.split("-")[1]], cwd=root, capture_output=True,
                           text=True, timeout=600)
        assert r.returncode == 0, f"{case}: {r.stderr}"
        out[case] = to
    return out
