#include <algorithm>

#include "com/interfaces.h"

namespace com {

DispParams DispParams::FromArgs(std::vector<Variant> args) {
    std::reverse(args.begin(), args.end());
    return DispParams{std::move(args)};
}

std::vector<Variant> DispParams::Args() const { return {rgvarg.rbegin(), rgvarg.rend()}; }

}  // namespace com
