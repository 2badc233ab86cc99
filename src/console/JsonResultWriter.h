#pragma once

#include <string>

#include "console/RunResult.h"

// `text` as a JSON string literal, quotes included. Bytes above 0x7F are passed through as
// Latin-1 characters (\u00XX), since device replies are byte strings, not UTF-8.
std::string jsonString(const std::string& text);

// The result as one JSON object on one line.
std::string jsonResult(const RunResult& result);
