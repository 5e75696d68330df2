# Sourced by tools/screenshots and tools/windows-check: finds the program's windows on the X
# display by their titles and clicks their controls, as an operator does, at the places the
# layouts give in dialog units, scaled to each window's size in pixels.

mainTitle="Mervak's TAVO FOX Control Program V 2.0"
# Controls of the main window (287 x 301 dialog units): x y width height.
identityLine=(5 5 120 14)
connectButton=(230 5 50 14)
cycleIdEdit=(100 145 35 14)
writeButton=(165 260 115 14)
quitButton=(165 279 115 14)

# Wine's own fonts (fonts-wine: MS Sans Serif, Tahoma, Marlett ...) in the prefix's Fonts folder,
# where Windows keeps its fonts. A prefix that this 64-bit Wine makes has none there, so its
# programs see only the Linux fonts, and Qt, which finds none of the fonts a window asks for,
# draws with whichever of those fits the size best, a serif one.
wineFonts() {
  cp -u /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
}

# The window named exactly so, once it is shown (waiting up to the given seconds).
window() {
  timeout "${2:-20}" xdotool search --sync --onlyvisible --name "^$1\$" | tail -1
}

# Clicks the middle of a control given in dialog units (x, y, width, height as in the
# dialog's layout), scaled to the window's size in pixels (its size in dialog units given).
click() {
  local id=$1 unitsWide=$2 unitsHigh=$3 x=$4 y=$5 w=$6 h=$7 button=${8:-1}
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove --window "$id" $(((2 * x + w) * WIDTH / unitsWide / 2)) \
    $(((2 * y + h) * HEIGHT / unitsHigh / 2)) click "$button"
  sleep 0.5
}

# The main window's controls; main holds its window id.
mainClick() { click "$main" 287 301 "$@"; }
