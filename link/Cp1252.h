#pragma once

#include <string>
#include <string_view>

namespace krl {

// Text on the wire and in the fixed-size records is Windows-1252; the file system and the
// windows use UTF-8. Characters Windows-1252 lacks become '?'; the five byte values it leaves
// undefined map to the C1 control characters of the same number.
std::string cp1252ToUtf8(std::string_view bytes);
std::string utf8ToCp1252(std::string_view text);

}  // namespace krl
