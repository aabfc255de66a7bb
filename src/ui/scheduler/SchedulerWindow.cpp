#include "ui/scheduler/SchedulerWindow.h"

#include "ui_SchedulerWindow.h"

#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "platform/Prompts.h"
#include "scheduler/PresetCatalog.h"
#include "scheduler/Schedule.h"
#include "scheduler/ScheduleListModel.h"
#include "ui/FormCaptions.h"
#include "ui/help/HelpTopics.h"

#include <QEvent>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace stowline::ui {

using scheduler::RepeatMode;
using scheduler::ScheduleFormFields;
using scheduler::tschdata;
using scheduler::tschopt;

namespace {
// The system's long time format without the time zone, which the date text lacks too.
QString longTimeText(const QTime& time) {
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(zone);
    return QLocale::system().toString(time, format.trimmed());
}

constexpr int kDateColumnWidth = 150;
constexpr int kNameColumnWidth = 170;
} // namespace

SchedulerWindow::SchedulerWindow(SchedulerWindowServices services, QWidget* parent)
    : QWidget(parent), s_(std::move(services)), ui_(std::make_unique<Ui::SchedulerWindow>()),
      model_(new scheduler::ScheduleListModel(s_.schedule, this)) {
    ui_->setupUi(this);
    // A window of its own, also when the main window is its parent.
    setWindowFlag(Qt::Window);

    ui_->scheduleList->setModel(model_);
    ui_->scheduleList->header()->resizeSection(scheduler::ScheduleListModel::DateColumn,
                                               kDateColumnWidth);
    ui_->scheduleList->header()->resizeSection(scheduler::ScheduleListModel::NameColumn,
                                               kNameColumnWidth);
    connect(ui_->scheduleList, &QAbstractItemView::clicked, this, &SchedulerWindow::showRow);
    connect(ui_->scheduleList, &QAbstractItemView::doubleClicked, this, &SchedulerWindow::showRow);
    // The tick and other instances change the schedule at any time; the selected entry
    // stays selected wherever it moves.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { selectedBeforeReset_ = selectedEntry(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        if (selectedBeforeReset_)
            selectEntry(*selectedBeforeReset_);
        selectedBeforeReset_.reset();
    });

    connect(ui_->addButton, &QPushButton::clicked, this, &SchedulerWindow::addEntry);
    connect(ui_->updateButton, &QPushButton::clicked, this, &SchedulerWindow::updateEntry);
    connect(ui_->deleteButton, &QPushButton::clicked, this, &SchedulerWindow::deleteEntry);
    connect(ui_->nowButton, &QPushButton::clicked, this, &SchedulerWindow::setToNow);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(ui_->helpButton, &QPushButton::clicked, this,
            [this] { s_.help.ShowHelpTopic(QString::fromLatin1(topics::kScheduler)); });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, ui_->helpButton,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);

    connect(ui_->schedulerSwitch, &QPushButton::clicked, this, &SchedulerWindow::switchScheduler);
    ui_->schedulerPanel->installEventFilter(this);
    ui_->schedulerLabel->installEventFilter(this);

    connect(ui_->intervalMode, &QRadioButton::toggled, this, &SchedulerWindow::modeChanged);
    for (QCheckBox* box : weekdayBoxes())
        connect(box, &QCheckBox::clicked, this, [this, box] { dayBoxClicked(box); });
    connect(ui_->calendar, &QCalendarWidget::selectionChanged, this,
            [this] { updateWeekdayLabel(false); });
    connect(ui_->timeEdit, &QTimeEdit::timeChanged, this, [this] { updateWeekdayLabel(false); });

    refreshPresetNames();
    ui_->presetBox->setEditText(QString());
    setToNow();
    modeChanged();
    updateIndicator();
}

SchedulerWindow::~SchedulerWindow() = default;

void SchedulerWindow::open(const QString& presetOrEmpty) {
    refreshPresetNames();
    ui_->presetBox->setEditText(presetOrEmpty);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    updateIndicator();
}

void SchedulerWindow::refreshPresetNames() {
    const QString typed = ui_->presetBox->currentText();
    const QSignalBlocker blocker(ui_->presetBox);
    ui_->presetBox->clear();
    ui_->presetBox->addItems(s_.presets.presetNames());
    ui_->presetBox->setEditText(typed);
}

