// Text between the container's UTF-16 and the ANSI code page the renderer, the block and the
// plug-in's settings use.
#pragma once

#include <string>

std::string AnsiFromWide(const wchar_t* text);
std::wstring WideFromAnsi(const std::string& text);
