#include <QApplication>
#include <cstdio>
#include <optional>
#include <string_view>

#include "window/qt/ApplicationLook.h"
#include "window/qt/MainWindow.h"

namespace {

constexpr const char* kHelp =
    "Usage: bootdevice [options] [Qt options]\n"
    "The window of BOOT DEVICE: finds a board's serial bootloader on a serial line,\n"
    "downloads an Intel HEX file to it and verifies it, gives the board a new bus\n"
    "address, starts its application and asks for its version.\n"
    "\n"
    "Options:\n"
    "  -V, --version  Print the program's version.\n"
    "  -h, --help     Print this text.\n"
    "\n"
    "It also takes the options every Qt program takes, such as -platform NAME and\n"
    "-style NAME. The command-line flasher of the same logic is bootflash(1).\n";

// Help and version are answered before the application object exists: that object opens the
// display, and a machine without one must still be able to ask.
std::optional<int> answeredWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool help = argument == "-h" || argument == "--help";
        if (!help && argument != "-V" && argument != "--version")
            continue;
        if (help)
            std::fputs(kHelp, stdout);
        else
            std::printf("bootdevice %s\n", BOOTDEVICE_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> code = answeredWithoutWindow(argc, argv))
        return *code;
    QApplication app(argc, argv);
    applyApplicationLook();
    MainWindow window;
    window.show();
    return QApplication::exec();
}
