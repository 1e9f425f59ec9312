#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;

namespace krl {

// "Video Source": which capture driver the picture comes from (the cameras found, the test
// pattern, or "None").
class VideoSourceDialog : public QDialog {
public:
    VideoSourceDialog(QWidget* parent, std::vector<std::string> drivers,
                      const std::string& current);

    std::string chosen() const;
    QComboBox* sourceBox() const { return box_; }

private:
    QComboBox* box_ = nullptr;
};

}  // namespace krl
