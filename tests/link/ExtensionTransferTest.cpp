// Windowed file blocks and resume between two copies (docs/extension.md), over two protocols
// joined back to back: blocks and confirmations lost or damaged on the way, calls that drop
// mid-file, sources that change between calls.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "ProtocolFakes.h"
#include "fakes/TempFolder.h"
#include "link/ExtensionFrames.h"
#include "link/FileSender.h"
#include "link/ResumeStore.h"
#include "link/WindowedSender.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;

class ExtensionTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        out = tmp.sub("out");
        in = tmp.sub("in");
        newCall();
    }
    // Both sides start a call and greet; the extension is found as the program finds it.
    void newCall() {
        pair.filter = nullptr;
        for (ProtocolSide* s : {&pair.a, &pair.b}) {
            s->port.frames.clear();
            s->protocol.resetCall();
        }
        receiver().control(ReceiveControl::Arm, in.string());
        pair.a.protocol.sendCommand(LinkCommand::Hello);
        pair.runUntil(
            [&] { return pair.a.protocol.extensionActive() && pair.b.protocol.extensionActive(); },
            10);
    }
    fs::path file(const std::string& name, const std::vector<std::uint8_t>& data) {
        writeFile(out / name, data);
        return out / name;
    }
    SendState send(const fs::path& f) {
        sender().control(SendControl::Acknowledge);
        EXPECT_EQ(sender().control(SendControl::Start, kOrdinaryFile, f.string()), 1);
        bool ended = pair.runUntil([&] { return sendEnded(sender()); });
        pair.exchange();
        if (!ended)
            ADD_FAILURE() << "still sending at " << sender().status().bytesDone << " of "
                          << sender().status().size << "; receiver state "
                          << static_cast<int>(receiver().state()) << " holds "
                          << receiver().status().bytesDone;
        return sender().state();
    }
    // Starts sending and ends the call (no word to the peer) once the receiver holds `bytes`.
    void sendAndDrop(const fs::path& f, std::uint64_t bytes) {
        sender().control(SendControl::Acknowledge);
        sender().control(SendControl::Start, kOrdinaryFile, f.string());
        ASSERT_TRUE(pair.runUntil(
            [&] { return receiver().active() && receiver().status().bytesDone >= bytes; }));
        droppedCallSent = sender().dataBytesSent();
        if (sender().windowed() != nullptr)
            droppedCallWindow = sender().windowed()->window();
        newCall();
    }
    std::vector<std::string> partFiles() const {
        std::vector<std::string> names;
        if (fs::exists(in / ResumeStore::kFolderName))
            for (auto& e : fs::directory_iterator(in / ResumeStore::kFolderName))
                names.push_back(e.path().filename().string());
        return names;
    }
    int windowedBlocksWritten() const {
        int n = 0;
        for (const SentFrame& f : pair.a.port.history)
            n += f.type == FrameType::FileBlock && extension::isWindowedBlock(f.check);
        return n;
    }
    FileSender& sender() { return pair.a.protocol.sender(); }
    FileReceiver& receiver() { return pair.b.protocol.receiver(); }

    TempFolder tmp;
    fs::path out, in;
    ProtocolPair pair;
    std::uint64_t droppedCallSent = 0;  // data bytes the sender wrote in the dropped call
    int droppedCallWindow = 0;          // its window then, in blocks
};

TEST_F(ExtensionTransferTest, BothCopiesAnnounceOnceAndSendWindowedBlocks) {
    ASSERT_TRUE(pair.b.protocol.extensionActive());
    for (ProtocolSide* s : {&pair.a, &pair.b}) {
        auto texts = s->port.commandTexts();
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                                [](const std::string& t) { return t.rfind("<KXT1 HERE", 0) == 0; }),
                  1);
    }
    auto data = randomBytes(100000, 1);
    ASSERT_EQ(send(file("w.bin", data)), SendState::Done);
    EXPECT_EQ(readFile(in / "w.bin"), data);
    EXPECT_GE(windowedBlocksWritten(), 33);
    EXPECT_EQ(receiver().bytesWritten(), data.size());
    EXPECT_TRUE(partFiles().empty()) << "the part became the file";
}

