#include "core/LogListModel.h"

namespace stowline::core {

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.size() || role != Qt::DisplayRole)
        return {};
    return lines_.at(index.row());
}

void LogListModel::append(const QString& line) {
    const int row = static_cast<int>(lines_.size());
    beginInsertRows({}, row, row);
    lines_.append(line);
    endInsertRows();
    if (lines_.size() > 1)
        emit scrollToLineRequested(row);
}

void LogListModel::replaceAll(QStringList lines) {
    beginResetModel();
    lines_ = std::move(lines);
    endResetModel();
    if (lines_.size() > 1)
        emit scrollToLineRequested(static_cast<int>(lines_.size()) - 1);
}

} // namespace stowline::core
