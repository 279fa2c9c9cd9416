#include "Config.h"

#include <string_view>

namespace nodesim {

namespace {

bool IsRate(double p) {
    return p >= 0 && p <= 1;
} // false for NaN too

// Takes the text as it stands: a std::string made of each literal would cost an allocation per
// refused configuration (the fuzzers refuse many).
bool Fail(std::string* error, std::string_view message) {
    if (error)
        error->assign(message);
    return false;
}

} // namespace

bool ValidateConfig(const Config& c, std::string* error) {
    if (c.nodeCount < 1 || c.nodeCount > kMaxNodes)
        return Fail(error, "node count must be 1 to 32");
    if (c.capacityBytes == 0)
        return Fail(error, "capacity must be above 0");
    if (c.clusterBytes < 1 || c.clusterBytes > 65535)
        return Fail(error, "cluster must be 1 to 65535 bytes");
    // The storage reply counts free room in 16-bit clusters; more could not be reported.
    if (c.capacityBytes / c.clusterBytes > 65535)
        return Fail(error, "capacity must be at most 65535 clusters");
    if (c.maxFiles < 0 || c.maxFiles > kMaxEntries)
        return Fail(error, "max files must be 0 to 224");
    if (!IsRate(c.dropRate) || !IsRate(c.corruptRate))
        return Fail(error, "probabilities must be between 0 and 1");
    for (int n = 0; n < kMaxNodes; ++n)
        if (c.nodeDropRate[n] > 1 || c.nodeDropRate[n] != c.nodeDropRate[n])
            return Fail(error, "per-node drop rate of node " + std::to_string(n) +
                                   " must be between 0 and 1");
    if (c.turnaroundMs < 0 || c.lateMs < 0)
        return Fail(error, "delays must not be negative");
    return true;
}

} // namespace nodesim
