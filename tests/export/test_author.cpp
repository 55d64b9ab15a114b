// `vrmangr author` read back with libdvdread, a DVD-Video reader, and its
// titles' pictures decoded with FFmpeg's libraries: titles, title sets,
// chapters, durations, aspect and audio as the disc's programs and playlists
// have them, and what authoring refuses; video encoded anew compared with
// its source's, AC-3 made of MPEG audio compared with the source's sound;
// Ctrl-C at moments spread over a run. The discs are made with the tool
// from the committed samples.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "export/Decoded.h"
#include "export/menu.h"
#include "support/TempDir.h"

extern "C" {
#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/nav_read.h>
#include <libavutil/log.h>
}

extern char** environ;

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
    int picture = -1;  // picture_size: 0 720 wide, 1 704, 2 352, 3 352 at half height
    int mpeg = -1;  // mpeg_version: 0 MPEG-1, 1 MPEG-2
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
            t.picture = vts->vtsi_mat->vts_video_attr.picture_size;
            t.mpeg = vts->vtsi_mat->vts_video_attr.mpeg_version;
            if (vts->vtsi_mat->nr_of_vts_audio_streams) t.audio = vts->vtsi_mat->vts_audio_attr[0].audio_format;
            ifoClose(vts);
        }
        titles.push_back(t);
    }
    if (vmg) ifoClose(vmg);
    DVDClose(dvd);
    return titles;
}

// The buttons of each page of the manager's menu, as its navigation packs
// give them (the authoring program writes spumux's exclusive ends as they
// are); the dispatcher, which has no cell, is
// not a page.
std::vector<std::vector<vrexport::Rect> > ReadMenu(const std::string& path) {
    std::vector<std::vector<vrexport::Rect> > pages;
    dvd_reader_t* dvd = DVDOpen(path.c_str());
    ifo_handle_t* vmg = dvd ? ifoOpen(dvd, 0) : nullptr;
    dvd_file_t* vob = vmg ? DVDOpenFile(dvd, 0, DVD_READ_MENU_VOBS) : nullptr;
    const pgcit_t* pgcit = vmg && vmg->pgci_ut && vmg->pgci_ut->nr_of_lus ? vmg->pgci_ut->lu[0].pgcit : nullptr;
    for (int i = 0; vob && pgcit && i < pgcit->nr_of_pgci_srp; ++i) {
        const pgc_t* pgc = pgcit->pgci_srp[i].pgc;
        if (!pgc || pgc->nr_of_cells == 0) continue;
        unsigned char block[DVD_VIDEO_LB_LEN];
        const uint32_t sector = pgc->cell_playback[0].first_sector;
        pci_t pci{};
        if (DVDReadBlocks(vob, static_cast<int>(sector), 1, block) != 1) break;
        navRead_PCI(&pci, block + 0x2d);  // after the pack, system and PES headers and the substream number
        if (pci.pci_gi.nv_pck_lbn != sector) break;
        std::vector<vrexport::Rect> buttons;
        for (int b = 0; b < (pci.hli.hl_gi.btn_ns & 0x3F); ++b) {
            const btni_t& n = pci.hli.btnit[b];
            buttons.push_back({static_cast<int>(n.x_start), static_cast<int>(n.y_start), static_cast<int>(n.x_end),
                               static_cast<int>(n.y_end)});
        }
        pages.push_back(buttons);
    }
    if (vob) DVDCloseFile(vob);
    if (vmg) ifoClose(vmg);
    if (dvd) DVDClose(dvd);
    return pages;
}

}  // namespace

namespace vrexport {
bool operator==(const Rect& a, const Rect& b) { return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1; }
void PrintTo(const Rect& r, std::ostream* os) { *os << r.x0 << "," << r.y0 << " to " << r.x1 << "," << r.y1; }
}  // namespace vrexport

