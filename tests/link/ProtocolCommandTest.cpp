#include <gtest/gtest.h>

#include <algorithm>

#include "ProtocolFakes.h"
#include "link/BusinessCard.h"

namespace krl::test {
namespace {

using namespace std::string_literals;

class RecordingListener : public LinkListener, public ChatListener {
public:
    void cardArrived() override { ++cards; }
    void cardDelivered() override {}
    void pageReceived() override {}
    void chatWindowWanted() override {
        ++chatWanted;
        if (openChatOnDemand)
            protocol->setChatListener(this);
    }
    void holdChanged(HoldSide, bool) override {}
    void peerDisconnected() override { ++disconnects; }
    void chatText(std::string_view text) override { chat.emplace_back(text); }
    void remoteName(const Cp1252Text&) override {}

    LinkProtocol* protocol = nullptr;
    bool openChatOnDemand = true;
    int cards = 0, chatWanted = 0, disconnects = 0;
    std::vector<std::string> chat;
};

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (ProtocolSide* s : {&pair.a, &pair.b})
            s->protocol.resetCall();
        listenerB.protocol = &pair.b.protocol;
        pair.b.protocol.setListener(&listenerB);
    }
    ProtocolPair pair;
    RecordingListener listenerB;
};

TEST_F(CommandTest, FixedOrderDecidesAtTheStartOnlyAndLetterCaseDoesNot) {
    const CommandTags& tags = pair.a.protocol.tags();
    EXPECT_EQ(tags.match("<CRCOK><HELLO>"), LinkCommand::BlockOk);
    EXPECT_EQ(tags.match("<crcnotok>"), LinkCommand::BlockNotOk);
    EXPECT_EQ(tags.match("<okhello>"), LinkCommand::HelloOk);
    EXPECT_EQ(tags.match("<Send NF><Name><a>"), LinkCommand::SendFile);
    // Tags nobody acts on, and unknown text.
    EXPECT_FALSE(tags.match("<OK for Receiving>"));
    EXPECT_FALSE(tags.match("<VFrame>"));
    EXPECT_FALSE(tags.match("hello"));
    EXPECT_FALSE(tags.match(""));
    // Tags count only at the start: a phone number typed with angle brackets, a file name holding a
    // tag.
    EXPECT_EQ(tags.match("<My Card><Bob\0><<CRCOK>\0><\0><\0>"s), LinkCommand::MyCard);
    EXPECT_EQ(tags.match("<Send NF><Name><<Disconnect>><Size><1>"), LinkCommand::SendFile);
    EXPECT_FALSE(tags.match("x<Disconnect>"));
}

TEST_F(CommandTest, UnknownCommandsAreIgnoredAndThePaletteOnlyLogged) {
    pair.b.protocol.onCommandFrame("<Nonsense>");
    pair.b.protocol.onCommandFrame("<OK for Receiving>");
    EXPECT_TRUE(pair.b.port.receivedLog.empty());
    EXPECT_TRUE(pair.b.port.history.empty());
    // The palette is logged but changes nothing.
    pair.b.protocol.onCommandFrame("<VIDEOPALETTE>");
    EXPECT_EQ(pair.b.port.receivedLog, std::vector<std::string>{"<VIDEOPALETTE>"});
    EXPECT_TRUE(pair.b.port.history.empty());
}

TEST_F(CommandTest, GreetingIsAnsweredAndAnswersCount) {
    pair.b.protocol.onCommandFrame("<HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>");
    // Then, once in the call, the announcement of the extension between two copies.
    EXPECT_EQ(pair.b.port.commandTexts(),
              (std::vector<std::string>{"<OKHello>", "<KXT1 HERE #8C4DEE27>"}));
    for (const char* answer :
         {"<OKHello>", "<OK for Send>", "<VideoOpen>", "<OkVideoOpen>", "<YOURBCRECEIVED>"})
        pair.b.protocol.onCommandFrame(answer);
    EXPECT_EQ(pair.b.port.greetingAnswers, 5);
}

TEST_F(CommandTest, CardIsResentEveryTimeoutUntilConfirmed) {
    pair.a.protocol.setCommandTimeoutMs(1000);
    BusinessCard mine{"Ann"_cp1252, {}, "Sales\r\nEurope"_cp1252, "/home/ann/cards/ann.bmp"};
    pair.a.protocol.sendCard(&mine);
    pair.filter = [](bool, SentFrame&) { return false; };
    for (int i = 0; i < 350; ++i)
        pair.exchange();  // 3.5 s
    const auto sent = pair.a.port.commandTexts();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string& t) { return t.rfind("<My Card>", 0) == 0; }),
              4);
    pair.filter = nullptr;
    ASSERT_TRUE(pair.runUntil([&] { return pair.a.protocol.cardDelivered(); }, 200));
    EXPECT_FALSE(pair.a.protocol.cardWaiting());
    EXPECT_EQ(listenerB.cards, 1);

    BusinessCard got;
    got.picture = "/cards/";
    pair.b.protocol.readReceivedCard(got);
    EXPECT_EQ(got.details, "Sales\r\nEurope"_cp1252);
    // The picture's name is added only once the picture file itself has arrived.
    EXPECT_EQ(got.picture, "/cards/");
}

TEST_F(CommandTest, CardPayloadIsBuiltByteForByteAndReadCutWithoutShifting) {
    const CommandTags& tags = pair.a.protocol.tags();
    BusinessCard sent{"N"_cp1252, "P"_cp1252, {}, ""};
    EXPECT_EQ(buildCardPayload(sent, tags), "<My Card><N\0><P\0><\0><\0>"s);
    std::string longName(100, 'n');
    auto card = parseCardPayload("<My Card><" + longName + "\0><a<b\0><d\0><../../p.bmp\0>"s, tags);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->name.size(), 63u);
    EXPECT_EQ(card->phone, "a<b"_cp1252);
    EXPECT_EQ(card->details, "d"_cp1252);
    EXPECT_EQ(card->picture, "../../p.bmp");
}

TEST_F(CommandTest, ChatOpensTheWindowOnDemand) {
    listenerB.openChatOnDemand = false;
    pair.a.protocol.sendChat("anyone?");
    pair.exchange();
    EXPECT_EQ(listenerB.chatWanted, 1);
    EXPECT_TRUE(listenerB.chat.empty());  // no window: nowhere to show it
    listenerB.openChatOnDemand = true;
    EXPECT_EQ(pair.a.protocol.sendChat("hello there"), 1);
    pair.exchange();
    EXPECT_EQ(listenerB.chat, std::vector<std::string>{"hello there"});
}

TEST_F(CommandTest, DisconnectStopsEverything) {
    pair.b.protocol.video().onCommand(static_cast<int>(LinkCommand::VideoOpen), "", false);
    pair.a.protocol.sendDisconnect();
    pair.exchange();
    EXPECT_TRUE(pair.b.protocol.disconnectReceived());
    EXPECT_EQ(listenerB.disconnects, 1);
    EXPECT_EQ(pair.b.protocol.video().incoming(), IncomingVideoState::ClosedByPeer);
    EXPECT_EQ(pair.b.protocol.video().outgoing(), OutgoingVideoState::ClosedByPeer);
    pair.b.protocol.resetCall();
    EXPECT_FALSE(pair.b.protocol.disconnectReceived());
}

}  // namespace
}  // namespace krl::test
