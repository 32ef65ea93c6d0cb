#!/bin/sh
# x_server_or_skip.sh XVFB-RUN-COMMAND...: runs a test under its own X server, given as the whole
# xvfb-run command line. A missing xvfb-run is a broken set-up (scripts/setup installs it) and
# fails the test. A machine whose /tmp may not be written can start no X server at all, as Xvfb
# keeps its lock file there whatever TMPDIR says: the test is then skipped (exit 77, the test's
# SKIP_RETURN_CODE) with a line that says why.
if ! command -v "$1" >/dev/null 2>&1; then
  echo "$1 is missing: run scripts/setup" >&2
  exit 1
fi
if ! probe=$(mktemp /tmp/.x-server-probe.XXXXXX 2>/dev/null); then
  echo "skipped: /tmp may not be written here: Xvfb cannot make its lock file, so no X server can start"
  exit 77
fi
rm -f "$probe"
exec "$@"
