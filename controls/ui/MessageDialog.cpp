#include "controls/ui/MessageDialog.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <chrono>

#include "controls/ui/CRoverTextControl.h"
#include "controls/ui/MessageIcons.h"
#include "resources/StringTable.h"
#include "ui_Dialog131.h"

namespace krl {

MessageDialog::MessageDialog(MessageDefinition definition, const StringTable& table,
                             QWidget* parent, MessageDialogOptions options)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Dialog131>()),
      question_(std::move(definition), options.timeoutMs),
      options_(std::move(options)) {
    ui_->setupUi(this);
    setFont(messageFont(table));
    setWindowTitle(QString::fromStdString(question_.definition().title));

    for (int n = 1; n <= kMessageButtonCount; ++n) {
        MessageButton b = *messageButtonAt(n);
        connect(button(b), &QPushButton::clicked, this, [this, b] { pressed(b); });
    }

    QPixmap icon = options_.customIcon ? *options_.customIcon
                                       : messageIcon(question_.definition().iconId, kIconSize);
    placeControls(icon);
    setWindowIcon(icon);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &MessageDialog::timerFired);
    question_.start(now());
    armTimer();
}

MessageDialog::~MessageDialog() = default;

QPushButton* MessageDialog::button(MessageButton b) const {
    switch (b) {
        case MessageButton::Ok:
            return ui_->button1;
        case MessageButton::Cancel:
            return ui_->button2;
        case MessageButton::Retry:
            return ui_->button1046;
        case MessageButton::Close:
            return ui_->button1048;
        case MessageButton::Continue:
            return ui_->button1042;
        case MessageButton::Help:
            return ui_->button57670;
        case MessageButton::Yes:
            return ui_->button6;
        case MessageButton::No:
            return ui_->button7;
    }
    return nullptr;
}

CRoverTextControl* MessageDialog::messageControl() const {
    return ui_->text1039;
}

CRoverTextControl* MessageDialog::lineControl(int index) const {
    switch (index) {
        case 0:
            return ui_->text1041;
        case 1:
            return ui_->text1043;
        case 2:
            return ui_->text1047;
    }
    return nullptr;
}

QLabel* MessageDialog::iconControl() const {
    return ui_->picture1038;
}

QSize MessageDialog::buttonSize(QPushButton* b) const {
    QSize hint = b->sizeHint();
    return {std::max(kMinButtonWidth, hint.width()), std::max(kMinButtonHeight, hint.height())};
}

// Text to the right of the icon; each extra line under it with its button at the right edge;
// the separator; the row buttons from the right edge leftwards, kSpacing apart.
void MessageDialog::placeControls(const QPixmap& icon) {
    const MessageDefinition& d = question_.definition();
    const int textLeft = kMargin + kIconSize + kMargin;

    ui_->picture1038->setPixmap(icon);
    ui_->picture1038->setGeometry(kMargin, kMargin, kIconSize, kIconSize);
    ui_->picture1038->show();

    CRoverTextControl* text = ui_->text1039;
    text->setText(QString::fromStdString(d.text));
    text->setWordWrap(true);
    text->setGeometry(textLeft, kMargin, kTextWidth, kIconSize);
    text->sizeToText();
    if (text->height() < kIconSize)
        text->resize(text->width(), kIconSize);
    text->show();
    int contentWidth = text->width();
    int y = std::max(kMargin + kIconSize, text->geometry().bottom() + 1) + kSpacing;

    struct Placed {
        CRoverTextControl* line;
        QPushButton* button;
        int top, height;
    };
    std::vector<Placed> lines;
    for (std::size_t i = 0; i < d.extraLines.size(); ++i) {
        CRoverTextControl* line = lineControl(static_cast<int>(i));
        QPushButton* b = button(d.extraLines[i].button);
        QSize bs = buttonSize(b);
        line->setText(QString::fromStdString(d.extraLines[i].text));
        line->setWordWrap(true);
        line->setGeometry(textLeft, y, kTextWidth - bs.width() - kSpacing, bs.height());
        line->sizeToText();
        int height = std::max(line->height(), bs.height());
        contentWidth = std::max(contentWidth, line->width() + kSpacing + bs.width());
        lines.push_back({line, b, y, height});
        y += height + kSpacing / 2;
    }
    if (!lines.empty())
        y += kSpacing / 2;

    int rowWidth = 0;
    int rowHeight = 0;
    for (MessageButton rb : d.rowButtons) {
        QSize bs = buttonSize(button(rb));
        rowWidth += bs.width() + (rowWidth > 0 ? kSpacing : 0);
        rowHeight = std::max(rowHeight, bs.height());
    }

    const int width = std::max({textLeft + contentWidth + kMargin, rowWidth + 2 * kMargin, 240});
    const int right = width - kMargin;

    for (const Placed& p : lines) {
        QSize bs = buttonSize(p.button);
        p.line->move(textLeft, p.top + (p.height - p.line->height()) / 2);
        p.line->show();
        p.button->setGeometry(right - bs.width(), p.top + (p.height - bs.height()) / 2, bs.width(),
                              bs.height());
        p.button->show();
    }

    if (!d.rowButtons.empty()) {
        ui_->separator230->setGeometry(kMargin, y, width - 2 * kMargin, 2);
        ui_->separator230->show();
        y += 2 + kSpacing;
        int x = right;
        for (MessageButton rb : d.rowButtons) {
            QPushButton* b = button(rb);
            QSize bs = buttonSize(b);
            x -= bs.width();
            b->setGeometry(x, y, bs.width(), bs.height());
            b->show();
            x -= kSpacing;
        }
        y += rowHeight + kMargin;
    }

    // Tab order follows the reading order: the lines' buttons, then the row left to right.
    // The first of them has the focus, so Return presses it.
    QWidget* previous = nullptr;
    for (MessageButton b : d.buttonsInTabOrder()) {
        if (previous) {
            setTabOrder(previous, button(b));
        } else {
            button(b)->setFocus();
        }
        previous = button(b);
    }
    setFixedSize(width, y);
}

void MessageDialog::pressed(MessageButton b) {
    if (b == MessageButton::Help) {
        emit helpRequested(definition().id);
        return;
    }
    if (auto a = question_.press(b))
        finish(*a);
}

void MessageDialog::reject() {
    if (auto a = question_.close())
        finish(*a);
}

void MessageDialog::timerFired() {
    QWidget* top = QApplication::activeModalWidget();
    bool onTop = top == nullptr || top == this;
    if (auto a = question_.timerFired(now(), onTop)) {
        finish(*a);
        return;
    }
    armTimer();
}

void MessageDialog::armTimer() {
    std::uint64_t delay = question_.msUntilTimeout(now());
    timer_.start(static_cast<int>(std::min<std::uint64_t>(delay, 1u << 30)));
}

void MessageDialog::finish(MessageAnswer a) {
    timer_.stop();
    emit answered(a);
    done(static_cast<int>(a));
}

std::uint64_t MessageDialog::now() const {
    if (options_.clock)
        return options_.clock();
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace krl
