#include "ui/folderwatchers/FolderWatcherWindow.h"

#include "ui_FolderWatcherWindow.h"

#include "core/Clock.h"
#include "core/MessageTable.h"
#include "platform/Prompts.h"
#include "scheduler/ScheduleEntry.h"
#include "shell/FolderWatchers.h"
#include "ui/FormCaptions.h"

namespace stowline::ui {

FolderWatcherWindow::FolderWatcherWindow(FolderWatcherWindowServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)),
      ui_(std::make_unique<Ui::FolderWatcherWindow>()) {
    ui_->setupUi(this);
    connect(ui_->tasklist, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_)
            return;
        storeShown();
        showSlot(row + 1);
    });
    connect(ui_->tasklist, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_)
            return;
        const int slot = ui_->tasklist->row(item) + 1;
        working_[std::size_t(slot - 1)].enabled = item->checkState() == Qt::Checked;
    });
    connect(ui_->update, &QPushButton::clicked, this, [this] {
        if (selectedSlot() == 0) {
            services_.prompts.showError(QStringLiteral("Please select a task"));
            return;
        }
        storeShown();
    });
    connect(ui_->reactivate, &QPushButton::clicked, this, &FolderWatcherWindow::reactivate);
    connect(ui_->bgetpath, &QToolButton::clicked, this, [this] {
        const QString folder =
            services_.chooseFolder(services_.messages.text(u"specifyfolder"), ui_->folder->text());
        if (!folder.isEmpty())
            ui_->folder->setText(folder);
    });
    connect(ui_->okbutton, &QPushButton::clicked, this, &FolderWatcherWindow::accept);
    connect(ui_->cancelbutton, &QPushButton::clicked, this, &FolderWatcherWindow::reject);
    connect(&services_.watchers, &shell::FolderWatchers::inactiveTillChanged, this,
            &FolderWatcherWindow::firedWhileOpen);
    // Leaving a field, or changing a choice, stores the fields shown.
    for (QCheckBox* box : {ui_->subfolders, ui_->cfn, ui_->cdn, ui_->csz, ui_->clw, ui_->cat})
        connect(box, &QCheckBox::toggled, this, &FolderWatcherWindow::storeShown);
    for (QSpinBox* box : {ui_->execdelay, ui_->inactivedelay})
        connect(box, &QSpinBox::valueChanged, this, &FolderWatcherWindow::storeShown);
    connect(ui_->preset, &QComboBox::currentTextChanged, this, &FolderWatcherWindow::storeShown);
    connect(ui_->taskname, &QLineEdit::editingFinished, this, &FolderWatcherWindow::storeShown);
    connect(ui_->folder, &QLineEdit::editingFinished, this, &FolderWatcherWindow::storeShown);
}

FolderWatcherWindow::~FolderWatcherWindow() = default;

void FolderWatcherWindow::changeLang(const QString& programFolder, const QString& languageName) {
    ChangeLang(*this, QStringLiteral("shellnotifierform"), programFolder, languageName);
}

void FolderWatcherWindow::openTasks() {
    services_.watchers.LoadWatcherTasks();
    working_ = services_.watchers.tasks();
    filling_ = true;
    ui_->preset->clear();
    ui_->preset->addItems(services_.presetNames());
    filling_ = false;
    shown_ = 0;
    refreshList();
    filling_ = true;
    ui_->tasklist->setCurrentRow(0);
    filling_ = false;
    showSlot(1);
    show();
    raise();
    activateWindow();
}

int FolderWatcherWindow::selectedSlot() const {
    return ui_->tasklist->currentRow() + 1;
}

void FolderWatcherWindow::refreshList() {
    filling_ = true;
    const int current = ui_->tasklist->currentRow();
    ui_->tasklist->clear();
    for (const shell::tsnopt& task : working_) {
        auto* item = new QListWidgetItem(task.name, ui_->tasklist);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(task.enabled ? Qt::Checked : Qt::Unchecked);
    }
    ui_->tasklist->setCurrentRow(current);
    filling_ = false;
}

void FolderWatcherWindow::showSlot(int slot) {
    shown_ = slot;
    if (slot < 1 || slot > shell::kWatcherSlots)
        return;
    const shell::tsnopt& task = working_[std::size_t(slot - 1)];
    filling_ = true;
    ui_->taskname->setText(task.name);
    ui_->folder->setText(task.folder);
    ui_->preset->setCurrentText(task.preset);
    ui_->subfolders->setChecked(task.subfolders);
    ui_->execdelay->setValue(task.execDelay);
    ui_->inactivedelay->setValue(task.inactiveDelay);
    ui_->inactivetill->setText(scheduler::FormatScheduleDate(task.inactiveTill));
    ui_->cfn->setChecked(task.cfn);
    ui_->cdn->setChecked(task.cdn);
    ui_->csz->setChecked(task.csz);
    ui_->clw->setChecked(task.clw);
    ui_->cat->setChecked(task.cat);
    filling_ = false;
}

void FolderWatcherWindow::storeShown() {
    if (filling_ || shown_ < 1 || shown_ > shell::kWatcherSlots)
        return;
    shell::tsnopt& task = working_[std::size_t(shown_ - 1)];
    task.name = ui_->taskname->text();
    task.folder = ui_->folder->text();
    task.preset = ui_->preset->currentText();
    task.subfolders = ui_->subfolders->isChecked();
    task.execDelay = ui_->execdelay->value();
    task.inactiveDelay = ui_->inactivedelay->value();
    task.cfn = ui_->cfn->isChecked();
    task.cdn = ui_->cdn->isChecked();
    task.csz = ui_->csz->isChecked();
    task.clw = ui_->clw->isChecked();
    task.cat = ui_->cat->isChecked();
    if (QListWidgetItem* item = ui_->tasklist->item(shown_ - 1)) {
        filling_ = true;
        item->setText(task.name);
        filling_ = false;
    }
}

void FolderWatcherWindow::reactivate() {
    if (shown_ < 1)
        return;
    const QDateTime now = scheduler::wallClock(services_.clock.now());
    working_[std::size_t(shown_ - 1)].inactiveTill = now;
    services_.watchers.setInactiveTill(shown_, now);
    storeShown();
    showSlot(shown_);
}

// A task that fires while the window is open: its working copy follows, whether or not
// its slot is shown, so that OK never writes back a stale quiet period.
void FolderWatcherWindow::firedWhileOpen(int slot, const QDateTime& till) {
    working_[std::size_t(slot - 1)].inactiveTill = till;
    if (slot == shown_)
        ui_->inactivetill->setText(scheduler::FormatScheduleDate(till));
}

void FolderWatcherWindow::accept() {
    if (selectedSlot() == 0)
        return;
    storeShown();
    services_.watchers.setTasks(working_);
    services_.watchers.SaveWatcherTasks();
    services_.watchers.ApplyWatcherTasks();
    QDialog::accept();
}

void FolderWatcherWindow::reject() {
    // Undoes a reactivation that was not confirmed.
    services_.watchers.LoadWatcherTasks();
    QDialog::reject();
}

} // namespace stowline::ui
