#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class Prompts;
}

namespace Ui {
class LocateArchiverDialog;
}

namespace stowline::ui {

// Asks for the archiver program: typed, chosen in a file dialog, or searched for below
// `searchRoot` (ArchiverSearch). The search keeps the window responsive and can be
// cancelled with the same button; closing the window cancels it first.
class LocateArchiverDialog final : public QDialog {
    Q_OBJECT
public:
    LocateArchiverDialog(const core::MessageTable& messages, platform::Prompts& prompts,
                         QString searchRoot, QStringList programNames, QWidget* parent = nullptr);
    ~LocateArchiverDialog() override;
    Q_DISABLE_COPY_MOVE(LocateArchiverDialog)

    // Captions from language `language` of `programFolder` (window name "Form12").
    void changeLang(const QString& programFolder, const QString& language);

    // The chosen program after OK; empty otherwise.
    QString result() const { return result_; }
    bool searching() const { return searching_; }

    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void searchOrCancel();

    const core::MessageTable& messages_;
    platform::Prompts& prompts_;
    QString searchRoot_;
    QStringList programNames_;
    std::unique_ptr<Ui::LocateArchiverDialog> ui_;
    QString result_;
    bool searching_ = false;
    bool cancelled_ = false;
    bool closeAfterSearch_ = false;
};

} // namespace stowline::ui
