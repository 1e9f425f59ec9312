#include "link/CheckFieldText.h"

#include <cstdio>

namespace krl {
namespace {

long asSigned(std::uint32_t value) {
    return static_cast<long>(static_cast<std::int32_t>(value));
}

bool isBlank(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

CheckField fileBlockCheckField(std::uint32_t value) {
    CheckField field{};
    // 14 characters and the NUL: the longest value, "-2147483648", needs 11.
    std::snprintf(reinterpret_cast<char*>(field.data()), 15, "%14ld", asSigned(value));
    return field;
}

CheckField videoCheckField(std::uint32_t value) {
    CheckField field{};
    std::snprintf(reinterpret_cast<char*>(field.data()), field.size(), "%ld", asSigned(value));
    return field;
}

std::uint32_t readCheckField(const CheckField& field) {
    std::size_t i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+'))
        negative = field[i++] == '-';
    // At most 16 digits fit in the field, so the magnitude stays far below 2^63; modular
    // unsigned arithmetic gives the same low 32 bits as the signed reading would.
    std::uint64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
        magnitude = magnitude * 10 + (field[i] - '0');
    std::uint64_t value = negative ? (~magnitude + 1) : magnitude;
    return static_cast<std::uint32_t>(value);
}

}  // namespace krl
