// Feeds arbitrary bytes to the message formatter, the message definition builder and the
// animation script interpreter: none may crash, read out of bounds or fail to return.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "controls/AnimationScript.h"
#include "controls/MessageDefinition.h"
#include "controls/MessageFormat.h"
#include "resources/StringTable.h"

namespace {

class Frames : public krl::AnimationFrames {
public:
    int count() const override { return count_; }
    bool append(int resource) override {
        if (resource % 3 == 0)
            return false;
        ++count_;
        return true;
    }
    void clear() override { count_ = 0; }

private:
    int count_ = 2;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t half = input.size() / 2;
    std::string pattern(input.substr(0, half));
    std::string argument(input.substr(half));

    (void)krl::formatMessageText(pattern, argument, static_cast<long>(size) - 100);
    (void)krl::formatMessageText(pattern, std::nullopt, -1);

    krl::StringTable table = krl::StringTable::parse(input);
    krl::Message message;
    message.id = 4000;
    message.text = argument;
    (void)krl::MessageDefinition::build(table, message);

    krl::AnimationScript script{std::string(input)};
    krl::AnimationState state;
    Frames frames;
    for (int tick = 0; tick < 64; ++tick) {
        krl::AnimationTick t = script.step(state, frames, krl::AnimationArea{0, 0, 50, 50});
        if (t.outcome != krl::AnimationTick::Outcome::Running)
            break;
    }
    return 0;
}
