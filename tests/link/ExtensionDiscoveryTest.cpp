// How two copies find each other, and why a peer that does not know the extension is never
// confused: it sees the bytes it always saw and one command frame it ignores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "FrameBytes.h"
#include "ProtocolFakes.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/TempFolder.h"
#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/CommandTags.h"
#include "link/ExtensionFrames.h"
#include "link/LinkSession.h"
#include "link/ResumeStore.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;

bool containsNoCase(std::string_view text, std::string_view what) {
    return std::search(text.begin(), text.end(), what.begin(), what.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

TEST(ExtensionDiscoveryTest, HereFrameHoldsNoCommandTag) {
    const CommandTags tags(StringTable::builtIn());
    using extension::Verb;
    for (const extension::Command& c :
         {extension::Command{Verb::Here}, extension::Command{Verb::Take, 0, 0xFFFFFFFF},
          extension::Command{Verb::Take, extension::kMaxField, 0xABCDEF},
          extension::Command{Verb::Ack, 0xFEDCBA, 0x123456789A}}) {
        const std::string payload = extension::commandPayload(c);
        // Peers in the field search the whole payload for every tag, in any letter case.
        for (int n = 1; n <= kLinkCommandCount; ++n)
            EXPECT_FALSE(containsNoCase(payload, tags.tag(static_cast<LinkCommand>(n))))
                << payload << " holds " << tags.tag(static_cast<LinkCommand>(n));
        EXPECT_EQ(std::count(payload.begin(), payload.end(), '<'), 1);
        auto back = extension::parseCommand(payload);
        ASSERT_TRUE(back) << payload;
        EXPECT_EQ(back->verb, c.verb);
        EXPECT_EQ(back->first, c.first);
        EXPECT_EQ(back->second, c.second);
    }
    // One bit wrong anywhere and the frame is not taken.
    const std::string ack = extension::commandPayload({Verb::Ack, 0x3000, 0x6000});
    for (std::size_t i = 0; i < ack.size(); ++i) {
        std::string damaged = ack;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x04);
        EXPECT_FALSE(extension::parseCommand(damaged)) << damaged;
    }
}

// A peer that never announces the extension: it greets, takes a file from the copy and sends
// it one, and the call drops while a second file of its arrives. The copy writes exactly the
// bytes it writes with the extension switched off, with one frame more: the announcement.
class OriginalPeer {
public:
    OriginalPeer(bool extension, const fs::path& root) : root_(root) {
        session_.protocol().setExtensionEnabled(extension);
        EXPECT_TRUE(session_.openPort("port", LineSettings{}, 0));
        fs::create_directories(root / "in");
        session_.callReset();
        session_.protocol().receiver().control(ReceiveControl::Arm, (root / "in").string());
    }

    std::vector<std::uint8_t> run(const fs::path& toSend) {
        arrive(commandBytes("<HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>"));
        arrive(commandBytes("<OKHello>"));
        session_.protocol().sender().control(SendControl::Start, kOrdinaryFile, toSend.string());
        for (int i = 0; i < 50 && session_.protocol().sender().state() != SendState::Done; ++i)
            arrive({});
        EXPECT_EQ(session_.protocol().sender().state(), SendState::Done);

        // The peer's file: two of its three blocks arrive, then the line is gone.
        arrive(
            commandBytes("<Send NF><Name><theirs.bin><Size><    9000><Date><               0,"
                         "               1>"));
        for (int block = 0; block < 2; ++block) {
            std::vector<std::uint8_t> data(3000, static_cast<std::uint8_t>('a' + block));
            CheckField check = fileBlockCheckField(BlockCheckValue::of(data));
            arrive(frameBytes(3, data, &check));
        }
        EXPECT_EQ(session_.protocol().receiver().status().bytesDone, 6000u);
        session_.callReset();  // the next call: the part of the last one is gone, as always
        EXPECT_FALSE(fs::exists(root_ / "in" / "theirs.bin"));
        EXPECT_FALSE(fs::exists(root_ / "in" / ResumeStore::kFolderName));
        std::vector<std::uint8_t> all;
        for (auto& w : line_->a.writes)
            all.insert(all.end(), w.begin(), w.end());
        return all;
    }

private:
    // The peer's bytes arrive; it answers the copy's offers and blocks as an original does.
    void arrive(const std::vector<std::uint8_t>& bytes) {
        line_->a.inbox.insert(line_->a.inbox.end(), bytes.begin(), bytes.end());
        session_.readReceived();
        session_.poll();
        clock_.advance(10);
        for (; seen_ < line_->a.writes.size(); ++seen_) {
            const auto& w = line_->a.writes[seen_];
            const std::string text(w.begin(), w.end());
            if (w.size() > 2 && w[1] == 3)
                line_->a.inbox.insert(line_->a.inbox.end(), crcOk_.begin(), crcOk_.end());
            if (text.find("<Send NF>") != std::string::npos) {
                auto ok = commandBytes("<OK for Send>");
                line_->a.inbox.insert(line_->a.inbox.end(), ok.begin(), ok.end());
            }
        }
    }

    fs::path root_;
    std::shared_ptr<FakeLine> line_ = std::make_shared<FakeLine>();
    FakeSerialDeviceFactory factory_{line_};
    ManualClock clock_;
    RecordingPresenter messages_;
    LinkSession session_{factory_, clock_, StringTable::builtIn(), messages_};
    std::size_t seen_ = 0;
    const std::vector<std::uint8_t> crcOk_ = commandBytes("<CRCOK>");
};

TEST(ExtensionDiscoveryTest, OriginalPeerSeesTodaysBytesAndOneIgnoredFrame) {
    TempFolder tmp;
    const fs::path file = tmp.path() / "mine.bin";
    writeFile(file, randomBytes(10000, 3));
    const auto withExtension = OriginalPeer(true, tmp.sub("on")).run(file);
    const auto without = OriginalPeer(false, tmp.sub("off")).run(file);

    const auto here = commandBytes(extension::commandPayload({extension::Verb::Here}));
    auto at = std::search(withExtension.begin(), withExtension.end(), here.begin(), here.end());
    ASSERT_NE(at, withExtension.end()) << "the copy announces itself once";
    std::vector<std::uint8_t> rest(withExtension.begin(), at);
    rest.insert(rest.end(), at + static_cast<long>(here.size()), withExtension.end());
    EXPECT_EQ(std::search(rest.begin(), rest.end(), here.begin(), here.end()), rest.end());
    EXPECT_EQ(rest, without) << "every other byte is today's";
    // And the frame it announces itself with, dispatched as an original peer reads it (a tag
    // anywhere in the payload), is no command.
    const CommandTags tags(StringTable::builtIn());
    const std::string payload(here.begin() + 5, here.end() - 2);
    EXPECT_FALSE(tags.match(payload));
}

}  // namespace
}  // namespace krl::test
