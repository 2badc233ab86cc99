#include <gtest/gtest.h>

#include "console/run/ReplyForecast.h"
#include "protocol/ProbeWait.h"

// When the flasher looks at the line again after sending a request, as learnt from the replies
// before. Times are those of a 115200 baud line: a byte takes about 87 us.
namespace {

using namespace std::chrono_literals;
using Clock = ReplyForecast::Clock;

constexpr int kBaud = 115200;
const Clock::duration kMargin = lineTime(3, kBaud) / 2;
constexpr std::size_t kRecord = 52; // a record request; with the shortest reply 58 bytes on the line

class Forecast : public ::testing::Test {
  protected:
    // Sends a request of `bytes` at the current time; returns the pause before the look, if any.
    std::optional<Clock::duration> send(std::size_t bytes = kRecord) {
        sentAt = now;
        const auto due = forecast.requestSent(bytes, now);
        return due ? std::optional(*due - now) : std::nullopt;
    }
    // The reply completes `after` the request, seen as it happens or only at the look.
    void complete(Clock::duration after, bool atFirstLook = false) {
        now = sentAt + after;
        forecast.replyComplete(now, atFirstLook);
        now += 1ms;
    }

    ReplyForecast forecast{kBaud, kMargin, 500us, 50ms};
    Clock::time_point now = Clock::time_point{} + 1h;
    Clock::time_point sentAt;
};

TEST_F(Forecast, LearnsEachRequestLengthFromAReplySeenArriving) {
    EXPECT_FALSE(send()) << "nothing learnt yet: the reply is watched as it comes";
    complete(5200us);
    EXPECT_EQ(send(), 5200us - kMargin) << "looks just before its last bytes, so it sees them come";
    complete(5300us);
    EXPECT_EQ(send(), 5300us - kMargin);
    EXPECT_FALSE(send(24)) << "another length has its own turnaround";
}

TEST_F(Forecast, ARequestWithoutAReplyTeachesNothing) {
    send();
    send(); // a second probe before any reply: the first one's reply never came
    complete(5200us);
    forecast.replyComplete(now + 1s, false); // no request waits: ignored
    EXPECT_EQ(send(), 5200us - kMargin);
}

// The reply was already there at the look: it may have come long before. A turnaround that held
// an erase is halved until a look comes early; one near the line's own time drops to that time.
TEST_F(Forecast, AReplyFoundCompleteAtTheLookIsLookedForSooner) {
    send();
    complete(35ms); // the first record also waited for the erase
    ASSERT_EQ(send(), 35ms - kMargin);
    complete(35ms, true);
    ASSERT_EQ(send(), 17500us - kMargin);
    complete(17500us, true);
    ASSERT_EQ(send(), 8750us - kMargin);
    complete(8750us, true);
    const Clock::duration onLine = lineTime(kRecord + 6, kBaud);
    ASSERT_EQ(send(), onLine - kMargin) << "no sooner than the request and the shortest reply can cross";
    complete(5200us); // seen arriving: learnt as it is
    EXPECT_EQ(send(), 5200us - kMargin);

    // Late by a wake-up: the next look is a little sooner, not at half the time.
    complete(5250us, true);
    EXPECT_EQ(send(), std::min(onLine, 5250us - 2 * kMargin) - kMargin);
}

TEST_F(Forecast, QuickAndSlowAnswersAreWatchedAsTheyCome) {
    send();
    complete(300us); // a pseudo-terminal: a pause this short saves nothing
    EXPECT_FALSE(send());
    complete(60ms); // slower than any pause is worth
    EXPECT_FALSE(send());
    complete(5200us);

    // A line that turns out quicker than its speed says (a device on USB ignores the speed) is
    // followed down below the line's time, each reply being there at the look.
    int looks = 0;
    for (std::optional<Clock::duration> pause = send(); pause; pause = send()) {
        ASSERT_LT(++looks, 20) << "still pausing " << pause->count() << " ns";
        complete(*pause + 50us, true);
    }
}

} // namespace
