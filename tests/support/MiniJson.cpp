#include "support/MiniJson.h"

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace lvtest {

class JsonParser {
public:
    explicit JsonParser(const std::string& s) : m_s(s) {}

    Json document() {
        Json v = value();
        space();
        if (m_pos != m_s.size()) fail("trailing characters");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(m_pos));
    }
    void space() {
        while (m_pos < m_s.size() &&
               (m_s[m_pos] == ' ' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r' || m_s[m_pos] == '\t'))
            ++m_pos;
    }
    char peek() {
        space();
        if (m_pos >= m_s.size()) fail("unexpected end");
        return m_s[m_pos];
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected ") + c);
        ++m_pos;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (m_s.compare(m_pos, w.size(), w) != 0) return false;
        m_pos += w.size();
        return true;
    }

    Json value() {
        Json v;
        const char c = peek();
        if (c == '{') {
            v.m_type = Json::Type::Object;
            ++m_pos;
            if (peek() == '}') return ++m_pos, v;
            for (;;) {
                std::string key = string();
                expect(':');
                v.m_object[key] = value();
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.m_type = Json::Type::Array;
            ++m_pos;
            if (peek() == ']') return ++m_pos, v;
            for (;;) {
                v.m_array.push_back(value());
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.m_type = Json::Type::String;
            v.m_string = string();
            return v;
        }
        if (literal("true")) {
            v.m_type = Json::Type::Bool;
            v.m_bool = true;
            return v;
        }
        if (literal("false")) {
            v.m_type = Json::Type::Bool;
            return v;
        }
        if (literal("null")) return v;
        if (literal("NaN") || literal("Infinity") || literal("-Infinity")) {
            v.m_type = Json::Type::Number;
            v.m_number = std::numeric_limits<double>::quiet_NaN();
            return v;
        }
        const char* start = m_s.c_str() + m_pos;
        char* end = nullptr;
        v.m_number = std::strtod(start, &end);
        if (end == start) fail("bad value");
        m_pos += static_cast<size_t>(end - start);
        v.m_type = Json::Type::Number;
        return v;
    }

    unsigned hex4() {
        if (m_pos + 4 > m_s.size()) fail("short \\u escape");
        unsigned u = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_s[m_pos++];
            u <<= 4;
            if (h >= '0' && h <= '9')
                u |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
                u |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                u |= static_cast<unsigned>(h - 'A' + 10);
            else
                fail("bad \\u escape");
        }
        return u;
    }

    static void utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::string string() {
        expect('"');
        std::string out;
        for (;;) {
            if (m_pos >= m_s.size()) fail("unterminated string");
            const char c = m_s[m_pos++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_s.size()) fail("unterminated escape");
            const char e = m_s[m_pos++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned cp = hex4();
                if (cp >= 0xD800 && cp < 0xDC00 && m_s.compare(m_pos, 2, "\\u") == 0) {
                    m_pos += 2;
                    const unsigned low = hex4();
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8(out, cp);
                break;
            }
            default:
                fail("bad escape");
            }
        }
    }

    const std::string& m_s;
    size_t m_pos = 0;
};

Json Json::parse(const std::string& text) {
    return JsonParser(text).document();
}

Json Json::parseFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    std::stringstream ss;
    ss << f.rdbuf();
    return parse(ss.str());
}

const Json& Json::operator[](const std::string& key) const {
    if (m_type != Type::Object) throw std::runtime_error("JSON: not an object (key " + key + ")");
    auto it = m_object.find(key);
    if (it == m_object.end()) throw std::runtime_error("JSON: no key " + key);
    return it->second;
}

const Json& Json::operator[](size_t index) const {
    if (m_type != Type::Array || index >= m_array.size()) throw std::runtime_error("JSON: bad index");
    return m_array[index];
}

size_t Json::size() const {
    if (m_type == Type::Array) return m_array.size();
    if (m_type == Type::Object) return m_object.size();
    throw std::runtime_error("JSON: no size");
}

double Json::number() const {
    if (m_type != Type::Number) throw std::runtime_error("JSON: not a number");
    return m_number;
}

long long Json::integer() const {
    return static_cast<long long>(number());
}

bool Json::boolean() const {
    if (m_type != Type::Bool) throw std::runtime_error("JSON: not a boolean");
    return m_bool;
}

const std::string& Json::str() const {
    if (m_type != Type::String) throw std::runtime_error("JSON: not a string");
    return m_string;
}

const std::vector<Json>& Json::items() const {
    if (m_type != Type::Array) throw std::runtime_error("JSON: not an array");
    return m_array;
}

} // namespace lvtest
