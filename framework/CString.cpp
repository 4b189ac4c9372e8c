#include "framework/CString.h"

std::string CString::Substitute(std::string_view format, const CString* args, std::size_t count)
{
    std::string out;
    out.reserve(format.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char next = format[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
        } else if (next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < count) {
            out += args[next - '1'].m_text;
            ++i;
        } else {
            out += c;  // no such argument: the place stays as written
        }
    }
    return out;
}
