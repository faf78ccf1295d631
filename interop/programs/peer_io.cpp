// The job loop and the small conversions shared by the interoperability
// programs: hex for binary payloads and ISO dates.
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

bool ParseIsoDate(const std::string &text, int &year, int &month, int &day) {
    char tail = 0;
    return text.size() == 10 && std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) == 3;
}

} // namespace interop
