#include "connection/ui/DialingDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>

#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kLabelId = 1099;
constexpr int kNameId = 353;
constexpr int kOnLabelId = 2001;
constexpr int kNumberId = 1150;
constexpr int kAnimationId = 1241;
constexpr int kTextDialing = 84;     // "Dialing: "
constexpr int kTextConnecting = 83;  // "Connecting..."

QLineEdit* field(QWidget* parent, int id, const QString& text, int maxLength) {
    auto* edit = new QLineEdit(text.left(maxLength), parent);
    edit->setObjectName(QStringLiteral("id%1").arg(id));
    edit->setMaxLength(maxLength);
    edit->setReadOnly(true);
    edit->setFrame(false);
    return edit;
}

QLabel* label(QWidget* parent, int id, const QString& text) {
    auto* l = new QLabel(text.left(32), parent);
    l->setObjectName(QStringLiteral("id%1").arg(id));
    return l;
}

}  // namespace

DialingDialog::DialingDialog(const StringTable& strings, const QString& name, const QString& number,
                             const QString& animationFile, int timeSliceMs,
                             std::function<void()> pumpTick, QWidget* parent)
    : QDialog(parent), pumpTick_(std::move(pumpTick)) {
    setObjectName(QStringLiteral("Dialog165"));
    setWindowTitle(QStringLiteral("Dialing"));

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("id%1").arg(kAnimationId));
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumSize(160, 60);

    QString line1, line2, onText, numberText;
    if (name.isEmpty()) {
        line2 = QString::fromStdString(strings.text(kTextConnecting));
    } else {
        line1 = QString::fromStdString(strings.text(kTextDialing));
        line2 = name;
        onText = QStringLiteral("On:");
        numberText = number;
    }
    auto* hangup = new QPushButton(QStringLiteral("&Hangup"), this);
    hangup->setObjectName(QStringLiteral("id1"));
    hangup->setDefault(true);
    connect(hangup, &QPushButton::clicked, this, &DialingDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture_, 0, 0, 1, 2);
    grid->addWidget(label(this, kLabelId, line1), 1, 0);
    grid->addWidget(field(this, kNameId, line2, 64), 1, 1);
    grid->addWidget(label(this, kOnLabelId, onText), 2, 0);
    grid->addWidget(field(this, kNumberId, numberText, 32), 2, 1);
    grid->addWidget(hangup, 3, 0, 1, 2, Qt::AlignHCenter);

    // A missing or unreadable clip leaves the picture empty; the window works without it.
    clip_.open(animationFile);
    const double fps = clip_.frameRate() > 0 ? clip_.frameRate() : 8.0;
    animation_.setInterval(static_cast<int>(1000.0 / fps));
    connect(&animation_, &QTimer::timeout, this, &DialingDialog::nextFrame);
    showFrame();

    pumpTimer_ = startTimer(std::max(timeSliceMs, 10));
    if (parent) {
        // Centred vertically on the parent.
        adjustSize();
        const QRect p = parent->window()->frameGeometry();
        move(p.center().x() - width() / 2, p.center().y() - height() / 2);
    }
}

DialingDialog::~DialingDialog() {
    animation_.stop();
    if (pumpTimer_)
        killTimer(pumpTimer_);
}

void DialingDialog::playConnectAnimation() {
    if (clip_.frameCount() == 0)
        return;
    frame_ = 0;
    playsLeft_ = 3;
    showFrame();
    animation_.start();
}

void DialingDialog::nextFrame() {
    if (++frame_ >= clip_.frameCount()) {
        if (--playsLeft_ <= 0) {
            animation_.stop();
            frame_ = clip_.frameCount() - 1;
            return;
        }
        frame_ = 0;
    }
    showFrame();
}

void DialingDialog::showFrame() {
    const QImage image = clip_.frame(frame_);
    if (!image.isNull())
        picture_->setPixmap(QPixmap::fromImage(image));
}

void DialingDialog::finish() {
    finishing_ = true;
    animation_.stop();
    if (pumpTimer_) {
        killTimer(pumpTimer_);
        pumpTimer_ = 0;
    }
    done(QDialog::Accepted);
}

void DialingDialog::reject() {
    if (finishing_)
        return;
    finishing_ = true;
    QDialog::reject();
    emit hangupRequested();
}

void DialingDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == pumpTimer_ && pumpTick_) {
        pumpTick_();
        return;
    }
    QDialog::timerEvent(event);
}

}  // namespace krl
