#pragma once

#include "core/DataFolder.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace stowline::ui {

// First-start dialog: keep the data for all users, for this user, or in a typed folder.
class DataFolderDialog final : public QDialog {
    Q_OBJECT
public:
    explicit DataFolderDialog(const core::DataFolderSetup& setup, QWidget* parent = nullptr);
    QString chosenFolder() const { return chosen_; }

private:
    void acceptChoice();

    const core::DataFolderSetup& setup_;
    QRadioButton* allUsersRadioButton_;
    QRadioButton* thisUserRadioButton_;
    QRadioButton* typedRadioButton_;
    QLineEdit* folderLineEdit_;
    QString chosen_;
};

// Shows the dialog when the data folder is not yet known.
class DataFolderDialogChooser final : public core::DataFolderChooser {
public:
    QString chooseDataFolder(const core::DataFolderSetup& setup) override;
};

} // namespace stowline::ui