void SchedulerWindow::changeLang(const QString& programFolder, const QString& languageName) {
    NamedCaptionKeys named;
    named.lists << ListCaptionKeys{QStringLiteral("Form5schColumn"), ui_->scheduleList};
    ChangeLang(*this, QString::fromLatin1(kFormName), programFolder, languageName, named);
    // The captions that follow the state of the window.
    updateWeekdayLabel(isActiveWindow());
    updateIndicator();
}

QList<QCheckBox*> SchedulerWindow::weekdayBoxes() const {
    return {ui_->monday, ui_->tuesday,  ui_->wednesday, ui_->thursday,
            ui_->friday, ui_->saturday, ui_->sunday};
}

ScheduleFormFields SchedulerWindow::fields() const {
    ScheduleFormFields fields;
    fields.presetName = ui_->presetBox->currentText();
    fields.date = ui_->calendar->selectedDate();
    fields.time = ui_->timeEdit->time();
    fields.repeat = ui_->repeatSpin->value();
    fields.mode = ui_->daysMode->isChecked() ? RepeatMode::DaysOfWeek : RepeatMode::Interval;
    fields.days = ui_->daysSpin->value();
    fields.hours = ui_->hoursSpin->value();
    fields.minutes = ui_->minutesSpin->value();
    fields.precise = ui_->preciseCheck->isChecked();
    fields.lateChoice = ui_->ondelay3->isChecked() ? 2 : ui_->ondelay2->isChecked() ? 1 : 0;
    const QList<QCheckBox*> boxes = weekdayBoxes();
    for (int day = 0; day < boxes.size(); ++day)
        fields.weekdays[day] = boxes.at(day)->isChecked();
    fields.daySkip = ui_->daySkip->isChecked();
    return fields;
}

void SchedulerWindow::setFields(const ScheduleFormFields& fields) {
    ui_->presetBox->setEditText(fields.presetName);
    ui_->calendar->setSelectedDate(fields.date);
    ui_->timeEdit->setTime(fields.time);
    ui_->repeatSpin->setValue(fields.repeat);
    (fields.mode == RepeatMode::DaysOfWeek ? ui_->daysMode : ui_->intervalMode)->setChecked(true);
    ui_->daysSpin->setValue(fields.days);
    ui_->hoursSpin->setValue(fields.hours);
    ui_->minutesSpin->setValue(fields.minutes);
    ui_->preciseCheck->setChecked(fields.precise);
    const QList<QRadioButton*> lateChoices = {ui_->ondelay1, ui_->ondelay2, ui_->ondelay3};
    lateChoices.at(std::clamp(fields.lateChoice, 0, 2))->setChecked(true);
    const QList<QCheckBox*> boxes = weekdayBoxes();
    for (int day = 0; day < boxes.size(); ++day)
        boxes.at(day)->setChecked(fields.weekdays.at(day));
    ui_->daySkip->setChecked(fields.daySkip);
    modeChanged();
}

std::optional<tschopt> SchedulerWindow::entryFromFields() {
    const auto built = scheduler::buildScheduleEntry(fields());
    if (const auto* refusal = std::get_if<scheduler::FormRefusal>(&built)) {
        s_.prompts.showError(QLatin1Char('\n') + s_.messages.text(refusal->messageKey));
        return std::nullopt;
    }
    return std::get<tschopt>(built);
}

void SchedulerWindow::addEntry() {
    if (ui_->presetBox->currentText().isEmpty())
        return;
    const std::optional<tschopt> entry = entryFromFields();
    if (entry && s_.schedule.AddScheduleEntry(*entry))
        selectEntry(scheduler::FormatScheduleEntry(*entry));
}

void SchedulerWindow::updateEntry() {
    const std::optional<tschdata> old = selectedEntry();
    if (ui_->presetBox->currentText().isEmpty() || !old)
        return;
    // The old entry goes only once the new one is in: a refused name or command leaves
    // the schedule as it was.
    const std::optional<tschopt> entry = entryFromFields();
    if (!entry || !s_.schedule.AddScheduleEntry(*entry))
        return;
    // The tick may have carried the old entry out meanwhile.
    const qsizetype index = s_.schedule.entries().indexOf(*old);
    if (index >= 0) {
        s_.log.WriteLog(s_.messages.text(u"schedulerdeleted") + old->presname +
                        QStringLiteral(" @ ") + old->date);
        s_.schedule.removeAt(index);
        s_.schedule.RefreshSchedule();
    }
    selectEntry(scheduler::FormatScheduleEntry(*entry));
}

