// Test helper of the tool tests: damages a file in place.
//   damage FILE OFFSET HEXBYTES   overwrites bytes at OFFSET (e.g. 7fffff00)
//   damage FILE truncate SIZE     cuts the file to SIZE bytes
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: damage FILE OFFSET HEXBYTES | damage FILE truncate SIZE\n");
        return 2;
    }
    const std::string file = argv[1];
    if (std::string(argv[2]) == "truncate") return truncate(file.c_str(), std::atol(argv[3])) == 0 ? 0 : 1;
    std::FILE* f = std::fopen(file.c_str(), "r+b");
    if (!f || std::fseek(f, std::atol(argv[2]), SEEK_SET) != 0) return 1;
    const std::string hex = argv[3];
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int byte = static_cast<int>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
        if (std::fputc(byte, f) == EOF) return 1;
    }
    return std::fclose(f) == 0 ? 0 : 1;
}
