#pragma once

#include "core/skins/Skin.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

class QPainter;
class QWidget;

namespace stowline::ui {

// The kinds of window a skin dresses; each takes its own picture and colours.
enum class SkinnedWindow {
    Main,      // MW_Image; preset list and event log colours
    Bin,       // the SWL-BIN drop window: MW_Image only
    Scheduler, // SW_Image; schedule list and field colours
    Dialog,    // PW_Image; field colours
};

// The one place that knows how a skin looks on a window: it holds the current skin and its
// pictures, colours the lists and fields of every attached window through their palettes
// and draws the window's background picture before the window paints itself. With skins
// off, the attached windows take the desktop's normal look again.
class SkinApplier final : public QObject {
    Q_OBJECT
public:
    explicit SkinApplier(QString programFolder, QObject* parent = nullptr);
    ~SkinApplier() override;
    Q_DISABLE_COPY_MOVE(SkinApplier)

    // Takes `skin` as the current skin, loads its pictures and dresses every attached
    // window again. A picture that cannot be loaded draws nothing; the skin keeps its
    // style, so saving it later keeps what the user chose.
    void setSkin(const core::tskin& skin, bool enabled);
    const core::tskin& skin() const { return skin_; }
    bool enabled() const { return enabled_; }

    // Dresses `window` now and whenever the skin changes, until the window is destroyed.
    void attach(QWidget& window, SkinnedWindow kind);

    // The colours of event log lines that hold "[!]"; nothing when the skin has none.
    std::optional<QColor> errorLineBackground() const;
    std::optional<QColor> errorLineText() const;
    // The picture and style drawn on windows of `kind` (null picture: nothing drawn).
    QImage picture(SkinnedWindow kind) const;
    core::SkinImageStyle pictureStyle(SkinnedWindow kind) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Attached {
        QPointer<QWidget> window;
        SkinnedWindow kind;
    };
    void dress(QWidget& window, SkinnedWindow kind) const;
    const Attached* attachedFor(const QObject* window) const;

    QString programFolder_;
    core::tskin skin_;
    bool enabled_ = false;
    QImage mainPicture_;
    QImage schedulerPicture_;
    QImage dialogPicture_;
    QImage unusedPicture_;
    QList<Attached> attached_;
};

// A colour text of a skin as a QColor; nothing for an empty text or one that names no
// colour.
std::optional<QColor> skinQColor(const QString& text);

// Draws `picture` on `painter` over an area of `size`: once in the middle, or tiled from
// the top-left corner.
void drawSkinPicture(QPainter& painter, const QSize& size, const QImage& picture,
                     core::SkinImageStyle style);

} // namespace stowline::ui