// Blocks lost or damaged and confirmations lost, in every mix: each block is re-sent alone and
// every byte is written once.
TEST_F(ExtensionTransferTest, LostAndDamagedBlocksAreResentAloneAndWrittenOnce) {
    struct Case {
        const char* what;
        int dropBlockEvery, damageBlockEvery, dropAckEvery;
    };
    for (Case c : {Case{"blocks lost", 5, 0, 0}, Case{"blocks damaged", 0, 4, 0},
                   Case{"confirmations lost", 0, 0, 3}, Case{"all at once", 7, 6, 4},
                   Case{"last block lost", 0, 0, 0}}) {
        SCOPED_TRACE(c.what);
        newCall();
        auto data = randomBytes(60000 + 17,
                                static_cast<unsigned>(c.dropBlockEvery * 100 + c.damageBlockEvery));
        int blocks = 0, acks = 0, lost = 0;
        const bool lastLost =
            c.dropBlockEvery == 0 && c.damageBlockEvery == 0 && c.dropAckEvery == 0;
        pair.filter = [&](bool fromA, SentFrame& f) {
            if (fromA && f.type == FrameType::FileBlock) {
                ++blocks;
                std::uint64_t offset = 0;
                for (int i = 7; i >= 0; --i)
                    offset = offset << 8 | f.check[static_cast<std::size_t>(i)];
                if (lastLost && offset + frame::kMaxFileBlockPayload > data.size() && lost++ == 0)
                    return false;  // the file's last block, the first time
                if (c.dropBlockEvery && blocks % c.dropBlockEvery == 0)
                    return ++lost, false;
                if (c.damageBlockEvery && blocks % c.damageBlockEvery == 0)
                    f.payload[f.payload.size() / 3] ^= 0x10;
            }
            if (!fromA && f.text().rfind("<KXT1 ACK", 0) == 0 && c.dropAckEvery &&
                ++acks % c.dropAckEvery == 0)
                return false;
            return true;
        };
        const std::uint64_t writtenBefore = receiver().bytesWritten();
        const int resentBefore = pair.a.port.resent;
        ASSERT_EQ(send(file("lossy.bin", data)), SendState::Done);
        EXPECT_EQ(readFile(in / "lossy.bin"), data);
        EXPECT_EQ(receiver().bytesWritten() - writtenBefore, data.size()) << "written once";
        // A lost confirmation costs nothing: the next one's held count covers its block.
        // A lost last block is sent again for its re-send time: no error the receiver showed.
        EXPECT_EQ(pair.a.port.resent - resentBefore > 0,
                  c.dropBlockEvery > 0 || c.damageBlockEvery > 0);
        fs::remove(in / "lossy.bin");
    }
}

TEST_F(ExtensionTransferTest, DroppedCallKeepsThePartAndTheNextCallContinuesIt) {
    auto data = randomBytes(1024 * 1024, 7);
    fs::path f = file("big.bin", data);
    sendAndDrop(f, 600000);
    EXPECT_FALSE(fs::exists(in / "big.bin")) << "never under the real name while partial";
    ASSERT_EQ(partFiles().size(), 2u);

    ASSERT_EQ(send(f), SendState::Done);
    EXPECT_EQ(readFile(in / "big.bin"), data);
    EXPECT_GE(receiver().resumedFrom(), 600000u);
    // Both calls together sent the file once, and again only what was in flight when the
    // first dropped: less than one window.
    ASSERT_GE(droppedCallWindow, WindowedSender::kMinWindow);
    const std::uint64_t sentTwice = droppedCallSent + sender().dataBytesSent() - data.size();
    EXPECT_LT(sentTwice, static_cast<std::uint64_t>(droppedCallWindow) * frame::kMaxFileBlockData);
    EXPECT_TRUE(partFiles().empty());
}

