#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "SampleMessage.h"
#include "controls/ui/CRoverTextControl.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "controls/ui/MessageDialog.h"
#include "controls/ui/MessageIcons.h"
#include "controls/ui/ShowMessage.h"
#include "resources/StringTable.h"

using namespace krl;
using krl::test::message;
using krl::test::sampleTable;
using B = MessageButton;

namespace {

MessageDialogOptions timeoutAfter(std::uint64_t ms, std::function<std::uint64_t()> clock = {}) {
    MessageDialogOptions options;
    options.timeoutMs = ms;
    options.clock = std::move(clock);
    return options;
}

constexpr int kWaitMs = 10000;  // generous: a loaded machine must not fail these

std::unique_ptr<MessageDialog> dialogFor(const StringTable& table, const Message& message,
                                         MessageDialogOptions options = {}) {
    return std::make_unique<MessageDialog>(MessageDefinition::build(table, message), table, nullptr,
                                           std::move(options));
}

bool visibleIn(QWidget* w, QWidget* dialog) {
    return w->isVisibleTo(dialog) && dialog->rect().contains(w->geometry());
}

void saveScreenshot(const QPixmap& picture, const QString& name) {
    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    ASSERT_TRUE(picture.save(QStringLiteral(KRL_SCREENSHOT_DIR "/") + name));
}

}  // namespace

// A port message: its text, the extra line with its button, the row; an unbreakable argument
// wraps instead of widening the dialog.
TEST(MessageDialog, PortMessageShowsItsLineButtonAndRowAndWrapsALongArgument) {
    auto dialog = dialogFor(StringTable::builtIn(),
                            message(4000, MessageKind::Error, std::string("/dev/ttyS0")));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    EXPECT_EQ(dialog->windowTitle(), "Error");
    EXPECT_FALSE(dialog->iconControl()->pixmap().isNull());

    // The long text wraps inside the text column, to the right of the icon.
    CRoverTextControl* text = dialog->messageControl();
    EXPECT_TRUE(text->text().startsWith("Cannot open Port (/dev/ttyS0)."));
    EXPECT_TRUE(visibleIn(text, dialog.get()));
    EXPECT_GT(text->height(), 2 * text->fontMetrics().lineSpacing());
    EXPECT_LE(text->width(), MessageDialog::kTextWidth);
    EXPECT_GE(text->x(), dialog->iconControl()->geometry().right());

    // The extra line below the text with OK at its right, beside it.
    CRoverTextControl* line = dialog->lineControl(0);
    QPushButton* ok = dialog->button(B::Ok);
    EXPECT_EQ(line->text(), "Click OK to display the Modem and Com Port Settings.");
    EXPECT_TRUE(visibleIn(line, dialog.get()) && visibleIn(ok, dialog.get()));
    EXPECT_GT(ok->x(), line->geometry().right());
    EXPECT_TRUE(ok->y() < line->geometry().bottom() && ok->geometry().bottom() > line->y());
    EXPECT_GT(line->y(), text->geometry().bottom());
    EXPECT_FALSE(dialog->lineControl(1)->isVisibleTo(dialog.get()));

    // The row below the separator: Retry, Cancel, Help, 10 pixels apart, Help at the margin.
    QPushButton* retry = dialog->button(B::Retry);
    QPushButton* cancel = dialog->button(B::Cancel);
    QPushButton* help = dialog->button(B::Help);
    for (QPushButton* b : {retry, cancel, help})
        EXPECT_TRUE(visibleIn(b, dialog.get()));
    EXPECT_EQ(cancel->x() - retry->geometry().right() - 1, 10);
    EXPECT_EQ(help->x() - cancel->geometry().right() - 1, 10);
    EXPECT_EQ(help->geometry().right() + 1, dialog->width() - MessageDialog::kMargin);
    QFrame* separator = dialog->findChild<QFrame*>("separator230");
    ASSERT_NE(separator, nullptr);
    EXPECT_TRUE(ok->geometry().bottom() < separator->y() && separator->y() < retry->y());
    for (B hidden : {B::Close, B::Continue, B::Yes, B::No})
        EXPECT_FALSE(dialog->button(hidden)->isVisibleTo(dialog.get()));
    saveScreenshot(dialog->grab(), "message4000.png");

    // An unbreakable argument wraps instead of widening the dialog.
    const std::string path = "/home/user/" + std::string(300, 'x') + ".txt";
    auto wide = dialogFor(StringTable::builtIn(), message(4000, MessageKind::Error, path));
    wide->show();
    EXPECT_LE(wide->messageControl()->width(), MessageDialog::kTextWidth);
    EXPECT_LT(wide->width(), 600);
    EXPECT_TRUE(wide->messageControl()->text().contains(QString::fromStdString(path)));
    saveScreenshot(wide->grab(), "message4000-long-argument.png");
}

