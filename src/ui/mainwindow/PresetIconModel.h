#pragma once

#include <QHash>
#include <QIdentityProxyModel>
#include <QPixmap>

namespace stowline::ui {

// The preset list with each preset's picture as the icon of its name: the picture file
// with the colour of its lower-left pixel made transparent, or no icon when it cannot be
// loaded. Pictures are loaded once per list rebuild.
class PresetIconModel final : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit PresetIconModel(QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The picture of `path` as the list shows it; a null pixmap when it cannot be loaded.
    static QPixmap loadPicture(const QString& path);

private:
    mutable QHash<QString, QPixmap> pictures_;
};

} // namespace stowline::ui
