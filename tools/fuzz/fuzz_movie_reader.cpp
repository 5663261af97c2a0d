// libFuzzer target for the movie reader: any bytes as a movie file. Built natively with
// AddressSanitizer by scripts/fuzz-player.sh, so a read past a buffer stops the run.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player/core/timeline/frame_clock.h"
#include "player/core/swf/movie_reader.h"
#include "player/movie_url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A small limit keeps each run fast; the limit check itself is the same code.
    swf::Movie movie;
    if (swf::ReadMovie(data, size, &movie, 4u * 1024u * 1024u) == swf::ReadStatus::Ok) {
        // What drawing code will do with the tags: walk them and unpack records.
        swf::TagIterator tags = movie.Tags();
        swf::Tag tag;
        while (tags.Next(&tag)) {
            swf::BitReader bits(tag.body, tag.length);
            swf::Rect rect;
            swf::Matrix matrix;
            swf::ReadRect(&bits, &rect);
            swf::ReadMatrix(&bits, &matrix);
            bits.UB(tag.code % 33);
        }
        FrameClock clock;
        clock.Reset(movie.Header().frameCount, movie.Header().frameRate);
        clock.Play(0);
        clock.Tick(0xFFFFFFFFu);
    }
    // The same bytes as a URL in UTF-16.
    std::wstring url;
    for (size_t i = 0; i + 1 < size && i < 2048; i += 2) {
        url += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    MoviePathFromUrl(url);
    return 0;
}
