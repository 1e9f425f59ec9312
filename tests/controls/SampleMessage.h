#pragma once

#include <optional>
#include <string>

#include "base/MessagePresenter.h"
#include "resources/StringTable.h"

namespace krl::test {

inline Message message(int id, MessageKind kind = MessageKind::Error,
                       std::optional<std::string> text = std::nullopt,
                       std::optional<long> number = std::nullopt) {
    Message m;
    m.id = id;
    m.kind = kind;
    m.text = std::move(text);
    m.number = number;
    return m;
}

// Messages with every shape a definition can take: a line with a button, none, three or four
// extra lines, the whole row; entry N+9 belongs to the next message.
inline const StringTable& sampleTable() {
    static const StringTable table = StringTable::parse(
        "50\tMs Sans Serif\n70\tError\n71\tConfirmation\n72\tAcknowledgment\n"
        "100\tPort %s is busy.\\x0D\\nTry again.\n101\tClick OK to see the settings.\n"
        "102\t\\x20\n103\t\\x20\n106\t\\x20\n"
        "200\tNothing to press.\n"
        "300\tFour lines.\n301\tone\n302\ttwo\n303\tthree\n304\tfour\n305\t\\x20\n"
        "400\tAll of them.\n401\t\\x20\n402\t\\x20\n403\t\\x20\n404\t\\x20\n405\t\\x20\n"
        "406\t\\x20\n407\t\\x20\n408\t\\x20\n409\tbelongs to the next message\n"
        "500\tThree lines here.\n501\tFirst extra line.\n502\tSecond one.\n503\tThird.\n"
        "505\t\\x20\n");
    return table;
}

}  // namespace krl::test
