// Where the player puts the movie in its window: once over the client area, or once per
// monitor when the window covers several whole (the full-screen saver on a desktop of
// several monitors), with monitors of any size and place, the primary anywhere.
#include <gtest/gtest.h>

#include <vector>

#include "player/control/monitor_layout.h"

namespace {

using engine::Box;

bool Same(const Box& a, const Box& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(MonitorLayout, OnePicturePerWholeMonitorInClientCoordinatesElseOneOverTheWindow) {
    const struct Case {
        const char* what;
        Box client;
        std::vector<Box> monitors;
        std::vector<Box> expected;
    } cases[] = {
        {"one monitor, full screen", {0, 0, 1024, 768}, {{0, 0, 1024, 768}}, {{0, 0, 1024, 768}}},
        {"a preview window on one of two monitors",
         {100, 80, 252, 192},
         {{0, 0, 1024, 768}, {1024, 0, 2048, 768}},
         {{0, 0, 152, 112}}},
        {"two side by side, the virtual screen",
         {0, 0, 2048, 768},
         {{0, 0, 1024, 768}, {1024, 0, 2048, 768}},
         {{0, 0, 1024, 768}, {1024, 0, 2048, 768}}},
        {"a smaller second monitor left of the primary, lower down",
         {-800, 0, 1280, 1024},
         {{0, 0, 1280, 1024}, {-800, 424, 0, 1024}},
         {{800, 0, 2080, 1024}, {0, 424, 800, 1024}}},
        {"stacked",
         {0, -768, 1024, 768},
         {{0, 0, 1024, 768}, {0, -768, 1024, 0}},
         {{0, 768, 1024, 1536}, {0, 0, 1024, 768}}},
        {"a window over one monitor and part of another",
         {0, 0, 1500, 768},
         {{0, 0, 1024, 768}, {1024, 0, 2048, 768}},
         {{0, 0, 1500, 768}}},
        {"an empty monitor rectangle counts for nothing",
         {0, 0, 2048, 768},
         {{0, 0, 1024, 768}, {1024, 0, 1024, 768}},
         {{0, 0, 2048, 768}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Box viewports[kMaxViewports];
        const size_t count =
            MovieViewports(c.client, c.monitors.data(), c.monitors.size(), viewports);
        ASSERT_EQ(c.expected.size(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_TRUE(Same(c.expected[i], viewports[i])) << i;
        }
    }
}

TEST(MonitorLayout, MoreMonitorsThanViewportsGiveOnePicture) {
    std::vector<Box> monitors;
    for (int i = 0; i <= int(kMaxViewports); ++i) {
        monitors.push_back(Box{i * 100, 0, i * 100 + 100, 100});
    }
    const Box client{0, 0, int(monitors.size()) * 100, 100};
    Box viewports[kMaxViewports];
    ASSERT_EQ(1u, MovieViewports(client, monitors.data(), monitors.size(), viewports));
    EXPECT_TRUE(Same(Box{0, 0, client.right, 100}, viewports[0]));
    // As many as fit are laid out one each.
    ASSERT_EQ(kMaxViewports, MovieViewports(client, monitors.data(), kMaxViewports, viewports));
}

} // namespace
