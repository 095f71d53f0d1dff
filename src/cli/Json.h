#pragma once
// A small JSON writer for one-line objects: numbers with full double precision (the shortest form
// that reads back exactly), UTF-8 strings escaped as JSON requires.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace lvcli {

// Shortest decimal form of a double that reads back exactly, with "." as separator.
inline std::string FormatDouble(double d) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

class JsonWriter {
public:
    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }
    JsonWriter& key(const std::string& k) {
        separate();
        str(k);
        m_out += ':';
        m_needComma = false;
        return *this;
    }
    JsonWriter& value(const std::string& s) { return separate(), str(s), done(); }
    JsonWriter& value(const char* s) { return value(std::string(s)); }
    JsonWriter& value(double d) {
        separate();
        m_out += std::isfinite(d) ? FormatDouble(d) : "null";
        return done();
    }
    JsonWriter& value(int v) { return separate(), m_out += std::to_string(v), done(); }
    JsonWriter& value(bool b) { return separate(), m_out += b ? "true" : "false", done(); }
    JsonWriter& null() { return separate(), m_out += "null", done(); }
    const std::string& text() const { return m_out; }

private:
    JsonWriter& open(char c) {
        separate();
        m_out += c;
        m_needComma = false;
        return *this;
    }
    JsonWriter& close(char c) {
        m_out += c;
        return done();
    }
    JsonWriter& done() {
        m_needComma = true;
        return *this;
    }
    void separate() {
        if (m_needComma) m_out += ',';
    }
    void str(const std::string& s) {
        m_out += '"';
        for (unsigned char c : s) {
            switch (c) {
            case '"': m_out += "\\\""; break;
            case '\\': m_out += "\\\\"; break;
            case '\n': m_out += "\\n"; break;
            case '\r': m_out += "\\r"; break;
            case '\t': m_out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    m_out += buf;
                } else {
                    m_out += static_cast<char>(c);
                }
            }
        }
        m_out += '"';
    }

    std::string m_out;
    bool m_needComma = false;
};

} // namespace lvcli
