#include "backup/PresetListModel.h"

#include "core/Options.h"

#include <QCollator>

#include <algorithm>
#include <numeric>

namespace stowline::backup {

namespace {
const QString& columnText(const PresetEntry& entry, int column) {
    switch (column) {
    case PresetListModel::NextRunColumn:
        return entry.nextRunText;
    case PresetListModel::LastRunColumn:
        return entry.lastRunText;
    default:
        return entry.name;
    }
}

// The option that holds the sort direction of `column` (lt1 to lt3), or none.
template <typename Options>
auto sortDirection(Options& options, int column) -> decltype(&options.lt1) {
    switch (column) {
    case PresetListModel::NameColumn:
        return &options.lt1;
    case PresetListModel::NextRunColumn:
        return &options.lt2;
    case PresetListModel::LastRunColumn:
        return &options.lt3;
    default:
        return nullptr;
    }
}
} // namespace

int PresetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int PresetListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PresetListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size() || index.column() >= ColumnCount)
        return {};
    const PresetEntry& entry = entries_.at(index.row());
    if (role == Qt::DisplayRole)
        return columnText(entry, index.column());
    if (role == PicturePathRole && index.column() == NameColumn && !entry.picturePath.isEmpty())
        return entry.picturePath;
    return {};
}

void PresetListModel::replaceEntries(QList<PresetEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
    if (!selectedPreset_.isEmpty() && findPreset(selectedPreset_) < 0)
        setSelected(QString());
}

QStringList PresetListModel::presetNames() const {
    QStringList names;
    names.reserve(entries_.size());
    for (const PresetEntry& entry : entries_)
        names << entry.name;
    return names;
}

int PresetListModel::findPreset(const QString& name, Qt::CaseSensitivity sensitivity) const {
    for (qsizetype row = 0; row < entries_.size(); ++row)
        if (entries_.at(row).name.compare(name, sensitivity) == 0)
            return int(row);
    return -1;
}

void PresetListModel::setNextRunText(int row, const QString& text) {
    if (row < 0 || row >= entries_.size() || entries_[row].nextRunText == text)
        return;
    entries_[row].nextRunText = text;
    emit dataChanged(index(row, NextRunColumn), index(row, NextRunColumn), {Qt::DisplayRole});
}

void PresetListModel::setLastRunText(int row, const QString& text) {
    if (row < 0 || row >= entries_.size() || entries_[row].lastRunText == text)
        return;
    entries_[row].lastRunText = text;
    emit dataChanged(index(row, LastRunColumn), index(row, LastRunColumn), {Qt::DisplayRole});
}

void PresetListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Locale order with letter case counting, as the list has always been sorted.
    const QCollator collator;
    QList<int> rows(entries_.size());
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](int left, int right) {
        const PresetEntry& a = entries_.at(left);
        const PresetEntry& b = entries_.at(right);
        int result = collator.compare(columnText(a, column), columnText(b, column));
        if (order == Qt::DescendingOrder)
            result = -result;
        if (result == 0)
            result = collator.compare(a.name, b.name);
        return result < 0;
    });
    QList<PresetEntry> sorted;
    sorted.reserve(entries_.size());
    QList<int> newRowOf(entries_.size());
    for (qsizetype newRow = 0; newRow < rows.size(); ++newRow) {
        sorted << entries_.at(rows.at(newRow));
        newRowOf[rows.at(newRow)] = int(newRow);
    }
    entries_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after << index(newRowOf.at(old.row()), old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void PresetListModel::applySortOptions(const core::topt& options) {
    if (const bool* ascending = sortDirection(options, options.lvc))
        sort(options.lvc, *ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void PresetListModel::sortByHeaderClick(int column, core::topt& options) {
    bool* ascending = sortDirection(options, column);
    if (!ascending)
        return;
    *ascending = !*ascending;
    options.lvc = column;
    applySortOptions(options);
}

int PresetListModel::selectedRow() const {
    return selectedPreset_.isEmpty() ? -1 : findPreset(selectedPreset_);
}

bool PresetListModel::select(const QString& name, Qt::CaseSensitivity sensitivity) {
    const int row = findPreset(name, sensitivity);
    if (row < 0)
        return false;
    setSelected(entries_.at(row).name);
    return true;
}

void PresetListModel::setSelected(const QString& name) {
    if (name == selectedPreset_)
        return;
    selectedPreset_ = name;
    emit selectionChanged(selectedPreset_);
}

} // namespace stowline::backup
