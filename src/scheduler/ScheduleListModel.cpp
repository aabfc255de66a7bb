#include "scheduler/ScheduleListModel.h"

#include "scheduler/Schedule.h"

namespace stowline::scheduler {

ScheduleListModel::ScheduleListModel(Schedule& schedule, QObject* parent)
    : QAbstractTableModel(parent), schedule_(schedule),
      observerKey_(schedule.addRefreshObserver([this] { reload(); })),
      rows_(schedule.entries()), headings_{QStringLiteral("Date and time"),
                                           QStringLiteral("Preset or command"),
                                           QStringLiteral("Options")} {}

ScheduleListModel::~ScheduleListModel() {
    schedule_.removeRefreshObserver(observerKey_);
}

int ScheduleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ScheduleListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ScheduleListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    const tschdata& stored = rows_.at(index.row());
    switch (index.column()) {
    case DateColumn:
        return stored.date;
    case NameColumn:
        return stored.presname;
    default:
        return stored.options;
    }
}

QVariant ScheduleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return headings_.at(section);
}

bool ScheduleListModel::setHeaderData(int section, Qt::Orientation orientation,
                                      const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) ||
        section < 0 || section >= ColumnCount)
        return false;
    headings_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

int ScheduleListModel::rowOf(const tschdata& stored) const {
    return static_cast<int>(rows_.indexOf(stored));
}

void ScheduleListModel::reload() {
    if (rows_ == schedule_.entries())
        return;
    beginResetModel();
    rows_ = schedule_.entries();
    endResetModel();
}

} // namespace stowline::scheduler
