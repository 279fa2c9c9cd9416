#include "Progress.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"

#include <algorithm>

namespace cli {

namespace {

// The per cent of the file in transfer, while its packages go out.
std::string WithPercent(const std::string& text, const NodeView& node) {
    if (node.status == NS_SENDING_PACKAGES && node.progress > 0)
        return text + " " + std::to_string(node.progress) + "%";
    return text;
}

} // namespace

int OverallPercent(int filesDone, int filePercent, size_t fileCount) {
    const long files = fileCount == 0 ? 1 : static_cast<long>(fileCount);
    const long percent = (std::max(filesDone, 0) * 100L + std::clamp(filePercent, 0, 100)) / files;
    return static_cast<int>(std::clamp(percent, 0L, 99L));
}

std::string ProgressSummary(const std::vector<NodeView>& nodes,
                            const std::vector<std::string>& texts) {
    int done = 0;
    long sum = 0;
    const NodeView* slowest = nullptr;
    size_t slowestAt = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const NodeView& n = nodes[i];
        if (n.ended) {
            ++done;
            sum += 100;
            continue;
        }
        sum += n.overall;
        if (!slowest || n.overall < slowest->overall) {
            slowest = &n;
            slowestAt = i;
        }
    }
    const long percent = nodes.empty() ? 100 : sum / static_cast<long>(nodes.size());
    std::string line = std::to_string(done) + "/" + std::to_string(nodes.size()) + " done  " +
                       std::to_string(percent) + "%";
    if (slowest) {
        const std::string text = slowestAt < texts.size() ? texts[slowestAt] : std::string();
        line += "  slowest " + slowest->label + " " +
                (text.empty() ? std::string("...") : WithPercent(text, *slowest));
    }
    return line;
}

ProgressView::ProgressView(std::ostream& out, bool terminal, int width)
    : out_(out), terminal_(terminal), width_(width < 20 ? 20 : width) {}

void ProgressView::Update(const std::vector<NodeView>& nodes) {
    std::vector<std::string> texts;
    texts.reserve(nodes.size());
    for (const NodeView& node : nodes) {
        Shown& shown = shown_[node.label];
        // Codes without a text leave the last one standing, as in the node list.
        const std::string text = NodeInfoText(node.status, node.missingCount);
        const bool changed = !text.empty() && text != shown.text;
        if (!text.empty())
            shown.text = text;
        texts.push_back(shown.text);
        // Plain output: a line for a new state, and for each quarter of a file passed while
        // packages go out.
        const int step = node.status == NS_SENDING_PACKAGES ? node.progress / 25 : 0;
        const bool newQuarter = step > shown.step;
        shown.step = step;
        if (!terminal_ && !node.ended && (changed || newQuarter))
            out_ << node.label << "  " << WithPercent(shown.text, node) << "\n";
    }
    if (!terminal_) {
        out_.flush();
        return;
    }
    std::string line = ProgressSummary(nodes, texts);
    if (static_cast<int>(line.size()) > width_ - 1)
        line.resize(static_cast<size_t>(width_ - 1));
    if (line == lastLine_)
        return;
    out_ << "\r" << line << "\x1b[K" << std::flush;
    lastLine_ = line;
    liveShown_ = true;
}

void ProgressView::Finish() {
    if (terminal_ && liveShown_)
        out_ << "\r\x1b[K" << std::flush;
    liveShown_ = false;
    lastLine_.clear();
}

} // namespace cli
