// What the agent's command line asks for.
#pragma once

#include <string>

enum class AgentMode {
  kService,  // no switch: started by the Service Control Manager
  kInstall,
  kRemove,
  kNone,  // a switch that names nothing
};

// The switch is the text after the first '/' (else the first '-') that follows the program's
// path, to the very end; compared without regard to case.
AgentMode ParseAgentMode(const std::wstring& commandLine);
