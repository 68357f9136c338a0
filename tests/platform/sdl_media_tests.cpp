// Music heard through SDL's disk driver, which writes what would be played into a file as raw
// signed 16-bit stereo samples. The test files are tones and notes written by code below.
#include "platform/sdl_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "demo/byte_writer.h"
#include "tests/support/temp_dir.h"

#if QB_HAVE_FFMPEG
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#endif
#if QB_HAVE_TEST_ENCODERS
#include <FLAC/stream_encoder.h>
#include <vorbis/vorbisenc.h>
#endif

namespace qb {
namespace {

using demo::PutBe32;
using demo::PutLe16;
using demo::PutLe32;

int16_t ToneSample(uint32_t i, uint32_t rate) {
    return static_cast<int16_t>(16000 * std::sin(2 * M_PI * 440 * i / rate));
}

// `seconds` of a 440 Hz tone at half scale, 22050 Hz mono.
std::string ToneWav(double seconds) {
    const uint32_t rate = 22050;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::string wav = "RIFF";
    PutLe32(wav, 36 + frames * 2);
    wav += "WAVEfmt ";
    PutLe32(wav, 16);
    PutLe16(wav, 1);
    PutLe16(wav, 1);
    PutLe32(wav, rate);
    PutLe32(wav, rate * 2);
    PutLe16(wav, 2);
    PutLe16(wav, 16);
    wav += "data";
    PutLe32(wav, frames * 2);
    for (uint32_t i = 0; i < frames; ++i)
        PutLe16(wav, static_cast<uint16_t>(ToneSample(i, rate)));
    return wav;
}

#if QB_HAVE_TEST_ENCODERS
// The same tone through the reference encoders of the formats.
std::string ToneFlac(const test::TempDir& dir, double seconds) {
    const uint32_t rate = 22050;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::unique_ptr<FLAC__StreamEncoder, void (*)(FLAC__StreamEncoder*)> encoder(FLAC__stream_encoder_new(),
                                                                                 FLAC__stream_encoder_delete);
    const std::string path = (dir.Path() / "tone.flac").string();
    if (!encoder) return path;
    FLAC__stream_encoder_set_channels(encoder.get(), 1);
    FLAC__stream_encoder_set_bits_per_sample(encoder.get(), 16);
    FLAC__stream_encoder_set_sample_rate(encoder.get(), rate);
    if (FLAC__stream_encoder_init_file(encoder.get(), path.c_str(), nullptr, nullptr) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return path;
    std::vector<FLAC__int32> samples(frames);
    for (uint32_t i = 0; i < frames; ++i) samples[i] = ToneSample(i, rate);
    FLAC__stream_encoder_process_interleaved(encoder.get(), samples.data(), frames);
    FLAC__stream_encoder_finish(encoder.get());
    return path;
}

std::string ToneOgg(double seconds) {
    const uint32_t rate = 22050;
    const auto frames = static_cast<int>(seconds * rate);
    std::string out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, rate, 0.4f) != 0) return out;
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    ogg_page page;
    auto append = [&] { out.append(reinterpret_cast<const char*>(page.header), page.header_len);
                        out.append(reinterpret_cast<const char*>(page.body), page.body_len); };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page)) append();
    float** buffer = vorbis_analysis_buffer(&dsp, frames);
    for (int i = 0; i < frames; ++i) buffer[0][i] = ToneSample(static_cast<uint32_t>(i), rate) / 32768.0f;
    vorbis_analysis_wrote(&dsp, frames);
    vorbis_analysis_wrote(&dsp, 0);
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_pageout(&stream, &page)) append();
        }
    }
    while (ogg_stream_flush(&stream, &page)) append();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}
#endif

