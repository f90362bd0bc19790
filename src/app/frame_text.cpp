#include "app/frame_text.h"

void copy_text(wchar_t* dst, int cap, const wchar_t* src) {
    if (cap <= 0) return;
    int i = 0;
    for (; i < cap - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
}

void append_text(wchar_t* dst, int cap, const wchar_t* src) {
    int n = 0;
    while (n < cap && dst[n]) n++;
    if (n >= cap) return;
    copy_text(dst + n, cap - n, src);
}

static wchar_t lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? (wchar_t)(c + 32) : c; }

void parse_command_line(int argc, const wchar_t* const* argv,
                        wchar_t* instance_name, wchar_t* startup_command) {
    instance_name[0] = 0;
    startup_command[0] = 0;
    bool rest_is_command = false;
    for (int i = 1; i < argc; i++) {
        const wchar_t* arg = argv[i];
        if (rest_is_command || (arg[0] != L'-' && arg[0] != L'/')) {
            rest_is_command = true;
            append_text(startup_command, FRAME_STARTUP_CAP, arg);
            append_text(startup_command, FRAME_STARTUP_CAP, L" ");
            continue;
        }
        wchar_t option = lower(arg[1]);
        if (option == L'i') {
            // "-i" as the last argument names nothing; the instance stays empty.
            if (i + 1 < argc) copy_text(instance_name, FRAME_INSTANCE_CAP, argv[++i]);
        } else if (option == L'k') {
            rest_is_command = true;
        }
    }
}

void builtin_file_names(DerivedNames* n) {
    copy_text(n->settings, FRAME_NAME_CAP, L"tavro.ini");
    copy_text(n->command, FRAME_NAME_CAP, L"tavro.ing");
    copy_text(n->output_log, FRAME_NAME_CAP, L"tavro.log");
    copy_text(n->error_log, FRAME_NAME_CAP, L"tavro.err");
    copy_text(n->previous_error_log, FRAME_NAME_CAP, L"tavro.ero");
    copy_text(n->help_page, FRAME_NAME_CAP, L"tavro.html");
    copy_text(n->env_batch, FRAME_NAME_CAP, L"tavroenv.bat");
    copy_text(n->env_data, FRAME_NAME_CAP, L"tavroenv.dat");
}

static void name_from(wchar_t* dst, const wchar_t* base, const wchar_t* instance, const wchar_t* suffix) {
    copy_text(dst, FRAME_NAME_CAP, base);
    append_text(dst, FRAME_NAME_CAP, instance);
    append_text(dst, FRAME_NAME_CAP, suffix);
}

void derive_file_names(const wchar_t* exe_path, const wchar_t* instance, DerivedNames* n) {
    wchar_t base[FRAME_PATH_MAX + 1];
    copy_text(base, FRAME_PATH_MAX + 1, exe_path);
    // The cut is at the last "." of the whole path, even one in a directory name.
    wchar_t* dot = wcsrchr(base, L'.');
    if (dot) *dot = 0;
    name_from(n->settings, base, instance, L".ini");
    name_from(n->command, base, L"", L".ing");
    name_from(n->output_log, base, instance, L".log");
    name_from(n->error_log, base, instance, L".err");
    copy_text(n->previous_error_log, FRAME_NAME_CAP, n->error_log);
    size_t len = wcslen(n->previous_error_log);
    if (len) n->previous_error_log[len - 1] = L'o';
    name_from(n->help_page, base, L"", L".html");
    name_from(n->env_batch, base, L"", L"Env.bat");
    name_from(n->env_data, base, L"", L"Env.dat");
}

void grid_size(int client_width, int client_height, bool scroll_bar_shown, int scroll_bar_width,
               int cell_width, int cell_height, int* columns, int* lines) {
    int available = client_width - 2;
    if (!scroll_bar_shown) available -= scroll_bar_width;
    *columns = cell_width > 0 ? available / cell_width : 0;
    *lines = cell_height > 0 ? (client_height - 7) / cell_height : 0;
}

static int divide_rounded(long long value, long long by) {
    return (int)(value >= 0 ? (value + by / 2) / by : -((-value + by / 2) / by));
}

int scale_for_dpi(int value, int dpi) { return divide_rounded((long long)value * (dpi > 0 ? dpi : 96), 96); }
int unscale_for_dpi(int value, int dpi) { return divide_rounded((long long)value * 96, dpi > 0 ? dpi : 96); }

void child_layout(int w, int h, int cw, int ch, int dpi, ChildRect* text, ChildRect* prom, ChildRect* edit) {
    const int m2 = scale_for_dpi(2, dpi), m4 = scale_for_dpi(4, dpi), m5 = scale_for_dpi(5, dpi);
    *text = {m2, m2, w - m2, h - ch - m5};
    *prom = {m2, h - ch - m4, cw, ch + m2};
    *edit = {cw + m2, h - ch - m4, w - cw - m4, ch + m2};
}

int pane_tab_stops(int cell_width, int tab_width, int logpixels, long* stops, int capacity) {
    if (cell_width <= 0 || tab_width <= 0 || logpixels <= 0) return 0;
    const long long position_max = 0xFFFFFF;
    int n = 0;
    for (; n < capacity; n++) {
        // Each stop from its column, so that rounding does not add up along the line.
        long long pixels = (long long)(n + 1) * tab_width * cell_width;
        long long twips = (pixels * 1440 + logpixels / 2) / logpixels;
        if (twips > position_max) break;
        stops[n] = (long)twips;
    }
    return n;
}

void startup_placement(int* left, int* top, int* height, int width, int full_screen_width, int virtual_left,
                       int virtual_top, int virtual_width, int max_window_height) {
    const int right = virtual_left + virtual_width;
    if (*left >= full_screen_width - 10 && *left >= right - 10) {
        *left -= full_screen_width;
        if (*left < virtual_left) *left = virtual_left;
    } else if (*left + width <= virtual_left + 10) {
        *left = virtual_left;
    }
    if (*top < virtual_top) *top = virtual_top;
    if (*height > max_window_height) {
        *top = 0;
        *height = max_window_height;
    }
}
