#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "controls/MessageQuestion.h"

class QLabel;
class QPushButton;
namespace Ui {
class Dialog131;
}

namespace krl {

class CRoverTextControl;
class StringTable;

struct MessageDialogOptions {
    // The automatic answer's delay; tests shorten it.
    std::uint64_t timeoutMs = MessageQuestion::kDefaultTimeoutMs;
    // Millisecond ticks; a steady clock when empty.
    std::function<std::uint64_t()> clock;
    // A caller's own picture in place of the kind's icon.
    std::optional<QPixmap> customIcon;
};

// The program's message dialog (template 131): the kind's icon, the message text, up to three
// extra lines each with its button, and a row of buttons under a separator, sized to fit. It
// ends with the answer of the button pressed; closing it, Escape and the automatic answer
// after 30 seconds (counted only while it is the top-most modal window) answer Cancel.
//
// exec() returns the answer's number. Shown without exec(), it reports through answered().
class MessageDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMargin = 10;
    static constexpr int kSpacing = 10;
    static constexpr int kIconSize = 32;
    static constexpr int kTextWidth = 320;
    static constexpr int kMinButtonWidth = 75;
    static constexpr int kMinButtonHeight = 23;

    MessageDialog(MessageDefinition definition, const StringTable& table, QWidget* parent = nullptr,
                  MessageDialogOptions options = {});
    ~MessageDialog() override;

    const MessageDefinition& definition() const { return question_.definition(); }
    std::optional<MessageAnswer> answer() const { return question_.answer(); }

    QPushButton* button(MessageButton button) const;
    CRoverTextControl* messageControl() const;
    // The control of extra line 0..2.
    CRoverTextControl* lineControl(int index) const;
    QLabel* iconControl() const;

public slots:
    void reject() override;

signals:
    void answered(krl::MessageAnswer answer);
    void helpRequested(int messageId);

private:
    void placeControls(const QPixmap& icon);
    void pressed(MessageButton button);
    void timerFired();
    void armTimer();
    void finish(MessageAnswer answer);
    std::uint64_t now() const;
    QSize buttonSize(QPushButton* button) const;

    std::unique_ptr<Ui::Dialog131> ui_;
    MessageQuestion question_;
    MessageDialogOptions options_;
    QTimer timer_;
};

}  // namespace krl
