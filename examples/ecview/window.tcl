# window.tcl: the main window: the menu, the panes side by side and one
# above the other, the simulation pane under them, the expression entry and
# the status line, the keys, Ctrl-C, and the handler that sends errors of
# event scripts to the status line.
#
# Each pane is built by its part (build_table in table.tcl, build_uses in
# uses.tcl, build_texts in textpane.tcl, build_diagnostics in
# diagnostics.tcl, build_sim in simpane.tcl) into the frame it is given
# here; a new pane is a new part that the layout below gives a place.

proc ecview::build {} {
    variable W
    catch {ttk::style theme use clam}
    set rowh [expr {[font metrics TkDefaultFont -linespace] + 4}]
    ttk::style configure Treeview -rowheight $rowh
    font create ecview::bold {*}[font actual TkFixedFont] -weight bold
    font create ecview::italic {*}[font actual TkFixedFont] -slant italic

    wm title . ecview
    set sw [winfo screenwidth .]
    set sh [winfo screenheight .]
    wm geometry . [expr {min(1500, $sw * 9 / 10)}]x[expr {min(950, $sh * 85 / 100)}]
    wm minsize . 500 300
    build_menu

    # Bottom first, so that a small window shrinks the panes, not them.
    build_status .status
    pack .status -side bottom -fill x
    pack [ttk::separator .sep] -side bottom -fill x
    pack [build_expression .exp] -side bottom -fill x -pady 3

    # The program's panes above, the simulation pane below (.main is made
    # first: a pane must not be under its panedwindow in the stacking order).
    ttk::panedwindow .main -orient vertical
    ttk::panedwindow .pw -orient horizontal
    pack .main -fill both -expand 1
    # Left: filter, table and the selected name's uses, one above the other.
    ttk::panedwindow .pw.left -orient vertical
    .pw.left add [build_table .pw.left.top] -weight 3
    .pw.left add [build_uses .pw.left.uses] -weight 1
    .pw add .pw.left -weight 2
    # Right: the texts, and the diagnostics below them.
    ttk::panedwindow .pw.right -orient vertical
    .pw.right add [build_texts .pw.right.nb] -weight 3
    .pw.right add [build_diagnostics .pw.right.diags] -weight 1
    .pw add .pw.right -weight 3
    .main add .pw -weight 3
    .main add [build_sim .sim] -weight 2

    bind . <Control-o> ecview::choose
    bind . <Control-r> ecview::reload
    bind . <F5> ecview::reload
    bind . <Control-s> {ecview::choose_save lustre}
    bind . <Control-q> exit
    bind . <Control-f> {focus [ecview::widget filter]}
    bind . <Control-e> {focus [ecview::widget expr]}
    bind . <Alt-Left> ecview::back
    bind . <F6> ecview::sim_reset
    bind . <F7> ecview::sim_step
    bind . <F8> ecview::sim_run
    bind . <F9> ecview::sim_auto
    foreach key {Escape Control-c Pause} { bind . <$key> +ecview::sim_pause }
    bind . <Control-l> {ecview::lane_add [ecview::selected]}
    # Ctrl-C in the terminal stops a run (and ends the viewer when none is on).
    sigint ecview::interrupt
    bind .pw <Configure> ecview::place_sashes
    # Errors of event scripts go to the status line, never to a dialog.
    interp bgerror {} ecview::background_error
}

proc ecview::build_menu {} {
    menu .menu
    menu .menu.file -tearoff 0
    .menu add cascade -label File -underline 0 -menu .menu.file
    .menu.file add command -label Open... -accelerator Ctrl+O -command ecview::choose
    .menu.file add command -label Reload -accelerator Ctrl+R -command ecview::reload
    .menu.file add command -label "Save Lustre as..." -accelerator Ctrl+S \
        -command {ecview::choose_save lustre}
    .menu.file add command -label "Save ec as..." -command {ecview::choose_save ec}
    .menu.file add separator
    .menu.file add command -label Quit -accelerator Ctrl+Q -command exit
    menu .menu.sim -tearoff 0
    .menu add cascade -label Simulation -underline 0 -menu .menu.sim
    foreach {label key command} {
        Reset F6 ecview::sim_reset Step F7 ecview::sim_step Run F8 ecview::sim_run
        Auto F9 ecview::sim_auto Pause Esc ecview::sim_pause
    } {
        .menu.sim add command -label $label -accelerator $key -command $command
    }
    .menu.sim add separator
    .menu.sim add command -label "Watch the selected variable" -accelerator Ctrl+L \
        -command {ecview::lane_add [ecview::selected]}
    .menu.sim add command -label "Load inputs and play..." -command ecview::choose_inputs
    foreach format {CSV RIF VCD} {
        .menu.sim add command -label "Save trace as $format..." \
            -command [list ecview::choose_trace [string tolower $format]]
    }
    . configure -menu .menu
}

# The status line: the message, the progress of background work (shown
# only while there is some, see busy) and the counts.
proc ecview::build_status {f} {
    variable W
    ttk::frame $f
    set W(status) [ttk::label $f.msg -textvariable ecview::status -anchor w]
    set W(counts) [ttk::label $f.counts -textvariable ecview::counts -anchor e]
    set W(progress) [ttk::progressbar $f.bar -length 120 -maximum 100 \
                         -variable ecview::progress]
    # The message has the first claim on the width.
    pack $f.msg -side left -padx 4
    pack $f.counts -side right -padx 8
}

proc ecview::background_error {message options} { say $message 1 }

# The sashes, once the window has its size: the program's panes take two
# thirds of the height and the simulation pane the rest; the table takes
# about a third of the width, the texts two thirds of their pane.
proc ecview::place_sashes {} {
    bind .pw <Configure> {}
    update idletasks
    .main sashpos 0 [expr {[winfo height .main] * 64 / 100}]
    update idletasks
    .pw.right sashpos 0 [expr {[winfo height .pw.right] * 64 / 100}]
    .pw.left sashpos 0 [expr {[winfo height .pw.left] * 64 / 100}]
    widen_table
}

# The table's pane gets the width its columns need, from a third up to half
# of the window; the name column, the one that stretches, takes what the
# pane has beyond the others and grows with it.
proc ecview::widen_table {} {
    variable W
    set need 24
    foreach c [$W(vars) cget -columns] { incr need [$W(vars) column $c -width] }
    set total [winfo width .pw]
    if {$total < 100} return
    .pw sashpos 0 [expr {max($total * 36 / 100, min($total / 2, $need))}]
}
