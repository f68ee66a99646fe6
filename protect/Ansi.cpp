#include "protect/Ansi.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace orvendal {
namespace {

using TConverter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

// What a conversion from UTF-16 does with a character the target cannot hold.
enum class TMissing { Substitute, Stop, CharacterReference };

// ISO-8859-1 names the Latin-1 converter in ICU; documents and our own files mean
// Windows-1252 by it.
TConverter Open(const std::string& name) {
    UErrorCode error = U_ZERO_ERROR;
    TConverter converter(ucnv_open(name.c_str(), &error), &ucnv_close);
    if (U_FAILURE(error)) {
        return TConverter(nullptr, &ucnv_close);
    }
    if (std::string_view(ucnv_getName(converter.get(), &error)) == "ISO-8859-1") {
        return Open("windows-1252");
    }
    return converter;
}

// Runs a conversion into out, sized first, doubling it while the conversion overflows; the
// conversion moves target on and leaves the rest of its input for the next round.
template <typename TText, typename TConvert>
UErrorCode Grow(TText& out, size_t first, TConvert convert) {
    out.assign(first, {});
    size_t used = 0;
    for (;;) {
        auto* target = out.data() + used;
        UErrorCode error = U_ZERO_ERROR;
        convert(target, out.data() + out.size(), error);
        used = static_cast<size_t>(target - out.data());
        if (error != U_BUFFER_OVERFLOW_ERROR) {
            out.resize(used);
            return error;
        }
        out.resize(out.size() * 2);
    }
}

// Bytes to UTF-16. With stop, false at the first invalid sequence and its offset in errorOffset;
// otherwise such sequences become U+FFFD.
bool ToUtf16(UConverter* converter, std::string_view bytes, bool stop, std::u16string& out,
             size_t& errorOffset) {
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(converter);
    if (stop) {
        ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    }
    const char* source = bytes.data();
    error = Grow(out, bytes.size() + 16, [&](char16_t*& target, char16_t* limit, UErrorCode& e) {
        auto* at = reinterpret_cast<UChar*>(target);
        ucnv_toUnicode(converter, &at, reinterpret_cast<UChar*>(limit), &source,
                       bytes.data() + bytes.size(), nullptr, true, &e);
        target = reinterpret_cast<char16_t*>(at);
    });
    if (U_SUCCESS(error)) {
        return true;
    }
    char invalid[32];
    int8_t length = sizeof invalid;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(converter, invalid, &length, &ignored);
    errorOffset = static_cast<size_t>(source - bytes.data()) - static_cast<size_t>(length);
    return false;
}

// UTF-16 to bytes. With TMissing::Stop, false at the first character the target cannot hold,
// which missing receives.
bool FromUtf16(UConverter* converter, std::u16string_view text, TMissing mode, std::string& out,
               std::u16string& missing) {
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(converter);
    if (mode == TMissing::Stop) {
        ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &error);
    } else if (mode == TMissing::CharacterReference) {
        ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_HEX, nullptr,
                              nullptr, &error);
    } else {
        ucnv_setSubstChars(converter, "?", 1, &error);
    }
    const auto* source = reinterpret_cast<const UChar*>(text.data());
    const UChar* const end = source + text.size();
    error = Grow(out, text.size() * 4 + 16, [&](char*& target, char* limit, UErrorCode& e) {
        ucnv_fromUnicode(converter, &target, limit, &source, end, nullptr, true, &e);
    });
    if (U_SUCCESS(error)) {
        return true;
    }
    UChar invalid[8];
    int8_t length = 8;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidUChars(converter, invalid, &length, &ignored);
    missing.assign(reinterpret_cast<const char16_t*>(invalid), static_cast<size_t>(length));
    return false;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    std::u16string missing;
    FromUtf16(Open("UTF-8").get(), text, TMissing::Substitute, out, missing);
    return out;
}

std::string FromUtf8(std::string_view utf8, const char* encoding, TMissing mode) {
    std::u16string wide, missing;
    size_t ignored = 0;
    ToUtf16(Open("UTF-8").get(), utf8, false, wide, ignored);
    std::string out;
    FromUtf16(Open(encoding).get(), wide, mode, out, missing);
    return out;
}

// "„✓“ (U+2713)": the character as the user sees it and its code point.
std::string Describe(const std::u16string& character) {
    UChar32 code = 0;
    size_t i = 0;
    U16_NEXT(character.data(), i, character.size(), code);
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    return "„" + Utf16ToUtf8(character) + "“ (" + number + ")";
}

} // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string utf8;
    size_t ignored = 0;
    DecodeText(ansi, "windows-1252", utf8, ignored);
    return utf8;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return FromUtf8(utf8, "windows-1252", TMissing::Substitute);
}

std::string Utf8ToMarkup(std::string_view utf8, const char* encoding) {
    return FromUtf8(utf8, encoding, TMissing::CharacterReference);
}

bool Utf8ToAnsiExact(std::string_view utf8, std::string& ansi, std::string& problem) {
    std::u16string wide, missing;
    size_t offset = 0;
    if (!ToUtf16(Open("UTF-8").get(), utf8, true, wide, offset)) {
        problem = "kein gültiges UTF-8 (Byte " + std::to_string(offset) + ")";
        return false;
    }
    if (!FromUtf16(Open("windows-1252").get(), wide, TMissing::Stop, ansi, missing)) {
        problem = "das Zeichen " + Describe(missing) + " gibt es in Windows-1252 nicht";
        return false;
    }
    return true;
}

bool KnownEncoding(const std::string& name) {
    return Open(name) != nullptr;
}

bool SameEncoding(const std::string& a, const std::string& b) {
    const TConverter first = Open(a), second = Open(b);
    UErrorCode error = U_ZERO_ERROR;
    return first && second &&
           std::string_view(ucnv_getName(first.get(), &error)) ==
               ucnv_getName(second.get(), &error);
}

bool DecodeText(std::string_view bytes, const std::string& encoding, std::string& utf8,
                size_t& errorOffset) {
    const TConverter converter = Open(encoding);
    std::u16string wide;
    errorOffset = std::string::npos;
    if (!converter || !ToUtf16(converter.get(), bytes, true, wide, errorOffset)) {
        return false;
    }
    utf8 = Utf16ToUtf8(wide);
    return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

} // namespace orvendal
