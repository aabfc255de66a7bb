#include "core/MessageTable.h"

namespace stowline::core {

namespace {
struct BuiltInMessage {
    const char* key;
    const char* text;
};

const BuiltInMessage kBuiltInMessages[] = {
#include "core/MessageTable.inc"
};

const QHash<QString, QString>& builtInTexts() {
    static const QHash<QString, QString> texts = [] {
        QHash<QString, QString> result;
        for (const BuiltInMessage& message : kBuiltInMessages)
            result.insert(QString::fromLatin1(message.key), QString::fromUtf8(message.text));
        return result;
    }();
    return texts;
}
} // namespace

MessageTable::MessageTable() : texts_(builtInTexts()) {}

QString MessageTable::text(QStringView key) const {
    const auto found = texts_.constFind(key.toString());
    Q_ASSERT_X(found != texts_.constEnd(), "MessageTable::text", "unknown message key");
    return found != texts_.constEnd() ? *found : key.toString();
}

bool MessageTable::replace(QStringView key, const QString& text) {
    const auto found = texts_.find(key.toString());
    if (found == texts_.end())
        return false;
    *found = text;
    return true;
}

void MessageTable::resetToDefaults() {
    texts_ = builtInTexts();
}

const QStringList& MessageTable::keys() {
    static const QStringList ordered = [] {
        QStringList result;
        for (const BuiltInMessage& message : kBuiltInMessages)
            result << QString::fromLatin1(message.key);
        return result;
    }();
    return ordered;
}

QString MessageTable::defaultText(QStringView key) {
    return builtInTexts().value(key.toString());
}

QString formatMessage(const QString& pattern, std::initializer_list<QString> values) {
    QString result;
    auto value = values.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c == QLatin1Char('%') && next == QLatin1Char('%')) {
            result += c;
            ++i;
        } else if (c == QLatin1Char('%') &&
                   (next == QLatin1Char('s') || next == QLatin1Char('d')) &&
                   value != values.end()) {
            result += *value++;
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace stowline::core
