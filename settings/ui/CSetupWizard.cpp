#include "settings/ui/CSetupWizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "settings/ControlRanges.h"
#include "settings/ui/ModemField.h"
#include "settings/ui/PortField.h"

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

// Every page loads its fields from the wizard's copies when it is shown and writes them back
// when it is left by Back, Next or Finish, so what was typed survives moving back and forth.
// (A plain QWizardPage resets its fields when left by Back.)
class WizardPageBase : public QWizardPage {
public:
    WizardPageBase(CSetupWizard& wizard, int templateId, const QString& title) : wizard_(wizard) {
        setObjectName(QStringLiteral("Page%1").arg(templateId));
        setTitle(title);
    }
    void initializePage() override { load(); }
    bool validatePage() override {
        if (!acceptable())
            return false;
        store();
        return true;
    }
    void cleanupPage() override { store(); }

protected:
    virtual void load() {}
    virtual void store() {}
    virtual bool acceptable() { return true; }
    SetupWizardLogic& logic() { return wizard_.logic(); }
    CSetupWizard& wizard_;
};

class WelcomePage : public WizardPageBase {
public:
    explicit WelcomePage(CSetupWizard& w)
        : WizardPageBase(w, 132, QStringLiteral("Setting up Kestrelcall")) {
        auto* text = new QLabel(
            QStringLiteral("Welcome to the Kestrelcall setup Wizard.\n\n"
                           "You will be asked for:\n"
                           "  \u2022 the modem or cable and the port it is connected to,\n"
                           "  \u2022 how to dial and answer calls,\n"
                           "  \u2022 your video camera,\n"
                           "  \u2022 your business card.\n\n"
                           "Click Next to start Kestrelcall setup."));
        text->setWordWrap(true);
        (new QVBoxLayout(this))->addWidget(text);
    }
};

class ModemPage : public WizardPageBase {
public:
    explicit ModemPage(CSetupWizard& w) : WizardPageBase(w, 159, QStringLiteral("Modem")) {
        modem_ = new ModemField(w.logic().comms().homeDir, 349, w.choices().usableModem, this);
        port_ = new PortField(w.choices().ports, 1077, this);
        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("&Modem Name:"), modem_);
        form->addRow(QStringLiteral("Port:"), port_);
        auto* hint = new QLabel(QStringLiteral(
            "Choose \"Serial Cable\" for a null-modem cable or a USB serial adapter, a modem "
            "file for a modem. A modem on another machine is reached as rfc2217://host:port."));
        hint->setWordWrap(true);
        form->addRow(hint);
    }

private:
    void load() override {
        modem_->select(logic().comms().modemName);
        port_->setPort(logic().comms().portName);
    }
    void store() override {
        CommsSettings& c = logic().comms();
        modem_->chosen(&c.modemName, &c.modemFile);
        if (port_->acceptable())
            c.portName = port_->port();
    }
    bool acceptable() override {
        if (port_->acceptable())
            return true;
        port_->combo()->setFocus();
        return false;
    }
    ModemField* modem_;
    PortField* port_;
};

class DialPage : public WizardPageBase {
public:
    explicit DialPage(CSetupWizard& w)
        : WizardPageBase(w, 292, QStringLiteral("Dialling and Answering Calls")) {
        prefix_ = named(new QLineEdit(this), 1248);
        prefix_->setMaxLength(static_cast<int>(ControlRanges::kMaxPrefixChars));
        listen_ = named(
            new QCheckBox(QStringLiteral("Listen and answer calls from other Kestrelcall users.")),
            1270);
        speaker_ = named(
            new QCheckBox(QStringLiteral("Turn the modem speaker off when listening.")), 1271);
        rings_ = named(new QSpinBox(this), 1264);
        rings_->setRange(static_cast<int>(ControlRanges::kMinRings),
                         static_cast<int>(ControlRanges::kMaxRings));
        rings_->setSuffix(QStringLiteral(" rings."));
        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("To access an outside line, first dial"), prefix_);
        form->addRow(listen_);
        form->addRow(speaker_);
        form->addRow(QStringLiteral("Answer incoming calls after "), rings_);
    }

private:
    void load() override {
        const CommsSettings c = ControlRanges::forControls(logic().comms());
        prefix_->setText(qs(c.outsideLinePrefix));
        listen_->setChecked(c.alwaysListen);
        speaker_->setChecked(c.speakerOff);
        rings_->setValue(static_cast<int>(c.ringsCount));
    }
    void store() override {
        CommsSettings& c = logic().comms();
        c.outsideLinePrefix = prefix_->text().toStdString();
        c.alwaysListen = listen_->isChecked();
        c.speakerOff = speaker_->isChecked();
        c.ringsCount = static_cast<std::uint32_t>(rings_->value());
    }
    QLineEdit* prefix_;
    QCheckBox* listen_;
    QCheckBox* speaker_;
    QSpinBox* rings_;
};