TEST_F(ExtensionTransferTest, SourceChangedBetweenCallsStartsAfresh) {
    auto first = randomBytes(200000, 8);
    fs::path f = file("doc.bin", first);
    struct stat st {};
    ::stat(f.c_str(), &st);
    sendAndDrop(f, 90000);
    ASSERT_FALSE(partFiles().empty());

    // Other content of the same size and date: the check of the part tells them apart.
    auto second = randomBytes(200000, 9);
    writeFile(f, second);
    struct utimbuf times {
        st.st_atime, st.st_mtime
    };
    ::utime(f.c_str(), &times);
    ASSERT_EQ(send(f), SendState::Done);
    EXPECT_EQ(readFile(in / "doc.bin"), second);
    EXPECT_EQ(receiver().resumedFrom(), 0u);

    // Another date: the part is not even found; the earlier one is left for its own file.
    fs::remove(in / "doc.bin");
    sendAndDrop(f, 90000);
    writeFile(f, first);
    ASSERT_EQ(send(f), SendState::Done);
    EXPECT_EQ(readFile(in / "doc.bin"), first);
    EXPECT_EQ(receiver().resumedFrom(), 0u);
}

TEST_F(ExtensionTransferTest, TakeLostOnTheWayFallsBackToStopAndWaitFromTheStart) {
    auto data = randomBytes(50000, 10);
    fs::path f = file("t.bin", data);
    sendAndDrop(f, 20000);
    pair.filter = [](bool fromA, SentFrame& fr) {
        return fromA || fr.text().rfind("<KXT1 TAKE", 0) != 0;
    };
    sender().control(SendControl::Acknowledge);
    sender().control(SendControl::Start, kOrdinaryFile, f.string());
    pair.runUntil([&] { return sendEnded(sender()); });
    pair.exchange();
    ASSERT_EQ(sender().state(), SendState::Done);
    EXPECT_EQ(readFile(in / "t.bin"), data);
    EXPECT_TRUE(partFiles().empty());
}

TEST_F(ExtensionTransferTest, StopsRemoveThePartAndOldPartsExpire) {
    fs::path f = file("s.bin", randomBytes(40000, 11));
    sender().control(SendControl::Start, kOrdinaryFile, f.string());
    pair.runUntil([&] { return receiver().status().bytesDone > 10000; });
    receiver().control(ReceiveControl::Stop);
    pair.exchange();
    EXPECT_TRUE(partFiles().empty()) << "the user stopped it: nothing kept";

    sendAndDrop(f, 10000);
    ASSERT_EQ(partFiles().size(), 2u);
    ResumeStore::prune(in.string(), fs::file_time_type::clock::now());
    EXPECT_EQ(partFiles().size(), 2u);
    ResumeStore::prune(in.string(), fs::file_time_type::clock::now() + ResumeStore::kKeepFor +
                                        std::chrono::hours(1));
    EXPECT_TRUE(partFiles().empty());
}

// With the extension switched off on either side the call is the one every peer knows: blocks
// stop-and-wait, the file under its name, removed when the call drops.
TEST_F(ExtensionTransferTest, SwitchedOffOnEitherSideMeansTheProtocolOfOld) {
    for (ProtocolSide* off : {&pair.a, &pair.b}) {
        off->protocol.setExtensionEnabled(false);
        newCall();
        EXPECT_FALSE(pair.a.protocol.extensionActive());
        EXPECT_FALSE(pair.b.protocol.extensionActive());
        auto data = randomBytes(30000, 12);
        fs::path f = file("o.bin", data);
        const int windowedBefore = windowedBlocksWritten();
        sendAndDrop(f, 10000);
        EXPECT_FALSE(fs::exists(in / "o.bin"));
        EXPECT_TRUE(partFiles().empty());
        ASSERT_EQ(send(f), SendState::Done);
        EXPECT_EQ(readFile(in / "o.bin"), data);
        EXPECT_EQ(windowedBlocksWritten(), windowedBefore);
        fs::remove(in / "o.bin");
        off->protocol.setExtensionEnabled(true);
    }
}

}  // namespace
}  // namespace krl::test
