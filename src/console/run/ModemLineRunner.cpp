#include "console/run/ModemLineRunner.h"

ModemLineRunner::ModemLineRunner(SerialPortService& port) : port(port) {
    waitTimer.setSingleShot(true);
    waitTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&waitTimer, &QTimer::timeout, [this] { next(); });
}

std::optional<std::string> ModemLineRunner::missingLines() {
    try {
        port.setModemLines({});
        return std::nullopt;
    } catch (const std::exception& error) {
        return std::string("--reset and --after need a line with modem lines (a serial port or "
                           "rfc2217://): ") +
               error.what();
    }
}

void ModemLineRunner::run(const std::vector<ResetStep>& sequence, const std::string& optionName, Done done) {
    steps = sequence;
    nextStep = 0;
    option = optionName;
    onDone = std::move(done);
    next();
}

void ModemLineRunner::cancel() {
    waitTimer.stop();
    onDone = nullptr;
}

void ModemLineRunner::next() {
    while (nextStep < steps.size()) {
        const ResetStep& step = steps[nextStep++];
        if (step.wait.count() > 0) {
            waitTimer.start(std::chrono::ceil<std::chrono::milliseconds>(step.wait));
            return;
        }
        if (!step.lines.dtr && !step.lines.rts)
            continue; // W0
        try {
            port.setModemLines(step.lines);
        } catch (const std::exception& error) {
            end(option + " step " + std::to_string(nextStep) + " \"" + step.text + "\": " + error.what());
            return;
        }
    }
    end(std::nullopt);
}

void ModemLineRunner::end(const std::optional<std::string>& failure) {
    const Done done = std::move(onDone);
    onDone = nullptr;
    if (done)
        done(failure);
}
