#include "ui/skins/SkinApplier.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace stowline::ui {

namespace {
QImage loadPicture(const QString& value, const QString& programFolder) {
    const QString path = core::resolveSkinImagePath(value, programFolder);
    return path.isEmpty() ? QImage() : QImage(path);
}

// Base and text colour of one list or field; the normal palette when `on` is false or
// the skin leaves the colour empty.
void colourView(QWidget& view, bool on, const QString& background, const QString& text) {
    QPalette palette; // inherits every role not set below
    if (on) {
        if (const std::optional<QColor> colour = skinQColor(background))
            palette.setColor(QPalette::Base, *colour);
        if (const std::optional<QColor> colour = skinQColor(text)) {
            palette.setColor(QPalette::Text, *colour);
            palette.setColor(QPalette::WindowText, *colour);
        }
    }
    view.setPalette(palette);
}

bool isField(const QWidget& widget) {
    return qobject_cast<const QLineEdit*>(&widget) ||
           qobject_cast<const QAbstractSpinBox*>(&widget) ||
           qobject_cast<const QComboBox*>(&widget) ||
           qobject_cast<const QAbstractItemView*>(&widget) ||
           qobject_cast<const QTextEdit*>(&widget) || qobject_cast<const QPlainTextEdit*>(&widget);
}

// The fields of a window, without those inside another field (a combo box's line edit
// and list) or inside another window.
QList<QWidget*> fieldsOf(QWidget& window) {
    QList<QWidget*> fields;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !isField(*widget))
            continue;
        bool nested = false;
        for (QWidget* parent = widget->parentWidget(); parent && parent != &window;
             parent = parent->parentWidget())
            nested = nested || isField(*parent);
        if (!nested)
            fields << widget;
    }
    return fields;
}
} // namespace

std::optional<QColor> skinQColor(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<core::SkinRgb> rgb = core::skinColour(text);
    if (!rgb)
        return std::nullopt;
    return QColor(rgb->red, rgb->green, rgb->blue);
}

void drawSkinPicture(QPainter& painter, const QSize& size, const QImage& picture,
                     core::SkinImageStyle style) {
    if (picture.isNull())
        return;
    if (style == core::SkinImageStyle::Centred)
        painter.drawImage(QPoint(size.width() / 2 - picture.width() / 2,
                                 size.height() / 2 - picture.height() / 2),
                          picture);
    else if (style == core::SkinImageStyle::Tiled)
        painter.drawTiledPixmap(QRect(QPoint(0, 0), size), QPixmap::fromImage(picture));
}

SkinApplier::SkinApplier(QString programFolder, QObject* parent)
    : QObject(parent), programFolder_(std::move(programFolder)) {}

SkinApplier::~SkinApplier() = default;

void SkinApplier::setSkin(const core::tskin& skin, bool enabled) {
    skin_ = skin;
    enabled_ = enabled;
    mainPicture_ = loadPicture(skin.MW_Image, programFolder_);
    schedulerPicture_ = loadPicture(skin.SW_Image, programFolder_);
    dialogPicture_ = loadPicture(skin.PW_Image, programFolder_);
    unusedPicture_ = loadPicture(skin.LW_Image, programFolder_);
    attached_.removeIf([](const Attached& entry) { return entry.window.isNull(); });
    for (const Attached& entry : attached_)
        dress(*entry.window, entry.kind);
}

void SkinApplier::attach(QWidget& window, SkinnedWindow kind) {
    if (!attachedFor(&window)) {
        attached_ << Attached{&window, kind};
        window.installEventFilter(this);
    }
    dress(window, kind);
}

std::optional<QColor> SkinApplier::errorLineBackground() const {
    return skinQColor(skin_.MW_LogErrorBackground);
}

std::optional<QColor> SkinApplier::errorLineText() const {
    return skinQColor(skin_.MW_LogErrorColor);
}

QImage SkinApplier::picture(SkinnedWindow kind) const {
    switch (kind) {
    case SkinnedWindow::Main:
    case SkinnedWindow::Bin:
        return mainPicture_;
    case SkinnedWindow::Scheduler:
        return schedulerPicture_;
    case SkinnedWindow::Dialog:
        return dialogPicture_;
    }
    return {};
}

core::SkinImageStyle SkinApplier::pictureStyle(SkinnedWindow kind) const {
    int style = 0;
    switch (kind) {
    case SkinnedWindow::Main:
    case SkinnedWindow::Bin:
        style = skin_.MW_Type;
        break;
    case SkinnedWindow::Scheduler:
        style = skin_.SW_Type;
        break;
    case SkinnedWindow::Dialog:
        style = skin_.PW_Type;
        break;
    }
    if (style == static_cast<int>(core::SkinImageStyle::Centred) ||
        style == static_cast<int>(core::SkinImageStyle::Tiled))
        return static_cast<core::SkinImageStyle>(style);
    return core::SkinImageStyle::None;
}

void SkinApplier::dress(QWidget& window, SkinnedWindow kind) const {
    const auto colourNamed = [&](const char* name, const QString& background, const QString& text) {
        if (auto* view = window.findChild<QWidget*>(QString::fromLatin1(name)))
            colourView(*view, enabled_, background, text);
    };
    switch (kind) {
    case SkinnedWindow::Main:
        colourNamed("list", skin_.MW_TableBackground, skin_.MW_TableColor);
        colourNamed("loglist", skin_.MW_LogNormalBackground, skin_.MW_LogNormalColor);
        break;
    case SkinnedWindow::Scheduler:
        for (QWidget* field : fieldsOf(window))
            colourView(*field, enabled_, skin_.LW_FileListBackground, skin_.LW_FileListColor);
        colourNamed("scheduleList", skin_.SW_TableBackground, skin_.SW_TableColor);
        break;
    case SkinnedWindow::Dialog:
        for (QWidget* field : fieldsOf(window))
            colourView(*field, enabled_, skin_.LW_FileListBackground, skin_.LW_FileListColor);
        break;
    case SkinnedWindow::Bin:
        break;
    }
    window.update();
}

const SkinApplier::Attached* SkinApplier::attachedFor(const QObject* window) const {
    for (const Attached& entry : attached_)
        if (entry.window == window)
            return &entry;
    return nullptr;
}

bool SkinApplier::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && enabled_) {
        if (const Attached* entry = attachedFor(watched)) {
            QPainter painter(entry->window.data());
            drawSkinPicture(painter, entry->window->size(), picture(entry->kind),
                            pictureStyle(entry->kind));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace stowline::ui