namespace {

// The luma of the first picture of a file.
struct Luma {
    int width = 0, height = 0;
    std::vector<uint8_t> y;
    int At(int x, int row) const { return y[static_cast<size_t>(row) * width + x]; }
    // The mean over [x0, x1) x [y0, y1).
    double Mean(int x0, int y0, int x1, int y1) const {
        double sum = 0;
        for (int row = y0; row < y1; ++row)
            for (int x = x0; x < x1; ++x) sum += At(x, row);
        return sum / ((x1 - x0) * (y1 - y0));
    }
};
Luma FirstLuma(const std::string& path) {
    Luma l;
    DecodeStream(path, AVMEDIA_TYPE_VIDEO, true, [&](const AVFrame* f, const AVStream*) {
        if (!l.y.empty()) return;
        l.width = f->width;
        l.height = f->height;
        for (int row = 0; row < f->height; ++row)
            l.y.insert(l.y.end(), f->data[0] + row * f->linesize[0], f->data[0] + row * f->linesize[0] + f->width);
    });
    return l;
}

// How far the picture in r of the page is from the source picture: the
// largest difference of the means of 6 x 4 blocks that cover both.
double Unlike(const Luma& page, const vrexport::Rect& r, const Luma& source) {
    double worst = 0;
    for (int by = 0; by < 4; ++by) {
        for (int bx = 0; bx < 6; ++bx) {
            const int w = r.x1 - r.x0, h = r.y1 - r.y0;
            const double shown = page.Mean(r.x0 + bx * w / 6 + 2, r.y0 + by * h / 4 + 2, r.x0 + (bx + 1) * w / 6 - 2,
                                           r.y0 + (by + 1) * h / 4 - 2);
            const int sw = source.width, sh = source.height;
            const double wanted = source.Mean(bx * sw / 6 + sw / 90, by * sh / 4 + sh / 72, (bx + 1) * sw / 6 - sw / 90,
                                              (by + 1) * sh / 4 - sh / 72);
            worst = std::max(worst, std::abs(shown - wanted));
        }
    }
    return worst;
}

// What a player does with the disc, in libdvdnav's virtual machine: the
// titles it plays ("t2") and the menu pages it stops at ("page1"), in
// order; at a page it presses the buttons of `presses` (from 1), one per
// stop, and stops itself when none is left. "end" when the disc stops.
std::string Play(const std::string& path, std::vector<int> presses) {
    std::string played;
    dvdnav_t* nav = nullptr;
    if (dvdnav_open(&nav, path.c_str()) != DVDNAV_STATUS_OK) return "cannot open";
    dvdnav_set_readahead_flag(nav, 0);
    int32_t lastTitle = -1, lastPgc = -1;
    std::vector<uint8_t> block(DVD_VIDEO_LB_LEN);
    for (int n = 0; n < 1000000; ++n) {
        int32_t event = 0, length = 0;
        uint8_t* buf = block.data();
        if (dvdnav_get_next_block(nav, buf, &event, &length) != DVDNAV_STATUS_OK) {
            played += " error";
            break;
        }
        int32_t title = 0, pgcn = 0, pgn = 0;
        if (event == DVDNAV_CELL_CHANGE && dvdnav_current_title_program(nav, &title, &pgcn, &pgn) == DVDNAV_STATUS_OK &&
            title > 0 && (title != lastTitle || pgcn != lastPgc))
            played += " t" + std::to_string(title);
        if (event == DVDNAV_CELL_CHANGE) lastTitle = title, lastPgc = pgcn;
        if (event == DVDNAV_WAIT) dvdnav_wait_skip(nav);
        if (event == DVDNAV_STOP) {
            played += " end";
            break;
        }
        if (event != DVDNAV_STILL_FRAME) continue;
        if (!dvdnav_is_domain_vmgm(nav)) {
            dvdnav_still_skip(nav);
            continue;
        }
        dvdnav_current_title_program(nav, &title, &pgcn, &pgn);
        played += " page" + std::to_string(pgcn - 1);  // menu 1 is the dispatcher
        if (presses.empty()) break;
        dvdnav_button_select_and_activate(nav, dvdnav_get_current_nav_pci(nav), presses.front());
        presses.erase(presses.begin());
        lastTitle = -1;
    }
    dvdnav_close(nav);
    return played.empty() ? played : played.substr(1);
}

// The pictures of a file's video in display order: each as the means of its
// luma over a 16 x 16 grid of equal parts of the picture (alike for the same
// picture at another width), and its coding type.
struct Pictures {
    std::vector<std::vector<double> > grids;
    std::string types;  // 'I', 'P' or 'B' a picture
};

Pictures DecodePictures(const std::string& path) {
    std::map<int64_t, std::pair<std::vector<double>, char> > byTime;
    DecodeStream(path, AVMEDIA_TYPE_VIDEO, true, [&](const AVFrame* f, const AVStream*) {
        std::vector<double> grid(256, 0.0);
        for (int y = 0; y < f->height; ++y)
            for (int x = 0; x < f->width; ++x)
                grid[y * 16 / f->height * 16 + x * 16 / f->width] += f->data[0][y * f->linesize[0] + x];
        for (double& g : grid) g /= f->width * f->height / 256.0;
        byTime[f->best_effort_timestamp] = {grid, av_get_picture_type_char(f->pict_type)};
    });
    Pictures p;
    for (const auto& [t, picture] : byTime) {
        p.grids.push_back(picture.first);
        p.types += picture.second;
    }
    return p;
}

// Peak signal to noise ratio of one grid against another, in dB.
double Psnr(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return 10 * std::log10(255.0 * 255.0 / std::max(sum / static_cast<double>(a.size()), 1e-9));
}

// The first channel of a file's audio as decoded, and its coding.
struct Sound {
    std::vector<float> samples;
    AVCodecID codec = AV_CODEC_ID_NONE;
};

Sound DecodeSound(const std::string& path) {
    Sound sound;
    DecodeStream(path, AVMEDIA_TYPE_AUDIO, false, [&](const AVFrame* f, const AVStream* st) {
        sound.codec = st->codecpar->codec_id;
        const auto format = static_cast<AVSampleFormat>(f->format);
        const int step = av_sample_fmt_is_planar(format) ? 1 : f->ch_layout.nb_channels;
        for (int i = 0; i < f->nb_samples; ++i) {
            const int at = i * step;
            if (format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT)
                sound.samples.push_back(reinterpret_cast<const float*>(f->data[0])[at]);
            else if (format == AV_SAMPLE_FMT_S16P || format == AV_SAMPLE_FMT_S16)
                sound.samples.push_back(reinterpret_cast<const int16_t*>(f->data[0])[at] / 32768.0f);
        }
    });
    return sound;
}

// The highest normalised correlation of `length` samples of b from `at` on
// with a's, shifted up to `lag` samples either way.
double BestCorrelation(const std::vector<float>& a, const std::vector<float>& b, size_t at, size_t length, size_t lag) {
    double best = 0;
    for (size_t shift = at - lag; shift <= at + lag && shift + length <= a.size(); ++shift) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 0; i < length; ++i) {
            ab += a[shift + i] * b[at + i];
            aa += a[shift + i] * a[shift + i];
            bb += b[at + i] * b[at + i];
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
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
    // The menu: a button per title where the page shows the title.
    const std::vector<std::vector<vrexport::Rect> > menu = ReadMenu(iso);
    ASSERT_EQ(menu.size(), 1u);
    ASSERT_EQ(menu[0].size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(menu[0][i], vrexport::MenuEntrySlot(false, i, i == 1).button) << i;
    // First play plays every title, then the menu; a title chosen there
    // plays alone and comes back to it.
    EXPECT_EQ(Play(iso, {2, 3}), "t1 t2 t3 page1 t2 page1 t3 page1");
    const std::string out = dir.File("dvd");
    ASSERT_EQ(Tool("author '" + d + "' -o '" + out + "' --program 1 --program 2 --playlist 1 --no-menu"), 0);
    EXPECT_EQ(ReadDvd(out).size(), 3u);
    EXPECT_TRUE(ReadMenu(out).empty());
    EXPECT_EQ(Play(out, {}), "t1 t2 t3 end");
    // Each title shows the pictures of its cells: the playlist's from the
    // start of the VOBU that holds the chapter's first frame (150) on.
    const Shown source = Decode(Sample("pal_cif_12s.vob")), wide = Decode(Sample("pal_mpeg2_lpcm_16x9.vob"));
    ASSERT_EQ(source.hashes.size(), 300u);
    EXPECT_EQ(SourceFrames(Decode(out + "/VIDEO_TS/VTS_01_1.VOB"), source), Range(0, 300));
    EXPECT_EQ(SourceFrames(Decode(out + "/VIDEO_TS/VTS_02_1.VOB"), wide), Range(0, 50));
    EXPECT_EQ(SourceFrames(Decode(out + "/VIDEO_TS/VTS_03_1.VOB"), source), Range(144, 300));
}

// Seven titles make two menu pages: six entries and an arrow, one entry
// and an arrow back. Each entry shows its title's first picture (16:9
// ones letterboxed in the box) and its name below; the rest is background.
TEST(Author, MenuPagesShowEachTitle) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), out = dir.File("dvd");
    const char* samples[] = {"pal_mpeg2_mp2_4x3.vob",     "pal_mpeg2_lpcm_16x9.vob",   "pal_cif_12s.vob",
                             "pal_mpeg2_ac3mono_4x3.vob", "pal_mpeg2_bframes_cif.vob", "pal_mpeg2_mp2_4x3.vob",
                             "pal_mpeg2_lpcm_16x9.vob"};
    std::string files;
    for (const char* s : samples) files += " '" + Sample(s) + "'";
    ASSERT_EQ(Tool("create '" + d + "'" + files), 0);
    ASSERT_EQ(Tool("author '" + d + "' -o '" + out + "'"), 0);
    const std::vector<std::vector<vrexport::Rect> > menu = ReadMenu(out);
    ASSERT_EQ(menu.size(), 2u);
    ASSERT_EQ(menu[0].size(), 7u);
    EXPECT_EQ(menu[0][6], vrexport::MenuArrow(false, true));
    ASSERT_EQ(menu[1].size(), 2u);
    EXPECT_EQ(menu[1][0], vrexport::MenuEntrySlot(false, 0, true).button);
    EXPECT_EQ(menu[1][1], vrexport::MenuArrow(false, false));
    // The arrows turn the pages; the last title chosen comes back to its
    // page.
    EXPECT_EQ(Play(out, {7, 1, 2}), "t1 t2 t3 t4 t5 t6 t7 page1 page2 t7 page2 page1");

