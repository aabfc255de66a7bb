#include "ui/mainwindow/MainWindowRules.h"

#include "core/MessageTable.h"
#include "core/Options.h"
#include "scheduler/ScheduleEntry.h"

namespace stowline::ui {

namespace {
// What the notification area's balloon holds.
constexpr int kBalloonTitleLength = 63;
constexpr int kBalloonTextLength = 255;
constexpr int kBalloonEntries = 3;

const QLatin1StringView kLineEnd{"\r\n"};
const QLatin1StringView kErrorMarkText{"[!]"};

constexpr QRect kDefaultPlacement{30, 30, 640, 480};
constexpr QSize kRestoredAfterMaximize{620, 440};
constexpr int kMaximizeWidthMargin = 30;

constexpr int kListMargin = 10;
constexpr int kAutomaticRunColumnWidth = 160;
constexpr int kNarrowWindowWidth = 530;
constexpr int kColumnSlack = 30;

// "[yyyy.mm.dd hh:nn:ss] ": the message starts behind it.
constexpr int kStampStart = 1;
constexpr int kStampLength = 19;
constexpr int kMessageStart = 22;
} // namespace

bool commandKeysAllowed(Qt::KeyboardModifiers modifiers) {
    return modifiers.testFlag(Qt::AltModifier) == modifiers.testFlag(Qt::ControlModifier);
}

QString trayBalloonText(bool schedulerOn, const QList<scheduler::tschdata>& entries,
                        bool operationInProgress, const QString& runningPreset,
                        const core::MessageTable& messages) {
    QString text;
    if (!schedulerOn) {
        text = messages.text(u"schedulerisoff") + kLineEnd;
    } else if (!entries.isEmpty()) {
        for (qsizetype i = 0; i < entries.size() && i < kBalloonEntries; ++i)
            text +=
                entries[i].date.trimmed() + QStringLiteral(" - ") + entries[i].presname + kLineEnd;
        if (entries.size() > kBalloonEntries)
            text += QStringLiteral("...") + kLineEnd;
    } else {
        text = messages.text(u"schedulerisempty") + kLineEnd;
    }
    if (operationInProgress)
        text += kLineEnd + QLatin1Char('\'') + runningPreset + QLatin1Char('\'') +
                messages.text(u"isrunningnow") + kLineEnd;
    return text.left(kBalloonTextLength);
}

QString trayBalloonTitle(const core::MessageTable& messages) {
    return messages.text(u"swlschedulertip").left(kBalloonTitleLength);
}

QString trayToolTip(const QString& progress) {
    const QString name = QStringLiteral("Stowline");
    return progress.isEmpty() ? name : name + QLatin1Char('\n') + progress;
}

LogLineDetails logLineDetails(const QString& line, const QDateTime& now,
                              const core::MessageTable& messages) {
    const QString message = line.mid(kMessageStart);
    if (message.isEmpty())
        return {QStringLiteral("         :-)"), false};
    QString text = message;
    const QDateTime stamp = QDateTime::fromString(line.mid(kStampStart, kStampLength),
                                                  QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    // A line without a readable time stamp shows its message alone.
    if (stamp.isValid()) {
        const qint64 days = stamp.date().daysTo(now.date());
        // dow1 is Sunday; Qt counts Monday as 1 and Sunday as 7.
        const QString weekday =
            messages.text(QStringLiteral("dow%1").arg(stamp.date().dayOfWeek() % 7 + 1));
        QString when;
        if (days == 0)
            when = messages.text(u"eventoccuredtoday") + QStringLiteral(" (") +
                   messages.text(u"eventonword") + weekday + QStringLiteral(").");
        else if (days == 1)
            when = messages.text(u"eventoccuredyesterday") + QStringLiteral(" (") +
                   messages.text(u"eventonword") + weekday + QStringLiteral(").");
        else
            when = messages.text(u"eventoccuredon") + QLatin1Char(' ') + weekday +
                   QStringLiteral(", ") + QString::number(days) + messages.text(u"daysago");
        text += kLineEnd + kLineEnd + when;
    }
    const qsizetype mark = text.indexOf(kErrorMarkText);
    if (mark < 0)
        return {text, false};
    text.remove(mark, kErrorMarkText.size());
    return {text, true};
}

QRect startupPlacement(const core::topt& options, const QList<QRect>& screens) {
    const QRect stored(options.px1, options.py1, options.px2, options.py2);
    if (stored.width() <= 0 || stored.height() <= 0)
        return kDefaultPlacement;
    for (const QRect& screen : screens)
        if (screen.intersects(stored))
            return stored;
    return kDefaultPlacement;
}

std::optional<QRect> restoredFrameAfterMaximize(const QRect& frame, const QRect& screen) {
    if (frame.width() <= screen.width() - kMaximizeWidthMargin)
        return std::nullopt;
    QRect restored(QPoint(), kRestoredAfterMaximize);
    restored.moveCenter(screen.center());
    return restored;
}

ListPlacement listPlacement(const QSize& client, int presetListHeight) {
    const int width = client.width() - 2 * kListMargin;
    return {QRect(kListMargin, kListMargin, width, presetListHeight),
            QRect(kListMargin, presetListHeight + 2 * kListMargin, width,
                  client.height() - presetListHeight - 4 * kListMargin)};
}

std::array<int, 3> automaticColumnWidths(int listWidth, int windowWidth) {
    const int runColumn = windowWidth < kNarrowWindowWidth ? 0 : kAutomaticRunColumnWidth;
    return {listWidth - 2 * runColumn - kColumnSlack, runColumn, runColumn};
}

} // namespace stowline::ui