void SchedulerWindow::deleteEntry() {
    const std::optional<tschdata> old = selectedEntry();
    if (!old || !s_.prompts.askYesNo(QLatin1Char('\n') + s_.messages.text(u"removefromsch")))
        return;
    const qsizetype index = s_.schedule.entries().indexOf(*old);
    if (index < 0)
        return;
    s_.log.WriteLog(s_.messages.text(u"schedulerdeleted") + old->presname + QStringLiteral(" @ ") +
                    old->date);
    s_.schedule.removeAt(index);
    s_.schedule.RefreshSchedule();
}

void SchedulerWindow::setToNow() {
    const QDateTime now = s_.clock.now();
    ui_->calendar->setSelectedDate(now.date());
    ui_->timeEdit->setTime(now.time());
    updateWeekdayLabel(false);
}

void SchedulerWindow::switchScheduler() {
    s_.options.son = !s_.options.son;
    s_.log.WriteLog(s_.messages.text(s_.options.son ? u"scheduleron" : u"scheduleroff"));
    updateIndicator();
}

std::optional<tschdata> SchedulerWindow::selectedEntry() const {
    const QModelIndexList rows = ui_->scheduleList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return model_->entryAt(rows.first().row());
}

void SchedulerWindow::selectEntry(const tschdata& stored) {
    const int row = model_->rowOf(stored);
    if (row >= 0)
        ui_->scheduleList->setCurrentIndex(model_->index(row, 0));
}

void SchedulerWindow::showRow(const QModelIndex& index) {
    if (index.isValid())
        setFields(scheduler::fieldsFromStored(model_->entryAt(index.row()), fields()));
}

void SchedulerWindow::dayBoxClicked(QCheckBox* box) {
    if (box->isChecked())
        return;
    const QList<QCheckBox*> boxes = weekdayBoxes();
    if (std::any_of(boxes.begin(), boxes.end(), [](QCheckBox* day) { return day->isChecked(); }))
        return;
    s_.prompts.showMessage(QLatin1Char('\n') + s_.messages.text(u"select1dow"));
    box->setChecked(true);
}

void SchedulerWindow::modeChanged() {
    // The days-of-the-week mode runs daily on the ticked days: a series, always precise,
    // whose interval is not the person's to choose.
    const bool daysOfWeek = ui_->daysMode->isChecked();
    if (daysOfWeek)
        ui_->preciseCheck->setChecked(true);
    ui_->preciseCheck->setEnabled(!daysOfWeek);
    for (QWidget* field :
         {static_cast<QWidget*>(ui_->daysSpin), static_cast<QWidget*>(ui_->hoursSpin),
          static_cast<QWidget*>(ui_->minutesSpin)})
        field->setEnabled(!daysOfWeek);
}

void SchedulerWindow::updateWeekdayLabel(bool activated) {
    const QDate date = ui_->calendar->selectedDate();
    ui_->weekdayLabel->setText(s_.messages.text(scheduler::weekdayNameKey(date)) +
                               (activated ? QStringLiteral(" @ ") : QStringLiteral(" at ")) +
                               longTimeText(ui_->timeEdit->time()));
}

void SchedulerWindow::updateIndicator() {
    const bool on = s_.options.son;
    ui_->schedulerSwitch->setChecked(on);
    ui_->schedulerSwitch->setText(s_.messages.text(on ? u"schonword" : u"schoffword"));
}

void SchedulerWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        updateIndicator();
        updateWeekdayLabel(true);
    } else if (event->type() == QEvent::WindowStateChange && isMinimized() && !s_.options.smz) {
        // Not from inside the state change itself: the window system is still at it.
        QTimer::singleShot(0, this, &SchedulerWindow::minimized);
    }
}

void SchedulerWindow::minimized() {
    // The window system may report one minimize more than once.
    if (!isMinimized() || s_.options.smz)
        return;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
    if (s_.hideMainWindowToTray)
        s_.hideMainWindowToTray();
}

bool SchedulerWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui_->schedulerPanel || watched == ui_->schedulerLabel) &&
        event->type() == QEvent::MouseButtonRelease) {
        switchScheduler();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace stowline::ui
