#include "harness_text.h"

namespace e2e {

static void add_line(std::string* out, const std::string& line) {
    out->append(line);
    out->append("\r\n");
}

std::string settings_file_text(const SettingsText& s) {
    std::string out;
    add_line(&out, "[Window]");
    add_line(&out, "Top=" + std::to_string(s.top));
    add_line(&out, "Height=" + std::to_string(s.height));
    add_line(&out, "Left=" + std::to_string(s.left));
    add_line(&out, "Width=" + std::to_string(s.width));
    if (!s.font.empty() || s.font_size) {
        add_line(&out, "[Fonts]");
        if (!s.font.empty()) add_line(&out, "Name=" + to_8bit(s.font));
        if (s.font_size) add_line(&out, "Size=" + std::to_string(s.font_size));
    }
    add_line(&out, "[Misc]");
    if (!s.app.empty()) add_line(&out, "App=" + to_8bit(s.app));
    if (s.with_serial) add_line(&out, "VolSerialNbr=" + std::to_string(s.serial));
    // The extra lines keep their own line ends, turned into CR LF.
    std::string line;
    for (char c : s.extra) {
        if (c == '\r') continue;
        if (c == '\n') {
            add_line(&out, line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) add_line(&out, line);
    return out;
}

std::string to_8bit(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        unsigned long code = (unsigned long)c;
        out.push_back(code <= 255 ? (char)(unsigned char)code : '?');
    }
    return out;
}

std::string to_utf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned long c = (unsigned long)text[i];
        // A UTF-16 surrogate pair makes one code point; a lone surrogate becomes U+FFFD.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            unsigned long low = (unsigned long)text[i + 1];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i++;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        if (c < 0x80) {
            out.push_back((char)c);
        } else if (c < 0x800) {
            out.push_back((char)(0xC0 | (c >> 6)));
            out.push_back((char)(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back((char)(0xE0 | (c >> 12)));
            out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
            out.push_back((char)(0x80 | (c & 0x3F)));
        } else {
            out.push_back((char)(0xF0 | (c >> 18)));
            out.push_back((char)(0x80 | ((c >> 12) & 0x3F)));
            out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
            out.push_back((char)(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::vector<std::wstring> split_lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring line;
    for (size_t i = 0; i < text.size(); i++) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            lines.push_back(line);
            line.clear();
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') i++;
        } else {
            line.push_back(c);
        }
    }
    lines.push_back(line);
    return lines;
}

bool has_line(const std::wstring& text, const std::wstring& line) {
    for (const std::wstring& l : split_lines(text))
        if (l == line) return true;
    return false;
}

size_t count_occurrences(const std::wstring& text, const std::wstring& needle) {
    if (needle.empty()) return 0;
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + needle.size())) n++;
    return n;
}

std::wstring rest_of_line_after(const std::wstring& text, const std::wstring& needle) {
    size_t at = text.find(needle);
    if (at == std::wstring::npos) return std::wstring();
    size_t start = at + needle.size();
    size_t end = text.find_first_of(L"\r\n", start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::wstring text_before(const std::wstring& text, const std::wstring& needle) {
    size_t at = text.find(needle);
    return at == std::wstring::npos ? text : text.substr(0, at);
}

size_t count_nonblank_lines(const std::wstring& text) {
    size_t n = 0;
    for (const std::wstring& l : split_lines(text))
        for (wchar_t c : l)
            if ((unsigned long)c > 32) {
                n++;
                break;
            }
    return n;
}

bool ends_with(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring lower_ascii(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = (wchar_t)(c - L'A' + L'a');
    return text;
}

std::wstring prompt_for(const std::wstring& directory) {
    return L"==> " + directory + L"> ";
}

}  // namespace e2e
