// Environment sync: applying the slave's environment listing to the program's own environment.
#pragma once
#include <stdio.h>

// Reads the listing (opened in text mode) to its end and applies every line; returns how many
// variables were set.
int apply_environment_listing(FILE* listing);
