#pragma once

#include "backup/DeliveryHistory.h"
#include "backup/Preset.h"
#include "ui/restore/RestoreServices.h"

#include <QDialog>

#include <memory>

class QTreeWidgetItem;

namespace Ui {
class RestoreWindow;
}

namespace stowline::ui {

// One shown line of the delivery history and what is known about its archive.
struct RestoreRow {
    backup::DeliveryRecord record;
    backup::DeliveryMark mark = backup::DeliveryMark::Untested;
    QString sizeText = QStringLiteral("?");
    // Where a download of an uploaded archive was saved.
    QString localCopy;
};

// Where the archives of one preset went: every line of its delivery history, with the
// commands to check which of them still exist, to open them and to fetch an upload back.
class RestoreWindow final : public QDialog {
    Q_OBJECT
public:
    // The window's name in the language files' FORMS section.
    static constexpr const char* kFormName = "restoreform";

    RestoreWindow(RestoreServices services, QString presetName, QWidget* parent = nullptr);
    ~RestoreWindow() override;
    Q_DISABLE_COPY_MOVE(RestoreWindow)

    // The restore command: shows the window modally when the preset's history has lines.
    static void open(const RestoreServices& services, const QString& presetName,
                     QWidget* parent = nullptr);

    // Reads the history again; false (the list unchanged) when it is missing or empty.
    bool loadList();
    const QList<RestoreRow>& rows() const { return rows_; }
    const backup::tarcopt& preset() const { return preset_; }

    // The commands of the window.
    void refreshCopies();
    void refreshDiscFiles();
    void refreshUploads();
    void activateRow(int row);
    void openFolderLink();
    // Marks the uploads after a listing of the server folder; an empty listing changes
    // nothing.
    void markUploads(const QStringList& listing);
    // Extracts the row's archive into a folder the person at the desk chooses, asking for
    // the password when the archive has one and before files there are replaced.
    void restoreToFolder(int row);
    // The archive of a row as a local file: the copy, the file on the mounted disc, the
    // downloaded upload. Empty when there is none.
    QString localArchive(int row) const;

private:
    void showRow(int row);
    void openDownload(int row);
    QString discFile(const QString& location) const;
    int extract(const QString& archive, const QString& folder, const QString& password,
                bool replaceExisting, QString& report);
    int selectedRow() const;

    RestoreServices s_;
    QString presetName_;
    std::unique_ptr<Ui::RestoreWindow> ui_;
    backup::tarcopt preset_;
    QList<RestoreRow> rows_;
};

} // namespace stowline::ui
