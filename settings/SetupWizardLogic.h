#pragma once

#include <string>

#include "connection/CommsSettings.h"
#include "settings/GeneralSettings.h"
#include "video/VideoSettings.h"

namespace krl {

// The pages of the setup wizard, in order.
enum class WizardPage { Welcome = 0, Modem, Dialling, Video, Card };
inline constexpr int kWizardPages = 5;

struct WizardButtons {
    bool back = false;
    bool next = false;
    bool finish = false;
    bool operator==(const WizardButtons&) const = default;
};

// The own business card's three text fields as the card page shows them (UTF-8).
struct CardFields {
    std::string name;
    std::string phone;
    std::string details;
    bool operator==(const CardFields&) const = default;
};

// The setup wizard's decisions and its copies of the Comms, Video and General blocks (the own
// card lives in the General block). The pages read their fields from these copies when shown
// and write them back when left, so values survive moving back and forth; the caller takes the
// copies back only on Finish.
class SetupWizardLogic {
public:
    // The name used for a value that cannot be read.
    static constexpr const char* kUnreadable = " ";
    static constexpr const char* kNoCamera = "None";

    // userName, companyName: the account's full name and company (UTF-8); empty when they
    // cannot be read.
    SetupWizardLogic(CommsSettings comms, VideoSettings video, GeneralSettings general,
                     std::string userName, std::string companyName);

    static WizardButtons buttons(WizardPage page);
    // The wizard is run at start-up while the port, the modem or the camera is not chosen.
    static bool needed(const CommsSettings& comms, const VideoSettings& video);
    // The three video check boxes apply only to a camera.
    static bool cameraChosen(const std::string& driver);
    // The camera list's selection for a stored driver: an empty name stands for "None".
    static std::string driverShown(const std::string& stored);

    // The card page's fields when the page is first shown: the stored card, or for a card
    // without a name the account's name and company (a single blank for one that cannot be
    // read) and an empty phone.
    CardFields cardFields() const;
    // Takes the card page: fields cut to what the card holds (Windows-1252 bytes); the card
    // flags byte becomes 1 when sendOnConnect is set and 0 when not.
    void setCard(const CardFields& fields, bool sendOnConnect);

    CommsSettings& comms() { return comms_; }
    VideoSettings& video() { return video_; }
    GeneralSettings& general() { return general_; }
    const CommsSettings& comms() const { return comms_; }
    const VideoSettings& video() const { return video_; }
    const GeneralSettings& general() const { return general_; }

private:
    CommsSettings comms_;
    VideoSettings video_;
    GeneralSettings general_;
    std::string userName_;
    std::string companyName_;
};

}  // namespace krl
