#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace stowline::platform {

// Splits a parameter string into program arguments by the rules Windows programs apply
// to their command line, so that every program started here receives the arguments
// the stored command lines were written for:
// - blanks and tabs outside double quotes separate arguments;
// - a double quote starts or ends a quoted part and is not itself kept; inside a quoted
//   part two double quotes give one literal double quote;
// - 2n backslashes before a double quote give n backslashes, and the quote acts as
//   above; 2n+1 backslashes before a double quote give n backslashes and a literal
//   double quote;
// - any other backslash is literal.
// An empty quoted part ("") is an empty argument.
QStringList SplitCommandLine(QStringView parameters);

// `argument` in double quotes, escaped so that SplitCommandLine returns it unchanged as
// one argument: a double quote becomes \" and backslashes before a double quote or
// before the closing quote are doubled. Text without double quotes and without trailing
// backslashes is only enclosed in quotes.
QString QuoteCommandLineArgument(QStringView argument);

} // namespace stowline::platform
