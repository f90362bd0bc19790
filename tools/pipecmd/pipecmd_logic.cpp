#include "pipecmd_logic.h"

#include <string.h>
#include <wchar.h>

// ---- Line assembly -------------------------------------------------------

void line_reset(LineAssembler* la) {
  la->len = 0;
  la->bytes[0] = 0;
  la->too_long = false;
  la->complete = false;
}

size_t line_feed(LineAssembler* la, const char* data, size_t n) {
  size_t i = 0;
  while (i < n && !la->complete) {
    char c = data[i++];
    if (c == '\n') {
      la->complete = true;
    } else if (c == '\r') {
      // dropped: CR LF and a lone LF end a line alike
    } else if (la->len < PIPECMD_LINE_MAX) {
      la->bytes[la->len++] = c;
      la->bytes[la->len] = 0;
    } else {
      la->too_long = true;
    }
  }
  return i;
}

bool line_finish(LineAssembler* la) {
  if (la->len > 0 || la->too_long) la->complete = true;
  return la->complete;
}

// ---- Bounded output --------------------------------------------------------

namespace {

// Appends to a fixed buffer, always terminated, remembering a cut.
struct Out {
  wchar_t* buf;
  size_t cap;
  size_t len;
  bool cut;
};

void out_init(Out* o, wchar_t* buf, size_t cap) {
  o->buf = buf;
  o->cap = cap;
  o->len = 0;
  o->cut = false;
  if (cap > 0) buf[0] = 0;
}

void out_char(Out* o, wchar_t c) {
  if (o->len + 1 < o->cap) {
    o->buf[o->len++] = c;
    o->buf[o->len] = 0;
  } else {
    o->cut = true;
  }
}

void out_text(Out* o, const wchar_t* s, size_t n) {
  for (size_t i = 0; i < n; i++) out_char(o, s[i]);
}

}  // namespace

// ---- Environment references ----------------------------------------------

bool expand_vars(const wchar_t* in, wchar_t* out, size_t cap, VarLookup lookup,
                 void* ctx) {
  Out o;
  out_init(&o, out, cap);
  if (cap == 0) return false;
  size_t i = 0;
  while (in[i]) {
    if (in[i] != L'%') {
      out_char(&o, in[i++]);
      continue;
    }
    size_t j = i + 1;
    while (in[j] && in[j] != L'%') j++;
    if (!in[j]) {  // unterminated: the rest stays as written
      out_text(&o, in + i, wcslen(in + i));
      break;
    }
    size_t name_len = j - i - 1;
    long len = -1;
    if (name_len > 0 && !o.cut) {
      len = lookup(ctx, in + i + 1, name_len, o.buf + o.len, o.cap - o.len);
      if (len >= 0) {
        if ((size_t)len >= o.cap - o.len) {
          o.buf[o.len] = 0;  // what was written is not the whole value
          o.cut = true;
        } else {
          o.len += (size_t)len;
          o.buf[o.len] = 0;
        }
      } else {
        o.buf[o.len] = 0;  // the lookup may have written into the free space
      }
    }
    if (len >= 0) {
      i = j + 1;
    } else {
      // Undefined: keep "%NAME" and let the closing % start a new reference.
      out_text(&o, in + i, name_len + 1);
      i = j;
    }
  }
  return !o.cut;
}

// ---- Prompt ----------------------------------------------------------------

const wchar_t kDefaultPrompt[] = L"$P$G";

void expand_prompt(const wchar_t* fmt, const wchar_t* cwd, wchar_t* out,
                   size_t cap) {
  Out o;
  out_init(&o, out, cap);
  for (size_t i = 0; fmt[i]; i++) {
    if (fmt[i] != L'$') {
      out_char(&o, fmt[i]);
      continue;
    }
    if (!fmt[i + 1]) break;
    switch (upper_ascii(fmt[++i])) {
      case L'Q': out_char(&o, L'='); break;
      case L'G': out_char(&o, L'>'); break;
      case L'L': out_char(&o, L'<'); break;
      case L'B': out_char(&o, L'|'); break;
      case L'S': out_char(&o, L' '); break;
      case L'A': out_char(&o, L'&'); break;
      case L'C': out_char(&o, L'('); break;
      case L'F': out_char(&o, L')'); break;
      case L'E': out_char(&o, (wchar_t)27); break;
      case L'H': out_char(&o, (wchar_t)8); break;
      case L'$': out_char(&o, L'$'); break;
      case L'_': out_text(&o, L"\r\n", 2); break;
      case L'P': out_text(&o, cwd, wcslen(cwd)); break;
      case L'N':
        if (cwd[0]) out_char(&o, cwd[0]);
        break;
      default: break;
    }
  }
}

