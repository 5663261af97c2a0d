// The four- and eight-at-a-time row kernels give the scalar kernels' bits on random rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <random>
#include <vector>

#include "player/core/render/rows.h"

namespace {

using namespace render;

struct RowCase {
    const char* name;
    int length;
    int coverMode; // 0 random, 1 mostly full or empty, 2 all full
    bool premultiplied;
};
// By name: gtest would otherwise print the struct's bytes, padding included.
void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name;
}

class Rows : public ::testing::TestWithParam<RowCase> {};

// The forms a kernel chooses among, each held to the scalar form's bits: the one this
// processor is given, four at a time, and eight at a time where the processor has AVX2.
struct Form {
    const char* name;
    void (*blend)(uint32_t*, const uint32_t*, const uint8_t*, int);
    void (*solid)(uint32_t*, uint32_t, const uint8_t*, int);
    void (*radial)(float, float, float, float, const uint32_t*, uint32_t*, int);
    void (*along)(const uint32_t*, const uint32_t*, int64_t, int64_t, uint32_t, uint32_t*, int);
};
const Form kAllForms[] = {
    {"chosen", rows::Blend, rows::BlendSolid, rows::RadialRow, rows::BilinearAlong},
    {"four", rows::four::Blend, rows::four::BlendSolid, rows::four::RadialRow,
     rows::four::BilinearAlong},
    {"eight", rows::eight::Blend, rows::eight::BlendSolid, rows::eight::RadialRow,
     rows::eight::BilinearAlong},
};
const std::vector<Form> kForms(std::begin(kAllForms), std::end(kAllForms) - (rows::Wide() ? 0 : 1));

TEST_P(Rows, FourAtATimeMatchesScalar) {
    const RowCase& c = GetParam();
    std::mt19937 rng(c.length * 7 + c.coverMode);
    auto pixel = [&]() {
        uint32_t p = rng();
        if (!c.premultiplied) {
            return p;
        }
        const uint32_t a = p >> 24;
        auto ch = [&](int s) { return std::min<uint32_t>((p >> s) & 255, a) << s; };
        return (a << 24) | ch(16) | ch(8) | ch(0);
    };
    for (int round = 0; round < 50; ++round) {
        // Eight pixels past the row, covered: a form that touched them would differ there.
        std::vector<uint32_t> dst(c.length + 8), src(dst.size());
        std::vector<uint8_t> covers(dst.size());
        for (size_t i = 0; i < dst.size(); ++i) {
            dst[i] = pixel();
            src[i] = round % 3 == 0 ? src[0] | 0xFF000000u : pixel();
            const uint32_t r = rng();
            covers[i] = c.coverMode == 2   ? 255
                        : c.coverMode == 1 ? (r & 1 ? 255 : (r & 2 ? 0 : r >> 24))
                                           : r >> 24;
        }
        std::vector<uint32_t> a = dst, b = dst;
        rows::BlendScalar(b.data(), src.data(), covers.data(), c.length);
        for (const auto& form : kForms) {
            a = dst;
            form.blend(a.data(), src.data(), covers.data(), c.length);
            ASSERT_EQ(a, b) << "blend " << form.name << ", round " << round;
        }
        b = dst;
        rows::BlendSolidScalar(b.data(), src[0], covers.data(), c.length);
        for (const auto& form : kForms) {
            a = dst;
            form.solid(a.data(), src[0], covers.data(), c.length);
            ASSERT_EQ(a, b) << "solid " << form.name << ", round " << round;
        }
        const int n = std::min(c.length, rows::kTexels);
        auto tx = std::make_unique<rows::Texels>();
        for (int i = 0; i < n; ++i) {
            tx->t0[i] = pixel();
            tx->t1[i] = pixel();
            tx->b0[i] = pixel();
            tx->b1[i] = pixel();
            tx->fx[i] = rng() & 255u;
            tx->fy[i] = rng() & 255u;
        }
        a.assign(n, 0);
        b.assign(n, 0);
        rows::Bilinear(*tx, a.data(), n);
        rows::BilinearScalar(*tx, b.data(), n);
        ASSERT_EQ(a, b) << "bilinear, round " << round;
        // Along a row: the texels the general form would be handed, mixed alike; steps
        // from a fraction of a column to two columns, reaching the row's last column.
        std::vector<uint32_t> r0(size_t(2 * n + 2)), r1(r0.size());
        for (size_t i = 0; i < r0.size(); ++i) {
            r0[i] = pixel();
            r1[i] = pixel();
        }
        // Every other round mirrored: from the last column back. The first rounds step one
        // column a pixel and just either side, each way (the widest step whose eight pixels'
        // columns lie within eight), the fraction carrying into the column a few pixels in.
        const int64_t kEdgeSteps[] = {65536, 65536, 65537, 65537, 65535, 65535};
        const bool edge = round < 6;
        const int64_t columnStep = edge ? kEdgeSteps[round] : 1 + int64_t(rng() % (2u << 16));
        const int64_t du = round % 2 ? -columnStep : columnStep;
        const int64_t last = int64_t(r0.size() - 1) << 16;
        const int64_t u0 = edge ? (round % 2 ? last - 65536 + 3 : 65532)
                                : last - 1 - (round % 2 ? 0 : du * (n - 1));
        const uint32_t fy = rng() & 255u;
        for (int i = 0; i < n; ++i) {
            const int64_t u = u0 + du * i;
            const size_t x = size_t(u >> 16);
            tx->t0[i] = r0[x];
            tx->t1[i] = r0[x + 1];
            tx->b0[i] = r1[x];
            tx->b1[i] = r1[x + 1];
            tx->fx[i] = uint32_t(u >> 8) & 255u;
            tx->fy[i] = fy;
        }
        b.assign(n, 0);
        rows::BilinearScalar(*tx, b.data(), n);
        for (const auto& form : kForms) {
            a.assign(n, 0);
            form.along(r0.data(), r1.data(), u0, du, fy, a.data(), n);
            ASSERT_EQ(a, b) << "bilinear along a row " << form.name << ", round " << round;
        }
        // The scalar form (what a processor without SSE2 runs) mixes each column once too.
        rows::BilinearAlongScalar(r0.data(), r1.data(), u0, du, fy, a.data(), n);
        ASSERT_EQ(a, b) << "bilinear along a row, scalar, round " << round;
        // A radial ramp along a row crossing the centre and the rim: from up to 1.2 radii
        // out on one side to as far on the other, rows through and beside the centre.
        std::vector<uint32_t> ramp(256);
        for (uint32_t& r : ramp) {
            r = pixel();
        }
        auto unit = [&]() { return float(rng() % 2001) / 1000.0f - 1.0f; };
        const float gu = 1.2f * unit(), gv = round % 5 == 0 ? 0.0f : unit();
        const float gdu = -2 * gu / float(c.length), gdv = 0.01f * unit();
        b.assign(c.length, 0);
        rows::RadialRowScalar(gu, gv, gdu, gdv, ramp.data(), b.data(), c.length);
        for (const auto& form : kForms) {
            a.assign(c.length, 0);
            form.radial(gu, gv, gdu, gdv, ramp.data(), a.data(), c.length);
            ASSERT_EQ(a, b) << "radial " << form.name << ", round " << round;
        }
        // A linear ramp along a row from before its first colour to past its last, either
        // way; every fourth round too far out for 32 bits.
        int64_t f = -int64_t(rng() % (64u << 16)) - 32768;
        int64_t step = (int64_t(300) << 16) / c.length + int64_t(rng() % 4096);
        if (round % 2 == 1) {
            f = (int64_t(256) << 16) - f;
            step = -step;
        }
        if (round % 4 == 3) {
            f += int64_t(1) << 40;
        }
        a.assign(c.length, 0);
        b.assign(c.length, 0);
        rows::LinearRow(f, step, ramp.data(), a.data(), c.length);
        rows::LinearRowScalar(f, step, ramp.data(), b.data(), c.length);
        ASSERT_EQ(a, b) << "linear, round " << round;
    }
}

