// A scratch directory of one fuzzing process in memory-backed storage
// (/dev/shm when present), made on first use and removed at exit.
#ifndef VRMANGR_FUZZ_FUZZSCRATCH_H
#define VRMANGR_FUZZ_FUZZSCRATCH_H

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline const std::filesystem::path& FuzzScratch(const char* name) {
    static const std::filesystem::path dir = [name] {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
        std::filesystem::path d = base / (std::string("vrmangr-") + name + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(d, ec);
        static std::filesystem::path removeAtExit;
        removeAtExit = d;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return d;
    }();
    return dir;
}

#endif
