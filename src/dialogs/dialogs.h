// The data-entry dialog, the macro dialog, the colour chooser, and the command-list edits.
#pragma once
#include <windows.h>

enum { EDIT_BUFFER_CHARS = 2047 };   // the dialog returns at most 2046 characters

extern wchar_t shared_edit_buffer[EDIT_BUFFER_CHARS];
extern HWND current_dialog;          // the open dialog; set on initialisation, cleared on destruction

// Shows TAVRO_EDITFLD with the prompt and shared_edit_buffer as its text; true on OK
// (the buffer then holds the entry). On Cancel or close the buffer is empty.
bool data_entry_dialog(const wchar_t* prompt);
// Colour chooser over sixteen greys; returns (COLORREF)-1 on cancel.
COLORREF choose_colour(HWND owner, COLORREF current);
// Commands 30, 31, 32: edit CmdAndQuit, KeepCmd or NoCmd.
void edit_command_list(int command_id);
// Command 35.
void edit_macros();

// What all of the program's dialogs do alike: the close command ends with 0; destruction
// clears current_dialog and hands the focus back to Main; the standard dialog colours rather
// than Main's. The procedure's answer: FALSE for any other message.
INT_PTR dialog_common_message(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
