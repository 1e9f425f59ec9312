#pragma once

#include <functional>
#include <optional>
#include <string>

namespace krl {

// The received-file-exists question. The answer comes later through the callback (or at once,
// inside the call): the final path, or nothing when the user cancelled.
class FileExistsQuestion {
public:
    using Answer = std::function<void(std::optional<std::string> path)>;
    virtual ~FileExistsQuestion() = default;
    virtual void ask(const std::string& proposedPath, Answer answer) = 0;
};

// Where received files go and what the receiver asks about.
struct ReceiveOptions {
    bool overwriteExisting = false;  // false: ask before replacing a file
    int launchOption = 2;            // 0 launch automatically, 1 do not launch, 2 ask
    // Whether an application can open the file; asked only with launch option 0. Empty means
    // "yes".
    std::function<bool(const std::string& path)> hasViewer;
};

}  // namespace krl
