#pragma once
// Small value operations used by every layer: numbers, texts, messages, path names, variants.

#include <initializer_list>
#include <string>
#include <string_view>

#include "trace/Variant.h"

namespace lv {

// x = Mantissa × 10^Exponent with 1 <= |Mantissa| < 10 (the axis labels' power notation).
// 0 gives mantissa 0 and exponent 1; a value that is not finite gives itself and exponent 0.
struct TMantissa {
    double Mantissa = 0.0;
    int Exponent = 1;
};
TMantissa SplitMantissa(double x);

// Occurrences of the byte `c` in `text` up to its first NUL (counting ASCII characters of UTF-8
// text is exact, since no byte of a multi-byte sequence is below 0x80).
int CountChar(std::string_view text, char c);

// `text` without any occurrence of the byte `c`.
std::string RemoveChar(std::string_view text, char c);

// `text` without the blanks (spaces, tabs, line breaks) around it.
std::string TrimText(std::string_view text);

// Case-insensitive comparison of ASCII names (format names, extensions, text-field keys).
bool SameText(std::string_view a, std::string_view b);

// The one message formatter: each placeholder "%s" or "%d" of `pattern` takes the next argument,
// in order; placeholders beyond the arguments stay as written. Arguments are inserted as they
// are (never scanned for placeholders), numbers as the caller wrote them into text.
std::string FormatArgs(std::string_view pattern, std::initializer_list<std::string_view> args);
template <class... Args> std::string FormatS(std::string_view pattern, const Args&... args) {
    return FormatArgs(pattern, {std::string_view(args)...});
}

// Path names as the program reads them: "/" and "\" both separate folders (stored Windows paths
// are accepted), and an extension is looked for in the last component only.
// The last component: "C:\x\a.sor" gives "a.sor", "dir/" gives "".
std::string_view PathNamePart(std::string_view path);
// Everything before the last separator: "dir/a.tra" gives "dir", "/a.tra" gives "/", "a.tra"
// gives "" (no folder).
std::string_view PathFolderPart(std::string_view path);
// The extension of the last component with its dot ("a.b/c.Sor" gives ".Sor"); "" when it has
// none (a lone trailing dot gives ".").
std::string_view PathExtension(std::string_view path);
// The last component ends in `extension` (".sor"), letter case ignored.
bool HasExtension(std::string_view path, std::string_view extension);

// Neither empty nor null.
inline bool VarHasValue(const TVariant& v) {
    return v.IsSet();
}

// Releases every open lock of an array variant, then empties it.
void VarRelease(TVariant& v);

} // namespace lv
