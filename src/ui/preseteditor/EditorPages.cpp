#include "ui/preseteditor/EditorPages.h"

#include "ui/preseteditor/PresetEditorRules.h"

#include "ui_ActionsPage.h"
#include "ui_FileListsPage.h"
#include "ui_NotesPage.h"
#include "ui_PresetGeneralPage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>

namespace stowline::ui {

namespace {
void browseProgram(QLineEdit& field) {
    const QString file = QFileDialog::getOpenFileName(field.window(), QString(), field.text());
    if (!file.isEmpty())
        field.setText(file);
}
} // namespace

PresetGeneralPage::PresetGeneralPage(QWidget* parent)
    : QWidget(parent), ui_(new Ui::PresetGeneralPage) {
    setObjectName(QStringLiteral("tabgeneral"));
    ui_->setupUi(this);
    connect(ui_->browsebefore, &QToolButton::clicked, this,
            [this] { browseProgram(*ui_->eprogrambefore); });
    connect(ui_->browseafter, &QToolButton::clicked, this,
            [this] { browseProgram(*ui_->eprogramafter); });
}

PresetGeneralPage::~PresetGeneralPage() = default;

ActionsPage::ActionsPage(QWidget* parent) : QWidget(parent), ui_(new Ui::ActionsPage) {
    setObjectName(QStringLiteral("tabactions"));
    ui_->setupUi(this);
    connect(ui_->browsedestination, &QToolButton::clicked, this, &ActionsPage::browseFolder);
}

ActionsPage::~ActionsPage() = default;

void ActionsPage::browseFolder() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QString(), ui_->edestination->text());
    if (!folder.isEmpty())
        ui_->edestination->setText(folder);
}

FileListsPage::FileListsPage(QWidget* parent) : QWidget(parent), ui_(new Ui::FileListsPage) {
    setObjectName(QStringLiteral("tabfilelists"));
    ui_->setupUi(this);
    // Drag events reach the list or its viewport, whichever accepts drops.
    for (QPlainTextEdit* list : {ui_->eincludelist, ui_->eexcludelist}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
}

FileListsPage::~FileListsPage() = default;

QStringList FileListsPage::lines(const QPlainTextEdit& list) {
    const QString text = list.toPlainText();
    if (text.isEmpty())
        return {};
    QStringList result = text.split(QLatin1Char('\n'));
    // The last line's break is not a line of its own.
    if (result.last().isEmpty())
        result.removeLast();
    return result;
}

void FileListsPage::setLines(QPlainTextEdit& list, const QStringList& lines) {
    list.setPlainText(lines.join(QLatin1Char('\n')));
}

bool FileListsPage::onlyFiles() const {
    return ui_->conlyfiles->isChecked();
}

void FileListsPage::dropPaths(QPlainTextEdit& list, const QStringList& paths) {
    QStringList include = lines(*ui_->eincludelist);
    QStringList exclude = lines(*ui_->eexcludelist);
    for (const QString& path : paths) {
        if (&list == ui_->eincludelist)
            dropOnIncludeList(include, path, QFileInfo(path).isDir(), onlyFiles());
        else
            addUniqueLine(exclude, path);
        collapseEqualNeighbours(include);
        collapseEqualNeighbours(exclude);
    }
    setLines(*ui_->eincludelist, include);
    setLines(*ui_->eexcludelist, exclude);
}

bool FileListsPage::eventFilter(QObject* watched, QEvent* event) {
    const auto isPartOf = [watched](QPlainTextEdit* list) {
        return watched == list || watched == list->viewport();
    };
    QPlainTextEdit* list = isPartOf(ui_->eincludelist)   ? ui_->eincludelist
                           : isPartOf(ui_->eexcludelist) ? ui_->eexcludelist
                                                         : nullptr;
    if (!list)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData()->hasUrls()) {
            QStringList paths;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile())
                    paths << url.toLocalFile();
            dropPaths(*list, paths);
            drop->acceptProposedAction();
            window()->raise();
            window()->activateWindow();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

NotesPage::NotesPage(QWidget* parent) : QWidget(parent), ui_(new Ui::NotesPage) {
    setObjectName(QStringLiteral("tabnotes"));
    ui_->setupUi(this);
}

NotesPage::~NotesPage() = default;

} // namespace stowline::ui
