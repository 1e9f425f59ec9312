#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace krl {

// Text as Windows-1252 bytes: what travels on the wire and sits in the fixed-size records. A
// type of its own, so that such bytes reach a window or a file name only through
// cp1252ToUtf8(), never by being taken for UTF-8.
class Cp1252Text {
public:
    Cp1252Text() = default;
    explicit Cp1252Text(std::string bytes) : bytes_(std::move(bytes)) {}
    explicit Cp1252Text(std::string_view bytes) : bytes_(bytes) {}
    explicit Cp1252Text(const char* bytes) : bytes_(bytes) {}

    const std::string& bytes() const { return bytes_; }
    bool empty() const { return bytes_.empty(); }
    std::size_t size() const { return bytes_.size(); }
    void clear() { bytes_.clear(); }

    bool operator==(const Cp1252Text&) const = default;

private:
    std::string bytes_;
};

// The file system and the windows use UTF-8. Characters Windows-1252 lacks become '?'; the five
// byte values it leaves undefined map to the C1 control characters of the same number.
std::string cp1252ToUtf8(const Cp1252Text& text);
Cp1252Text utf8ToCp1252(std::string_view text);

// "José"_cp1252: a literal of this source (UTF-8) as Windows-1252 text.
inline Cp1252Text operator""_cp1252(const char* text, std::size_t length) {
    return utf8ToCp1252(std::string_view(text, length));
}

}  // namespace krl
