// Writes real inputs for the link fuzz targets into <corpus>/<target>/: the frames of a call
// between two protocols (greeting, a file with start bytes in it, a business card, chat, a
// video frame, the disconnect), as the wire carries them for the frame parser and frame by
// frame for the protocol's dispatcher; and the offers and cards a peer fills in.
//
//   link_fuzz_seeds CORPUS_FOLDER
#include <cstdio>
#include <fstream>

#include "FrameBytes.h"
#include "ProtocolFakes.h"
#include "fakes/TempFolder.h"
#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"

namespace {

namespace fs = std::filesystem;
using namespace krl;
using namespace krl::test;

void write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void write(const fs::path& path, const std::string& text) {
    write(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// fuzz_link_parser: the wire bytes in chunks of 64 (control byte 0x3F before each).
std::vector<std::uint8_t> parserInput(const std::vector<SentFrame>& frames) {
    std::vector<std::uint8_t> wire, out;
    for (const auto& f : frames) {
        const auto bytes = frameBytes(static_cast<std::uint16_t>(f.type), f.payload, &f.check);
        wire.insert(wire.end(), bytes.begin(), bytes.end());
    }
    for (std::size_t at = 0; at < wire.size(); at += 64) {
        out.push_back(0x3F);
        out.insert(out.end(), wire.begin() + static_cast<long>(at),
                   wire.begin() + static_cast<long>(std::min(at + 64, wire.size())));
    }
    return out;
}

// fuzz_link_dispatch: each frame as a type byte (type - 2), a 16-bit little-endian length,
// the check field (types that have one) and the payload.
std::vector<std::uint8_t> dispatchInput(const std::vector<SentFrame>& frames) {
    std::vector<std::uint8_t> out;
    for (const auto& f : frames) {
        const bool check = frame::hasCheckField(f.type);
        const std::size_t length = f.payload.size() + (check ? 16 : 0);
        out.push_back(static_cast<std::uint8_t>(static_cast<int>(f.type) - 2));
        out.push_back(static_cast<std::uint8_t>(length & 0xFF));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        if (check)
            out.insert(out.end(), f.check.begin(), f.check.end());
        out.insert(out.end(), f.payload.begin(), f.payload.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: link_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    TempFolder tmp;
    ProtocolPair pair;
    for (ProtocolSide* s : {&pair.a, &pair.b}) {
        s->protocol.resetCall();
        s->protocol.setCardPictureFolder(tmp.sub("cards").string());
    }
    pair.b.protocol.receiver().control(ReceiveControl::Arm, tmp.sub("in").string());
    pair.runUntil([] { return false; }, 20);

    // A file of two blocks with start bytes (0x01) that the sender doubles.
    std::vector<std::uint8_t> data = randomBytes(4000, 3);
    for (std::size_t i = 0; i < data.size(); i += 50)
        data[i] = frame::kStartByte;
    writeFile(tmp.sub("out") / "report 1.txt", data);
    FileSender& sender = pair.a.protocol.sender();
    sender.control(SendControl::Start, kOrdinaryFile,
                   (tmp.path() / "out" / "report 1.txt").string());
    pair.runUntil([&] { return sender.state() == SendState::Done; }, 10000);

    BusinessCard card;
    card.name = Cp1252Text("Ann \xC9lise");
    card.phone = Cp1252Text("+44 20 7946 0000");
    card.details = Cp1252Text("Office\r\nSecond line");
    pair.a.protocol.sendCard(&card);
    pair.a.protocol.sendChat("Hello there \x80 5");
    pair.a.protocol.sendPage();
    pair.runUntil([] { return false; }, 20);

    // A video frame the way the link carries one: an own-format piece header and its check.
    std::vector<std::uint8_t> video = randomBytes(300, 9);
    video[0] = 1;
    video[1] = 0x01;
    video[2] = 0x2C;  // 300 bytes
    video[3] = 1 | 2 | 4;
    pair.a.port.history.push_back(
        {FrameType::VideoKey, video, videoCheckField(BlockCheckValue::of(video))});
    pair.a.protocol.sendDisconnect();

    write(corpus / "fuzz_link_parser" / "seed-call-a", parserInput(pair.a.port.history));
    write(corpus / "fuzz_link_parser" / "seed-call-b", parserInput(pair.b.port.history));
    write(corpus / "fuzz_link_dispatch" / "seed-call-a", dispatchInput(pair.a.port.history));
    write(corpus / "fuzz_link_dispatch" / "seed-call-b", dispatchInput(pair.b.port.history));

    // fuzz_link_fields: a selector byte (0 file offer, 1 clipboard, 2 card picture, 3 card),
    // then what follows the tag.
    for (const auto& f : pair.a.port.history) {
        const std::string text = f.text();
        if (f.type != FrameType::Command)
            continue;
        if (text.rfind("<Send NF>", 0) == 0)
            write(corpus / "fuzz_link_fields" / "seed-offer", '\0' + text.substr(9));
        if (text.rfind("<My Card>", 0) == 0)
            write(corpus / "fuzz_link_fields" / "seed-card", '\3' + text.substr(9));
    }
    return 0;
}
