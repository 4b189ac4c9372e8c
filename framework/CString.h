// The dialogs' text type: UTF-8 text owned by value, with the few operations
// the dialogs use. A realisation converts at its own boundary (UTF-16 for Qt
// and for the wide-character Win32 calls); the characters never change.
#pragma once

#include <array>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* utf8) : m_text(utf8 ? utf8 : "") {}
    CString(std::string_view utf8) : m_text(utf8) {}
    CString(std::string utf8) : m_text(std::move(utf8)) {}

    // "Empty" is zero length: a text of blanks is not empty.
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    // The text as UTF-8, for the codec's text-to-number rules and for the
    // realisations.
    const std::string& Utf8() const { return m_text; }

    // Replaces the text with `format`, each of %1 to %9 taking the argument
    // of that number and %% giving one '%'. Arguments are copied as they
    // are: a '%' in one is never read as a place.
    template <class... Args>
    void Format(std::string_view format, const Args&... args)
    {
        const std::array<CString, sizeof...(Args)> list{CString(args)...};
        m_text = Substitute(format, list.data(), list.size());
    }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b)
    {
        return a.m_text == std::string_view(b ? b : "");
    }

private:
    static std::string Substitute(std::string_view format, const CString* args, std::size_t count);

    std::string m_text;
};
