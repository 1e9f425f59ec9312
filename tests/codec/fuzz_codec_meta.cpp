// Parses arbitrary attribute buffers, serialises the list back (it must give the same bytes),
// and hands the entries to both set operations.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "brmh263.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> buffer(data, data + size);
    MetaAttribute* list = nullptr;
    const uint32_t count =
        MetaBufferToList(static_cast<uint32_t>(buffer.size()), buffer.data(), &list);
    if (list == nullptr) {
        return 0;
    }
    const uint32_t length = MetaListToBufferLength(count, list);
    if (length > buffer.size()) {
        abort();
    }
    if (length > 0) {
        std::vector<uint8_t> again(length);
        if (MetaListToBuffer(count, list, length, again.data()) != length ||
            std::memcmp(again.data(), buffer.data(), length) != 0) {
            abort();
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        MetaWord(&list[i]);
        MetaDWord(&list[i]);
        GFree(MetaCopyBuffer(&list[i]));
    }
    VCCompressInstance* c = VCCompressOpen();
    VCCompressSetAttributes(c, count, list);
    for (uint32_t i = 0; i < count; ++i) {
        VCCompressQualityChange(c, list[i].id, MetaDWord(&list[i]));
    }
    const uint8_t* remote = nullptr;
    VCCompressAttributesForRemote(c, &remote);
    VCCompressClose(c);
    VCExpandInstance* e = VCExpandOpen();
    VCExpandSetAttributes(e, count, list);
    VCExpandClose(e);
    GFree(list);
    return 0;
}
