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
}

stop_private_wine() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
