// A centre built by hand on scripted ports, with pauses recorded instead of waited out and a clock
// that moves only with them. Each pause
// also runs one reader pass, so bytes queued on the port reach the ring as time "passes".
#pragma once

#include "link/CommCenter.h"
#include "platform/ScriptedSerialPort.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetPortFactory([this] {
            auto p = std::make_unique<ScriptedSerialPort>(faults);
            ports.push_back(p.get());
            return p;
        });
        cc = std::make_unique<CCommCenter>();
        // Time passes only in pauses.
        cc->clockHook = [this] { return nowMs; };
        cc->pauseHook = [this](int ms) {
            nowMs += ms;
            pauses.push_back(ms);
            if (onPause)
                onPause(static_cast<int>(pauses.size()));
            cc->ReaderStep(0);
            return true;
        };
    }
    void TearDown() override {
        cc.reset();
        SetPortFactory(nullptr);
    }

    // Opens channel 0 on a scripted port with `nodes` nodes, without threads.
    ScriptedSerialPort* Open(int nodes = 8, int speedIndex = 3) {
        EXPECT_EQ(cc->OpenPort(0, "/dev/scripted0", speedIndex), 1);
        cc->channels[0].nodeCount.store(nodes);
        return ports.back();
    }

    // Queues a reply frame with the given body (without its check byte) and pulls it into the ring.
    void Reply(const std::vector<uint8_t>& body) {
        std::vector<uint8_t> frame(body.size() + 16);
        const size_t n = BuildReplyFrame(frame.data(), body.data(), body.size());
        ports.back()->QueueInput(frame.data(), n);
        cc->ReaderStep(0);
    }
    void Raw(const std::vector<uint8_t>& bytes) {
        ports.back()->QueueInput(bytes.data(), bytes.size());
        cc->ReaderStep(0);
    }

    ScriptedSerialPort::Faults faults;
    std::vector<ScriptedSerialPort*> ports;
    std::unique_ptr<CCommCenter> cc;
    std::vector<int> pauses;
    int64_t nowMs = 1000000;
    std::function<void(int)> onPause;
};
