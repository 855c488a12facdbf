#include "byte_range.h"

#include <charconv>
#include <optional>

namespace webservice {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint64_t> Number(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

ByteRange Partial(std::uint64_t first, std::uint64_t last) {
    return {ByteRange::Kind::kPartial, first, last};
}

}  // namespace

ByteRange ParseByteRange(const std::string& header, std::uint64_t size) {
    const ByteRange whole;
    const ByteRange unsatisfiable{ByteRange::Kind::kUnsatisfiable};
    const std::string text = Trim(header);
    if (text.rfind("bytes=", 0) != 0) return whole;
    const std::string spec = Trim(text.substr(6));
    const auto dash = spec.find('-');
    if (dash == std::string::npos || spec.find(',') != std::string::npos) return whole;
    const std::string left = Trim(spec.substr(0, dash));
    const std::string right = Trim(spec.substr(dash + 1));
    if (left.empty()) {
        const auto suffix = Number(right);
        if (!suffix) return whole;
        if (*suffix == 0 || size == 0) return unsatisfiable;
        return Partial(*suffix >= size ? 0 : size - *suffix, size - 1);
    }
    const auto first = Number(left);
    if (!first) return whole;
    std::optional<std::uint64_t> last;
    if (!right.empty()) {
        last = Number(right);
        if (!last || *last < *first) return whole;
    }
    if (*first >= size) return unsatisfiable;
    return Partial(*first, last && *last < size ? *last : size - 1);
}

}  // namespace webservice
