#pragma once

#include <map>
#include <string>
#include <vector>

// A JSON object read back just far enough to check it: the top-level values as their source
// text (strings unescaped), and the objects of one top-level array each as such a map.
struct JsonObject {
    std::map<std::string, std::string> values;
    std::map<std::string, std::vector<JsonObject>> arrays;
};

// Throws std::runtime_error when `text` is not one well-formed object of that shape.
JsonObject parseJsonObject(const std::string& text);
