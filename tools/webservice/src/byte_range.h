// The one byte range of a "Range" request header.
#pragma once

#include <cstdint>
#include <string>

namespace webservice {

struct ByteRange {
    enum class Kind { kWhole, kPartial, kUnsatisfiable };
    Kind kind = Kind::kWhole;
    std::uint64_t first = 0;  // inclusive; for kPartial only
    std::uint64_t last = 0;   // inclusive; for kPartial only
};

// "bytes=a-b", "bytes=a-" and "bytes=-n" against a body of `size` bytes. A header that is
// absent, malformed or asks for several ranges selects the whole body (it is ignored, as
// HTTP allows); a well-formed range that starts at or past the end, or a zero suffix, is
// unsatisfiable.
ByteRange ParseByteRange(const std::string& header, std::uint64_t size);

}  // namespace webservice
