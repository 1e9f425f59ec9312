#include "settings/ui/CKestrelSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "resources/StringTable.h"
#include "settings/ControlRanges.h"
#include "settings/SetupWizardLogic.h"
#include "settings/ui/ModemDialog.h"

namespace krl {
namespace {

template <typename W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QSpinBox* spin(QWidget* parent, int id, std::uint32_t low, std::uint32_t high, int step) {
    auto* s = named(new QSpinBox(parent), id);
    s->setRange(static_cast<int>(low), static_cast<int>(high));
    s->setSingleStep(step);
    return s;
}

}  // namespace

CKestrelSettings::CKestrelSettings(SheetBlocks blocks, SheetPage start, Choices choices,
                                   QWidget* parent)
    : QDialog(parent), blocks_(std::move(blocks)), choices_(std::move(choices)) {
    setObjectName(QStringLiteral("CKestrelSettings"));
    setWindowTitle(QStringLiteral("Kestrelcall Settings"));
    blocks_.comms = ControlRanges::forControls(blocks_.comms);
    blocks_.video = ControlRanges::forControls(blocks_.video);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(buildKestrelPage(), QStringLiteral("Kestrelcall"));
    tabs_->addTab(buildCameraPage(), QStringLiteral("Camera"));
    tabs_->addTab(buildRemotePage(), QStringLiteral("Remote Image"));
    tabs_->addTab(buildTransferPage(), QStringLiteral("File Transfer"));
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CKestrelSettings::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CKestrelSettings::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (help_)
            help_(currentPage());
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    load();
    tabs_->setCurrentIndex(static_cast<int>(start));
}

SheetPage CKestrelSettings::currentPage() const {
    return static_cast<SheetPage>(tabs_->currentIndex());
}

QWidget* CKestrelSettings::buildKestrelPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page202"));
    listen_ = named(
        new QCheckBox(QStringLiteral("&Listen for calls from other Kestrelcall users.")), 1082);
    prompt_ =
        named(new QCheckBox(QStringLiteral("&Prompt and confirm before answering calls.")), 1237);
    rings_ = named(new QCheckBox(QStringLiteral("Play &ring when called.")), 1272);
    autoSend_ = named(new QCheckBox(QStringLiteral("&Send video when connected.")), 1162);
    showWhenRun_ = named(
        new QCheckBox(QStringLiteral("&Display your own video image when Kestrelcall is run.")),
        1225);
    paging_ = named(new QCheckBox(QStringLiteral("&Allow others to page you.")), 1286);
    auto* modem = named(new QPushButton(QStringLiteral("&Modem")), 1269);
    connect(modem, &QPushButton::clicked, this, &CKestrelSettings::openModem);
    auto* v = new QVBoxLayout(page);
    for (QWidget* w : std::initializer_list<QWidget*>{listen_, prompt_, rings_, autoSend_,
                                                      showWhenRun_, paging_})
        v->addWidget(w);
    auto* row = new QHBoxLayout;
    row->addWidget(modem);
    row->addStretch();
    v->addLayout(row);
    v->addStretch();
    return page;
}

QWidget* CKestrelSettings::buildCameraPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page166"));
    camera_ = named(new QComboBox, 1104);
    for (const std::string& name : choices_.cameras)
        camera_->addItem(qs(name));
    camera_->addItem(QString::fromLatin1(SetupWizardLogic::kNoCamera));
    mono_ = named(new QCheckBox(QStringLiteral("&Black and White Camera.")), 1101);
    acceptSize_ = named(new QCheckBox(QStringLiteral(
                            "Allow remote user to change the &image size. (Note that not all "
                            "cameras support this feature.)")),
                        1161);
    source_ = named(new QPushButton(QStringLiteral("&Source...")), 1121);
    format_ = named(new QPushButton(QStringLiteral("&Format...")), 1116);
    for (QPushButton* b : {source_, format_}) {
        connect(b, &QPushButton::clicked, this, [this, b] {
            if (choices_.videoCommand)
                choices_.videoCommand(b == source_ ? 1121 : 1116);
        });
    }
    auto* group = named(new QGroupBox(QStringLiteral("Camera settings")), 1171);
    auto* g = new QHBoxLayout(group);
    g->addWidget(source_);
    g->addWidget(format_);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("&Camera:"), camera_);
    form->addRow(mono_);
    form->addRow(acceptSize_);
    form->addRow(group);
    connect(camera_, &QComboBox::currentTextChanged, this, [this] { greyCamera(); });
    return page;
}

