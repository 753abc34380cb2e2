"""Puts the package of this checkout first on the path; the library itself is found
as any host finds it (PBQ_LIBRARY, beside the package, or the loader path)."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_ROOT = os.path.dirname(HERE)
REPO = os.path.dirname(os.path.dirname(PACKAGE_ROOT))
sys.path.insert(0, PACKAGE_ROOT)
# The library under test: the build's own unless the runner names another.
LIBRARY = os.environ.get("PBQ_LIBRARY") or os.path.join(REPO, "build", "release", "libpbq.so.1")
os.environ["PBQ_LIBRARY"] = LIBRARY
