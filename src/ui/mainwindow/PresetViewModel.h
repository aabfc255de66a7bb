#pragma once

#include <QHash>
#include <QIdentityProxyModel>
#include <QPixmap>
#include <QStringList>

namespace stowline::ui {

// The preset list as the window shows it: column headings (which the language file
// replaces), and each preset's picture as the icon of its name: the picture file with the
// colour of its lower-left pixel made transparent, or no icon when it cannot be loaded.
// Pictures are loaded once per list rebuild.
class PresetViewModel final : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit PresetViewModel(QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // The picture of `path` as the list shows it; a null pixmap when it cannot be loaded.
    static QPixmap loadPicture(const QString& path);

private:
    QStringList headings_;
    mutable QHash<QString, QPixmap> pictures_;
};

} // namespace stowline::ui
