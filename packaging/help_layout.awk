# Lays out a program's --help for help2man, whatever the text says:
# - the usage lines ("usage: PROGRAM ..." and the lines below it that start with the
#   program's name) become "Usage: ..." and "  or: ...", which help2man sets one to a line
#   in the SYNOPSIS; a usage line wrapped onto the next is joined again; usage lines
#   further down, under a heading of their own, are set apart one a paragraph;
# - a list inside an option's description (lines indented deeper than the description, each
#   a word, two blanks and its text) is set apart by a blank line, so that help2man makes
#   each entry a paragraph of its own with its word as the tag.
# Run as: awk -v program=NAME -f help_layout.awk
function flush() { if (pending != "") print pending; pending = "" }
NR == 1 && sub(/^[Uu]sage: */, "Usage: ") { usage = 1; pending = $0; next }
usage && /^ +[^ -]/ {
  if ($1 == program) { flush(); sub(/^ +/, "  or: "); pending = $0 }
  else { sub(/^ +/, " "); pending = pending $0 }
  next
}
{ flush(); usage = 0 }
# A usage line further down (a "Commands:" list) stays a line of its own.
/^ +[^ ]/ && $1 == program { print; print ""; next }
/^ +-/ && match($0, /^ +/) && RLENGTH <= 10 && match($0, /^ *[^ ]+( [^ -][^ ]*)?  +/) {
  column = RLENGTH; inList = 0; print; next
}
column && match($0, /^ +/) && RLENGTH > column && /^ +[^ ]+  +[^ ]/ {
  if (!inList) print ""
  inList = 1
}
/^[^ ]/ || /^$/ { column = 0; inList = 0 }
{ print }
END { flush() }
