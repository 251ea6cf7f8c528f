#include "app/command_line.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using Kind = CommandLineRequest::Kind;

namespace {

struct Case {
    QStringList arguments; // after the program's name
    Kind kind;
    QString action;
    bool verbose;
    const char* outputHas; // a part of the printed text, or nothing
};

class CommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, Parses) {
    const Case& c = GetParam();
    const CommandLineRequest request =
        CommandLine::parse(QStringList{u"/usr/bin/ovra"_s} + c.arguments);
    EXPECT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.action, c.action);
    EXPECT_EQ(request.verbose, c.verbose);
    if (c.outputHas)
        EXPECT_TRUE(request.output.contains(QString::fromUtf8(c.outputHas)))
            << request.output.toStdString();
    else
        EXPECT_TRUE(request.output.isEmpty()) << request.output.toStdString();
}

const auto s = [](const char* text) { return QString::fromUtf8(text); };

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineTest,
    ::testing::Values(
        Case{{}, Kind::run, {}, false, nullptr},
        Case{{s("--capture")}, Kind::run, s("capture"), false, nullptr},
        Case{{s("--preferences"), s("--verbose")}, Kind::run, s("preferences"), true, nullptr},
        Case{{s("--verbose"), s("--quit")}, Kind::run, s("quit"), true, nullptr},
        Case{{s("--action"), s("translate-replace")},
             Kind::run,
             s("translate-replace"),
             false,
             nullptr},
        Case{{s("--action=Summarize")}, Kind::error, {}, false, "unknown action 'Summarize'"},
        Case{{s("--action=translate"), s("--capture")},
             Kind::error,
             {},
             false,
             "choose one of --capture, --action"},
        // Help and version win over everything else and name the program.
        Case{{s("--help")}, Kind::help, {}, false, "ovra [options]"},
        Case{{s("-h"), s("--capture")}, Kind::help, {}, false, "--capture"},
        Case{{s("--version")}, Kind::version, {}, false, "ovra 0."},
        // Mistakes say what is wrong and where to look.
        Case{{s("--frobnicate")}, Kind::error, {}, false, "Unknown option 'frobnicate'"},
        Case{{s("--capture"), s("--quit")},
             Kind::error,
             {},
             false,
             "choose one of --capture, --quit"},
        Case{{s("file.txt")}, Kind::error, {}, false, "unexpected argument 'file.txt'"},
        Case{{s("--capture=now")}, Kind::error, {}, false, "ovra --help"}));

} // namespace