#if QB_HAVE_FFMPEG
// The tone as Windows Media Audio (version 2) in an ASF file, through FFmpeg's own encoder.
std::string ToneWma(const test::TempDir& dir, double seconds) {
    const std::string path = (dir.Path() / "tone.wma").string();
    const int rate = 22050;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    AVFormatContext* out = nullptr;
    if (!codec || avformat_alloc_output_context2(&out, nullptr, "asf", path.c_str()) < 0) return path;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx->sample_rate = rate;
    ctx->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    ctx->bit_rate = 64000;
    AVStream* stream = avformat_new_stream(out, nullptr);
    if (avcodec_open2(ctx, codec, nullptr) == 0 && stream &&
        avcodec_parameters_from_context(stream->codecpar, ctx) >= 0 &&
        avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(out, nullptr) >= 0) {
        stream->time_base = AVRational{1, rate};
        AVFrame* frame = av_frame_alloc();
        AVPacket* packet = av_packet_alloc();
        auto drain = [&] {
            while (avcodec_receive_packet(ctx, packet) == 0) {
                av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
                packet->stream_index = stream->index;
                av_interleaved_write_frame(out, packet);
            }
        };
        const auto total = static_cast<uint32_t>(seconds * rate);
        for (uint32_t at = 0; at < total; at += static_cast<uint32_t>(ctx->frame_size)) {
            frame->nb_samples = ctx->frame_size;
            frame->format = ctx->sample_fmt;
            av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
            if (av_frame_get_buffer(frame, 0) < 0) break;
            auto* data = reinterpret_cast<float*>(frame->data[0]);
            for (int i = 0; i < ctx->frame_size; ++i)
                data[i] = at + i < total ? ToneSample(at + i, rate) / 32768.0f : 0.0f;
            frame->pts = at;
            avcodec_send_frame(ctx, frame);
            av_frame_unref(frame);
            drain();
        }
        avcodec_send_frame(ctx, nullptr);
        drain();
        av_write_trailer(out);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avio_closep(&out->pb);
    }
    avcodec_free_context(&ctx);
    avformat_free_context(out);
    return path;
}
#endif

// A four-channel tracker module: one looped one-cycle wave played from the first row, and a
// pattern break on row 8 that ends the one-pattern song after 8 rows at the default speed (6 ticks
// of 20 ms a row: 0.96 s).
std::string Module() {
    std::string mod(20, '\0');  // title
    const int sampleWords = 16;  // a 32-byte sample
    for (int i = 0; i < 31; ++i) {
        std::string header(30, '\0');
        if (i == 0) {
            header[22] = 0;
            header[23] = static_cast<char>(sampleWords);
            header[24] = 0;     // finetune
            header[25] = 64;    // volume
            header[26] = 0;     // loop start (words)
            header[27] = 0;
            header[28] = 0;     // loop length (words)
            header[29] = static_cast<char>(sampleWords);
        }
        mod += header;
    }
    mod += '\x01';  // song length
    mod += '\x7F';
    mod += std::string(128, '\0');  // order table: pattern 0
    mod += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    // Row 0, channel 0: sample 1, period 214 (C-3).
    pattern[0] = 0x00;
    pattern[1] = static_cast<char>(214);
    pattern[2] = 0x10;
    pattern[3] = 0x00;
    // Row 7, channel 0: effect D00, pattern break.
    pattern[7 * 16 + 2] = 0x0D;
    mod += pattern;
    for (int i = 0; i < sampleWords * 2; ++i)
        mod += static_cast<char>(static_cast<int8_t>(100 * std::sin(2 * M_PI * i / (sampleWords * 2))));
    return mod;
}

