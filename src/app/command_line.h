#pragma once

#include <QString>
#include <QStringList>

namespace ovra {

// What the command line asks for. Help, version and mistakes are answered by this process
// alone; everything else runs in the one instance of the session.
struct CommandLineRequest {
    enum class Kind {
        run,     // start, or hand `action` to the running instance
        help,    // print `output` to standard output, exit 0
        version, // print `output` to standard output, exit 0
        error,   // print `output` to standard error, exit `usageExitCode`
    };
    static constexpr int usageExitCode = 2;

    Kind kind = Kind::run;
    // For `run`: empty for a plain start, else one of "capture", "preferences", "quit" or a quick
    // action's name (`--action NAME`).
    QString action;
    bool verbose = false;
    QString output;
};

namespace CommandLine {

// `arguments` as the program received them, the program's name first.
CommandLineRequest parse(const QStringList& arguments);

} // namespace CommandLine

} // namespace ovra
