#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace stowline::ui {

// Draws the event log list: rows as high as the font plus 3 pixels and, while skins are
// on, error lines (holding "[!]") in the skin's error colours, the text 2 pixels from the
// left edge. With skins off the rows are drawn the usual way.
class LogLineDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setColouring(bool on) { colouring_ = on; }
    bool colouring() const { return colouring_; }
    void setErrorColours(const QColor& background, const QColor& text) {
        errorBackground_ = background;
        errorText_ = text;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool colouring_ = false;
    QColor errorBackground_{0xff, 0xd8, 0xd8};
    QColor errorText_{0x90, 0x00, 0x00};
};

} // namespace stowline::ui
