#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "controls/AnimationScript.h"
#include "controls/FrameCycle.h"
#include "resources/StringTable.h"

using namespace krl;
using Outcome = AnimationTick::Outcome;

namespace {

// Frames as resource numbers; resources in `missing` fail to load.
class FakeFrames : public AnimationFrames {
public:
    explicit FakeFrames(int initial = 0) : frames(static_cast<std::size_t>(initial), 0) {}
    int count() const override { return static_cast<int>(frames.size()); }
    bool append(int resource) override {
        if (missing.count(resource))
            return false;
        frames.push_back(resource);
        return true;
    }
    void clear() override { frames.clear(); }

    std::vector<int> frames;
    std::set<int> missing;
};

struct ScriptRun {
    std::vector<int> shown;  // the frame after each tick
    AnimationTick last;
    AnimationState state;
};

// Ticks the script until it ends or fails, at most `maxTicks` times.
ScriptRun run(const std::string& script, FakeFrames& frames, int maxTicks = 100,
              AnimationArea area = {0, 0, 100, 50}) {
    AnimationScript s(script);
    ScriptRun r;
    for (int i = 0; i < maxTicks; ++i) {
        r.last = s.step(r.state, frames, area);
        if (r.last.outcome != Outcome::Running)
            break;
        r.shown.push_back(r.state.currentFrame);
    }
    return r;
}

ScriptRun run(const std::string& script, int frameCount = 3, int maxTicks = 100) {
    FakeFrames frames(frameCount);
    return run(script, frames, maxTicks);
}

}  // namespace

TEST(AnimationScript, LettersShowFramesOnePerTickAndLoopsRepeatThem) {
    struct Case {
        const char* script;
        std::vector<int> shown;
    };
    for (const Case& c :
         {Case{"A B  C\tC\nA", {0, 1, 2, 2, 0}},  // repeated letters hold
          Case{"(3AB)C", {0, 1, 0, 1, 0, 1, 2}}, Case{"(2A(2BC))", {0, 1, 2, 1, 2, 0, 1, 2, 1, 2}},
          Case{"(1(1(1A)))B", {0, 1}}}) {
        ScriptRun r = run(c.script);
        EXPECT_EQ(r.shown, c.shown) << c.script;
        EXPECT_EQ(r.last.outcome, Outcome::Finished) << c.script;
    }
    // An endless outer loop runs until the caller stops ticking; a hold inside one is a
    // legitimate still picture.
    ScriptRun endless = run("(0AB)", 3, 9);
    EXPECT_EQ(endless.last.outcome, Outcome::Running);
    EXPECT_EQ(endless.shown, (std::vector<int>{0, 1, 0, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(run("(0A)", 3, 5).last.outcome, Outcome::Running);
    EXPECT_EQ(run("(500A B)", 2, 2000).shown.size(), 1000u);
}

TEST(AnimationScript, BadScriptsFailWithTheirErrorInsteadOfSpinning) {
    struct Case {
        const char* script;
        AnimationError error;
    };
    for (Case c : {
             Case{"AD", AnimationError::BitmapNotLoaded},
             Case{"(2(2(2(2A))))", AnimationError::LoopOverflow},
             Case{"(2(0A))", AnimationError::InvalidLoopCount},
             Case{"A)", AnimationError::LoopNotOpen},
             Case{"(2A))", AnimationError::LoopNotOpen},
             Case{"Ax", AnimationError::Undefined},
             // Loops that never show a frame.
             Case{"(0)", AnimationError::LoopOverflow},
             Case{"(0+-)", AnimationError::LoopOverflow},
             Case{"A(0~100>1)", AnimationError::LoopOverflow},
             Case{"(0(5+))", AnimationError::LoopOverflow},
             Case{"(999999999(999999999-))", AnimationError::LoopOverflow},
         }) {
        ScriptRun r = run(c.script, 3, 3);
        EXPECT_EQ(r.last.outcome, Outcome::Failed) << c.script;
        EXPECT_EQ(r.last.error, c.error) << c.script;
    }
    EXPECT_EQ(run("A?").last.offending, '?');
    // The text names an unprintable character safely; without a table the number shows.
    EXPECT_EQ(AnimationScript::errorText(StringTable::builtIn(), AnimationError::Undefined, '\x80'),
              "Undefined error occurred '\\x80'");
    EXPECT_EQ(AnimationScript::errorText(StringTable(), AnimationError::LoopNotOpen, 0),
              "Animation error 2004");
}

TEST(AnimationScript, BitmapsVisibilityIntervalAndMoves) {
    FakeFrames frames;
    frames.missing.insert(13);
    AnimationScript s("#11 #12 B ~40 - >30 v7 <100 ^99 @1 :2 |3 + * #13 A");
    AnimationState state;
    AnimationArea area{5, 0, 60, 20};
    AnimationTick t = s.step(state, frames, area);
    EXPECT_EQ(frames.frames, (std::vector<int>{11, 12}));
    EXPECT_EQ(state.currentFrame, 1);
    EXPECT_TRUE(t.frameChanged);

    t = s.step(state, frames, area);  // runs to the end: "A" finds no frame after "*"
    EXPECT_EQ(t.outcome, Outcome::Failed);
    EXPECT_EQ(t.error, AnimationError::BitmapNotLoaded);
    EXPECT_TRUE(frames.frames.empty());
    EXPECT_FALSE(state.visible);
    EXPECT_EQ(state.intervalMs, 250);
    EXPECT_EQ(state.x, 5);  // 30, then kept at the left edge
    EXPECT_EQ(state.y, 0);
    EXPECT_EQ(state.moveParameters, (std::array<int, 3>{1, 2, 3}));

    // Intervals are bounded both ways; a number too long for any counter saturates.
    for (auto [script, interval] :
         {std::pair{"~99999999999999999999 A", AnimationScript::kMaxNumber},
          std::pair{"~0 A", AnimationScript::kMinIntervalMs}}) {
        AnimationState timed;
        FakeFrames one(1);
        AnimationScript(script).step(timed, one, area);
        EXPECT_EQ(timed.intervalMs, interval) << script;
    }

    // Loading never grows past the 26 frames the letters can reach.
    FakeFrames many;
    run("(30#1)A", many);
    EXPECT_EQ(many.count(), 26);
}

TEST(FrameCycle, WrapsAndEndsOnTheRestFrameWhenRepeatsRunOut) {
    FrameCycle cycle(3, 2, 1);
    std::vector<int> shown;
    for (;;) {
        FrameCycle::Tick t = cycle.step();
        shown.push_back(t.frame);
        if (t.finished)
            break;
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2, 1}));

    FrameCycle endless(2, 0, 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(endless.step().finished);
    EXPECT_TRUE(FrameCycle(0, 0, 0).step().finished);
}
