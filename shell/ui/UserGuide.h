#pragma once

#include <QString>

#include "shell/HelpPages.h"

namespace krl {

// The program's own user guide: HTML pages installed beside it (share/kestrelcall/help), one
// per window, opened in the desktop's browser at the page of the window that asked.
class UserGuide {
public:
    // The installed guide, else the build tree's.
    UserGuide();
    explicit UserGuide(QString folder) : folder_(std::move(folder)) {}

    // page: a file name of the guide ("wizard.html"), optionally with "#part". False when the
    // page is not there or no browser took it.
    bool open(const QString& page) const;
    // The page of the window that asked.
    bool open(HelpWindow window) const;
    QString folder() const { return folder_; }

private:
    QString folder_;
};

}  // namespace krl
