// scale: the progress arithmetic over byte counts, which must give what the
// exact product and quotient give, also where the product leaves 32 bits.
#include "foundation/core.h"

#include <gtest/gtest.h>

namespace {

struct ScaleCase {
    i32 part, whole, span;
};

TEST(Scale, RoundsDownAsTheExactQuotientDoes) {
    const i32 most = 2147483647;
    const ScaleCase cases[] = {
        {0, 1, 40},
        {0, most, 40},
        {1, 3, 40},                    // 13.33
        {2, 3, 30},                    // 20 exactly
        {99, 100, 40},                 // 39.6 stays 39
        {100, 100, 40},                // the whole span
        {60000000, 100000000, 40},     // product beyond 32 bits
        {most - 1, most, 40},          // just short of the span
        {most, most, 40},
        {most / 2, most, 30},
        {123456789, 987654321, 40},
        {1048575, 1048576, 40},
        {7, 1, 30},                    // a part beyond the whole
        {most, 1, 1},
        {5, 7, 0},
    };
    for (const ScaleCase& c : cases) {
        i32 exact = static_cast<i32>(static_cast<int64_t>(c.part) * c.span / c.whole);
        EXPECT_EQ(scale(c.part, c.whole, c.span), exact) << c.part << " * " << c.span << " / " << c.whole;
    }
}

TEST(Scale, MatchesTheExactQuotientOverAWalkOfLargeCounts) {
    const i32 whole = 2000000011;
    for (i32 part = 0; part <= whole - 9999991; part += 9999991) {
        for (i32 span : {30, 40}) {
            i32 exact = static_cast<i32>(static_cast<int64_t>(part) * span / whole);
            ASSERT_EQ(scale(part, whole, span), exact) << part << " * " << span;
        }
    }
}

}  // namespace
