#include "ui/mainwindow/LogLineDelegate.h"

#include <QPainter>

namespace stowline::ui {

namespace {
constexpr int kTextIndent = 2;
constexpr int kRowSpacing = 3;
} // namespace

void LogLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    if (!colouring_) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    QColor background = option.palette.color(QPalette::Base);
    QColor foreground = option.palette.color(QPalette::Text);
    if (option.state.testFlag(QStyle::State_Selected)) {
        background = option.palette.color(QPalette::Highlight);
        foreground = option.palette.color(QPalette::HighlightedText);
    } else if (text.contains(QLatin1StringView("[!]"))) {
        background = errorBackground_;
        foreground = errorText_;
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(foreground);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(kTextIndent, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

QSize LogLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(option.fontMetrics.height() + kRowSpacing);
    return size;
}

} // namespace stowline::ui
