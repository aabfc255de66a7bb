#include "net/remote/RemotePages.h"

#include "core/MessageTable.h"

namespace stowline::remote {

namespace {

const QString kPageEnd = QStringLiteral("</BODY></HTML>");

QString timeText(const PageContext& c) {
    return scheduler::FormatScheduleDate(c.now);
}

// "Local server time: ... . Refresh interval: N seconds"
QString timeAndRefreshLine(const PageContext& c) {
    const core::MessageTable& m = c.messages;
    return m.text(u"localservertime") + timeText(c) + QStringLiteral(". ") +
           m.text(u"refreshinterval") + c.settings.refresh + QLatin1Char(' ') +
           m.text(u"secondsword");
}

QString pageHead(const PageContext& c, const QString& title, const QString& lineEnd) {
    QString head = QStringLiteral("<HTML><HEAD><TITLE>") + title + QStringLiteral("</TITLE>");
    if (c.settings.refresh != QLatin1String("0"))
        head += QStringLiteral("<META http-equiv=\"refresh\" content=\"") +
                c.settings.refresh.toHtmlEscaped() + QStringLiteral("\">");
    head += QStringLiteral("</HEAD><body bgcolor=\"#FFFFFF\" text=\"#000000\"><H2>") + title +
            QStringLiteral("</H2>") + timeAndRefreshLine(c) + lineEnd;
    return head;
}

QString logPageHead(const PageContext& c, const QString& title) {
    return pageHead(c, title, QStringLiteral(".<BR><BR><font size=\"-1\">"));
}

// The last `settings.lines` of `lines` (none when that is 0 or negative).
QByteArray joinLastLines(const PageContext& c, const QList<QByteArray>& lineHtml) {
    const qsizetype shown = std::clamp<qsizetype>(c.settings.lines, 0, lineHtml.size());
    qsizetype size = 0;
    for (qsizetype i = lineHtml.size() - shown; i < lineHtml.size(); ++i)
        size += lineHtml[i].size();
    QByteArray out;
    out.reserve(size);
    for (qsizetype i = lineHtml.size() - shown; i < lineHtml.size(); ++i)
        out += lineHtml[i];
    return out;
}

QList<QByteArray> linesHtml(const PageContext& c, const QStringList& lines) {
    const qsizetype shown = std::clamp<qsizetype>(c.settings.lines, 0, lines.size());
    QList<QByteArray> out;
    out.reserve(shown);
    for (qsizetype i = lines.size() - shown; i < lines.size(); ++i)
        out.append(logLineHtml(lines[i]));
    return out;
}

QByteArray logPageWith(const PageContext& c, const QString& title, const QByteArray& body) {
    const QByteArray head = logPageHead(c, title).toUtf8();
    const QByteArray end = kPageEnd.toUtf8();
    QByteArray page;
    page.reserve(head.size() + body.size() + end.size());
    page += head;
    page += body;
    page += end;
    return page;
}

QString headerCell(const QString& width, const QString& text) {
    return QStringLiteral("<td width=\"") + width +
           QStringLiteral("%\"><div align=\"center\"><b>") + text +
           QStringLiteral("</b></div></td>");
}

QString scheduleTable(const PageContext& c, const QList<scheduler::tschdata>& entries) {
    const core::MessageTable& m = c.messages;
    if (entries.isEmpty())
        return m.text(u"scheduleisempty");
    QString out = QStringLiteral("<BR>") + m.text(u"thefollowingpresetsscheduled") +
                  QStringLiteral("<BR><BR><table width=\"100%\" border=\"1\">") +
                  QStringLiteral("<tr><td width=\"5%\"><div align=\"center\"><b>#</b></div></td>") +
                  headerCell(QStringLiteral("20"), m.text(u"dateandtimeword")) +
                  headerCell(QStringLiteral("25"), m.text(u"presetnameword")) +
                  headerCell(QStringLiteral("50"), m.text(u"optionsword")) +
                  QStringLiteral("</tr>");
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const scheduler::tschdata& entry = entries[i];
        // The first cell stays open, as the page has always been written.
        out += QStringLiteral("<tr><td width=\"5%\">") + QString::number(i + 1) +
               QStringLiteral("<td width=\"20%\">") + entry.date.toHtmlEscaped() +
               QStringLiteral("</td><td width=\"25%\">") + entry.presname.toHtmlEscaped() +
               QStringLiteral("</td><td width=\"50%\">") + entry.options.toHtmlEscaped() +
               QStringLiteral("</td></tr>");
    }
    return out + QStringLiteral("</table>");
}

QString presetTable(const PageContext& c, const QList<backup::PresetEntry>& presets) {
    const core::MessageTable& m = c.messages;
    if (presets.isEmpty())
        return m.text(u"therearenopresets");
    QString out = QStringLiteral("<BR>") + m.text(u"presetsforscheduling") +
                  QStringLiteral("<BR><BR><table width=\"100%\" border=\"1\"><tr>") +
                  headerCell(QStringLiteral("60"), m.text(u"presetnameword")) +
                  headerCell(QStringLiteral("20"), m.text(u"scheduledexecutionword")) +
                  headerCell(QStringLiteral("20"), m.text(u"previousexecutionword")) +
                  QStringLiteral("</tr>");
    for (const backup::PresetEntry& preset : presets)
        out += QStringLiteral("<tr><td width=\"60%\">") + preset.name.toHtmlEscaped() +
               QStringLiteral("</td><td width=\"20%\">") + preset.nextRunText.toHtmlEscaped() +
               QStringLiteral("</td><td width=\"20%\">") + preset.lastRunText.toHtmlEscaped() +
               QStringLiteral("</td></tr>");
    return out + QStringLiteral("</table>");
}

QString link(const char* target, const QString& text) {
    return QStringLiteral("<A HREF=\"") + QLatin1String(target) +
           QStringLiteral("\" target=\"_blank\">") + text + QStringLiteral("</A><BR>");
}

} // namespace