// ---- Command parsing -------------------------------------------------------

bool is_blank_char(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t upper_ascii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? (wchar_t)(c - L'a' + L'A') : c;
}

static bool is_letter(wchar_t c) {
  c = upper_ascii(c);
  return c >= L'A' && c <= L'Z';
}

bool equal_nocase(const wchar_t* a, const wchar_t* b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
    if (!a[i]) return true;
  }
  return true;
}

static const wchar_t* skip_blanks(const wchar_t* s) {
  while (is_blank_char(*s)) s++;
  return s;
}

const wchar_t* skip_line_start(const wchar_t* line) {
  while (is_blank_char(*line) || *line == L'@') line++;
  return line;
}

const wchar_t* match_builtin(const wchar_t* line, const wchar_t* name) {
  size_t n = wcslen(name);
  if (!equal_nocase(line, name, n)) return nullptr;
  wchar_t c = line[n];
  if (c == 0 || is_blank_char(c) || wcschr(L".\\/:;,=(+[]", c)) return line + n;
  return nullptr;
}

bool has_operators(const wchar_t* line) {
  bool quoted = false;
  for (; *line; line++) {
    if (*line == L'"') quoted = !quoted;
    else if (!quoted && wcschr(L"&|<>^", *line)) return true;
  }
  return false;
}

const wchar_t* start_arguments(const wchar_t* line) {
  line = skip_blanks(line);
  if (!equal_nocase(line, L"start", 5)) return nullptr;
  if (line[5] != 0 && !is_blank_char(line[5])) return nullptr;
  return skip_blanks(line + 5);
}

wchar_t drive_switch(const wchar_t* line) {
  line = skip_blanks(line);
  if (!is_letter(line[0]) || line[1] != L':') return 0;
  if (*skip_blanks(line + 2)) return 0;
  return upper_ascii(line[0]);
}

// Copies s without quotes and with trailing blanks cut; false when cut short.
static bool copy_unquoted(const wchar_t* s, wchar_t* out, size_t cap) {
  Out o;
  out_init(&o, out, cap);
  for (; *s; s++)
    if (*s != L'"') out_char(&o, *s);
  while (o.len > 0 && is_blank_char(o.buf[o.len - 1])) o.buf[--o.len] = 0;
  return !o.cut;
}

bool parse_cd(const wchar_t* args, CdRequest* req) {
  req->kind = CD_SHOW;
  req->switch_drive = false;
  req->drive = 0;
  const wchar_t* p = skip_blanks(args);
  if (p[0] == L'/' && upper_ascii(p[1]) == L'D' &&
      (p[2] == 0 || is_blank_char(p[2]) || p[2] == L'"')) {
    req->switch_drive = true;
    p = skip_blanks(p + 2);
  }
  if (!copy_unquoted(p, req->path, sizeof req->path / sizeof req->path[0]))
    return false;
  if (!req->path[0]) return true;
  if (!req->switch_drive && is_letter(req->path[0]) && req->path[1] == L':' &&
      !req->path[2]) {
    req->kind = CD_SHOW_DRIVE;
    req->drive = upper_ascii(req->path[0]);
    return true;
  }
  req->kind = CD_CHANGE;
  return true;
}

wchar_t path_drive(const wchar_t* path) {
  return (is_letter(path[0]) && path[1] == L':') ? upper_ascii(path[0]) : 0;
}

static void copy_bounded(const wchar_t* s, size_t n, wchar_t* out, size_t cap) {
  Out o;
  out_init(&o, out, cap);
  out_text(&o, s, n);
}

