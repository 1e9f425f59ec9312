#include "shell/PanelLayout.h"

namespace krl {

PanelLayout PanelLayout::of(const PlacementRecord& p, const FrameMetrics& m) {
    PanelLayout l;
    const int L = p.leftMargin;
    const int T = p.topMargin;
    const int R = p.secondRow;
    l.width = p.width - 2 * m.fixedFrameHeight;
    l.height = p.height - m.captionHeight - m.menuHeight - 2 * m.fixedFrameHeight;
    l.cardShown = p.cardPanelShown != 0;

    const int bigWidth = 60 - L;
    const int bigHeight = 61 - T;
    std::size_t n = 0;
    auto put = [&l, &n](CommandId id, PanelRect r) { l.buttons[n++] = {id, r}; };
    put(CommandId::Dial, {L, T, bigWidth, bigHeight});
    put(CommandId::Disconnect, {L, T, bigWidth, bigHeight});
    int right = L + bigWidth;
    for (CommandId id :
         {CommandId::Video, CommandId::FileTransfer, CommandId::Chat, CommandId::Options}) {
        const int left = right + L + 2;
        put(id, {left, T, bigWidth, bigHeight});
        right = left + bigWidth;
    }
    constexpr int kSmall = 22;
    put(CommandId::Hold, {L, R + 4, kSmall, kSmall});
    put(CommandId::ShowCard, {right - kSmall, R + 4, kSmall, kSmall});
    put(CommandId::HideCard, {right - kSmall, R + 4, kSmall, kSmall});
    // The status line fills the second row between Hold and the card button, 5 pixels apart.
    l.status = {L + kSmall + 5, R, right - kSmall - 5 - (L + kSmall + 5), 26};
    l.separator = {0, R + 26 + 5, l.width, 4};
    const int textTop = T + 105;
    l.cardText = {L + 3, textTop, l.width - 23 - (L + 3), 137};
    // A 160 x 120 picture with its 2-pixel frame, centred under the text.
    const int pictureTop = textTop + 137;
    l.cardPicture = {(l.width - 2 * L - 160) / 2, pictureTop, 160 + 4, 120 + 4};
    put(CommandId::AddToAddressBook,
        {l.width - 2 * kSmall, pictureTop + 124 - kSmall, kSmall, kSmall});
    return l;
}

PanelRect PanelLayout::button(CommandId id) const {
    for (const Button& b : buttons) {
        if (b.id == id)
            return b.rect;
    }
    return {};
}

}  // namespace krl