    const Luma page = FirstLuma(out + "/VIDEO_TS/VIDEO_TS.VOB");
    ASSERT_EQ(page.width, 720);
    ASSERT_EQ(page.height, 576);
    const int background = page.At(4, 4);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(samples[i]);
        const bool wide = i == 1;
        const vrexport::MenuSlot slot = vrexport::MenuEntrySlot(false, i, wide);
        EXPECT_EQ(menu[0][i], slot.button);
        EXPECT_LT(Unlike(page, slot.picture, FirstLuma(Sample(samples[i]))), 12.0);
        const vrexport::Rect& n = slot.name;
        int brightest = 0;
        for (int y = n.y0; y < n.y1; ++y)
            for (int x = n.x0; x < n.x1; ++x) brightest = std::max(brightest, page.At(x, y));
        EXPECT_GT(brightest, 200) << "no name";
        // Between the entries lies the background only.
        EXPECT_NEAR(page.Mean(slot.button.x1, slot.button.y0, slot.button.x1 + 8, slot.button.y1), background, 2.0);
    }
}

// MPEG audio alone cannot be a 525/60 disc's only audio: it becomes AC-3,
// as long as the source's sound (within an AC-3 frame) and the same sound.
TEST(Author, MpegAudioOfA525TitleBecomesAc3) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), out = dir.File("dvd");
    ASSERT_EQ(Tool("create '" + d + "' '" + Sample("ntsc_mpeg1_mp2_4x3.vob") + "'"), 0);
    ASSERT_EQ(Tool("author '" + d + "' -o '" + out + "'"), 0);
    const std::vector<DvdTitle> titles = ReadDvd(out);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].audio, 0);
    EXPECT_NEAR(static_cast<double>(titles[0].ms), 2000, 500);
    const Sound source = DecodeSound(Sample("ntsc_mpeg1_mp2_4x3.vob"));
    const Sound made = DecodeSound(out + "/VIDEO_TS/VTS_01_1.VOB");
    EXPECT_EQ(made.codec, AV_CODEC_ID_AC3);
    ASSERT_GT(source.samples.size(), 48000u);
    EXPECT_NEAR(static_cast<double>(made.samples.size()), static_cast<double>(source.samples.size()), 1536);
    // A quarter of a second from the middle, matched within 60 ms.
    ASSERT_GT(made.samples.size(), 36000u);
    EXPECT_GT(BestCorrelation(source.samples, made.samples, 24000, 12000, 3000), 0.9);
}