QString startPage(const PageContext& c) {
    const core::MessageTable& m = c.messages;
    const QString title = m.text(u"swlremotecontrol");
    return QStringLiteral("<HTML><HEAD><TITLE>") + title +
           QStringLiteral("</TITLE></HEAD><BODY><H2>") + title + QStringLiteral("</H2>") +
           timeAndRefreshLine(c) + QStringLiteral(".<BR><BR><b>") +
           link("/cp.htm", m.text(u"httpcontrolpanel")) +
           link("/schedule.htm", m.text(u"httpviewpreslist")) +
           QStringLiteral("<A HREF=\"/rarlog.htm\" target=\"_blank\">") + m.text(u"httpwinrarlog") +
           QStringLiteral("</A></b><BR><BR>") + link("/command.htm", m.text(u"httpcmdonly")) +
           link("/log.htm", m.text(u"httplogonly")) + kPageEnd;
}

QString controlPanelPage(const PageContext& c) {
    return QStringLiteral("<html><head><title>") + c.messages.text(u"swlremoteaccess") +
           QStringLiteral(
               "</title><meta http-equiv=\"Content-Type\" content=\"text/html; "
               "charset=windows-1251\"></head><frameset rows=\"60,*\" frameborder=\"YES\" "
               "border=\"0\" framespacing=\"0\"><frame name=\"mainFrame\" "
               "src=\"command.htm\"><frame name=\"bottomFrame\" scrolling=\"YES\" "
               "src=\"log.htm\"></frameset><noframes><body bgcolor=\"#FFFFFF\" "
               "text=\"#000000\"></body></noframes></html>");
}

