/* BRM-H263: the video codec library of Kestrelcall.
 *
 * Plain exported functions over opaque instance pointers. Results of 0 mean failure unless
 * stated otherwise. The library keeps no threads and no locks: call it from one thread.
 * Serialised formats are big-endian, bit fields most significant bit first.
 */
#ifndef BRMH263_H
#define BRMH263_H

#include <stddef.h>
#include <stdint.h>

#if defined(BRM_H263_BUILDING)
#define BRM_API __attribute__((visibility("default")))
#else
#define BRM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define BRM_H263_VERSION_TEXT "Video Compression DLL"

/* One attribute entry in memory. When length is 0 to 4, value holds the value itself; when
 * length is above 4, value holds the address of `length` bytes owned by the caller (the field
 * is pointer-wide so that an address fits on every machine). */
typedef struct MetaAttribute {
    uint16_t id;
    uint16_t length;
    uintptr_t value;
} MetaAttribute;

/* The device-independent bitmap header (40 bytes, little-endian), as passed in attribute 0. */
typedef struct BrmBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight; /* negative: top-down rows */
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression; /* 0 plain, 1 8-bit run-length, 2 4-bit run-length */
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} BrmBitmapInfoHeader;

/* A colour table entry: blue, green, red, reserved. */
typedef struct BrmRgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
} BrmRgbQuad;

typedef struct VCCompressInstance VCCompressInstance;
typedef struct VCExpandInstance VCExpandInstance;

/* Called once per piece of a frame: (caller value, 1 while further pieces of this frame follow,
 * piece length in bytes, piece address). The result is ignored. */
typedef int (*VCPieceCallback)(uintptr_t callerValue, int moreFollows, uint32_t length,
                               const uint8_t* piece);

/* Compressor attribute identifiers. */
enum {
    VC_C_FORMAT = 0,
    VC_C_CROP_X = 1,
    VC_C_CROP_Y = 2,
    VC_C_WIDTH = 3,
    VC_C_HEIGHT = 4,
    VC_C_LUMA_ONLY = 5,
    VC_C_QUALITY = 6,
    VC_C_REFRESH = 7,
    VC_C_MODE = 8,
    VC_C_TRACE = 9,
    VC_C_COLOUR_TABLE = 10,
    VC_C_CHANGE = 11,
    VC_C_FULL_CHROMA = 12,
    VC_C_MAX_PIECE = 13,
    VC_C_Q_MIDPOINT = 14,
    VC_C_C_MIDPOINT = 15,
    VC_C_FRAME_BYTES = 16,
    VC_C_KEY_BYTES = 17,
    VC_C_STALE_REFRESH = 18,
    VC_C_MEAN_REMOVED = 19
};

/* Expander attribute identifiers. */
enum {
    VC_E_FORMAT = 0,
    VC_E_OUTPUT_MODE = 1,
    VC_E_PALETTE = 2,
    VC_E_TRACE = 3,
    VC_E_GREY = 4,
    VC_E_PACKETS = 5
};

/* VCExpandBuffer results. */
enum {
    VC_FRAME_DRAWN = 0,
    VC_NO_PICTURE = 1,
    VC_FRAME_DRAWN_NEW_SIZE = 2,
    VC_NO_PICTURE_NEW_SIZE = 3
};

BRM_API const char* VCVersionText(void);

BRM_API VCCompressInstance* VCCompressOpen(void);
BRM_API void VCCompressClose(VCCompressInstance* instance);
BRM_API int VCCompressSetAttributes(VCCompressInstance* instance, uint32_t count,
                                    const MetaAttribute* list);
BRM_API void VCCompressQualityChange(VCCompressInstance* instance, uint32_t id, uint32_t value);
/* Returns the largest size one call can produce when out is null; otherwise the bytes written. */
BRM_API uint32_t VCCompressBuffer(VCCompressInstance* instance, uint32_t keyFrame,
                                  uintptr_t reserved, const void* bits, void* out,
                                  uint32_t capacity);
BRM_API int VCCompressCback(VCCompressInstance* instance, uintptr_t callerValue, uint32_t keyFrame,
                            uintptr_t reserved, const void* bits, VCPieceCallback callback);
BRM_API uint32_t VCCompressAttributesForRemote(VCCompressInstance* instance, const uint8_t** out);
BRM_API uint32_t VCCompressAttributesFromRemote(VCCompressInstance* instance, uintptr_t a,
                                                uintptr_t b);

BRM_API VCExpandInstance* VCExpandOpen(void);
BRM_API void VCExpandClose(VCExpandInstance* instance);
BRM_API int VCExpandSetAttributes(VCExpandInstance* instance, uint32_t count,
                                  const MetaAttribute* list);
BRM_API uint32_t VCExpandBuffer(VCExpandInstance* instance, uint32_t length, const void* piece,
                                void* outBits);
BRM_API uint32_t VCExpandGetAttribute(VCExpandInstance* instance, uint32_t id);
BRM_API uint32_t VCExpandAttributesForRemote(VCExpandInstance* instance, const uint8_t** out);
/* Writes up to `wanted` (at most 255) BrmRgbQuad entries; returns how many were written. */
BRM_API uint32_t VCExpandCalculatePalette(VCExpandInstance* instance, uint32_t wanted,
                                          BrmRgbQuad* palette);
BRM_API void VCExpandSetNextAllChanged(VCExpandInstance* instance);

BRM_API uint32_t MetaListToBufferLength(uint32_t count, const MetaAttribute* list);
BRM_API uint32_t MetaListToBuffer(uint32_t count, const MetaAttribute* list, uint32_t capacity,
                                  void* buffer);
/* Entries of length above 4 point into `buffer`, which must outlive the list. Free the list with
 * GFree. */
BRM_API uint32_t MetaBufferToList(uint32_t length, const void* buffer, MetaAttribute** out);
BRM_API void* MetaCopyBuffer(const MetaAttribute* entry);
BRM_API uint16_t MetaWord(const MetaAttribute* entry);
BRM_API uint32_t MetaDWord(const MetaAttribute* entry);

BRM_API void* GAlloc(size_t bytes);
BRM_API void* GReAlloc(void* block, size_t bytes);
BRM_API void GFree(void* block);
/* Writes the text and a line end to the standard error stream when the trace handle is not 0
 * (this platform has no list box behind the handle). */
BRM_API void GOutStr(uintptr_t traceHandle, const char* text);

#ifdef __cplusplus
}
#endif

#endif
