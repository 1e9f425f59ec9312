// Attribute-list helpers and the global memory and trace helpers of the library.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "brmh263.h"

namespace {

uint32_t entryLength(const MetaAttribute& e) {
    return e.length;
}

void writeEntry(const MetaAttribute& e, uint8_t* out) {
    out[0] = static_cast<uint8_t>(e.id >> 8);
    out[1] = static_cast<uint8_t>(e.id);
    out[2] = static_cast<uint8_t>(e.length >> 8);
    out[3] = static_cast<uint8_t>(e.length);
    uint8_t* value = out + 4;
    if (e.length == 0) {
        return;
    }
    if (e.length <= 4) {
        for (unsigned i = 0; i < e.length; ++i) {
            value[i] = static_cast<uint8_t>(e.value >> (8 * (e.length - 1 - i)));
        }
        return;
    }
    std::memcpy(value, reinterpret_cast<const void*>(e.value), e.length);
}

}  // namespace

extern "C" {

uint32_t MetaListToBufferLength(uint32_t count, const MetaAttribute* list) {
    if (list == nullptr) {
        return 0;
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        total += entryLength(list[i]) + 4u;
    }
    return total > UINT32_MAX ? 0 : static_cast<uint32_t>(total);
}

uint32_t MetaListToBuffer(uint32_t count, const MetaAttribute* list, uint32_t capacity,
                          void* buffer) {
    const uint32_t size = MetaListToBufferLength(count, list);
    if (size == 0 || size > capacity || buffer == nullptr) {
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        writeEntry(list[i], out);
        out += 4u + list[i].length;
    }
    return size;
}

uint32_t MetaBufferToList(uint32_t length, const void* buffer, MetaAttribute** out) {
    if (out == nullptr) {
        return 0;
    }
    *out = nullptr;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (bytes == nullptr) {
        length = 0;
    }
    uint32_t count = 0;
    uint32_t pos = 0;
    while (length - pos >= 4 && pos <= length) {
        const uint32_t valueLength = (uint32_t{bytes[pos + 2]} << 8) | bytes[pos + 3];
        if (valueLength > length - pos - 4) {
            break;
        }
        pos += 4 + valueLength;
        ++count;
    }
    auto* list =
        static_cast<MetaAttribute*>(GAlloc(count == 0 ? 1 : count * sizeof(MetaAttribute)));
    if (list == nullptr) {
        return 0;
    }
    pos = 0;
    for (uint32_t i = 0; i < count; ++i) {
        MetaAttribute& e = list[i];
        e.id = static_cast<uint16_t>((bytes[pos] << 8) | bytes[pos + 1]);
        e.length = static_cast<uint16_t>((bytes[pos + 2] << 8) | bytes[pos + 3]);
        const uint8_t* value = bytes + pos + 4;
        if (e.length <= 4) {
            uintptr_t v = 0;
            for (unsigned k = 0; k < e.length; ++k) {
                v = (v << 8) | value[k];
            }
            e.value = v;
        } else {
            e.value = reinterpret_cast<uintptr_t>(value);
        }
        pos += 4u + e.length;
    }
    *out = list;
    return count;
}

void* MetaCopyBuffer(const MetaAttribute* entry) {
    if (entry == nullptr || entry->length == 0) {
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(GAlloc(entry->length));
    if (block == nullptr) {
        return nullptr;
    }
    if (entry->length <= 4) {
        for (unsigned i = 0; i < entry->length; ++i) {
            block[i] = static_cast<uint8_t>(entry->value >> (8 * (entry->length - 1 - i)));
        }
    } else {
        std::memcpy(block, reinterpret_cast<const void*>(entry->value), entry->length);
    }
    return block;
}

uint16_t MetaWord(const MetaAttribute* entry) {
    if (entry == nullptr || entry->length == 0 || entry->length > 4) {
        return 0;
    }
    return static_cast<uint16_t>(entry->value);
}

uint32_t MetaDWord(const MetaAttribute* entry) {
    if (entry == nullptr || entry->length == 0 || entry->length > 4) {
        return 0;
    }
    return static_cast<uint32_t>(entry->value);
}

void* GAlloc(size_t bytes) {
    return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

void* GReAlloc(void* block, size_t bytes) {
    if (block == nullptr) {
        return GAlloc(bytes);
    }
    return std::realloc(block, bytes == 0 ? 1 : bytes);
}

void GFree(void* block) {
    std::free(block);
}

void GOutStr(uintptr_t traceHandle, const char* text) {
    if (traceHandle == 0 || text == nullptr) {
        return;
    }
    std::fprintf(stderr, "%s\n", text);
}

}  // extern "C"
