// Per-node progress on stderr while a task runs: one live line rewritten in place on a terminal,
// plain lines (one per change) otherwise, so logs and pipes stay readable.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct NodeView {
    std::string label; // the node number as the windows show it
    int status = -1;
    int progress = 0;     // percent of the file in transfer
    int missingCount = 0; // packages the node still lacks
    bool ended = false;   // no task of the run is pending on the node any more
};

class ProgressView {
public:
    ProgressView(std::ostream& out, bool terminal, int width);
    void Update(const std::vector<NodeView>& nodes);
    // Clears the live line; plain output needs no closing.
    void Finish();

private:
    struct Shown {
        std::string text; // last non-empty status text, as the window keeps it
        int status = -1;
        int step = -1; // progress in quarters, for plain output
    };

    std::ostream& out_;
    bool terminal_;
    int width_;
    bool liveShown_ = false;
    std::string lastLine_;
    std::map<std::string, Shown> shown_;
};

} // namespace cli
