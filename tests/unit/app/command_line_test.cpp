#include "app/command_line.h"

#include <gtest/gtest.h>
#include <vector>

using namespace ovra;
using Kind = CommandLineRequest::Kind;

namespace {

TEST(CommandLine, ParsesEachOptionAndSaysWhatIsWrong) {
    const struct {
        std::vector<const char*> arguments; // after the program's name
        Kind kind;
        const char* action;
        bool verbose;
        const char* outputHas; // a part of the printed text, or nothing
    } cases[] = {
        {{}, Kind::run, "", false, nullptr},
        {{"--capture"}, Kind::run, "capture", false, nullptr},
        {{"--preferences", "--verbose"}, Kind::run, "preferences", true, nullptr},
        {{"--verbose", "--quit"}, Kind::run, "quit", true, nullptr},
        {{"--action", "translate-replace"}, Kind::run, "translate-replace", false, nullptr},
        {{"--action=Summarize"}, Kind::error, "", false, "unknown action 'Summarize'"},
        {{"--action=translate", "--capture"},
         Kind::error,
         "",
         false,
         "choose one of --capture, --action"},
        // Help and version win over everything else and name the program.
        {{"--help"}, Kind::help, "", false, "ovra [options]"},
        {{"-h", "--capture"}, Kind::help, "", false, "--capture"},
        {{"--version"}, Kind::version, "", false, "ovra 0."},
        // Mistakes say what is wrong and where to look.
        {{"--frobnicate"}, Kind::error, "", false, "Unknown option 'frobnicate'"},
        {{"--capture", "--quit"}, Kind::error, "", false, "choose one of --capture, --quit"},
        {{"file.txt"}, Kind::error, "", false, "unexpected argument 'file.txt'"},
        {{"--capture=now"}, Kind::error, "", false, "ovra --help"},
    };
    for (const auto& c : cases) {
        QStringList arguments{QStringLiteral("/usr/bin/ovra")};
        for (const char* argument : c.arguments)
            arguments.append(QString::fromUtf8(argument));
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const CommandLineRequest request = CommandLine::parse(arguments);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.action, QString::fromUtf8(c.action));
        EXPECT_EQ(request.verbose, c.verbose);
        if (c.outputHas)
            EXPECT_TRUE(request.output.contains(QString::fromUtf8(c.outputHas)))
                << request.output.toStdString();
        else
            EXPECT_TRUE(request.output.isEmpty()) << request.output.toStdString();
    }
}

} // namespace
