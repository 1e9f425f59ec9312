#include "settings/SetupWizardLogic.h"

#include <utility>

#include "addressbook/CardRecord.h"
#include "base/Cp1252.h"

namespace krl {
namespace {

std::string orBlank(const std::string& text) {
    return text.empty() ? SetupWizardLogic::kUnreadable : text;
}

// Windows-1252 bytes of a typed text, cut to whole characters within the field.
Cp1252Text fieldBytes(const std::string& utf8, std::size_t maxBytes) {
    std::string bytes = utf8ToCp1252(utf8).bytes();
    if (bytes.size() > maxBytes)
        bytes.resize(maxBytes);
    return Cp1252Text(std::move(bytes));
}

}  // namespace

SetupWizardLogic::SetupWizardLogic(CommsSettings comms, VideoSettings video,
                                   GeneralSettings general, std::string userName,
                                   std::string companyName)
    : comms_(std::move(comms)),
      video_(std::move(video)),
      general_(std::move(general)),
      userName_(std::move(userName)),
      companyName_(std::move(companyName)) {}

WizardButtons SetupWizardLogic::buttons(WizardPage page) {
    switch (page) {
        case WizardPage::Welcome:
            return {false, true, false};
        case WizardPage::Modem:
        case WizardPage::Dialling:
        case WizardPage::Video:
            return {true, true, false};
        case WizardPage::Card:
            return {true, false, true};
    }
    return {};
}

bool SetupWizardLogic::needed(const CommsSettings& comms, const VideoSettings& video) {
    return comms.portName.empty() || comms.modemName.empty() || video.driver.empty();
}

bool SetupWizardLogic::cameraChosen(const std::string& driver) {
    return !driver.empty() && driver != kNoCamera;
}

std::string SetupWizardLogic::driverShown(const std::string& stored) {
    return stored.empty() ? kNoCamera : stored;
}

CardFields SetupWizardLogic::cardFields() const {
    const CardRecord card = CardRecord::fromBytes(general_.ownCard.data(), general_.ownCard.size());
    if (card.name.empty())
        return {orBlank(userName_), "", orBlank(companyName_)};
    return {cp1252ToUtf8(card.name), cp1252ToUtf8(card.phone), cp1252ToUtf8(card.details)};
}

void SetupWizardLogic::setCard(const CardFields& fields, bool sendOnConnect) {
    CardRecord card = CardRecord::fromBytes(general_.ownCard.data(), general_.ownCard.size());
    card.name = fieldBytes(fields.name, CardRecord::kNameChars);
    card.phone = fieldBytes(fields.phone, CardRecord::kPhoneChars);
    card.details = fieldBytes(fields.details, CardRecord::kDetailsChars);
    general_.ownCard = card.storable().toBytes();
    general_.cardFlags = sendOnConnect ? GeneralSettings::kSendCardOnConnect : 0;
}

}  // namespace krl
