#include "toolkit/InstallerPackageWin32.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <utility>

#include "toolkit/HandlesWin32.h"

namespace {

// An installer handle (database, view, record, summary).
using UniqueMsiHandle = UniqueHandleOf<FreedBy<MSIHANDLE, MsiCloseHandle>>;

// A GUID in braces, as the installer writes codes: "{" + 36 characters + "}".
bool IsBracedGuid(const std::string& text)
{
    return text.size() == 38 && text.front() == '{' && text.back() == '}';
}

std::optional<std::string> RecordString(MSIHANDLE record, UINT field)
{
    char empty[1] = {};
    DWORD size = 0;
    if (MsiRecordGetStringA(record, field, empty, &size) != ERROR_MORE_DATA)
        return std::nullopt;
    std::string text(size + 1, '\0');
    ++size;
    if (MsiRecordGetStringA(record, field, text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size);
    return text;
}

std::optional<std::string> ProductCodeOf(const std::string& path)
{
    UniqueMsiHandle database, view, record;
    if (MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY, database.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    const char* query = "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'";
    if (MsiDatabaseOpenViewA(database.Get(), query, view.Put()) != ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS || MsiViewFetch(view.Get(), record.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    return RecordString(record.Get(), 1);
}

// A patch names itself first in its summary's revision number, before the patches it replaces.
std::optional<std::string> PatchCodeOf(const std::string& path)
{
    constexpr UINT kRevisionNumber = 9;
    UniqueMsiHandle summary;
    if (MsiGetSummaryInformationA(0, path.c_str(), 0, summary.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    char empty[1] = {};
    DWORD size = 0;
    if (MsiSummaryInfoGetPropertyA(summary.Get(), kRevisionNumber, &type, &number, &time, empty, &size) !=
        ERROR_MORE_DATA)
        return std::nullopt;
    std::string text(size + 1, '\0');
    ++size;
    if (MsiSummaryInfoGetPropertyA(summary.Get(), kRevisionNumber, &type, &number, &time, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(std::min<std::size_t>(size, 38));
    return text;
}

}  // namespace

std::optional<std::string> ReadPackageCode(const std::string& path, bool patch)
{
    std::optional<std::string> code = patch ? PatchCodeOf(path) : ProductCodeOf(path);
    if (code && !IsBracedGuid(*code))
        return std::nullopt;
    return code;
}
