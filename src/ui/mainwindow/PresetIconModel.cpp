#include "ui/mainwindow/PresetIconModel.h"

#include "backup/PresetListModel.h"

#include <QBitmap>
#include <QImage>

namespace stowline::ui {

PresetIconModel::PresetIconModel(QObject* parent) : QIdentityProxyModel(parent) {
    connect(this, &QAbstractItemModel::modelReset, this, [this] { pictures_.clear(); });
    connect(this, &QAbstractProxyModel::sourceModelChanged, this, [this] { pictures_.clear(); });
}

QVariant PresetIconModel::data(const QModelIndex& index, int role) const {
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

QPixmap PresetIconModel::loadPicture(const QString& path) {
    const QImage image(path);
    if (image.isNull())
        return {};
    QPixmap picture = QPixmap::fromImage(image);
    const QColor transparent = image.pixelColor(0, image.height() - 1);
    picture.setMask(picture.createMaskFromColor(transparent, Qt::MaskInColor));
    return picture;
}

} // namespace stowline::ui
