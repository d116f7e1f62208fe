#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line, looked at before the application object exists, so that --help and
// --version answer in a terminal without a display.
namespace CommandLine {

struct Outcome
{
    // Empty: start the program. Otherwise end at once with this exit code.
    std::optional<int> exitCode;
    QString standardOutput;
    QString standardError;
};

// arguments[0] is the program as started; its file name is the one the help text shows.
Outcome parse(const QStringList& arguments);

// Parses argv and prints the outcome; gives the exit code when the program is to end without starting.
std::optional<int> handle(int argc, char* argv[]);

} // namespace CommandLine