QWidget* CKestrelSettings::buildRemotePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page163"));
    width_ = spin(page, 1035, ControlRanges::kMinRemoteWidth, ControlRanges::kMaxRemoteWidth,
                  static_cast<int>(ControlRanges::kSizeStep));
    height_ = spin(page, 1100, ControlRanges::kMinRemoteHeight, ControlRanges::kMaxRemoteHeight,
                   static_cast<int>(ControlRanges::kSizeStep));
    refresh_ = spin(page, 1034, ControlRanges::kMinRefresh, ControlRanges::kMaxRefresh, 1);
    fluoro_ = named(
        new QCheckBox(QStringLiteral("&Enable Fluroro-Hide - Fluoroscent light control.")), 1239);
    onTop_ = named(new QCheckBox(QStringLiteral(
                       "&Always keep the remote video image on top of other windows.")),
                   1238);
    promptReceive_ = named(new QCheckBox(QStringLiteral(
                               "&Display prompt when the remote user starts to send you video.")),
                           1237);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Image &Width:"), width_);
    form->addRow(QStringLiteral("Image &Height:"), height_);
    form->addRow(QStringLiteral("&Background refresh rate %"), refresh_);
    form->addRow(fluoro_);
    form->addRow(onTop_);
    form->addRow(promptReceive_);
    return page;
}

QWidget* CKestrelSettings::buildTransferPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page330"));
    overwrite_ = named(new QCheckBox(QStringLiteral("&Overwrite existing files.")), 1247);
    recDir_ = named(new QLineEdit, 344);
    auto* browse = named(new QPushButton(QStringLiteral("&Browse...")), 1076);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose Folder"),
                                                              recDir_->text());
        if (!dir.isEmpty())
            recDir_->setText(dir);
    });
    const char* texts[3] = {"Automatically &launch the file or application.", "&Don't launch.",
                            "&Ask before launching."};
    auto* group = new QGroupBox;
    auto* g = new QVBoxLayout(group);
    for (int i = 0; i < 3; ++i) {
        launch_[i] = named(new QRadioButton(QString::fromLatin1(texts[i])), 1243 + i);
        g->addWidget(launch_[i]);
    }
    clearQueue_ =
        named(new QCheckBox(QStringLiteral("&Clear Send Queue after disconnecting.")), 1081);
    auto* v = new QVBoxLayout(page);
    v->addWidget(overwrite_);
    auto* place = new QLabel(QStringLiteral("&Place files in Directory:"));
    place->setBuddy(recDir_);
    v->addWidget(place);
    auto* row = new QHBoxLayout;
    row->addWidget(recDir_);
    row->addWidget(browse);
    v->addLayout(row);
    v->addWidget(group);
    v->addWidget(clearQueue_);
    v->addStretch();
    return page;
}