void parse_set(const wchar_t* args, SetRequest* req) {
  const size_t cap = sizeof req->name / sizeof req->name[0];
  req->name[0] = 0;
  req->value[0] = 0;
  const wchar_t* p = skip_blanks(args);
  if (!*p) {
    req->kind = SET_LIST;
    return;
  }
  if (*p == L'/') {
    req->kind = SET_OTHER;
    return;
  }
  // set "NAME=value" ignores whatever follows the last quote.
  const wchar_t* end = p + wcslen(p);
  if (*p == L'"') {
    p++;
    const wchar_t* last = wcsrchr(p, L'"');
    if (last) end = last;
  }
  const wchar_t* eq = p;
  while (eq < end && *eq != L'=') eq++;
  if (eq == end) {
    size_t n = (size_t)(end - p);
    while (n > 0 && is_blank_char(p[n - 1])) n--;
    req->kind = n ? SET_PREFIX : SET_LIST;
    copy_bounded(p, n, req->name, cap);
    return;
  }
  if (eq == p) {
    req->kind = SET_BAD;
    return;
  }
  req->kind = SET_ASSIGN;
  copy_bounded(p, (size_t)(eq - p), req->name, cap);
  copy_bounded(eq + 1, (size_t)(end - eq - 1), req->value, cap);
}

// A name ends at its first "=" after the first character (names of the
// per-drive variables start with one).
static wchar_t name_char(const wchar_t* entry, size_t i) {
  if (i > 0 && entry[i] == L'=') return 0;
  return entry[i];
}

bool env_entry_less(const wchar_t* a, const wchar_t* b) {
  for (size_t i = 0;; i++) {
    wchar_t ca = upper_ascii(name_char(a, i));
    wchar_t cb = upper_ascii(name_char(b, i));
    if (ca != cb) return ca < cb;
    if (!ca) return false;
  }
}

bool env_entry_has_prefix(const wchar_t* entry, const wchar_t* prefix) {
  for (size_t i = 0; prefix[i]; i++)
    if (upper_ascii(entry[i]) != upper_ascii(prefix[i])) return false;
  return true;
}

bool parse_tasklist_pid(const wchar_t* line, unsigned long* pid) {
  const wchar_t* p = match_builtin(skip_line_start(line), L"tasklist");
  if (!p) return false;
  for (; *p; p++) {
    if (!equal_nocase(p, L"pid eq ", 7)) continue;
    const wchar_t* d = skip_blanks(p + 7);
    if (*d < L'0' || *d > L'9') return false;
    unsigned long v = 0;
    for (; *d >= L'0' && *d <= L'9'; d++) {
      if (v > 429496728UL) return false;  // keeps v within 32 bits
      v = v * 10 + (unsigned long)(*d - L'0');
    }
    if (*d && *d != L'"' && !is_blank_char(*d)) return false;
    *pid = v;
    return true;
  }
  return false;
}

void format_task_line(const wchar_t* image, unsigned long pid, wchar_t* out,
                      size_t cap) {
  Out o;
  out_init(&o, out, cap);
  size_t n = wcslen(image);
  if (n > 25) n = 25;
  out_text(&o, image, n);
  for (; n < 25; n++) out_char(&o, L' ');
  wchar_t digits[12];
  size_t d = 0;
  do {
    digits[d++] = (wchar_t)(L'0' + pid % 10);
    pid /= 10;
  } while (pid && d < 11);
  for (size_t pad = d; pad < 9; pad++) out_char(&o, L' ');
  while (d > 0) out_char(&o, digits[--d]);
  out_text(&o, L"\r\n", 2);
}

EchoKind parse_echo(const wchar_t* args, const wchar_t** text) {
  *text = L"";
  if (!*args) return ECHO_STATE;
  const wchar_t* rest = args + 1;
  if (is_blank_char(args[0])) {
    const wchar_t* w = skip_blanks(rest);
    size_t n = wcslen(w);
    while (n > 0 && is_blank_char(w[n - 1])) n--;
    if (n == 0) return ECHO_STATE;
    if (n == 2 && equal_nocase(w, L"on", 2)) return ECHO_ON;
    if (n == 3 && equal_nocase(w, L"off", 3)) return ECHO_OFF;
  }
  *text = rest;
  return ECHO_TEXT;
}

bool parse_number(const wchar_t* s, unsigned long* value) {
  s = skip_blanks(s);
  if (*s < L'0' || *s > L'9') return false;
  unsigned long v = 0;
  for (; *s >= L'0' && *s <= L'9'; s++) {
    if (v > 429496728UL) return false;
    v = v * 10 + (unsigned long)(*s - L'0');
  }
  if (*skip_blanks(s)) return false;
  *value = v;
  return true;
}

