#include "core/SystemNames.h"

#include <string_view>

namespace {

using Char = platform::NativeStringView::value_type;

Char Lower(Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c; }

// Whether name starts with ascii (written in small letters), in any case.
bool StartsWith(platform::NativeStringView name, std::string_view ascii)
{
    if (name.size() < ascii.size())
        return false;
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        if (Lower(name[i]) != static_cast<Char>(ascii[i]))
            return false;
    }
    return true;
}

bool Is(platform::NativeStringView name, std::string_view ascii)
{
    return name.size() == ascii.size() && StartsWith(name, ascii);
}

bool IsDigit(Char c) { return c >= '0' && c <= '9'; }

} // namespace

bool IsSystemFolderName(platform::NativeStringView name)
{
    return Is(name, "$recycle.bin") || Is(name, "recycler") || Is(name, "system volume information")
        || StartsWith(name, ".trash-") || Is(name, ".trashes") || Is(name, "lost+found")
        || (name.size() == 9 && StartsWith(name, "found.") && IsDigit(name[6]) && IsDigit(name[7]) && IsDigit(name[8]));
}

bool IsSystemFileName(platform::NativeStringView name)
{
    return Is(name, "thumbs.db") || Is(name, "desktop.ini") || Is(name, ".ds_store") || StartsWith(name, "._");
}
