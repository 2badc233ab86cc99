#include "console/output/ProgressPanel.h"

#include <memory>

namespace {

// ANSI control sequences, which every terminal the flasher shows progress on understands.
const std::string kEraseLine = "\x1b[2K";
const std::string kEraseBelow = "\x1b[J";

} // namespace

ProgressPanel::ProgressPanel(std::function<void(const std::string&)> write, ColumnsSource columns)
    : write(std::move(write)), columns(std::move(columns)) {}

std::function<void(const std::string&)> ProgressPanel::rowWriter(const std::string& label) {
    const std::size_t row = rows.size();
    rows.push_back(label);
    write(backToTop() + rowsText());
    drawn = rows.size();
    auto pending = std::make_shared<std::string>();
    return [this, row, label, pending](const std::string& text) {
        for (const char c : text) {
            if (c == '\r' || c == '\n') {
                if (pending->find_first_not_of(' ') != std::string::npos)
                    setRow(row, label + *pending);
                pending->clear();
            } else {
                *pending += c;
            }
        }
        const std::size_t end = pending->find_last_not_of(' ');
        if (end != std::string::npos)
            setRow(row, label + pending->substr(0, end + 1));
    };
}

void ProgressPanel::print(const std::string& line) {
    write(backToTop() + kEraseBelow + line + rowsText());
    drawn = rows.size();
}

void ProgressPanel::setRow(std::size_t row, std::string text) {
    if (rows[row] == text)
        return;
    rows[row] = std::move(text);
    write(backToTop() + rowsText());
    drawn = rows.size();
}

std::string ProgressPanel::rowsText() const {
    const std::size_t fits = columns ? columns() : 0;
    std::string text;
    for (const std::string& row : rows)
        text += kEraseLine + fittedTo(row, fits) + "\n";
    return text;
}

std::string ProgressPanel::backToTop() const {
    // To the start of the panel's first line.
    return drawn == 0 ? std::string() : "\x1b[" + std::to_string(drawn) + "F";
}
