#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QFileSystemModel;
class QListWidget;

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class Prompts;
}

namespace Ui {
class AddFoldersForm;
}

namespace stowline::ui {

struct AddFoldersServices {
    const core::MessageTable& messages;
    platform::Prompts& prompts;
    QString programFolder;
    QString language;
    std::function<void(const QString& topic)> showHelp;
};

// A small file browser over the local file systems from which files and folders are
// collected for the include and exclude lists of the preset editor.
class AddFoldersForm final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFormName = "addfoldersform";
    static constexpr int kSmallestFont = 4;
    static constexpr int kLargestFont = 10;

    // With `onlyFiles` (the editor's box) a folder is added to the include list as its
    // files.
    AddFoldersForm(AddFoldersServices services, bool onlyFiles, QWidget* parent = nullptr);
    ~AddFoldersForm() override;
    Q_DISABLE_COPY_MOVE(AddFoldersForm)

    QStringList includeAdditions() const;
    QStringList excludeAdditions() const;

    // Shows the folder `path`; false when it is not a folder.
    bool openFolder(const QString& path);
    QString currentFolder() const;
    // The folder above the current one; a beep at the top.
    void openParent();
    // Selects the item at `path` in the current folder (for the keyboard and tests).
    void selectPath(const QString& path);
    // Adds the selected items to the include or the exclude list, each once.
    void addSelected(bool toInclude);
    void changeListFont(int step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openTypedPath();
    void activated(const QModelIndex& index);
    void rememberFolder(const QString& path);
    static void removeSelectedLines(QListWidget& list);

    AddFoldersServices s_;
    std::unique_ptr<Ui::AddFoldersForm> ui_;
    QFileSystemModel* model_;
    bool onlyFiles_;
};

} // namespace stowline::ui
