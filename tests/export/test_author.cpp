// `vrmangr author` read back with libdvdread, a DVD-Video reader, and its
// titles' pictures decoded with FFmpeg's libraries: titles, title sets,
// chapters, durations, aspect and audio as the disc's programs and playlists
// have them, and what authoring refuses. The discs are made with the tool
// from the committed samples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/Decoded.h"
#include "support/TempDir.h"

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <libavutil/log.h>
}

namespace {

const std::string kTool = VRMANGR_TOOL;
std::string Sample(const char* name) { return std::string(VRMANGR_DATA) + "/" + name; }
int Tool(const std::string& args) { return std::system((kTool + " " + args + " >/dev/null 2>&1").c_str()); }

int Bcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }

// A PGC's playing time in milliseconds (BCD hours, minutes, seconds and
// frames, the frame rate in the frames byte's top bits).
int64_t Ms(const dvd_time_t& t) {
    const double fps = (t.frame_u & 0xC0) == 0x40 ? 25.0 : 29.97;
    return (Bcd(t.hour) * 3600 + Bcd(t.minute) * 60 + Bcd(t.second)) * 1000 +
           static_cast<int64_t>(Bcd(t.frame_u & 0x3F) * 1000 / fps);
}

// A title as the DVD's tables describe it.
struct DvdTitle {
    int set = 0;
    int chapters = 0;
    int64_t ms = 0;
    int aspect = 0;  // display_aspect_ratio: 0 4:3, 3 16:9
    int audio = -1;  // audio_format of the first stream: 0 AC-3, 2 MPEG-1, 4 LPCM
};

std::vector<DvdTitle> ReadDvd(const std::string& path) {
    std::vector<DvdTitle> titles;
    dvd_reader_t* dvd = DVDOpen(path.c_str());
    if (!dvd) return titles;
    ifo_handle_t* vmg = ifoOpen(dvd, 0);
    for (int i = 0; vmg && i < vmg->tt_srpt->nr_of_srpts; ++i) {
        const title_info_t& info = vmg->tt_srpt->title[i];
        DvdTitle t;
        t.set = info.title_set_nr;
        t.chapters = info.nr_of_ptts;
        ifo_handle_t* vts = ifoOpen(dvd, info.title_set_nr);
        if (vts) {
            const int pgcn = vts->vts_ptt_srpt->title[info.vts_ttn - 1].ptt[0].pgcn;
            t.ms = Ms(vts->vts_pgcit->pgci_srp[pgcn - 1].pgc->playback_time);
            t.aspect = vts->vtsi_mat->vts_video_attr.display_aspect_ratio;
            if (vts->vtsi_mat->nr_of_vts_audio_streams) t.audio = vts->vtsi_mat->vts_audio_attr[0].audio_format;
            ifoClose(vts);
        }
        titles.push_back(t);
    }
    if (vmg) ifoClose(vmg);
    DVDClose(dvd);
    return titles;
}

// A 4:3 MPEG audio recording of 12 s with a chapter at 6 s, a 16:9 LPCM
// one, and a playlist of the first one's second chapter, authored as an
// image: three titles in that order, each in a title set of its own (the
// second differs from the others), each as long as what it plays (within a VOBU), chapters at the
// entry points, 16:9 kept, the audio as recorded. The title of the program
// authored as a directory shows the recording's pictures, every one.
TEST(Author, TitlesPlayTheProgramsAndPlaylists) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc");
    for (const std::string& command :
         {"create '" + d + "' '" + Sample("pal_cif_12s.vob") + "' '" + Sample("pal_mpeg2_lpcm_16x9.vob") + "'",
          "chapters '" + d + "' divide 1 150", "playlist '" + d + "' new", "playlist '" + d + "' add 1 0 2"})
        ASSERT_EQ(Tool(command), 0) << command;
    const std::string iso = dir.File("dvd.iso");
    ASSERT_EQ(Tool("author '" + d + "' -o '" + iso + "' --program 1 --program 2 --playlist 1"), 0);
    const std::vector<DvdTitle> titles = ReadDvd(iso);
    ASSERT_EQ(titles.size(), 3u);
    const int sets[] = {1, 2, 3}, chapters[] = {2, 1, 1}, ms[] = {12000, 2000, 6000}, aspects[] = {0, 3, 0},
              audio[] = {2, 4, 2};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("title " + std::to_string(i + 1));
        EXPECT_EQ(titles[i].set, sets[i]);
        EXPECT_EQ(titles[i].chapters, chapters[i]);
        EXPECT_NEAR(static_cast<double>(titles[i].ms), ms[i], 480);
        EXPECT_EQ(titles[i].aspect, aspects[i]);
        EXPECT_EQ(titles[i].audio, audio[i]);
    }
    const std::string out = dir.File("dvd");
    ASSERT_EQ(Tool("author '" + d + "' -o '" + out + "' --program 1"), 0);
    const Shown source = Decode(Sample("pal_cif_12s.vob"));
    ASSERT_EQ(source.hashes.size(), 300u);
    EXPECT_EQ(SourceFrames(Decode(out + "/VIDEO_TS/VTS_01_1.VOB"), source), Range(0, 300));
}

// MPEG audio alone cannot be a 525/60 disc's only audio: it becomes AC-3.
TEST(Author, MpegAudioOfA525TitleBecomesAc3) {
    TempDir dir;
    const std::string d = dir.File("disc"), iso = dir.File("dvd.iso");
    ASSERT_EQ(Tool("create '" + d + "' '" + Sample("ntsc_mpeg1_mp2_4x3.vob") + "'"), 0);
    ASSERT_EQ(Tool("author '" + d + "' -o '" + iso + "'"), 0);
    const std::vector<DvdTitle> titles = ReadDvd(iso);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].audio, 0);
    EXPECT_NEAR(static_cast<double>(titles[0].ms), 2000, 500);
}

// What cannot be authored is refused, and nothing is left behind: still
// pictures, a program that is not there, an existing output without
// --force (replaced with it).
TEST(Author, RefusalsLeaveNothingBehind) {
    TempDir dir;
    const std::string d = dir.File("disc"), iso = dir.File("dvd.iso");
    ASSERT_EQ(Tool("create '" + d + "' '" + Sample("pal_mpeg2_mp2_4x3.vob") + "' --still '" +
                   Sample("still_pal_2pictures.vob") + "'"),
              0);
    EXPECT_NE(Tool("author '" + d + "' -o '" + iso + "'"), 0);
    EXPECT_NE(Tool("author '" + d + "' -o '" + iso + "' --program 3"), 0);
    EXPECT_FALSE(std::filesystem::exists(iso));
    ASSERT_EQ(Tool("author '" + d + "' -o '" + iso + "' --program 1"), 0);
    EXPECT_NE(Tool("author '" + d + "' -o '" + iso + "' --program 1"), 0);
    EXPECT_EQ(Tool("author '" + d + "' -o '" + iso + "' --program 1 --force"), 0);
    size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.path() != d ? 1 : 0;
    EXPECT_EQ(entries, 1u) << "a scratch directory was left beside the image";
}

}  // namespace
