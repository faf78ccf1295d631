// The job loop and the small conversions shared by the interoperability
// programs: hex for binary payloads, UTF-8 for text, ISO dates.
#include "peer_io.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace interop {

int RunJobs(const ReadFn &read, const WriteFn &write) {
    json jobs;
    try {
        const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        jobs = json::parse(input);
    } catch (const std::exception &e) {
        std::cerr << "cannot parse the job list: " << e.what() << "\n";
        return 2;
    }
    json results = json::array();
    for (const json &job : jobs) {
        json result = {{"ok", true}};
        try {
            const std::string op = job.at("op").get<std::string>();
            if (op == "read")
                result["values"] = read(job);
            else if (op == "write")
                write(job);
            else
                throw std::runtime_error("unknown op " + op);
        } catch (const std::exception &e) {
            result = {{"ok", false}, {"error", e.what()}};
        }
        results.push_back(result);
    }
    // Replacement characters rather than an exception for any stray byte.
    std::cout << results.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
    return 0;
}

std::string HexEncode(const unsigned char *data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

std::vector<unsigned char> HexDecode(const std::string &hex) {
    if (hex.size() % 2 != 0) throw std::runtime_error("odd hex length");
    std::vector<unsigned char> out;
    for (size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::wstring FromUtf8(const std::string &text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = -1;
        unsigned long cp = 0;
        if (lead < 0x80) extra = 0, cp = lead;
        else if ((lead >> 5) == 6) extra = 1, cp = lead & 0x1F;
        else if ((lead >> 4) == 14) extra = 2, cp = lead & 0x0F;
        else if ((lead >> 3) == 30) extra = 3, cp = lead & 0x07;
        bool ok = extra >= 0 && i + extra < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            ok = (next >> 6) == 2;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return out;
}

std::string ToUtf8(const std::wstring &text) {
    std::string out;
    for (wchar_t wc : text) {
        unsigned long cp = static_cast<unsigned long>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool ParseIsoDate(const std::string &text, int &year, int &month, int &day) {
    char tail = 0;
    return text.size() == 10 && std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) == 3;
}

} // namespace interop
