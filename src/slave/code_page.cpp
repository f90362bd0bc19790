// The slave's code page: the CHCP line that tells it, which the reader follows after its echo.
#include "slave/slave.h"
#include "slave/reader.h"
#include "settings/settings.h"
#include <stdio.h>

void send_code_page_line() {
    char line[32];
    snprintf(line, sizeof line, "CHCP %d\r\n", slave_code_page);
    follow_code_page_at_echo(line, slave_code_page);
    send_to_slave(line);
}
