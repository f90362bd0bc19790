// The characters that keys make in WM_CHAR, named once: Ctrl with a letter makes the letter's place
// in the alphabet. The menus send the same characters to the input line as their keys make.
// No system headers: the text logic uses these names too.
#pragma once

enum ControlChar : wchar_t {
    CHAR_CTRL_A = 1,           // select all
    CHAR_CTRL_C = 3,           // copy; with nothing selected, interrupt; with Shift, the code page
    CHAR_CTRL_D = 4,           // complete a folder name
    CHAR_CTRL_E = 5,           // environment sync
    CHAR_CTRL_F = 6,           // complete a file name
    CHAR_BACKSPACE = 8,        // also what Wine makes of Ctrl+Backspace
    CHAR_TAB = 9,
    CHAR_CTRL_K = 11,          // "start cmd /f:on /k "
    CHAR_ENTER = 13,
    CHAR_CTRL_O = 15,          // Open Selected Text
    CHAR_CTRL_Q = 17,          // "start cmd /c "
    CHAR_CTRL_R = 18,          // complete a program name
    CHAR_CTRL_S = 19,          // pause the output (Pause makes it too)
    CHAR_CTRL_V = 22,          // paste
    CHAR_CTRL_X = 24,          // with Shift, Toggle Monitor
    CHAR_CTRL_Y = 25,          // with Shift, Toggle Right/Left
    CHAR_ESCAPE = 27,
    CHAR_CTRL_BACKSLASH = 28,  // slashes to backslashes
    CHAR_DELETE = 127,         // what Windows makes of Ctrl+Backspace
};
