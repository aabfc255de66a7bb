#include "ui/restore/RestoreWindow.h"

#include "ui_RestoreWindow.h"

#include "backup/PresetFiles.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/TextFiles.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"
#include "ui/help/HelpTopics.h"
#include "ui/restore/ArchiveExtraction.h"
#include "ui/restore/DesktopOpener.h"
#include "ui/restore/FtpCheckWindow.h"
#include "ui/restore/FtpDownloadWindow.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QProgressDialog>
#include <QShortcut>
#include <QStyle>

namespace stowline::ui {

using backup::DeliveryMark;

namespace {
constexpr int kStampColumn = 0;
constexpr int kKindColumn = 1;
constexpr int kLocationColumn = 2;
constexpr int kSizeColumn = 3;
constexpr int kStampColumnWidth = 175;
constexpr int kKindColumnWidth = 80;
constexpr int kLocationColumnWidth = 360;

QIcon markIcon(const QStyle& style, DeliveryMark mark) {
    switch (mark) {
    case DeliveryMark::Present:
        return style.standardIcon(QStyle::SP_DialogApplyButton);
    case DeliveryMark::Missing:
        return style.standardIcon(QStyle::SP_DialogCancelButton);
    case DeliveryMark::Untested:
        break;
    }
    return style.standardIcon(QStyle::SP_MessageBoxQuestion);
}

QString markName(DeliveryMark mark) {
    switch (mark) {
    case DeliveryMark::Present:
        return QStringLiteral("present");
    case DeliveryMark::Missing:
        return QStringLiteral("missing");
    case DeliveryMark::Untested:
        break;
    }
    return QStringLiteral("untested");
}

bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}
} // namespace

RestoreWindow::RestoreWindow(RestoreServices services, QString presetName, QWidget* parent)
    : QDialog(parent), s_(std::move(services)), presetName_(std::move(presetName)),
      ui_(std::make_unique<Ui::RestoreWindow>()) {
    ui_->setupUi(this);
    s_.store.LoadPreset(presetName_, preset_);

    QHeaderView* header = ui_->historyList->header();
    header->resizeSection(kStampColumn, kStampColumnWidth);
    header->resizeSection(kKindColumn, kKindColumnWidth);
    header->resizeSection(kLocationColumn, kLocationColumnWidth);

    connect(ui_->only3items, &QCheckBox::clicked, this, &RestoreWindow::loadList);
    connect(ui_->refreshcopies, &QPushButton::clicked, this, &RestoreWindow::refreshCopies);
    connect(ui_->refreshcd, &QPushButton::clicked, this, &RestoreWindow::refreshDiscFiles);
    connect(ui_->refreshftp, &QPushButton::clicked, this, &RestoreWindow::refreshUploads);
    connect(ui_->historyList, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        activateRow(ui_->historyList->indexOfTopLevelItem(item));
    });
    connect(ui_->folderlink, &QLabel::linkActivated, this, &RestoreWindow::openFolderLink);
    ui_->folderlink->setToolTip(preset_.dir);
    connect(ui_->helpbutton, &QPushButton::clicked, this,
            [this] { s_.help.ShowHelpTopic(QString::fromLatin1(topics::kRestore)); });
    connect(ui_->restoretofolder, &QPushButton::clicked, this,
            [this] { restoreToFolder(selectedRow()); });
    ui_->historyList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui_->historyList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = ui_->historyList->indexOfTopLevelItem(ui_->historyList->itemAt(at));
        if (row < 0)
            return;
        QMenu menu(this);
        menu.addAction(ui_->restoretofolder->text(), this, [this, row] { restoreToFolder(row); });
        menu.exec(ui_->historyList->viewport()->mapToGlobal(at));
    });
    connect(ui_->closebutton, &QPushButton::clicked, this, &QDialog::reject);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, ui_->helpbutton,
            &QPushButton::click);

    NamedCaptionKeys named;
    named.lists << ListCaptionKeys{QStringLiteral("restoreformcolumn"), ui_->historyList};
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.languageName, named);
    setWindowTitle(windowTitle() + QStringLiteral(" - ") + presetName_);
}

RestoreWindow::~RestoreWindow() = default;

void RestoreWindow::open(const RestoreServices& services, const QString& presetName,
                         QWidget* parent) {
    if (!QFileInfo::exists(services.store.presetFilePath(presetName, QStringLiteral(".hst"))))
        return;
    RestoreWindow window(services, presetName, parent);
    if (window.loadList())
        window.exec();
}

