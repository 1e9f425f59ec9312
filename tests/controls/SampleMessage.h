#pragma once

#include <optional>
#include <string>

#include "link/MessagePresenter.h"

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

}  // namespace krl::test