TEST(MessageDialog, AFullRowAndThreeExtraLinesFitInReadingOrder) {
    auto all = dialogFor(sampleTable(), message(400));
    all->show();
    int previousRight = -1;
    for (B b : {B::Yes, B::No, B::Ok, B::Retry, B::Continue, B::Close, B::Cancel, B::Help}) {
        QPushButton* button = all->button(b);
        EXPECT_TRUE(visibleIn(button, all.get()));
        EXPECT_GT(button->x(), previousRight);
        previousRight = button->geometry().right();
    }

    auto lines = dialogFor(sampleTable(), message(500, MessageKind::Acknowledgment));
    lines->show();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(visibleIn(lines->lineControl(i), lines.get()));
    EXPECT_LT(lines->lineControl(0)->geometry().bottom(), lines->lineControl(1)->y());
    EXPECT_LT(lines->lineControl(1)->geometry().bottom(), lines->lineControl(2)->y());
    saveScreenshot(lines->grab(), "message-three-lines.png");
}

TEST(MessageDialog, ButtonsEscapeAndCloseGiveTheirAnswers) {
    struct Case {
        B button;
        int answer;
    };
    for (Case c : {Case{B::Ok, 512}, Case{B::Yes, 512}, Case{B::Cancel, 16}, Case{B::No, 16},
                   Case{B::Retry, 128}, Case{B::Close, 64}, Case{B::Continue, 32}}) {
        auto dialog = dialogFor(sampleTable(), message(400));
        QSignalSpy spy(dialog.get(), &MessageDialog::answered);
        dialog->show();
        QTest::mouseClick(dialog->button(c.button), Qt::LeftButton);
        EXPECT_EQ(dialog->result(), c.answer);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_FALSE(dialog->isVisible());
    }

    auto help = dialogFor(sampleTable(), message(400));
    QSignalSpy helpSpy(help.get(), &MessageDialog::helpRequested);
    help->show();
    QTest::mouseClick(help->button(B::Help), Qt::LeftButton);
    EXPECT_EQ(helpSpy.count(), 1);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->answer().has_value());

    auto escaped = dialogFor(sampleTable(), message(400));
    escaped->show();
    QTest::keyClick(escaped.get(), Qt::Key_Escape);
    EXPECT_EQ(escaped->answer(), MessageAnswer::Cancel);

    // Return presses the first button in reading order.
    auto entered = dialogFor(StringTable::builtIn(), message(4040, MessageKind::Error, "ATZ"));
    entered->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(entered.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(entered->answer(), MessageAnswer::Continue);

    auto closed = dialogFor(sampleTable(), message(200));
    closed->show();
    EXPECT_TRUE(closed->close());
    EXPECT_EQ(closed->answer(), MessageAnswer::Cancel);
    EXPECT_EQ(closed->result(), 16);
}

TEST(MessageDialog, TimeOutAnswersCancelOnlyWhenOnTop) {
    // A message without buttons can only be closed or time out.
    auto lone = dialogFor(sampleTable(), message(200), timeoutAfter(50));
    lone->setWindowModality(Qt::ApplicationModal);
    lone->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lone->answer().has_value(); }, kWaitMs));
    EXPECT_EQ(lone->answer(), MessageAnswer::Cancel);

    // A covered message waits until it is on top again.
    std::uint64_t now = 0;
    auto under = dialogFor(sampleTable(), message(400), timeoutAfter(1000, [&] { return now; }));
    under->setWindowModality(Qt::ApplicationModal);
    under->show();
    auto over = dialogFor(sampleTable(), message(400), timeoutAfter(60000, [&] { return now; }));
    over->setWindowModality(Qt::ApplicationModal);
    over->show();
    ASSERT_EQ(QApplication::activeModalWidget(), over.get());
    now = 1000;
    QTest::qWait(1100);  // the real timer reaches the manual deadline
    EXPECT_FALSE(under->answer().has_value());
    QTest::mouseClick(over->button(B::Ok), Qt::LeftButton);
    now = 2000;
    ASSERT_TRUE(QTest::qWaitFor([&] { return under->answer().has_value(); }, kWaitMs));
    EXPECT_EQ(under->answer(), MessageAnswer::Cancel);
}

