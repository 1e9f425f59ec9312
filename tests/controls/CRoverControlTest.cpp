#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "controls/ui/CRoverTextControl.h"
#include "resources/StringTable.h"

using namespace krl;

namespace {

QPixmap solid(QColor colour) {
    QPixmap pixmap(8, 8);
    pixmap.fill(colour);
    return pixmap;
}

}  // namespace

TEST(CRoverControl, ScriptShowsFramesMovesAndEnds) {
    QWidget parent;
    parent.resize(100, 60);
    CRoverControl control(&parent);
    control.setControlId(1200);
    control.resize(8, 8);
    control.setBitmapSource([](int resource) {
        return resource == 7 ? solid(Qt::red) : (resource == 8 ? solid(Qt::blue) : QPixmap());
    });
    control.setScript("#7 #8 A ~20 B >500 v3 -");
    QSignalSpy finished(&control, &CRoverControl::finished);
    control.start();
    control.tick();
    EXPECT_EQ(control.frameCount(), 2);
    EXPECT_EQ(control.currentFrame(), 0);
    control.tick();
    EXPECT_EQ(control.currentFrame(), 1);
    EXPECT_EQ(control.tickInterval(), 20);
    control.tick();
    EXPECT_EQ(control.pos(), QPoint(92, 3));  // kept inside the parent
    EXPECT_FALSE(control.isVisibleTo(&parent));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.front().front().toInt(), 1200);
    EXPECT_FALSE(control.isRunning());
    control.tick();
    EXPECT_EQ(finished.count(), 1);
}

TEST(CRoverControl, ScriptErrorReachesTheParentWithNumberAndTextAndStopsTheTimer) {
    CRoverControl control;
    control.setStringTable(&StringTable::builtIn());
    control.setScript("%");
    QSignalSpy failed(&control, &CRoverControl::scriptFailed);
    control.start();
    control.tick();
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.front().at(0).toInt(), 2005);
    EXPECT_EQ(failed.front().at(1).toString(), "Undefined error occurred '%'");
    EXPECT_FALSE(control.isRunning());
}

TEST(CRoverControl, FramesCycleOnTheirTimerAndRestWhenRepeatsRunOut) {
    CRoverControl control;
    control.setFrames({solid(Qt::red), solid(Qt::green), solid(Qt::blue)});
    control.setRepeatCount(2);
    control.setRestFrame(1);
    control.setTickInterval(10);
    QSignalSpy finished(&control, &CRoverControl::finished);
    control.start();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(control.currentFrame(), 1);
    EXPECT_FALSE(control.isRunning());
}

TEST(CRoverTextControl, SizeToTextFitsTheTextWithMarginAndBorder) {
    CRoverTextControl control;
    control.setText("A short line");
    control.resize(10, 10);
    control.setWordWrap(false);
    control.sizeToText();
    QFontMetrics metrics = control.fontMetrics();
    EXPECT_EQ(control.height(), metrics.height() + 8);
    EXPECT_GE(control.width(), metrics.horizontalAdvance("A short line") + 8);

    control.setBorder(2);
    control.sizeToText();
    EXPECT_EQ(control.height(), metrics.height() + 12);

    // Wrapped, the width it has is the most a line may take.
    control.setBorder(0);
    control.setText("many words that certainly do not fit on a single line of this narrow control");
    control.setWordWrap(true);
    control.resize(120, 10);
    control.sizeToText();
    EXPECT_LE(control.width(), 120);
    EXPECT_GE(control.height(), 3 * metrics.lineSpacing());
}