void CKestrelSettings::load() {
    const SheetBlocks& b = blocks_;
    listen_->setChecked(b.comms.alwaysListen);
    prompt_->setChecked(b.comms.promptBeforeAnswer);
    rings_->setChecked(b.comms.playRings);
    autoSend_->setChecked(b.video.autoSend);
    showWhenRun_->setChecked(b.video.showVideoWhenRun);
    paging_->setChecked(b.general.allowPaging);

    const QString shown = qs(SetupWizardLogic::driverShown(b.video.driver));
    int at = camera_->findText(shown);
    if (at < 0) {
        camera_->insertItem(0, shown);
        at = 0;
    }
    camera_->setCurrentIndex(at);
    mono_->setChecked(b.video.localVideo.get(VideoSetting::LuminanceOnly) != 0);
    acceptSize_->setChecked(b.video.localVideo.get(VideoSetting::AcceptPeerSize) != 0);
    greyCamera();

    const VideoSettingsRecord& r = b.video.remoteVideo;
    width_->setValue(static_cast<int>(r.get(VideoSetting::Width)));
    height_->setValue(static_cast<int>(r.get(VideoSetting::Height)));
    refresh_->setValue(static_cast<int>(r.get(VideoSetting::RefreshPercentage)));
    fluoro_->setChecked(r.get(VideoSetting::MeanRemovedChange) != 0);
    onTop_->setChecked(b.video.remoteAlwaysOnTop);
    promptReceive_->setChecked(b.video.promptWhenReceive);
    // The size can be asked for only where the remote side allows it.
    const bool sizable = r.get(VideoSetting::AcceptPeerSize) != 0;
    width_->setEnabled(sizable);
    height_->setEnabled(sizable);

    overwrite_->setChecked(b.tonebay.overwriteExisting);
    recDir_->setText(qs(b.tonebay.recDir));
    launch_[static_cast<int>(b.tonebay.launchMode)]->setChecked(true);
    clearQueue_->setChecked(b.tonebay.clearQueueAfterDisconnecting);
}

void CKestrelSettings::greyCamera() {
    const bool camera = SetupWizardLogic::cameraChosen(camera_->currentText().toStdString());
    mono_->setEnabled(camera);
    acceptSize_->setEnabled(camera);
    const bool running = camera && choices_.captureRunning;
    source_->setEnabled(running);
    format_->setEnabled(running);
    source_->parentWidget()->setEnabled(running);
}

void CKestrelSettings::openModem() {
    ModemDialog dialog(blocks_.comms, choices_.ports, StringTable::builtIn(), this);
    if (dialog.exec() == QDialog::Accepted)
        blocks_.comms = dialog.settings();
}

void CKestrelSettings::accept() {
    SheetBlocks& b = blocks_;
    b.comms.alwaysListen = listen_->isChecked();
    b.comms.promptBeforeAnswer = prompt_->isChecked();
    b.comms.playRings = rings_->isChecked();
    b.video.autoSend = autoSend_->isChecked();
    b.video.showVideoWhenRun = showWhenRun_->isChecked();
    b.general.allowPaging = paging_->isChecked();

    b.video.driver = camera_->currentText().toStdString();
    b.video.localVideo.set(VideoSetting::LuminanceOnly, mono_->isChecked() ? 1 : 0);
    b.video.localVideo.set(VideoSetting::AcceptPeerSize, acceptSize_->isChecked() ? 1 : 0);

    VideoSettingsRecord& r = b.video.remoteVideo;
    r.set(VideoSetting::Width, static_cast<std::uint32_t>(width_->value()));
    r.set(VideoSetting::Height, static_cast<std::uint32_t>(height_->value()));
    r.set(VideoSetting::RefreshPercentage, static_cast<std::uint32_t>(refresh_->value()));
    r.set(VideoSetting::MeanRemovedChange, fluoro_->isChecked() ? 1 : 0);
    b.video.remoteAlwaysOnTop = onTop_->isChecked();
    b.video.promptWhenReceive = promptReceive_->isChecked();

    b.tonebay.overwriteExisting = overwrite_->isChecked();
    std::string dir = recDir_->text().trimmed().toStdString();
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    if (!dir.empty())
        b.tonebay.recDir = dir;
    for (int i = 0; i < 3; ++i) {
        if (launch_[i]->isChecked())
            b.tonebay.launchMode = static_cast<LaunchMode>(i);
    }
    b.tonebay.clearQueueAfterDisconnecting = clearQueue_->isChecked();
    QDialog::accept();
}

}  // namespace krl
