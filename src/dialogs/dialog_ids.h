// Control ids of the dialog templates. Shared by the resource script, so plain #defines only.
#pragma once

// TAVRO_EDITFLD
#define IDC_EDITFLD_VALUE 101
#define IDC_EDITFLD_PROMPT 141

// TAVRO_MACROS: row r has its name box at 101 + 2r and its expansion box at 102 + 2r.
#define IDC_MACRO_NAME_FIRST 101
#define IDC_MACRO_EXPANSION_FIRST 102
#define IDC_MACRO_HELP 9

// TAVRO_SETSIZE; the four placement buttons end the dialog with their own ids.
#define IDC_SETSIZE_COLUMNS 101
#define IDC_SETSIZE_LINES 102
#define IDC_SETSIZE_LEFT_HALF 191
#define IDC_SETSIZE_RIGHT_HALF 192
#define IDC_SETSIZE_MOVE_LEFT 193
#define IDC_SETSIZE_MOVE_RIGHT 194
