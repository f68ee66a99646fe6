#include "tables/UserFkt.h"

#include "Version.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace orvendal {

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> FileNames(const std::string& folder,
                                   const std::function<bool(const std::string&)>& keep) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        std::error_code typeError;
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file(typeError) && keep(LowerCase(name))) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') {
        --last;
    }
    return text.substr(first, last - first);
}

int StrToIntDef(const std::string& text, int fallback) {
    std::string t = Trim(text);
    if (t.empty()) {
        return fallback;
    }
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX ||
        !(std::isdigit(static_cast<unsigned char>(t.back())))) {
        return fallback;
    }
    return static_cast<int>(value);
}

std::string PadLeft(const std::string& text, int width, char fill) {
    if (width <= 0) {
        return {};
    }
    std::string s = std::string(static_cast<size_t>(width), fill) + Trim(text);
    return s.substr(s.size() - static_cast<size_t>(width));
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

int HexByte(const std::string& text) {
    return text.size() == 2 ? 16 * HexDigitValue(text[0]) + HexDigitValue(text[1]) : 0;
}

std::string ComputerName() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') {
        return "(unbekannt)";
    }
    return buffer;
}

std::string TempPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    return path.back() == '/' ? path : path + "/";
}

std::string VersionValue(const std::string& fileName, const std::string& key) {
    if (!fileName.empty()) {
        return {};
    }
    if (key == "ProductName") {
        return ORVENDAL_PRODUCT_NAME;
    }
    if (key == "FileVersion") {
        return ORVENDAL_FILE_VERSION;
    }
    if (key == "LegalCopyright") {
        return ORVENDAL_LEGAL_COPYRIGHT;
    }
    return {};
}

} // namespace orvendal
