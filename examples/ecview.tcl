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
#     with the counts, the load time and the progress of background work;
#   - the simulation pane: a control per input (by type; an input on a
#     clock is enabled when its clock will tick), Reset (F6), Step (F7), Run
#     N steps (F8), Auto: a step every P ms (F9), Pause (Escape, Ctrl-C), a
#     run-until expression, inputs played from a CSV or RIF file and the
#     trace saved as CSV, RIF or VCD (menu Simulation); a failed step stops
#     the run, says why, selects the variable and marks the step;
#   - the chronogram: a lane per watched variable (the outputs at first; a
#     double click in the table or Ctrl+L adds the selected one, the lane's
#     menu removes it, a drag of its name moves it), bools as square waves,
#     ints and reals as step lines with their values, enumerations as
#     labelled boxes, nil hatched, absent empty; a time axis, a cursor that
#     follows the mouse and one that a click sets (its step's values show in
#     the table's value column), zoom (wheel, + - f) and scroll over the
#     whole history.
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
# run from the event loop. Runs go in slices from the event loop too, and
# the chronogram draws only the steps and lanes in sight, a bin of steps
# per two pixels at most, summed up by the run (sim history -every).
#
# This script loads the module and the viewer's package, ecview/ beside it:
# one file per part (pkgIndex.tcl lists them): vtable.tcl, the table widget
# that holds only the rows in sight; state.tcl, what the parts share;
# background.tcl, the work done in slices; textpane.tcl, the texts and their
# highlighting; table.tcl, the table and its filter and sort; uses.tcl, the
# selection and the uses list; diagnostics.tcl; expression.tcl, the
# expression entry; files.tcl, opening, reloading and saving; chrono.tcl,
# the chronogram's view, lanes and events; chronodraw.tcl, its drawing;
# simpane.tcl, the simulation pane and its input controls; simrun.tcl,
# the runs; simfiles.tcl, inputs played from files and traces saved;
# window.tcl, the main window, its layout and keys.
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
#   ecview::sim_reset            a new run (Reset); 1, or 0 with the reason shown
#   ecview::sim_step             a step with the controls' inputs; 1 or 0
#   ecview::sim_run ?N?          run N steps (default the Run count) in slices;
#                                returns at once, see sim_running
#   ecview::sim_auto ?P?         a step every P ms (add_timer) until paused
#   ecview::sim_pause            stop a run; 1, or 0 when none was on
#   ecview::sim_running          the run under way: run, auto, play or ""
#   ecview::sim_input NAME ?VALUE?  set (or read) an input's control
#   ecview::input_widget NAME    an input's control
#   ecview::sim_load PATH        play the inputs of a CSV or RIF file, from a Reset
#   ecview::sim_save PATH ?csv|rif|vcd?  write the trace (format by extension)
#   ecview::kept_steps           {FIRST LAST} steps the run keeps ({1 0}: none)
#   ecview::lanes                the watched variables, top to bottom
#   ecview::lanes_shown          those in sight
#   ecview::lane_add NAME, lane_remove NAME, lane_move NAME INDEX
#   ecview::lane_menu Y          the menu of the lane at Y on the names canvas
#   ecview::cursor ?STEP?        set the cursor ("": the last step); its step
#   ecview::value_at NAME STEP   a variable's value at a step ("nil", "" absent)
#   ecview::zoom FACTOR ?X?      zoom keeping the step under X; 0: whole history
#   ecview::chrono_xview ...     the scrollbar protocol (moveto, scroll)
#   ecview::view                 {FIRST LAST} steps in sight
#   ecview::step_at X, step_x STEP  the step at an x of the wave canvas, and back
#   ecview::widget NAME          a widget's path, NAME one of:
#       vars (table treeview) filter (entry) count (label "shown of all")
#       text (Lustre text) source (file's text) notebook
#       uses (treeview) detail (label over it) back (button) diags (treeview) diaglabel
#       expr (entry) exptype (label of its result)
#       status (label) counts (label) progress (progressbar)
#       simreset simstep simrun simauto simpause (buttons) simcount simperiod
#       (spin boxes) until (entry) simstate (label) inputs (frame of the controls)
#       chrono (wave canvas) lanes (names canvas) chronox chronoy (scrollbars)
#       lanemenu (a lane's menu)
#   ecview::status is the status line's text; ecview::simUntil, simCount,
#   simPeriod and simState the run-until entry's, the Run count, the Auto
#   period and the pane's state line.
# The module is found as require_zindle.tcl says: in the build directory
# named by the environment variable ZINDLE_BUILD, or installed.
# LUSTRE_INSTALL must name an existing directory.
source [file join [file dirname [info script]] require_zindle.tcl]
lappend auto_path [file join [file dirname [file normalize [info script]]] ecview]
package require ecview 1.0

ecview::build
if {[llength $argv] > 0} { ecview::open_file [lindex $argv 0] }