TEST(DialogMessagePresenter, AnswersArriveLaterFromTheEventLoop) {
    QWidget mainWindow;
    mainWindow.show();
    DialogMessagePresenter presenter(&mainWindow, sampleTable());
    std::vector<MessageAnswer> answers;
    bool inShow = false;
    bool answeredInsideShow = false;
    auto handler = [&](MessageAnswer a) {
        answeredInsideShow |= inShow;
        answers.push_back(a);
    };

    inShow = true;
    presenter.show(message(400, MessageKind::Confirmation), handler);
    inShow = false;
    ASSERT_EQ(presenter.openDialogs().size(), 1);
    MessageDialog* dialog = presenter.openDialogs().front();
    EXPECT_TRUE(dialog->isModal());

    QTest::mouseClick(dialog->button(B::Retry), Qt::LeftButton);
    EXPECT_TRUE(answers.empty()) << "answer delivered inside the click";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, kWaitMs));
    EXPECT_EQ(answers, std::vector<MessageAnswer>{MessageAnswer::Retry});
    EXPECT_TRUE(presenter.openDialogs().isEmpty());

    // Even an immediate time-out never answers inside show().
    DialogMessagePresenter hasty(&mainWindow, sampleTable(), timeoutAfter(0));
    inShow = true;
    hasty.show(message(200), handler);
    inShow = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, kWaitMs));
    EXPECT_EQ(answers.back(), MessageAnswer::Cancel);
    EXPECT_FALSE(answeredInsideShow);
    QTest::qWait(50);
    EXPECT_EQ(answers.size(), 2u);  // one answer per message
}

// Messages shown together are answered each on its own. A withdrawn one leaves at once and
// answers nothing, whether another lies on top of it (the peer's message over a question about
// the call) or not; those still open when their owner vanishes answer Cancel.
TEST(DialogMessagePresenter, MessagesAreAnsweredOrWithdrawnEachOnItsOwnOrCancelWithTheirOwner) {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    DialogMessagePresenter presenter(owner.get(), sampleTable());
    std::vector<std::pair<int, MessageAnswer>> answers;
    const auto record = [&](int id) {
        return [&answers, id](MessageAnswer a) { answers.push_back({id, a}); };
    };
    const auto openIds = [&presenter] {
        std::vector<int> ids;
        for (MessageDialog* dialog : presenter.openDialogs())
            ids.push_back(dialog->definition().id);
        return ids;
    };
    QList<QPointer<MessageDialog>> shown;
    for (int id : {400, 500, 200}) {
        presenter.show(message(id), record(id));
        shown.append(presenter.openDialogs().back());
    }
    presenter.withdraw(500);
    EXPECT_EQ(openIds(), (std::vector<int>{400, 200}));
    QTest::mouseClick(presenter.openDialogs().front()->button(B::Close), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, kWaitMs));
    QTest::qWait(20);
    EXPECT_EQ(openIds(), std::vector<int>{200});  // the last survives the others
    presenter.withdraw(200);
    EXPECT_TRUE(openIds().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.count(nullptr) == 3; }, kWaitMs));
    QTest::qWait(20);
    EXPECT_EQ(answers, (std::vector<std::pair<int, MessageAnswer>>{{400, MessageAnswer::Close}}));

    presenter.show(message(400), record(401));
    presenter.show(message(200), {});  // informs only: no handler to call
    ASSERT_EQ(presenter.openDialogs().size(), 2);
    owner.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, kWaitMs));
    EXPECT_EQ(answers.back(), (std::pair{401, MessageAnswer::Cancel}));
}

TEST(ShowMessage, ReturnsTheAnswerOfTheModalDialog) {
    QWidget mainWindow;
    mainWindow.show();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<MessageDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(dialog->button(B::Continue), Qt::LeftButton);
    });
    EXPECT_EQ(showMessage(&mainWindow, 4040, MessageKind::Error, QStringLiteral("ATZ")),
              MessageAnswer::Continue);
}

TEST(MessageIcons, TheThreeKindsHaveTheirArtwork) {
    QPixmap strip(3 * 72, 72);
    strip.fill(Qt::white);
    QPainter painter(&strip);
    for (int i : {0, 1, 2}) {
        QPixmap icon = messageIcon(114 + i, 64);
        ASSERT_EQ(icon.size(), QSize(64, 64)) << i;
        EXPECT_EQ(icon.toImage().pixelColor(32, 40).alpha(), 255) << "drawn, not blank: " << i;
        painter.drawPixmap(4 + 72 * i, 4, icon);
    }
    painter.end();
    EXPECT_TRUE(messageIcon(117).isNull());
    saveScreenshot(strip, "message-icons.png");
}
