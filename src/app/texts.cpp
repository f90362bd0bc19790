#include <wchar.h>
#include "app/texts.h"

const wchar_t PANE_NOTICE[] =
    L"Tavro - type commands in the line below; Ctrl+C copies, Ctrl+V pastes, F1 to F12 edit as in CMD.\r\n";

const wchar_t DISCLAIMER_TEXT[] =
    L"Tavro is provided \"as is\", without warranty of any kind, express or implied. You use it at your\n"
    L"own risk: its authors are not liable for any loss or damage that comes from using it.\n"
    L"Pressing Enter while Tavro has the focus means that you accept these terms; closing the\n"
    L"window declines them, and Tavro then saves no settings.";

const wchar_t FUNCTION_KEYS_TEXT[] =
    L"F1  = (same as CMD) Insert single char from previous command\n"
    L"F2  = (same as CMD) Insert chars from previous command up to next keystroke\n"
    L"F3  = (same as CMD) Insert previous command\n"
    L"F4  = (same as CMD) Delete chars up to next keystroke\n"
    L"F5  = Insert first word of previous command\n"
    L"F6  = Insert last word of previous command\n"
    L"F7  = (same as CMD) Menu of previous commands\n"
    L"F8  = (same as CMD) Cycle thru prev cmds that start with what has been typed\n"
    L"F9  = Move focus to the command line window\n"
    L"F10 = Standard Windows Menu Key\n"
    L"F11 = Full Screen toggle\n"
    L"F12 = Start piping output thru \"| more\"\n"
    L"Shift+F5 = Insert second word of previous command\n"
    L"Shift+F6 = Insert all except first word of previous command";

const wchar_t ABOUT_CLOSING[] =
    L"Tavro is free software, written and maintained by the Tavro developers. "
    L"It comes without warranty; see Help > Disclaimer.";

const wchar_t HELP_PAGE_ONLINE[] = L"https://tavro.dev/help/";
