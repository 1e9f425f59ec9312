#include "link/ExtensionFrames.h"

#include <array>
#include <cstdio>
#include <span>

#include "link/BlockCheckValue.h"

namespace krl::extension {
namespace {

constexpr std::string_view kOpening = "<KXT1 ";
constexpr std::uint8_t kMarker = 'W';
constexpr std::uint8_t kVersion = '1';

struct VerbName {
    Verb verb;
    std::string_view name;
    int fields;
};
constexpr std::array<VerbName, 3> kVerbs = {{
    {Verb::Here, "HERE", 0},
    {Verb::Take, "TAKE", 2},
    {Verb::Ack, "ACK", 2},
}};

std::uint32_t checkOf(std::string_view text) {
    return BlockCheckValue::of({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::string hex(std::uint64_t value, int width = 1) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

// Upper-case hexadecimal digits only, at most kMaxField.
std::optional<std::uint64_t> readHex(std::string_view text) {
    if (text.empty() || text.size() > 14)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    if (value > kMaxField)
        return std::nullopt;
    return value;
}

std::uint32_t blockValue(const std::uint8_t* header, std::uint8_t flags, const std::uint8_t* data,
                         std::size_t length) {
    BlockCheckValue v;
    v.add({header, 8});
    v.add(flags);
    v.add({data, length});
    return v.value();
}

}  // namespace

std::string commandPayload(const Command& command) {
    std::string text(kOpening);
    for (const VerbName& v : kVerbs) {
        if (v.verb != command.verb)
            continue;
        text += v.name;
        if (v.fields > 0)
            text += " " + hex(command.first) + " " + hex(command.second);
    }
    const std::uint32_t check = checkOf(text);
    return text + " #" + hex(check, 8) + ">";
}

bool looksLikeCommand(std::string_view payload) {
    return payload.substr(0, kOpening.size()) == kOpening;
}

std::optional<Command> parseCommand(std::string_view payload) {
    // "<KXT1 " VERB [" " hex " " hex] " #" 8 hex ">"
    if (!looksLikeCommand(payload) || payload.size() < kOpening.size() + 12 ||
        payload.back() != '>')
        return std::nullopt;
    const std::size_t hash = payload.size() - 11;
    if (payload.substr(hash, 2) != " #")
        return std::nullopt;
    auto check = readHex(payload.substr(hash + 2, 8));
    std::string_view body = payload.substr(0, hash);
    if (!check || *check != checkOf(body))
        return std::nullopt;
    std::string_view rest = body.substr(kOpening.size());
    std::string_view words[4];
    int count = 0;
    while (!rest.empty() && count < 4) {
        std::size_t blank = rest.find(' ');
        words[count++] = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    if (!rest.empty() || count == 0)
        return std::nullopt;
    for (const VerbName& v : kVerbs) {
        if (words[0] != v.name || count != v.fields + 1)
            continue;
        Command command{v.verb};
        if (v.fields > 0) {
            auto a = readHex(words[1]);
            auto b = readHex(words[2]);
            if (!a || !b)
                return std::nullopt;
            command.first = *a;
            command.second = *b;
        }
        return command;
    }
    return std::nullopt;
}

CheckField blockCheckField(const BlockHeader& header, const std::uint8_t* data,
                           std::size_t length) {
    CheckField field{};
    for (int i = 0; i < 8; ++i)
        field[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(header.offset >> (8 * i));
    const std::uint32_t value = blockValue(field.data(), header.flags, data, length);
    for (int i = 0; i < 4; ++i)
        field[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    field[12] = header.flags;
    field[13] = 0;
    field[14] = kMarker;
    field[15] = kVersion;
    return field;
}

bool isWindowedBlock(const CheckField& field) {
    return field[14] == kMarker && field[15] == kVersion;
}

std::optional<BlockHeader> readBlock(const CheckField& field, const std::uint8_t* data,
                                     std::size_t length) {
    if (!isWindowedBlock(field) || field[13] != 0)
        return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(field[8 + static_cast<std::size_t>(i)]) << (8 * i);
    if (value != blockValue(field.data(), field[12], data, length))
        return std::nullopt;
    BlockHeader header;
    for (int i = 0; i < 8; ++i)
        header.offset |= static_cast<std::uint64_t>(field[static_cast<std::size_t>(i)]) << (8 * i);
    header.flags = field[12];
    if (header.offset > kMaxField)
        return std::nullopt;
    return header;
}

}  // namespace krl::extension
