"""The package against the library itself: the enums hold pbq.h's values, the
library is found or missed with a clear message, and documents are freed."""
import os
import re
import subprocess
import sys

import pytest

import pbq
from conftest import LIBRARY, PACKAGE_ROOT, REPO


def header_constants():
    with open(os.path.join(REPO, "include", "pbq.h"), encoding="utf-8") as f:
        text = f.read()
    return {name: int(value) for name, value in re.findall(r"\b(PBQ_[A-Z_]+) = (-?\d+)", text)}


@pytest.mark.parametrize("prefix, enum", [("PBQ_ACTION_", pbq.Action), ("PBQ_REPEAT_", pbq.RepeatMode),
                                          ("PBQ_SLEEP_", pbq.SleepMode), ("PBQ_ADDED_", pbq.Added)])
def test_enums_hold_the_header_values(prefix, enum):
    header = {k[len(prefix):]: v for k, v in header_constants().items() if k.startswith(prefix)}
    assert header, prefix
    assert {m.name: m.value for m in enum} == header


def test_version_and_selftest():
    assert pbq.version() == "1.0.0"
    assert pbq.abi_version() == 1
    assert pbq.selftest() == 0


def run_import(env_changes, cwd):
    env = {k: v for k, v in os.environ.items() if k not in ("PBQ_LIBRARY", "LD_LIBRARY_PATH")}
    env.update(env_changes)
    code = "import pbq, sys; q = pbq.Queue(); print(pbq.version()); q.close()"
    return subprocess.run([sys.executable, "-c", code], cwd=cwd, env=env,
                          capture_output=True, text=True, timeout=60)


def test_missing_library_says_where_it_looked(tmp_path):
    r = run_import({"PYTHONPATH": PACKAGE_ROOT, "PBQ_LIBRARY": str(tmp_path / "libpbq.so.1")}, tmp_path)
    assert r.returncode != 0
    assert "cannot load libpbq.so.1" in r.stderr and "$PBQ_LIBRARY" in r.stderr
    r = run_import({"PYTHONPATH": PACKAGE_ROOT}, tmp_path)
    if r.returncode == 0:
        pytest.skip("libpbq.so.1 is installed system-wide")
    assert "beside the package" in r.stderr and "loader path" in r.stderr
    assert "set PBQ_LIBRARY" in r.stderr


@pytest.mark.parametrize("route", ["beside the package", "loader path"])
def test_library_is_found_without_pbq_library(tmp_path, route):
    package = tmp_path / "pbq"
    package.mkdir()
    for name in ("__init__.py", "_native.py"):
        (package / name).write_bytes(open(os.path.join(PACKAGE_ROOT, "pbq", name), "rb").read())
    env = {"PYTHONPATH": str(tmp_path)}
    if route == "beside the package":
        os.symlink(os.path.realpath(LIBRARY), package / "libpbq.so.1")
    else:
        env["LD_LIBRARY_PATH"] = os.path.dirname(os.path.realpath(LIBRARY))
    r = run_import(env, tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout.strip() == "1.0.0"


def rss_kib():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def test_documents_in_a_loop_do_not_grow_memory():
    # 100,000 calls that return documents of about 2 KiB: a text not freed would add
    # some 200 MiB; the allowance is a tenth of that, far above allocator noise.
    album = open(os.path.join(REPO, "examples", "album.json"), encoding="utf-8").read()
    with pbq.Queue() as q:
        q.set_tracks(album, 1)
        assert len(q.state_json()) > 1500
        for _ in range(2000):  # warm the allocator and the interpreter's caches
            q.state_json(), q.export_resume(1.0)
        before = rss_kib()
        for i in range(50_000):
            q.state_json()
            q.export_resume(float(i))
        grown = rss_kib() - before
    assert grown < 20 * 1024, f"RSS grew by {grown} KiB"
