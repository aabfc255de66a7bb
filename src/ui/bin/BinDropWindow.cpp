#include "ui/bin/BinDropWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace stowline::ui {

namespace {
constexpr QSize kFaceSize(96, 96);
} // namespace

void paintPlainBinFace(QPainter& painter, const QRect& area, shell::BinKind kind) {
    const bool keeper = kind == shell::BinKind::Keeper;
    const QColor base = keeper ? QColor(0x2e, 0x7d, 0x32) : QColor(0xc6, 0x28, 0x28);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, base.lighter(185));
    // A box with an open lid.
    const QRectF box(area.width() * 0.22, area.height() * 0.34, area.width() * 0.56,
                     area.height() * 0.40);
    painter.setPen(QPen(base.darker(130), 2));
    painter.setBrush(base);
    painter.drawRoundedRect(box, 4, 4);
    QPainterPath lid;
    lid.moveTo(box.left() - 4, box.top() - 4);
    lid.lineTo(box.right() + 4, box.top() - 14);
    painter.drawPath(lid);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(base.darker(160));
    painter.drawText(
        QRect(0, int(box.bottom()) + 2, area.width(), area.height() - int(box.bottom()) - 2),
        Qt::AlignCenter, keeper ? QStringLiteral("SWL-KEEPER") : QStringLiteral("SWL-RECYCLE"));
}

BinDropWindow::BinDropWindow(shell::BinArchives& archives,
                             std::function<void(shell::BinKind)> openArchive, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      archives_(archives), openArchive_(std::move(openArchive)), painter_(paintPlainBinFace) {
    setObjectName(QStringLiteral("SwlBinWindow"));
    setWindowTitle(QStringLiteral("SWL-BIN"));
    setAcceptDrops(true);
    setFixedSize(kFaceSize);
}

void BinDropWindow::setKind(shell::BinKind kind) {
    kind_ = kind;
    update();
}

void BinDropWindow::setBackgroundPainter(BackgroundPainter painter) {
    painter_ = painter ? std::move(painter) : BackgroundPainter(paintPlainBinFace);
    update();
}

void BinDropWindow::placeInCorner() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.right() - width() + 1, area.bottom() - height() + 1);
}

QStringList BinDropWindow::droppedPaths(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    return paths;
}

void BinDropWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter_(painter, rect(), kind_);
}

void BinDropWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedPaths(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void BinDropWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData()->urls());
    if (paths.isEmpty())
        return;
    dropItems(paths);
    event->acceptProposedAction();
}

void BinDropWindow::dropItems(const QStringList& paths) {
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    for (const QString& path : paths)
        archives_.addItem(kind_, path);
    QGuiApplication::restoreOverrideCursor();
}

void BinDropWindow::mouseDoubleClickEvent(QMouseEvent*) {
    if (openArchive_)
        openArchive_(kind_);
}

} // namespace stowline::ui
