#include "console/JsonResultWriter.h"

#include <cstdio>

const char* outcomeName(ExitCode code) {
    switch (code) {
    case ExitCode::Success:
        return "success";
    case ExitCode::InternalError:
        return "internal-error";
    case ExitCode::BadUsage:
        return "bad-usage";
    case ExitCode::PortNotAvailable:
        return "port-not-available";
    case ExitCode::NoDevice:
        return "no-device";
    case ExitCode::FileError:
        return "file-error";
    case ExitCode::DeviceError:
        return "device-error";
    case ExitCode::Stall:
        return "stall";
    case ExitCode::Interrupted:
    case ExitCode::Terminated:
        return "interrupted";
    }
    return "unknown";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string jsonResult(const RunResult& result) {
    std::string out = "{";
    out += "\"operation\":" + jsonString(result.operation);
    out += ",\"port\":" + jsonString(result.port);
    out += ",\"address\":" + (result.address ? std::to_string(*result.address) : std::string("null"));
    out += ",\"records\":" + std::to_string(result.records);
    out += ",\"passes\":" + std::to_string(result.passes);
    out += ",\"outcome\":" + jsonString(outcomeName(result.exitCode));
    out += ",\"exit_code\":" + std::to_string(toInt(result.exitCode));
    out += ",\"duration_ms\":" + std::to_string(result.durationMs);
    out += ",\"message\":" + jsonString(result.message);
    if (result.operation == "scan") {
        out += ",\"devices\":[";
        for (std::size_t i = 0; i < result.devices.size(); ++i) {
            if (i)
                out += ",";
            out += "{\"address\":" + std::to_string(result.devices[i].address) +
                   ",\"reply\":" + jsonString(result.devices[i].reply) + "}";
        }
        out += "]";
    }
    return out + "}";
}