// ---- Own command line ------------------------------------------------------

bool parse_invocation(const wchar_t* args, InvocationKind* kind,
                      wchar_t* command, size_t cap) {
  *kind = INVOKE_INTERACTIVE;
  if (cap == 0) return false;
  command[0] = 0;
  bool strip = false;
  const wchar_t* p = skip_blanks(args);
  while (*p == L'/') {
    if (equal_nocase(p, L"/more", 5) && (!p[5] || is_blank_char(p[5]))) {
      *kind = INVOKE_MORE;
      p = skip_blanks(p + 5);
      break;
    }
    wchar_t letter = upper_ascii(p[1]);
    if (letter == L'C' || letter == L'K') {
      *kind = letter == L'C' ? INVOKE_RUN_AND_EXIT : INVOKE_RUN_AND_STAY;
      p = skip_blanks(p + 2);
      break;
    }
    if (letter == L'S') strip = true;
    p++;
    while (*p && !is_blank_char(*p) && *p != L'/') p++;
    p = skip_blanks(p);
  }
  if (*kind == INVOKE_INTERACTIVE) return true;
  size_t n = wcslen(p);
  while (n > 0 && is_blank_char(p[n - 1])) n--;
  size_t quotes = 0;
  for (size_t i = 0; i < n; i++) quotes += p[i] == L'"';
  if (*kind != INVOKE_MORE && n > 0 && p[0] == L'"' && (strip || quotes != 2)) {
    size_t last = n - 1;
    while (last > 0 && p[last] != L'"') last--;
    Out o;
    out_init(&o, command, cap);
    out_text(&o, p + 1, last > 0 ? last - 1 : n - 1);
    if (last > 0) out_text(&o, p + last + 1, n - last - 1);
    return !o.cut;
  }
  Out o;
  out_init(&o, command, cap);
  out_text(&o, p, n);
  return !o.cut;
}

static bool is_more_word(const wchar_t* p, size_t* length);

bool drop_final_more(const wchar_t* line, wchar_t* out, size_t cap) {
  size_t bar = 0;
  bool quoted = false, found = false;
  for (size_t i = 0; line[i]; i++) {
    if (line[i] == L'"') quoted = !quoted;
    else if (!quoted && line[i] == L'|') bar = i, found = true;
  }
  if (!found || bar == 0 || line[bar - 1] == L'|') return false;
  const wchar_t* p = line + bar + 1;
  while (is_blank_char(*p)) p++;
  size_t length = 0;
  if (!is_more_word(p, &length)) return false;
  for (p += length; *p; p++)
    if (!is_blank_char(*p)) return false;
  size_t n = bar;
  while (n > 0 && is_blank_char(line[n - 1])) n--;
  if (n == 0 || n >= cap) return false;
  wmemcpy(out, line, n);
  out[n] = 0;
  return true;
}

static bool is_more_word(const wchar_t* p, size_t* length) {
  if (!equal_nocase(p, L"more", 4)) return false;
  size_t n = 4;
  if (equal_nocase(p + 4, L".com", 4) || equal_nocase(p + 4, L".exe", 4)) n = 8;
  wchar_t c = p[n];
  if (c && !is_blank_char(c) && !wcschr(L"<>|&)/", c)) return false;
  *length = n;
  return true;
}

bool replace_more(const wchar_t* line, const wchar_t* replacement, wchar_t* out,
                  size_t cap) {
  Out o;
  out_init(&o, out, cap);
  if (cap == 0) return false;
  bool quoted = false, command_start = true;
  for (size_t i = 0; line[i];) {
    wchar_t c = line[i];
    if (command_start && (is_blank_char(c) || c == L'@')) {
      out_char(&o, line[i++]);
      continue;
    }
    size_t length = 0;
    if (command_start && !quoted && is_more_word(line + i, &length)) {
      out_text(&o, replacement, wcslen(replacement));
      i += length;
      command_start = false;
      continue;
    }
    command_start = false;
    if (c == L'"') quoted = !quoted;
    else if (!quoted && (c == L'|' || c == L'&' || c == L'(')) command_start = true;
    out_char(&o, line[i++]);
  }
  return !o.cut;
}
