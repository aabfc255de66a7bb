#include "platform/CommandLineSplit.h"

namespace stowline::platform {

namespace {
bool isSeparator(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

QStringList SplitCommandLine(QStringView parameters) {
    const QChar backslash(QLatin1Char('\\'));
    const QChar quote(QLatin1Char('"'));
    QStringList arguments;
    QString current;
    bool inArgument = false; // also true for an argument that is still empty, as ""
    bool quoted = false;
    qsizetype i = 0;
    const qsizetype size = parameters.size();
    while (i < size) {
        const QChar c = parameters.at(i);
        if (isSeparator(c) && !quoted) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == backslash) {
            qsizetype end = i;
            while (end < size && parameters.at(end) == backslash)
                ++end;
            const qsizetype count = end - i;
            if (end < size && parameters.at(end) == quote) {
                current += QString(count / 2, backslash);
                if (count % 2 == 1) {
                    current += quote;
                    i = end + 1;
                } else {
                    i = end; // the quote groups as usual
                }
            } else {
                current += QString(count, backslash);
                i = end;
            }
        } else if (c == quote) {
            if (quoted && i + 1 < size && parameters.at(i + 1) == quote) {
                current += quote;
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current += c;
            ++i;
        }
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

QString QuoteCommandLineArgument(QStringView argument) {
    const QChar backslash(QLatin1Char('\\'));
    const QChar quote(QLatin1Char('"'));
    QString quotedText(quote);
    qsizetype pendingBackslashes = 0;
    for (const QChar c : argument) {
        if (c == backslash) {
            ++pendingBackslashes;
            continue;
        }
        quotedText +=
            QString(c == quote ? 2 * pendingBackslashes + 1 : pendingBackslashes, backslash);
        pendingBackslashes = 0;
        quotedText += c;
    }
    quotedText += QString(2 * pendingBackslashes, backslash);
    quotedText += quote;
    return quotedText;
}

} // namespace stowline::platform
