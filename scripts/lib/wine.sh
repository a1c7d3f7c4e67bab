# A private Wine prefix for one run: created fresh in a temporary folder, stopped and
# removed on exit. Only this prefix's wineserver is ever stopped.
start_private_wine() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/sheetpack-wine.XXXXXX")
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap stop_private_wine EXIT
  scripts/wine-run wineboot --init >/dev/null 2>&1
  wineserver -w
  if [ -n "${SHEETPACK_WINE32_EMULATED:-}" ]; then
    # With an emulated 32-bit side a new prefix takes minutes: the e2e scenarios start from
    # a copy of this one, taken before anything has run in it.
    export SHEETPACK_WINE_TEMPLATE="$WINEPREFIX.template"
    cp -a "$WINEPREFIX" "$SHEETPACK_WINE_TEMPLATE"
  fi
  # One server and one set of Wine's service processes for the whole run, detached from
  # every pipe: started by a test's program instead, they would inherit ctest's output
  # pipe and hold each test open until they end, three seconds after it.
  wineserver -p </dev/null >/dev/null 2>&1
  scripts/wine-run wineboot </dev/null >/dev/null 2>&1
}

stop_private_wine() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ -n "${SHEETPACK_WINE_TEMPLATE:-}" ]; then
    rm -rf "$SHEETPACK_WINE_TEMPLATE"
  fi
}
