#include "console/batch/BatchReport.h"

#include <algorithm>
#include <cstdio>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "console/output/JsonResultWriter.h"
#include "link/VisibleText.h"

namespace {

std::string addressText(const BoardRecord& board) {
    return board.address ? std::to_string(*board.address) : std::string("-");
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

double roundedSeconds(double seconds) {
    return static_cast<double>(static_cast<long long>(seconds * 1000 + 0.5)) / 1000;
}

QJsonObject stampFields(const FirmwareStamp& firmware, const char* type) {
    return {{"type", type},
            {"time", QString::fromStdString(utcNow())},
            {"operation", jsonText(firmware.operation)},
            {"file", jsonText(firmware.file)},
            {"sha256", QString::fromStdString(firmware.sha256)}};
}

std::string line(const QJsonObject& object) {
    return compactJson(QJsonDocument(object)) + "\n";
}

} // namespace

ExitCode worstOutcome(const std::vector<BoardRecord>& boards, bool portWithoutBoards) {
    ExitCode worst = boards.empty() || portWithoutBoards ? ExitCode::NoDevice : ExitCode::Success;
    for (const BoardRecord& board : boards)
        worst = std::max(worst, board.outcome(), [](ExitCode a, ExitCode b) { return toInt(a) < toInt(b); });
    return worst;
}

std::string utcNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

std::string boardJsonLine(const BoardRecord& board, const FirmwareStamp& firmware) {
    QJsonObject object = stampFields(firmware, "board");
    QJsonArray attempts;
    for (const ExitCode attempt : board.attempts)
        attempts.append(outcomeName(attempt));
    object.insert("time", QString::fromStdString(board.time));
    object.insert("port", jsonText(board.port));
    object.insert("address", board.address ? QJsonValue(*board.address) : QJsonValue(QJsonValue::Null));
    object.insert("reply", jsonText(board.reply));
    object.insert("outcome", outcomeName(board.outcome()));
    object.insert("exit_code", toInt(board.outcome()));
    object.insert("attempts", attempts);
    object.insert("records", board.records);
    object.insert("seconds", roundedSeconds(board.seconds));
    object.insert("message", jsonText(board.message));
    return line(object);
}

std::string summaryJsonLine(const std::vector<BoardRecord>& boards,
                            const std::vector<std::string>& emptyPorts, const FirmwareStamp& firmware,
                            double seconds) {
    QJsonObject object = stampFields(firmware, "summary");
    const auto succeeded = std::ranges::count_if(
        boards, [](const BoardRecord& board) { return board.outcome() == ExitCode::Success; });
    QJsonArray ports;
    for (const BoardRecord& board : boards)
        if (!ports.contains(jsonText(board.port)))
            ports.append(jsonText(board.port));
    for (const std::string& port : emptyPorts)
        ports.append(jsonText(port));
    const ExitCode worst = worstOutcome(boards, !emptyPorts.empty());
    object.insert("ports", ports);
    object.insert("boards", static_cast<qint64>(boards.size()));
    object.insert("succeeded", static_cast<qint64>(succeeded));
    object.insert("failed", static_cast<qint64>(boards.size()) - static_cast<qint64>(succeeded));
    object.insert("outcome", outcomeName(worst));
    object.insert("exit_code", toInt(worst));
    object.insert("seconds", roundedSeconds(seconds));
    return line(object);
}

std::string summaryTable(const std::vector<BoardRecord>& boards) {
    const std::vector<std::string> heading{"PORT", "ADDRESS", "VERSION", "OUTCOME", "ATTEMPTS", "SECONDS"};
    std::vector<std::vector<std::string>> rows{heading};
    for (const BoardRecord& board : boards)
        rows.push_back({visibleText(board.port), addressText(board),
                        board.reply.empty() ? "-" : visibleText(board.reply), outcomeName(board.outcome()),
                        std::to_string(board.attempts.size()), secondsText(board.seconds)});
    std::vector<std::size_t> widths(heading.size(), 0);
    for (const auto& row : rows)
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    std::string text;
    for (const auto& row : rows) {
        std::string cells;
        for (std::size_t column = 0; column < row.size(); ++column) {
            cells += row[column];
            if (column + 1 < row.size())
                cells += std::string(widths[column] - row[column].size() + 2, ' ');
        }
        text += cells + "\n";
    }
    return text;
}

std::string boardLine(const BoardRecord& board) {
    const std::size_t tries = board.attempts.size();
    std::string text =
        visibleText(board.port) + " #" + addressText(board) + " " + outcomeName(board.outcome());
    if (tries > 1)
        text += " after " + std::to_string(tries) + " attempts";
    text += ", " + secondsText(board.seconds) + " s";
    if (board.outcome() != ExitCode::Success && !board.message.empty())
        text += ": " + visibleText(board.message);
    return text + "\n";
}
