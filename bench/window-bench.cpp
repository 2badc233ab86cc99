// Times one whole download and verify through the real main window, offscreen, against a device
// on the given port, and prints the pace per record, the host's CPU time per record and, for a
// line of known speed, how close the run comes to what the line itself allows.
//
// window-bench --port PATH --hex FILE [--address N] [--line-rate BAUD]

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "link/FrameGap.h"
#include "window/qt/ApplicationLook.h"
#include "window/qt/MainWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPollIntervalMs = 20.0;
constexpr double kBitsPerByte = 10.0;
// Address, "B", "OK" CR LF, two CRC bytes.
constexpr double kOkReplyBytes = 8.0;
// A transfer whose bar has not moved for this long has stalled; the run is then given up.
constexpr auto kStallLimit = std::chrono::seconds(60);
constexpr auto kProgressEvery = std::chrono::seconds(10);

struct BenchOptions {
    std::string port;
    std::string hexFile;
    std::string address = "1";
    unsigned lineRate = 0;
};

bool parseOptions(int argc, char** argv, BenchOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--port")
            options.port = value;
        else if (name == "--hex")
            options.hexFile = value;
        else if (name == "--address")
            options.address = value;
        else if (name == "--line-rate")
            options.lineRate = static_cast<unsigned>(std::stoul(value));
        else
            return false;
    }
    return argc % 2 == 1 && !options.port.empty() && !options.hexFile.empty();
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Handles events as they come, without spinning, until `done` holds; false when the bar has not
// moved for kStallLimit.
// Shows where the bar stands every kProgressEvery on standard error, so a long run is seen to move.
bool runUntil(const std::function<bool()>& done, const TextProgressBar& bar) {
    int lastValue = bar.value();
    Clock::time_point lastMove = Clock::now();
    Clock::time_point lastShown = lastMove;
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (Clock::now() - lastShown >= kProgressEvery) {
            lastShown = Clock::now();
            std::cerr << "  " << bar.text().toStdString() << ' ' << bar.value() << '/' << bar.maximum()
                      << std::endl;
        }
        if (bar.value() != lastValue) {
            lastValue = bar.value();
            lastMove = Clock::now();
        } else if (Clock::now() - lastMove > kStallLimit) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "usage: window-bench --port PATH --hex FILE [--address N] [--line-rate BAUD]\n";
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyApplicationLook();

    const std::vector<std::string> lines = readLines(options.hexFile);
    std::vector<std::string> messages;
    MainWindow window{DialogHooks{[&](const MessageBoxRequest& box) { messages.push_back(box.text); },
                                  [&](const std::string&) { return options.hexFile; }}};
    window.show();
    auto& ui = window.controls();
    const TextProgressBar& bar = *ui.vbalProgressBar1;

    // The window's speed is the line's: 9600 and 19200 have buttons of their own, all else 115200.
    if (options.lineRate == 9600)
        ui.Option1->setChecked(true);
    else if (options.lineRate == 19200)
        ui.Option2->setChecked(true);
    ui.txt0->setText(QString::fromStdString(options.port));
    ui.Text1->setText(QString::fromStdString(options.address));
    ui.BTNOpenCom->click();
    if (!runUntil([&] { return ui.Label2->text() == "READY" || !messages.empty(); }, bar) ||
        !messages.empty()) {
        std::cerr << "window-bench: no device answered on " << options.port << '\n';
        return 1;
    }

    const Clock::time_point wallStart = Clock::now();
    const double cpuStart = processCpuSeconds();
    ui.Command3->click();
    const bool ended = runUntil([&] { return bar.text() == "END" || bar.text() == "ERROR"; }, bar);
    const double seconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const double cpuSeconds = processCpuSeconds() - cpuStart;
    if (!ended || bar.text() != "END") {
        std::cerr << "window-bench: the transfer ended in \"" << bar.text().toStdString() << "\" at record "
                  << bar.value() << (ended ? "" : " (stalled)") << '\n';
        return 1;
    }

    // Every line goes out twice: as a download record and as a verify record.
    const double records = 2.0 * static_cast<double>(lines.size());
    const double msPerRecord = 1000.0 * seconds / records;
    std::printf("records sent:        %.0f (%zu lines, download and verify)\n", records, lines.size());
    std::printf("elapsed:             %.1f s\n", seconds);
    std::printf("records per second:  %.1f\n", records / seconds);
    std::printf("time per record:     %.2f ms = %.2f x the %.0f ms poll interval\n", msPerRecord,
                msPerRecord / kPollIntervalMs, kPollIntervalMs);
    std::printf("host CPU per record: %.3f ms (user + system, whole window process)\n",
                1000.0 * cpuSeconds / records);
    if (options.lineRate != 0) {
        double lineBytes = 0;
        for (const std::string& line : lines)
            lineBytes +=
                1 + 4 + static_cast<double>(line.size()) + 2 + 2; // address, "BOOT", line, CR LF, CRC
        const double requestBytes = lineBytes / static_cast<double>(lines.size());
        const double lineMsPerRecord =
            1000.0 * (requestBytes + kOkReplyBytes) * kBitsPerByte / options.lineRate;
        // The silence kept before each frame is the line's too.
        const double gapMs =
            std::chrono::duration<double, std::milli>(frameGap(static_cast<int>(options.lineRate))).count();
        std::printf("line limit:          %.2f ms a record (%.1f request + %.0f reply bytes at %u baud, "
                    "10 bits a byte); time per record = %.2f x that\n",
                    lineMsPerRecord, requestBytes, kOkReplyBytes, options.lineRate,
                    msPerRecord / lineMsPerRecord);
        std::printf("with the frame gap:  %.2f ms a record (%.2f ms of silence before each frame); "
                    "time per record = %.2f x that\n",
                    lineMsPerRecord + gapMs, gapMs, msPerRecord / (lineMsPerRecord + gapMs));
    }
    return 0;
}
