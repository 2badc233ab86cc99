#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QStringList>

#include "console/cli/CliOptions.h"

// One row per option: its names, its help, the name of its value (empty for a switch) and how
// it changes the options. A new option is one more row.
struct OptionRow {
    QStringList names;
    const char* description;
    const char* valueName;
    std::function<void(CliOptions&, const std::string&)> apply;
};

// Every option the flasher takes, in the order --help lists them.
const std::vector<OptionRow>& optionTable();
