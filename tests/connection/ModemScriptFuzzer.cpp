// Hostile modem descriptions and modem answers: the input is a description file, a NUL, then
// what the modem says, fed a few bytes per step to a script that dials, fails and hangs up.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "connection/ModemCommand.h"
#include "connection/ModemScript.h"
#include "fakes/ManualClock.h"
#include "fakes/RecordingPresenter.h"

namespace {

class NullHost : public krl::ModemScriptHost {
public:
    void sendToModem(std::string_view bytes) override { sent += bytes.size(); }
    void scriptLog(std::string_view) override {}
    void scriptLogReceived(std::string_view) override {}
    void scriptDialling() override {}
    void scriptListening() override {}
    void scriptConnected() override {}
    void scriptFailed(bool) override {}
    void answerDeclined() override {}
    void scriptDisconnected() override {}
    std::size_t sent = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\0');
    std::string_view file = input.substr(0, split);
    std::string_view answers = split == std::string_view::npos ? "" : input.substr(split + 1);

    krl::connectSpeed(answers);
    krl::encodeCommand(file);
    krl::substitutePhoneNumber(file, answers, file);

    krl::test::ManualClock clock;
    NullHost host;
    krl::test::RecordingPresenter presenter;
    presenter.answerBy = [&presenter](const krl::Message&) {
        return presenter.shown.size() % 2 ? krl::MessageAnswer::Continue : krl::MessageAnswer::Yes;
    };
    krl::ModemScript script(host, presenter, clock);
    script.setScript(krl::IniFile::parse(file));
    krl::ScriptOptions options;
    options.timeSliceMs = size % 3 == 0 ? 0 : 200;
    options.ringsCount = static_cast<std::uint32_t>(size % 4);
    options.promptBeforeAnswer = size % 5 == 0;
    options.speakerOff = true;
    script.setOptions(options);
    script.setPhoneNumber(std::string(answers.substr(0, 40)));
    script.startGeneral(size % 2 ? krl::ScriptGoal::Dial : krl::ScriptGoal::Listen);
    for (std::size_t at = 0, step = 0; step < 2000; ++step) {
        std::size_t n = at < answers.size() ? std::min<std::size_t>(7, answers.size() - at) : 0;
        clock.advance(150);
        script.step(reinterpret_cast<const std::uint8_t*>(answers.data() + at), n);
        at += n;
        if (step == 1000)
            script.startDisconnect();
        if (script.phase() == krl::ScriptPhase::None && at >= answers.size())
            break;
    }
    return 0;
}
