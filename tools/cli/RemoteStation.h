// A station that runs already (windowed or talvorn-stationd) and owns the port, reached through
// its HTTP API with the user and password of its Log On. Each poll reads the channel and its
// nodes; the run's task is told apart from other work on the line by its task number.
#pragma once

#include "StationAccess.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace httplib {
class Client;
}

namespace cli {

class RemoteStation : public StationLink {
public:
    RemoteStation(const std::string& url, const std::string& user, const std::string& password,
                  int channel);
    ~RemoteStation() override;

    // Reads the channel; false with a message and the exit status to end with (the station
    // cannot be reached or refuses the user: kExitUsage).
    bool Connect(std::string* error, int* exitStatus);
    bool ChannelOpen() const override { return open_; }
    int FirstNumber() const override { return first_; }
    int NodeCount() const override { return count_; }

    QueueResult Queue(Command kind, const std::vector<int>& nodes,
                      const std::vector<std::string>& files) override;
    bool Poll(std::string* error) override;
    NodeReading Reading(int node) override;
    std::vector<ListedFile> Listed(int node) override;
    bool Busy() override;
    bool LineLost() override { return lineLost_; }
    bool LineMoved() override;
    void SettleLostLine() override;
    void Cancel(const std::vector<int>& nodes) override;

private:
    struct Reply {
        int status = 0;    // 0: no answer at all
        std::string body;  // the answer's body
        std::string error; // why there was no answer
    };
    Reply Get(const std::string& path);
    Reply Post(const std::string& path, const std::string& body);
    // One exchange with the station, or why there was none.
    template <typename Exchange> Reply Ask(Exchange exchange);
    // The message for a reply that is not what was asked for.
    std::string Refusal(const Reply& reply) const;
    bool ReadChannel(std::string* error);
    std::string Label(int node) const;
    std::string ChannelPath() const;

    std::string url_;
    std::string user_;
    std::unique_ptr<httplib::Client> client_;
    const int c_;

    bool open_ = false;
    int first_ = 0;
    int count_ = 0;
    bool lineLost_ = false;
    std::string command_; // what the channel's sender does now
    int64_t freshPackages_ = 0;
    int64_t lastFreshPackages_ = -1;
    bool taskActive_ = false;
    int64_t queued_ = 0;

    int32_t task_ = 0; // the run's task now
    struct Node {
        NodeReading reading;
        std::vector<int32_t> tasks;
    };
    std::map<int, Node> nodes_;
    std::map<int, std::vector<ListedFile>> listed_; // read during this poll
};

} // namespace cli
