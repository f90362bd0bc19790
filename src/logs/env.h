// Environment sync: applying the slave's environment listing to the program's own environment.
#pragma once
#include <stdio.h>

// Reads the listing (opened in text mode) to its end and applies every line; returns how many
// variables were set. A line too long to hold is dropped whole, never set cut short: the names
// of such lines go into dropped (capacity characters, joined by ", "; may be null).
int apply_environment_listing(FILE* listing, wchar_t* dropped = NULL, int dropped_capacity = 0);
