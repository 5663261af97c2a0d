// The timeline clock against made-up times: the movie's rate, looping or stopping at the
// end, a stalled or wrapped counter, and movies without frames or a rate.
#include <gtest/gtest.h>

#include "player/core/timeline/frame_clock.h"

namespace {

TEST(FrameClock, AdvancesAtTheMovieRateAndLoopsOrStops) {
    FrameClock clock;
    clock.Reset(3, 10 * 256); // 10 frames a second
    EXPECT_FALSE(clock.Tick(1000)) << "not before Play";
    clock.Play(1000);
    EXPECT_FALSE(clock.Tick(1099));
    EXPECT_TRUE(clock.Tick(1100));
    EXPECT_TRUE(clock.Tick(1200));
    EXPECT_EQ(2u, clock.Frame());
    EXPECT_TRUE(clock.Tick(1300)); // loops by default
    EXPECT_EQ(0u, clock.Frame());

    clock.SetLoop(false);
    clock.Tick(1500);
    EXPECT_EQ(2u, clock.LastSteps());
    EXPECT_FALSE(clock.Tick(1600));
    EXPECT_EQ(0u, clock.LastSteps()) << "stopping at the end is no step the timeline takes";
    EXPECT_FALSE(clock.Playing()) << "stops on the last frame";
    EXPECT_EQ(2u, clock.Frame());
    clock.Play(2000); // from the start again
    EXPECT_EQ(0u, clock.Frame());
    clock.Stop();
    EXPECT_FALSE(clock.Tick(5000));
}

TEST(FrameClock, SkipsAheadAfterAStallAndSurvivesTheCounterWrap) {
    FrameClock clock;
    clock.Reset(1000, 20 * 256); // 50 ms
    clock.Play(0xFFFFFF00u);
    EXPECT_TRUE(clock.Tick(0xFFFFFF00u + 50));
    EXPECT_EQ(1u, clock.Frame());
    EXPECT_TRUE(clock.Tick(0x00000010u)); // wrapped: 272 ms later, five frames due
    EXPECT_LE(clock.Frame(), 5u);
    EXPECT_GE(clock.Frame(), 4u);
    const uint32_t before = clock.Frame();
    clock.Tick(0x00100000u); // minutes of stall: a few frames, then back in step
    EXPECT_LE(clock.Frame() - before, 4u);
    EXPECT_FALSE(clock.Tick(0x00100000u + 10));
    EXPECT_TRUE(clock.Tick(0x00100000u + 50));
}

TEST(FrameClock, HandlesMoviesWithoutFramesOrRate) {
    FrameClock clock;
    clock.Reset(0, 12 * 256);
    clock.Play(0);
    EXPECT_FALSE(clock.Playing()) << "nothing to play";
    clock.Reset(1, 0);
    EXPECT_EQ(256000u, clock.IntervalMs()); // 1/256 frame a second
    clock.Reset(2, 0xFFFF);
    EXPECT_GE(clock.IntervalMs(), 1u);
    clock.Play(0);
    clock.GoTo(99);
    EXPECT_EQ(1u, clock.Frame());
}

} // namespace