// A picture size DVD-Video does not hold is refused, nothing written; with
// --transcode the title is 720x576 MPEG-2, as long as the program, its
// pictures the source's, one for one, scaled, in GOPs of at most 15 of which
// one begins at the chapter (an entry point at picture 30). MPEG-1 at full
// height likewise.
TEST(Author, PictureSizesDvdVideoLacksAreEncodedAnew) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), out = dir.File("dvd");
    ASSERT_EQ(Tool("create '" + d + "' '" + Sample("pal_mpeg2_544_4x3.vob") + "'"), 0);
    ASSERT_EQ(Tool("chapters '" + d + "' divide 1 30"), 0);
    EXPECT_EQ(Tool("author '" + d + "' -o '" + out + "'"), 1 << 8);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "something was written";
    ASSERT_EQ(Tool("author '" + d + "' -o '" + out + "' --transcode"), 0);
    const std::vector<DvdTitle> titles = ReadDvd(out);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].chapters, 2);
    EXPECT_EQ(titles[0].picture, 0);
    EXPECT_EQ(titles[0].mpeg, 1);
    EXPECT_EQ(titles[0].aspect, 0);
    EXPECT_NEAR(static_cast<double>(titles[0].ms), 2000, 480);
    const Pictures source = DecodePictures(Sample("pal_mpeg2_544_4x3.vob"));
    const Pictures made = DecodePictures(out + "/VIDEO_TS/VTS_01_1.VOB");
    ASSERT_EQ(source.grids.size(), 50u);
    ASSERT_EQ(made.grids.size(), source.grids.size());
    // The same picture gives some 70 dB; its neighbour, under 41.
    for (size_t i = 0; i < made.grids.size(); ++i)
        EXPECT_GT(Psnr(made.grids[i], source.grids[i]), 50) << "picture " << i;
    EXPECT_EQ(made.types[0], 'I');
    EXPECT_EQ(made.types[30], 'I') << made.types;
    size_t gop = 0;
    for (size_t at = 0; (at = made.types.find('I', at + 1)) != std::string::npos; gop = at)
        EXPECT_LE(at - gop, 15u) << made.types;
    EXPECT_LE(made.types.size() - gop, 15u) << made.types;

    const std::string mpeg1 = dir.File("mpeg1"), out1 = dir.File("dvd1");
    ASSERT_EQ(Tool("create '" + mpeg1 + "' '" + Sample("pal_mpeg1_352x576.vob") + "'"), 0);
    EXPECT_EQ(Tool("author '" + mpeg1 + "' -o '" + out1 + "'"), 1 << 8);
    EXPECT_FALSE(std::filesystem::exists(out1));
    ASSERT_EQ(Tool("author '" + mpeg1 + "' -o '" + out1 + "' --transcode --no-menu"), 0);
    const std::vector<DvdTitle> titles1 = ReadDvd(out1);
    ASSERT_EQ(titles1.size(), 1u);
    EXPECT_EQ(titles1[0].picture, 0);
    EXPECT_EQ(titles1[0].mpeg, 1);
    EXPECT_EQ(DecodePictures(out1 + "/VIDEO_TS/VTS_01_1.VOB").grids.size(),
              DecodePictures(Sample("pal_mpeg1_352x576.vob")).grids.size());
}

