#pragma once

#include "scheduler/ScheduleEntry.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace stowline::scheduler {

class Schedule;

// The schedule as a table: one row per entry with its date text, preset name or command,
// and option text, exactly as stored. Follows every refresh of the schedule; the rows
// are a copy, so a view never reads an entry the schedule has just dropped.
class ScheduleListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateColumn, NameColumn, OptionsColumn, ColumnCount };

    explicit ScheduleListModel(Schedule& schedule, QObject* parent = nullptr);
    ~ScheduleListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The column headings are captions of the window: a language file sets them.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    const tschdata& entryAt(int row) const { return rows_.at(row); }
    // The row that holds `stored`, or -1.
    int rowOf(const tschdata& stored) const;

    // Takes the schedule's entries again.
    void reload();

private:
    Schedule& schedule_;
    int observerKey_;
    QList<tschdata> rows_;
    QStringList headings_;
};

} // namespace stowline::scheduler
