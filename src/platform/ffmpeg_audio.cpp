#include "platform/ffmpeg_audio.h"

#ifdef QB_HAVE_FFMPEG

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace qb {

namespace {
std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
}  // namespace

std::unique_ptr<FfmpegAudio> FfmpegAudio::Open(const std::string& path, int rate, std::string& error) {
    auto audio = std::make_unique<FfmpegAudio>(Token());
    audio->m_rate = rate;
    int rc = avformat_open_input(&audio->m_format, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        error = AvError(rc);
        return nullptr;
    }
    if ((rc = avformat_find_stream_info(audio->m_format, nullptr)) < 0) {
        error = AvError(rc);
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    audio->m_stream = av_find_best_stream(audio->m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (audio->m_stream < 0 || !codec) {
        error = "no audio stream it can decode";
        return nullptr;
    }
    audio->m_codec = avcodec_alloc_context3(codec);
    if (!audio->m_codec ||
        avcodec_parameters_to_context(audio->m_codec, audio->m_format->streams[audio->m_stream]->codecpar) < 0 ||
        (rc = avcodec_open2(audio->m_codec, codec, nullptr)) < 0) {
        error = "the decoder did not start";
        return nullptr;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&audio->m_swr, &stereo, AV_SAMPLE_FMT_S16, rate, &audio->m_codec->ch_layout,
                            audio->m_codec->sample_fmt, audio->m_codec->sample_rate, 0, nullptr) < 0 ||
        swr_init(audio->m_swr) < 0) {
        error = "the resampler did not start";
        return nullptr;
    }
    audio->m_sourceRate = audio->m_codec->sample_rate;
    audio->m_packet = av_packet_alloc();
    audio->m_frame = av_frame_alloc();
    if (!audio->m_packet || !audio->m_frame) {
        error = "out of memory";
        return nullptr;
    }
    if (audio->m_format->duration > 0)
        audio->m_duration = static_cast<double>(audio->m_format->duration) / AV_TIME_BASE;
    return audio;
}

int FfmpegAudio::FileSampleRate(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return 0;
    int rate = 0;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream >= 0) rate = std::max(format->streams[stream]->codecpar->sample_rate, 0);
    }
    avformat_close_input(&format);
    return rate;
}

FfmpegAudio::~FfmpegAudio() {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    swr_free(&m_swr);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

bool FfmpegAudio::DecodeMore() {
    for (;;) {
        int rc = avcodec_receive_frame(m_codec, m_frame);
        if (rc == 0) {
            const int capacity = swr_get_out_samples(m_swr, m_frame->nb_samples);
            m_pending.assign(static_cast<size_t>(std::max(capacity, 0)) * 2, 0);
            m_pendingPos = 0;
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(m_pending.data())};
            const int got = swr_convert(m_swr, out, capacity, const_cast<const uint8_t**>(m_frame->extended_data),
                                        m_frame->nb_samples);
            av_frame_unref(m_frame);
            m_pending.resize(static_cast<size_t>(std::max(got, 0)) * 2);
            if (!m_pending.empty()) return true;
            continue;
        }
        if (rc != AVERROR(EAGAIN)) return false;  // the end, or a broken stream
        if (m_draining) return false;
        rc = av_read_frame(m_format, m_packet);
        if (rc < 0) {
            m_draining = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream) avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
    }
}

int FfmpegAudio::Read(int16_t* out, int frames) {
    int done = 0;
    while (done < frames) {
        if (m_pendingPos >= m_pending.size() && !DecodeMore()) break;
        const size_t available = (m_pending.size() - m_pendingPos) / 2;
        const size_t take = std::min(available, static_cast<size_t>(frames - done));
        std::memcpy(out + done * 2, m_pending.data() + m_pendingPos, take * 2 * sizeof(int16_t));
        m_pendingPos += take * 2;
        done += static_cast<int>(take);
    }
    m_framesOut += done;
    return done;
}

bool FfmpegAudio::Seek(double seconds) {
    if (av_seek_frame(m_format, -1, static_cast<int64_t>(seconds * AV_TIME_BASE), AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    swr_init(m_swr);
    m_draining = false;
    m_pending.clear();
    m_pendingPos = 0;
    m_framesOut = static_cast<int64_t>(seconds * m_rate);
    return true;
}

}  // namespace qb

#else

namespace qb {

std::unique_ptr<FfmpegAudio> FfmpegAudio::Open(const std::string&, int, std::string& error) {
    error = "this build cannot decode it (no FFmpeg)";
    return nullptr;
}
int FfmpegAudio::FileSampleRate(const std::string&) {
    return 0;
}
FfmpegAudio::~FfmpegAudio() = default;
int FfmpegAudio::Read(int16_t*, int) {
    return 0;
}
bool FfmpegAudio::Seek(double) {
    return false;
}
bool FfmpegAudio::DecodeMore() {
    return false;
}

}  // namespace qb

#endif
