#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/output/TerminalWidth.h"

// Progress of several boards on a terminal that obeys ANSI escape sequences: one line per port and
// board, redrawn in place together. What a board writes, progress redrawn after a carriage return
// or whole lines, becomes the text of its own line, cut to the terminal's width so that the lines
// counted are the lines shown; lines meant to stay are printed above the panel.
class ProgressPanel {
  public:
    explicit ProgressPanel(std::function<void(const std::string&)> write, ColumnsSource columns = {});

    // Where one board writes; its line shows `label` and the last text it wrote.
    std::function<void(const std::string&)> rowWriter(const std::string& label);
    // A line that stays, above the panel.
    void print(const std::string& line);

  private:
    void setRow(std::size_t row, std::string text);
    std::string rowsText() const;
    std::string backToTop() const;

    std::function<void(const std::string&)> write;
    ColumnsSource columns;
    std::vector<std::string> rows;
    std::size_t drawn = 0; // rows on the screen now
};
