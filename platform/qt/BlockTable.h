#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <type_traits>

#include "base/ByteRecord.h"
#include "platform/qt/SettingsGroup.h"

namespace krl::settings_ini {

// One value of a key: how it is read into its block and written from it, under its name.
template <class Block>
struct Value {
    const char* name;
    void (*load)(const GroupReader&, const Value&, Block&);
    void (*store)(GroupWriter&, const Value&, const Block&);
    // A byte record: the field that reads and writes it whole (its width is the size written),
    // and the fewest bytes it is read from.
    byte_record::Field<Block> record = {};
    std::size_t minSize = 0;
};

// One key's values as a table that a single loader and a single storer walk, so a value is
// named once and read and written under the same name. A value that is missing, of the wrong
// type or of the wrong size leaves the block's default.
template <class Block>
struct BlockTable {
    const char* subkey;
    std::initializer_list<Value<Block>> values;
};

// A text, taken when it is not empty; shortened to maxBytes when that is given.
template <auto member, std::size_t maxBytes = 0>
constexpr Value<byte_record::RecordOf<member>> text(const char* name) {
    using Block = byte_record::RecordOf<member>;
    return {name,
            [](const GroupReader& key, const Value<Block>& v, Block& b) {
                if (auto text = key.text(v.name, maxBytes))
                    b.*member = *text;
            },
            [](GroupWriter& key, const Value<Block>& v, const Block& b) {
                key.text(v.name, b.*member);
            }};
}

// What a stored number outside its range gives: the default, or the nearer end of the range.
enum class Outside { KeepDefault, NearerEnd };

// A number member (or a flag, any value but 0 meaning on), stored as its 32-bit pattern.
template <auto member, std::uint32_t lo = 0, std::uint32_t hi = UINT32_MAX,
          Outside outside = Outside::KeepDefault>
constexpr Value<byte_record::RecordOf<member>> dword(const char* name) {
    using Block = byte_record::RecordOf<member>;
    using T = byte_record::TypeOf<member>;
    return {name,
            [](const GroupReader& key, const Value<Block>& v, Block& b) {
                const std::optional<std::uint32_t> n = key.dword(v.name);
                if (!n || (std::clamp(*n, lo, hi) != *n && outside == Outside::KeepDefault))
                    return;
                if constexpr (std::is_same_v<T, bool>)
                    b.*member = *n != 0;
                else
                    b.*member = static_cast<T>(std::clamp(*n, lo, hi));
            },
            [](GroupWriter& key, const Value<Block>& v, const Block& b) {
                key.dword(v.name, static_cast<std::uint32_t>(b.*member));
            }};
}

// A byte record read and written whole by one field; read from minSize bytes on (by default
// only at its full size).
template <class Block>
constexpr Value<Block> bytes(const char* name, byte_record::Field<Block> field,
                             std::size_t minSize = 0) {
    return {name,
            [](const GroupReader& key, const Value<Block>& v, Block& b) {
                if (auto bytes = key.bytes(v.name, v.minSize, v.record.width))
                    v.record.get(b, reinterpret_cast<const std::uint8_t*>(bytes->constData()));
            },
            [](GroupWriter& key, const Value<Block>& v, const Block& b) {
                QByteArray bytes(static_cast<qsizetype>(v.record.width), '\0');
                v.record.put(b, reinterpret_cast<std::uint8_t*>(bytes.data()));
                key.bytes(v.name, bytes);
            },
            field, minSize != 0 ? minSize : field.width};
}

// Fields of the block itself kept as one byte record, read when it holds at least those fields.
template <const auto& layout>
constexpr auto fields(const char* name) {
    return bytes(name, byte_record::all<layout>(), layout.fieldsEnd());
}

}  // namespace krl::settings_ini
