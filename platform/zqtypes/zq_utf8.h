// UTF-8 and wide (UTF-32) text conversion.  Invalid input becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::string ZQ_Utf8FromWide(std::wstring_view wide);
std::wstring ZQ_WideFromUtf8(std::string_view utf8);
