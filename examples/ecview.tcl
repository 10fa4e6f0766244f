# ecview.tcl: a Tk viewer of ec programs, made to stay open on large ones.
#
# Usage: wish ecview.tcl ?FILE.ec?     (or: tclsh ecview.tcl ?FILE.ec?)
#
# The window shows, for the program read from an ec file:
#   - a table of its variables and constants (name, kind, type, clock, line
#     of the declaration), sorted by clicking a heading and narrowed by the
#     filter above it (a substring, or a glob pattern when the text holds
#     * ? or [);
#   - its Lustre text (tab "Lustre") and the file's own text (tab "Source"),
#     keywords, types and comments highlighted; selecting a variable scrolls
#     to its equation and highlights it, clicking a name in either text
#     selects it in the table;
#   - "Uses": the equations that read the selected variable and the names its
#     own equation reads; a click selects that name (Alt-Left goes back);
#   - "Diagnostics": what `check' finds; a click shows the place (line and
#     column) in the Source tab and selects the diagnostic's subject;
#   - an expression entry that types what is typed in it, and a status line
#     with the counts, the load time and the progress of background work.
# A failed load shows the file's text with the faulty line highlighted.
# Errors never raise a dialog: they go to the status line, and so do errors
# of event scripts (interp bgerror).
#
# Large programs: the tables hold only the rows in sight (a treeview of a
# screenful of rows over a Tcl list), the text is highlighted where it is
# seen, the places of declarations and equations in the Lustre text come
# with it from the printer (text -places), and what is not needed to show
# the program (the count of equations, the check, the table's
# type/clock/line columns) is computed after the window shows, in slices
# run from the event loop.
#
# This script loads the module and the viewer's package, ecview/ beside it:
# one file per part (pkgIndex.tcl lists them): vtable.tcl, the table widget
# that holds only the rows in sight; state.tcl, what the parts share;
# background.tcl, the work done in slices; textpane.tcl, the texts and their
# highlighting; table.tcl, the table and its filter and sort; uses.tcl, the
# selection and the uses list; diagnostics.tcl; expression.tcl, the
# expression entry; files.tcl, opening, reloading and saving; window.tcl,
# the main window, its layout and keys.
#
# Tcl interface (for scripts and tests):
#   ecview::open_file PATH       read a program; 1, or 0 when the load failed
#   ecview::reload               read the current file again
#   ecview::save PATH ?lustre|ec? write the program's text through a channel
#   ecview::filter ?TEXT?        set (or read) the filter; returns the row count
#   ecview::sort COLUMN ?DECR?   sort the table (name kind type clock line)
#   ecview::rows                 names in the table, in its order
#   ecview::select NAME          select a variable: table, text, uses; 1 or 0
#   ecview::selected             the selected name ("" when none)
#   ecview::uses                 rows of the uses list: {relation name} pairs
#   ecview::diagnostics          the check's diagnostics (dicts) as listed
#   ecview::jump INDEX           go to the INDEX-th listed diagnostic
#   ecview::exptype TEXT         type an expression; returns the message shown
#   ecview::wait                 finish the background work now
#   ecview::widget NAME          a widget's path, NAME one of:
#       vars (table treeview) filter (entry) count (label "shown of all")
#       text (Lustre text) source (file's text) notebook
#       uses (treeview) detail (label over it) back (button) diags (treeview) diaglabel
#       expr (entry) exptype (label of its result)
#       status (label) counts (label) progress (progressbar)
#   ecview::status is the status line's text.
# The module is found as require_zindle.tcl says: in the build directory
# named by the environment variable ZINDLE_BUILD, or installed.
# LUSTRE_INSTALL must name an existing directory.
source [file join [file dirname [info script]] require_zindle.tcl]
lappend auto_path [file join [file dirname [file normalize [info script]]] ecview]
package require ecview 1.0

ecview::build
if {[llength $argv] > 0} { ecview::open_file [lindex $argv 0] }
