// The control interface other programs drive file transfer through: which commands a block
// holds, and the status texts they read back (spelling and blanks as they have always been).
#include <gtest/gtest.h>

#include "transfer/ControlInterface.h"
#include "transfer/ControlTarget.h"

using namespace krl;
using K = ControlCommandKind;

namespace {

class RecordingTarget : public ControlTarget {
public:
    void listen() override { done.push_back("listen"); }
    void connect() override { done.push_back("connect"); }
    void sendClipboard() override { done.push_back("clipboard"); }
    void close() override { done.push_back("close"); }
    void queueFile(const std::string& path) override { done.push_back("queue " + path); }
    void sendFile(const std::string& path) override { done.push_back("send " + path); }
    TransferStatus sendStatus() const override { return sending; }
    TransferStatus receiveStatus() const override { return receiving; }

    std::vector<std::string> done;
    TransferStatus sending;
    TransferStatus receiving = [] {
        TransferStatus idle;
        idle.state = 1;
        return idle;
    }();
};

TransferStatus status(int state) {
    TransferStatus s;
    s.state = state;
    s.path = "/tmp/a b.txt";
    s.bytesDone = 3070;
    s.size = 10000;
    return s;
}

}  // namespace

TEST(ControlInterface, BlocksAreReadCommandByCommand) {
    const struct {
        const char* block;
        std::vector<ControlCommand> commands;
    } cases[] = {
        {"[Listen]", {{K::Listen, ""}}},
        {"[listen]", {{K::Listen, ""}}},
        {"[LISTEN", {}},
        {"[Connect]", {{K::Connect, ""}}},
        {"[connected now]", {{K::Connect, ""}}},
        {"[Send_Clipboard][Close]", {{K::SendClipboard, ""}, {K::Close, ""}}},
        {"[Send_File(/a)][send_file(/b c)]", {{K::SendFile, "/a"}, {K::SendFile, "/b c"}}},
        {"[Queue_File(/tmp/x.bin)]", {{K::QueueFile, "/tmp/x.bin"}}},
        {"[Queue_File /tmp/x.bin]", {}},
        {"[Queue_File(/tmp/x.bin]", {}},
        {"text [Unknown] more [close] [", {{K::Close, ""}}},
        {"[[Listen]", {{K::Listen, ""}}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlInterface::parse(c.block), c.commands) << c.block;
}

TEST(ControlInterface, ExecuteRunsEveryCommandInOrderAndIsAlwaysAcknowledged) {
    RecordingTarget target;
    ControlInterface control(target);
    EXPECT_TRUE(control.execute("[Send_File(/one)] and [Send_File(/two)][Queue_File(/three)]"));
    EXPECT_TRUE(control.execute("[Listen][Connect][Send_Clipboard][Close]"));
    EXPECT_TRUE(control.execute("nothing here"));
    EXPECT_EQ(target.done, (std::vector<std::string>{"send /one", "send /two", "queue /three",
                                                     "listen", "connect", "clipboard", "close"}));
}

TEST(ControlInterface, StatusTextsAreTheOnesOtherProgramsParse) {
    const struct {
        int state;
        const char* sending;
        const char* receiving;
    } cases[] = {
        {0, "No Sending in process: ", "/tmp/a b.txt( 3070 / 10000 )"},
        {1, "Sending: /tmp/a b.txt( 3070 / 10000 )", "No recieving in process "},
        {2, "/tmp/a b.txt( 3070 / 10000 )", "Recieving: /tmp/a b.txt( 3070 / 10000 )"},
        {3, "Sending: /tmp/a b.txt( 3070 / 10000 )",
         "Finish recieving:  /tmp/a b.txt( 3070 / 10000 )"},
        {4, "Reciever ask to stop sending: /tmp/a b.txt( 3070 / 10000 )",
         "Sender will stop recieving: /tmp/a b.txt( 3070 / 10000 )"},
        {5, "/tmp/a b.txt( 3070 / 10000 )", "User stop recieving: /tmp/a b.txt( 3070 / 10000 )"},
        {6, "Finish sending: /tmp/a b.txt( 3070 / 10000 )", "Card is recieved"},
        {7, "File sent with CRC error: /tmp/a b.txt( 3070 / 10000 )",
         "/tmp/a b.txt( 3070 / 10000 )"},
        {8, "User stop sending: /tmp/a b.txt( 3070 / 10000 )", "/tmp/a b.txt( 3070 / 10000 )"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sendStatusText(status(c.state)), c.sending) << c.state;
        EXPECT_EQ(receiveStatusText(status(c.state)), c.receiving) << c.state;
    }
}

TEST(ControlInterface, RequestsAnswerStatusOrTheirOwnName) {
    RecordingTarget target;
    ControlInterface control(target);
    EXPECT_EQ(control.request("[GetSendInfo]"), "No Sending in process: \r");
    EXPECT_EQ(control.request("[getsendinfo]"), "No Sending in process: \r");
    EXPECT_EQ(control.request("[GetRecieveInfo]"), "No recieving in process \r");
    EXPECT_EQ(control.request("[getrecieveinfo]"), "[getrecieveinfo]\r");
    EXPECT_EQ(control.request("[GetReceiveInfo]"), "[GetReceiveInfo]\r");
    EXPECT_EQ(control.request(std::string(300, 'x')), std::string(255, 'x') + "\r");
    EXPECT_TRUE(target.done.empty());
}
