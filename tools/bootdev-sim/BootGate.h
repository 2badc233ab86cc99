#pragma once

#include <chrono>
#include <optional>

// A board whose bootloader runs only after a reset pulse on a modem line (--enter-on): silent
// while the application runs or the line holds the board in reset, the bootloader from the pulse's
// end for a few seconds, each request it takes giving it that long again (so a download goes on).
class BootGate {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Line { None, Dtr, Rts };

    explicit BootGate(Line line, Clock::duration window = std::chrono::seconds(3));

    // The host set the modem lines; the wired line going from asserted to released ends a pulse.
    void linesSet(bool dtr, bool rts, Clock::time_point now);
    // Whether the bootloader takes bytes that arrive now; taking them keeps it listening.
    bool takes(Clock::time_point now);

  private:
    Line line;
    Clock::duration window;
    bool asserted = false;
    std::optional<Clock::time_point> listeningUntil;
};
