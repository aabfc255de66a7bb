#include "ui/DataFolderDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace stowline::ui {

DataFolderDialog::DataFolderDialog(const core::DataFolderSetup& setup, QWidget* parent)
    : QDialog(parent), setup_(setup) {
    setObjectName(QStringLiteral("datafolderform"));
    setWindowTitle(QStringLiteral("Where should SWL keep its settings?"));
    allUsersRadioButton_ =
        new QRadioButton(QStringLiteral("For all users: %1").arg(setup.allUsersFolder()), this);
    thisUserRadioButton_ = new QRadioButton(
        QStringLiteral("For this user only: %1").arg(setup.thisUserFolder()), this);
    typedRadioButton_ = new QRadioButton(QStringLiteral("In this folder:"), this);
    folderLineEdit_ = new QLineEdit(this);
    folderLineEdit_->setObjectName(QStringLiteral("folderLineEdit"));
    thisUserRadioButton_->setChecked(true);
    connect(folderLineEdit_, &QLineEdit::textEdited, typedRadioButton_,
            [this] { typedRadioButton_->setChecked(true); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &DataFolderDialog::acceptChoice);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{allUsersRadioButton_, thisUserRadioButton_,
                                         typedRadioButton_, folderLineEdit_, buttons})
        layout->addWidget(widget);
}

void DataFolderDialog::acceptChoice() {
    QString folder;
    if (allUsersRadioButton_->isChecked())
        folder = setup_.allUsersFolder();
    else if (thisUserRadioButton_->isChecked())
        folder = setup_.thisUserFolder();
    else
        folder = folderLineEdit_->text().trimmed();
    if (folder.isEmpty())
        return;
    const core::DataFolderSetup::Choice choice =
        setup_.choose(folder, typedRadioButton_->isChecked());
    if (!choice.message.isEmpty())
        QMessageBox::warning(this, windowTitle(), choice.message);
    if (!choice.accepted)
        return;
    chosen_ = folder;
    accept();
}

QString DataFolderDialogChooser::chooseDataFolder(const core::DataFolderSetup& setup) {
    DataFolderDialog dialog(setup);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenFolder() : QString();
}

} // namespace stowline::ui
