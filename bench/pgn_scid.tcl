# Scid side of bench/pgn.sh, run by Scid's own interpreter (tkscid, no
# window needed): imports a PGN file into a new database.
#   tkscid pgn_scid.tcl DATABASE FILE
set base [lindex $argv 0]
set pgn [lindex $argv 1]
if {[catch {sc_base create $base} db]} { puts stderr "create: $db"; exit 1 }
if {[catch {sc_base import $db $pgn} result]} { puts stderr "import: $result"; exit 1 }
puts "imported [lindex $result 0] games"
sc_base close $db
exit 0
