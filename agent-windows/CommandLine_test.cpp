#include "agent-windows/CommandLine.h"

#include <string>

#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
  const char* name;
  std::wstring commandLine;
  AgentMode mode;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, SelectsMode) {
  EXPECT_EQ(ParseAgentMode(GetParam().commandLine), GetParam().mode);
}

const std::wstring kProgram = L"\"C:\\Program Files\\Tarvik\\TarvikClient.exe\"";

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"NoSwitch", kProgram, AgentMode::kService},
        CommandLineCase{"NoSwitchUnquoted", L"C:\\Tarvik\\TarvikClient.exe", AgentMode::kService},
        CommandLineCase{"Empty", L"", AgentMode::kService},
        CommandLineCase{"SlashInstall", kProgram + L" /install", AgentMode::kInstall},
        CommandLineCase{"UpperInstall", kProgram + L" /INSTALL", AgentMode::kInstall},
        CommandLineCase{"DashInstall", kProgram + L" -Install", AgentMode::kInstall},
        CommandLineCase{"NoBlankBeforeSwitch", kProgram + L"/install", AgentMode::kInstall},
        CommandLineCase{"Remove", kProgram + L" /Remove", AgentMode::kRemove},
        CommandLineCase{"Uninstall", kProgram + L" /uninstall", AgentMode::kRemove},
        CommandLineCase{"DashRemove", kProgram + L" -remove", AgentMode::kRemove},
        CommandLineCase{"TrailingBlank", kProgram + L" /install ", AgentMode::kNone},
        CommandLineCase{"TrailingWord", kProgram + L" /install now", AgentMode::kNone},
        CommandLineCase{"Unknown", kProgram + L" /start", AgentMode::kNone},
        CommandLineCase{"BareMark", kProgram + L" /", AgentMode::kNone},
        // The option runs to the end: a later '-' is part of it.
        CommandLineCase{"SlashBeforeDash", kProgram + L" /x -install", AgentMode::kNone},
        CommandLineCase{"DashBeforeSlashTakesSlash", kProgram + L" -x /install", AgentMode::kInstall},
        // Marks inside the program's own path are not switches.
        CommandLineCase{"HyphenFolderService", L"\"C:\\Tarvik-Client\\TarvikClient.exe\"", AgentMode::kService},
        CommandLineCase{"HyphenFolderUnquoted", L"C:\\Tarvik-Client\\TarvikClient.exe", AgentMode::kService},
        CommandLineCase{"SlashFolderService", L"\"Z:\\srv/tarvik\\TarvikClient\"", AgentMode::kService},
        CommandLineCase{"HyphenFolderInstall", L"\"C:\\Tarvik-Client\\TarvikClient.exe\" -install", AgentMode::kInstall},
        CommandLineCase{"UnclosedQuote", L"\"C:\\Tarvik-Client\\TarvikClient.exe /install", AgentMode::kService}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

TEST(CommandLine, LongLinesAreParsed) {
  EXPECT_EQ(ParseAgentMode(kProgram + L" /" + std::wstring(100000, L'x')), AgentMode::kNone);
  EXPECT_EQ(ParseAgentMode(kProgram + std::wstring(100000, L' ') + L"/remove"), AgentMode::kRemove);
}

}  // namespace
