#include "core/EnvironmentText.h"

#include <QProcessEnvironment>

namespace stowline::core {

QString ExpandEnvironmentText(const QString& text) {
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString expanded;
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), position);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            expanded += text.mid(position);
            break;
        }
        expanded += text.mid(position, open - position);
        const QString name = text.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && environment.contains(name)) {
            expanded += environment.value(name);
            position = close + 1;
        } else {
            // Not a variable: keep the first "%" and look for a reference from the second.
            expanded += text.mid(open, close - open);
            position = close;
        }
    }
    return expanded.size() > kExpandedTextLimit ? text : expanded;
}

} // namespace stowline::core