bool RestoreWindow::loadList() {
    const std::optional<QStringList> lines =
        core::readTextLines(s_.store.presetFilePath(presetName_, QStringLiteral(".hst")));
    if (!lines || lines->isEmpty())
        return false;
    // A download stays with its row when the list is shown again.
    QHash<QString, QString> downloads;
    for (const RestoreRow& row : std::as_const(rows_))
        if (!row.localCopy.isEmpty())
            downloads.insert(row.record.stamp + row.record.location, row.localCopy);
    rows_.clear();
    ui_->historyList->clear();
    for (backup::DeliveryRecord& record :
         backup::deliveryRecords(*lines, ui_->only3items->isChecked())) {
        RestoreRow row;
        row.record = std::move(record);
        row.localCopy = downloads.value(row.record.stamp + row.record.location);
        rows_ << row;
        ui_->historyList->addTopLevelItem(new QTreeWidgetItem(
            QStringList{row.record.stamp, row.record.kindText, row.record.location, row.sizeText}));
        showRow(static_cast<int>(rows_.size() - 1));
    }
    return true;
}

void RestoreWindow::showRow(int row) {
    const RestoreRow& shown = rows_.at(row);
    QTreeWidgetItem* item = ui_->historyList->topLevelItem(row);
    item->setIcon(kStampColumn, markIcon(*style(), shown.mark));
    item->setData(kStampColumn, Qt::AccessibleDescriptionRole, markName(shown.mark));
    item->setText(kSizeColumn, shown.sizeText);
}

void RestoreWindow::refreshCopies() {
    for (int i = 0; i < rows_.size(); ++i) {
        RestoreRow& row = rows_[i];
        if (row.record.kind() != backup::kCopyKind)
            continue;
        const QFileInfo file(row.record.location);
        if (isFile(row.record.location)) {
            row.mark = DeliveryMark::Present;
            row.sizeText = QString::number(file.size());
        } else {
            row.mark = DeliveryMark::Missing;
            row.sizeText = QStringLiteral("n/a");
        }
        showRow(i);
    }
}

QString RestoreWindow::discFile(const QString& location) const {
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    return backup::mountedDiscFile(location, backup::parseMountTable(table.readAll()))
        .value_or(QString());
}

void RestoreWindow::refreshDiscFiles() {
    for (int i = 0; i < rows_.size(); ++i) {
        RestoreRow& row = rows_[i];
        if (row.record.kind() != backup::kDiscKind)
            continue;
        row.mark =
            isFile(discFile(row.record.location)) ? DeliveryMark::Present : DeliveryMark::Missing;
        showRow(i);
    }
}

void RestoreWindow::refreshUploads() {
    FtpCheckWindow check(s_, preset_, this);
    connect(&check, &FtpCheckWindow::listed, this, &RestoreWindow::markUploads);
    check.exec();
}

void RestoreWindow::markUploads(const QStringList& listing) {
    if (listing.isEmpty())
        return;
    for (int i = 0; i < rows_.size(); ++i) {
        RestoreRow& row = rows_[i];
        if (row.record.kind() != backup::kFtpKind)
            continue;
        row.mark = backup::listingHolds(listing, backup::uploadedFileName(row.record.location))
                       ? DeliveryMark::Present
                       : DeliveryMark::Missing;
        showRow(i);
    }
}

QString RestoreWindow::localArchive(int row) const {
    if (row < 0 || row >= rows_.size())
        return {};
    const RestoreRow& shown = rows_.at(row);
    QString path;
    if (shown.record.kind() == backup::kCopyKind)
        path = shown.record.location;
    else if (shown.record.kind() == backup::kDiscKind)
        path = discFile(shown.record.location);
    else if (shown.record.kind() == backup::kFtpKind)
        path = shown.localCopy;
    return isFile(path) ? path : QString();
}

