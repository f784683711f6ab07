#include "support/systemtext_windows.h"

#include "support/failure.h"
#include "support/systemtext.h"

#include <exception>
#include <windows.h>

namespace quorvane::support {

namespace {

std::wstring wideFrom(std::string_view text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string narrowFrom(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace

std::string utf8FromWide(std::wstring_view wide) {
    return narrowFrom(wide, CP_UTF8);
}

std::string ansiFromWide(std::wstring_view wide) {
    return narrowFrom(wide, CP_ACP);
}

std::string toSystemCodePage(std::string_view utf8) {
    return narrowFrom(wideFrom(utf8, CP_UTF8), CP_ACP);
}

std::string fromSystemCodePage(std::string_view bytes) {
    return narrowFrom(wideFrom(bytes, CP_ACP), CP_UTF8);
}

std::filesystem::path pathFromText(std::string_view utf8) {
    if (utf8.find('\0') != std::string_view::npos) {
        raise(errors::kBadFileName);
    }
    try {
        // The wide form holds every character a Windows name can have.
        return std::filesystem::path(
            std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
    } catch (const std::exception&) {
        // Only a text that is not UTF-8 gets here.
        raise(errors::kBadFileName);
    }
}

std::string textOfPath(const std::filesystem::path& path) {
    return utf8FromWide(path.native());
}

} // namespace quorvane::support
