#pragma once

#include <QDialog>
#include <vector>

#include "transfer/TransferHistoryFile.h"
#include "transfer/TransferSides.h"
#include "transfer/TransferWindowRecord.h"

class QPushButton;

namespace krl {

class CFileListCtrl;
class FileTransferWork;
class MessagePresenter;
class TransferHost;

// "File Transfer History" (template 143): the files sent or received in earlier calls. View
// opens the selected files, Forward queues them (after asking 5200), Clear removes their lines.
// The file is written back only when lines were cleared, and then only those lines leave it:
// opening and closing the dialog changes nothing, and a line added meanwhile stays.
class TransferHistoryDialog : public QDialog {
    Q_OBJECT

public:
    enum Control {
        Clear = 1057,
        Forward = 1058,
        View = 1059,
        CloseButton = 1060,
        List = 1061,
        HelpButton = 57670
    };

    TransferHistoryDialog(TransferSide side, FileTransferWork& work, TransferHost& host,
                          MessagePresenter& messages, TransferWindowRecord& record,
                          QWidget* parent = nullptr);

    CFileListCtrl* list() const { return list_; }
    void view();
    void forward();
    void clearSelected();

    void done(int result) override;

signals:
    // The Help button.
    void helpRequested();

private:
    void updateButtons();
    std::array<std::int32_t, 4>& widths();

    TransferSide side_;
    FileTransferWork& work_;
    TransferHost& host_;
    MessagePresenter& messages_;
    TransferWindowRecord& record_;
    std::vector<HistoryEntry> entries_;
    std::vector<HistoryEntry> removed_;
    CFileListCtrl* list_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* clear_ = nullptr;
};

}  // namespace krl
