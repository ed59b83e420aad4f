"""Shared paths of the Python tests: the build tree's package and program, and the sample data."""
import os
import sys

import pytest
from hypothesis import settings

# No example database: runs leave nothing behind in the source tree.
settings.register_profile("tivra", database=None)
settings.load_profile("tivra")

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("TIVRA_BUILD_DIR", os.path.join(ROOT, "build"))
# The build tree's package, unless an installed one was asked for.
if not os.environ.get("TIVRA_TEST_INSTALLED"):
    sys.path.insert(0, os.path.join(BUILD, "python"))

DATA = os.path.join(ROOT, "tools", "data")
PROGRAM = os.path.join(BUILD, "bin", "tivra")


@pytest.fixture
def program():
    """The tivra program of the same build; its absence is a failure, not a skip."""
    assert os.access(PROGRAM, os.X_OK), f"{PROGRAM} is not built (cmake --build build --target tivra_cli)"
    return PROGRAM
