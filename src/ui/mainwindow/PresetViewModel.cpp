#include "ui/mainwindow/PresetViewModel.h"

#include "backup/PresetListModel.h"

#include <QBitmap>
#include <QImage>

namespace stowline::ui {

PresetViewModel::PresetViewModel(QObject* parent)
    : QIdentityProxyModel(parent), headings_{QStringLiteral("Preset"), QStringLiteral("Next run"),
                                             QStringLiteral("Last run")} {
    connect(this, &QAbstractItemModel::modelReset, this, [this] { pictures_.clear(); });
    connect(this, &QAbstractProxyModel::sourceModelChanged, this, [this] { pictures_.clear(); });
}

QVariant PresetViewModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DecorationRole || index.column() != backup::PresetListModel::NameColumn)
        return QIdentityProxyModel::data(index, role);
    const QString path = index.data(backup::PresetListModel::PicturePathRole).toString();
    if (path.isEmpty())
        return {};
    auto found = pictures_.constFind(path);
    if (found == pictures_.constEnd())
        found = pictures_.insert(path, loadPicture(path));
    return found->isNull() ? QVariant() : QVariant(*found);
}

QVariant PresetViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < headings_.size())
        return headings_.at(section);
    return QIdentityProxyModel::headerData(section, orientation, role);
}

bool PresetViewModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                    int role) {
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) ||
        section < 0 || section >= headings_.size())
        return false;
    headings_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

QPixmap PresetViewModel::loadPicture(const QString& path) {
    const QImage image(path);
    if (image.isNull())
        return {};
    QPixmap picture = QPixmap::fromImage(image);
    const QColor transparent = image.pixelColor(0, image.height() - 1);
    picture.setMask(picture.createMaskFromColor(transparent, Qt::MaskInColor));
    return picture;
}

} // namespace stowline::ui
