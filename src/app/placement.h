// Window size and placement.
#pragma once

void apply_startup_placement();   // before Main is created
void window_size_command();       // command 57: the TAVRO_SETSIZE dialog and its results
void toggle_monitor();            // command 58, Shift+Ctrl+X
void toggle_right_left();         // command 59, Shift+Ctrl+Y
