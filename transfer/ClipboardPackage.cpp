#include "transfer/ClipboardPackage.h"

#include "base/ByteRecord.h"
#include "base/Cp1252.h"
#include "controls/DibPicture.h"

namespace krl {
namespace {

struct Entry {
    int format;
    std::string_view name;
};

constexpr Entry kTable[] = {
    {1, "Text.clp"},      {2, "bitmap.clp"},   {3, "MFPict.clp"},     {4, "Sylk.clp"},
    {5, "DIF.clp"},       {6, "Tiff.clp"},     {7, "OemText.clp"},    {8, "DIB.clp"},
    {9, "palette.clp"},   {10, "pendata.clp"}, {11, "riff.clp"},      {12, "wave.clp"},
    {129, "DSPTEXT.clp"}, {130, "DSPBIT.clp"}, {131, "DMETPICT.clp"},
};

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

const std::uint8_t* data(std::string_view bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (low(a[i]) != low(b[i]))
            return false;
    }
    return true;
}

void putU16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string_view packageFileName(int format) {
    for (const Entry& e : kTable) {
        if (e.format == format)
            return e.name;
    }
    return "private.clp";
}

int formatOfPackage(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const Entry& e : kTable) {
        if (sameNoCase(name, e.name))
            return e.format;
    }
    return 0;
}

std::string textPackage(std::string_view utf8) {
    std::string bytes = utf8ToCp1252(utf8).bytes();
    // The block ends at the text's NUL; one inside the text would end it early.
    bytes = bytes.substr(0, bytes.find('\0'));
    bytes += '\0';
    return bytes;
}

std::string bitmapPackage(const RgbPicture& picture) {
    const std::size_t width = static_cast<std::size_t>(picture.width);
    const std::size_t height = static_cast<std::size_t>(picture.height);
    const std::size_t stride = (width * 3 + 3) & ~std::size_t{3};
    const std::size_t bits = stride * height;
    const std::size_t offset = kFileHeader + kInfoHeader;
    std::string out;
    out.reserve(offset + bits);
    out += "BM";
    putU32(out, static_cast<std::uint32_t>(offset + bits));
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, static_cast<std::uint32_t>(offset));
    putU32(out, kInfoHeader);
    putU32(out, static_cast<std::uint32_t>(width));
    putU32(out, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    putU16(out, 1);                                   // planes
    putU16(out, 24);                                  // bits per pixel
    putU32(out, 0);                                   // no compression
    putU32(out, static_cast<std::uint32_t>(bits));
    putU32(out, 2835);  // 72 dots per inch
    putU32(out, 2835);
    putU32(out, 0);
    putU32(out, 0);
    for (std::size_t row = height; row-- > 0;) {
        const std::uint8_t* src = picture.rgb.data() + row * width * 3;
        for (std::size_t x = 0; x < width; ++x) {
            out += static_cast<char>(src[x * 3 + 2]);
            out += static_cast<char>(src[x * 3 + 1]);
            out += static_cast<char>(src[x * 3]);
        }
        out.append(stride - width * 3, '\0');
    }
    return out;
}

std::optional<std::string> textFromPackage(std::string_view bytes) {
    if (bytes.size() > kMaxPackageBytes)
        return std::nullopt;
    return cp1252ToUtf8(Cp1252Text(bytes.substr(0, bytes.find('\0'))));
}

std::optional<RgbPicture> pictureFromPackage(std::string_view bytes, int format) {
    if (bytes.size() > kMaxPackageBytes)
        return std::nullopt;
    std::optional<DibPicture> dib;
    if (format == static_cast<int>(ClipboardFormat::Bitmap)) {
        dib = DibPicture::read(bytes);
    } else if (format == static_cast<int>(ClipboardFormat::Dib)) {
        // The same picture without the file header: one is put in front, pointing past the
        // information header and the colour table; the reader checks everything after it.
        if (bytes.size() < kInfoHeader || byte_record::getU32(data(bytes)) != kInfoHeader)
            return std::nullopt;
        const unsigned bitCount = data(bytes)[14] | data(bytes)[15] << 8;
        const std::uint32_t used = byte_record::getU32(data(bytes) + 32);
        if (used > 256)
            return std::nullopt;
        const std::uint32_t colours = used != 0 ? used : bitCount <= 8 ? 1u << bitCount : 0u;
        std::string file = "BM";
        putU32(file, static_cast<std::uint32_t>(kFileHeader + bytes.size()));
        putU32(file, 0);
        putU32(file, static_cast<std::uint32_t>(kFileHeader + kInfoHeader + 4 * colours));
        file += bytes;
        dib = DibPicture::read(file);
    }
    if (!dib)
        return std::nullopt;
    RgbPicture out;
    out.width = dib->width;
    out.height = dib->height;
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    std::size_t i = 0;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const DibColour c = dib->pixel(x, y);
            out.rgb[i++] = c.red;
            out.rgb[i++] = c.green;
            out.rgb[i++] = c.blue;
        }
    }
    return out;
}

}  // namespace krl
