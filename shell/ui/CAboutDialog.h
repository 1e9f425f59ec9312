#pragma once

#include <QDialog>
#include <functional>

namespace krl {

class StringTable;

// "About Kestrelcall" (template 158): the program's picture, its version (string 508) and the
// Statistics button, which opens the Connection Statistics dialog on top.
class CAboutDialog : public QDialog {
public:
    static constexpr int kVersionId = 336;
    static constexpr int kStatisticsId = 1270;
    static constexpr int kVersionString = 508;

    CAboutDialog(const StringTable& strings, std::function<void()> statistics,
                 QWidget* parent = nullptr);
};

}  // namespace krl
