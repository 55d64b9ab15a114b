// DiscSource: a directory, or a UDF image or device read with libudfread.
#include "disc_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "cli.h"
#include "output.h"

#ifdef VRMANGR_HAVE_UDFREAD
#include <udfread/blockinput.h>
#include <udfread/udfread.h>
#endif

namespace tool {

const char* const kDiscFiles[4] = {kIfo, kBup, kMovieVro, kStillVro};

namespace {

constexpr uint64_t kBlock = 2048;

// Reads up to count blocks at byte offset `at` of fd: how many whole blocks
// came back before an error or the end; with lastShort, a short block at
// the end counts too (a file's last block), the rest of it zeros.
uint32_t ReadBlocksAt(int fd, uint64_t at, void* buf, uint32_t count, bool lastShort) {
    uint64_t done = 0;
    const uint64_t want = uint64_t{count} * kBlock;
    while (done < want) {
        const ssize_t n = pread(fd, static_cast<char*>(buf) + done, want - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    const uint64_t part = done % kBlock;
    if (!lastShort || part == 0) return static_cast<uint32_t>(done / kBlock);
    std::memset(static_cast<char*>(buf) + done, 0, kBlock - part);
    return static_cast<uint32_t>(done / kBlock + 1);
}

}  // namespace

#ifdef VRMANGR_HAVE_UDFREAD
// libudfread writes its own complaints to stderr ("udfread ERROR: ..."),
// one per failed read: while it runs, stderr goes nowhere, so that the tool
// says once, in its words, what went wrong.
class QuietStderr {
public:
    QuietStderr() : m_saved(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0 && m_saved >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        if (m_saved < 0) return;
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int m_saved;
};

// The image: its descriptor as libudfread's block input, and the files of
// /DVD_RTAV opened in it.
struct DiscSource::Image {
    struct Input {
        udfread_block_input base;  // first: libudfread hands this back
        int fd;
        const RescueMap* map;  // null without one
    } input{};
    udfread* udf = nullptr;
    std::map<std::string, UDFFILE*> files;
    // A regular image file mapped for reading (a drive is not), and its
    // length then: what lies in one piece is written from here in one copy.
    void* mapped = MAP_FAILED;
    uint64_t length = 0;

    static int ReadInput(udfread_block_input* in, uint32_t lba, void* buf, uint32_t n, int) {
        const Input* input = reinterpret_cast<Input*>(in);
        // Blocks the map does not mark read are not there to read.
        if (input->map)
            n = static_cast<uint32_t>(input->map->ReadableFrom(uint64_t{lba} * kBlock, n * kBlock) / kBlock);
        // An image cut short inside a block has lost that block.
        const uint32_t got = n ? ReadBlocksAt(input->fd, uint64_t{lba} * kBlock, buf, n, false) : 0;
        return static_cast<int>(got);
    }
    // Reads the UDF file system and opens the four files of /DVD_RTAV that
    // are there; false when there is no UDF file system to read.
    bool Mount() {
        QuietStderr quiet;
        udf = udfread_init();
        if (!udf || udfread_open_input(udf, &input.base) < 0) return false;
        for (const char* name : kDiscFiles) {
            UDFFILE* f = udfread_file_open(udf, ("/DVD_RTAV/" + std::string(name)).c_str());
            if (f) files[name] = f;
        }
        return true;
    }
    // The file at path in the file system begins with the identifier id.
    bool Begins(const char* path, const char* id) {
        QuietStderr quiet;
        UDFFILE* f = udfread_file_open(udf, path);
        if (!f) return false;
        char head[12] = {};
        const bool same = udfread_file_read(f, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                          std::memcmp(head, id, sizeof head) == 0;
        udfread_file_close(f);
        return same;
    }
    ~Image() {
        if (mapped != MAP_FAILED) munmap(mapped, length);
        for (auto& f : files) udfread_file_close(f.second);
        if (udf) udfread_close(udf);
        if (input.fd >= 0) close(input.fd);
    }
};
#else
struct DiscSource::Image {};
#endif

DiscSource::DiscSource() = default;
DiscSource::~DiscSource() = default;

bool DiscSource::Open(const std::string& path, const std::string& mapPath) {
    if (IsDirectory(path)) {
        if (!mapPath.empty())
            return Fail("--map is for a disc image; " + path + " is a directory, read as it is."), false;
        const std::string inner = InDir(path, "DVD_RTAV");
        m_dir = IsDirectory(inner) && !Exists(InDir(path, kIfo)) ? inner : path;
        m_what = "the directory " + path;
        for (const char* name : kDiscFiles)
            if (Exists(InDir(m_dir, name))) return true;
        return Fail(path + " holds no DVD-VR disc: none of " + kIfo + ", " + kBup + ", " + kMovieVro + " and " +
                    kStillVro + " is there."),
               false;
    }
#ifdef VRMANGR_HAVE_UDFREAD
    m_what = "the image " + path;
    std::unique_ptr<Image> image(new Image);
    image->input.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (image->input.fd < 0) return Fail(path + " cannot be opened: " + std::strerror(errno) + "."), false;
    image->input.base.read = &Image::ReadInput;
    if (!mapPath.empty()) {
        struct stat st {};
        fstat(image->input.fd, &st);
        m_map.reset(new RescueMap);
        std::string error;
        const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
        if (!m_map->Load(mapPath, size, &error)) return Fail(error), false;
        image->input.map = m_map.get();
    }
    struct stat st {};
    if (fstat(image->input.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        image->length = static_cast<uint64_t>(st.st_size);
        image->mapped = mmap(nullptr, image->length, PROT_READ, MAP_SHARED, image->input.fd, 0);
    }
    const bool mounted = image->Mount();
    // Without a file system to read, the recordings may still be in the
    // bytes: recover looks for them there.
    const std::string raw = "; if it holds recordings, 'vrmangr recover " + path + " -d DIR' finds them in its bytes.";
    if (!mounted) {
        return Fail(path +
                    (m_map ? "'s UDF file system lies in sectors the map does not mark read, or it has none"
                           : " is neither a directory nor a disc image or drive with a UDF file system") +
                    raw),
               false;
    }
    if (image->files.empty()) return Fail(path + " holds a UDF file system without a DVD_RTAV disc" + raw), false;
    m_image = std::move(image);
    return true;
#else
    return Fail(path +
                " is not a directory, and this vrmangr was built without libudfread, which reads disc "
                "images (install libudfread-dev and build it again)."),
           false;
#endif
}

int64_t DiscSource::Size(const char* name) const {
#ifdef VRMANGR_HAVE_UDFREAD
    if (m_image) {
        const auto it = m_image->files.find(name);
        return it == m_image->files.end() ? -1 : udfread_file_size(it->second);
    }
#endif
    struct stat st {};
    return stat(InDir(m_dir, name).c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

uint32_t DiscSource::Read(const char* name, uint64_t block, void* buf, uint32_t count) {
#ifdef VRMANGR_HAVE_UDFREAD
    if (m_image) {
        const auto it = m_image->files.find(name);
        if (it == m_image->files.end() || block > UINT32_MAX) return 0;
        QuietStderr quiet;
        return udfread_read_blocks(it->second, buf, static_cast<uint32_t>(block), count, 0);
    }
#endif
    const int fd = open(InDir(m_dir, name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const uint32_t got = ReadBlocksAt(fd, block * kBlock, buf, count, true);
    close(fd);
    return got;
}

uint64_t DiscSource::Place(const char* name, uint64_t offset, uint64_t n, uint64_t* at) const {
#ifdef VRMANGR_HAVE_UDFREAD
    if (!m_image || offset % kBlock != 0) return 0;
    const auto it = m_image->files.find(name);
    const int64_t size = Size(name);
    if (it == m_image->files.end() || size < 0 || offset >= static_cast<uint64_t>(size)) return 0;
    n = std::min<uint64_t>(n, static_cast<uint64_t>(size) - offset);
    const uint64_t first = offset / kBlock;
    if (first + (n + kBlock - 1) / kBlock > UINT32_MAX) return 0;
    const uint32_t lba = udfread_file_lba(it->second, static_cast<uint32_t>(first));
    if (lba == 0) return 0;
    // The blocks that follow the first in the image, as far as n reaches.
    uint64_t blocks = 1;
    while (blocks * kBlock < n && udfread_file_lba(it->second, static_cast<uint32_t>(first + blocks)) == lba + blocks)
        ++blocks;
    uint64_t bytes = std::min(blocks * kBlock, n);
    *at = uint64_t{lba} * kBlock;
    if (m_map) bytes = m_map->ReadableFrom(*at, bytes);
    // Never past the image's end (an image cut short has lost the rest).
    const uint64_t length = m_image->mapped != MAP_FAILED ? m_image->length : 0;
    return *at >= length ? 0 : std::min(bytes, length - *at);
#else
    (void)name, (void)offset, (void)n, (void)at;
    return 0;
#endif
}

const unsigned char* DiscSource::Mapped(uint64_t at) const {
#ifdef VRMANGR_HAVE_UDFREAD
    if (m_image && m_image->mapped != MAP_FAILED && at < m_image->length)
        return static_cast<const unsigned char*>(m_image->mapped) + at;
#endif
    (void)at;
    return nullptr;
}

int64_t DiscSource::ReadAt(const char* name, uint64_t offset, void* buf, size_t n, std::vector<Unreadable>* bad) {
    const int64_t size = Size(name);
    if (size < 0) return -1;
    if (offset >= static_cast<uint64_t>(size)) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, static_cast<uint64_t>(size) - offset));
    constexpr uint32_t kChunkBlocks = 512;  // 1 MB per read
    constexpr uint32_t kSkipBlocks = 16;  // 32 KB past an unreadable stretch
    char* out = static_cast<char*>(buf);
    size_t done = 0;
    while (done < n) {
        const uint64_t at = offset + done;
        const uint64_t block = at / kBlock;
        const uint64_t lead = at % kBlock;
        const uint64_t last = (at + (n - done) + kBlock - 1) / kBlock;
        // Whole blocks that fit go straight into buf, as many as fit; a part
        // of a block through the staging buffer.
        const uint64_t whole = (n - done) / kBlock;
        const bool direct = lead == 0 && whole > 0;
        const uint32_t want = static_cast<uint32_t>(direct ? std::min<uint64_t>(whole, UINT32_MAX)
                                                           : std::min<uint64_t>(kChunkBlocks, last - block));
        if (!direct && m_blockBytes < uint64_t{want} * kBlock) {
            // Staging for parts of blocks, as large as asked (left
            // uninitialised: the read fills it).
            m_blockBytes = uint64_t{want} * kBlock;
            m_block.reset(new char[m_blockBytes]);
        }
        char* into = direct ? out + done : m_block.get();
        const uint32_t got = Read(name, block, into, want);
        uint32_t zeros = 0;
        m_failures = got > 0 ? 0 : m_failures;
        if (got < want) {
            if (!bad) return -1;
            ++m_failures;
            zeros = std::min<uint32_t>(m_failures > kSkipBlocks ? kSkipBlocks : 1, want - got);
            std::memset(into + size_t{got} * kBlock, 0, size_t{zeros} * kBlock);
            const uint64_t from = (block + got) * kBlock;
            const uint64_t to = std::min<uint64_t>((block + got + zeros) * kBlock, static_cast<uint64_t>(size));
            if (!bad->empty() && bad->back().file == name && bad->back().end == from)
                bad->back().end = to;
            else
                bad->push_back({name, from, to});
        }
        const uint64_t blocks = uint64_t{got} + zeros;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(blocks * kBlock - lead, n - done));
        if (!direct) std::memcpy(out + done, m_block.get() + lead, take);
        done += take;
    }
    return static_cast<int64_t>(done);
}

std::string ImageHolds(const std::string& path) {
#ifdef VRMANGR_HAVE_UDFREAD
    DiscSource::Image image;
    image.input.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (image.input.fd < 0) return Fail(path + " cannot be opened: " + std::strerror(errno) + "."), "";
    image.input.base.read = &DiscSource::Image::ReadInput;
    if (!image.Mount())
        return Fail(path + " is neither a directory nor a disc image or drive with a UDF file system."), "";
    if (image.Begins("/DVD_RTAV/VR_MANGR.IFO", "DVD_RTR_VMG0") ||
        image.Begins("/DVD_RTAV/VR_MANGR.BUP", "DVD_RTR_VMG0"))
        return "DVD-VR";
    return image.Begins("/VIDEO_TS/VIDEO_TS.IFO", "DVDVIDEO-VMG") ? "DVD-Video" : "neither";
#else
    return Fail(path + " is not a directory, and this vrmangr was built without libudfread, which reads disc images."),
           "";
#endif
}

}  // namespace tool
