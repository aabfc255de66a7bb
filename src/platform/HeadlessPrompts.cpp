#include "platform/HeadlessPrompts.h"

namespace stowline::platform {

void HeadlessPrompts::print(const char* kind, const QString& text) {
    // Message texts may begin with a line break (the desktop boxes show it as a blank
    // line); on a terminal that only wastes a line.
    QString oneBlock = text.trimmed();
    oneBlock.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(out_, "%s%s\n", kind, oneBlock.toLocal8Bit().constData());
    std::fflush(out_);
}

void HeadlessPrompts::showMessage(const QString& text) {
    print("", text);
}

void HeadlessPrompts::showError(const QString& text) {
    print("Error: ", text);
}

bool HeadlessPrompts::askYesNo(const QString& text) {
    print("Question (answered No): ", text);
    return false;
}

bool HeadlessPrompts::askText(const QString& caption, const QString&, QString&, bool) {
    print("Input (cancelled): ", caption);
    return false;
}

bool HeadlessPrompts::askOpenFile(const QString& caption, QString&) {
    print("File choice (cancelled): ", caption);
    return false;
}

} // namespace stowline::platform
