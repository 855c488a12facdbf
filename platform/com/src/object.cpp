#include "com/object.h"

namespace com::detail {

std::atomic<long>& LiveObjectCount() {
    static std::atomic<long> count{0};
    return count;
}

}  // namespace com::detail
