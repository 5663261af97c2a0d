// Inputs that once broke a video decoder, or were made to probe its bounds, replayed through
// the fuzz target's own code (codec by file name prefix): each must play to the end.
#include <gtest/gtest.h>

#include <dirent.h>

#include <string>

#include "tests/video/video_clips.h"

int PlayVideoInput(uint8_t codec, const uint8_t* data, size_t size);

namespace {

TEST(VideoFuzzFindings, PlayToTheEnd) {
    const std::string dir = FLICKWELL_VIDEO_FINDINGS_DIR;
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    int played = 0;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        const uint8_t codec = name.rfind("h263_", 0) == 0      ? 2
                              : name.rfind("screen_", 0) == 0  ? 3
                              : name.rfind("vp6_", 0) == 0     ? 4
                              : name.rfind("vp6a_", 0) == 0    ? 5
                              : name.rfind("screen2_", 0) == 0 ? 6
                                                               : 0;
        if (codec == 0) {
            continue;
        }
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = videotest::ReadAll(dir + "/" + name);
        PlayVideoInput(codec, bytes.data(), bytes.size());
        ++played;
    }
    closedir(d);
    EXPECT_GE(played, 2);
}

} // namespace