// Ctrl-C sent to author alone (dvdauthor and genisoimage, which it runs,
// go on) at moments spread over its run: exit 130 and nothing left beside
// the image, or, when it had finished, exit 0 and the whole image.
TEST(Author, CtrlCLeavesNothingBehind) {
    TempDir dir, logs;
    const std::string d = dir.File("disc"), iso = dir.File("dvd.iso"), log = logs.File("stderr");
    ASSERT_EQ(Tool("create '" + d + "' '" + Sample("pal_mpeg2_544_4x3.vob") + "' '" + Sample("pal_cif_12s.vob") + "'"),
              0);
    const char* const argv[] = {kTool.c_str(), "author", d.c_str(), "-o", iso.c_str(), "--transcode", nullptr};
    const auto said = [&] {
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // Runs author, sends SIGINT after `after` (none when negative); its wait status.
    const auto run = [&](std::chrono::microseconds after) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = -1;
        if (rc != 0) return status;
        if (after.count() >= 0) {
            std::this_thread::sleep_for(after);
            kill(pid, SIGINT);
        }
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run(std::chrono::microseconds(-1)), 0) << said();
    const auto length = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(ReadDvd(iso).size(), 2u);
    std::filesystem::remove(iso);
    for (int tenths : {1, 3, 5, 7, 9, 12}) {
        SCOPED_TRACE("SIGINT after " + std::to_string(tenths) + "/10 of a run");
        const int status = run(length * tenths / 10);
        // Killed by SIGINT before its handler was set is as a shell's 130.
        const bool cancelled =
            (WIFEXITED(status) && WEXITSTATUS(status) == 130) || (WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
        if (cancelled) {
            EXPECT_FALSE(std::filesystem::exists(iso));
        } else {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << ": " << said();
            EXPECT_EQ(ReadDvd(iso).size(), 2u);
            std::filesystem::remove(iso);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
            << "something was left beside the image";
    }
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
