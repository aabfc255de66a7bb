#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace stowline::core {

// The on-screen event log: the same lines as swl.log, oldest first. Appending is
// amortised constant time, so a list of 100,000 lines stays cheap to extend.
class LogListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QString& line);
    void replaceAll(QStringList lines);
    const QStringList& lines() const { return lines_; }

signals:
    // The view shows this line at the top of its visible part.
    void scrollToLineRequested(int row);

private:
    QStringList lines_;
};

} // namespace stowline::core
