// `vrmangr copy`: a disc (a directory, a disc image or a drive, read
// without mounting) copied into a new directory of its four files. Every
// block is read once; a block the medium cannot give is written as zeros,
// the copy goes on 32 KB further (as recovery tools step past bad spots),
// and each unreadable range is named with the recordings it touches.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "disc_source.h"
#include "info.h"
#include "output.h"

namespace tool {
namespace {

constexpr size_t kChunk = 1 << 20;

// Copies one file of the source into out; unreadable stretches become zeros
// and go into *bad. False (sentence printed) on a write error or Ctrl-C.
bool CopyFile(DiscSource& source, const char* name, int64_t size, OutputFile& out, uint64_t* done, uint64_t total,
              std::vector<Unreadable>* bad) {
    std::vector<char> buffer(kChunk);
    for (uint64_t at = 0; at < static_cast<uint64_t>(size);) {
        if (Interrupted()) return false;
        const int64_t got = source.ReadAt(name, at, buffer.data(), buffer.size(), bad);
        if (got <= 0) return Fail(std::string(name) + " of " + source.What() + " ends early."), false;
        if (!out.Write(buffer.data(), static_cast<size_t>(got))) return false;
        at += static_cast<uint64_t>(got);
        *done += static_cast<uint64_t>(got);
        Progress(nullptr, 0, static_cast<DWORD>(*done >> 10), static_cast<DWORD>(total >> 10), 0);
    }
    return true;
}

// The programs whose recordings lie in bytes [start, end) of file, named.
std::string Touched(const DiscInfo& d, const Unreadable& u) {
    std::string names;
    for (const Program& p : d.programs) {
        const bool hit = std::any_of(p.cells.begin(), p.cells.end(), [&](const Cell& c) {
            return BaseName(c.s.szFileName) == u.file &&
                   static_cast<uint64_t>(c.s.llStartPos)<u.end&& static_cast<uint64_t>(c.s.llEndPos)> u.start;
        });
        if (hit) names += (names.empty() ? "" : ", ") + std::string("program ") + std::to_string(p.number);
    }
    return names.empty() ? "no recording" : names;
}

}  // namespace

int RunCopy(const Args& args) {
    std::vector<std::string> words, maps;
    int status = kOk;
    if (!ParseOptions(args, {{"--map", nullptr, "a ddrescue map file", &maps}}, &words, &status)) return status;
    if (words.size() != 2)
        return UsageError(args.command, "expects a disc (directory, image or drive) and a directory.");
    const std::string &from = words[0], &to = words[1];
    DiscSource source;
    if (!source.Open(from, maps.empty() ? "" : maps.back())) return kFailed;
    // A new directory only: nothing of a disc is written over.
    for (const char* name : kDiscFiles) {
        if (Exists(InDir(to, name))) {
            return Fail(to + " already holds " + name + "; copy writes a disc into a directory that holds none.");
        }
    }
    if (!IsDirectory(to) && mkdir(to.c_str(), 0777) != 0)
        return Fail(to + " is not a directory and cannot be made one: " + std::strerror(errno) + ".");
    // Never a file of the source disc, whatever the path says.
    const DiscFiles sourceFiles(source.Directory().empty() ? from : source.Directory());
    uint64_t total = 0, done = 0;
    for (const char* name : kDiscFiles) total += static_cast<uint64_t>(std::max<int64_t>(0, source.Size(name)));
    std::vector<Unreadable> bad;
    int copied = 0;
    for (const char* name : kDiscFiles) {
        const int64_t size = source.Size(name);
        if (size < 0) continue;
        OutputFile out;
        if (!out.Open(InDir(to, name), false, sourceFiles)) return kFailed;
        ProgressLabel(std::string("copying ") + name);
        const bool ok = CopyFile(source, name, size, out, &done, total, &bad);
        ProgressDone();
        if (!ok) {
            if (Interrupted()) {
                Fail("cancelled; " + std::string(name) + " was not written (" + std::to_string(copied) +
                     " files of the disc are in " + to + ").");
                return kInterrupted;
            }
            return kFailed;
        }
        if (!out.Commit()) return kFailed;
        ++copied;
    }
    if (!args.quiet) std::printf("%s: %d files copied from %s.\n", to.c_str(), copied, source.What().c_str());
    if (bad.empty()) return kOk;
    // What each unreadable range hits, as the copied disc describes it.
    DiscInfo d;
    Disc disc;
    if (disc.Open(to, Access::Read)) d = Describe(disc);
    for (const Unreadable& u : bad) {
        std::fprintf(stderr,
                     "vrmangr: bytes %llu..%llu of %s could not be read from %s; zeros stand in their place (%s).\n",
                     static_cast<unsigned long long>(u.start), static_cast<unsigned long long>(u.end), u.file.c_str(),
                     source.What().c_str(), Touched(d, u).c_str());
    }
    return kFailed;
}

}  // namespace tool
