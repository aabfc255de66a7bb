#pragma once

#include "backup/Preset.h"
#include "ui/restore/RestoreServices.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FtpCheckWindow;
}

namespace stowline::ui {

// Lists the preset's server folder, so that the restore window can mark which uploads
// are still there. Every field starts from the preset and can be changed first.
class FtpCheckWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFormName = "ftpcheckform";

    FtpCheckWindow(const RestoreServices& services, const backup::tarcopt& preset,
                   QWidget* parent = nullptr);
    ~FtpCheckWindow() override;
    Q_DISABLE_COPY_MOVE(FtpCheckWindow)

    // Fetches the listing; on success emits listed() and closes the window.
    void start();
    // The listing file, removed again once read: data folder + "/ftpdir.txt".
    QString listingPath() const;

signals:
    // The names in the server folder, one per entry.
    void listed(const QStringList& names);

private:
    void say(const QString& line);

    RestoreServices s_;
    int tlsMode_;
    std::unique_ptr<Ui::FtpCheckWindow> ui_;
};

} // namespace stowline::ui
