#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace krl::byte_record {

// The fixed-size byte records kept in the settings file and sent to the peer. Numbers are 32-bit
// little-endian; texts are zero-terminated within their field. A record's fields are named once,
// in a Layout that one reader and one writer walk.

inline void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        at[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline std::uint32_t getU32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= std::uint32_t(at[k]) << (8 * k);
    return v;
}

inline void putI32(std::uint8_t* at, std::int32_t value) {
    putU32(at, static_cast<std::uint32_t>(value));
}

inline std::int32_t getI32(const std::uint8_t* at) {
    return static_cast<std::int32_t>(getU32(at));
}

// Shortens text to at most maxBytes without cutting a UTF-8 sequence in two.
inline std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Writes text and a terminating zero into a field of fieldSize bytes; the rest is zeroed. The
// text is shortened to fieldSize - 1 bytes when longer.
inline void putText(std::uint8_t* at, std::size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return;
    std::string_view kept = truncateUtf8(text, fieldSize - 1);
    std::size_t i = 0;
    for (; i < kept.size(); ++i)
        at[i] = static_cast<std::uint8_t>(kept[i]);
    for (; i < fieldSize; ++i)
        at[i] = 0;
}

// Reads the text of a field up to its first zero; a field without a zero is read whole.
inline std::string getText(const std::uint8_t* at, std::size_t fieldSize) {
    std::size_t n = 0;
    while (n < fieldSize && at[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(at), n);
}

// One field of a record: how many bytes it takes and how its value is read from and written to
// them.
template <class R>
struct Field {
    std::size_t width;
    void (*get)(R&, const std::uint8_t*);
    void (*put)(const R&, std::uint8_t*);
};

// A record's fields, one after the other from its first byte; the bytes after the last field, up
// to size, carry nothing and are written as zeros. A stored record is read when it holds at least
// its fields and at most size bytes.
template <class R>
struct Layout {
    using Record = R;
    std::size_t size;
    std::initializer_list<Field<R>> fields;

    constexpr std::size_t fieldsEnd() const {
        std::size_t end = 0;
        for (const Field<R>& f : fields)
            end += f.width;
        return end;
    }
    constexpr bool fits(std::size_t length) const {
        return length >= fieldsEnd() && length <= size;
    }

    // at: fieldsEnd() bytes at least.
    void read(R& r, const std::uint8_t* at) const {
        for (const Field<R>& f : fields) {
            f.get(r, at);
            at += f.width;
        }
    }
    // at: size bytes.
    void write(const R& r, std::uint8_t* at) const {
        std::fill_n(at, size, std::uint8_t(0));
        for (const Field<R>& f : fields) {
            f.put(r, at);
            at += f.width;
        }
    }
};

// The whole record in its stored form; N is the layout's size.
template <std::size_t N, class R>
std::array<std::uint8_t, N> toBytes(const Layout<R>& layout, const R& r) {
    std::array<std::uint8_t, N> out{};
    layout.write(r, out.data());
    return out;
}

// Nothing unless the stored record fits the layout.
template <class R>
std::optional<R> fromBytes(const Layout<R>& layout, const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || !layout.fits(length))
        return std::nullopt;
    R r{};
    layout.read(r, bytes);
    return r;
}

namespace detail {
template <class>
struct Member;
template <class R, class T>
struct Member<T R::*> {
    using Record = R;
    using Type = T;
};
}  // namespace detail

template <auto M>
using RecordOf = typename detail::Member<decltype(M)>::Record;
template <auto M>
using TypeOf = typename detail::Member<decltype(M)>::Type;

// A 32-bit number, signed or unsigned, or an array of them.
template <auto M>
constexpr Field<RecordOf<M>> number() {
    using R = RecordOf<M>;
    using T = TypeOf<M>;
    if constexpr (std::is_integral_v<T>) {
        static_assert(sizeof(T) == 4);
        return {4, [](R& r, const std::uint8_t* at) { r.*M = static_cast<T>(getU32(at)); },
                [](const R& r, std::uint8_t* at) { putU32(at, static_cast<std::uint32_t>(r.*M)); }};
    } else {
        using V = typename T::value_type;
        static_assert(sizeof(V) == 4);
        return {4 * std::tuple_size_v<T>,
                [](R& r, const std::uint8_t* at) {
                    for (V& v : r.*M) {
                        v = static_cast<V>(getU32(at));
                        at += 4;
                    }
                },
                [](const R& r, std::uint8_t* at) {
                    for (V v : r.*M) {
                        putU32(at, static_cast<std::uint32_t>(v));
                        at += 4;
                    }
                }};
    }
}

// One byte kept as it is, but for the bits outside Mask, which are neither read nor written.
template <auto M, std::uint8_t Mask = 0xFF>
constexpr Field<RecordOf<M>> byte() {
    using R = RecordOf<M>;
    return {1, [](R& r, const std::uint8_t* at) { r.*M = static_cast<std::uint8_t>(at[0] & Mask); },
            [](const R& r, std::uint8_t* at) { at[0] = static_cast<std::uint8_t>(r.*M & Mask); }};
}

// A yes or no over Width bytes: any bit set means yes; written as 1 in the first byte.
template <auto M, std::size_t Width = 1>
constexpr Field<RecordOf<M>> flag() {
    using R = RecordOf<M>;
    return {Width,
            [](R& r, const std::uint8_t* at) {
                r.*M = std::any_of(at, at + Width, [](std::uint8_t b) { return b != 0; });
            },
            [](const R& r, std::uint8_t* at) { at[0] = r.*M ? 1 : 0; }};
}

// A text in a field of Width bytes (see putText and getText).
template <auto M, std::size_t Width>
constexpr Field<RecordOf<M>> text() {
    using R = RecordOf<M>;
    return {Width, [](R& r, const std::uint8_t* at) { r.*M = getText(at, Width); },
            [](const R& r, std::uint8_t* at) { putText(at, Width, r.*M); }};
}

// Bytes kept as they are, an array of them.
template <auto M>
constexpr Field<RecordOf<M>> raw() {
    using R = RecordOf<M>;
    constexpr std::size_t n = std::tuple_size_v<TypeOf<M>>;
    return {n, [](R& r, const std::uint8_t* at) { std::copy_n(at, n, (r.*M).begin()); },
            [](const R& r, std::uint8_t* at) { std::copy_n((r.*M).begin(), n, at); }};
}

// A record of its own, laid out by its type's kLayout.
template <auto M>
constexpr Field<RecordOf<M>> record() {
    using R = RecordOf<M>;
    using T = TypeOf<M>;
    return {T::kLayout.size, [](R& r, const std::uint8_t* at) { T::kLayout.read(r.*M, at); },
            [](const R& r, std::uint8_t* at) { T::kLayout.write(r.*M, at); }};
}

// All of a record's fields as one field of the same record, taking the layout's whole size.
template <const auto& L>
constexpr Field<typename std::remove_cvref_t<decltype(L)>::Record> all() {
    using R = typename std::remove_cvref_t<decltype(L)>::Record;
    return {L.size, [](R& r, const std::uint8_t* at) { L.read(r, at); },
            [](const R& r, std::uint8_t* at) { L.write(r, at); }};
}

}  // namespace krl::byte_record
