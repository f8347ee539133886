#!/usr/bin/env bash
# Builds the wheel from this build, installs it into a fresh virtual
# environment and runs the package's tests there, as a user would.
#
#   python_wheel_test.sh BUILD_DIR WORK_DIR     (exit 77: skipped)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 work=$2
python=${PYTHON:-/usr/bin/python3}
"$python" -c 'import ensurepip, pytest, setuptools, wheel' 2>/dev/null || {
    echo "skipped: $python lacks venv, pip, setuptools, wheel or pytest (scripts/setup.sh installs them)"
    exit 77
}
rm -rf "$work"
wheel=$("$root/scripts/build-python-wheel.sh" --from "$build" --output "$work" | tail -1)
# pytest comes from the system; the package only from the wheel.
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --quiet --no-index "$wheel"
# Only what the wheel carries: no library path, no library setting.
unset LD_LIBRARY_PATH WHISPER_INF_LIBRARY
export PYTHONDONTWRITEBYTECODE=1
cd "$work"
exec "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$root/bindings/python/tests"
