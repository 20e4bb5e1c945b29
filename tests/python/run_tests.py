"""Runs the tests of the tools with pytest; exit 77 (skipped) with the reason
when pytest or a package the tools need is not installed."""
import importlib
import sys

missing = []
for module, package in (("pytest", "python3-pytest"), ("matplotlib", "python3-matplotlib"),
                        ("numpy", "python3-numpy")):
    try:
        importlib.import_module(module)
    except ImportError:
        missing.append(package)
if missing:
    print(f"SKIPPED: {sys.executable} lacks {', '.join(missing)} "
          f"(apt-get install {' '.join(missing)})")
    sys.exit(77)

import pytest  # noqa: E402

sys.exit(pytest.main(sys.argv[1:]))