void RestoreWindow::activateRow(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    const backup::DeliveryRecord& record = rows_.at(row).record;
    const QChar kind = record.kind();
    if (kind == backup::kCopyKind || kind == backup::kDiscKind) {
        const QString path = localArchive(row);
        if (path.isEmpty())
            s_.prompts.showMessage(QLatin1Char('\n') + s_.messages.text(u"cannotlocatefile"));
        else
            s_.opener.openArchive(path, s_.options.pwi);
    } else if (kind == backup::kMailKind) {
        const backup::MailRecordParts parts = backup::mailRecordParts(record);
        s_.prompts.showMessage(QLatin1Char('\n') +
                               core::formatMessage(s_.messages.text(u"restoreemail"),
                                                   {parts.recipient, parts.fileName,
                                                    s_.messages.text(u"sentbyswl"), parts.day}));
    } else if (kind == backup::kFtpKind) {
        openDownload(row);
    }
}

void RestoreWindow::openDownload(int row) {
    FtpDownloadWindow download(s_, preset_, backup::splitFtpLocation(rows_.at(row).record.location),
                               this);
    connect(&download, &FtpDownloadWindow::downloaded, this,
            [this, row](const QString& path) { rows_[row].localCopy = path; });
    download.exec();
}

int RestoreWindow::selectedRow() const {
    return ui_->historyList->indexOfTopLevelItem(ui_->historyList->currentItem());
}

void RestoreWindow::restoreToFolder(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    const QString archive = localArchive(row);
    if (archive.isEmpty()) {
        const bool upload = rows_.at(row).record.kind() == backup::kFtpKind;
        s_.prompts.showMessage(QLatin1Char('\n') + s_.messages.text(upload ? u"restoredownloadfirst"
                                                                           : u"cannotlocatefile"));
        return;
    }
    const QString folder =
        s_.chooseFolder
            ? s_.chooseFolder(s_.messages.text(u"restorechoosefolder"), QDir::homePath())
            : QString();
    if (folder.isEmpty())
        return;
    const bool replace =
        !QDir(folder).isEmpty() &&
        s_.prompts.askYesNo(
            QLatin1Char('\n') +
            core::formatMessage(s_.messages.text(u"restorereplaceexisting"), {folder}));
    QString password;
    QString report;
    int exitCode = extract(archive, folder, password, replace, report);
    while (exitCode == ArchiveExtraction::kWrongPassword) {
        QString answer;
        if (!s_.prompts.askText(s_.messages.text(u"restorepassword"),
                                core::formatMessage(s_.messages.text(u"restorepasswordfor"),
                                                    {QFileInfo(archive).fileName()}),
                                answer, true) ||
            answer.isEmpty())
            return;
        password = answer;
        exitCode = extract(archive, folder, password, replace, report);
    }
    if (exitCode == ArchiveExtraction::kSuccess || exitCode == ArchiveExtraction::kWarning)
        s_.prompts.showMessage(
            QLatin1Char('\n') +
            core::formatMessage(s_.messages.text(u"restoredone"), {archive, folder}) +
            QLatin1Char('\n') + report);
    else
        s_.prompts.showError(QLatin1Char('\n') +
                             core::formatMessage(s_.messages.text(u"restorefailed"),
                                                 {archive, QString::number(exitCode)}) +
                             QLatin1Char('\n') + report);
}

int RestoreWindow::extract(const QString& archive, const QString& folder, const QString& password,
                           bool replaceExisting, QString& report) {
    ArchiveExtraction extraction(s_.extractor);
    QProgressDialog progress(
        core::formatMessage(s_.messages.text(u"restoring"), {QFileInfo(archive).fileName()}),
        s_.messages.text(u"restorecancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    QEventLoop loop;
    int exitCode = -1;
    bool done = false;
    connect(&extraction, &ArchiveExtraction::progress, &progress,
            [&progress](qint64 done, qint64 total) {
                if (total <= 0)
                    return;
                progress.setMaximum(100);
                progress.setValue(static_cast<int>(done * 100 / total));
            });
    connect(&extraction, &ArchiveExtraction::finished, &loop, [&](int code) {
        exitCode = code;
        done = true;
        loop.quit();
    });
    connect(&progress, &QProgressDialog::canceled, &extraction, &ArchiveExtraction::cancel);
    extraction.start(archive, folder, password, replaceExisting);
    progress.show();
    if (!done)
        loop.exec();
    report = extraction.report();
    if (!extraction.errors().isEmpty())
        report += (report.isEmpty() ? QString() : QStringLiteral("\n")) + extraction.errors();
    return exitCode;
}

void RestoreWindow::openFolderLink() {
    s_.opener.openFolder(preset_.dir);
}

} // namespace stowline::ui
