// Progress on stderr while a task runs. On a terminal, one live line rewritten in place with the
// overall state: nodes done of the total, the overall per cent and the slowest node. Otherwise
// plain lines, one per change of a node's state, so that logs and pipes stay readable; a node's
// end is left to its result line on stdout, so that nothing is said twice.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct NodeView {
    std::string label;    // the node number as the windows show it
    int status = -1;      // as the node list shows it
    int progress = 0;     // percent of the file in transfer
    int overall = 0;      // percent of the node's whole part of the run (all files of a send)
    int missingCount = 0; // packages the node still lacks
    bool ended = false;   // the node has reached its end for the run
};

// A node's per cent of a send of `fileCount` files: the files it has done and the per cent of
// the one in transfer, below 100 until the node has reached its end.
int OverallPercent(int filesDone, int filePercent, size_t fileCount);

// The live line for `nodes`, whose shown texts are `texts` (same order; "" where a node has shown
// none yet): "3/8 done  62%  slowest 005 Sending File's Package...40 12%". The overall per cent
// is the mean of the nodes' `overall`, an ended node counting 100; the slowest node is the
// unfinished one with the lowest `overall` (the first of equals), shown with its state and the
// per cent of its file in transfer.
std::string ProgressSummary(const std::vector<NodeView>& nodes,
                            const std::vector<std::string>& texts);

class ProgressView {
public:
    ProgressView(std::ostream& out, bool terminal, int width);
    void Update(const std::vector<NodeView>& nodes);
    // Clears the live line; plain output needs no closing.
    void Finish();

private:
    struct Shown {
        std::string text; // last non-empty status text, as the node list keeps it
        int step = 0;     // the quarter of the file in transfer last seen
    };

    std::ostream& out_;
    bool terminal_;
    int width_;
    bool liveShown_ = false;
    std::string lastLine_;
    std::map<std::string, Shown> shown_;
};

} // namespace cli
