#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace stowline::core {

// Every user-visible message, addressed by its lower-case key. Starts with the built-in
// English texts; a language file replaces texts by key.
class MessageTable {
public:
    MessageTable();

    // The current text of `key`. Asking for a key that does not exist is a programming
    // error: it asserts in debug builds and returns the key itself.
    QString text(QStringView key) const;
    // Replaces the text of a known key; false for an unknown key.
    bool replace(QStringView key, const QString& text);
    // Restores every built-in English text.
    void resetToDefaults();

    // Keys in the order a language file's STRINGS section is read.
    static const QStringList& keys();
    static QString defaultText(QStringView key);

private:
    QHash<QString, QString> texts_;
};

// The fixed text that ends the message of an error line.
inline constexpr QLatin1StringView kErrorMark{" [!]"};

// `message` as the message of an error line.
inline QString errorMessage(const QString& message) {
    return message + kErrorMark;
}

// Fills the printf-style placeholders of a message text ("%s", "%d") in order with
// `values`; "%%" stands for one "%". Placeholders without a value are left as they are.
QString formatMessage(const QString& pattern, std::initializer_list<QString> values);

} // namespace stowline::core
