// Reads back what the Windows installer left, as Windows itself sees it: scripts/windows-check.sh
// runs it under Wine beside the installed program (tests/e2e/check-windows-installer.sh).
//
//   installerprobe folder localappdata|documents|programs   the user's folder of that kind
//   installerprobe shortcut FILE.lnk                        the shortcut's target, then its
//                                                           working folder, one a line
//   installerprobe products UPGRADE-CODE                    one line per installed product of
//                                                           that upgrade code: its product code
//                                                           and version
//   installerprobe product PRODUCT-CODE                     what Windows Installer keeps for the
//                                                           installed product's entry in Apps:
//                                                           its ProductIcon, InstallLocation and
//                                                           Publisher, each as "NAME value"
//   installerprobe package FILE.msi                         the package's UpgradeCode,
//                                                           ProductVersion and ALLUSERS
//                                                           properties, each as "NAME value",
//                                                           and "elevation needed" or
//                                                           "elevation not needed"
// Prints UTF-8; exits 1 when what it reads is not there.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

// After windows.h, which the Windows headers below need.
#include <cstdio>
#include <cstring>
#include <knownfolders.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>

namespace {

void printLine(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, line.data(), size, nullptr, nullptr);
    std::puts(line.c_str());
}

std::wstring fromUtf8(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    return wide.c_str();
}

int folder(const char* kind) {
    const KNOWNFOLDERID* id = nullptr;
    if (std::strcmp(kind, "localappdata") == 0) {
        id = &FOLDERID_LocalAppData;
    } else if (std::strcmp(kind, "documents") == 0) {
        id = &FOLDERID_Documents;
    } else if (std::strcmp(kind, "programs") == 0) {
        id = &FOLDERID_Programs;
    } else {
        return 2;
    }
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(*id, 0, nullptr, &path))) {
        return 1;
    }
    printLine(path);
    CoTaskMemFree(path);
    return 0;
}

int shortcut(const char* file) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return 1;
    }
    IPersistFile* persist = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t workingFolder[MAX_PATH] = {};
    const bool read =
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(fromUtf8(file).c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetWorkingDirectory(workingFolder, MAX_PATH));
    if (persist != nullptr) {
        persist->Release();
    }
    link->Release();
    if (!read) {
        return 1;
    }
    printLine(target);
    printLine(workingFolder);
    return 0;
}

int products(const char* upgradeCode) {
    const std::wstring code = fromUtf8(upgradeCode);
    wchar_t product[39] = {};
    for (DWORD index = 0; MsiEnumRelatedProductsW(code.c_str(), 0, index, product) == ERROR_SUCCESS;
         ++index) {
        wchar_t version[64] = {};
        DWORD size = 64;
        MsiGetProductInfoW(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        printLine(std::wstring(product) + L" " + version);
    }
    return 0;
}

int product(const char* productCode) {
    const std::wstring code = fromUtf8(productCode);
    for (const wchar_t* name :
         {INSTALLPROPERTY_PRODUCTICON, INSTALLPROPERTY_INSTALLLOCATION, INSTALLPROPERTY_PUBLISHER}) {
        wchar_t value[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (MsiGetProductInfoW(code.c_str(), name, value, &size) != ERROR_SUCCESS) {
            value[0] = L'\0';
        }
        printLine(std::wstring(name) + L" " + value);
    }
    return 0;
}

// The value of the property `name` in the open package `database`; empty when it has none.
std::wstring property(MSIHANDLE database, const std::wstring& name) {
    const std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'";
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    std::wstring value;
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[256] = {};
        DWORD size = 256;
        if (MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS) {
            value = text;
        }
        MsiCloseHandle(record);
    }
    if (view != 0) {
        MsiCloseHandle(view);
    }
    return value;
}

int package(const char* file) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(fromUtf8(file).c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) {
        return 1;
    }
    for (const wchar_t* name : {L"UpgradeCode", L"ProductVersion", L"ALLUSERS"}) {
        printLine(std::wstring(name) + L" " + property(database, name));
    }
    // Bit 3 of the summary's word count: the package installs without elevated rights.
    constexpr UINT kWordCount = 15;
    MSIHANDLE summary = 0;
    UINT type = 0;
    INT wordCount = 0;
    FILETIME unused{};
    DWORD size = 0;
    const bool read = MsiGetSummaryInformationW(database, nullptr, 0, &summary) == ERROR_SUCCESS &&
                      MsiSummaryInfoGetPropertyW(summary, kWordCount, &type, &wordCount, &unused,
                                                 nullptr, &size) == ERROR_SUCCESS;
    if (summary != 0) {
        MsiCloseHandle(summary);
    }
    MsiCloseHandle(database);
    if (!read) {
        return 1;
    }
    printLine((wordCount & 8) != 0 ? L"elevation not needed" : L"elevation needed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: installerprobe folder|shortcut|products|product|package ARGUMENT\n", stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "folder") {
        return folder(argv[2]);
    }
    if (command == "shortcut") {
        return shortcut(argv[2]);
    }
    if (command == "products") {
        return products(argv[2]);
    }
    if (command == "product") {
        return product(argv[2]);
    }
    if (command == "package") {
        return package(argv[2]);
    }
    return 2;
}