// Four quarter notes at 120 beats a minute (two seconds), piano.
std::string NotesMidi() {
    std::string track;
    track += std::string("\x00\xC0\x00", 3);  // program 0
    for (int note : {60, 64, 67, 72}) {
        track += '\x00';
        track += '\x90';
        track += static_cast<char>(note);
        track += '\x64';
        track += std::string("\x83\x60", 2);  // 480 ticks
        track += '\x80';
        track += static_cast<char>(note);
        track += '\x40';
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string midi = "MThd";
    PutBe32(midi, 6);
    midi += std::string("\x00\x00\x00\x01\x01\xE0", 6);  // format 0, one track, 480 ticks a beat
    midi += "MTrk";
    PutBe32(midi, static_cast<uint32_t>(track.size()));
    return midi + track;
}

// Sixteen notes at once on four channels, all at full velocity, for one second: as loud as MIDI
// music gets.
std::string LoudChordsMidi() {
    std::string on, off;
    for (char channel = 0; channel < 4; ++channel) {
        on += std::string("\x00", 1) + static_cast<char>(0xC0 | channel) + static_cast<char>(channel * 16);
        for (char note : {48, 52, 55, 60}) {
            on += std::string("\x00", 1) + static_cast<char>(0x90 | channel) +
                  static_cast<char>(note + channel * 7) + '\x7F';
            off += (off.empty() ? std::string("\x87\x40", 2) : std::string(1, '\0')) +
                   static_cast<char>(0x80 | channel) + static_cast<char>(note + channel * 7) +
                   '\x40';  // the first 960 ticks later
        }
    }
    const std::string track = on + off + std::string("\x00\xFF\x2F\x00", 4);
    std::string midi = "MThd";
    PutBe32(midi, 6);
    midi += std::string("\x00\x00\x00\x01\x01\xE0", 6);
    midi += "MTrk";
    PutBe32(midi, static_cast<uint32_t>(track.size()));
    return midi + track;
}

struct Heard {
    double seconds = 0;  // from the first to the last audible sample
    double rms = 0;      // over that span
    double clipped = 0;  // share of samples at full scale
    bool positionWasDuration = false;
    bool opened = false;
    double duration = 0;
};

// Plays the file once to its end on the disk driver and measures what was written.
// `fast`: the driver waits 1 ms a buffer instead of the buffer's playing time, so long files play in
// a fraction of it (positions then come from the decoder, not the clock).
Heard PlayToEnd(const test::TempDir& dir, const std::string& file, int32_t volume, bool fast = false) {
    const std::string out = (dir.Path() / "heard.raw").string();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    if (fast)
        ::setenv("SDL_DISKAUDIODELAY", "1", 1);
    else
        ::unsetenv("SDL_DISKAUDIODELAY");
    Heard heard;
    {
        SdlMediaBackend media;
        EXPECT_EQ(media.DriverName(), "disk");
        heard.opened = media.Open(file);
        if (!heard.opened) return heard;
        media.SetVolume(volume);
        media.Play();
        // Bounded, not timed: the disk driver plays in real time.
        for (int i = 0; i < 2000 && media.Playing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        heard.duration = media.Duration();
        heard.positionWasDuration = media.Duration() > 0 && media.Position() == media.Duration();
    }
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string raw = dir.Read("heard.raw");
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > 8) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first >= last) return heard;
    size_t full = 0;
    for (int16_t v : samples) full += v >= 32767 || v <= -32767;
    heard.clipped = static_cast<double>(full) / static_cast<double>(samples.size());
    double sum = 0;
    for (size_t i = first; i <= last; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    heard.rms = std::sqrt(sum / static_cast<double>(last - first + 1));
    // 44100 Hz: the device rate the backend asks for.
    heard.seconds = static_cast<double>(last - first) / 2 / 44100.0;
    return heard;
}

TEST(SdlMedia, EachFormatIsHeardForAboutItsLengthAndEndsAtItsDuration) {
    test::TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
        double least, most;  // seconds heard; notes ring on after their release
    } files[] = {
        {"tone.wav", ToneWav(0.5), 0.4, 0.7},
        {"notes.mid", NotesMidi(), 1.5, 2.4},  // ends with its last note, not once the reverb has died
        {"wave.mod", Module(), 0.7, 1.3},
#if QB_HAVE_TEST_ENCODERS
        {"tone.ogg", ToneOgg(0.5), 0.4, 0.7},
#endif
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const Heard heard = PlayToEnd(dir, dir.Write(f.name, f.bytes).string(), 0);
        ASSERT_TRUE(heard.opened);
        std::printf("%s: %.3f s heard, rms %.0f\n", f.name, heard.seconds, heard.rms);
        EXPECT_GT(heard.rms, 100);
        EXPECT_GE(heard.seconds, f.least);
        EXPECT_LE(heard.seconds, f.most);
        EXPECT_TRUE(heard.positionWasDuration);
    }
#if QB_HAVE_FFMPEG
    {
        // Played through FFmpeg's decoder: the mixer cannot open it.
        const Heard heard = PlayToEnd(dir, ToneWma(dir, 0.5), 0);
        ASSERT_TRUE(heard.opened);
        std::printf("tone.wma: %.3f s heard, rms %.0f\n", heard.seconds, heard.rms);
        EXPECT_GT(heard.rms, 100);
        EXPECT_NEAR(heard.seconds, 0.5, 0.15);
        EXPECT_TRUE(heard.positionWasDuration);
    }
#endif
#if QB_HAVE_TEST_ENCODERS
    {
        // The FLAC encoder writes its file itself.
        const Heard heard = PlayToEnd(dir, ToneFlac(dir, 0.5), 0);
        ASSERT_TRUE(heard.opened);
        std::printf("tone.flac: %.3f s heard, rms %.0f\n", heard.seconds, heard.rms);
        EXPECT_GT(heard.rms, 100);
        EXPECT_NEAR(heard.seconds, 0.5, 0.1);
        EXPECT_TRUE(heard.positionWasDuration);
    }
#endif
}

