// Builds one of the discs of support/Conventions.h (laid out as recorders
// of other makers leave them) for the tool's transcript.
// Usage: tool_test_conventions NAME DATA_DIR DISC_DIR
#include <cstdio>
#include <filesystem>

#include "support/Conventions.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tool_test_conventions NAME DATA_DIR DISC_DIR\n");
        return 2;
    }
    const conventions::Fixture* fixture = conventions::Find(argv[1]);
    if (!fixture) {
        std::fprintf(stderr, "tool_test_conventions: there is no fixture %s.\n", argv[1]);
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[3], ec);
    if (ec || conventions::Build(*fixture, argv[2], argv[3]).bytes.empty()) {
        std::fprintf(stderr, "tool_test_conventions: %s could not be built in %s.\n", argv[1], argv[3]);
        return 1;
    }
    return 0;
}