// Smoothing rounds to nearest: equal texels mix to themselves at every fraction (an opaque
// bitmap stays opaque), and a mix of white and black lands on the nearest level.
TEST(Rows, SmoothingRoundsToNearest) {
    struct Case {
        uint32_t left, right, fx, fy, want;
    };
    const Case cases[] = {
        {0xFF8040C0u, 0xFF8040C0u, 128, 128, 0xFF8040C0u},
        {0xFF8040C0u, 0xFF8040C0u, 1, 255, 0xFF8040C0u},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 37, 200, 0xFFFFFFFFu},
        {0xFFFFFFFFu, 0xFF000000u, 128, 0, 0xFF808080u},
        {0xFFFFFFFFu, 0xFF000000u, 255, 0, 0xFF010101u}, // 255 / 256 of the way: 0.996
        {0xFFFFFFFFu, 0xFF000000u, 1, 0, 0xFFFEFEFEu},
        {0x80808080u, 0x00000000u, 0, 255, 0x80808080u}, // fy reads the lower row, kept equal
        {0x00000000u, 0x00000000u, 77, 77, 0x00000000u},
    };
    for (const Case& c : cases) {
        auto tx = std::make_unique<rows::Texels>();
        for (int i = 0; i < 4; ++i) {
            tx->t0[i] = tx->b0[i] = c.left;
            tx->t1[i] = tx->b1[i] = c.right;
            tx->fx[i] = c.fx;
            tx->fy[i] = c.fy;
        }
        std::vector<uint32_t> four(4), one(4);
        rows::Bilinear(*tx, four.data(), 4);
        rows::BilinearScalar(*tx, one.data(), 4);
        const uint32_t r0[] = {c.left, c.right, c.left, c.right, c.left, c.right, c.left, c.right};
        std::vector<uint32_t> along(4);
        // Two columns a pixel, each at fraction fx past an even column.
        rows::BilinearAlong(r0, r0, int64_t(c.fx) << 8, int64_t(2) << 16, c.fy, along.data(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(four[i], c.want) << std::hex << c.left << " " << c.right << " " << c.fx;
            EXPECT_EQ(one[i], c.want) << std::hex << c.left << " " << c.right << " " << c.fx;
            EXPECT_EQ(along[i], c.want) << std::hex << c.left << " " << c.right << " " << c.fx;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spans, Rows,
    // The wide forms' rows at and beside a whole number of vectors:
    // their last vector overlaps the one before, or is all there is.
    ::testing::Values(RowCase{"one", 1, 0, true}, RowCase{"odd", 37, 0, true},
                      RowCase{"three", 3, 0, true}, RowCase{"four", 4, 1, true},
                      RowCase{"five", 5, 2, true}, RowCase{"eight", 8, 0, true},
                      RowCase{"fifteen", 15, 1, true}, RowCase{"sixteen", 16, 2, true},
                      RowCase{"seventeen", 17, 0, true}, RowCase{"edges", 64, 1, true},
                      RowCase{"full", 19, 2, true}, RowCase{"sevenFull", 7, 2, true},
                      RowCase{"nine", 9, 1, true}, RowCase{"loose", 101, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
