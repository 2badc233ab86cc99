#include "JsonFields.h"

#include <cctype>
#include <stdexcept>

namespace {

class Reader {
  public:
    explicit Reader(const std::string& text) : text(text) {}

    JsonObject object() {
        JsonObject result;
        expect('{');
        if (peek() == '}') {
            ++at;
            return result;
        }
        for (;;) {
            const std::string key = string();
            expect(':');
            if (peek() == '[')
                result.arrays[key] = array();
            else
                result.values[key] = scalar();
            if (peek() == ',') {
                ++at;
                continue;
            }
            expect('}');
            return result;
        }
    }

    void end() {
        skipBlanks();
        if (at != text.size())
            fail("text after the object");
    }

  private:
    std::vector<JsonObject> array() {
        std::vector<JsonObject> items;
        expect('[');
        if (peek() == ']') {
            ++at;
            return items;
        }
        for (;;) {
            items.push_back(object());
            if (peek() == ',') {
                ++at;
                continue;
            }
            expect(']');
            return items;
        }
    }

    std::string scalar() {
        if (peek() == '"')
            return string();
        const std::size_t start = at;
        while (at < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-' || text[at] == '.'))
            ++at;
        if (start == at)
            fail("a value");
        return text.substr(start, at - start);
    }

    std::string string() {
        expect('"');
        std::string out;
        while (at < text.size() && text[at] != '"') {
            char c = text[at++];
            if (static_cast<unsigned char>(c) < 0x20)
                fail("no control characters inside a string");
            if (c == '\\') {
                if (at >= text.size())
                    fail("an escape");
                const char e = text[at++];
                switch (e) {
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'b':
                    c = '\b';
                    break;
                case 'f':
                    c = '\f';
                    break;
                case 'u':
                    if (at + 4 > text.size())
                        fail("four hex digits");
                    c = static_cast<char>(std::stoi(text.substr(at, 4), nullptr, 16));
                    at += 4;
                    break;
                case '"':
                case '\\':
                case '/':
                    c = e;
                    break;
                default:
                    fail("a known escape");
                }
            }
            out += c;
        }
        expect('"');
        return out;
    }

    char peek() {
        skipBlanks();
        return at < text.size() ? text[at] : '\0';
    }
    void expect(char c) {
        if (peek() != c)
            fail(std::string("'") + c + "'");
        ++at;
    }
    void skipBlanks() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
    }
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("JSON: expected " + what + " at offset " + std::to_string(at));
    }

    const std::string& text;
    std::size_t at = 0;
};

} // namespace

JsonObject parseJsonObject(const std::string& text) {
    Reader reader(text);
    JsonObject object = reader.object();
    reader.end();
    return object;
}
