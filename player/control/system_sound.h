// The system's side of the movie's sound: MP3 decoded by the system's MPEG Layer-3 codec
// through the Audio Compression Manager, and the engine's mix played through waveOut.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "player/core/engine.h"

// A decoder source over the system's MP3 codec; it gives null decoders where there is none.
engine::Mp3DecoderSource SystemMp3Decoders();

// The engine's mix on the default wave device, about 100 ms ahead in a ring of buffers the
// caller refills from its own thread (no callback thread, no lock). Without a device it
// stays closed and says nothing.
class SoundOut {
  public:
    SoundOut() = default;
    ~SoundOut() { Close(); }
    SoundOut(const SoundOut&) = delete;
    SoundOut& operator=(const SoundOut&) = delete;

    bool Open();
    bool IsOpen() const { return device_ != NULL; }
    // Mixes into every buffer the device has finished with and queues it again.
    void Fill(engine::Player& movie);
    void Pause();
    void Resume();
    // Stops at once: queued sound is dropped, not played out.
    void Close();

    static const int kBuffers = 5;
    static const int kBufferFrames = engine::kSoundRate / 50; // 20 ms each

  private:
    HWAVEOUT device_ = NULL;
    WAVEHDR headers_[kBuffers] = {};
    int16_t samples_[kBuffers][kBufferFrames * 2] = {};
    bool paused_ = false;
};
