// The C entry points of the library: thin wrappers over the compressor and expander objects.
// No exception crosses the boundary; running out of memory is reported as failure.

#include <cstring>
#include <new>

#include "Compressor.h"
#include "Expander.h"
#include "brmh263.h"

struct VCCompressInstance {
    brm::Compressor compressor;
};

struct VCExpandInstance {
    brm::Expander expander;
};

extern "C" {

const char* VCVersionText(void) {
    return BRM_H263_VERSION_TEXT;
}

VCCompressInstance* VCCompressOpen(void) {
    try {
        return new VCCompressInstance();
    } catch (...) {
        return nullptr;
    }
}

void VCCompressClose(VCCompressInstance* instance) {
    delete instance;
}

int VCCompressSetAttributes(VCCompressInstance* instance, uint32_t count,
                            const MetaAttribute* list) {
    if (instance == nullptr) {
        return 0;
    }
    try {
        return instance->compressor.setAttributes(count, list) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void VCCompressQualityChange(VCCompressInstance* instance, uint32_t id, uint32_t value) {
    if (instance == nullptr) {
        return;
    }
    try {
        instance->compressor.qualityChange(id, value);
    } catch (...) {
    }
}

uint32_t VCCompressBuffer(VCCompressInstance* instance, uint32_t keyFrame, uintptr_t,
                          const void* bits, void* out, uint32_t capacity) {
    if (out == nullptr) {
        return brm::Compressor::kPieceCapacity;
    }
    if (instance == nullptr) {
        return 0;
    }
    auto* dest = static_cast<uint8_t*>(out);
    uint32_t written = 0;
    // Callers size the buffer from the largest size this call reports; a frame of many pieces
    // can be longer than that, so "no limit" (capacity 0) means that size.
    if (capacity == 0) {
        capacity = brm::Compressor::kPieceCapacity;
    }
    // A piece that does not fit in the room left is dropped; a later, smaller one may still fit.
    const auto sink = [&](bool, const uint8_t* data, uint32_t length) {
        if (length > capacity - written) {
            return false;
        }
        std::memcpy(dest + written, data, length);
        written += length;
        return true;
    };
    try {
        instance->compressor.codeFrame(bits, keyFrame == 1, sink);
    } catch (...) {
        return 0;
    }
    return written;
}

int VCCompressCback(VCCompressInstance* instance, uintptr_t callerValue, uint32_t keyFrame,
                    uintptr_t, const void* bits, VCPieceCallback callback) {
    if (instance == nullptr || callback == nullptr) {
        return 0;
    }
    const auto sink = [&](bool more, const uint8_t* data, uint32_t length) {
        callback(callerValue, more ? 1 : 0, length, data);
        return true;
    };
    try {
        return instance->compressor.codeFrame(bits, keyFrame == 1, sink) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

uint32_t VCCompressAttributesForRemote(VCCompressInstance* instance, const uint8_t** out) {
    if (instance == nullptr) {
        return 0;
    }
    try {
        return instance->compressor.attributesForRemote(out);
    } catch (...) {
        return 0;
    }
}

uint32_t VCCompressAttributesFromRemote(VCCompressInstance*, uintptr_t, uintptr_t) {
    return 0;
}

VCExpandInstance* VCExpandOpen(void) {
    try {
        return new VCExpandInstance();
    } catch (...) {
        return nullptr;
    }
}

void VCExpandClose(VCExpandInstance* instance) {
    delete instance;
}

int VCExpandSetAttributes(VCExpandInstance* instance, uint32_t count, const MetaAttribute* list) {
    if (instance == nullptr) {
        return 0;
    }
    try {
        return instance->expander.setAttributes(count, list) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

uint32_t VCExpandBuffer(VCExpandInstance* instance, uint32_t length, const void* piece,
                        void* outBits) {
    if (instance == nullptr) {
        return VC_NO_PICTURE;
    }
    return instance->expander.expand(static_cast<const uint8_t*>(piece), length,
                                     static_cast<uint8_t*>(outBits));
}

uint32_t VCExpandGetAttribute(VCExpandInstance* instance, uint32_t id) {
    return instance == nullptr ? 0 : instance->expander.attribute(id);
}

uint32_t VCExpandAttributesForRemote(VCExpandInstance*, const uint8_t**) {
    return 0;
}

uint32_t VCExpandCalculatePalette(VCExpandInstance* instance, uint32_t wanted,
                                  BrmRgbQuad* palette) {
    if (instance == nullptr) {
        return 0;
    }
    try {
        return instance->expander.calculatePalette(wanted, reinterpret_cast<uint8_t*>(palette));
    } catch (...) {
        return 0;
    }
}

void VCExpandSetNextAllChanged(VCExpandInstance* instance) {
    if (instance != nullptr) {
        instance->expander.setNextAllChanged();
    }
}

}  // extern "C"