// A real MP3 reports a position a little short of its duration at its end; the backend still ends
// at the duration.
TEST(SdlMedia, ARealMp3IsHeardWholeAndEndsAtItsDuration) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus not present";
    test::TempDir dir;
    const Heard heard = PlayToEnd(dir, (corpus / "music/MineTech99__balrog-mp3/balrog.mp3").string(), 0, true);
    ASSERT_TRUE(heard.opened);
    std::printf("balrog.mp3: duration %.3f s, %.3f s heard, rms %.0f\n", heard.duration, heard.seconds, heard.rms);
    EXPECT_GT(heard.duration, 10);
    EXPECT_NEAR(heard.seconds, heard.duration, 2.0);
    EXPECT_GT(heard.rms, 100);
    EXPECT_TRUE(heard.positionWasDuration);
}

TEST(SdlMedia, VolumeFollowsDecibels) {
    test::TempDir dir;
    const std::string tone = dir.Write("tone.wav", ToneWav(0.3)).string();
    const Heard full = PlayToEnd(dir, tone, 0);
    const Heard lower = PlayToEnd(dir, tone, -3000);
    const Heard silent = PlayToEnd(dir, tone, -10000);
    ASSERT_GT(full.rms, 1000);
    std::printf("rms at 0: %.1f, at -3000: %.1f, at -10000: %.1f\n", full.rms, lower.rms, silent.rms);
    // -30 dB is a factor of 10^(-1.5), about 0.032, in amplitude.
    EXPECT_NEAR(lower.rms / full.rms, 0.0316, 0.005);
    EXPECT_EQ(silent.rms, 0);
    EXPECT_DOUBLE_EQ(SdlMediaBackend::Gain(-2000), 0.1);
}

TEST(SdlMedia, MidiIsNeverClippedAndItsVolumeFollowsDecibels) {
    test::TempDir dir;
    const std::string chords = dir.Write("chords.mid", LoudChordsMidi()).string();
    const Heard full = PlayToEnd(dir, chords, 0);
    const Heard lower = PlayToEnd(dir, chords, -3000);
    ASSERT_TRUE(full.opened);
    std::printf("chords.mid: %.3f s of %.3f, clipped %.4f, rms at 0: %.1f, at -3000: %.1f\n", full.seconds,
                full.duration, full.clipped, full.rms, lower.rms);
    EXPECT_DOUBLE_EQ(full.duration, 1.0);  // from the file: two beats at 120 a minute
    EXPECT_EQ(full.clipped, 0);
    EXPECT_GT(full.rms, 1000);  // still music, not a whisper
    EXPECT_NEAR(lower.rms / full.rms, 0.0316, 0.005);
    EXPECT_EQ(lower.clipped, 0);
}

TEST(SdlMedia, UnplayableFilesSayWhyAndLeaveThePlayerQuiet) {
    test::TempDir dir;
    SdlMediaBackend media;
    EXPECT_TRUE(media.AudioOpen());  // the dummy driver at worst
    EXPECT_FALSE(media.Open(dir.Write("junk.mp3", "not music at all").string()));
    EXPECT_FALSE(media.LastError().empty());
    EXPECT_FALSE(media.Open((dir.Path() / "missing.ogg").string()));
    EXPECT_FALSE(media.LastError().empty());
    EXPECT_FALSE(media.Play());
    EXPECT_EQ(media.Position(), 0);
    EXPECT_EQ(media.Duration(), 0);
}

}  // namespace
}  // namespace qb
