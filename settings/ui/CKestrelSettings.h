#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "connection/CommsSettings.h"
#include "settings/GeneralSettings.h"
#include "settings/PortChoices.h"
#include "transfer/TonebaySettings.h"
#include "video/VideoSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace krl {

// The four settings blocks the sheet edits.
struct SheetBlocks {
    GeneralSettings general;
    CommsSettings comms;
    VideoSettings video;
    TonebaySettings tonebay;
    bool operator==(const SheetBlocks&) const = default;
};

// The pages of the sheet, in order.
enum class SheetPage { Kestrelcall = 0, Camera, RemoteImage, FileTransfer };

// "Kestrelcall Settings": the settings sheet. It edits copies of the blocks; the caller takes
// blocks() back only when exec() ends with OK. A value outside its control's range is brought
// inside before it is shown.
class CKestrelSettings : public QDialog {
    Q_OBJECT

public:
    struct Choices {
        std::vector<PortChoice> ports;
        std::vector<std::string> cameras;  // capture driver descriptions; "None" is added
        bool captureRunning = false;       // Source and Format work only on a running capture
        // The Camera page's Source (1121) and Format (1116) buttons.
        std::function<void(int control)> videoCommand;
    };

    CKestrelSettings(SheetBlocks blocks, SheetPage start, Choices choices,
                     QWidget* parent = nullptr);

    const SheetBlocks& blocks() const { return blocks_; }
    SheetPage currentPage() const;
    void setHelp(std::function<void(SheetPage)> help) { help_ = std::move(help); }

    void accept() override;

private:
    QWidget* buildKestrelPage();
    QWidget* buildCameraPage();
    QWidget* buildRemotePage();
    QWidget* buildTransferPage();
    void load();
    void greyCamera();
    void openModem();

    SheetBlocks blocks_;
    Choices choices_;
    std::function<void(SheetPage)> help_;
    QTabWidget* tabs_ = nullptr;

    QCheckBox* listen_ = nullptr;
    QCheckBox* prompt_ = nullptr;
    QCheckBox* rings_ = nullptr;
    QCheckBox* autoSend_ = nullptr;
    QCheckBox* showWhenRun_ = nullptr;
    QCheckBox* paging_ = nullptr;

    QComboBox* camera_ = nullptr;
    QCheckBox* mono_ = nullptr;
    QCheckBox* acceptSize_ = nullptr;
    QPushButton* source_ = nullptr;
    QPushButton* format_ = nullptr;

    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QSpinBox* refresh_ = nullptr;
    QCheckBox* fluoro_ = nullptr;
    QCheckBox* onTop_ = nullptr;
    QCheckBox* promptReceive_ = nullptr;

    QCheckBox* overwrite_ = nullptr;
    QLineEdit* recDir_ = nullptr;
    QRadioButton* launch_[3] = {};
    QCheckBox* clearQueue_ = nullptr;
};

}  // namespace krl
