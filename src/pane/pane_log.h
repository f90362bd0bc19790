// The output-log mirror of a print: the text converted to the log's code page.
#pragma once
#include <windows.h>

typedef void (*LogSink)(const char* bytes, int count);

// Converts the text in slices that each fit the log buffer (PANE_LOG_BYTES - 1 bytes) and never
// split a character, and hands every slice's bytes to sink, so a long print is logged whole.
void write_text_to_log(const wchar_t* text, int length, UINT code_page, LogSink sink);
