#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>

class QPlainTextEdit;

namespace Ui {
class PresetGeneralPage;
class ActionsPage;
class FileListsPage;
class NotesPage;
} // namespace Ui

namespace stowline::ui {

// The tabs of the preset editor. The editor binds their fields through the field table
// (PresetFieldBinding.h) and wires the rules between tabs; a page only knows its own
// controls.

class PresetGeneralPage final : public QWidget {
    Q_OBJECT
public:
    explicit PresetGeneralPage(QWidget* parent = nullptr);
    ~PresetGeneralPage() override;
    Q_DISABLE_COPY_MOVE(PresetGeneralPage)
    Ui::PresetGeneralPage& ui() { return *ui_; }

private:
    std::unique_ptr<Ui::PresetGeneralPage> ui_;
};

class ActionsPage final : public QWidget {
    Q_OBJECT
public:
    explicit ActionsPage(QWidget* parent = nullptr);
    ~ActionsPage() override;
    Q_DISABLE_COPY_MOVE(ActionsPage)
    Ui::ActionsPage& ui() { return *ui_; }

private:
    void browseFolder();

    std::unique_ptr<Ui::ActionsPage> ui_;
};

// The include and exclude lists, one line each. Files and folders dropped from the file
// manager onto a list are added to it.
class FileListsPage final : public QWidget {
    Q_OBJECT
public:
    explicit FileListsPage(QWidget* parent = nullptr);
    ~FileListsPage() override;
    Q_DISABLE_COPY_MOVE(FileListsPage)
    Ui::FileListsPage& ui() { return *ui_; }

    static QStringList lines(const QPlainTextEdit& list);
    static void setLines(QPlainTextEdit& list, const QStringList& lines);
    bool onlyFiles() const;
    // Adds dropped local paths to the include or exclude list as the drop rules say.
    void dropPaths(QPlainTextEdit& list, const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::FileListsPage> ui_;
};

class NotesPage final : public QWidget {
    Q_OBJECT
public:
    explicit NotesPage(QWidget* parent = nullptr);
    ~NotesPage() override;
    Q_DISABLE_COPY_MOVE(NotesPage)
    Ui::NotesPage& ui() { return *ui_; }

private:
    std::unique_ptr<Ui::NotesPage> ui_;
};

} // namespace stowline::ui
