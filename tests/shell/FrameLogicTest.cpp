// The main frame's decisions: pump reactions, buttons, throttle, exit, hang-up questions,
// card text and names from the peer.
#include <gtest/gtest.h>

#include <functional>

#include "shell/FrameLogic.h"
#include "shell/PumpGuard.h"

using namespace krl;

TEST(FrameLogic, PeerEndingTheCallHangsUpAndSaysWhy) {
    const PumpReaction gone = FrameLogic::reactTo(PumpResult::PeerDisconnected, PumpVariant::Full);
    EXPECT_TRUE(gone.forcedHangUp);
    EXPECT_EQ(gone.message, 5080);
    const PumpReaction silent = FrameLogic::reactTo(PumpResult::PeerSilent, PumpVariant::Full);
    EXPECT_TRUE(silent.forcedHangUp);
    EXPECT_EQ(silent.message, 5210);
    // The connection has shown 4170 itself; the frame only hangs up.
    const PumpReaction lost = FrameLogic::reactTo(PumpResult::CarrierLost, PumpVariant::Full);
    EXPECT_TRUE(lost.forcedHangUp);
    EXPECT_FALSE(lost.message);
    // 4160 was shown and the connection reset itself.
    const PumpReaction off = FrameLogic::reactTo(PumpResult::ModemOff, PumpVariant::Full);
    EXPECT_FALSE(off.forcedHangUp);
    EXPECT_FALSE(off.message);
}

TEST(FrameLogic, CallMadeRunsOnlyTheConnectedStep) {
    PumpReaction want;
    want.callMade = true;
    want.connectedStep = true;
    EXPECT_EQ(FrameLogic::reactTo(PumpResult::CallMade, PumpVariant::Full), want);
}

TEST(FrameLogic, OrdinaryResultsRunTheWholeStep) {
    for (PumpResult r : {PumpResult::Ok, PumpResult::ModemOff, PumpResult::PeerDisconnected}) {
        const PumpReaction got = FrameLogic::reactTo(r, PumpVariant::Full);
        EXPECT_TRUE(got.handResultToTransferWindow);
        EXPECT_TRUE(got.openTransferWindowIfPeerSends);
        EXPECT_TRUE(got.connectedStep);
        EXPECT_TRUE(got.updateStatusAndButtons);
        EXPECT_TRUE(got.inactivityCheck);
        EXPECT_FALSE(got.callMade);
    }
}

TEST(FrameLogic, LightVariantOpensNothingAndRunsNoCheck) {
    for (PumpResult r : {PumpResult::Ok, PumpResult::CallMade, PumpResult::PeerDisconnected,
                         PumpResult::PeerSilent, PumpResult::CarrierLost}) {
        const PumpReaction got = FrameLogic::reactTo(r, PumpVariant::Light);
        EXPECT_FALSE(got.connectedStep);
        EXPECT_FALSE(got.openTransferWindowIfPeerSends);
        EXPECT_FALSE(got.inactivityCheck);
        // A call made under the dialing window is remembered for the full step.
        EXPECT_EQ(got.callMade, r == PumpResult::CallMade);
        EXPECT_TRUE(got.updateStatusAndButtons);
        EXPECT_EQ(got.forcedHangUp, FrameLogic::reactTo(r, PumpVariant::Full).forcedHangUp);
    }
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
    EXPECT_EQ(FrameLogic::cardText(std::nullopt), " ");
    BusinessCard c{"Ann", "555 1234", "Line one", "pic.bmp"};
    EXPECT_EQ(FrameLogic::cardText(c), "Ann\r\n555 1234\r\n\r\nLine one\r\n");
}

TEST(FrameLogic, NamesFromThePeerBecomeOnePlainComponent) {
    EXPECT_EQ(FrameLogic::plainName("Ann Lee"), "Ann Lee");
    EXPECT_EQ(FrameLogic::plainName("../../etc/passwd"), "_.._etc_passwd");
    EXPECT_EQ(FrameLogic::plainName("a/b\\c:d"), "a_b_c_d");
    EXPECT_EQ(FrameLogic::plainName("bad\nname\x01"), "bad_name_");
    EXPECT_FALSE(FrameLogic::plainName(".."));
    EXPECT_FALSE(FrameLogic::plainName(" . "));
    EXPECT_FALSE(FrameLogic::plainName(""));
    EXPECT_EQ(FrameLogic::plainName(".hidden"), "hidden");
    EXPECT_EQ(FrameLogic::plainName(std::string(300, 'x'))->size(), 64u);
}

TEST(FrameLogic, CardFlagsKeepOnlyTheStoredBitAtHangUp) {
    EXPECT_EQ(FrameLogic::cardFlagsAfterHangUp(0x7), 1);
    EXPECT_EQ(FrameLogic::cardFlagsAfterHangUp(0x6), 0);
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
