// The bit-packed attributes of the management file, each a value type that
// unpacks the bits as they lie on disc and packs them back unchanged (bits
// the format leaves unused are kept as found, so a loaded table saves back
// byte for byte). Each value's fields are declared once, in the list in
// front of it (member, lowest bit, width), from which Unpack and Pack follow
// (io/bit_fields.h).
#ifndef VRMANGR_TABLES_ATTRIBUTES_H
#define VRMANGR_TABLES_ATTRIBUTES_H

#include "io/bit_fields.h"
#include "platform/types.h"

struct VR_MPEGFILE_INFO;

namespace vrm {

// V_ATR, 16 bits.
#define VRM_BITS_V_ATR(F)                                                                           \
    F(compression, 14, 2) /* 0 MPEG-1, 1 MPEG-2 */                                                  \
    F(tvSystem, 12, 2) /* 0 525/60, 1 625/50 */                                                     \
    F(aspect, 10, 2) /* 0 4:3, 1 16:9 */                                                            \
    F(unused6, 6, 4)                                                                                \
    F(resolution, 3, 3) /* 0 720, 1 704, 2 352 full height, 3 352 half height, 4 544, 5 480 wide */ \
    F(unused0, 0, 3)

struct VideoAttributes {
    BYTE compression = 0;
    BYTE tvSystem = 0;
    BYTE aspect = 0;
    BYTE unused6 = 0;
    BYTE resolution = 0;
    BYTE unused0 = 0;

    static constexpr BYTE kMPEG2 = 1;
    static constexpr BYTE k625 = 1;
    static constexpr BYTE kWide = 1;

    static VideoAttributes Unpack(WORD v);
    WORD Pack() const;
    // The attributes a recording gets: MPEG-2 when the stream is, 625/50 at
    // 25 frames/s, 16:9 for any aspect code but 2 (4:3), and the resolution
    // code of the picture size (any size the format lacks is taken as
    // half-height 352).
    static VideoAttributes Of(const VR_MPEGFILE_INFO& info);

    bool Is625() const { return tvSystem != 0; }
    // 25000 for 625/50, 29970 for 525/60.
    DWORD FrameRate() const { return Is625() ? 25000 : 29970; }
    bool Wide() const { return aspect == kWide; }
    // The picture size of the resolution code; false for the undefined
    // codes 6 and 7.
    bool PictureSize(DWORD* width, DWORD* height) const;
};

// A_ATR, 24 bits; OA_ATR and AA_ATR are its upper 16 bits (no bit rate).
#define VRM_BITS_A_ATR(F)                                                                                   \
    F(coding, 21, 3) /* 0 AC-3, 2 MPEG-1 or MPEG-2 without extension, 3 MPEG-2 with extension, 4 LPCM */    \
    F(flags, 16, 5) /* 00001 as recorders write it for a recording's audio stream; we write the same */     \
    F(quantization, 14, 2) /* quantization / dynamic range control */                                       \
    F(sampling, 12, 2) /* 0 48 kHz */                                                                       \
    F(channels, 8, 4) /* channels - 1 (0 mono, 1 stereo, 5 as AC-3 5.1, at most 7), or 9 dual mono (1+1) */ \
    F(bitrate, 0, 8) /* bit-rate code */

struct AudioAttributes {
    BYTE coding = 0;
    BYTE flags = 0;
    BYTE quantization = 0;
    BYTE sampling = 0;
    BYTE channels = 0;
    BYTE bitrate = 0;

    static constexpr BYTE kAC3 = 0;
    static constexpr BYTE kMPEG1 = 2;
    static constexpr BYTE kMPEG2Ext = 3;
    static constexpr BYTE kLPCM = 4;
    static constexpr BYTE kDualMono = 9;
    static constexpr BYTE kMaxChannelCode = 7;  // eight channels
    static constexpr BYTE kRecorderFlags = 1;  // bits 20..16 of a recording

    static AudioAttributes Unpack(DWORD v24);
    DWORD Pack() const;
    // The 16-bit form of still-picture audio (OA_ATR, AA_ATR).
    static AudioAttributes UnpackShort(WORD v) { return Unpack(DWORD{v} << 8); }
    WORD PackShort() const { return static_cast<WORD>(Pack() >> 8); }

    // The attributes a recording's audio gets, as a recorder writes them:
    // its coding, 00001 in bits 20..16, 11 in bits 15..14 for AC-3, the
    // channel code of its channels for every coding (dual mono for an MPEG
    // dual-channel or AC-3 1+1 stream), and the bit-rate code (for AC-3 and
    // MPEG-1 audio its rate's code, for linear PCM 13 mono or 14 stereo).
    // A coding the format has no code for gets all zeros.
    static AudioAttributes Of(const VR_MPEGFILE_INFO& info);
    // The channel code of a stream of `channels` channels (1 or more) whose
    // MPEG audio mode is `mode` (2: dual channel, 1+1).
    static BYTE ChannelCode(DWORD channels, DWORD mode);

    // Channels and the audio mode of the channel code (3 single channel, 2
    // dual channel, 0 otherwise).
    DWORD ChannelCount() const;
    DWORD AudioMode() const;
    // kbit/s of the bit-rate code; 0 for codes the format does not define.
    DWORD BitrateKbps() const;
};

// VOBU_ENT, 24 bits.
#define VRM_BITS_VOBU_ENT(F)                                   \
    F(firstRefSize, 16, 8) /* 1STREF_SZ */                     \
    F(playbackFields, 10, 6) /* VOBU_PB_TM, in video fields */ \
    F(sectors, 0, 10) /* VOBU_SZ */

struct VobuEntry {
    static constexpr unsigned kMaxPlaybackFields = 63;
    static constexpr unsigned kMaxSectors = 1023;

    BYTE firstRefSize = 0;
    BYTE playbackFields = 0;
    WORD sectors = 0;

    static VobuEntry Unpack(const BYTE in[3]);
    // Fields and sectors beyond their widths are stored as the largest value
    // that fits.
    void Pack(BYTE out[3]) const;
};

}  // namespace vrm

#endif
