#include "platform/DebugOutput.h"

#include <windows.h>

#include "platform/windows/WideText.h"

void SayToTheSystem(const std::string& text) {
  OutputDebugStringW(WideFromCodePage(text + "\n", LogCodePage).c_str());
}