QString commandPage(const PageContext& c) {
    const core::MessageTable& m = c.messages;
    return QStringLiteral("<html><head><title>") + m.text(u"swlcontrolpanel") +
           QStringLiteral("</title><meta http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=windows-1251\"></head><body bgcolor=\"#FFFFFF\" "
                          "text=\"#000000\"><table width=\"100%\" border=\"0\">  <tr>    <td "
                          "width=\"50%\" height=\"26\"><FORM METHOD=\"POST\" "
                          "ACTION=\"/cgi-bin/command\">        &nbsp;") +
           m.text(u"commandword") +
           QStringLiteral(" &nbsp;        <input type=\"TEXT\" name=\"Command\" "
                          "size=\"20\">&nbsp; <input type=\"SUBMIT\" name=\"Submit\" value=\"") +
           m.text(u"sendword") +
           QStringLiteral("\"></FORM></td><td width=\"50%\" height=\"0\"><FORM METHOD=\"POST\" "
                          "ACTION=\"/cgi-bin/logsetup\">        <div align=\"right\">") +
           m.text(u"linesword") +
           QStringLiteral(" &nbsp;<input type=\"TEXT\" name=\"Lines\" maxlength=\"5\" value=\"") +
           QString::number(c.settings.lines) + QStringLiteral("\" size=\"5\"> &nbsp;") +
           m.text(u"refreshword") +
           QStringLiteral(" &nbsp;<input type=\"TEXT\" name=\"Refresh\" maxlength=\"5\" value=\"") +
           c.settings.refresh.toHtmlEscaped() +
           QStringLiteral("\" size=\"5\"> &nbsp;<input type=\"SUBMIT\" name=\"Submit2\" value=\"") +
           m.text(u"updateword") +
           QStringLiteral("\">          &nbsp; </div>      </FORM>    </td>    </tr>  </table>  "
                          "</BODY></HTML>");
}

QByteArray logLineHtml(const QString& line) {
    const bool isError = line.contains(QLatin1String("[!]"));
    return (isError ? QByteArrayLiteral("<FONT color=\"#CC0000\">")
                    : QByteArrayLiteral("<FONT color=\"#000000\">")) +
           line.toHtmlEscaped().toUtf8() + QByteArrayLiteral("</FONT><BR>");
}

QByteArray logPage(const PageContext& c, const QStringList& lines) {
    return logPageOf(c, linesHtml(c, lines));
}

QByteArray logPageOf(const PageContext& c, const QList<QByteArray>& lineHtml) {
    return logPageWith(c, c.messages.text(u"swllogfile"), joinLastLines(c, lineHtml));
}

QByteArray archiverLogPage(const PageContext& c, const std::optional<QStringList>& lines) {
    const QString title = c.messages.text(u"winrarlogfile");
    if (!lines)
        return logPageWith(c, title, c.messages.text(u"nowinrarlogfile").toUtf8());
    return logPageWith(c, title, joinLastLines(c, linesHtml(c, *lines)));
}

QString schedulePage(const PageContext& c, const QList<scheduler::tschdata>& entries,
                     const QList<backup::PresetEntry>& presets) {
    return pageHead(c, c.messages.text(u"swlschedule"), QStringLiteral(".<BR><BR>")) +
           scheduleTable(c, entries) + presetTable(c, presets) + kPageEnd;
}

QString formAnswerPage(const QString& message) {
    return QStringLiteral("<HTML><HEAD><TITLE>SWL</TITLE><META http-equiv=\"refresh\" "
                          "content=\"1;URL=/command.htm\"></HEAD>\r\n<BODY bgcolor=\"#FFFFFF\" "
                          "text=\"#000000\"><P>") +
           message + QStringLiteral("<BR></P>") + kPageEnd;
}

QString unauthorizedPage() {
    return QStringLiteral("<html><head><title>Unauthorized</title></head><font size=\"2\" "
                          "face=\"Arial, Helvetica, sans-serif\"><body><B>Error "
                          "401</B><br><br>You are not authorized to use this "
                          "resource.</font></body></html>");
}

} // namespace stowline::remote
