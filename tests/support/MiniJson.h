#pragma once
// A small JSON reader for the reference readings of the test corpus: objects, arrays, strings
// (with \u escapes, surrogate pairs included, decoded to UTF-8), numbers, true, false, null.
// Malformed input raises std::runtime_error.

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lvtest {

class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    static Json parse(const std::string& text);
    static Json parseFile(const std::string& path);

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    bool has(const std::string& key) const { return m_type == Type::Object && m_object.count(key) > 0; }

    // Access raises std::runtime_error on a type mismatch or a missing key.
    const Json& operator[](const std::string& key) const;
    const Json& operator[](size_t index) const;
    size_t size() const;
    double number() const;
    long long integer() const;
    bool boolean() const;
    const std::string& str() const;
    const std::vector<Json>& items() const;

private:
    friend class JsonParser;
    Type m_type = Type::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<Json> m_array;
    std::map<std::string, Json> m_object;
};

} // namespace lvtest
