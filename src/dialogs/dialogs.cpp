// The data-entry dialog, the macro dialog, the colour chooser, and the command-list edits.
#include "dialogs/dialogs.h"

#include <commdlg.h>

#include "app/app.h"
#include "app/commands.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs_text.h"
#include "settings/settings.h"

wchar_t shared_edit_buffer[EDIT_BUFFER_CHARS];
HWND current_dialog;

INT_PTR dialog_common_message(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) != SC_CLOSE) return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY:
        current_dialog = NULL;
        // The focus rule of Main then puts the focus back on the input line.
        if (Main) {
            SetForegroundWindow(Main);
            PostMessageW(Main, WM_SETFOCUS, 0, 0);
        }
        return FALSE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        // Left unhandled, so the system's own brush paints: Main's colours are not meant here.
        SetTextColor((HDC)wparam, RGB(0, 0, 0));
        SetBkColor((HDC)wparam, GetSysColor(COLOR_BTNFACE));
        return FALSE;
    }
    return FALSE;
}

static INT_PTR CALLBACK data_entry_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        current_dialog = dialog;
        const wchar_t* prompt = (const wchar_t*)lparam;
        if (prompt) SetDlgItemTextW(dialog, IDC_EDITFLD_PROMPT, prompt);
        if (shared_edit_buffer[0]) SetDlgItemTextW(dialog, IDC_EDITFLD_VALUE, shared_edit_buffer);
        SetFocus(GetDlgItem(dialog, IDC_EDITFLD_VALUE));
        shared_edit_buffer[0] = 0;
        return FALSE;   // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            if (!GetDlgItemTextW(dialog, IDC_EDITFLD_VALUE, shared_edit_buffer, EDIT_BUFFER_CHARS))
                shared_edit_buffer[0] = 0;
            shared_edit_buffer[EDIT_BUFFER_CHARS - 1] = 0;
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default: return dialog_common_message(dialog, message, wparam, lparam);
    }
}

bool data_entry_dialog(const wchar_t* prompt) {
    shared_edit_buffer[EDIT_BUFFER_CHARS - 1] = 0;
    INT_PTR result = DialogBoxParamW(instance, L"TAVRO_EDITFLD", Main, data_entry_proc, (LPARAM)prompt);
    if (result != 1) {
        shared_edit_buffer[0] = 0;
        return false;
    }
    return true;
}

COLORREF choose_colour(HWND owner, COLORREF current) {
    unsigned long greys[CUSTOM_COLOURS];
    grey_custom_colours(greys);
    COLORREF custom[CUSTOM_COLOURS];
    for (int i = 0; i < CUSTOM_COLOURS; i++) custom[i] = (COLORREF)greys[i];
    CHOOSECOLORW cc = {sizeof cc, owner, NULL, current, custom, CC_RGBINIT, 0, NULL, NULL};
    if (!ChooseColorW(&cc)) return (COLORREF)-1;
    return cc.rgbResult;
}

void edit_command_list(int command_id) {
    wchar_t* list;
    const wchar_t* prompt;
    switch (command_id) {
    case CMD_EDIT_CMD_C:
        list = CmdAndQuit;
        prompt = L"&Commands to run in separate cmd /c";
        break;
    case CMD_EDIT_CMD_K:
        list = KeepCmd;
        prompt = L"&Commands to run in separate cmd /k";
        break;
    case CMD_EDIT_BYPASS:
        list = NoCmd;
        prompt = L"&Commands to be run immediately, bypassing cmd";
        break;
    default:
        return;
    }
    // The file may have been changed by hand or by another instance since it was read.
    read_command_file();
    lstrcpynW(shared_edit_buffer, command_list_text(list), EDIT_BUFFER_CHARS);
    if (!data_entry_dialog(prompt)) return;
    set_command_list(list, shared_edit_buffer);
    write_command_file();
}

// Rows of the macro dialog, read while it is open; static for its size.
static wchar_t macro_row_text[MACRO_ROWS][2][MACRO_BOX_CHARS];

static bool add_to_macro_store(void*, const wchar_t* name, const wchar_t* expansion) {
    return add_macro(name, expansion);
}

static void store_macro_dialog_rows(HWND dialog) {
    MacroRow rows[MACRO_ROWS];
    for (int r = 0; r < MACRO_ROWS; r++) {
        for (int box = 0; box < 2; box++) {
            wchar_t* text = macro_row_text[r][box];
            if (!GetDlgItemTextW(dialog, IDC_MACRO_NAME_FIRST + 2 * r + box, text, MACRO_BOX_CHARS)) text[0] = 0;
        }
        rows[r].name = macro_row_text[r][0];
        rows[r].expansion = macro_row_text[r][1];
    }
    clear_macros();
    wchar_t dropped[DROPPED_NAMES_CHARS];
    store_macro_rows(rows, MACRO_ROWS, add_to_macro_store, NULL, dropped, DROPPED_NAMES_CHARS);
    if (dropped[0]) {
        // Those that fit are kept; the user learns which ones are gone.
        wchar_t text[DROPPED_NAMES_CHARS + 200];
        _snwprintf(text, DROPPED_NAMES_CHARS + 199,
                   L"These macros could not be stored and were dropped (the macros share room for %d "
                   L"characters, and a name may not hold a tab):\n\n%s",
                   MACRO_POOL_CHARS, dropped);
        text[DROPPED_NAMES_CHARS + 199] = 0;
        MessageBoxW(dialog, text, L"Macros", MB_OK | MB_ICONERROR);
    }
}

static const wchar_t macro_help_text[] =
    L"In a box in the left hand column, enter a 'command' you will type; in the corresponding right hand box, "
    L"enter what the 'commnad' will expand to.\n\nYou can use %t and the tabwidth will be substituted; you can "
    L"use %c and the number of columns will be substituted. You must use %% for a % - just like in printf()."
    L"\n\nClick OK. Type your 'command' and the substituted expansion will replace the'command' and it will be "
    L"run.\n\nExample:\t[ls] [ls.exe  -T%t -C -w%c]";

static INT_PTR CALLBACK macro_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        current_dialog = dialog;
        int count = macro_count();
        for (int k = 0; k < count && k < MACRO_ROWS; k++) {
            SetDlgItemTextW(dialog, IDC_MACRO_NAME_FIRST + 2 * k, macro_name(k));
            SetDlgItemTextW(dialog, IDC_MACRO_EXPANSION_FIRST + 2 * k, macro_expansion(k));
        }
        SetFocus(GetDlgItem(dialog, IDC_MACRO_NAME_FIRST));
        return FALSE;   // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            store_macro_dialog_rows(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_MACRO_HELP:
            message_box_with_program_icon(dialog, macro_help_text, L"Macros", MB_OK);
            return TRUE;
        }
        return FALSE;
    default: return dialog_common_message(dialog, message, wparam, lparam);
    }
}

void edit_macros() {
    read_command_file();
    if (!macro_store_exists() && !create_macro_store()) return;
    if (DialogBoxParamW(instance, L"TAVRO_MACROS", Main, macro_proc, 0) == 1) write_command_file();
}
