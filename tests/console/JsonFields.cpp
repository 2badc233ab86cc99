#include "JsonFields.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

QJsonObject parseJsonObject(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        ADD_FAILURE() << "not one JSON object: " << error.errorString().toStdString() << " at offset "
                      << error.offset << " in: " << text;
    return document.object();
}

std::string field(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isString())
        return value.toString().toStdString();
    if (value.isDouble())
        return QString::number(value.toDouble()).toStdString();
    return value.isNull() ? "null" : "(missing)";
}

void expectFields(const QJsonObject& object, const std::vector<std::string>& expected) {
    for (const std::string& entry : expected) {
        const std::string key = entry.substr(0, entry.find('='));
        EXPECT_EQ(key + "=" + field(object, key.c_str()), entry);
    }
}
