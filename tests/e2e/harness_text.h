// Text helpers of the end-to-end harness: building the settings file and searching the
// output pane's text. No windows here, so they compile and can be checked anywhere.
#pragma once
#include <string>
#include <vector>

namespace e2e {

// What the harness writes into the settings file beside the program under test.
struct SettingsText {
    std::wstring app;           // App: the slave's command line; empty: no App key
    bool with_serial = false;   // write VolSerialNbr at all
    int serial = 0;             // VolSerialNbr, the volume's serial number read as a signed number
    int left = 0, top = 0, width = 800, height = 600;
    std::wstring font;          // Name in [Fonts]; empty: no [Fonts] section
    int font_size = 0;          // Size in [Fonts]; 0: not written
    std::string extra;          // appended as it is ("\n" ends a line; written as CR LF)
};

// The file's bytes: 8-bit text, CR LF line ends, sections [Window], [Fonts], [Misc].
std::string settings_file_text(const SettingsText& settings);

// Characters 0 to 255 become one byte each, as the settings file stores them; others become '?'.
std::string to_8bit(const std::wstring& text);
std::string to_utf8(const std::wstring& text);

// CR LF, a lone CR and a lone LF all end a line; the text after the last end is a line too.
std::vector<std::wstring> split_lines(const std::wstring& text);
bool has_line(const std::wstring& text, const std::wstring& line);
// Non-overlapping occurrences, left to right.
size_t count_occurrences(const std::wstring& text, const std::wstring& needle);
// The rest of the line that starts after the first occurrence of needle; empty when not found.
std::wstring rest_of_line_after(const std::wstring& text, const std::wstring& needle);
// The text before the first occurrence of needle; the whole text when not found.
std::wstring text_before(const std::wstring& text, const std::wstring& needle);
// Lines that hold more than blanks.
size_t count_nonblank_lines(const std::wstring& text);

bool ends_with(const std::wstring& text, const std::wstring& tail);
std::wstring lower_ascii(std::wstring text);
// The prompt the slave shows in a directory once it has been sent "prompt $Q$Q$G$S$p$g$s".
std::wstring prompt_for(const std::wstring& directory);

}  // namespace e2e
