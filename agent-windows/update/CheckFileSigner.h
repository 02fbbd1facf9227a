// The trust check of a downloaded update package, which runs with the service's rights.
#pragma once

#include <string>

// True when WinVerifyTrust accepts the file's embedded signature (valid, matching the file,
// chaining to a trusted root) and the signer's simple display name contains "Quelmo".
bool CheckFileSigner(const std::wstring& path);
