#include "ui/preseteditor/AddFoldersForm.h"

#include "core/MessageTable.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"
#include "ui/preseteditor/PresetEditorRules.h"

#include "ui_AddFoldersForm.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>

namespace stowline::ui {

namespace {
QStringList itemTexts(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts << list.item(row)->text();
    return texts;
}
} // namespace

AddFoldersForm::AddFoldersForm(AddFoldersServices services, bool onlyFiles, QWidget* parent)
    : QDialog(parent), s_(std::move(services)), ui_(new Ui::AddFoldersForm),
      model_(new QFileSystemModel(this)), onlyFiles_(onlyFiles) {
    ui_->setupUi(this);
    const std::pair<QToolButton*, QStyle::StandardPixmap> icons[] = {
        {ui_->back, QStyle::SP_ArrowBack},
        {ui_->browse, QStyle::SP_DirOpenIcon},
        {ui_->viewmode, QStyle::SP_FileDialogDetailedView},
        {ui_->fontlarger, QStyle::SP_ArrowUp},
        {ui_->fontsmaller, QStyle::SP_ArrowDown},
    };
    for (const auto& [button, icon] : icons) {
        button->setText(QString());
        button->setIcon(style()->standardIcon(icon));
    }
    NamedCaptionKeys named;
    for (int i = 0; i < 5; ++i)
        named.hints << HintCaptionKey{QStringLiteral("addfoldersformlist%1").arg(i + 1),
                                      {icons[i].first}};
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.language, named);

    model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    model_->setReadOnly(true);
    ui_->files->setModel(model_);
    ui_->files->setRootIsDecorated(false);
    ui_->files->setItemsExpandable(false);
    ui_->files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui_->files->installEventFilter(this);
    ui_->includes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui_->excludes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui_->includes->installEventFilter(this);
    ui_->excludes->installEventFilter(this);
    ui_->epath->lineEdit()->installEventFilter(this);

    connect(ui_->files, &QTreeView::activated, this, &AddFoldersForm::activated);
    connect(ui_->back, &QToolButton::clicked, this, &AddFoldersForm::openParent);
    connect(ui_->browse, &QToolButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QString(), currentFolder());
        if (!folder.isEmpty())
            openFolder(folder);
    });
    connect(ui_->viewmode, &QToolButton::clicked, this, [this] {
        // Details or names only, with larger icons.
        const bool details = !ui_->files->isColumnHidden(1);
        for (int column = 1; column < model_->columnCount(); ++column)
            ui_->files->setColumnHidden(column, details);
        const int size =
            style()->pixelMetric(details ? QStyle::PM_LargeIconSize : QStyle::PM_SmallIconSize);
        ui_->files->setIconSize(QSize(size, size));
    });
    connect(ui_->fontlarger, &QToolButton::clicked, this, [this] { changeListFont(1); });
    connect(ui_->fontsmaller, &QToolButton::clicked, this, [this] { changeListFont(-1); });
    connect(ui_->addinclude, &QPushButton::clicked, this, [this] { addSelected(true); });
    connect(ui_->addexclude, &QPushButton::clicked, this, [this] { addSelected(false); });
    connect(ui_->bok, &QPushButton::clicked, this, &AddFoldersForm::accept);
    connect(ui_->bcancel, &QPushButton::clicked, this, &AddFoldersForm::reject);
    connect(ui_->bhelp, &QPushButton::clicked, this, [this] {
        if (s_.showHelp)
            s_.showHelp(helpTopicForTab(EditorTab::FileLists));
    });
    openFolder(QDir::rootPath());
}

AddFoldersForm::~AddFoldersForm() = default;

QStringList AddFoldersForm::includeAdditions() const {
    return itemTexts(*ui_->includes);
}

QStringList AddFoldersForm::excludeAdditions() const {
    return itemTexts(*ui_->excludes);
}

QString AddFoldersForm::currentFolder() const {
    return model_->filePath(ui_->files->rootIndex());
}

bool AddFoldersForm::openFolder(const QString& path) {
    const QFileInfo folder(path);
    if (!folder.isDir())
        return false;
    const QString absolute = folder.absoluteFilePath();
    ui_->files->setRootIndex(model_->setRootPath(absolute));
    rememberFolder(absolute);
    return true;
}

void AddFoldersForm::rememberFolder(const QString& path) {
    // The folders visited, newest first, each once.
    QComboBox& box = *ui_->epath;
    const QSignalBlocker quiet(box);
    const int known = box.findText(path);
    if (known >= 0)
        box.removeItem(known);
    box.insertItem(0, path);
    box.setCurrentIndex(0);
}

void AddFoldersForm::openParent() {
    QDir folder(currentFolder());
    if (!folder.cdUp()) {
        QApplication::beep();
        return;
    }
    openFolder(folder.absolutePath());
}

void AddFoldersForm::openTypedPath() {
    if (!openFolder(ui_->epath->currentText().trimmed()))
        QApplication::beep();
}

void AddFoldersForm::activated(const QModelIndex& index) {
    if (model_->isDir(index))
        openFolder(model_->filePath(index));
}

void AddFoldersForm::selectPath(const QString& path) {
    const QModelIndex index = model_->index(path);
    if (index.isValid())
        ui_->files->selectionModel()->select(index, QItemSelectionModel::Select |
                                                        QItemSelectionModel::Rows);
}

void AddFoldersForm::addSelected(bool toInclude) {
    QListWidget& list = toInclude ? *ui_->includes : *ui_->excludes;
    QStringList lines = itemTexts(list);
    for (const QModelIndex& index : ui_->files->selectionModel()->selectedRows()) {
        const QString path = model_->filePath(index);
        const QString line =
            toInclude ? includeLineForPath(path, model_->isDir(index), onlyFiles_) : path;
        if (addUniqueLine(lines, line))
            list.addItem(line);
    }
}

void AddFoldersForm::changeListFont(int step) {
    QFont font = ui_->includes->font();
    const int size = qBound(kSmallestFont, font.pointSize() + step, kLargestFont);
    font.setPointSize(size);
    ui_->includes->setFont(font);
    ui_->excludes->setFont(font);
}

void AddFoldersForm::removeSelectedLines(QListWidget& list) {
    qDeleteAll(list.selectedItems());
}

bool AddFoldersForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == ui_->epath->lineEdit() && enter) {
        openTypedPath();
        return true;
    }
    if (watched == ui_->files && key == Qt::Key_Backspace) {
        openParent();
        return true;
    }
    if ((watched == ui_->includes || watched == ui_->excludes) && key == Qt::Key_Delete) {
        removeSelectedLines(*static_cast<QListWidget*>(watched));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AddFoldersForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (s_.showHelp)
            s_.showHelp(helpTopicForTab(EditorTab::FileLists));
        return;
    }
    // Enter belongs to the path box and the file list, not to the OK button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

} // namespace stowline::ui
