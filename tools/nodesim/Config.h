// Configuration of the node simulator: the nodes it plays, their storage, and the faults it
// injects.
#pragma once

#include "link/Frame.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace nodesim {

struct Config {
    int nodeCount = kMaxNodes;        // nodes 0 .. nodeCount-1, 1..32
    uint32_t capacityBytes = 1457664; // storage of each node
    uint32_t clusterBytes = 512;      // allocation unit, 1..65535
    int maxFiles = kMaxEntries;       // file table size, 0..224 (the list holds 224 entries)
    std::string preloadDir;           // every file here is given to every node at start
    std::string storeDir;             // when set, node n's files are mirrored in node-NN/
    bool clearStore = false;          // empty node-NN/ even of what the simulator did not write

    uint64_t seed = 1;                          // of every random fault decision
    double dropRate = 0;                        // a node ignores a request as if never received
    std::array<double, kMaxNodes> nodeDropRate; // per node; negative = use dropRate
    double corruptRate = 0;                     // a reply gets a flipped byte or is cut short
    uint32_t silentNodes = 0;              // bit n: node n ignores everything and never answers
    int turnaroundMs = 3;                  // a node's pause between request and reply
    int lateMs = 0;                        // added to the turnaround: an answer that comes too late
    std::array<int, kMaxNodes> nodeLateMs; // per node; negative = use lateMs
    uint32_t baud = 0;                     // line-rate emulation, 11 bits a byte; 0 = off

    // Receives one line per frame event when set (the executable's --verbose).
    std::function<void(const std::string&)> log;

    Config() {
        nodeDropRate.fill(-1);
        nodeLateMs.fill(-1);
    }
    int lateFor(int node) const {
        return node >= 0 && node < kMaxNodes && nodeLateMs[node] >= 0 ? nodeLateMs[node] : lateMs;
    }

    Config& setSilent(int node, bool silent = true) {
        if (node >= 0 && node < kMaxNodes)
            silentNodes = silent ? silentNodes | (1u << node) : silentNodes & ~(1u << node);
        return *this;
    }
    Config& setNodeLateMs(int node, int ms) {
        if (node >= 0 && node < kMaxNodes)
            nodeLateMs[node] = ms;
        return *this;
    }
    Config& setNodeDropRate(int node, double rate) {
        if (node >= 0 && node < kMaxNodes)
            nodeDropRate[node] = rate;
        return *this;
    }
};

// False with a message when a value is out of range.
bool ValidateConfig(const Config& config, std::string* error);

} // namespace nodesim
