#include "moncontrol/tables/CodeList.h"

void ParseVcpList(const std::string& text, TextMap& codes) {
  enum class State { kCode, kValue, kValueClosed };
  State state = State::kCode;
  std::string code;
  std::string value;
  int depth = 0;
  auto enter = [&] {
    if (!code.empty()) codes.emplace(code, value);
    code.clear();
    value.clear();
    state = State::kCode;
  };
  for (const char c : text) {
    switch (state) {
      case State::kCode:
        if (c == ' ') {
          enter();
        } else if (c == '(') {
          state = State::kValue;
          depth = 1;
        } else {
          code += c;
        }
        break;
      case State::kValue:
        if (c == '(') {
          ++depth;
        } else if (c == ')' && --depth == 0) {
          state = State::kValueClosed;
          break;
        }
        value += c;
        break;
      case State::kValueClosed:  // up to the next space nothing belongs to the code
        if (c == ' ') enter();
        break;
    }
  }
  // The list ends as at a space; a value still open at the end is not entered.
  if (state != State::kValue) enter();
}

TextMap ParseSubCodeList(const std::string& text) {
  TextMap codes;
  ParseVcpList(text, codes);
  return codes;
}
