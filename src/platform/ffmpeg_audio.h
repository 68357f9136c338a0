#pragma once
// Audio files SDL2_mixer cannot open (Windows Media Audio above all), decoded through FFmpeg's
// libraries into signed 16-bit stereo at the mixer's rate. Built only where FFmpeg is found.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace qb {

class FfmpegAudio {
public:
    // Null when the file cannot be decoded; `error` says why.
    static std::unique_ptr<FfmpegAudio> Open(const std::string& path, int rate, std::string& error);
    // The sample rate of the file's audio stream as stored (before any resampling); 0 when it
    // cannot be read.
    static int FileSampleRate(const std::string& path);
    struct Token {
    private:
        Token() = default;
        friend class FfmpegAudio;
    };
    explicit FfmpegAudio(Token) {}
    ~FfmpegAudio();
    FfmpegAudio(const FfmpegAudio&) = delete;
    FfmpegAudio& operator=(const FfmpegAudio&) = delete;

    // Fills up to `frames` stereo frames; answers how many, 0 at the end of the file.
    int Read(int16_t* out, int frames);
    bool Seek(double seconds);
    double Duration() const { return m_duration; }
    double Position() const { return static_cast<double>(m_framesOut) / m_rate; }
    // The stream's own sample rate.
    int SourceRate() const { return m_sourceRate; }

private:
    bool DecodeMore();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_swr = nullptr;
    int m_stream = -1;
    int m_rate = 44100;
    int m_sourceRate = 0;
    double m_duration = 0;
    bool m_draining = false;
    std::vector<int16_t> m_pending;
    size_t m_pendingPos = 0;
    int64_t m_framesOut = 0;
};

}  // namespace qb