class VideoPage : public WizardPageBase {
public:
    explicit VideoPage(CSetupWizard& w) : WizardPageBase(w, 245, QStringLiteral("Video")) {
        camera_ = named(new QComboBox(this), 1104);
        for (const std::string& name : w.choices().cameras)
            camera_->addItem(qs(name));
        camera_->addItem(QString::fromLatin1(SetupWizardLogic::kNoCamera));
        mono_ = named(new QCheckBox(QStringLiteral("&Black and White Camera.")), 1275);
        send_ = named(new QCheckBox(QStringLiteral("&Send video when connected.")), 1162);
        show_ = named(
            new QCheckBox(QStringLiteral("&Display your own video image when Kestrelcall is run.")),
            1225);
        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("&Video Camera:"), camera_);
        form->addRow(mono_);
        form->addRow(send_);
        form->addRow(show_);
        connect(camera_, &QComboBox::currentTextChanged, this, [this] { grey(); });
    }

private:
    void grey() {
        const bool camera = SetupWizardLogic::cameraChosen(camera_->currentText().toStdString());
        for (QCheckBox* box : {mono_, send_, show_})
            box->setEnabled(camera);
    }
    void load() override {
        const VideoSettings v = ControlRanges::forControls(logic().video());
        const QString shown = qs(SetupWizardLogic::driverShown(v.driver));
        int at = camera_->findText(shown);
        if (at < 0) {
            // A camera that is not here now stays chosen until another is picked.
            camera_->insertItem(0, shown);
            at = 0;
        }
        camera_->setCurrentIndex(at);
        mono_->setChecked(v.localVideo.get(VideoSetting::LuminanceOnly) != 0);
        send_->setChecked(v.autoSend);
        show_->setChecked(v.showVideoWhenRun);
        grey();
    }
    void store() override {
        VideoSettings& v = logic().video();
        v.driver = camera_->currentText().toStdString();
        v.localVideo.set(VideoSetting::LuminanceOnly, mono_->isChecked() ? 1 : 0);
        v.autoSend = send_->isChecked();
        v.showVideoWhenRun = show_->isChecked();
    }
    QComboBox* camera_;
    QCheckBox* mono_;
    QCheckBox* send_;
    QCheckBox* show_;
};

class CardPage : public WizardPageBase {
public:
    explicit CardPage(CSetupWizard& w)
        : WizardPageBase(w, 238, QStringLiteral("Your Business Card")) {
        name_ = named(new QLineEdit(this), 353);
        name_->setMaxLength(63);
        phone_ = named(new QLineEdit(this), 1193);
        phone_->setMaxLength(31);
        details_ = named(new QPlainTextEdit(this), 1088);
        send_ = named(
            new QCheckBox(QStringLiteral("&Send your Business Card whenever you connect.")), 1250);
        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("&Name:"), name_);
        form->addRow(QStringLiteral("&Phone No:"), phone_);
        form->addRow(QStringLiteral("&Details:"), details_);
        form->addRow(send_);
        setFinalPage(true);
    }

private:
    void load() override {
        const CardFields f = logic().cardFields();
        name_->setText(qs(f.name));
        phone_->setText(qs(f.phone));
        details_->setPlainText(qs(f.details));
        send_->setChecked(logic().general().sendCardOnConnect());
    }
    void store() override {
        logic().setCard({name_->text().toStdString(), phone_->text().toStdString(),
                         details_->toPlainText().toStdString()},
                        send_->isChecked());
    }
    QLineEdit* name_;
    QLineEdit* phone_;
    QPlainTextEdit* details_;
    QCheckBox* send_;
};

}  // namespace

CSetupWizard::CSetupWizard(SetupWizardLogic logic, Choices choices, QWidget* parent)
    : QWizard(parent), logic_(std::move(logic)), choices_(std::move(choices)) {
    setObjectName(QStringLiteral("CSetupWizard"));
    setWindowTitle(QStringLiteral("Kestrelcall Setup"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    setPage(static_cast<int>(WizardPage::Welcome), new WelcomePage(*this));
    setPage(static_cast<int>(WizardPage::Modem), new ModemPage(*this));
    setPage(static_cast<int>(WizardPage::Dialling), new DialPage(*this));
    setPage(static_cast<int>(WizardPage::Video), new VideoPage(*this));
    setPage(static_cast<int>(WizardPage::Card), new CardPage(*this));
    setStartId(static_cast<int>(WizardPage::Welcome));
    connect(this, &QWizard::helpRequested, this, [this] {
        if (help_)
            help_(static_cast<WizardPage>(std::max(0, currentId())));
    });
    resize(520, 400);
}

}  // namespace krl
