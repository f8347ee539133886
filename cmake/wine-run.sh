#!/bin/sh
# Runs a Windows program under Wine for CMake and CTest, without Wine's own
# diagnostics (the tests read standard error) and without offering to
# install Mono or Gecko.
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDEBUG WINEDLLOVERRIDES
exec wine "$@"
