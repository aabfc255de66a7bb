#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace stowline::core {
class LanguageSection;
}

namespace stowline::ui {

// A caption key that sets the tool tip of several widgets at once, such as the hint
// shared by all colour buttons of a window.
struct HintCaptionKey {
    QString key;
    QList<QWidget*> targets;
};

// Keys addressing the entries of a list by position: keyPrefix + "1" for the first
// entry, keyPrefix + "2" for the second, and so on. The entries of a QComboBox, the
// items of a QListWidget, the column headings of any other item view, or the buttons of
// a group of choices (the buttons that are direct children of the target).
struct ListCaptionKeys {
    QString keyPrefix;
    QWidget* target = nullptr;
};

// The keys of a window that are not window name + object name.
struct NamedCaptionKeys {
    QList<HintCaptionKey> hints;
    QList<ListCaptionKeys> lists;
};

// Sets the captions of `window` and of every widget and action below it (not of other
// windows parented to it, such as its dialogs) from the FORMS section of a language file. The
// window caption is the key `windowName`; every object with an object name has the key windowName +
// objectName. What is set depends on the kind of object:
//   window                          window title
//   QAbstractButton                 text; the tool tip for a button that shows only an
//                                   icon (no text, or a tool button in icon-only style)
//   QLabel, QLineEdit, QAction      text
//   QGroupBox, QMenu                title
//   page of a QTabWidget            the text of its tab
// Then the named keys. A key that the section lacks leaves the current caption.
void ApplyFormCaptions(QWidget& window, const QString& windowName,
                       const core::LanguageSection& forms, const NamedCaptionKeys& named = {});

// The ChangeLang of every window: applies language `languageName` from the program
// folder. The built-in English name changes nothing; a missing file changes nothing.
void ChangeLang(QWidget& window, const QString& windowName, const QString& programFolder,
                const QString& languageName, const NamedCaptionKeys& named = {});

} // namespace stowline::ui
