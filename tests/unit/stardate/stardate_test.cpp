// Stardate: fixed positions of the date and time texts, short inputs, and the current stamp
// from the local clock.
#include "stardate/stardate.h"

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

TEST(StardateFrom, FixedPositionsAndShortInputs) {
    struct Case {
        std::string date, time, stamp;
    } cases[] = {
        {"12-31-2026", "23:59:59", "2026-12-31-23-59-59"},
        {"01-02-0999", "00:00:07", "0999-01-02-00-00-07"},
        {"12-31-20", "23:5", "20-12-31-23-5-"},
        {"1", "", "-1----"},
        {"", "", "-----"},
        {"12/31/2026x", "23.59.59pm", "2026-12-31-23-59-59"},  // separators never copied
    };
    for (const auto& c : cases) EXPECT_EQ(stardateFrom(c.date, c.time), c.stamp) << c.date;
}

class CurrentStardate : public WithFakePlatform {};

TEST_F(CurrentStardate, TakesLocalDateAndTimeFromTheClock) {
    fake.clock = LocalDateTime{2026, 12, 7, 8, 14, 46, 500};
    S().CURRENTSTARDATE = "stale";
    CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE();
    EXPECT_EQ(S().ORIGINALDATE, "12-07-2026");
    EXPECT_EQ(S().ORIGINALTIME, "08:14:46");
    EXPECT_EQ(S().CURRENTSTARDATE, "2026-12-07-08-14-46");
    EXPECT_EQ(S().TEMPSTARDATE, "2026-12-07-08-14-46");
}

}  // namespace
