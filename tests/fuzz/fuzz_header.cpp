// The executable-header check on the bytes of a file: nothing outside them may be read.
#include "fuzz_text.h"
#include "input/lookup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A block of exactly the file's size, so a read past its end is caught.
    std::vector<unsigned char> bytes(data, data + size);
    int subsystem = image_subsystem_of_bytes(bytes.data(), bytes.size());
    FUZZ_CHECK(subsystem == IMAGE_NOT_EXECUTABLE || (subsystem >= 0 && subsystem <= 0xFFFF));
    if (size < 0x40) FUZZ_CHECK(subsystem == IMAGE_NOT_EXECUTABLE);
    return 0;
}
