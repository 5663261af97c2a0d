#include "player/control/system_sound.h"

#include <mmreg.h>
#include <msacm.h>

#include <new>

namespace {

const size_t kMaxFrameBytes = 4096;     // an MPEG audio frame is at most 2881 bytes
const size_t kMaxOutSamples = 4608 * 2; // a frame or two of 1152 stereo samples

class AcmMp3 : public engine::Mp3Decoder {
  public:
    AcmMp3(HACMSTREAM stream) : stream_(stream) {
        header_.cbStruct = sizeof(header_);
        header_.pbSrc = in_;
        header_.cbSrcLength = DWORD(sizeof in_);
        header_.pbDst = reinterpret_cast<BYTE*>(out_);
        header_.cbDstLength = DWORD(sizeof out_);
        prepared_ = acmStreamPrepareHeader(stream_, &header_, 0) == 0;
    }
    ~AcmMp3() override {
        if (prepared_) {
            header_.cbSrcLength = DWORD(sizeof in_);
            acmStreamUnprepareHeader(stream_, &header_, 0);
        }
        acmStreamClose(stream_, 0);
    }

    size_t DecodeFrame(const uint8_t* frame, size_t size, int16_t* out, size_t capacity) override {
        if (!prepared_ || size > sizeof in_) {
            return 0;
        }
        memcpy(in_, frame, size);
        header_.cbSrcLength = DWORD(size);
        header_.cbSrcLengthUsed = header_.cbDstLengthUsed = 0;
        if (acmStreamConvert(stream_, &header_, ACM_STREAMCONVERTF_BLOCKALIGN) != 0) {
            return 0;
        }
        size_t samples = header_.cbDstLengthUsed / sizeof(int16_t);
        samples = samples < capacity ? samples : capacity;
        memcpy(out, out_, samples * sizeof(int16_t));
        return samples;
    }

  private:
    HACMSTREAM stream_;
    BYTE in_[kMaxFrameBytes];
    int16_t out_[kMaxOutSamples];
    ACMSTREAMHEADER header_ = {};
    bool prepared_ = false;
};

} // namespace

engine::Mp3DecoderSource SystemMp3Decoders() {
    return [](int rate, int channels) -> std::unique_ptr<engine::Mp3Decoder> {
        MPEGLAYER3WAVEFORMAT mp3 = {};
        mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
        mp3.wfx.nChannels = WORD(channels);
        mp3.wfx.nSamplesPerSec = DWORD(rate);
        mp3.wfx.nAvgBytesPerSec = 16000; // the codec reads the real rate from each frame
        mp3.wfx.nBlockAlign = 1;
        mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
        mp3.wID = MPEGLAYER3_ID_MPEG;
        mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
        mp3.nBlockSize = WORD((rate >= 32000 ? 144 : 72) * 128000 / rate);
        mp3.nFramesPerBlock = 1;
        mp3.nCodecDelay = 0;
        WAVEFORMATEX pcm = {};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        pcm.nChannels = WORD(channels);
        pcm.nSamplesPerSec = DWORD(rate);
        pcm.wBitsPerSample = 16;
        pcm.nBlockAlign = WORD(channels * 2);
        pcm.nAvgBytesPerSec = DWORD(rate) * pcm.nBlockAlign;
        HACMSTREAM stream = NULL;
        if (acmStreamOpen(&stream, NULL, &mp3.wfx, &pcm, NULL, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
            0) {
            return nullptr;
        }
        // Without memory for the decoder the stream is closed again and the sound is silent.
        AcmMp3* decoder = new (std::nothrow) AcmMp3(stream);
        if (decoder == nullptr) {
            acmStreamClose(stream, 0);
        }
        return std::unique_ptr<engine::Mp3Decoder>(decoder);
    };
}

bool SoundOut::Open() {
    if (device_ != NULL) {
        return true;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = engine::kSoundRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = engine::kSoundRate * 4;
    if (waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        device_ = NULL;
        return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
        headers_[i] = WAVEHDR();
        headers_[i].lpData = reinterpret_cast<LPSTR>(samples_[i]);
        headers_[i].dwBufferLength = sizeof(samples_[i]);
        if (waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
        headers_[i].dwFlags |= WHDR_DONE;
    }
    paused_ = false;
    return true;
}

void SoundOut::Fill(engine::Player& movie) {
    if (device_ == NULL || paused_) {
        return;
    }
    for (int i = 0; i < kBuffers; ++i) {
        if ((headers_[i].dwFlags & WHDR_DONE) == 0) {
            continue;
        }
        movie.MixSound(samples_[i], kBufferFrames);
        headers_[i].dwFlags &= ~WHDR_DONE;
        if (waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            headers_[i].dwFlags |= WHDR_DONE;
        }
    }
}

void SoundOut::Pause() {
    if (device_ != NULL && !paused_) {
        waveOutPause(device_);
        paused_ = true;
    }
}

void SoundOut::Resume() {
    if (device_ != NULL && paused_) {
        waveOutRestart(device_);
        paused_ = false;
    }
}

void SoundOut::Close() {
    if (device_ == NULL) {
        return;
    }
    waveOutReset(device_); // every queued buffer comes back done, unplayed
    for (int i = 0; i < kBuffers; ++i) {
        if (headers_[i].dwFlags & WHDR_PREPARED) {
            waveOutUnprepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        }
    }
    waveOutClose(device_);
    device_ = NULL;
}
