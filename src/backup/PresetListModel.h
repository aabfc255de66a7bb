#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

namespace stowline::core {
struct topt;
}

namespace stowline::backup {

// One row of the preset list.
struct PresetEntry {
    QString name;
    QString nextRunText; // date text of the preset's earliest schedule entry, or empty
    QString lastRunText; // date text of the start of its last run, or empty
    QString picturePath; // the picture to show, or empty for none
};

// The preset list the main window shows: name, next-run text and last-run text, with
// the preset's picture beside the name. It also holds "the preset selected in the
// preset list", so that the backup run, the scheduler and remote commands select and
// run presets without any widget; a view mirrors that selection.
class PresetListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, NextRunColumn, LastRunColumn, ColumnCount };
    // The path of the row's picture file (column 0); the view loads it and treats the
    // colour of its lower-left pixel as transparent.
    static constexpr int PicturePathRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Replaces every row. The selection stays on its preset when that is still listed.
    void replaceEntries(QList<PresetEntry> entries);
    const QList<PresetEntry>& entries() const { return entries_; }
    QStringList presetNames() const;
    // The row of the first preset called `name`, or -1.
    int findPreset(const QString& name, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive) const;

    void setNextRunText(int row, const QString& text);
    void setLastRunText(int row, const QString& text);

    // Sorts by one column: names for column 0, the run texts for columns 1 and 2 (an
    // empty text when a row has none), in locale order with letter case counting.
    // Rows with equal texts stay ordered by name ascending, whatever the direction.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Sorts by the column lvc in the direction lt1, lt2 or lt3 of that column. A
    // column outside 0 to 2 leaves the order as it is.
    void applySortOptions(const core::topt& options);
    // A click on a column heading: turns that column's direction round, makes it the
    // sorted column and sorts.
    void sortByHeaderClick(int column, core::topt& options);

    // The selected preset's name, empty when none is selected.
    const QString& selectedPreset() const { return selectedPreset_; }
    int selectedRow() const;
    // Selects the first preset whose whole name matches; false (selection unchanged)
    // when there is none.
    bool select(const QString& name, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

signals:
    void selectionChanged(const QString& selectedPreset);

private:
    void setSelected(const QString& name);

    QList<PresetEntry> entries_;
    QString selectedPreset_;
};

} // namespace stowline::backup
