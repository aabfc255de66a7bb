#pragma once

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace stowline::core {
class MessageTable;
struct topt;
} // namespace stowline::core

namespace stowline::scheduler {
struct tschdata;
}

namespace stowline::ui {

// The keys of the main window act unless exactly one of Alt and Ctrl is held (both
// together are AltGr on many keyboards).
bool commandKeysAllowed(Qt::KeyboardModifiers modifiers);

// What a click on the tray icon tells: the first schedule entries, or that the scheduler
// is off or has nothing to do, then the running preset. Every line ends in CR LF; the
// whole text is cut to what a balloon holds.
QString trayBalloonText(bool schedulerOn, const QList<scheduler::tschdata>& entries,
                        bool operationInProgress, const QString& runningPreset,
                        const core::MessageTable& messages);
// The balloon's title, cut to what a balloon holds.
QString trayBalloonTitle(const core::MessageTable& messages);
// The tray icon's tool tip: the program's name, and the run's progress below it.
QString trayToolTip(const QString& progress);

// The box a click on an event log line shows.
struct LogLineDetails {
    QString text;
    bool isError = false;
};
// The line's message, a blank line and when it happened, counted in calendar days
// before `now`.
LogLineDetails logLineDetails(const QString& line, const QDateTime& now,
                              const core::MessageTable& messages);

// The window's frame at start-up: the stored left, top, width and height, or the
// default place when those give no usable window on any of `screens`.
QRect startupPlacement(const core::topt& options, const QList<QRect>& screens);
// A window asked to maximize while nearly as wide as its screen restores afterwards to
// this frame, centred on the screen; nothing for a narrower window.
std::optional<QRect> restoredFrameAfterMaximize(const QRect& frame, const QRect& screen);

// Where the two lists of the window's client area go.
struct ListPlacement {
    QRect presetList;
    QRect logList;
};
// `presetListHeight` is the option plh; the toolbar sits outside the client area.
ListPlacement listPlacement(const QSize& client, int presetListHeight);
// The automatic widths of the preset list's three columns.
std::array<int, 3> automaticColumnWidths(int listWidth, int windowWidth);

} // namespace stowline::ui
