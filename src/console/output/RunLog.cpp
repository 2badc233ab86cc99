#include "console/output/RunLog.h"

RunLog::RunLog(const std::string& path) : file(QString::fromStdString(path)) {
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void RunLog::append(const std::string& line) {
    file.write(line.data(), static_cast<qint64>(line.size()));
    file.flush();
}
