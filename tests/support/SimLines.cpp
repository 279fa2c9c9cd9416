#include "SimLines.h"

#include "link/CommCenter.h"

namespace testsupport {

SimLine::SimLine(nodesim::Config config)
    : link_(dir_ / "line"), sim_(std::make_unique<nodesim::Simulator>(std::move(config))) {}

SimLine::~SimLine() {
    sim_->Stop();
}

bool SimLine::Start(std::string* error) {
    return sim_->Start(link_, error);
}

int CreateCentre(SimLine* line0, int nodes0, SimLine* line1, int nodes1, int speedIndex) {
    std::string names[2] = {line0 ? line0->link() : "", line1 ? line1->link() : ""};
    int counts[2] = {nodes0, nodes1};
    int speeds[2] = {speedIndex, speedIndex};
    int modes[2] = {0, 0};
    return CCommCenter::Create(names, counts, speeds, modes);
}

} // namespace testsupport
