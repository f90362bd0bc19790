// Pieces of the log handling that tests reach directly.
#pragma once
#include <wchar.h>

// The rotation for a given date ("MM/DD/YY"): on a new date the previous error log is deleted,
// the error log takes its name, TruncDateErr becomes the date and the settings are written.
// Returns true when it rotated.
bool rotate_error_log_for(const wchar_t* today);
