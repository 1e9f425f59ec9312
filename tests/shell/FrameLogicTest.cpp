// The main frame's decisions: pump reactions, buttons, throttle, exit, hang-up questions,
// card text, names from the peer, the start-up wizard and the answered-call notice.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "shell/FrameLogic.h"
#include "shell/PumpGuard.h"

using namespace krl;

TEST(FrameLogic, PumpResultsDecideHangUpMessageAndWhichStepsRun) {
    struct Case {
        PumpResult result;
        std::optional<CallEnd> end;
        std::optional<int> message;
    };
    // CarrierLost and ModemOff: the connection has shown its own message (4170, 4160).
    for (Case c : {Case{PumpResult::Ok, {}, {}}, Case{PumpResult::ModemOff, CallEnd::ModemOff, {}},
                   Case{PumpResult::CarrierLost, CallEnd::CarrierLost, {}},
                   Case{PumpResult::PeerDisconnected, CallEnd::PeerDisconnected, 5080},
                   Case{PumpResult::PeerSilent, CallEnd::PeerSilent, 5210}}) {
        SCOPED_TRACE(static_cast<int>(c.result));
        PumpReaction full;
        full.end = c.end;
        full.message = c.message;
        full.connectedStep = full.handResultToTransferWindow = full.updateStatusAndButtons = true;
        full.openTransferWindowIfPeerSends = full.inactivityCheck = true;
        EXPECT_EQ(FrameLogic::reactTo(c.result, PumpVariant::Full), full);
        // Under a modal window nothing opens and no check runs.
        PumpReaction light = full;
        light.connectedStep = light.openTransferWindowIfPeerSends = light.inactivityCheck = false;
        EXPECT_EQ(FrameLogic::reactTo(c.result, PumpVariant::Light), light);
    }
    // A call just made runs only the connected step; made under a modal window it is
    // remembered for the next full step.
    PumpReaction made;
    made.callMade = made.connectedStep = true;
    EXPECT_EQ(FrameLogic::reactTo(PumpResult::CallMade, PumpVariant::Full), made);
    EXPECT_TRUE(FrameLogic::reactTo(PumpResult::CallMade, PumpVariant::Light).callMade);
    EXPECT_FALSE(FrameLogic::reactTo(PumpResult::CallMade, PumpVariant::Light).connectedStep);
}

TEST(FrameLogic, ButtonsSwapOnlyWhileConnected) {
    for (int s = 0; s <= 6; ++s) {
        const auto got = FrameLogic::buttons(static_cast<ConnectionState>(s));
        EXPECT_EQ(got, (ButtonStates{s != 5, s == 5, s == 5})) << s;
    }
}

TEST(FrameLogic, ListeningRestartsAfterACallButNeverOnTheWayOut) {
    EXPECT_TRUE(FrameLogic::restartListening(true, ConnectionState::NotConnected, false));
    EXPECT_FALSE(FrameLogic::restartListening(false, ConnectionState::NotConnected, false));
    EXPECT_FALSE(FrameLogic::restartListening(true, ConnectionState::NotConnected, true));
    for (int s = 1; s <= 6; ++s)
        EXPECT_FALSE(FrameLogic::restartListening(true, static_cast<ConnectionState>(s), false));
}

TEST(FrameLogic, WizardRunsWhilePortModemOrCameraIsUnsetAndTheDesktopHearsOfAnAnsweredCall) {
    CommsSettings comms;
    comms.portName = "/dev/ttyS0";
    comms.modemName = "Hayes";
    VideoSettings video;
    video.driver = "Test Pattern";
    EXPECT_FALSE(FrameLogic::setupIncomplete(comms, video));
    for (std::string* unset : {&comms.portName, &comms.modemName, &video.driver}) {
        const std::string kept = std::exchange(*unset, std::string());
        EXPECT_TRUE(FrameLogic::setupIncomplete(comms, video)) << kept;
        *unset = kept;
    }
}

TEST(FrameLogic, ExitWalksDownToNotConnected) {
    EXPECT_EQ(FrameLogic::exitStep(DisplayState::NotConnected), ExitStep::Destroy);
    EXPECT_EQ(FrameLogic::exitStep(DisplayState::Disconnecting), ExitStep::PumpOnce);
    for (DisplayState s :
         {DisplayState::Listening, DisplayState::Connected, DisplayState::Connecting})
        EXPECT_EQ(FrameLogic::exitStep(s), ExitStep::HangUpFirst);
}

TEST(FrameLogic, OnlyAConnectedCallAsks) {
    EXPECT_EQ(FrameLogic::hangUpQuestion(DisplayState::Connected, false), 5190);
    EXPECT_EQ(FrameLogic::hangUpQuestion(DisplayState::Connected, true), 5180);
    for (DisplayState s : {DisplayState::NotConnected, DisplayState::Listening,
                           DisplayState::Connecting, DisplayState::Disconnecting}) {
        EXPECT_FALSE(FrameLogic::hangUpQuestion(s, true));
        EXPECT_FALSE(FrameLogic::hangUpQuestion(s, false));
    }
}

TEST(FrameLogic, PumpThrottleHoldsOnlyWhileNotConnected) {
    EXPECT_TRUE(FrameLogic::pumpDue(DisplayState::Connected, 1000, 999));
    EXPECT_FALSE(FrameLogic::pumpDue(DisplayState::Listening, 1099, 1000));
    EXPECT_TRUE(FrameLogic::pumpDue(DisplayState::Listening, 1100, 1000));
    // A clock that went back (a new tick source) never stalls the pump.
    EXPECT_TRUE(FrameLogic::pumpDue(DisplayState::NotConnected, 5, 1000));
}

TEST(FrameLogic, CardTextLaysOutTheRemoteCard) {
    EXPECT_EQ(FrameLogic::cardText(std::nullopt), " "_cp1252);
    BusinessCard c{"Ann"_cp1252, "555 1234"_cp1252, "Line one"_cp1252, "pic.bmp"};
    EXPECT_EQ(FrameLogic::cardText(c), "Ann\r\n555 1234\r\n\r\nLine one\r\n"_cp1252);
}

TEST(FrameLogic, NamesFromThePeerBecomeOnePlainComponent) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Ann Lee", "Ann Lee"},
        {"../../etc/passwd", "_.._etc_passwd"},
        {"a/b\\c:d", "a_b_c_d"},
        {"bad\nname\x01", "bad_name_"},
        {".hidden", "hidden"},
        {"..", std::nullopt},
        {" . ", std::nullopt},
        {"", std::nullopt},
        {std::string(300, 'x'), std::string(64, 'x')},
    };
    for (const auto& [name, plain] : cases)
        EXPECT_EQ(FrameLogic::plainName(name), plain) << name;
}

TEST(PumpGuard, AStepNeverRunsInsideItself) {
    PumpGuard guard;
    int runs = 0;
    std::function<void()> step = [&] {
        PumpGuard::Scope scope(guard);
        if (!scope.entered())
            return;
        ++runs;
        step();  // as a dialog opened by the step would, through the event loop
    };
    step();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(guard.running());
    step();
    EXPECT_EQ(runs, 2);
}
