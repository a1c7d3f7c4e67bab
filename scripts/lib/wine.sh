# A private Wine prefix for one run: created fresh in a temporary folder, stopped and
# removed on exit. Only this prefix's wineserver is ever stopped.
start_private_wine() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/sheetpack-wine.XXXXXX")
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap stop_private_wine EXIT
  wineboot --init >/dev/null 2>&1
  wineserver -w
  # One server and one set of Wine's service processes for the whole run, detached from
  # every pipe: started by a test's program instead, they would inherit ctest's output
  # pipe and hold each test open until they end, three seconds after it.
  wineserver -p </dev/null >/dev/null 2>&1
  wineboot </dev/null >/dev/null 2>&1
}

stop_private_wine() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
