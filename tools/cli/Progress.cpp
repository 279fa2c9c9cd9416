#include "Progress.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"

#include <algorithm>

namespace cli {

namespace {

std::string StatusText(const NodeView& node) {
    return NodeInfoText(node.status, node.missingCount);
}

} // namespace

ProgressView::ProgressView(std::ostream& out, bool terminal, int width)
    : out_(out), terminal_(terminal), width_(width < 20 ? 20 : width) {}

void ProgressView::Update(const std::vector<NodeView>& nodes) {
    std::string line;
    int ended = 0;
    // Plain output: the nodes that changed alike in this update share one line.
    std::vector<std::pair<std::string, std::string>> changes; // text, labels
    for (const NodeView& node : nodes) {
        Shown& shown = shown_[node.label];
        const std::string text = StatusText(node);
        // Codes without a text leave the last one standing, as in the node list.
        const bool changed = !text.empty() && node.status != shown.status;
        if (!text.empty())
            shown.text = text;
        const int step = node.status == NS_SENDING_PACKAGES ? node.progress / 25 : -1;
        std::string shownText = shown.text;
        if (step >= 0 && node.progress > 0)
            shownText += "  " + std::to_string(node.progress) + "%";
        if (!terminal_ && (changed || (step != shown.step && step > 0))) {
            auto same = std::find_if(changes.begin(), changes.end(),
                                     [&](const auto& c) { return c.first == shownText; });
            if (same == changes.end())
                changes.emplace_back(shownText, node.label);
            else
                same->second += "," + node.label;
        }
        if (!text.empty())
            shown.status = node.status;
        shown.step = step;
        ended += node.ended ? 1 : 0;
        if (terminal_) {
            line += " | " + node.label + " " + (shownText.empty() ? "..." : shownText);
        }
    }
    if (!terminal_) {
        for (const auto& [text, labels] : changes)
            out_ << labels << "  " << text << "\n";
        out_.flush();
        return;
    }
    line = std::to_string(ended) + "/" + std::to_string(nodes.size()) + " ended" + line;
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
