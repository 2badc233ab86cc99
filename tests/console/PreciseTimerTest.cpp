#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console/run/PreciseTimer.h"

namespace {

using Clock = PreciseTimer::Clock;
using std::chrono::milliseconds;

// Timers of one thread share one kernel timer: each still fires at its own moment, never sooner,
// in the order of their moments, and a timer moved later, stopped or started from another's
// handler keeps to what it was last told.
TEST(PreciseTimer, TimersSharingOneKernelTimerKeepTheirOwnMoments) {
    int argc = 1;
    char name[] = "console_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    const Clock::time_point start = Clock::now();
    std::vector<std::string> fired;
    std::map<std::string, Clock::time_point> due;
    std::map<std::string, Clock::time_point> firedAt;
    std::map<std::string, std::unique_ptr<PreciseTimer>> timers;
    auto make = [&](const std::string& name, std::function<void()> also = {}) {
        timers[name] = std::make_unique<PreciseTimer>([&, name, also] {
            fired.push_back(name);
            firedAt[name] = Clock::now();
            if (also)
                also();
        });
    };
    auto at = [&](const std::string& name, milliseconds offset) {
        due[name] = start + offset;
        timers.at(name)->startAt(due[name]);
    };

    make("late");
    make("moved later");
    make("stopped");
    make("stops the stopped", [&] { timers.at("stopped")->stop(); });
    make("started from a handler, for a moment passed");
    make("starts one", [&] { at("started from a handler, for a moment passed", milliseconds(1)); });
    make("removed", [] {});
    make("removes one", [&] { timers.erase("removed"); });
    make("early");
    int ticks = 0;
    PreciseTimer ticker([&] {
        if (++ticks == 3)
            ticker.stop();
    });

    // Started out of order, the kernel timer set first for a later moment than most.
    at("late", milliseconds(60));
    at("moved later", milliseconds(5));
    at("stopped", milliseconds(40));
    at("stops the stopped", milliseconds(30));
    at("starts one", milliseconds(20));
    at("removes one", milliseconds(25));
    at("removed", milliseconds(35));
    at("early", milliseconds(2));
    at("moved later", milliseconds(50));
    ticker.startEvery(milliseconds(4));

    QTimer::singleShot(milliseconds(200), &application, &QCoreApplication::quit);
    application.exec();

    EXPECT_EQ(fired,
              (std::vector<std::string>{"early", "starts one", "started from a handler, for a moment passed",
                                        "removes one", "stops the stopped", "moved later", "late"}));
    for (const auto& [name, when] : firedAt)
        EXPECT_GE(when, due.at(name)) << name << " fired early";
    // A kernel timer set for a later moment is set again for an earlier one.
    EXPECT_LT(firedAt.at("early"), due.at("late"));
    EXPECT_EQ(ticks, 3);
}

} // namespace
