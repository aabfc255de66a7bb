#pragma once

#include "shell/BinArchives.h"

#include <QWidget>

#include <functional>

namespace stowline::ui {

// The small always-on-top SWL-BIN window: files dropped on it go to the keeper or the
// recycle queue; a double click opens the archive with the archiver.
class BinDropWindow final : public QWidget {
    Q_OBJECT
public:
    // Paints the window's face for `kind`; skins set their own.
    using BackgroundPainter = std::function<void(QPainter&, const QRect&, shell::BinKind)>;

    // `openArchive` opens the archive of the kind shown.
    BinDropWindow(shell::BinArchives& archives, std::function<void(shell::BinKind)> openArchive,
                  QWidget* parent = nullptr);

    void setKind(shell::BinKind kind);
    shell::BinKind kind() const { return kind_; }
    void setBackgroundPainter(BackgroundPainter painter);
    // Places the window at the bottom-right corner of the screen's work area.
    void placeInCorner();

    // Dropped items join the queue of the kind shown.
    void dropItems(const QStringList& paths);
    // The local paths of dropped URLs; others (web addresses) are left out.
    static QStringList droppedPaths(const QList<QUrl>& urls);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    shell::BinArchives& archives_;
    std::function<void(shell::BinKind)> openArchive_;
    shell::BinKind kind_ = shell::BinKind::Keeper;
    BackgroundPainter painter_;
};

// The face the window has without a skin: a tray with the archive's name.
void paintPlainBinFace(QPainter& painter, const QRect& area, shell::BinKind kind);

} // namespace stowline::ui
