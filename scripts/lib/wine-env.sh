# Sourced: the Wine environment shared by the tests and the demo.
: "${QE_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/quietembers}"
: "${WINEPREFIX:=$QE_CACHE/wine-tests}"
export QE_CACHE WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
