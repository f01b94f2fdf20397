// Golden-file tables; see golden_table.h.
#include "support/golden_table.h"

#include <fstream>

#include "platform/common/text_codec.h"

namespace testsupport {

std::vector<std::pair<std::string, std::vector<std::string>>> ReadTable(const std::string& path) {
    std::vector<std::pair<std::string, std::vector<std::string>>> rows;
    std::ifstream table(path, std::ios::binary);
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            line[i] == '|' ? fields.emplace_back() : fields.back() += line[i];
            if (line[i] == '\\' && i + 1 < line.size()) {
                fields.back() += line[++i];
            }
        }
        for (std::string& field : fields) {
            field.erase(0, field.find_first_not_of(' '));
            field.erase(field.find_last_not_of(' ') + 1);
        }
        rows.emplace_back(line, fields);
    }
    return rows;
}

std::wstring Unescape(const std::string& field) {
    const std::wstring in = basekit::detail::DecodeUtf8(field);
    std::wstring out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'\\' || i + 1 == in.size()) {
            out += in[i];
            continue;
        }
        const wchar_t escape = in[++i];
        std::size_t used = 0;
        if (escape == L'u' || escape == L'U') {
            const char32_t cp = std::stoul(in.substr(i + 1, escape == L'u' ? 4 : 8), &used, 16);
            basekit::detail::ForEachUtf16Unit(cp, [&](char16_t unit) { out += static_cast<wchar_t>(unit); });
            if (sizeof(wchar_t) == 4 && cp > 0xFFFF) {
                out.replace(out.size() - 2, 2, 1, static_cast<wchar_t>(cp)); // one code point here
            }
        } else if (escape == L'*') {
            out.append(std::stoul(in.substr(i + 1), &used) - 1, out.back());
        } else {
            const std::wstring from = L"strn0", to(L" \t\r\n\0", 5);
            out += from.find(escape) != std::wstring::npos ? to[from.find(escape)] : escape; // also \\ and \|
        }
        i += used;
    }
    return out;
}

} // namespace testsupport
