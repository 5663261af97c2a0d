#include "tools/render/mp3_mpg123.h"

#include <mpg123.h>

namespace flickwell {

namespace {

class Mpg123Decoder : public engine::Mp3Decoder {
  public:
    explicit Mpg123Decoder(mpg123_handle* h) : h_(h) {}
    ~Mpg123Decoder() override { mpg123_delete(h_); }

    // Frames are fed as they come; whatever the library has ready comes out.
    size_t DecodeFrame(const uint8_t* frame, size_t size, int16_t* out, size_t capacity) override {
        unsigned char* dst = reinterpret_cast<unsigned char*>(out);
        const size_t bytes = capacity * sizeof(int16_t);
        size_t total = 0, done = 0;
        int ret = mpg123_decode(h_, frame, size, dst, bytes, &done);
        total += done;
        while ((ret == MPG123_NEW_FORMAT || ret == MPG123_OK) && total < bytes) {
            ret = mpg123_decode(h_, nullptr, 0, dst + total, bytes - total, &done);
            if (done == 0 && ret == MPG123_OK) {
                break;
            }
            total += done;
        }
        return total / sizeof(int16_t);
    }

  private:
    mpg123_handle* h_;
};

} // namespace

engine::Mp3DecoderSource Mpg123Decoders() {
#if MPG123_API_VERSION < 46
    if (mpg123_init() != MPG123_OK) {
        return nullptr;
    }
#endif
    return [](int rate, int channels) -> std::unique_ptr<engine::Mp3Decoder> {
        int err = 0;
        mpg123_handle* h = mpg123_new(nullptr, &err);
        if (h == nullptr) {
            return nullptr;
        }
        mpg123_param(h, MPG123_FLAGS, MPG123_QUIET, 0);
        mpg123_format_none(h);
        if (mpg123_format(h, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                          MPG123_ENC_SIGNED_16) != MPG123_OK ||
            mpg123_open_feed(h) != MPG123_OK) {
            mpg123_delete(h);
            return nullptr;
        }
        return std::unique_ptr<engine::Mp3Decoder>(new Mpg123Decoder(h));
    };
}

} // namespace flickwell
