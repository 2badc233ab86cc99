#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

// The object in `text`; anything else fails the test, showing the text, and gives an empty object.
QJsonObject parseJsonObject(const std::string& text);

// A field as its text: strings in UTF-8,
// numbers in digits, null as "null", a missing field as "(missing)".
std::string field(const QJsonObject& object, const char* key);

// Checks every "key=value" of `expected` against the object's fields.
void expectFields(const QJsonObject& object, const std::vector<std::string>& expected);
