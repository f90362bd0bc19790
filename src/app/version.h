// The program's version, the one place it is written: the code, the resource script (the version
// record), the manifest (by CMake) and the download's name (tools/dist.sh) all take it from here.
// Plain definitions only: the resource compiler reads this file too.
#pragma once

#define TAVRO_VERSION_MAJOR 2
#define TAVRO_VERSION_MINOR 2

#define TAVRO_QUOTED_(x) #x
#define TAVRO_QUOTED(x) TAVRO_QUOTED_(x)
// "2.2"
#define TAVRO_VERSION_TEXT TAVRO_QUOTED(TAVRO_VERSION_MAJOR) "." TAVRO_QUOTED(TAVRO_VERSION_MINOR)
#define TAVRO_VERSION_WIDE L"" TAVRO_VERSION_TEXT
